#pragma once
// One download of a file into a terminal in its cradle: "MASTER" until the
// terminal answers, one framed packet per line, "END". It is configured by a
// value when it starts and ends with a result value; it reads no global and
// shows nothing itself. Many downloads can run in one process: they share the
// endpoint of their local port, which hands each one its cradle's replies.
#include "Endpoint.h"
#include "Result.h"

#include <QObject>
#include <QString>
#include <functional>
#include <limits>
#include <memory>
#ifndef Q_MOC_RUN  // moc can't read the standard library's concepts
#include "Task.h"

#include <coroutine>
#endif

namespace platform {
class TickClock;
namespace net {
class Lookup;
}
}  // namespace platform

namespace korima::link {

// What downloads run on: a network and a clock. The program's are real UDP
// and 10 ms ticks; tests pass an in-memory network and a clock of their own.
struct LinkServices {
  EndpointPool* endpoints;
  platform::TickClock* clock;
};
LinkServices ProgramServices();

class Download : public QObject {
  Q_OBJECT
 public:
  explicit Download(LinkServices services = ProgramServices(), QObject* parent = nullptr);
  ~Download() override;

  // Starts a download; false (and nothing happens) while one still runs.
  bool Start(const DownloadOptions& options);
  // Ends the running download: nothing more is sent, and Ended follows from
  // the event loop. Does nothing once the download is ending.
  void Stop();
  bool Running() const { return task_.Valid() && !task_.Done(); }
  // The figures so far; the whole result once Ended has been emitted.
  const DownloadResult& Result() const { return result_; }
  const DownloadOptions& Options() const { return options_; }
  // The local port the endpoint is bound to, 0 when none.
  quint16 LocalPort() const;

 signals:
  void Waiting();            // the socket is open; "MASTER" follows
  void MasterUnanswered();   // a reply wait of the connection ended without "ACK"
  void Connected();          // the terminal answered "MASTER"
  void FileOpened();
  // The terminal took a line (a title line counts as taken); `sentBefore`:
  // the characters acknowledged before it, as the status text shows them.
  void LineAcknowledged(qint64 sentBefore);
  void Ended(const korima::link::DownloadResult& result);

 private:
  static constexpr qint64 kNever = std::numeric_limits<qint64>::max();
  struct Until;
  struct NextPass;
  struct Stopped {};
  struct Failed {};

  Task<> Run();
  Task<> Connect();
  Task<> CheckFile();
  Task<> SendLines();
  Task<> Finish();
  Task<> Resolve();
  Task<QByteArray> Exchange(const QByteArray& datagram, qint64* sent, int waits, bool ackOnly = false,
                            qint64 limitNs = kNever);
  Task<> Pause(qint64 ticks);

  // Every failure ends here: the outcome, then the wrap-up.
  [[noreturn]] void Fail(Outcome outcome);
  [[noreturn]] void FailSocket(SocketStep step, int error, const QString& text);
  [[noreturn]] void FailFile(FileProblem problem, int error = 0, const QString& text = {});
  void OpenSocket();
  void Listen();
  void Send(const QByteArray& datagram);
  void WrapUp();
  void Deliver(const QByteArray& datagram);

  // What ends a wait: a stop, its deadline, or what it waits for.
  bool WaitOver(const std::function<bool()>& ready, qint64 deadlineNs) const;
  void Park(std::coroutine_handle<> h, std::function<bool()> ready, qint64 deadlineNs);
  void Wake();
  void ResumeParked();
  void CancelAlarm();

  LinkServices services_;
  DownloadOptions options_;
  DownloadResult result_;
  std::shared_ptr<Endpoint> endpoint_;
  std::unique_ptr<Endpoint::Listener> listener_;
  std::shared_ptr<platform::net::Lookup> lookup_;
  quint32 remote_ = 0;
  bool haveRemote_ = false;
  quint16 remotePort_ = 0;
  qint64 connectDeadline_ = kNever;  // the connect time-out, from the start of connecting
  LineConversion conversion_ = LineConversion::None;  // as chosen, or as judged
  QByteArray reply_;  // the last reply word since the last send; empty: none
  bool stopping_ = false;
  bool ending_ = false;

  Task<> task_;
  std::coroutine_handle<> parked_;
  std::function<bool()> ready_;  // with the deadline and a stop, what ends the wait
  qint64 deadline_ = kNever;
  quint64 alarm_ = 0;  // the wait's deadline
  quint64 wake_ = 0;   // a wake, due at once
};

}  // namespace korima::link

Q_DECLARE_METATYPE(korima::link::DownloadResult)
