#include "Download.h"

#include "CheckSum.h"
#include "Endpoint.h"
#include "platform/Cp932.h"
#include "platform/Errors.h"
#include "platform/Net.h"
#include "platform/TextFiles.h"
#include "platform/Ticks.h"

#include <QFileInfo>
#include <QMetaObject>
#include <QNetworkInterface>
#include <algorithm>
#include <cerrno>
#include <exception>
#include <iterator>

namespace korima::link {

namespace {

constexpr qint16 kReplyTicks = 100;
constexpr qint16 kPauseTicks = 5;
constexpr int kWaitsPerAttempt = 10;
constexpr int kAttemptsPerLine = 5;
constexpr qint16 kSepFirst = '0';
constexpr qint16 kSepLast = '9';

// The words a terminal answers with; each comes with a CR and nothing else.
const QByteArray kAck = "ACK", kNak = "NAK", kBel = "BEL", kFul = "FUL";
const QByteArray kReplyWords[] = {kAck, kNak, kBel, kFul};

// A port as the user typed it: decimal, blanks around allowed.
bool ParsePort(const QString& text, qint64 min, qint64 max, quint16& port) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return false;
  for (qsizetype i = (t[0] == u'-' || t[0] == u'+') ? 1 : 0; i < t.size(); ++i)
    if (t[i] < u'0' || t[i] > u'9') return false;
  bool ok = false;
  const qint64 value = t.toLongLong(&ok);
  if (!ok || value < min || value > max) return false;
  port = quint16(value);
  return true;
}

bool IsBroadcast(const QHostAddress& address) {
  if (address.isNull()) return false;
  if (address == QHostAddress(QHostAddress::Broadcast)) return true;
  for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces())
    for (const QNetworkAddressEntry& e : nic.addressEntries())
      if (!e.broadcast().isNull() && e.broadcast() == address) return true;
  return false;
}

}  // namespace

bool PrepareLine(const QByteArray& line, bool firstLine, LineConversion conversion, QByteArray& out,
                 FileProblem& problem, qint64& detail) {
  problem = FileProblem::None;
  detail = 0;
  out = line;
  if (conversion == LineConversion::Utf8ToCp932) {
    const QByteArray utf8 = firstLine && line.startsWith(platform::kUtf8Bom) ? line.mid(3) : line;
    qsizetype column = 0;
    bool invalid = false;
    if (!platform::Utf8ToCp932(utf8, out, column, invalid)) {
      problem = invalid ? FileProblem::NotUtf8 : FileProblem::Unconvertible;
      detail = column;
      return false;
    }
  }
  if (out.size() > kLongestLine) {
    problem = FileProblem::TooLong;
    detail = out.size();
    return false;
  }
  return true;
}

const char* OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::Complete: return "complete";
    case Outcome::Nak: return "nak";
    case Outcome::NoReply: return "no_reply";
    case Outcome::Bel: return "bel";
    case Outcome::Ful: return "ful";
    case Outcome::FileError: return "file_error";
    case Outcome::SocketError: return "socket_error";
    case Outcome::Stopped: return "stopped";
    case Outcome::None: break;
  }
  return "none";
}

// Suspends the running download until `ready` holds; re-tested after each
// wake. A stop ends every wait: the download then winds up without sending more.
struct Download::Until {
  Download* d;
  std::function<bool()> ready;
  bool await_ready() const { return d->stopping_ || ready(); }
  void await_suspend(std::coroutine_handle<> h) {
    Download* self = d;
    self->Park(h, [self, test = std::move(ready)] { return self->stopping_ || test(); });
  }
  void await_resume() const {
    if (d->stopping_) throw Stopped{};
  }
};

// Suspends until the event loop has run what is pending.
struct Download::NextPass {
  Download* d;
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    d->Park(h, [] { return true; });
    d->Wake();
  }
  void await_resume() const {
    if (d->stopping_) throw Stopped{};
  }
};

Download::Download(platform::TickSource* ticks, QObject* parent) : QObject(parent), ticks_(ticks) {
  qRegisterMetaType<DownloadResult>();
  if (!ticks_) ticks_ = new platform::TimerTicks(10, this);
  ticks_->Stop();
  connect(ticks_, &platform::TickSource::Tick, this, &Download::Tick);
}

Download::~Download() {
  platform::net::Cancel(lookup_);
  ticks_->Stop();  // a tick source of the caller's may outlive this download
  if (endpoint_) endpoint_->Detach(this);
  // Destroying the task frees a download that was parked mid-wait.
  parked_ = {};
  task_ = {};
}

quint16 Download::LocalPort() const { return endpoint_ ? endpoint_->LocalPort() : 0; }

bool Download::Start(const DownloadOptions& options) {
  if (Running()) return false;
  options_ = options;
  result_ = {};
  result_.filePath = options.filePath;
  stopping_ = false;
  ending_ = false;
  task_ = Run();
  task_.Start();
  return true;
}

void Download::Stop() {
  if (!Running() || stopping_ || ending_) return;
  stopping_ = true;
  result_.outcome = Outcome::Stopped;
  // A download parked in a wait winds up now, so that the caller is really
  // idle when it looks idle.
  if (parked_) {
    auto h = std::exchange(parked_, {});
    ready_ = nullptr;
    h.resume();
  }
}

// ---- the download, as the protocol reads -------------------------------------

Task<> Download::Run() {
  try {
    // Preparation: a file that vanished since it was chosen, or is empty, has nothing to send.
    const QFileInfo info(options_.filePath);
    result_.fileBytes = info.isFile() ? info.size() : 0;
    if (result_.fileBytes <= 0) {
      result_.fileProblem = FileProblem::Empty;
      result_.error = info.exists() ? ENODATA : ENOENT;
      result_.errorText = platform::OsErrorText(result_.error);
      Fail(Outcome::FileError);
    }
    if (!OpenSocket()) throw Failed{};
    emit Waiting();
    const QString host = options_.remoteHost.trimmed();
    if (remote_.isNull()) co_await Resolve(host);
    remoteIsBroadcast_ = IsBroadcast(remote_);

    co_await Connect();
    co_await SendLines();
    co_await Finish();
    result_.outcome = Outcome::Complete;
  } catch (const Stopped&) {
    result_.outcome = Outcome::Stopped;
  } catch (const Failed&) {
    // the result says why
  } catch (const std::exception& e) {
    result_.outcome = Outcome::FileError;
    result_.fileProblem = FileProblem::Internal;
    result_.errorText = QString::fromLocal8Bit(e.what());
  }
  WrapUp();
}

// "MASTER" until the terminal answers "ACK": one per reply wait, whatever
// else it says, every tick of the phase counting towards the time-out.
Task<> Download::Connect() {
  result_.phase = Phase::Connecting;
  for (;;) {
    ++result_.masters;
    const qint64 before = result_.connectTicks;
    auto timedOut = [this, before] {
      return options_.connectTimeoutTicks > 0 && before + waitTicks_ >= options_.connectTimeoutTicks;
    };
    co_await Yield();
    reply_.clear();
    Send("MASTER\r");
    waitTicks_ = 0;
    ticks_->Start();
    co_await Until{this, [&] { return reply_ == kAck || waitTicks_ >= kReplyTicks || timedOut(); }};
    ticks_->Stop();
    result_.connectTicks = before + waitTicks_;
    if (reply_ == kAck) break;
    if (reply_.isEmpty()) ++result_.silentWaits;
    if (timedOut()) Fail(Outcome::NoReply);
    emit MasterUnanswered();
  }
  result_.connected = true;
  emit Connected();
}

// Every line in one packet, each waiting for its own "ACK": after a "NAK" or
// silence the same packet again, five attempts in all.
Task<> Download::SendLines() {
  result_.phase = Phase::Opening;
  platform::files::InputFile file;
  if (!file.Open(options_.filePath)) {
    result_.fileProblem = FileProblem::Open;
    result_.error = file.Error().Number;
    result_.errorText = file.Error().Description;
    Fail(Outcome::FileError);
  }
  emit FileOpened();
  result_.phase = Phase::Reading;
  qint16 sep = kSepFirst;
  for (qint64 lineNo = 1;; ++lineNo) {
    if (file.Eof() && file.Error().Number == 0) break;
    result_.lineNo = lineNo;
    QByteArray line;
    if (!file.LineInput(line)) {
      result_.fileProblem = FileProblem::Read;
      result_.error = file.Error().Number;
      result_.errorText = file.Error().Description;
      Fail(Outcome::FileError);
    }
    // A title line is not sent, yet counts as acknowledged: the first packet still carries "0".
    const bool titleLine = options_.titleLine > 0 && lineNo == 1;
    QByteArray data;
    FileProblem problem = FileProblem::None;
    qint64 detail = 0;
    if (!PrepareLine(line, lineNo == 1, options_.conversion, data, problem, detail)) {
      if (!titleLine) {
        result_.fileProblem = problem;
        (problem == FileProblem::TooLong ? result_.lineBytes : result_.column) = detail;
        Fail(Outcome::FileError);
      }
      if (problem != FileProblem::TooLong) data = line;  // never sent: only its length counts
    }
    if (!titleLine) {
      result_.phase = Phase::Sending;
      const QByteArray packet = FramePacket(data, sep) + '\r';
      QByteArray reply;
      for (int attempt = 0; attempt < kAttemptsPerLine; ++attempt) {
        co_await WaitTicks(kPauseTicks);
        co_await Yield();
        reply_.clear();
        Send(packet);
        ++result_.packetsSent;
        reply = co_await GetReply(kWaitsPerAttempt);
        if (reply == kAck || reply == kBel || reply == kFul) break;
      }
      if (reply == kBel) Fail(Outcome::Bel);
      if (reply == kFul) Fail(Outcome::Ful);
      if (reply == kNak) Fail(Outcome::Nak);
      if (reply.isEmpty()) Fail(Outcome::NoReply);
      ++result_.linesSent;
      sep = sep >= kSepLast ? kSepFirst : qint16(sep + 1);
    }
    const qint64 before = result_.sentBytes;
    result_.sentBytes += platform::Cp932CharCount(data);
    result_.phase = Phase::Reading;
    emit LineAcknowledged(before);
  }
}

// "END", again after a "NAK" after the pause a refused packet gets.
Task<> Download::Finish() {
  result_.phase = Phase::Ending;
  for (bool again = false;; again = true) {
    if (again) co_await WaitTicks(kPauseTicks);
    co_await Yield();
    reply_.clear();
    Send("END\r");
    const QByteArray reply = co_await GetReply(1);
    if (reply == kBel) Fail(Outcome::Bel);
    if (reply == kFul) Fail(Outcome::Ful);
    if (reply.isEmpty()) Fail(Outcome::NoReply);
    if (reply == kAck) break;
  }
}

// ---- the pieces ----------------------------------------------------------------

void Download::Fail(Outcome outcome) {
  result_.outcome = outcome;
  throw Failed{};
}

void Download::FailSocket(SocketStep step, int error, const QString& text) {
  result_.socketStep = step;
  result_.error = error;
  result_.errorText = text;
  result_.outcome = Outcome::SocketError;
}

bool Download::OpenSocket() {
  quint16 local = 0;
  if (!ParsePort(options_.localPort, 0, 65535, local)) {
    FailSocket(SocketStep::LocalPort, EINVAL, platform::OsErrorText(EINVAL));
    return false;
  }
  int error = 0;
  endpoint_ = Endpoint::Acquire(local, error);
  if (!endpoint_) {
    FailSocket(SocketStep::Bind, error, platform::OsErrorText(error));
    return false;
  }
  // A literal address needs no lookup; a name is looked up once the waiting text shows.
  remote_.clear();
  if (!remote_.setAddress(options_.remoteHost.trimmed()) || remote_.protocol() != QAbstractSocket::IPv4Protocol)
    remote_.clear();
  if (!ParsePort(options_.remotePort, 1, 65535, remotePort_)) {
    FailSocket(SocketStep::RemotePort, EINVAL, platform::OsErrorText(EINVAL));
    return false;
  }
  endpoint_->Attach(this);
  return true;
}

// A host name is looked up without holding up the event loop: the download
// waits for the answer like for any reply, and a stop ends that wait.
Task<> Download::Resolve(const QString& host) {
  bool done = false;
  if (host.isEmpty()) {
    FailSocket(SocketStep::Lookup, EDESTADDRREQ, platform::OsErrorText(EDESTADDRREQ));
    throw Failed{};
  }
  lookup_ = platform::net::LookUpHost(host, [this, host, &done](const platform::net::LookupResult& r) {
    lookup_.reset();
    done = true;
    // The resolver's own code and text, with the name it could not find.
    if (r.error != 0) FailSocket(SocketStep::Lookup, r.error, host + QStringLiteral(": ") + r.errorText);
    else remote_ = QHostAddress(r.ipv4.first());
    Wake();
  });
  co_await Until{this, [&done] { return done; }};
  if (result_.outcome == Outcome::SocketError) throw Failed{};
}

// A send that fails ends the download at once with its report: waiting for
// a reply to a datagram that never left helps nobody.
void Download::Send(const QByteArray& datagram) {
  if (const int e = endpoint_->Send(datagram, remote_, remotePort_)) {
    FailSocket(SocketStep::Send, e, platform::OsErrorText(e));
    throw Failed{};
  }
}

void Download::WrapUp() {
  ending_ = true;
  platform::net::Cancel(lookup_);
  lookup_.reset();
  ticks_->Stop();  // a stop can leave a wait without its own Stop
  if (endpoint_) endpoint_->Detach(this);
  endpoint_.reset();  // the last download of a port closes its socket
  emit Ended(result_);
}

// ---- waits ------------------------------------------------------------------------

// One pass of the event loop. Datagrams the kernel already holds count as
// arrived before this point: if there are any, the reader runs first.
Task<> Download::Yield() {
  co_await NextPass{this};
  if (endpoint_ && endpoint_->HasPendingDatagrams()) {
    const quint64 seen = endpoint_->ReadPasses();
    co_await Until{this, [this, seen] { return !endpoint_ || endpoint_->ReadPasses() != seen; }};
  }
}

// Up to `waits` reply waits of 100 ticks while nothing arrives.
Task<QByteArray> Download::GetReply(int waits) {
  for (int i = 0; i < waits; ++i) {
    waitTicks_ = 0;
    ticks_->Start();
    co_await Until{this, [this] { return !reply_.isEmpty() || waitTicks_ >= kReplyTicks; }};
    ticks_->Stop();
    if (!reply_.isEmpty()) break;
    ++result_.silentWaits;
  }
  co_return reply_;
}

Task<> Download::WaitTicks(qint16 count) {
  waitTicks_ = 0;
  ticks_->Start();
  co_await Until{this, [this, count] { return waitTicks_ >= count; }};
  ticks_->Stop();
}

void Download::Tick() {
  ++waitTicks_;
  Wake();
}

// A reply is one of the four words and its CR, nothing else. Anything else
// from the cradle's address (a bare word, CR LF, NUL, junk, an empty
// datagram) is dropped as if nothing had come, and the wait goes on: taken
// for a word it would acknowledge a line the terminal never stored, taken
// as an odd reply it would make the next command go out at once, for ever.
void Download::Deliver(const QByteArray& datagram) {
  const QByteArray word = ReplyWord(datagram);
  if (word.isEmpty()) return;
  reply_ = word;  // the newest replaces the one before
  Wake();
}

QByteArray ReplyWord(const QByteArray& datagram) {
  if (datagram.size() != 4 || datagram[3] != '\r') return {};
  const QByteArray word = datagram.left(3);
  return std::find(std::begin(kReplyWords), std::end(kReplyWords), word) != std::end(kReplyWords) ? word : QByteArray();
}

// ---- suspension ------------------------------------------------------------------

void Download::Park(std::coroutine_handle<> h, std::function<bool()> ready) {
  parked_ = h;
  ready_ = std::move(ready);
}

// Resumes from a fresh event-loop call, never from inside a socket or timer
// handler, so handlers don't run inside each other. Extra wakes do nothing.
void Download::Wake() {
  if (!parked_ || resumePosted_) return;
  resumePosted_ = true;
  QMetaObject::invokeMethod(this, &Download::ResumeParked, Qt::QueuedConnection);
}

void Download::ResumeParked() {
  resumePosted_ = false;
  if (!parked_ || !ready_()) return;
  auto h = std::exchange(parked_, {});
  ready_ = nullptr;
  h.resume();
}

}  // namespace korima::link
