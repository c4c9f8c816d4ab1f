#include "Sender.h"

#include "config/Settings.h"
#include "config/SettingsLocation.h"
#include "link/Wording.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/Process.h"
#include "platform/Ticks.h"
#include "platform/TextFiles.h"
#include "platform/Version.h"

#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>
#include <QIODevice>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <cmath>

namespace korima::send {

using link::Outcome;

namespace {

const QString kProgram = QStringLiteral("korima-send");

// A whole number in [min, max], as typed.
bool ParseNumber(const QString& text, qint64 min, qint64 max, qint64* value = nullptr) {
  bool ok = false;
  const qint64 v = text.trimmed().toLongLong(&ok);
  if (value) *value = v;
  return ok && v >= min && v <= max;
}

// HOST or HOST:PORT; the host must not be empty nor hold blanks.
bool SplitHost(const QString& text, QString& host, QString& port) {
  const QString t = text.trimmed();
  const qsizetype colon = t.lastIndexOf(u':');
  host = colon < 0 ? t : t.left(colon);
  port = colon < 0 ? QString() : t.mid(colon + 1);
  if (host.isEmpty() || host.contains(u' ') || host.contains(u'\t') || host.contains(u':')) return false;
  return colon < 0 || ParseNumber(port, 1, 65535);
}

QString Seconds(qint64 ms) { return QString::number(ms / 1000); }

}  // namespace

struct Sender::Cradle {
  QString host, port, label;
  link::Download* download = nullptr;
  int next = 0;           // index of the file being sent, or the next one
  int terminal = 1;       // which terminal, with --repeat
  bool done = false;
  bool cutOff = false;    // a signal ended a transfer that had started
  int exitCode = kExitComplete;
  QElapsedTimer clock;    // since the current file began
};

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
  return Sender::tr(
      "Usage: korima-send [OPTIONS] FILE...\n"
      "Downloads each FILE into the handheld terminal in its cradle, as KORIMA's start button does:\n"
      "\"MASTER\" until the terminal answers, one packet per line, \"END\". Files go in the order given;\n"
      "a cradle's first failure ends that cradle's run. Several cradles run at once.\n"
      "\n"
      "Settings come from the settings file of the KORIMA window program beside this one;\n"
      "options override them for this run.\n"
      "  --host HOST[:PORT]     a cradle's address; give it once for each cradle (required\n"
      "                         unless the settings file has one)\n"
      "  --hosts FILE           cradles from FILE, one HOST or HOST:PORT a line (# comments)\n"
      "  --check-hosts FILE     only check FILE as --hosts reads it, and the other options;\n"
      "                         send nothing: exit 0, or 2 naming the bad line\n"
      "  --port N               the cradles' UDP port, where HOST gives none\n"
      "  --local-port N         the local UDP port to bind, shared by all cradles\n"
      "  --title-line           line 1 of each file is a title and is not sent\n"
      "  --no-title-line        line 1 of each file is data\n"
      "  --settings FILE        read this settings file instead\n"
      "  --encoding ENC         auto (default): a UTF-8 file is converted to CP932, anything\n"
      "                         else is sent as it is; cp932: the file's bytes as they are;\n"
      "                         utf-8: every file converted. Conversions are checked before\n"
      "                         anything is sent\n"
      "  --connect-timeout S    give up the \"MASTER\" phase after S seconds (default 0: never)\n"
      "  --repeat[=N]           after each terminal, wait for the next one in the cradle:\n"
      "                         N terminals in all (default: until a signal)\n"
      "  --progress=MODE        auto (default), bar, lines or none\n"
      "  -q, --quiet            print only failures\n"
      "  --json                 one JSON object per cradle and file on standard output when it ends\n"
      "  -h, --help             this text\n"
      "  --version              the version\n"
      "\n"
      "Exit codes:\n"
      "  0    every file complete in every cradle (the terminal acknowledged END)\n"
      "  2    usage or settings error\n"
      "  3    a file cannot be read, is empty, or cannot be converted\n"
      "  4    socket error (bind, port, host)\n"
      "  5    no reply (a line or END timed out, or the connect timeout)\n"
      "  6    NAK after five attempts\n"
      "  7    BEL\n"
      "  8    FUL (the terminal's memory is full)\n"
      "  130  interrupted (SIGINT or SIGTERM)\n"
      "With several cradles, the code is that of the first cradle, in the order given, that failed.\n");
}

Sender::Sender(const QStringList& arguments, QIODevice& out, QIODevice& err, bool errIsTerminal, TickFactory ticks)
    : args_(arguments), out_(out), err_(err), errIsTerminal_(errIsTerminal), ticks_(std::move(ticks)) {}

Sender::~Sender() { qDeleteAll(cradles_); }

link::Download& Sender::DownloadOf(int index) { return *cradles_.at(index)->download; }

void Sender::Say(const QString& line) {
  ClearDrawing();
  err_.write((line + u'\n').toUtf8());
  Draw();
}

// With several cradles, each line says whose it is.
void Sender::SayFor(const Cradle& c, const QString& line) {
  Say(cradles_.size() > 1 ? c.label + QStringLiteral(": ") + line : line);
}

std::optional<int> Sender::Start() {
  if (auto code = ParseArguments()) return code;
  if (auto code = ApplySettings()) return code;
  if (auto code = CheckFiles()) return code;
  if (progress_ == Progress::Auto) progress_ = errIsTerminal_ ? Progress::Bar : Progress::Lines;
  for (Cradle* c : cradles_) {
    platform::TickSource* ticks = ticks_ ? ticks_(nullptr) : nullptr;
    c->download = new link::Download(ticks, this);
    if (ticks) ticks->setParent(c->download);  // it goes with its download
    link::Download* d = c->download;
    connect(d, &link::Download::Waiting, this, [this, c] {
      if (!quiet_) SayFor(*c, link::wording::Waiting());
    });
    connect(d, &link::Download::MasterUnanswered, this, [this] { Draw(); });
    connect(d, &link::Download::FileOpened, this, [this, c] {
      if (!quiet_) SayFor(*c, link::wording::Opened(c->download->Options().filePath));
    });
    connect(d, &link::Download::LineAcknowledged, this, [this, c](qint64 before) {
      if (!quiet_ && progress_ == Progress::Lines)
        SayFor(*c, link::wording::Progress(c->download->Result().fileBytes, before));
      Draw();
    });
    // Queued: the next file starts after the download has wound up.
    connect(d, &link::Download::Ended, this, [this, c](const link::DownloadResult& r) { OnEnded(*c, r); },
            Qt::QueuedConnection);
  }
  for (Cradle* c : cradles_) StartNext(*c);
  return std::nullopt;
}

std::optional<int> Sender::ParseArguments() {
  auto usage = [this](const QString& why) {
    Say(kProgram + QStringLiteral(": ") + why + tr(" (see korima-send --help)"));
    return kExitUsage;
  };
  // --repeat takes an optional value, which the parser has no form for.
  QStringList args;
  for (const QString& a : args_) {
    if (a == QLatin1String("--repeat")) {
      repeat_ = true;
    } else if (a.startsWith(QLatin1String("--repeat="))) {
      repeat_ = true;
      if (!ParseNumber(a.mid(9), 1, 1000000000, &repeatCount_))
        return usage(tr("bad value for --repeat: \"%1\" (a number of terminals, 1 or more)").arg(a.mid(9)));
    } else {
      args << a;
    }
  }
  QCommandLineParser p;
  p.setOptionsAfterPositionalArgumentsMode(QCommandLineParser::ParseAsOptions);
  const QCommandLineOption help({"h", "help"}, ""), version("version", ""), host("host", "", "HOST"),
      hostsFile("hosts", "", "FILE"), port("port", "", "N"), localPort("local-port", "", "N"), title("title-line", ""),
      noTitle("no-title-line", ""), settings("settings", "", "FILE"), encoding("encoding", "", "ENC", "auto"),
      timeout("connect-timeout", "", "S", "0"), progress("progress", "", "MODE", "auto"),
      quiet({"q", "quiet"}, ""), json("json", "");
  p.addOptions({help, version, host, hostsFile, port, localPort, title, noTitle, settings, encoding, timeout, progress,
                quiet, json});
  // For configuration tools: the hosts file, and any other options given, as a
  // run would read them; no FILE needed, nothing read beyond them, nothing sent.
  const QCommandLineOption checkHosts("check-hosts", "", "FILE");
  p.addOption(checkHosts);
  if (!p.parse(args)) return usage(tr("bad option: %1").arg(p.errorText()));
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
  if (files_.isEmpty() && !p.isSet(checkHosts)) return usage(tr("no FILE given"));
  for (const QString& f : files_)
    if (f.isEmpty()) return usage(tr("an empty FILE name"));
  for (const QString& h : p.values(host)) {
    QString name, hostPort;
    if (h.trimmed().isEmpty()) return usage(tr("--host needs a host name or address"));
    if (!SplitHost(h, name, hostPort)) return usage(tr("bad value for --host: \"%1\" (HOST or HOST:PORT)").arg(h));
    hosts_ << h.trimmed();
  }
  if (p.isSet(hostsFile)) {
    if (p.value(hostsFile).isEmpty()) return usage(tr("--hosts needs a file name"));
    if (auto code = ReadHostsFile(p.value(hostsFile), hosts_)) return code;
  }
  if (p.isSet(port)) {
    port_ = p.value(port).trimmed();
    if (!ParseNumber(*port_, 1, 65535)) return usage(tr("bad value for --port: \"%1\" (1..65535)").arg(*port_));
  }
  if (p.isSet(localPort)) {
    localPort_ = p.value(localPort).trimmed();
    if (!ParseNumber(*localPort_, 0, 65535))
      return usage(tr("bad value for --local-port: \"%1\" (0..65535)").arg(*localPort_));
  }
  if (p.isSet(title) && p.isSet(noTitle)) return usage(tr("--title-line and --no-title-line exclude each other"));
  if (p.isSet(title)) titleLine_ = 1;
  if (p.isSet(noTitle)) titleLine_ = 0;
  if (p.isSet(settings)) {
    settingsFile_ = p.value(settings);
    if (settingsFile_->isEmpty()) return usage(tr("--settings needs a file name"));
  }
  const QString enc = p.value(encoding).toLower();
  if (enc == "auto") encoding_ = Encoding::Auto;
  else if (enc == "utf-8" || enc == "utf8") encoding_ = Encoding::Utf8;
  else if (enc == "cp932" || enc == "shift_jis" || enc == "sjis") encoding_ = Encoding::Cp932;
  else return usage(tr("bad value for --encoding: \"%1\" (auto, cp932 or utf-8)").arg(p.value(encoding)));
  bool ok = false;
  connectTimeout_ = p.value(timeout).toDouble(&ok);
  if (!ok || !(connectTimeout_ >= 0) || connectTimeout_ > 1e7)
    return usage(tr("bad value for --connect-timeout: \"%1\" (seconds, 0 for none)").arg(p.value(timeout)));
  const QString mode = p.value(progress);
  if (mode == "auto") progress_ = Progress::Auto;
  else if (mode == "bar") progress_ = Progress::Bar;
  else if (mode == "lines") progress_ = Progress::Lines;
  else if (mode == "none") progress_ = Progress::None;
  else return usage(tr("bad value for --progress: \"%1\" (auto, bar, lines or none)").arg(mode));
  quiet_ = p.isSet(quiet);
  json_ = p.isSet(json);
  if (p.isSet(checkHosts)) {
    if (p.value(checkHosts).isEmpty()) return usage(tr("--check-hosts needs a file name"));
    QStringList checked;
    return ReadHostsFile(p.value(checkHosts), checked).value_or(kExitComplete);
  }
  return std::nullopt;
}

// One HOST or HOST:PORT a line; "#" starts a comment, a blank line is skipped.
std::optional<int> Sender::ReadHostsFile(const QString& path, QStringList& hosts) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    Say(kProgram + tr(": --hosts %1: cannot be read: %2").arg(path, platform::OsErrorText(QFileInfo::exists(path) ? EACCES : ENOENT)));
    return kExitUsage;
  }
  int lineNo = 0;
  for (const QByteArray& raw : file.readAll().split('\n')) {
    ++lineNo;
    QString line = QString::fromUtf8(raw);
    if (const qsizetype hash = line.indexOf(u'#'); hash >= 0) line.truncate(hash);
    line = line.trimmed();
    if (line.isEmpty()) continue;
    QString host, port;
    if (!SplitHost(line, host, port)) {
      Say(kProgram + tr(": %1:%2: not a HOST or HOST:PORT: \"%3\" (see korima-send --help)")
                         .arg(path).arg(lineNo).arg(line));
      return kExitUsage;
    }
    hosts << line;
  }
  return std::nullopt;
}

// The window's settings file, then the options. The file is only read here:
// a missing or invalid one is reported and the defaults are used.
std::optional<int> Sender::ApplySettings() {
  settingsPath_ = settingsFile_ ? *settingsFile_ : config::WindowProgramSettingsPath(platform::ExePath());
  config::SettingsRecord file;
  const config::SettingsFileState state = config::LoadSettingsFile(settingsPath_, file);
  localPortSetting_ = QString::fromLatin1(config::kDefaultLocalPort);
  remotePortSetting_ = QString::fromLatin1(config::kDefaultRemotePort);
  QString hostSetting;  // no default: nothing goes to an address nobody chose
  switch (state) {
    case config::SettingsFileState::Valid:
      localPortSetting_ = file.LocalPort;
      hostSetting = file.RemoteHost.trimmed();
      remotePortSetting_ = file.RemotePort;
      titleLineSetting_ = file.TitleLine;
      break;
    case config::SettingsFileState::Missing:
      if (!quiet_) Say(kProgram + tr(": no settings file at %1: using the defaults").arg(settingsPath_));
      break;
    case config::SettingsFileState::Invalid:
    case config::SettingsFileState::BadParameter:
      if (!quiet_) Say(kProgram + tr(": the settings file %1 is not valid: using the defaults").arg(settingsPath_));
      break;
  }
  if (port_) remotePortSetting_ = *port_;
  if (localPort_) localPortSetting_ = *localPort_;
  if (titleLine_) titleLineSetting_ = *titleLine_;
  if (hosts_.isEmpty()) {
    if (hostSetting.isEmpty()) {
      Say(kProgram + tr(": no remote host: give --host, or set it in KORIMA's 設定 (%1)").arg(settingsPath_));
      return kExitUsage;
    }
    // The window writes the built-in address on its first start; nobody chose it.
    if (hostSetting == QLatin1String(config::kDefaultRemoteHost)) {
      Say(kProgram + tr(": the settings file (%1) still holds the built-in address %2, which nobody has "
                                    "set up: to send there, confirm it with --host %2")
                         .arg(settingsPath_, QLatin1String(config::kDefaultRemoteHost)));
      return kExitUsage;
    }
    hosts_ << hostSetting;
  }
  QSet<QString> seen;
  for (const QString& given : hosts_) {
    auto* c = new Cradle;
    QString port;
    SplitHost(given, c->host, port);
    c->port = port.isEmpty() ? remotePortSetting_.trimmed() : port;
    c->label = port.isEmpty() ? c->host : given;
    cradles_ << c;
    const QString key = c->host.toLower() + u':' + QString::number(c->port.toInt());
    if (seen.contains(key)) {
      Say(kProgram + tr(": the cradle %1 is given twice (see korima-send --help)").arg(c->label));
      return kExitUsage;
    }
    seen.insert(key);
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
      if (json_) PrintJson(nullptr, name, info.isFile() ? info.size() : 0, nullptr, "file_error", why, 0);
      return kExitFile;
    };
    platform::files::InputFile in;
    if (!in.Open(name)) return fail(tr("cannot be read: %1").arg(platform::Err().Description));
    if (info.size() == 0) return fail(platform::OsErrorText(platform::NoDataError()) + tr(" (empty file)"));
    bool convert = encoding_ == Encoding::Utf8;
    if (encoding_ == Encoding::Auto) {
      if (!platform::files::IsUtf8File(name, convert)) return fail(tr("cannot be read: %1").arg(platform::Err().Description));
      if (convert && !quiet_) Say(kProgram + QStringLiteral(": ") + name + tr(": UTF-8: converted to Shift-JIS (CP932)"));
    }
    conversions_ << (convert ? link::LineConversion::Utf8ToCp932 : link::LineConversion::None);
    if (!convert) continue;
    QByteArray line, cp932;
    for (qint64 lineNo = 1; !in.Eof(); ++lineNo) {
      if (!in.LineInput(line)) return fail(tr("cannot be read: %1").arg(platform::Err().Description));
      if (lineNo == 1 && titleLineSetting_ > 0) continue;  // a title line is never sent
      link::FileProblem problem = link::FileProblem::None;
      qint64 detail = 0;
      if (link::PrepareLine(line, lineNo == 1, link::LineConversion::Utf8ToCp932, cp932, problem, detail)) continue;
      if (problem == link::FileProblem::TooLong)
        return fail(tr("line %1: %2 bytes, longer than one datagram carries (%3)")
                        .arg(lineNo).arg(detail).arg(link::kLongestLine));
      return fail(tr("line %1, column %2: %3").arg(lineNo).arg(detail)
                      .arg(problem == link::FileProblem::NotUtf8
                               ? tr("not valid UTF-8")
                               : tr("a character that Shift-JIS (CP932) cannot represent")));
    }
  }
  return std::nullopt;
}

void Sender::StartNext(Cradle& c) {
  if (c.done || finished_) return;
  if (c.next >= files_.size()) {
    const bool more = repeat_ && (repeatCount_ == 0 || c.terminal < repeatCount_);
    if (!more || interrupted_) {
      c.done = true;
      return MaybeFinish();
    }
    ++c.terminal;  // back to "MASTER", for the next terminal in the cradle
    c.next = 0;
  }
  if (interrupted_) {  // files are left that were never sent
    c.done = true;
    c.cutOff = !(repeat_ && c.next == 0);
    return MaybeFinish();
  }
  link::DownloadOptions o;
  o.filePath = QFileInfo(files_[c.next]).absoluteFilePath();
  o.localPort = localPortSetting_;
  o.remoteHost = c.host;
  o.remotePort = c.port;
  o.titleLine = titleLineSetting_;
  o.conversion = conversions_.value(c.next, link::LineConversion::None);
  if (connectTimeout_ > 0) o.connectTimeoutTicks = qint64(std::ceil(connectTimeout_ * link::kTicksPerSecond));
  c.clock.start();
  c.download->Start(o);
  Draw();
}

// A socket error names what it was about: the window shows its settings
// beside it, the console has only this line.
QString Sender::FailureLine(const Cradle& c, const link::DownloadResult& r) const {
  const QString text = link::wording::Ending(r);
  switch (r.socketStep) {
    case link::SocketStep::LocalPort:
    case link::SocketStep::Bind: return text + tr(" (local port %1)").arg(localPortSetting_.trimmed());
    case link::SocketStep::RemotePort:
    case link::SocketStep::Send: return text + QStringLiteral(" (%1:%2)").arg(c.host, c.port);
    case link::SocketStep::Lookup:
    case link::SocketStep::None: break;
  }
  return text;
}

void Sender::OnEnded(Cradle& c, const link::DownloadResult& r) {
  QString status = link::wording::Ending(r);
  const bool waitingForATerminal = repeat_ && c.next == 0 && !r.connected;
  if (r.outcome == Outcome::Stopped) {
    status = tr("interrupted by a signal");
    if (!waitingForATerminal) c.cutOff = true;
    SayFor(c, kProgram + QStringLiteral(": ") + status);
  } else if (r.outcome != Outcome::Complete) {
    SayFor(c, FailureLine(c, r));
  } else if (!quiet_) {
    SayFor(c, status);
  }
  const bool report = !(r.outcome == Outcome::Stopped && waitingForATerminal);
  if (json_ && report)
    PrintJson(&c, files_[c.next], r.fileBytes, &r, link::OutcomeName(r.outcome), status, c.clock.nsecsElapsed() / 1e9);
  if (r.outcome == Outcome::Stopped) {
    c.done = true;
    return MaybeFinish();
  }
  if (r.outcome != Outcome::Complete) {
    c.exitCode = ExitCodeOf(r.outcome);
    c.done = true;  // this cradle's run ends; the others go on
    return MaybeFinish();
  }
  ++c.next;
  StartNext(c);
}

void Sender::MaybeFinish() {
  for (const Cradle* c : cradles_)
    if (!c->done) return Draw();
  if (finished_) return;
  finished_ = true;
  ClearDrawing();
  int code = kExitComplete;
  for (const Cradle* c : cradles_)
    if (c->cutOff) code = kExitInterrupted;
  if (code == kExitComplete)
    for (const Cradle* c : cradles_)
      if (c->exitCode != kExitComplete) {
        code = c->exitCode;
        break;
      }
  emit Finished(code);
}

void Sender::Interrupt() {
  if (finished_ || interrupted_) return;
  interrupted_ = true;
  // Each download winds up at once and OnEnded reports it; between two files
  // the next one is not started, and a run whose files all completed ends 0.
  for (Cradle* c : cradles_)
    if (c->download && c->download->Running()) c->download->Stop();
}

// ---- on a terminal: one line per cradle, redrawn in place ------------------------

QString Sender::BarLine(const Cradle& c) const {
  const link::DownloadResult& s = c.download->Result();
  const qint64 ms = c.clock.isValid() ? c.clock.elapsed() : 0;
  const QString file = QFileInfo(c.download->Options().filePath).fileName();
  const QString who = cradles_.size() > 1 ? c.label + QStringLiteral("  ") + file + QStringLiteral("  ") : QString();
  if (!s.connected)  // how long, and how often: a wrong address or a terminal not in its receive mode shows at a glance
    return who + tr("waiting for the terminal: %1 s, MASTER sent %2 times").arg(Seconds(ms)).arg(s.masters);
  const double share = s.fileBytes > 0 ? std::min(1.0, double(s.sentBytes) / double(s.fileBytes)) : 0;
  const double seconds = std::max(0.001, ms / 1000.0);
  const double rate = s.linesSent / seconds;
  QString line;
  if (cradles_.size() == 1) {
    const int width = 24, filled = int(share * width);
    line = QStringLiteral("[%1%2] ").arg(QString(filled, u'#'), QString(width - filled, u'-'));
  }
  line += tr("%1% %2/%3 bytes  %4 lines  %5 lines/s")
              .arg(int(share * 100), 3)
              .arg(s.sentBytes)
              .arg(s.fileBytes)
              .arg(s.linesSent)
              .arg(rate, 0, 'f', 1);
  if (share > 0 && share < 1) line += tr("  %1 s left").arg(qint64(seconds * (1 - share) / share));
  return who + line;
}

void Sender::Draw() {
  if (quiet_ || progress_ != Progress::Bar || finished_) return;
  ClearDrawing();
  QByteArray text;
  int lines = 0;
  for (const Cradle* c : cradles_) {
    if (!c->download || c->done || !c->download->Running()) continue;
    text += (u'\r' + BarLine(*c) + QStringLiteral("\x1b[K")).toUtf8();
    if (cradles_.size() > 1) text += '\n';
    ++lines;
  }
  err_.write(text);
  drawnLines_ = lines;
}

void Sender::ClearDrawing() {
  if (drawnLines_ == 0) return;
  if (cradles_.size() > 1) err_.write(QStringLiteral("\x1b[%1A\r\x1b[J").arg(drawnLines_).toUtf8());
  else err_.write("\r\x1b[K");
  drawnLines_ = 0;
}

void Sender::PrintJson(const Cradle* c, const QString& file, qint64 bytes, const link::DownloadResult* r,
                       const char* outcome, const QString& status, double seconds) {
  QJsonObject o;
  o.insert("file", file);
  if (c) o.insert("host", c->label);
  if (c && repeat_) o.insert("terminal", c->terminal);
  o.insert("bytes", bytes);
  o.insert("lines_sent", r ? r->linesSent : 0);
  o.insert("packets_sent", r ? r->packetsSent : 0);
  o.insert("outcome", QString::fromLatin1(outcome));
  o.insert("status", status);
  o.insert("seconds", std::round(seconds * 1000) / 1000);
  out_.write(QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n');
}

}  // namespace korima::send
