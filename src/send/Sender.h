#pragma once
// korima-send: the window's download, run from a terminal or a script. Same
// link, same wire bytes, same status texts; exit codes per outcome, messages
// on standard error, a machine-readable summary on standard output.
#include "link/Link.h"
#include "link/LinkView.h"

#include <QElapsedTimer>
#include <QObject>
#include <QStringList>
#include <optional>

class QIODevice;

namespace platform {
class TickSource;
}

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
QString UsageText();

class Sender : public QObject, private link::LinkView {
  Q_OBJECT
 public:
  // `errIsTerminal` decides what --progress=auto means.
  Sender(const QStringList& arguments, QIODevice& out, QIODevice& err, bool errIsTerminal,
         platform::TickSource* ticks = nullptr);
  ~Sender() override;

  // Reads the options, the settings and the files. Returns the exit code when
  // the run ends before any download (help, usage, settings, unreadable or
  // unconvertible files); otherwise Finished() follows.
  std::optional<int> Start();
  // SIGINT or SIGTERM: stops like the stop button, then finishes with 130,
  // unless every file had already completed.
  void Interrupt();

  link::Link& Link() { return *link_; }

 signals:
  void Finished(int exitCode);

 private:
  enum class Progress { Auto, Bar, Lines, None };
  enum class Encoding { Auto, Cp932, Utf8 };

  std::optional<int> ParseArguments();
  std::optional<int> ApplySettings();
  std::optional<int> CheckFiles();
  void StartNextFile();
  void OnStatus(const QString& text);
  void OnProgress();
  void OnEnded();
  void Finish(int code);
  void Say(const QString& line);
  QString FailureLine(const QString& status) const;
  void DrawBar();
  void DrawWaiting();
  void ClearBar();
  void PrintJson(const QString& file, qint64 bytes, const link::DownloadStats* stats, const char* outcome,
                 const QString& status, double seconds);

  // LinkView
  QString StatusText() const override { return status_; }
  void SetStatusText(const QString& text) override { status_ = text; }
  void SetCommState(int) override {}
  QString ListFolder() const override;
  QString ListFileName() const override;
  int ListIndex() const override { return 0; }
  void SetProgressMax(qint64) override {}
  void SetProgressValue(qint64) override {}
  void SetProgressVisible(bool) override {}

  QStringList args_;
  QIODevice& out_;
  QIODevice& err_;
  bool errIsTerminal_ = false;
  link::Link* link_ = nullptr;

  // Options
  QStringList files_;
  std::optional<QString> host_, port_, localPort_, settingsFile_;
  std::optional<qint16> titleLine_;
  Progress progress_ = Progress::Auto;
  bool quiet_ = false;
  bool json_ = false;
  Encoding encoding_ = Encoding::Auto;
  QList<link::LineConversion> conversions_;  // per file, decided before anything is sent
  double connectTimeout_ = 0;
  bool hostFromOption_ = false;

  // Run
  int next_ = 0;
  QString current_;
  QString status_;
  QElapsedTimer clock_;
  bool barShown_ = false;
  bool interrupted_ = false;
  bool finished_ = false;
};

}  // namespace korima::send
