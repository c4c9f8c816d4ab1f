// korima-bench: downloads into the terminal simulator on loopback with the
// program's real 10 ms ticks and prints throughput against the protocol's
// limit, CPU use of the sending side, and peak memory for a small and a huge file.
#include "config/Settings.h"
#include "link/Link.h"
#include "link/LinkView.h"
#include "platform/Dialogs.h"
#include "platform/Process.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTextStream>
#include <QNetworkDatagram>
#include <QUdpSocket>

using korima::link::Link;

namespace {

class BenchView : public korima::link::LinkView {
 public:
  QString StatusText() const override { return status; }
  void SetStatusText(const QString& t) override {
    status = t;
    if (t.endsWith(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ済み"))) ++acked;
  }
  void SetCommState(int) override {}
  QString ListFolder() const override { return folder; }
  QString ListFileName() const override { return name; }
  int ListIndex() const override { return 0; }
  void SetProgressMax(qint64) override {}
  void SetProgressValue(qint64) override {}
  void SetProgressVisible(bool) override {}
  QString status, folder, name;
  int acked = 0;
};

QTextStream out(stdout);

// SIGINT or SIGTERM ends the run through the normal way out, so that the
// simulator is stopped and the temporary folder removed; the simulator also
// goes with the benchmark when the benchmark is killed outright.
bool g_interrupted = false;


// Starts the simulator on a free loopback port.
bool StartSimulator(QProcess& sim, quint16& port, const QString& outFile) {
  const QString exe = QCoreApplication::applicationDirPath() + "/../tools/korima-terminal-sim";
  for (int attempt = 0; attempt < 20; ++attempt) {
    QUdpSocket probe;
    if (!probe.bind(QHostAddress::LocalHost, 0)) continue;
    port = probe.localPort();
    probe.close();
    platform::EndWithParent(sim);
    sim.start(exe, {"--host", "127.0.0.1", "--port", QString::number(port), "--out", outFile});
    if (sim.waitForReadyRead(3000) && sim.readAll().contains("listening")) return true;
    sim.kill();
    sim.waitForFinished();
  }
  return false;
}

// Sends `lines` lines of `path` (all of it when 0) and returns the wall seconds taken.
double Send(BenchView& view, Link& link, const QString& path, int lines) {
  view.folder = QFileInfo(path).absolutePath();
  view.name = QFileInfo(path).fileName();
  view.acked = 0;
  QSignalSpy ended(&link, &Link::DownloadEnded);
  QElapsedTimer wall;
  wall.start();
  link.cmdComm_Click(0);
  while (ended.isEmpty()) {
    ended.wait(50);
    if (((lines > 0 && view.acked >= lines) || g_interrupted) && link.Communicating()) link.cmdComm_Click(1);
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

// Child mode: send the first 200 lines of one file, print the peak memory.
int MemoryChild(const QString& path) {
  QTemporaryDir tmp;
  QProcess sim;
  quint16 port = 0;
  if (!StartSimulator(sim, port, tmp.filePath("recv.out"))) return 1;
  korima::config::Settings.LocalPort = "0";
  korima::config::Settings.RemoteHost = "127.0.0.1";
  korima::config::Settings.RemotePort = QString::number(port);
  BenchView view;
  Link link(view);
  Send(view, link, path, 200);
  sim.kill();
  sim.waitForFinished();
  out << platform::PeakMemoryKiB() << Qt::endl;
  return 0;
}

long MeasurePeak(const QString& path) {
  QProcess child;
  platform::EndWithParent(child);
  child.start(QCoreApplication::applicationFilePath(), {"--memory-child", path});
  QEventLoop wait;  // an event loop, so that a signal is noticed while the child runs
  QObject::connect(&child, &QProcess::finished, &wait, &QEventLoop::quit);
  QTimer check;
  QObject::connect(&check, &QTimer::timeout, [&] {
    if (g_interrupted) child.terminate();
  });
  check.start(100);
  if (child.state() != QProcess::NotRunning) wait.exec();
  return child.exitCode() == 0 ? child.readAllStandardOutput().trimmed().toLong() : -1;
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
      "peak memory while sending 200 lines of a 1 KB and of a 200 MB file.\n");
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
  korima::config::Settings.LocalPort = "0";
  korima::config::Settings.RemoteHost = "127.0.0.1";
  korima::config::Settings.RemotePort = QString::number(port);

  const double rttMs = LoopbackRoundTripMs(port);
  const QString file = tmp.filePath("bench.csv");
  {
    QFile f(file);
    f.open(QIODevice::WriteOnly);
    for (int i = 0; i < lines; ++i) f.write("4901234567894,\x83\x7b\x81\x5b\x83\x8b\x83\x79\x83\x93,120\r\n");
  }
  BenchView view;
  Link link(view);
  const double cpu0 = platform::ProcessCpuSeconds();
  const double wall = Send(view, link, file, 0);
  const double cpu = platform::ProcessCpuSeconds() - cpu0;
  if (g_interrupted) {
    sim.kill();
    sim.waitForFinished();
    out << "interrupted" << Qt::endl;
    return 130;
  }
  const bool complete = view.status.endsWith(QStringLiteral("ﾀﾞｳﾝﾛｰﾄﾞ完了")) &&
                        QFile(tmp.filePath("recv.out")).size() == QFile(file).size();
  sim.kill();
  sim.waitForFinished();

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
  return complete ? 0 : 1;
}
