// korima-bench: downloads into the terminal simulator on loopback with the
// program's real 10 ms ticks and prints throughput against the protocol's
// limit, CPU use of the sending side, peak memory for a small and a huge file,
// the rate at which a file's encoding is judged, and the same for korima-send
// serving many cradles at once.
#include "link/Download.h"
#include "platform/Process.h"
#include "platform/TextFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QTimer>
#include <QNetworkDatagram>
#include <QUdpSocket>

using korima::link::Download;

namespace {

QTextStream out(stdout);

// SIGINT or SIGTERM ends the run through the normal way out, so that the
// simulator is stopped and the temporary folder removed; the simulator also
// goes with the benchmark when the benchmark is killed outright.
bool g_interrupted = false;

QString Tool(const QString& relative) { return QCoreApplication::applicationDirPath() + "/../" + relative; }

// Starts the simulator, `cradles` of them from 127.0.0.2 (one: 127.0.0.1), on a free port.
bool StartSimulator(QProcess& sim, quint16& port, const QString& outFile, int cradles = 1) {
  for (int attempt = 0; attempt < 20; ++attempt) {
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0)) continue;
    port = probe.localPort();
    probe.close();
    platform::EndWithParent(sim);
    QStringList args{"--port", QString::number(port), "--out", outFile};
    if (cradles > 1) args << "--cradles" << QString::number(cradles);
    sim.start(Tool("tools/korima-terminal-sim"), args);
    QElapsedTimer t;
    t.start();
    QByteArray said;
    while (t.elapsed() < 3000 && said.count("listening") < cradles && sim.waitForReadyRead(3000)) said += sim.readAll();
    if (said.count("listening") == cradles) return true;
    sim.kill();
    sim.waitForFinished();
  }
  return false;
}

void StopSimulator(QProcess& sim) {
  sim.kill();
  sim.waitForFinished();
}

korima::link::DownloadOptions To(quint16 port, const QString& file) {
  korima::link::DownloadOptions o;
  o.localPort = "0";
  o.remoteHost = "127.0.0.1";
  o.remotePort = QString::number(port);
  o.filePath = file;
  return o;
}

// Sends `lines` lines of the file (all of it when 0) and returns the wall seconds taken.
double Send(Download& d, const korima::link::DownloadOptions& o, int lines) {
  QSignalSpy ended(&d, &Download::Ended);
  QElapsedTimer wall;
  wall.start();
  d.Start(o);
  while (ended.isEmpty()) {
    ended.wait(50);
    if (((lines > 0 && d.Result().linesSent >= lines) || g_interrupted) && d.Running()) d.Stop();
  }
  return wall.nsecsElapsed() / 1e9;
}

void WriteLines(const QString& path, qint64 bytes) {
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  const QByteArray line = "4901234567894,\x83\x7b\x81\x5b\x83\x8b\x83\x79\x83\x93,120,2026/12/07,A-01-03,000000000001\r\n";
  QByteArray chunk;
  while (chunk.size() < (1 << 20)) chunk += line;
  qint64 written = 0;
  while (written + chunk.size() <= bytes) written += f.write(chunk);
  while (written + line.size() <= bytes) written += f.write(line);
}

void WriteShortLines(const QString& path, int lines) {
  QFile f(path);
  f.open(QIODevice::WriteOnly);
  for (int i = 0; i < lines; ++i) f.write("4901234567894,\x83\x7b\x81\x5b\x83\x8b\x83\x79\x83\x93,120\r\n");
}

// The encoding judge over a 200 MB file that reads as Shift-JIS and as UTF-8
// (half-width katakana in pairs), so that both readings run to its end: MB/s,
// or -1 when the file is judged wrongly.
double JudgeRate(const QString& path) {
  const QByteArray line = "4901234567890,\xd0\xbf\xc2\xb0 \xcf\xb0\xda\xb0 \xd7\xbc\xde\xb5,198,2026/12/07\r\n";
  const QByteArray chunk = line.repeated((1 << 20) / line.size());
  const qint64 bytes = 200LL * 1024 * 1024 / chunk.size() * chunk.size();
  {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly)) return -1;
    for (qint64 written = 0; written < bytes; written += chunk.size())
      if (f.write(chunk) != chunk.size()) return -1;
  }
  QElapsedTimer t;
  t.start();
  platform::EncodingVerdict verdict;
  platform::ErrorState error;
  const bool read = platform::files::JudgeFile(path, verdict, error);
  const double seconds = t.nsecsElapsed() / 1e9;
  QFile::remove(path);
  if (!read || verdict.encoding != platform::TextEncoding::ShiftJis || !verdict.alsoUtf8) return -1;
  return bytes / (1024.0 * 1024.0) / seconds;
}

double LoopbackRoundTripMs(quint16 port) {
  QUdpSocket s;
  s.bind(QHostAddress::LocalHost, 0);
  QElapsedTimer t;
  double total = 0;
  const int n = 50;
  for (int i = 0; i < n; ++i) {
    t.start();
    s.writeDatagram("MASTER\r", QHostAddress::LocalHost, port);
    s.waitForReadyRead(1000);
    total += t.nsecsElapsed() / 1e6;
    while (s.hasPendingDatagrams()) s.receiveDatagram();
  }
  return total / n;
}

// Waits for a child on an event loop, so that a signal is noticed meanwhile;
// `watch` runs every 100 ms while it runs.
void WaitFor(QProcess& child, const std::function<void()>& watch = {}) {
  QEventLoop wait;
  QObject::connect(&child, &QProcess::finished, &wait, &QEventLoop::quit);
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (watch) watch();
    if (g_interrupted) child.terminate();
  });
  check.start(100);
  if (child.state() != QProcess::NotRunning) wait.exec();
}

// Child mode: send the first 200 lines of one file, print the peak memory.
int MemoryChild(const QString& path) {
  QTemporaryDir tmp;
  QProcess sim;
  quint16 port = 0;
  if (!StartSimulator(sim, port, tmp.filePath("recv.out"))) return 1;
  Download d;
  Send(d, To(port, path), 200);
  StopSimulator(sim);
  out << platform::PeakMemoryKiB() << Qt::endl;
  return 0;
}

long MeasurePeak(const QString& path) {
  QProcess child;
  platform::EndWithParent(child);
  child.start(QCoreApplication::applicationFilePath(), {"--memory-child", path});
  WaitFor(child);
  return child.exitCode() == 0 ? child.readAllStandardOutput().trimmed().toLong() : -1;
}

struct CradlesRun {
  bool complete = false;
  double worstRatio = 0;  // the slowest cradle against the per-line floor
  double cpuShare = 0;    // of one core, for the whole korima-send process
  long peakKiB = -1;
  double errKiBps = 0;    // what it wrote to standard error, a second
};

// korima-send with `cradles` hosts, `lines` lines each, into the simulator's
// cradles; `bars`: drawing its progress bars, as on a terminal.
CradlesRun RunCradles(int cradles, int lines, double rttMs, bool bars = false) {
  CradlesRun r;
  QTemporaryDir tmp;
  QProcess sim;
  quint16 port = 0;
  const QString file = tmp.filePath("items.csv");
  WriteShortLines(file, lines);
  if (!StartSimulator(sim, port, tmp.filePath(cradles > 1 ? "recv-%n.out" : "recv-1.out"), cradles)) return r;
  QStringList args{"--json", "--local-port", "0", "--port", QString::number(port), "--settings", tmp.filePath("none.ini")};
  args << (bars ? QStringList{"--progress=bar"} : QStringList{"--progress=none", "-q"});
  for (int i = 0; i < cradles; ++i)
    args << "--host" << QHostAddress(QHostAddress(cradles > 1 ? "127.0.0.2" : "127.0.0.1").toIPv4Address() + i).toString();
  args << file;
  QProcess send;
  platform::EndWithParent(send);
  QElapsedTimer wall;
  wall.start();
  send.start(Tool("korima-send"), args);
  send.waitForStarted();
  const qint64 pid = send.processId();
  double cpu = 0;
  WaitFor(send, [&] {
    if (const long kib = platform::PeakMemoryKiBOf(pid); kib > 0) r.peakKiB = kib;
    if (const double s = platform::CpuSecondsOf(pid); s >= 0) cpu = s;
  });
  const double seconds = wall.nsecsElapsed() / 1e9;
  StopSimulator(sim);
  const double floorMs = 5 * 10.0 + rttMs;
  r.complete = send.exitCode() == 0;
  r.worstRatio = 1e9;
  for (const QByteArray& line : send.readAllStandardOutput().split('\n')) {
    const QJsonObject o = QJsonDocument::fromJson(line).object();
    if (o.isEmpty()) continue;
    const double perLineMs = o["seconds"].toDouble() * 1000 / lines;
    r.worstRatio = std::min(r.worstRatio, floorMs / perLineMs);
  }
  if (r.worstRatio > 1e8) r.worstRatio = 0;
  r.cpuShare = cpu / seconds;
  r.errKiBps = send.readAllStandardError().size() / 1024.0 / seconds;
  return r;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  platform::OnStopSignal([] { g_interrupted = true; });
  const QStringList args = app.arguments();
  if (args.size() == 3 && args[1] == "--memory-child") return MemoryChild(args[2]);
  const QString usage = QStringLiteral(
      "Usage: korima-bench [LINES]\n"
      "Downloads LINES lines (default 300) into the terminal simulator on loopback with real\n"
      "10 ms ticks; prints throughput against the protocol's limit, the sender's CPU use, and\n"
      "peak memory while sending 200 lines of a 1 KB and of a 200 MB file; the rate at which\n"
      "the encoding of a 200 MB file that reads as Shift-JIS and as UTF-8 is judged. Then\n"
      "korima-send sends LINES lines to 1, 8 and 64 cradles at once: the slowest cradle against\n"
      "the limit, the process's CPU use and its peak memory; and to 64 cradles drawing its\n"
      "progress bars, the output a second.\n"
      "The Japanese documentation of KORIMA is README.ja.md, and man korima under a Japanese locale.\n");
  if (args.size() > 2 || (args.size() == 2 && (args[1] == "--help" || args[1] == "-h"))) {
    if (args.size() > 2) {
      QTextStream(stderr) << usage;
      return 2;
    }
    out << usage;
    return 0;
  }
  bool ok = true;
  const int lines = args.size() > 1 ? args[1].toInt(&ok) : 300;
  if (!ok || lines < 1) {
    QTextStream(stderr) << "korima-bench: LINES must be a whole number above 0, not \"" << args[1] << "\"\n" << usage;
    return 2;
  }

  QTemporaryDir tmp;
  QProcess sim;
  quint16 port = 0;
  if (!StartSimulator(sim, port, tmp.filePath("recv.out"))) {
    out << "cannot start the simulator" << Qt::endl;
    return 1;
  }
  const double rttMs = LoopbackRoundTripMs(port);
  const QString file = tmp.filePath("bench.csv");
  WriteShortLines(file, lines);
  Download d;
  const double cpu0 = platform::ProcessCpuSeconds();
  const double wall = Send(d, To(port, file), 0);
  const double cpu = platform::ProcessCpuSeconds() - cpu0;
  StopSimulator(sim);
  if (g_interrupted) {
    out << "interrupted" << Qt::endl;
    return 130;
  }
  const bool complete = d.Result().outcome == korima::link::Outcome::Complete &&
                        QFile(tmp.filePath("recv.out")).size() == QFile(file).size();

  const double perLineLimitMs = 5 * 10.0 + rttMs;
  const double linesPerSecond = lines / wall;
  const double limit = 1000.0 / perLineLimitMs;
  out << "download of " << lines << " lines: " << (complete ? "complete" : "INCOMPLETE") << Qt::endl;
  out << QString::asprintf("loopback round trip     %.3f ms", rttMs) << Qt::endl;
  out << QString::asprintf("throughput              %.2f lines/s (limit %.2f lines/s, ratio %.3f; target >= 0.95)",
                           linesPerSecond, limit, linesPerSecond / limit) << Qt::endl;
  out << QString::asprintf("sender CPU              %.4f s per wall second (%.2f%% of one core; target <= 3%%)",
                           cpu / wall, 100 * cpu / wall) << Qt::endl;

  const QString small = tmp.filePath("small.csv"), huge = tmp.filePath("huge.csv");
  WriteLines(small, 1024);
  WriteLines(huge, 200LL * 1024 * 1024);
  const long smallPeak = MeasurePeak(small), hugePeak = g_interrupted ? -1 : MeasurePeak(huge);
  if (g_interrupted) return 130;
  out << QString::asprintf("peak memory, 200 lines  1 KB file %ld KiB, 200 MB file %ld KiB, difference %ld KiB (target <= 10240)",
                           smallPeak, hugePeak, hugePeak - smallPeak) << Qt::endl;
  QFile::remove(huge);
  const double judged = JudgeRate(tmp.filePath("judge.csv"));
  if (judged < 0) out << "judging 200 MB (reads as both)  WRONG VERDICT" << Qt::endl;
  else out << QString::asprintf("judging 200 MB (reads as both)  %.0f MB/s (target >= 200)", judged) << Qt::endl;

  bool allComplete = complete && judged >= 0;
  long onePeak = -1;
  for (int cradles : {1, 8, 64}) {
    const CradlesRun r = RunCradles(cradles, lines, rttMs);
    if (g_interrupted) return 130;
    if (cradles == 1) onePeak = r.peakKiB;
    allComplete &= r.complete;
    out << QString::asprintf("korima-send, %2d cradles %s: slowest cradle ratio %.3f (target >= 0.97), "
                             "CPU %.2f%% of one core (target <= 2%%), peak memory %ld KiB (%+ld KiB against 1 cradle)",
                             cradles, r.complete ? "complete" : "INCOMPLETE", r.worstRatio, 100 * r.cpuShare, r.peakKiB,
                             r.peakKiB - onePeak)
        << Qt::endl;
  }
  const CradlesRun bars = RunCradles(64, lines, rttMs, true);
  if (g_interrupted) return 130;
  allComplete &= bars.complete;
  out << QString::asprintf("korima-send, 64 cradles drawing bars %s: %.1f KiB/s to standard error (target < 100), "
                           "CPU %.2f%% of one core (target <= 2%%), slowest ratio %.3f",
                           bars.complete ? "complete" : "INCOMPLETE", bars.errKiBps, 100 * bars.cpuShare, bars.worstRatio)
      << Qt::endl;
  return allComplete ? 0 : 1;
}
