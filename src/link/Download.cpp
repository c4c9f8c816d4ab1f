#include "Download.h"

#include "Frame.h"
#include "FileCheck.h"
#include "Wording.h"
#include "platform/Cp932.h"
#include "platform/Numbers.h"
#include "platform/Errors.h"
#include "platform/Net.h"
#include "platform/TextFiles.h"
#include "platform/Ticks.h"

#include <QCryptographicHash>
#include <QHostAddress>
#include <QNetworkInterface>
#include <algorithm>
#include <cerrno>
#include <exception>

namespace korima::link {

namespace {

constexpr qint64 kReplyTicks = 100;
constexpr qint64 kPauseTicks = 5;
constexpr int kWaitsPerAttempt = 10;
constexpr int kAttempts = 5;  // for a line and for "END" alike: sends in all, the first included
constexpr qint16 kSepFirst = '0';
constexpr qint16 kSepLast = '9';

bool IsBroadcast(quint32 address) {
  if (address == 0xFFFFFFFFu) return true;
  for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces())
    for (const QNetworkAddressEntry& e : nic.addressEntries())
      if (!e.broadcast().isNull() && e.broadcast().toIPv4Address() == address) return true;
  return false;
}

}  // namespace

LinkServices ProgramServices() { return {&EndpointPool::Udp(), &platform::ProgramClock()}; }

// Suspends the running download until `ready` holds or the deadline has
// passed; re-tested after each wake. A stop ends every wait: the download
// then winds up without sending more.
struct Download::Until {
  Download* d;
  std::function<bool()> ready;
  qint64 deadlineNs = kNever;
  bool await_ready() const { return d->WaitOver(ready, deadlineNs); }
  void await_suspend(std::coroutine_handle<> h) { d->Park(h, std::move(ready), deadlineNs); }
  void await_resume() const {
    if (d->stopping_) throw Stopped{};
  }
};

Download::Download(LinkServices services, QObject* parent) : QObject(parent), services_(services) {
  qRegisterMetaType<DownloadResult>();
}

Download::~Download() {
  platform::net::Cancel(lookup_);
  CancelAlarm();
  listener_.reset();
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
  stopping_ = ending_ = false;
  task_ = Run();
  task_.Start();
  return true;
}

// Suspends until the event loop has run what is pending.
struct Download::NextPass {
  Download* d;
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    d->Park(h, [] { return true; }, kNever);
    d->Wake();
  }
  void await_resume() const {
    if (d->stopping_) throw Stopped{};
  }
};

void Download::Stop() {
  if (!Running() || stopping_ || ending_) return;
  stopping_ = true;
  result_.outcome = Outcome::Stopped;
  // Wound up from the event loop, never inside the caller's handler.
  Wake();
}

// ---- the download, as the protocol reads -------------------------------------

Task<> Download::Run() {
  try {
    // A file whose encoding is to be judged is read first, wherever it is checked.
    if (options_.checkWhen == CheckWhen::BeforeMaster || (!options_.conversion && options_.checkWhen == CheckWhen::None))
      co_await CheckFile();
    conversion_ = options_.conversion.value_or(conversion_);
    OpenSocket();
    emit Waiting();
    co_await Resolve();
    Listen();
    co_await Connect();
    if (options_.fileOnConnect) {
      const QString path = options_.fileOnConnect();
      if (path.isEmpty()) FailFile(FileProblem::Empty, ENOENT, platform::OsErrorText(ENOENT));
      options_.filePath = result_.filePath = path;
    }
    if (options_.checkWhen == CheckWhen::AfterMaster) co_await CheckFile();
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
  const qint64 start = services_.clock->NowNs();
  const qint64 limit = connectDeadline_;
  // Every command waits the pause a packet gets, "MASTER" and "END" too: an
  // ACK carries no number, and a late duplicate of the one before, still on
  // its way, must arrive and be dropped before the next command goes out
  // rather than answer it (a "MASTER" the terminal never heard, say, when the
  // next transfer starts at once).
  co_await Pause(kPauseTicks);
  for (;;) {
    const QByteArray reply = co_await Exchange(kMasterCommand, &result_.masters, 1, true, limit);
    result_.connectTicks = services_.clock->TicksSince(start);
    if (reply == kAck) break;
    if (services_.clock->Passed(limit)) Fail(Outcome::NoReply);
    emit MasterUnanswered();
  }
  result_.connected = true;
  emit Connected();
}

// Reads the file ahead, a piece between events, and finds what would stop it.
Task<> Download::CheckFile() {
  FileCheck check(options_.filePath, options_.conversion, options_.titleLine);
  while (!check.Step()) co_await NextPass{this};
  const FileCheckResult& r = check.Result();
  result_.verdict = r.verdict;
  conversion_ = r.conversion;
  if (r.problem == FileProblem::None) co_return;
  result_.lineNo = r.lineNo;
  result_.column = r.column;
  result_.lineBytes = r.lineBytes;
  FailFile(r.problem, r.error, r.errorText);
}

// Every line in one packet, each waiting for its own "ACK": after a "NAK" or
// silence the same packet again, five attempts in all. The file is read as
// it is now: what is sent, and what is reported, is what was read here.
Task<> Download::SendLines() {
  using platform::files::LineReader;
  result_.phase = Phase::Lines;
  LineReader file;
  QCryptographicHash sha256(QCryptographicHash::Sha256);
  if (!file.Open(options_.filePath, conversion_, &sha256))
    FailFile(FileProblem::Open, file.LastProblem().error, file.LastProblem().errorText);
  result_.fileBytes = file.SizeAtOpen();
  emit FileOpened();
  qint16 sep = kSepFirst;
  for (qint64 lineNo = 1;; ++lineNo) {
    QByteArray data;
    const LineReader::Next next = file.Read(data);
    if (next == LineReader::Next::End) {
      // Emptied since it was chosen (or nothing but a byte-order mark): nothing was sent.
      if (lineNo == 1) FailFile(FileProblem::Empty, ENODATA, platform::OsErrorText(ENODATA));
      break;
    }
    result_.lineNo = lineNo;
    // A title line is not sent, yet counts as acknowledged: the first packet still carries "0".
    const bool titleLine = options_.titleLine > 0 && lineNo == 1;
    if (next == LineReader::Next::Failed) {
      const LineReader::Problem& p = file.LastProblem();
      if (p.kind == LineReader::Problem::Read) FailFile(FileProblem::Read, p.error, p.errorText);
      result_.column = p.column;
      if (!titleLine)
        FailFile(p.kind == LineReader::Problem::NotUtf8    ? FileProblem::NotUtf8
                 : p.kind == LineReader::Problem::NotUtf16 ? FileProblem::NotUtf16
                                                           : FileProblem::Unconvertible);
    }
    if (!titleLine && data.size() > kLongestLine) {
      result_.lineBytes = data.size();
      FailFile(FileProblem::TooLong);
    }
    if (!titleLine) {
      const QByteArray packet = FramePacket(data, sep) + '\r';
      QByteArray reply;
      for (int attempt = 0; attempt < kAttempts; ++attempt) {
        co_await Pause(kPauseTicks);
        reply = co_await Exchange(packet, &result_.packetsSent, kWaitsPerAttempt);
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
    result_.bytesRead = file.BytesConsumed();
    emit LineAcknowledged(before);
  }
  result_.bytesRead = file.BytesConsumed();
  result_.sha256 = QString::fromLatin1(sha256.result().toHex());
}

// "END" as a line is sent: after the pause, and again after a "NAK" or
// silence, five attempts in all. A lost datagram is not a failed transfer,
// and a terminal that keeps refusing can't hold the PC for ever.
Task<> Download::Finish() {
  result_.phase = Phase::Ending;
  QByteArray reply;
  for (int attempt = 0; attempt < kAttempts; ++attempt) {
    co_await Pause(kPauseTicks);
    reply = co_await Exchange(kEndCommand, nullptr, 1);
    if (reply == kAck) co_return;
    if (reply == kBel) Fail(Outcome::Bel);
    if (reply == kFul) Fail(Outcome::Ful);
  }
  Fail(reply == kNak ? Outcome::Nak : Outcome::NoReply);
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
  Fail(Outcome::SocketError);
}

void Download::FailFile(FileProblem problem, int error, const QString& text) {
  result_.fileProblem = problem;
  result_.error = error;
  result_.errorText = text;
  Fail(Outcome::FileError);
}

void Download::OpenSocket() {
  // The time-out counts from here: a name lookup that hangs is part of connecting.
  connectDeadline_ = options_.connectTimeoutTicks > 0 ? services_.clock->After(options_.connectTimeoutTicks) : kNever;
  const auto local = platform::ParseInteger(options_.localPort, 0, 65535);
  if (!local) FailSocket(SocketStep::LocalPort, EINVAL, platform::OsErrorText(EINVAL));
  int error = 0;
  endpoint_ = services_.endpoints->Acquire(quint16(*local), error);
  // A port in use is most likely the service's, which keeps it all day.
  if (!endpoint_)
    FailSocket(SocketStep::Bind, error,
               platform::OsErrorText(error) + (error == EADDRINUSE ? u' ' + wording::PortInUse(quint16(*local)) : QString()));
  // A literal address needs no lookup; a name is looked up once the waiting text shows.
  const platform::net::HostText host = platform::net::ReadHost(options_.remoteHost);
  if (host.form == platform::net::HostForm::Refused)
    FailSocket(SocketStep::Address, EINVAL, options_.remoteHost.trimmed() + QStringLiteral(": ") + wording::AddressForm());
  haveRemote_ = host.form == platform::net::HostForm::Address;
  remote_ = host.ipv4;
  const auto port = platform::ParseInteger(options_.remotePort, 1, 65535);
  if (!port) FailSocket(SocketStep::RemotePort, EINVAL, platform::OsErrorText(EINVAL));
  remotePort_ = quint16(*port);
}

// A host name is looked up without holding up the event loop: the download
// waits for the answer like for any reply, and a stop ends that wait.
Task<> Download::Resolve() {
  if (haveRemote_) co_return;
  const QString host = options_.remoteHost.trimmed();
  if (host.isEmpty()) FailSocket(SocketStep::Lookup, EDESTADDRREQ, platform::OsErrorText(EDESTADDRREQ));
  std::optional<platform::net::LookupResult> answer;
  lookup_ = platform::net::LookUpHost(host, [this, &answer](const platform::net::LookupResult& r) {
    lookup_.reset();
    answer = r;
    Wake();
  });
  co_await Until{this, [&answer] { return answer.has_value(); }, connectDeadline_};
  if (!answer) FailSocket(SocketStep::Lookup, ETIMEDOUT, host + QStringLiteral(": ") + platform::OsErrorText(ETIMEDOUT));
  // The resolver's own code and text, with the name it could not find.
  if (answer->error != 0) FailSocket(SocketStep::Lookup, answer->error, host + QStringLiteral(": ") + answer->errorText);
  remote_ = answer->ipv4.first();
  haveRemote_ = true;
}

// From here on the endpoint hands this download its cradle's replies.
void Download::Listen() {
  const ReplyKey key{remote_, remotePort_, IsBroadcast(remote_)};
  const QString name = options_.remoteHost.trimmed() + u':' + QString::number(remotePort_);
  QString holder;
  listener_ = endpoint_->Listen(key, name, [this](const QByteArray& d) { Deliver(d); }, &holder);
  if (!listener_)
    FailSocket(SocketStep::SameCradle, EADDRINUSE,
               wording::SameCradle(name, QHostAddress(remote_).toString() + u':' + QString::number(remotePort_), holder));
}

// A send that fails ends the download at once with its report: waiting for
// a reply to a datagram that never left helps nobody.
void Download::Send(const QByteArray& datagram) {
  if (const int e = endpoint_->Send(datagram, remote_, remotePort_))
    FailSocket(SocketStep::Send, e, platform::OsErrorText(e));
}

void Download::WrapUp() {
  ending_ = true;
  platform::net::Cancel(lookup_);
  lookup_.reset();
  CancelAlarm();
  listener_.reset();
  endpoint_.reset();  // the last download of a port closes its socket
  emit Ended(result_);
}

// ---- waits ------------------------------------------------------------------------

// Sends one datagram and waits for its reply: up to `waits` reply waits while
// nothing arrives, never past `limitNs`; with `ackOnly` each wait runs its
// full length unless the reply is "ACK". This is the one place that clears
// the reply, just before the send and after the datagrams already there have
// been read, so that a late reply to an earlier datagram can't answer this one.
Task<QByteArray> Download::Exchange(const QByteArray& datagram, qint64* sent, int waits, bool ackOnly,
                                    qint64 limitNs) {
  // Datagrams the socket already holds count as arrived before this send.
  // Read here, they go to their downloads as the reader would hand them.
  endpoint_->Read();
  reply_.clear();
  if (sent) ++*sent;
  Send(datagram);
  for (int i = 0; i < waits; ++i) {
    const qint64 end = std::min(services_.clock->After(kReplyTicks), limitNs);
    co_await Until{this, [this, ackOnly] { return ackOnly ? reply_ == kAck : !reply_.isEmpty(); }, end};
    if (reply_.isEmpty()) ++result_.silentWaits;
    if (!reply_.isEmpty() || services_.clock->Passed(limitNs)) break;
  }
  co_return reply_;
}

Task<> Download::Pause(qint64 ticks) {
  co_await Until{this, [] { return false; }, services_.clock->After(ticks)};
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

// ---- suspension ------------------------------------------------------------------

bool Download::WaitOver(const std::function<bool()>& ready, qint64 deadlineNs) const {
  return stopping_ || services_.clock->Passed(deadlineNs) || ready();
}

void Download::Park(std::coroutine_handle<> h, std::function<bool()> ready, qint64 deadlineNs) {
  parked_ = h;
  ready_ = std::move(ready);
  deadline_ = deadlineNs;
  // The clock calls from an event of its own, where nothing else is under way:
  // a wait that ends by time resumes at once, without another event.
  if (deadlineNs != kNever) alarm_ = services_.clock->CallAt(deadlineNs, [this] { alarm_ = 0, ResumeParked(); });
}

void Download::CancelAlarm() {
  if (alarm_) services_.clock->Cancel(std::exchange(alarm_, 0));
  if (wake_) services_.clock->Cancel(std::exchange(wake_, 0));
}

// Resumes from the clock's next event, never from inside a socket reader or
// a caller's handler (a button, a stop), so handlers don't run inside each
// other. Every download woken by one pass of the reader resumes in that one
// event. Extra wakes do nothing.
void Download::Wake() {
  if (!parked_ || wake_) return;
  wake_ = services_.clock->CallAt(services_.clock->NowNs(), [this] { wake_ = 0, ResumeParked(); });
}

void Download::ResumeParked() {
  if (!parked_ || !WaitOver(ready_, deadline_)) return;
  CancelAlarm();
  auto h = std::exchange(parked_, {});
  ready_ = nullptr;
  h.resume();
}

}  // namespace korima::link
