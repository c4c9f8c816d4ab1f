#include "Sender.h"

#include "Hosts.h"
#include "Progress.h"
#include "Text.h"
#include "Usage.h"
#include "config/Settings.h"
#include "config/SettingsLocation.h"
#include "link/Wording.h"
#include "platform/FileList.h"
#include "platform/Net.h"
#include "platform/Process.h"
#include "platform/Ticks.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIODevice>
#include <QMetaObject>
#include <QTimer>
#include <cerrno>
#include <cmath>

namespace korima::send {

using link::Outcome;

namespace {

constexpr qint64 kListAgainTicks = 5 * link::kTicksPerSecond;  // an empty outbox, looked at again
// After a terminal failed, the same terminal still in the cradle would answer
// the next "MASTER" at once and fail again: the cradle waits first.
constexpr qint64 kFirstPauseTicks = 10 * link::kTicksPerSecond;
constexpr qint64 kLongestPauseTicks = 300 * link::kTicksPerSecond;
const QString kDataFiles = QStringLiteral("*.csv;*.txt");

QString Seconds(qint64 ms) { return QString::number(ms / 1000); }

}  // namespace

struct Sender::Cradle {
  enum class State {
    Idle,     // not started
    Listing,  // nothing to send: looking again in a few seconds
    Pausing,  // after a failed terminal, before the next "MASTER"
    Sending,  // a transfer runs: "MASTER" to "END"
    Done,
  };
  State state = State::Idle;
  QString host, port, label;
  link::Download* download = nullptr;
  QList<Item> files;  // this terminal's
  int next = 0;       // the file being sent, or the next one
  qint64 terminal = 1;
  int failures = 0;              // terminals in a row that failed
  int exitCode = kExitComplete;  // its first failure
  bool cutOff = false;           // a signal ended a transfer that had begun
  bool turnBegun = false;        // this terminal has answered "MASTER"
  platform::TickClock::Alarm alarm = 0;
  QDateTime started;
  QElapsedTimer clock;  // since the current file began
};

Sender::Sender(const QStringList& arguments, QIODevice& out, QIODevice& err, bool errIsTerminal,
               link::LinkServices services)
    : args_(arguments), out_(out), err_(err), errIsTerminal_(errIsTerminal), services_(services) {}

Sender::~Sender() {
  for (Cradle* c : cradles_)
    if (c->alarm) services_.clock->Cancel(c->alarm);
  qDeleteAll(cradles_);
}

link::Download& Sender::DownloadOf(int index) { return *cradles_.at(index)->download; }

void Sender::Say(const QString& line) {
  if (progress_) progress_->Say(line);
  else err_.write((line + u'\n').toUtf8());
}

// With several cradles, each line says whose it is.
void Sender::SayFor(const Cradle& c, const QString& line) {
  Say(cradles_.size() > 1 ? c.label + QStringLiteral(": ") + line : line);
}

std::optional<int> Sender::Start() {
  const ParsedArguments parsed = ParseArguments(args_);
  if (!parsed.error.isEmpty()) return Say(parsed.error), kExitUsage;
  if (!parsed.options) return out_.write(parsed.print.toUtf8()), kExitComplete;
  options_ = *parsed.options;
  if (!options_.history.isEmpty()) return PrintHistory(options_.history, options_.since, options_.json, out_, err_);
  if (!options_.checkHosts.isEmpty()) options_.hostsFile = options_.checkHosts;
  if (auto code = ReadCradles()) return code;
  // Found at the start, not as a line on standard error at every record: a
  // run whose history is lost must not end as if all were well.
  if (!options_.logFile.isEmpty())
    if (const QString why = CannotAppend(options_.logFile); !why.isEmpty())
      return Say(kProgram + Text::tr(": --log %1: cannot be written: %2").arg(options_.logFile, why)), kExitUsage;
  if (!options_.checkHosts.isEmpty()) {  // the cradles as a run would take them: nothing is sent
    if (!options_.quiet) Say(options_.checkHosts + Text::tr(": cradles: %1").arg(cradles_.size()));
    return kExitComplete;
  }

  run_ = Timestamp(QDateTime::currentDateTime());
  for (const QString& f : options_.files) perTurn_ |= QFileInfo(f).isDir();
  perTurn_ |= options_.keepGoing;
  const ProgressMode mode = options_.progress == ProgressMode::Auto
                                ? (errIsTerminal_ ? ProgressMode::Bar : ProgressMode::Lines)
                                : options_.progress;
  options_.progress = mode;
  progress_ = std::make_unique<Progress>(err_, mode == ProgressMode::Bar && !options_.quiet, [this] { return BarLines(); },
                                         *services_.clock);
  for (Cradle* c : cradles_) {
    c->download = new link::Download(services_, this);
    link::Download* d = c->download;
    connect(d, &link::Download::Waiting, this, [this, c] {
      if (!options_.quiet) SayFor(*c, link::wording::Waiting());
    });
    connect(d, &link::Download::MasterUnanswered, this, [this] { progress_->Changed(); });
    connect(d, &link::Download::Connected, this, [c] { c->turnBegun = true; });
    connect(d, &link::Download::FileOpened, this, [this, c] {
      if (!options_.quiet) SayFor(*c, link::wording::Opened(c->download->Result().filePath));
    });
    connect(d, &link::Download::LineAcknowledged, this, [this, c](qint64 before) {
      if (!options_.quiet && options_.progress == ProgressMode::Lines)
        SayFor(*c, link::wording::Progress(c->download->Result().fileBytes, before));
      progress_->Changed();
    });
    // Queued: the next file starts after the download has wound up.
    connect(d, &link::Download::Ended, this, [this, c](const link::DownloadResult& r) { OnEnded(*c, r); },
            Qt::QueuedConnection);
  }
  if (perTurn_) {
    for (Cradle* c : cradles_) BeginTurn(*c);
  } else {
    // Every file is judged and checked before anything is sent: a run that
    // can't finish for a reason known now doesn't start.
    QString problem;
    checked_ = ListFiles(&problem);
    QMetaObject::invokeMethod(this, &Sender::CheckNext, Qt::QueuedConnection);
  }
  return std::nullopt;
}

// The window's settings file, then the options. The file is only read here:
// a missing or invalid one is reported and the defaults are used.
std::optional<int> Sender::ReadCradles() {
  const QString path =
      options_.settingsFile ? *options_.settingsFile : config::WindowProgramSettingsPath(platform::ExePath());
  config::SettingsRecord file;
  file.LocalPort = QString::fromLatin1(config::kDefaultLocalPort);
  file.RemotePort = QString::fromLatin1(config::kDefaultRemotePort);
  switch (config::LoadSettingsFile(path, file)) {
    case config::SettingsFileState::Valid: break;
    case config::SettingsFileState::Missing:
      if (!options_.quiet) Say(kProgram + Text::tr(": no settings file at %1: using the defaults").arg(path));
      break;
    case config::SettingsFileState::Invalid:
    case config::SettingsFileState::BadParameter:
      if (!options_.quiet) Say(kProgram + Text::tr(": the settings file %1 is not valid: using the defaults").arg(path));
      file = config::SettingsRecord{};  // no remote host: nothing goes to an address nobody chose
      file.LocalPort = QString::fromLatin1(config::kDefaultLocalPort);
      file.RemotePort = QString::fromLatin1(config::kDefaultRemotePort);
      break;
  }
  if (options_.port) file.RemotePort = *options_.port;
  if (options_.localPort) file.LocalPort = *options_.localPort;
  if (options_.titleLine) file.TitleLine = *options_.titleLine;
  settings_ = config::DownloadOptionsFrom(file);
  if (options_.connectTimeout > 0)
    settings_.connectTimeoutTicks = qint64(std::ceil(options_.connectTimeout * link::kTicksPerSecond));

  QStringList hosts;
  for (const QString& h : options_.hosts) {
    QString host, port;
    if (!SplitHost(h, host, port))
      return Say(kProgram + Text::tr(": bad value for --host: \"%1\" (HOST or HOST:PORT)").arg(h) +
                 Text::tr(" (see korima-send --help)")),
             kExitUsage;
    hosts << h;
  }
  if (!options_.hostsFile.isEmpty())
    if (const QString why = ReadHostsFile(options_.hostsFile, hosts); !why.isEmpty())
      return Say(kProgram + QStringLiteral(": ") + why + Text::tr(" (see korima-send --help)")), kExitUsage;
  if (hosts.isEmpty() && options_.checkHosts.isEmpty()) {
    const QString setting = file.RemoteHost.trimmed();
    if (setting.isEmpty())
      return Say(kProgram + Text::tr(": no remote host: give --host, or set it in KORIMA's 設定 (%1)").arg(path)), kExitUsage;
    // The window writes the built-in address on its first start; nobody chose it.
    if (setting == QLatin1String(config::kDefaultRemoteHost))
      return Say(kProgram + Text::tr(": the settings file (%1) still holds the built-in address %2, which nobody has "
                                     "set up: to send there, confirm it with --host %2")
                                .arg(path, QLatin1String(config::kDefaultRemoteHost))),
             kExitUsage;
    hosts << setting;
  }
  QHash<QString, QString> seen;  // each cradle, by address (or name) and port: as given
  for (const QString& given : hosts) {
    auto* c = new Cradle;
    cradles_ << c;
    QString port;
    SplitHost(given, c->host, port);
    c->port = port.isEmpty() ? file.RemotePort.trimmed() : port;
    c->label = given;
    if (const QString why = HostProblem(c->host); !why.isEmpty())
      return Say(kProgram + QStringLiteral(": \"%1\": ").arg(c->host) + why + Text::tr(" (see korima-send --help)")),
             kExitUsage;
    // Two spellings of one cradle would send both transfers to one terminal.
    const platform::net::HostText host = platform::net::ReadHost(c->host);
    const QString key = (host.form == platform::net::HostForm::Address ? QString::number(host.ipv4) : c->host.toLower()) +
                        u':' + QString::number(c->port.toInt());
    if (seen.contains(key))
      return Say(kProgram + Text::tr(": %1 and %2 are the same cradle (see korima-send --help)").arg(seen.value(key), c->label)),
             kExitUsage;
    seen.insert(key, c->label);
  }
  return std::nullopt;
}

// The files as the FILE arguments name them now: a folder stands for its
// *.csv and *.txt files, as the window lists them.
QList<Sender::Item> Sender::ListFiles(QString* problem) const {
  QList<Item> items;
  std::optional<link::LineConversion> conversion;  // judged
  if (options_.encoding == EncodingChoice::AsIs) conversion = link::LineConversion::None;
  if (options_.encoding == EncodingChoice::Utf8) conversion = link::LineConversion::FromUtf8;
  for (const QString& f : options_.files) {
    if (!QFileInfo(f).isDir()) {
      items << Item{f, QFileInfo(f).absoluteFilePath(), conversion};
      continue;
    }
    const QStringList names = platform::files::ListFiles(f, kDataFiles, true);
    if (names.isEmpty() && problem) *problem = f + Text::tr(": no *.csv or *.txt file to send");
    for (const QString& name : names)
      items << Item{QDir(f).filePath(name), QDir(f).absoluteFilePath(name), conversion};
  }
  return items;
}

// ---- before anything is sent -------------------------------------------------------

void Sender::CheckNext() {
  if (finished_) return;
  if (interrupted_) return Finish(kExitInterrupted);
  if (checking_ >= checked_.size()) {
    for (Cradle* c : cradles_) BeginTurn(*c);
    return;
  }
  Item& item = checked_[checking_];
  if (!check_) check_ = std::make_unique<link::FileCheck>(item.path, item.conversion, settings_.titleLine);
  if (!check_->Step()) {  // a piece at a time: a signal is answered meanwhile
    QTimer::singleShot(0, this, &Sender::CheckNext);
    return;
  }
  const link::FileCheckResult r = check_->Result();
  check_.reset();
  link::DownloadResult result;
  result.filePath = item.path;
  result.verdict = r.verdict;
  SayVerdict(nullptr, item.name, result);
  if (r.problem != link::FileProblem::None) {
    result.outcome = Outcome::FileError;
    result.fileProblem = r.problem;
    result.lineNo = r.lineNo;
    result.column = r.column;
    result.lineBytes = r.lineBytes;
    result.error = r.error;
    result.errorText = r.errorText;
    const QString status = link::wording::Ending(result);
    Say(kProgram + QStringLiteral(": ") + item.name + QStringLiteral(": ") + status);
    if (r.problem == link::FileProblem::NotShiftJis)
      Say(kProgram + QStringLiteral(": ") + item.name +
          Text::tr(": neither UTF-8 nor Shift-JIS (CP932); --encoding cp932 sends it as it is"));
    Record rec;
    rec.file = item.name;
    rec.outcome = QString::fromLatin1(link::OutcomeName(Outcome::FileError));
    rec.status = status;
    rec.started = rec.ended = QDateTime::currentDateTime();
    Log(nullptr, rec);
    return Finish(kExitFile);
  }
  item.conversion = r.conversion;
  ++checking_;
  QMetaObject::invokeMethod(this, &Sender::CheckNext, Qt::QueuedConnection);
}

// What a judged file is taken for, where the user may want to know.
void Sender::SayVerdict(const Cradle* c, const QString& file, const link::DownloadResult& r) {
  if (!r.verdict || options_.quiet) return;
  const platform::EncodingVerdict& v = *r.verdict;
  QString line;
  if (v.encoding == platform::TextEncoding::Utf8) line = Text::tr("UTF-8: converted to Shift-JIS (CP932)");
  if (v.encoding == platform::TextEncoding::Utf16LE || v.encoding == platform::TextEncoding::Utf16BE)
    line = Text::tr("UTF-16: converted to Shift-JIS (CP932)");
  if (v.alsoUtf8)
    line = Text::tr("reads as UTF-8 too (line %1, column %2), but nothing in it needs UTF-8: sent as Shift-JIS, as it "
                    "is; --encoding utf-8 converts it")
               .arg(v.where.line)
               .arg(v.where.column);
  if (line.isEmpty()) return;
  line = kProgram + QStringLiteral(": ") + file + QStringLiteral(": ") + line;
  c ? SayFor(*c, line) : Say(line);
}

// ---- the run -----------------------------------------------------------------------

// The next terminal: its files, as they are now.
void Sender::BeginTurn(Cradle& c) {
  c.alarm = 0;
  c.turnBegun = false;
  c.next = 0;
  if (!perTurn_) {
    c.files = checked_;
  } else {
    QString problem;
    c.files = ListFiles(&problem);
    if (c.files.isEmpty()) {
      c.state = Cradle::State::Listing;
      if (options_.repeat) return Wait(c, kListAgainTicks);  // no "MASTER" while there is nothing to send
      SayFor(c, kProgram + QStringLiteral(": ") + problem);
      Record rec;
      rec.file = options_.files.join(u' ');
      rec.outcome = QString::fromLatin1(link::OutcomeName(Outcome::FileError));
      rec.status = problem;
      rec.started = rec.ended = QDateTime::currentDateTime();
      Log(&c, rec);
      c.exitCode = kExitFile;
      return Done(c);
    }
  }
  StartTransfer(c);
}

void Sender::StartTransfer(Cradle& c) {
  const Item& item = c.files[c.next];
  link::DownloadOptions o = settings_;
  o.filePath = item.path;
  o.remoteHost = c.host;
  o.remotePort = c.port;
  o.conversion = item.conversion;
  if (perTurn_) {
    // Checked once this terminal is there; the first file of its turn from a
    // fresh look at the folders, for what changed while the cradle waited.
    o.checkWhen = link::CheckWhen::AfterMaster;
    if (c.next == 0)
      o.fileOnConnect = [this, &c] {
        c.files = ListFiles(nullptr);
        return c.files.isEmpty() ? QString() : c.files.first().path;
      };
  } else {
    o.checkWhen = link::CheckWhen::None;  // checked before the run began; read again when it is sent
  }
  c.state = Cradle::State::Sending;
  c.started = QDateTime::currentDateTime();
  c.clock.start();
  c.download->Start(o);
  progress_->Changed();
}

// A socket error names what it was about: the window shows its settings
// beside it, the console has only this line.
QString Sender::FailureLine(const Cradle& c, const link::DownloadResult& r) const {
  const QString text = link::wording::Ending(r);
  switch (r.socketStep) {
    case link::SocketStep::Bind:
      if (r.error == EADDRINUSE) break;  // the text names the port already
      [[fallthrough]];
    case link::SocketStep::LocalPort:
      return text + Text::tr(" (local port %1)").arg(settings_.localPort.trimmed());
    case link::SocketStep::RemotePort:
    case link::SocketStep::Send: return text + QStringLiteral(" (%1:%2)").arg(c.host, c.port);
    case link::SocketStep::Address:
    case link::SocketStep::Lookup:
    case link::SocketStep::SameCradle:
    case link::SocketStep::None: break;
  }
  return text;
}

void Sender::OnEnded(Cradle& c, const link::DownloadResult& r) {
  const bool stopped = r.outcome == Outcome::Stopped;
  // Stopped while waiting for the next terminal, which never came: nothing
  // was cut off and there is nothing to record.
  const bool waitingForATerminal = stopped && options_.repeat && c.next == 0 && !c.turnBegun;
  const QString status = stopped ? Text::tr("interrupted by a signal") : link::wording::Ending(r);
  const bool listed = c.next < c.files.size() && c.files[c.next].path == r.filePath;
  const QString name = listed ? c.files[c.next].name : r.filePath;
  SayVerdict(&c, name, r);
  if (stopped) SayFor(c, kProgram + QStringLiteral(": ") + status);
  else if (r.outcome != Outcome::Complete) SayFor(c, FailureLine(c, r));
  else if (!options_.quiet) SayFor(c, status);
  if (!waitingForATerminal) {
    Record rec;
    rec.file = name;
    rec.bytes = r.bytesRead;
    rec.linesSent = r.linesSent;
    rec.packetsSent = r.packetsSent;
    rec.outcome = QString::fromLatin1(link::OutcomeName(r.outcome));
    rec.status = status;
    rec.seconds = c.clock.nsecsElapsed() / 1e9;
    rec.started = c.started;
    rec.ended = QDateTime::currentDateTime();
    rec.sha256 = r.sha256;
    Log(&c, rec);
  }
  ++c.next;
  if (stopped) {
    c.cutOff |= !waitingForATerminal;
    if (c.turnBegun) NotSent(c, Text::tr("not sent: the run was interrupted"));
    return Done(c);
  }
  if (r.outcome == Outcome::Complete) {
    c.failures = 0;
    if (c.next >= c.files.size()) return NextTerminal(c);
    if (!interrupted_) return StartTransfer(c);
    c.cutOff = true;  // files of this terminal were left unsent
    NotSent(c, Text::tr("not sent: the run was interrupted"));
    return Done(c);
  }
  if (c.exitCode == kExitComplete) c.exitCode = ExitCodeOf(r.outcome);
  NotSent(c, Text::tr("not sent: a transfer before it failed"));
  // This cradle's run ends, the others go on; with --keep-going only a
  // socket error ends it: the next terminal would meet the same settings.
  if (!options_.keepGoing || r.outcome == Outcome::SocketError) return Done(c);
  // The failure is in the records; the cradle waits for the next terminal.
  ++c.failures;
  const qint64 pause = std::min(kLongestPauseTicks, kFirstPauseTicks << std::min(c.failures - 1, 10));
  const bool more = options_.repeat && (options_.repeatCount == 0 || c.terminal < options_.repeatCount);
  if (!more || interrupted_) return Done(c);
  ++c.terminal;
  c.state = Cradle::State::Pausing;
  Wait(c, pause);
}

void Sender::NextTerminal(Cradle& c) {
  const bool more = options_.repeat && (options_.repeatCount == 0 || c.terminal < options_.repeatCount);
  if (!more || interrupted_) return Done(c);
  ++c.terminal;  // back to "MASTER", for the next terminal in the cradle
  BeginTurn(c);
}

// Each file of the terminal's turn that was not sent says so in the records.
void Sender::NotSent(Cradle& c, const QString& why) {
  for (; c.next < c.files.size(); ++c.next) {
    Record rec;
    rec.file = c.files[c.next].name;
    rec.outcome = QStringLiteral("not_sent");
    rec.status = why;
    rec.started = rec.ended = QDateTime::currentDateTime();
    Log(&c, rec);
  }
}

void Sender::Wait(Cradle& c, qint64 ticks) {
  c.alarm = services_.clock->CallAt(services_.clock->After(ticks), [this, &c] { BeginTurn(c); });
  progress_->Changed();
}

void Sender::Done(Cradle& c) {
  if (c.alarm) services_.clock->Cancel(std::exchange(c.alarm, 0));
  c.state = Cradle::State::Done;
  progress_->Changed();
  MaybeFinish();
}

void Sender::MaybeFinish() {
  for (const Cradle* c : cradles_)
    if (c->state != Cradle::State::Done) return;
  int code = kExitComplete;
  for (const Cradle* c : cradles_)
    if (c->cutOff) code = kExitInterrupted;
  // With --keep-going, failures are in the records: a signal ends the run as planned.
  if (code == kExitComplete && !(options_.keepGoing && interrupted_))
    for (const Cradle* c : cradles_)
      if (c->exitCode != kExitComplete) {
        code = c->exitCode;
        break;
      }
  Finish(code);
}

// The run ends with `code`, from the event loop: a caller that has just
// started it sees Finished after Start has returned.
void Sender::Finish(int code) {
  if (finished_) return;
  finished_ = true;
  if (progress_) progress_->Stop();
  QMetaObject::invokeMethod(this, [this, code] { emit Finished(code); }, Qt::QueuedConnection);
}

void Sender::Interrupt() {
  if (finished_ || interrupted_) return;
  interrupted_ = true;
  // Each download winds up and OnEnded reports it; a cradle between two
  // terminals stops at once.
  for (Cradle* c : cradles_) {
    if (c->state == Cradle::State::Sending && c->download->Running()) c->download->Stop();
    else if (c->state == Cradle::State::Listing || c->state == Cradle::State::Pausing) Done(*c);
  }
  if (checking_ < checked_.size()) Finish(kExitInterrupted);  // nothing was sent yet
}

void Sender::Log(const Cradle* c, Record record) {
  if (!options_.json && options_.logFile.isEmpty()) return;
  record.host = c ? c->label : QString();
  record.terminal = c && options_.repeat ? c->terminal : 0;
  record.run = run_;
  const QByteArray line = JsonLine(record);
  if (options_.json) out_.write(line);
  if (!options_.logFile.isEmpty())
    if (const QString why = AppendLine(options_.logFile, line); !why.isEmpty())
      Say(kProgram + Text::tr(": --log %1: cannot be written: %2").arg(options_.logFile, why));
}

// ---- on a terminal: one line per cradle -------------------------------------------

QStringList Sender::ProgressLines() const { return BarLines(); }

QStringList Sender::BarLines() const {
  QStringList lines;
  for (const Cradle* c : cradles_) {
    const QString who = cradles_.size() > 1 ? c->label + QStringLiteral("  ") : QString();
    if (c->state == Cradle::State::Pausing || c->state == Cradle::State::Listing) {
      lines << who + (c->state == Cradle::State::Pausing ? Text::tr("the last terminal failed: waiting before the next one")
                                                         : Text::tr("nothing to send: looking again"));
      continue;
    }
    if (c->state != Cradle::State::Sending || !c->download->Running()) continue;
    const link::DownloadResult& s = c->download->Result();
    const qint64 ms = c->clock.isValid() ? c->clock.elapsed() : 0;
    const QString file = QFileInfo(s.filePath).fileName();
    const QString prefix = cradles_.size() > 1 ? who + file + QStringLiteral("  ") : QString();
    if (!s.connected) {  // how long, and how often: a wrong address or a terminal not in its receive mode shows at a glance
      lines << prefix + Text::tr("waiting for the terminal: %1 s, MASTER sent %2 times").arg(Seconds(ms)).arg(s.masters);
      continue;
    }
    // The file's bytes, line ends included: the bar is full with the last line.
    const double share = s.fileBytes > 0 ? std::min(1.0, double(s.bytesRead) / double(s.fileBytes)) : 0;
    const double seconds = std::max(0.001, ms / 1000.0);
    QString line;
    if (cradles_.size() == 1) {
      const int width = 24, filled = int(share * width);
      line = QStringLiteral("[%1%2] ").arg(QString(filled, u'#'), QString(width - filled, u'-'));
    }
    line += Text::tr("%1% %2/%3 bytes  %4 lines  %5 lines/s")
                .arg(int(share * 100), 3)
                .arg(s.bytesRead)
                .arg(s.fileBytes)
                .arg(s.linesSent)
                .arg(s.linesSent / seconds, 0, 'f', 1);
    if (share > 0 && share < 1) line += Text::tr("  %1 s left").arg(qint64(seconds * (1 - share) / share));
    lines << prefix + line;
  }
  return lines;
}

}  // namespace korima::send
