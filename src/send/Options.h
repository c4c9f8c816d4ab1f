#pragma once
// korima-send's command line, read into a value. Nothing is opened or read
// here: what the options name is looked at by the run.
#include <QDate>
#include <QString>
#include <QStringList>
#include <optional>

namespace korima::send {

enum class ProgressMode { Auto, Bar, Lines, None };
// auto: judged per file; as-is: the file's bytes; utf-8: every file converted.
enum class EncodingChoice { Auto, AsIs, Utf8 };

struct SendOptions {
  QStringList files;  // FILE arguments: files or folders, in order
  QStringList hosts;  // --host values, HOST or HOST:PORT
  QString hostsFile;
  std::optional<QString> port, localPort, settingsFile;
  std::optional<qint16> titleLine;
  EncodingChoice encoding = EncodingChoice::Auto;
  double connectTimeout = 0;  // seconds; 0: "MASTER" until a signal
  bool repeat = false;
  qint64 repeatCount = 0;  // terminals in all; 0: until a signal
  bool keepGoing = false;
  ProgressMode progress = ProgressMode::Auto;
  bool quiet = false;
  bool json = false;
  QString logFile;
  // Modes other than a transfer.
  QString checkHosts;  // --check-hosts FILE
  QString history;     // --history FILE
  std::optional<QDate> since;
};

// What the command line asks for: options to act on, a text for standard
// output and exit 0 (help, version), or a usage error for standard error.
struct ParsedArguments {
  std::optional<SendOptions> options;
  QString print;
  QString error;
};
// `arguments` starts with the program's name.
ParsedArguments ParseArguments(const QStringList& arguments);

}  // namespace korima::send
