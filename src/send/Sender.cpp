#include "Sender.h"

#include "config/Settings.h"
#include "config/SettingsLocation.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/TextFiles.h"
#include "platform/Version.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <cerrno>
#include <cmath>

namespace korima::send {

using config::Settings;
using link::Outcome;

namespace {

const QString kProgram = QStringLiteral("korima-send");

bool IsProgressText(const QString& text) { return text.endsWith(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ済み")); }

QString LastLine(const QString& status) { return status.split(QStringLiteral("\r\n")).last(); }

// A whole number in [min, max], as typed.
bool ParsePort(const QString& text, int min, int max) {
  bool ok = false;
  const int v = text.trimmed().toInt(&ok);
  return ok && v >= min && v <= max;
}

}  // namespace

int ExitCodeOf(Outcome outcome) {
  switch (outcome) {
    case Outcome::Complete: return kExitComplete;
    case Outcome::FileError: return kExitFile;
    case Outcome::SocketError: return kExitSocket;
    case Outcome::NoReply: return kExitNoReply;
    case Outcome::Nak: return kExitNak;
    case Outcome::Bel: return kExitBel;
    case Outcome::Ful: return kExitFul;
    case Outcome::Stopped: return kExitInterrupted;
    case Outcome::None: break;
  }
  return kExitSocket;
}

QString UsageText() {
  return QStringLiteral(
      "Usage: korima-send [OPTIONS] FILE...\n"
      "Downloads each FILE into the handheld terminal in its cradle, as KORIMA's start button does:\n"
      "\"MASTER\" until the terminal answers, one packet per line, \"END\". Files go in the order given;\n"
      "the first failure ends the run.\n"
      "\n"
      "Settings come from the settings file of the KORIMA window program beside this one;\n"
      "options override them for this run.\n"
      "  --host HOST            the cradle's address (required unless the settings file has one)\n"
      "  --port N               the cradle's UDP port\n"
      "  --local-port N         the local UDP port to bind\n"
      "  --title-line           line 1 of each file is a title and is not sent\n"
      "  --no-title-line        line 1 of each file is data\n"
      "  --settings FILE        read this settings file instead\n"
      "  --encoding ENC         auto (default): a UTF-8 file is converted to CP932, anything\n"
      "                         else is sent as it is; cp932: the file's bytes as they are;\n"
      "                         utf-8: every file converted. Conversions are checked before\n"
      "                         anything is sent\n"
      "  --connect-timeout S    give up the \"MASTER\" phase after S seconds (default 0: never)\n"
      "  --progress=MODE        auto (default), bar, lines or none\n"
      "  -q, --quiet            print only failures\n"
      "  --json                 one JSON object per file on standard output when it ends\n"
      "  -h, --help             this text\n"
      "  --version              the version\n"
      "\n"
      "Exit codes:\n"
      "  0    every file complete (the terminal acknowledged END)\n"
      "  2    usage or settings error\n"
      "  3    a file cannot be read, is empty, or cannot be converted\n"
      "  4    socket error (bind, port, host)\n"
      "  5    no reply (a line or END timed out, or the connect timeout)\n"
      "  6    NAK after five attempts\n"
      "  7    BEL\n"
      "  8    FUL (the terminal's memory is full)\n"
      "  130  interrupted (SIGINT or SIGTERM)\n");
}

Sender::Sender(const QStringList& arguments, QIODevice& out, QIODevice& err, bool errIsTerminal,
               platform::TickSource* ticks)
    : args_(arguments), out_(out), err_(err), errIsTerminal_(errIsTerminal) {
  link_ = new link::Link(*this, ticks, this);
  connect(link_, &link::Link::StatusShown, this, &Sender::OnStatus);
  connect(link_, &link::Link::ProgressChanged, this, &Sender::OnProgress);
  // Queued: the next file starts after the link has finished its wrap-up.
  connect(link_, &link::Link::DownloadEnded, this, &Sender::OnEnded, Qt::QueuedConnection);
}

Sender::~Sender() = default;

void Sender::Say(const QString& line) {
  ClearBar();
  err_.write((line + u'\n').toUtf8());
}

std::optional<int> Sender::Start() {
  if (auto code = ParseArguments()) return code;
  if (auto code = ApplySettings()) return code;
  if (auto code = CheckFiles()) return code;
  if (progress_ == Progress::Auto) progress_ = errIsTerminal_ ? Progress::Bar : Progress::Lines;
  if (connectTimeout_ > 0) link_->SetConnectTimeoutTicks(qint64(std::ceil(connectTimeout_ * 100)));
  link_->SetUtf8Policy(link::Utf8Policy::AsSet);
  StartNextFile();
  return std::nullopt;
}

std::optional<int> Sender::ParseArguments() {
  QCommandLineParser p;
  p.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  const QCommandLineOption help({"h", "help"}, ""), version("version", ""), host("host", "", "HOST"),
      port("port", "", "N"), localPort("local-port", "", "N"), title("title-line", ""),
      noTitle("no-title-line", ""), settings("settings", "", "FILE"), encoding("encoding", "", "ENC", "auto"),
      timeout("connect-timeout", "", "S", "0"), progress("progress", "", "MODE", "auto"),
      quiet({"q", "quiet"}, ""), json("json", "");
  p.addOptions({help, version, host, port, localPort, title, noTitle, settings, encoding, timeout, progress, quiet, json});
  auto usage = [this](const QString& why) {
    Say(kProgram + QStringLiteral(": ") + why + QStringLiteral(" (see korima-send --help)"));
    return kExitUsage;
  };
  if (!p.parse(args_)) return usage(p.errorText());
  if (p.isSet(help)) {
    out_.write(UsageText().toUtf8());
    return kExitComplete;
  }
  if (p.isSet(version)) {
    const auto& v = platform::AppVersion();
    out_.write(QStringLiteral("korima-send %1.%2.%3\n").arg(v.Major).arg(v.Minor).arg(v.Revision).toUtf8());
    return kExitComplete;
  }
  files_ = p.positionalArguments();
  if (files_.isEmpty()) return usage(QStringLiteral("no FILE given"));
  if (p.isSet(host)) {
    host_ = p.value(host).trimmed();
    if (host_->isEmpty()) return usage(QStringLiteral("--host needs a host name or address"));
    hostFromOption_ = true;
  }
  if (p.isSet(port)) {
    port_ = p.value(port).trimmed();
    if (!ParsePort(*port_, 1, 65535)) return usage(QStringLiteral("bad value for --port: \"%1\" (1..65535)").arg(*port_));
  }
  if (p.isSet(localPort)) {
    localPort_ = p.value(localPort).trimmed();
    if (!ParsePort(*localPort_, 0, 65535))
      return usage(QStringLiteral("bad value for --local-port: \"%1\" (0..65535)").arg(*localPort_));
  }
  if (p.isSet(title) && p.isSet(noTitle)) return usage(QStringLiteral("--title-line and --no-title-line exclude each other"));
  if (p.isSet(title)) titleLine_ = 1;
  if (p.isSet(noTitle)) titleLine_ = 0;
  if (p.isSet(settings)) {
    settingsFile_ = p.value(settings);
    if (settingsFile_->isEmpty()) return usage(QStringLiteral("--settings needs a file name"));
  }
  for (const QString& f : files_)
    if (f.isEmpty()) return usage(QStringLiteral("an empty FILE name"));
  const QString enc = p.value(encoding).toLower();
  if (enc == "auto") encoding_ = Encoding::Auto;
  else if (enc == "utf-8" || enc == "utf8") encoding_ = Encoding::Utf8;
  else if (enc == "cp932" || enc == "shift_jis" || enc == "sjis") encoding_ = Encoding::Cp932;
  else return usage(QStringLiteral("bad value for --encoding: \"%1\" (auto, cp932 or utf-8)").arg(p.value(encoding)));
  bool ok = false;
  connectTimeout_ = p.value(timeout).toDouble(&ok);
  if (!ok || !(connectTimeout_ >= 0) || connectTimeout_ > 1e7)
    return usage(QStringLiteral("bad value for --connect-timeout: \"%1\" (seconds, 0 for none)").arg(p.value(timeout)));
  const QString mode = p.value(progress);
  if (mode == "auto") progress_ = Progress::Auto;
  else if (mode == "bar") progress_ = Progress::Bar;
  else if (mode == "lines") progress_ = Progress::Lines;
  else if (mode == "none") progress_ = Progress::None;
  else return usage(QStringLiteral("bad value for --progress: \"%1\" (auto, bar, lines or none)").arg(mode));
  quiet_ = p.isSet(quiet);
  json_ = p.isSet(json);
  return std::nullopt;
}

// The window's settings file, then the options. The file is only read here:
// a missing or invalid one is reported and the defaults are used.
std::optional<int> Sender::ApplySettings() {
  const QString path = settingsFile_ ? *settingsFile_ : config::WindowProgramSettingsPath(platform::ExePath());
  config::SettingsRecord file;
  const config::SettingsFileState state = config::LoadSettingsFile(path, file);
  Settings = {};
  Settings.SettingsPath = path;
  Settings.LocalPort = QString::fromLatin1(config::kDefaultLocalPort);
  Settings.RemotePort = QString::fromLatin1(config::kDefaultRemotePort);
  // The default remote host is left out on purpose: nothing goes to it unless someone chose it.
  switch (state) {
    case config::SettingsFileState::Valid:
      Settings.LocalPort = file.LocalPort;
      Settings.RemoteHost = file.RemoteHost;
      Settings.RemotePort = file.RemotePort;
      Settings.TitleLine = file.TitleLine;
      break;
    case config::SettingsFileState::Missing:
      if (!quiet_) Say(kProgram + QStringLiteral(": no settings file at %1: using the defaults").arg(path));
      break;
    case config::SettingsFileState::Invalid:
    case config::SettingsFileState::BadParameter:
      if (!quiet_) Say(kProgram + QStringLiteral(": the settings file %1 is not valid: using the defaults").arg(path));
      break;
  }
  if (host_) Settings.RemoteHost = *host_;
  if (port_) Settings.RemotePort = *port_;
  if (localPort_) Settings.LocalPort = *localPort_;
  if (titleLine_) Settings.TitleLine = *titleLine_;
  if (Settings.RemoteHost.trimmed().isEmpty()) {
    Say(kProgram + QStringLiteral(": no remote host: give --host, or set it in KORIMA's 設定 (%1)").arg(path));
    return kExitUsage;
  }
  // The window writes the built-in address on its first start; nobody chose it.
  if (!hostFromOption_ && Settings.RemoteHost.trimmed() == QLatin1String(config::kDefaultRemoteHost)) {
    Say(kProgram + QStringLiteral(": the settings file (%1) still holds the built-in address %2, which nobody has "
                                  "set up: to send there, confirm it with --host %2")
                       .arg(path, QLatin1String(config::kDefaultRemoteHost)));
    return kExitUsage;
  }
  return std::nullopt;
}

// Every file is checked before anything is sent: a run that can't finish
// for a reason known now doesn't start. What is converted is checked whole.
std::optional<int> Sender::CheckFiles() {
  conversions_.clear();
  for (const QString& name : files_) {
    const QFileInfo info(name);
    auto fail = [&](const QString& why) {
      Say(kProgram + QStringLiteral(": ") + name + QStringLiteral(": ") + why);
      if (json_) PrintJson(name, info.isFile() ? info.size() : 0, nullptr, "file_error", why, 0);
      return kExitFile;
    };
    platform::files::InputFile in;
    if (!in.Open(name)) return fail(platform::Err().Description);
    if (info.size() == 0) return fail(platform::OsErrorText(platform::NoDataError()) + QStringLiteral(" (empty file)"));
    bool convert = encoding_ == Encoding::Utf8;
    if (encoding_ == Encoding::Auto) {
      QByteArray head;
      if (!in.ReadHead(platform::kUtf8SniffBytes, head)) return fail(platform::Err().Description);
      convert = platform::LooksLikeUtf8(head, in.Eof());
      if (convert && !quiet_) Say(kProgram + QStringLiteral(": ") + name + QStringLiteral(": UTF-8: converted to Shift-JIS (CP932)"));
      if (convert && !in.Open(name)) return fail(platform::Err().Description);
    }
    conversions_ << (convert ? link::LineConversion::Utf8ToCp932 : link::LineConversion::None);
    if (!convert) continue;
    QByteArray line;
    for (qint64 lineNo = 1; !in.Eof(); ++lineNo) {
      if (!in.LineInput(line)) return fail(platform::Err().Description);
      if (lineNo == 1 && line.startsWith(platform::kUtf8Bom)) line.remove(0, 3);
      if (lineNo == 1 && Settings.TitleLine > 0) continue;  // a title line is never sent
      QByteArray cp932;
      qsizetype column = 0;
      bool invalid = false;
      if (!platform::Utf8ToCp932(line, cp932, column, invalid))
        return fail(QStringLiteral("line %1, column %2: %3").arg(lineNo).arg(column)
                        .arg(invalid ? QStringLiteral("not valid UTF-8")
                                     : QStringLiteral("a character that Shift-JIS (CP932) cannot represent")));
      if (cp932.size() > link::kLongestLine)
        return fail(QStringLiteral("line %1: %2 bytes, longer than one datagram carries (%3)")
                        .arg(lineNo).arg(cp932.size()).arg(link::kLongestLine));
    }
  }
  return std::nullopt;
}

void Sender::StartNextFile() {
  if (finished_) return;
  if (next_ >= files_.size()) return Finish(kExitComplete);
  if (interrupted_) return Finish(kExitInterrupted);  // files are left that were never sent
  link_->SetLineConversion(conversions_.value(next_, link::LineConversion::None));
  current_ = QFileInfo(files_[next_++]).absoluteFilePath();
  status_.clear();
  clock_.start();
  link_->cmdComm_Click(0);
}

QString Sender::ListFolder() const { return QFileInfo(current_).absolutePath(); }
QString Sender::ListFileName() const { return QFileInfo(current_).fileName(); }

void Sender::OnStatus(const QString& text) {
  if (quiet_ || interrupted_) return;  // after a signal, only the line that says so
  if (link_->Stats().socketStep != link::SocketStep::None) return;  // OnEnded says it, with what it was about
  if (IsProgressText(text)) {
    if (progress_ == Progress::Lines) Say(text);
    return;  // a bar draws it, or nothing does
  }
  Say(text);
  if (progress_ == Progress::Bar && link_->Stats().linesSent > 0 && link_->Downloading()) DrawBar();
}

void Sender::OnProgress() {
  if (quiet_ || interrupted_ || progress_ != Progress::Bar) return;
  if (link_->Stats().connected) DrawBar();
  else DrawWaiting();
}

// While "MASTER" is repeated: how long, and how often, so that a wrong
// address or a terminal not in its receive mode shows at a glance.
void Sender::DrawWaiting() {
  const link::DownloadStats& s = link_->Stats();
  err_.write(QStringLiteral("\rwaiting for the terminal: %1 s, MASTER sent %2 times\x1b[K")
                 .arg(qint64(clock_.elapsed() / 1000))
                 .arg(s.masters)
                 .toUtf8());
  barShown_ = true;
}

// One line, redrawn in place: bytes, lines, rate.
void Sender::DrawBar() {
  const link::DownloadStats& s = link_->Stats();
  const double share = s.fileBytes > 0 ? std::min(1.0, double(s.sentBytes) / double(s.fileBytes)) : 0;
  const int width = 24, filled = int(share * width);
  const double seconds = std::max(0.001, clock_.nsecsElapsed() / 1e9);
  const QString bar = QStringLiteral("\r[%1%2] %3% %4/%5 bytes  %6 lines  %7 lines/s\x1b[K")
                          .arg(QString(filled, u'#'), QString(width - filled, u'-'))
                          .arg(int(share * 100), 3)
                          .arg(s.sentBytes)
                          .arg(s.fileBytes)
                          .arg(s.linesSent)
                          .arg(s.linesSent / seconds, 0, 'f', 1);
  err_.write(bar.toUtf8());
  barShown_ = true;
}

void Sender::ClearBar() {
  if (!barShown_) return;
  err_.write("\r\x1b[K");
  barShown_ = false;
}

void Sender::PrintJson(const QString& file, qint64 bytes, const link::DownloadStats* stats, const char* outcome,
                       const QString& status, double seconds) {
  QJsonObject o;
  o.insert("file", file);
  o.insert("bytes", bytes);
  o.insert("lines_sent", stats ? stats->linesSent : 0);
  o.insert("packets_sent", stats ? stats->packetsSent : 0);
  o.insert("outcome", QString::fromLatin1(outcome));
  o.insert("status", status);
  o.insert("seconds", std::round(seconds * 1000) / 1000);
  out_.write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

// A socket error names what it was about: the window shows its settings
// beside it, the console has only this line.
QString Sender::FailureLine(const QString& status) const {
  switch (link_->Stats().socketStep) {
    case link::SocketStep::Bind: return status + QStringLiteral(" (local port %1)").arg(Settings.LocalPort.trimmed());
    case link::SocketStep::RemotePort:
    case link::SocketStep::Send:
      return status + QStringLiteral(" (%1:%2)").arg(Settings.RemoteHost.trimmed(), Settings.RemotePort.trimmed());
    case link::SocketStep::Lookup:
    case link::SocketStep::None: break;
  }
  return status;
}

void Sender::OnEnded() {
  const link::DownloadStats& s = link_->Stats();
  ClearBar();
  QString last = LastLine(status_);
  if (s.outcome == Outcome::Stopped) {
    last = QStringLiteral("interrupted by a signal");
    Say(kProgram + QStringLiteral(": ") + last);
  } else if (s.outcome == Outcome::SocketError) {
    Say(FailureLine(last));
  } else if (quiet_ && s.outcome != Outcome::Complete) {
    Say(last);
  }
  if (json_) PrintJson(files_[next_ - 1], s.fileBytes, &s, link::OutcomeName(s.outcome), last,
                       clock_.nsecsElapsed() / 1e9);
  if (s.outcome != Outcome::Complete) return Finish(ExitCodeOf(s.outcome));
  StartNextFile();
}

void Sender::Interrupt() {
  if (finished_ || interrupted_) return;
  interrupted_ = true;
  // A download winds up at once and OnEnded reports it; between two files
  // the next one is not started, and a run whose files all completed ends 0.
  if (link_->Communicating()) link_->cmdComm_Click(1);
}

void Sender::Finish(int code) {
  if (finished_) return;
  finished_ = true;
  ClearBar();
  emit Finished(code);
}

}  // namespace korima::send
