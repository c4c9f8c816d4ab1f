#pragma once
// korima-send: the window's download, run from a terminal, a script or a
// service, into one cradle or several at once, and terminal after terminal.
// Same download, same wire bytes, same status texts; exit codes per outcome,
// messages on standard error, records on standard output and in a log.
// This is the run: options and settings turned into cradles, and each
// cradle's transfers scheduled through named states.
#include "Options.h"
#include "Records.h"
#include "link/Download.h"
#include "link/FileCheck.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <memory>
#include <optional>

class QIODevice;

namespace korima::send {

class Progress;

class Sender : public QObject {
  Q_OBJECT
 public:
  // `errIsTerminal` decides what --progress=auto means.
  Sender(const QStringList& arguments, QIODevice& out, QIODevice& err, bool errIsTerminal,
         link::LinkServices services = link::ProgramServices());
  ~Sender() override;

  // Reads the options, the settings and the cradles. Returns the exit code
  // when there is nothing to run (help, usage and settings errors,
  // --check-hosts, --history); otherwise Finished() follows.
  std::optional<int> Start();
  // SIGINT or SIGTERM: every transfer stops like the stop button, and the run
  // finishes once all have wound up.
  void Interrupt();

  int CradleCount() const { return int(cradles_.size()); }
  // The download of the cradle at `index`, in the order the hosts were given.
  link::Download& DownloadOf(int index);
  // What a terminal shows of the run now: a line per cradle.
  QStringList ProgressLines() const;

 signals:
  void Finished(int exitCode);

 private:
  struct Item {
    QString name;  // as the user gave it, or the folder's path and its name
    QString path;  // absolute
    std::optional<platform::files::LineConversion> conversion;  // none: judged when sent
  };
  struct Cradle;

  std::optional<int> ReadCradles();
  QList<Item> ListFiles(QString* problem) const;
  void CheckNext();
  void BeginTurn(Cradle& c);
  void StartTransfer(Cradle& c);
  void OnEnded(Cradle& c, const link::DownloadResult& r);
  void NextTerminal(Cradle& c);
  void NotSent(Cradle& c, const QString& why);
  void Wait(Cradle& c, qint64 ticks);
  void Done(Cradle& c);
  void MaybeFinish();
  void Finish(int code);

  void Say(const QString& line);
  void SayFor(const Cradle& c, const QString& line);
  void SayVerdict(const Cradle* c, const QString& file, const link::DownloadResult& r);
  QString FailureLine(const Cradle& c, const link::DownloadResult& r) const;
  QStringList BarLines() const;
  void Log(const Cradle* c, Record record);

  QStringList args_;
  QIODevice& out_;
  QIODevice& err_;
  bool errIsTerminal_ = false;
  link::LinkServices services_;
  SendOptions options_;
  link::DownloadOptions settings_;  // the port, local port and title line every transfer uses
  bool perTurn_ = false;            // files listed and checked at each terminal's turn
  QString run_;                     // when the run began, in every record
  QList<Item> checked_;             // the files, judged and checked before anything is sent
  std::unique_ptr<link::FileCheck> check_;
  int checking_ = 0;                // the file being checked
  QList<Cradle*> cradles_;
  std::unique_ptr<Progress> progress_;
  bool interrupted_ = false;
  bool finished_ = false;
};

}  // namespace korima::send
