#pragma once
// One download of a file into a terminal in its cradle: "MASTER" until the
// terminal answers, one framed packet per line, "END". It is configured by a
// value when it starts and ends with a result value; it reads no global and
// shows nothing itself. Many downloads can run in one process: they share the
// UDP endpoint of their local port, which hands each one its cradle's replies.
#include <QHostAddress>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#ifndef Q_MOC_RUN  // moc can't read the standard library's concepts
#include "Task.h"

#include <coroutine>
#endif

namespace platform {
class TickSource;
namespace net {
class Lookup;
}
}  // namespace platform

namespace korima::link {

class Endpoint;

// Lines travel as the file's bytes, or converted from UTF-8 to CP932.
enum class LineConversion { None, Utf8ToCp932 };

// The longest line one datagram carries: 65,507 bytes of UDP payload less
// the six bytes of the frame.
inline constexpr qsizetype kLongestLine = 65507 - 6;
// The tick counts of the protocol, at 10 ms a tick.
inline constexpr int kTicksPerSecond = 100;

struct DownloadOptions {
  QString filePath;
  QString localPort;   // as typed: decimal text, blanks around allowed
  QString remoteHost;  // an IPv4 address or a host name
  QString remotePort;
  qint16 titleLine = 0;          // above 0: line 1 is a title and is not sent
  qint64 connectTimeoutTicks = 0;  // 0: "MASTER" until stopped
  LineConversion conversion = LineConversion::None;
};

// The reply word a datagram carries, or empty: a reply is one of "ACK",
// "NAK", "BEL" and "FUL" followed by CR and nothing else.
QByteArray ReplyWord(const QByteArray& datagram);

enum class Outcome { None, Complete, Nak, NoReply, Bel, Ful, FileError, SocketError, Stopped };
const char* OutcomeName(Outcome outcome);

// Where a download ended.
enum class Phase { Preparing, Connecting, Opening, Reading, Sending, Ending };
// What was wrong with the file, for a FileError.
enum class FileProblem { None, Empty, Open, Read, NotUtf8, Unconvertible, TooLong, Internal };
// A line as it goes into a packet: converted where asked (line 1 without its
// byte-order mark), and short enough for one datagram. False when it can't
// go: `problem` says why, `detail` holds the character column (NotUtf8,
// Unconvertible) or the bytes once converted (TooLong).
bool PrepareLine(const QByteArray& line, bool firstLine, LineConversion conversion, QByteArray& out,
                 FileProblem& problem, qint64& detail);

// Which step a socket error came from.
enum class SocketStep { None, LocalPort, Bind, RemotePort, Lookup, Send };

struct DownloadResult {
  Outcome outcome = Outcome::None;
  Phase phase = Phase::Preparing;
  QString filePath;
  qint64 lineNo = 0;     // the line it ended at, counted from 1 with a title line
  FileProblem fileProblem = FileProblem::None;
  qint64 column = 0;     // NotUtf8, Unconvertible: the character column in the line
  qint64 lineBytes = 0;  // TooLong: the line's bytes once converted
  SocketStep socketStep = SocketStep::None;
  int error = 0;         // the operating system's or the resolver's error number
  QString errorText;     // and its text

  qint64 fileBytes = 0;    // the file's size
  qint64 sentBytes = 0;    // characters of acknowledged lines
  qint64 linesSent = 0;    // lines the terminal acknowledged (a title line is not sent)
  qint64 packetsSent = 0;  // data packets put on the wire, repeats included
  qint64 silentWaits = 0;  // reply waits that ended with nothing received
  qint64 masters = 0;      // "MASTER" commands sent
  qint64 connectTicks = 0; // ticks spent waiting for the terminal to answer "MASTER"
  bool connected = false;  // the terminal answered "MASTER"
};

class Download : public QObject {
  Q_OBJECT
 public:
  // Without a tick source the download makes the program's own 10 ms timer.
  explicit Download(platform::TickSource* ticks = nullptr, QObject* parent = nullptr);
  ~Download() override;

  // Starts a download; false (and nothing happens) while one still runs.
  bool Start(const DownloadOptions& options);
  // Ends the running download at once: nothing more is sent, and Ended
  // follows before this returns. Does nothing once the download is ending.
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
  friend class Endpoint;
  struct Until;
  struct NextPass;
  struct Stopped {};
  struct Failed {};

  Task<> Run();
  Task<> Connect();
  Task<> SendLines();
  Task<> Finish();
  Task<> Resolve(const QString& host);
  Task<> Yield();
  Task<QByteArray> GetReply(int waits);
  Task<> WaitTicks(qint16 count);
  bool OpenSocket();
  void Send(const QByteArray& datagram);
  void Fail(Outcome outcome);
  void FailSocket(SocketStep step, int error, const QString& text);
  void WrapUp();
  void Deliver(const QByteArray& datagram);
  void Tick();

  void Park(std::coroutine_handle<> h, std::function<bool()> ready);
  void Wake();
  void ResumeParked();

  platform::TickSource* ticks_ = nullptr;
  DownloadOptions options_;
  DownloadResult result_;
  std::shared_ptr<Endpoint> endpoint_;
  std::shared_ptr<platform::net::Lookup> lookup_;
  QHostAddress remote_;
  quint16 remotePort_ = 0;
  bool remoteIsBroadcast_ = false;
  QByteArray reply_;       // the last reply word since the last send; empty: none
  qint64 waitTicks_ = 0;   // ticks of the current wait
  bool stopping_ = false;
  bool ending_ = false;

  Task<> task_;
  std::coroutine_handle<> parked_;
  std::function<bool()> ready_;
  bool resumePosted_ = false;
};

}  // namespace korima::link

Q_DECLARE_METATYPE(korima::link::DownloadResult)
