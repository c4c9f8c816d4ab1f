#include "Link.h"

#include "CheckSum.h"
#include "config/Settings.h"
#include "platform/Cp932.h"
#include "platform/Dialogs.h"
#include "platform/Errors.h"
#include "platform/Net.h"
#include "platform/TextFiles.h"
#include "platform/Ticks.h"

#include <QDir>
#include <QFileInfo>
#include <QNetworkDatagram>
#include <QNetworkInterface>
#include <cerrno>
#include <algorithm>
#include <exception>
#include <iterator>

namespace korima::link {

using config::Settings;

namespace {

constexpr qint16 kReplyTicks = 100;
constexpr qint16 kPauseTicks = 5;
constexpr int kWaitsPerAttempt = 10;
constexpr int kAttemptsPerLine = 5;
constexpr qint16 kSepFirst = '0';
constexpr qint16 kSepLast = '9';

// The words a terminal answers with; each comes with a CR and nothing else.
const QByteArray kReplyWords[] = {"ACK", "NAK", "BEL", "FUL"};

const QString kAck = QStringLiteral("ACK");
const QString kNak = QStringLiteral("NAK");
const QString kBel = QStringLiteral("BEL");
const QString kFul = QStringLiteral("FUL");

const QString kHandshakeBel = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ BEL受信");
const QString kHandshakeFul = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ FUL受信<PDTﾒﾓﾘﾌﾙ>");
const QString kHandshakeNak = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ NAK受信");
const QString kHandshakeTimeout = QStringLiteral("ﾊﾝﾄﾞｼｪｲｸ 受信ﾀｲﾑｱｳﾄ");

// Decimal text as the user typed it; blanks around it are allowed.
bool ParseInteger(const QString& text, qint64& value) {
  const QString t = text.trimmed();
  if (t.isEmpty()) return false;
  for (qsizetype i = (t[0] == u'-' || t[0] == u'+') ? 1 : 0; i < t.size(); ++i)
    if (t[i] < u'0' || t[i] > u'9') return false;
  bool ok = false;
  value = t.toLongLong(&ok);
  return ok && value >= INT32_MIN && value <= INT32_MAX;
}

// A socket failure as the operating system's error number and text.
void RaiseSocketError(QAbstractSocket::SocketError error, const QString& fallbackText) {
  int code = 0;
  switch (error) {
    case QAbstractSocket::AddressInUseError: code = EADDRINUSE; break;
    case QAbstractSocket::SocketAccessError: code = EACCES; break;
    case QAbstractSocket::SocketAddressNotAvailableError: code = EADDRNOTAVAIL; break;
    case QAbstractSocket::HostNotFoundError: code = EDESTADDRREQ; break;
    case QAbstractSocket::DatagramTooLargeError: code = EMSGSIZE; break;
    case QAbstractSocket::NetworkError: code = ENETUNREACH; break;
    case QAbstractSocket::ConnectionRefusedError: code = ECONNREFUSED; break;
    case QAbstractSocket::SocketResourceError: code = ENOBUFS; break;
    case QAbstractSocket::UnsupportedSocketOperationError: code = EOPNOTSUPP; break;
    default: break;
  }
  if (code == 0)
    platform::RaiseError(EIO, fallbackText.isEmpty() ? platform::OsErrorText(EIO) : fallbackText);
  else
    platform::RaiseOsError(code);
}

// A broadcast host takes replies from any cradle that answers.
bool IsBroadcast(const QHostAddress& address) {
  if (address.isNull()) return false;
  if (address == QHostAddress(QHostAddress::Broadcast)) return true;
  for (const QNetworkInterface& nic : QNetworkInterface::allInterfaces())
    for (const QNetworkAddressEntry& e : nic.addressEntries())
      if (!e.broadcast().isNull() && e.broadcast() == address) return true;
  return false;
}

QString ErrorLine() {
  return QString::number(platform::Err().Number) + u':' + platform::Err().Description;
}

}  // namespace

// Suspends the running download until `ready` holds; re-tested after each
// wake. A stop ends every wait: the download then winds up without sending more.
struct Link::Until {
  Link* link;
  std::function<bool()> ready;
  bool await_ready() const { return link->stopRequested_ || ready(); }
  void await_suspend(std::coroutine_handle<> h) {
    Link* l = link;
    auto test = std::move(ready);
    l->Park(h, [l, test = std::move(test)] { return l->stopRequested_ || test(); });
  }
  void await_resume() const {
    if (link->stopRequested_) throw Stopped{};
  }
};

// Suspends until the event loop has run what is pending.
struct Link::NextPass {
  Link* link;
  bool await_ready() const noexcept { return false; }
  void await_suspend(std::coroutine_handle<> h) {
    link->Park(h, [] { return true; });
    link->Wake();
  }
  void await_resume() const {
    if (link->stopRequested_) throw Stopped{};
  }
};

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

Link::Link(LinkView& view, platform::TickSource* ticks, QObject* parent)
    : QObject(parent), view_(view), Timer1_(ticks) {
  if (!Timer1_) Timer1_ = new platform::TimerTicks(10, this);
  Timer1_->Stop();
  connect(Timer1_, &platform::TickSource::Tick, this, &Link::Timer1_Timer);
  // The one reader of the socket. A second one (say, after each yield) can
  // drain a datagram whose notification is already queued, after which Qt
  // stops notifying and replies sit unread.
  connect(&Winsock1_, &QUdpSocket::readyRead, this, &Link::ReadDatagrams);
}

Link::~Link() {
  platform::net::Cancel(lookup_);
  Timer1_->Stop();  // a tick source of the caller's may outlive this link
  // Destroying the task frees a download that was parked mid-wait.
  parked_ = {};
  download_ = {};
}

// ---- the start and stop buttons --------------------------------------------

void Link::cmdComm_Click(int index) {
  if (index == 1) {
    Communicating_ = false;
    view_.SetCommState(0);
    ShowStatus(1, QStringLiteral("通信ｽﾄｯﾌﾟﾎﾞﾀﾝが押されました"));
    // A download that is already winding up keeps the outcome it has.
    if (!Downloading() || stopRequested_ || stats_.outcome != Outcome::None) return;
    stopRequested_ = true;
    stats_.outcome = Outcome::Stopped;
    // A download parked in a wait winds up now, so that the window is really
    // idle when it looks idle.
    if (parked_) {
      auto h = std::exchange(parked_, {});
      ready_ = nullptr;
      h.resume();
    }
    return;
  }
  // A download still winding up owns the socket and the reply field.
  if (Downloading()) {
    platform::Beep();
    return;
  }
  if (view_.ListIndex() < 0) {
    platform::Beep();
    platform::MsgBox(QStringLiteral("ﾌｧｲﾙが選択されていません"));
    return;
  }
  current_ = conversion_;
  if (utf8Policy_ == Utf8Policy::Ask &&
      !AskAboutUtf8(QDir::toNativeSeparators(view_.ListFolder() + u'/' + view_.ListFileName())))
    return;
  Communicating_ = true;
  stopRequested_ = false;
  view_.SetCommState(1);
  download_ = DownloadFile();
  download_.Start();
}

// A UTF-8 file sent as it is arrives as garbage on the terminal: the user
// chooses. False when the transfer is cancelled.
bool Link::AskAboutUtf8(const QString& path) {
  platform::files::InputFile file;
  QByteArray head;
  if (!file.Open(path) || !file.ReadHead(platform::kUtf8SniffBytes, head)) return true;  // the download says why
  if (!platform::LooksLikeUtf8(head, file.Eof())) return true;
  const int answer = platform::MsgBox(
      QStringLiteral("<") + path + QStringLiteral(">\r\nこのﾌｧｲﾙはUTF-8で書かれています。\r\n") +
          QStringLiteral("Shift-JISに変換して送信しますか？\r\n(いいえ: 変換せずにそのまま送信します)"),
      platform::vbYesNoCancel | platform::vbQuestion, QStringLiteral("UTF-8"));
  if (answer == platform::vbYes) current_ = LineConversion::Utf8ToCp932;
  else if (answer == platform::vbNo) current_ = LineConversion::None;
  else {
    ShowStatus(0, QStringLiteral("送信を中止しました"));
    return false;
  }
  return true;
}

// ---- the download ----------------------------------------------------------

Task<> Link::DownloadFile() {
  stats_ = {};
  lastErrorReport_.clear();
  try {
    co_await RunDownload();
  } catch (const Stopped&) {
    stats_.outcome = Outcome::Stopped;  // the stop text is already the last line
  } catch (const SendFailed&) {
    stats_.outcome = Outcome::SocketError;  // its report is the last line
  } catch (const std::exception& e) {
    stats_.outcome = Outcome::FileError;
    ShowStatus(1, QStringLiteral("内部ｴﾗｰ: ") + QString::fromLocal8Bit(e.what()));
  } catch (...) {
    stats_.outcome = Outcome::FileError;
    ShowStatus(1, QStringLiteral("内部ｴﾗｰ"));
  }
  WrapUp();
}

// Every co_return here goes to the wrap-up, each with its outcome and its
// last status line set.
Task<> Link::RunDownload() {
  // Preparation
  const QString FilePath = QDir::toNativeSeparators(view_.ListFolder() + u'/' + view_.ListFileName());
  const QFileInfo info(FilePath);
  progressMax_ = info.isFile() ? info.size() : 0;
  stats_.fileBytes = progressMax_;
  view_.SetProgressMax(progressMax_);
  view_.SetProgressVisible(true);
  view_.SetProgressValue(0);
  qint64 SentBytes = 0;
  if (progressMax_ <= 0) {  // vanished since it was listed, or empty: nothing to send
    platform::RaiseOsError(info.exists() ? platform::NoDataError() : ENOENT);
    platform::Beep();
    stats_.outcome = Outcome::FileError;
    ShowStatus(1, u'<' + FilePath + QStringLiteral("> ") + ErrorLine());
    co_return;
  }
  OpenUDP();
  if (!Communicating_) co_return EndBecauseNotCommunicating();  // the report stays in the label
  // Shown before a lookup, so that a stop during one reads right.
  ShowStatus(0, QStringLiteral("UDP通信：送受信待ち"));
  const QString host = Settings.RemoteHost.trimmed();
  if (remoteAddr_.isNull() && !host.isEmpty()) {
    co_await ResolveRemote(host);
    if (!Communicating_) co_return EndBecauseNotCommunicating();
  }

  // Connection: one "MASTER" per reply wait, whatever else the terminal says;
  // every tick of the phase counts towards its time-out.
  QString reply;
  for (;;) {
    platform::SetMousePointer(platform::vbDefault);
    co_await Yield();
    if (!Communicating_) co_return EndBecauseNotCommunicating();
    ++stats_.masters;
    co_await PutCommand(QStringLiteral("MASTER"));
    TimerCount = 0;
    Timer1_->Start();
    const qint64 before = stats_.connectTicks;
    auto timedOut = [this, before] {
      return connectTimeoutTicks_ > 0 && before + TimerCount >= connectTimeoutTicks_;
    };
    co_await Until{this, [this, &timedOut] { return RcvStr == kAck || TimerCount >= kReplyTicks || timedOut(); }};
    Timer1_->Stop();
    stats_.connectTicks = before + TimerCount;
    if (RcvStr == kAck) break;
    if (RcvStr.isEmpty()) ++stats_.silentWaits;
    if (timedOut()) {
      stats_.outcome = Outcome::NoReply;
      ShowStatus(1, QStringLiteral("MASTER:") + kHandshakeTimeout);
      co_return;
    }
    emit ProgressChanged();
  }
  stats_.connected = true;

  // Opening the file
  platform::SetMousePointer(platform::vbHourglass);
  qint16 Sep = kSepFirst;
  qint64 LineNo = 1;
  platform::files::InputFile file;
  if (!file.Open(FilePath)) {
    platform::Beep();
    stats_.outcome = Outcome::FileError;
    ShowStatus(1, u'<' + FilePath + QStringLiteral("> ") + ErrorLine());
    co_return;
  }
  ShowStatus(1, u'<' + FilePath + QStringLiteral("> ｵｰﾌﾟﾝ"));

  // Transfer, once per line
  const QString maxText = QString::number(progressMax_);
  for (;;) {
    platform::ClearError();
    if (file.Eof() && platform::Err().Number == 0) break;
    QByteArray line;
    if (!file.LineInput(line)) {
      platform::Beep();
      stats_.outcome = Outcome::FileError;
      ShowStatus(1, u'<' + FilePath + QStringLiteral("#1IN> ") + ErrorLine());
      co_return;
    }
    const bool titleLine = Settings.TitleLine > 0 && LineNo == 1;
    QByteArray packetData;
    if (!PrepareLine(line, titleLine ? 0 : LineNo, packetData)) co_return;
    for (;;) {  // the same line again after an unexpected reply
      if (!Communicating_) co_return EndBecauseNotCommunicating();
      if (titleLine) {
        reply = kAck;
        Sep = kSepLast;
        break;
      }
      int RetryCount = 0;
      do {
        co_await WaitTicks(kPauseTicks);
        QByteArray SndStr = packetData;
        co_await PutPacket(SndStr, Sep);
        ++stats_.packetsSent;
        int WaitCount = 0;
        do {
          reply = co_await GetReply();
          ++WaitCount;
        } while (reply.isEmpty() && WaitCount < kWaitsPerAttempt);
        ++RetryCount;
      } while ((reply.isEmpty() || reply == kNak) && RetryCount < kAttemptsPerLine);

      const QString record = QStringLiteral("ﾚｺｰﾄﾞ") + QString::number(LineNo) + u':';
      if (reply == kBel) { stats_.outcome = Outcome::Bel; ShowStatus(1, record + kHandshakeBel); co_return; }
      if (reply == kFul) { stats_.outcome = Outcome::Ful; ShowStatus(1, record + kHandshakeFul); co_return; }
      if (reply == kNak) { stats_.outcome = Outcome::Nak; ShowStatus(1, record + kHandshakeNak); co_return; }
      if (reply.isEmpty()) { stats_.outcome = Outcome::NoReply; ShowStatus(1, record + kHandshakeTimeout); co_return; }
      if (reply == kAck) {
        ++stats_.linesSent;
        break;
      }
    }
    // Acknowledged line
    Sep = Sep >= kSepLast ? kSepFirst : qint16(Sep + 1);
    ShowStatus(0, maxText + QStringLiteral("ﾊﾞｲﾄ中 ") + QString::number(SentBytes) +
                      QStringLiteral("ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ済み"));
    ++LineNo;
    SentBytes += platform::Cp932CharCount(packetData);
    stats_.sentBytes = SentBytes;
    view_.SetProgressValue(std::min(SentBytes, progressMax_));
    emit ProgressChanged();
  }

  // End: "END" again after a "NAK", after the pause a refused packet gets.
  for (bool again = false;; again = true) {
    if (!Communicating_) co_return EndBecauseNotCommunicating();
    if (again) co_await WaitTicks(kPauseTicks);
    co_await PutCommand(QStringLiteral("END"));
    reply = co_await GetReply();
    if (reply == kBel) { stats_.outcome = Outcome::Bel; ShowStatus(1, QStringLiteral("END:") + kHandshakeBel); co_return; }
    if (reply == kFul) { stats_.outcome = Outcome::Ful; ShowStatus(1, QStringLiteral("END:") + kHandshakeFul); co_return; }
    if (reply.isEmpty()) { stats_.outcome = Outcome::NoReply; ShowStatus(1, QStringLiteral("END:") + kHandshakeTimeout); co_return; }
    if (reply == kAck) break;
  }
  stats_.outcome = Outcome::Complete;
  ShowStatus(1, maxText + QStringLiteral("ﾊﾞｲﾄ中 ") + maxText + QStringLiteral("ﾊﾞｲﾄ ﾀﾞｳﾝﾛｰﾄﾞ完了"));
  view_.SetProgressValue(progressMax_);
}

// The flag was found cleared and the stop button did not clear it: a socket
// error did. Its report may have been overwritten by a progress text since,
// so it is shown again: the label must say why the download ended.
void Link::EndBecauseNotCommunicating() {
  if (stopRequested_) return;
  stats_.outcome = Outcome::SocketError;
  const QStringList lines = view_.StatusText().split(QStringLiteral("\r\n"));
  if (!lastErrorReport_.isEmpty() && lines.last() != lastErrorReport_) ShowStatus(1, lastErrorReport_);
}

// The line as it goes into the packet: converted where asked, and short
// enough for one datagram. False, with the outcome and its status line, when
// it can't go; `lineNo` 0 is a title line, which is never sent.
bool Link::PrepareLine(const QByteArray& line, qint64 lineNo, QByteArray& out) {
  out = line;
  if (current_ == LineConversion::Utf8ToCp932) {
    const QByteArray utf8 = lineNo <= 1 && line.startsWith(platform::kUtf8Bom) ? line.mid(3) : line;
    qsizetype column = 0;
    bool invalid = false;
    if (!platform::Utf8ToCp932(utf8, out, column, invalid)) {
      if (lineNo == 0) {  // not sent: only its length counts
        out = line;
        return true;
      }
      platform::Beep();
      stats_.outcome = Outcome::FileError;
      ShowStatus(1, QStringLiteral("ﾚｺｰﾄﾞ%1:%2文字目 ").arg(lineNo).arg(column) +
                        (invalid ? QStringLiteral("UTF-8として読めないﾊﾞｲﾄがあります")
                                 : QStringLiteral("Shift-JISに変換できない文字があります")));
      return false;
    }
  }
  if (lineNo > 0 && out.size() > kLongestLine) {
    platform::Beep();
    stats_.outcome = Outcome::FileError;
    ShowStatus(1, QStringLiteral("ﾚｺｰﾄﾞ%1:1行が長すぎます %2ﾊﾞｲﾄ(上限%3ﾊﾞｲﾄ)")
                      .arg(lineNo).arg(out.size()).arg(kLongestLine));
    return false;
  }
  return true;
}

// A host name is looked up without blocking the window: the download waits
// for the answer like for any reply, and the stop button ends that wait.
Task<> Link::ResolveRemote(const QString& host) {
  lookupDone_ = false;
  lookup_ = platform::net::LookUpHost(host, [this, host](const platform::net::LookupResult& r) {
    lookup_.reset();
    lookupDone_ = true;
    if (r.error != 0) {
      // The resolver's own code and text, with the name it could not find.
      platform::RaiseError(r.error, host + QStringLiteral(": ") + r.errorText);
      ReportError(SocketStep::Lookup);
    } else {
      remoteAddr_ = QHostAddress(r.ipv4.first());
    }
    Wake();
  });
  co_await Until{this, [this] { return lookupDone_; }};
  remoteIsBroadcast_ = IsBroadcast(remoteAddr_);
}

void Link::WrapUp() {
  platform::net::Cancel(lookup_);
  lookup_.reset();
  Timer1_->Stop();  // a stop can leave a wait without its own Stop
  view_.SetProgressVisible(false);
  Communicating_ = false;
  platform::SetMousePointer(platform::vbDefault);
  CloseUDP();
  view_.SetCommState(0);
  emit DownloadEnded();
}

// ---- the UDP endpoint -------------------------------------------------------

void Link::OpenUDP() {
  Winsock1_.close();
  remoteAddr_.clear();
  remoteIsBroadcast_ = false;
  remotePort_ = -1;

  qint64 localPort = 0;
  if (!ParseInteger(Settings.LocalPort, localPort) || localPort < 0 || localPort > 65535) {
    platform::RaiseOsError(platform::InvalidArgumentError());
    return ReportError(SocketStep::Bind);
  }
  if (!Winsock1_.bind(QHostAddress(QHostAddress::AnyIPv4), quint16(localPort))) {
    RaiseSocketError(Winsock1_.error(), Winsock1_.errorString());
    return ReportError(SocketStep::Bind);
  }

  // A literal address needs no lookup; a name is looked up by the download.
  if (remoteAddr_.setAddress(Settings.RemoteHost.trimmed())) remoteIsBroadcast_ = IsBroadcast(remoteAddr_);
  else remoteAddr_.clear();

  qint64 remotePort = 0;
  if (!ParseInteger(Settings.RemotePort, remotePort)) {
    platform::RaiseOsError(platform::InvalidArgumentError());
    return ReportError(SocketStep::RemotePort);
  }
  remotePort_ = remotePort;
}

void Link::CloseUDP() { Winsock1_.close(); }

// One pass of the event loop. Datagrams the kernel already holds count as
// arrived before this point: if there are any, the reader runs first.
Task<> Link::Yield() {
  co_await NextPass{this};
  if (Winsock1_.state() == QAbstractSocket::BoundState && Winsock1_.hasPendingDatagrams()) {
    const quint64 seen = readPasses_;
    co_await Until{this, [this, seen] {
      return readPasses_ != seen || Winsock1_.state() != QAbstractSocket::BoundState;
    }};
  }
}

// A send that fails ends the download at once with its report: waiting for
// a reply to a datagram that never left helps nobody.
Task<> Link::PutCommand(const QString& text) {
  co_await Yield();
  RcvStr.clear();
  SendDatagram(platform::ToCp932(text) + '\r');
  if (std::exchange(sendFailed_, false) && Downloading()) throw SendFailed{};
}

Task<> Link::PutPacket(QByteArray& SndStr, qint16 Sep) {
  SndStr = '^' + SepChar(Sep) + SndStr + '*';
  SndStr += CalcCheckSum(SndStr);
  co_await Yield();
  RcvStr.clear();
  SendDatagram(SndStr + '\r');
  if (std::exchange(sendFailed_, false) && Downloading()) throw SendFailed{};
}

void Link::SendDatagram(const QByteArray& bytes) {
  sendFailed_ = true;
  if (Winsock1_.state() != QAbstractSocket::BoundState) {
    platform::RaiseOsError(ENOTCONN);
    return ReportError(SocketStep::Send);
  }
  if (remoteAddr_.isNull()) {
    platform::RaiseOsError(platform::DestinationRequiredError());
    return ReportError(SocketStep::Send);
  }
  if (remotePort_ <= 0 || remotePort_ > 65535) {
    platform::RaiseOsError(platform::InvalidArgumentError());
    return ReportError(SocketStep::Send);
  }
  // The kernel's own error, which Qt's socket would fold into a few of its own.
  if (const int e = platform::net::SendDatagram(Winsock1_.socketDescriptor(), bytes, remoteAddr_.toIPv4Address(),
                                                quint16(remotePort_))) {
    platform::RaiseOsError(e);
    return ReportError(SocketStep::Send);
  }
  sendFailed_ = false;
}

bool Link::FromRemote(const QHostAddress& sender) const {
  if (remoteIsBroadcast_) return true;
  return !remoteAddr_.isNull() && remoteAddr_.isEqual(sender, QHostAddress::TolerantConversion);
}

void Link::ReadDatagrams() {
  // Bounded, so that a flood can't keep the window from its other events;
  // what is left raises the next notification.
  for (int n = 0; n < 512 && Winsock1_.state() == QAbstractSocket::BoundState &&
                  Winsock1_.hasPendingDatagrams();
       ++n) {
    const QNetworkDatagram d = Winsock1_.receiveDatagram();
    if (!d.isValid()) break;
    // A stray reply from another host must not acknowledge a line the terminal never got.
    if (FromRemote(d.senderAddress())) Winsock1_DataArrival(d.data());
  }
  ++readPasses_;
  Wake();
}

// A reply is one of the four words and its CR, nothing else. Anything else
// from the terminal's address (a bare word, CR LF, NUL, junk, an empty
// datagram) is dropped as if nothing had come, and the wait goes on: taken
// for a word it would acknowledge a line the terminal never stored, taken
// as an odd reply it would make the next command go out at once, for ever.
void Link::Winsock1_DataArrival(const QByteArray& datagram) {
  if (datagram.size() != 4 || datagram[3] != '\r') return;
  const QByteArray word = datagram.left(3);
  if (std::find(std::begin(kReplyWords), std::end(kReplyWords), word) == std::end(kReplyWords)) return;
  RcvStr = QString::fromLatin1(word);
  Wake();
}

Task<QString> Link::GetReply() {
  TimerCount = 0;
  Timer1_->Start();
  co_await Until{this, [this] { return !RcvStr.isEmpty() || TimerCount >= kReplyTicks; }};
  Timer1_->Stop();
  if (RcvStr.isEmpty()) ++stats_.silentWaits;
  co_return RcvStr;
}

Task<> Link::WaitTicks(qint16 count) {
  TimerCount = 0;
  Timer1_->Start();
  co_await Until{this, [this, count] { return TimerCount >= count; }};
  Timer1_->Stop();
}

void Link::Timer1_Timer() {
  if (TimerCount < INT16_MAX) ++TimerCount;
  Wake();
}

void Link::ShowStatus(int mode, const QString& text) {
  if (mode == 0) view_.SetStatusText(text);
  else if (mode == 1) view_.SetStatusText(view_.StatusText() + QStringLiteral("\r\n") + text);
  else return;
  emit StatusShown(text);
}

void Link::ReportError(SocketStep step) {
  stats_.socketStep = step;
  lastErrorReport_ = QString::number(platform::Err().Number) +
                     QStringLiteral(" UDP設定に問題がないか確認してください。 ") + platform::Err().Description;
  view_.SetStatusText(lastErrorReport_);
  Communicating_ = false;
  emit StatusShown(lastErrorReport_);
}

// ---- suspension ---------------------------------------------------------------

void Link::Park(std::coroutine_handle<> h, std::function<bool()> ready) {
  parked_ = h;
  ready_ = std::move(ready);
}

// Resumes from a fresh event-loop call, never from inside a socket or timer
// handler, so handlers don't run inside each other. Extra wakes do nothing.
void Link::Wake() {
  if (!parked_ || resumePosted_) return;
  resumePosted_ = true;
  QMetaObject::invokeMethod(this, &Link::ResumeParked, Qt::QueuedConnection);
}

void Link::ResumeParked() {
  resumePosted_ = false;
  if (!parked_ || !ready_()) return;
  auto h = std::exchange(parked_, {});
  ready_ = nullptr;
  h.resume();
}

}  // namespace korima::link
