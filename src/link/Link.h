#pragma once
// The main window's link to the terminal: the UDP endpoint, the tick-counted
// waits and the file download. It talks to the window only through LinkView,
// so it runs headless under test.
#include "LinkView.h"
#include "Task.h"

#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <coroutine>
#include <functional>
#include <memory>

namespace platform {
class TickSource;
namespace net {
class Lookup;
}
}

namespace korima::link {

// How a download ended.
enum class Outcome { None, Complete, Nak, NoReply, Bel, Ful, FileError, SocketError, Stopped };
const char* OutcomeName(Outcome outcome);

// Which step a socket error came from.
enum class SocketStep { None, Bind, RemotePort, Lookup, Send };

// Figures of the last download, for callers that report on it.
struct DownloadStats {
  qint64 fileBytes = 0;    // the file's size
  qint64 sentBytes = 0;    // characters of acknowledged lines
  qint64 linesSent = 0;    // lines the terminal acknowledged (a title line is not sent)
  qint64 packetsSent = 0;  // data packets put on the wire, repeats included
  qint64 silentWaits = 0;  // reply waits that ended with nothing received
  qint64 masters = 0;      // "MASTER" commands sent
  qint64 connectTicks = 0; // ticks spent waiting for the terminal to answer "MASTER"
  bool connected = false;  // the terminal answered "MASTER"
  SocketStep socketStep = SocketStep::None;
  Outcome outcome = Outcome::None;
};

// Lines travel as the file's bytes, or converted from UTF-8 to CP932.
enum class LineConversion { None, Utf8ToCp932 };
// What the start button does with a UTF-8 file: ask (the window), or keep
// the conversion set by the caller.
enum class Utf8Policy { Ask, AsSet };

// The longest line one datagram carries: 65,507 bytes of UDP payload less
// the six bytes of the frame.
inline constexpr qsizetype kLongestLine = 65507 - 6;

class Link : public QObject {
  Q_OBJECT
 public:
  // Without a tick source the link makes the program's own 10 ms timer.
  explicit Link(LinkView& view, platform::TickSource* ticks = nullptr, QObject* parent = nullptr);
  ~Link() override;

  // 0 starts a download of the selected file, 1 stops it.
  void cmdComm_Click(int index);
  bool Communicating() const { return Communicating_; }
  // True from a start until its wrap-up.
  bool Downloading() const { return download_.Valid() && !download_.Done(); }
  const DownloadStats& Stats() const { return stats_; }

  // Each line may be converted before it is framed; the window asks for a
  // UTF-8 file, the console program decides itself. The "MASTER" phase may be
  // bounded (0: repeat until stopped, as the window does).
  void SetLineConversion(LineConversion conversion) { conversion_ = conversion; }
  void SetUtf8Policy(Utf8Policy policy) { utf8Policy_ = policy; }
  void SetConnectTimeoutTicks(qint64 ticks) { connectTimeoutTicks_ = ticks; }

  void OpenUDP();
  void CloseUDP();
  Task<> PutPacket(QByteArray& SndStr, qint16 Sep);
  Task<> PutCommand(const QString& text);
  Task<QString> GetReply();
  Task<> WaitTicks(qint16 count);
  void Winsock1_DataArrival(const QByteArray& datagram);
  void Timer1_Timer();
  void ShowStatus(int mode, const QString& text);

  QString RcvStr;
  qint16 TimerCount = 0;

  QUdpSocket& Winsock1() { return Winsock1_; }
  platform::TickSource& Timer1() { return *Timer1_; }

 signals:
  // After every wrap-up; for tools and tests that run downloads unattended.
  // A new download may be started from a queued connection to it, not a direct one.
  void DownloadEnded();
  // Every status text as it is shown: the line added (mode 1) or the new text (mode 0).
  void StatusShown(const QString& text);
  // After each acknowledged line, and after each "MASTER" that went unanswered.
  void ProgressChanged();

 private:
  struct Until;
  struct NextPass;
  struct Stopped {};
  struct SendFailed {};

  Task<> DownloadFile();
  Task<> RunDownload();
  Task<> ResolveRemote(const QString& host);
  bool AskAboutUtf8(const QString& path);
  bool PrepareLine(const QByteArray& line, qint64 lineNo, QByteArray& out);
  void EndBecauseNotCommunicating();
  void WrapUp();
  Task<> Yield();
  void ReportError(SocketStep step);
  void SendDatagram(const QByteArray& bytes);
  void ReadDatagrams();
  bool FromRemote(const QHostAddress& sender) const;

  void Park(std::coroutine_handle<> h, std::function<bool()> ready);
  void Wake();
  void ResumeParked();

  LinkView& view_;
  QUdpSocket Winsock1_;
  platform::TickSource* Timer1_ = nullptr;
  bool Communicating_ = false;
  bool stopRequested_ = false;  // the stop button: ends the current wait, nothing more is sent
  quint64 readPasses_ = 0;
  QString lastErrorReport_;

  QHostAddress remoteAddr_;
  bool remoteIsBroadcast_ = false;
  qint64 remotePort_ = -1;
  qint64 progressMax_ = 0;
  std::shared_ptr<platform::net::Lookup> lookup_;
  bool lookupDone_ = false;
  bool sendFailed_ = false;

  DownloadStats stats_;
  LineConversion conversion_ = LineConversion::None;
  LineConversion current_ = LineConversion::None;  // this download's
  Utf8Policy utf8Policy_ = Utf8Policy::Ask;
  qint64 connectTimeoutTicks_ = 0;

  Task<> download_;
  std::coroutine_handle<> parked_;
  std::function<bool()> ready_;
  bool resumePosted_ = false;
};

}  // namespace korima::link
