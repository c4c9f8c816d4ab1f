#pragma once
// The main window's link to the terminal: the UDP endpoint, the tick-counted
// waits and the file download. It talks to the window only through LinkView,
// so it runs headless under test.
#include "LinkView.h"
#include "Task.h"

#include <QByteArray>
#include <QHostAddress>
#include <QHostInfo>
#include <QObject>
#include <QUdpSocket>
#include <coroutine>
#include <functional>

namespace platform {
class TickSource;
}

namespace korima::link {

// How a download ended.
enum class Outcome { None, Complete, Nak, NoReply, Bel, Ful, FileError, SocketError, Stopped };
const char* OutcomeName(Outcome outcome);

// Figures of the last download, for callers that report on it.
struct DownloadStats {
  qint64 fileBytes = 0;    // the file's size
  qint64 sentBytes = 0;    // characters of acknowledged lines
  qint64 linesSent = 0;    // lines the terminal acknowledged (a title line is not sent)
  qint64 packetsSent = 0;  // data packets put on the wire, repeats included
  qint64 silentWaits = 0;  // reply waits that ended with nothing received
  Outcome outcome = Outcome::None;
};

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

  // For the console program: each line may be converted before it is framed
  // (the window sends the file's own bytes), and the "MASTER" phase may be
  // bounded (0: repeat until stopped, as the window does).
  void SetLineConverter(std::function<QByteArray(const QByteArray&)> convert) { convert_ = std::move(convert); }
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
  void ProgressChanged();

 private slots:
  // A string-based slot: aborting a lookup made with a functor leaks it in Qt 6.4.
  void HostFound(const QHostInfo& info);

 private:
  struct Until;
  struct NextPass;
  struct Stopped {};

  Task<> DownloadFile();
  Task<> RunDownload();
  Task<> ResolveRemote(const QString& host);
  void EndBecauseNotCommunicating();
  void WrapUp();
  Task<> Yield();
  void ReportError();
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
  int lookupId_ = -1;
  bool lookupDone_ = false;

  DownloadStats stats_;
  std::function<QByteArray(const QByteArray&)> convert_;
  qint64 connectTimeoutTicks_ = 0;

  Task<> download_;
  std::coroutine_handle<> parked_;
  std::function<bool()> ready_;
  bool resumePosted_ = false;
};

}  // namespace korima::link
