#pragma once
// korima-send: the window's download, run from a terminal or a script, into
// one cradle or several at once, and terminal after terminal. Same download,
// same wire bytes, same status texts; exit codes per outcome, messages on
// standard error, a machine-readable summary on standard output.
#include "link/Download.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <functional>
#include <optional>

class QIODevice;


namespace korima::send {

enum ExitCode {
  kExitComplete = 0,
  kExitUsage = 2,
  kExitFile = 3,
  kExitSocket = 4,
  kExitNoReply = 5,
  kExitNak = 6,
  kExitBel = 7,
  kExitFul = 8,
  kExitInterrupted = 130,
};

int ExitCodeOf(link::Outcome outcome);


class Sender : public QObject {
  Q_OBJECT
 public:
  // `errIsTerminal` decides what --progress=auto means.
  Sender(const QStringList& arguments, QIODevice& out, QIODevice& err, bool errIsTerminal,
         link::LinkServices services = link::ProgramServices());
  ~Sender() override;

  // Reads the options, the settings and the files. Returns the exit code when
  // the run ends before any download (help, usage, settings, unreadable or
  // unconvertible files); otherwise Finished() follows.
  std::optional<int> Start();
  // SIGINT or SIGTERM: every download stops like the stop button; the run
  // finishes with 130 once all have wound up, unless no transfer was cut off.
  void Interrupt();

  int CradleCount() const { return int(cradles_.size()); }
  // The download of the cradle at `index`, in the order the hosts were given.
  link::Download& DownloadOf(int index);

 signals:
  void Finished(int exitCode);

 private:
  enum class Progress { Auto, Bar, Lines, None };
  enum class Encoding { Auto, Cp932, Utf8 };
  struct Cradle;

  std::optional<int> ParseArguments();
  std::optional<int> ReadHostsFile(const QString& path, QStringList& hosts);
  std::optional<int> ApplySettings();
  std::optional<int> CheckFiles();
  void StartNext(Cradle& c);
  void OnEnded(Cradle& c, const link::DownloadResult& r);
  void MaybeFinish();
  void Say(const QString& line);
  void SayFor(const Cradle& c, const QString& line);
  QString FailureLine(const Cradle& c, const link::DownloadResult& r) const;
  QString BarLine(const Cradle& c) const;
  void Draw();
  void ClearDrawing();
  void PrintJson(const Cradle* c, const QString& file, qint64 bytes, const link::DownloadResult* r,
                 const char* outcome, const QString& status, double seconds);

  QStringList args_;
  QIODevice& out_;
  QIODevice& err_;
  bool errIsTerminal_ = false;
  link::LinkServices services_;

  // Options
  QStringList files_;
  QStringList hosts_;  // as given, HOST or HOST:PORT
  std::optional<QString> port_, localPort_, settingsFile_;
  std::optional<qint16> titleLine_;
  Progress progress_ = Progress::Auto;
  bool quiet_ = false;
  bool json_ = false;
  Encoding encoding_ = Encoding::Auto;
  QList<link::LineConversion> conversions_;  // per file, decided before anything is sent
  double connectTimeout_ = 0;
  bool repeat_ = false;
  qint64 repeatCount_ = 0;  // 0: until a signal

  // Settings
  QString settingsPath_, localPortSetting_, remotePortSetting_;
  qint16 titleLineSetting_ = 0;

  // Run
  QList<Cradle*> cradles_;
  int drawnLines_ = 0;
  bool interrupted_ = false;
  bool finished_ = false;
};

}  // namespace korima::send
