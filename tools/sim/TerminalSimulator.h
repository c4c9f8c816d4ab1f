#pragma once
// A stand-in for a handheld terminal in its cradle: a UDP server that answers
// "MASTER", data packets and "END" as a terminal does, stores the lines it
// accepts, and can be told to misbehave the ways real cradles do.
#include <QFile>
#include <QHostAddress>
#include <QList>
#include <QMap>
#include <QObject>
#include <QUdpSocket>
#include <memory>
#include <random>

namespace korima::sim {

struct SimOptions {
  QHostAddress address{QHostAddress::LocalHost};
  quint16 port = 6001;
  QString outPath;               // accepted lines, CP932 bytes, CR LF after each, written as they come
  QByteArray terminator = "\r";  // what follows each reply word
  QMap<int, int> nakAt;          // line -> how many times to NAK it first
  QMap<int, int> silentAt;       // line -> how many times to stay silent first
  int belAt = 0;                 // line that gets BEL (0: none)
  int fulAt = 0;                 // line that gets FUL (0: none)
  bool belAtEnd = false;
  bool fulAtEnd = false;
  int nakEnd = 0;                // NAK "END" this many times first
  int silentEnd = 0;             // ignore "END" this many times first
  int silentMaster = 0;          // ignore "MASTER" this many times first
  double dropShare = 0.0;        // share of incoming datagrams lost, 0..1
  quint32 seed = 1;
  int delayMs = 0;               // reply delay
};

struct SimStats {
  int masters = 0;
  int packets = 0;
  int accepted = 0;
  int duplicates = 0;
  int badFrames = 0;
  int naks = 0;
  int ends = 0;
  int dropped = 0;
  int silences = 0;
};

class TerminalSimulator : public QObject {
  Q_OBJECT
 public:
  explicit TerminalSimulator(SimOptions options, QObject* parent = nullptr);
  bool Start();  // binds; false with ErrorText() when it can't
  QString ErrorText() const { return error_; }
  quint16 Port() const { return socket_.localPort(); }
  QHostAddress Address() const { return socket_.localAddress(); }

  // Counts and lines of the current download: a "MASTER" after an "END" (or
  // after data) starts a new one, with a new output file.
  const SimStats& Stats() const { return stats_; }
  const QList<QByteArray>& Lines() const { return lines_; }
  // Every datagram received, in order, exactly as it arrived.
  const QList<QByteArray>& Received() const { return received_; }
  SimOptions& Options() { return options_; }
  QString Summary() const;

  // True when `datagram` is a well-formed data packet; its Sep and data are returned.
  static bool ParsePacket(const QByteArray& datagram, char& sep, QByteArray& data);

 signals:
  void Completed();  // after "END" was acknowledged and the output written

 private:
  void OnReadyRead();
  void Handle(const QByteArray& datagram, const QHostAddress& from, quint16 fromPort);
  void Reply(const char* word, const QHostAddress& to, quint16 toPort);
  void StartDownload();
  bool StoreLine(const QByteArray& line);

  SimOptions options_;
  QUdpSocket socket_;
  std::mt19937 rng_;
  SimStats stats_;
  QList<QByteArray> lines_;
  QList<QByteArray> received_;
  int lastSep_ = -1;
  bool downloadOpen_ = false;  // a "MASTER" came and no "END" nor data since the last start
  std::unique_ptr<QFile> out_;
  QString error_;
};

}  // namespace korima::sim
