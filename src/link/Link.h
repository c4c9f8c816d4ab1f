#pragma once
// The main window's link to the terminal: the UDP endpoint, the tick-counted
// waits and the file download. It talks to the window only through LinkView,
// so it runs headless under test.
#include "LinkView.h"
#include "Task.h"

#include <QHostAddress>
#include <QObject>
#include <QUdpSocket>
#include <coroutine>
#include <functional>

namespace platform {
class TickSource;
}

namespace korima::link {

class Link : public QObject {
  Q_OBJECT
 public:
  // Without a tick source the link makes the program's own 10 ms timer.
  explicit Link(LinkView& view, platform::TickSource* ticks = nullptr, QObject* parent = nullptr);
  ~Link() override;

  // 0 starts a download of the selected file, 1 stops it.
  void cmdComm_Click(int index);
  bool Communicating() const { return Communicating_; }
  // True from a start until its wrap-up, which after a stop may come later.
  bool Downloading() const { return download_.Valid() && !download_.Done(); }

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
  void DownloadEnded();

 private:
  struct Until;
  struct NextPass;

  Task<> DownloadFile();
  Task<> RunDownload();
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

  QHostAddress remoteAddr_;
  bool remoteIsBroadcast_ = false;
  qint64 remotePort_ = -1;
  qint64 progressMax_ = 0;

  Task<> download_;
  std::coroutine_handle<> parked_;
  std::function<bool()> ready_;
  bool resumePosted_ = false;
};

}  // namespace korima::link
