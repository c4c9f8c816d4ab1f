#pragma once
// A handheld terminal in its cradle, as the PC meets it: it answers "MASTER",
// data packets and "END" as a terminal does, stores the lines it accepts,
// and can be told to misbehave the ways real cradles do. No socket: the
// simulator puts it on UDP, tests put it on an in-memory network.
#include <QByteArray>
#include <QFile>
#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <random>

namespace korima::sim {

struct SimOptions {
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

class Terminal : public QObject {
  Q_OBJECT
 public:
  explicit Terminal(SimOptions options, QObject* parent = nullptr);

  // One datagram from the PC; `reply` is called with the answer, if any.
  void Handle(const QByteArray& datagram, const std::function<void(const QByteArray&)>& reply);

  // Counts and lines of the current download: a "MASTER" after an "END" (or
  // after data) starts a new one, with a new output file.
  const SimStats& Stats() const { return stats_; }
  const QList<QByteArray>& Lines() const { return lines_; }
  // Every datagram received, in order, exactly as it arrived.
  const QList<QByteArray>& Received() const { return received_; }
  SimOptions& Options() { return options_; }
  QString Summary() const;

 signals:
  void Completed();  // after "END" was acknowledged and the output written

 private:
  void StartDownload();
  bool StoreLine(const QByteArray& line);

  SimOptions options_;
  std::mt19937 rng_;
  SimStats stats_;
  QList<QByteArray> lines_;
  QList<QByteArray> received_;
  int lastSep_ = -1;
  bool downloadOpen_ = false;  // a "MASTER" came and no "END" nor data since the last start
  std::unique_ptr<QFile> out_;
};

}  // namespace korima::sim
