#include "Process.h"

#include "Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <QProcess>
#include <QSocketNotifier>
#if defined(Q_OS_UNIX)
#include <csignal>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#if defined(Q_OS_LINUX)
#include <sys/prctl.h>
#endif
#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/lsan_interface.h>
#endif

namespace platform {
namespace {
QString g_exePath;
std::function<void(int)> g_endHandler;
}  // namespace

QString ExePath() {
  if (!g_exePath.isEmpty()) return g_exePath;
  return QCoreApplication::applicationFilePath();
}

void SetExePathForTest(const QString& path) { g_exePath = path; }

QString PathSeparator() { return QString(QDir::separator()); }

QString DocumentsFolder() {
  const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  return !docs.isEmpty() && QFileInfo(docs).isDir() ? QDir::toNativeSeparators(docs) : QString();
}

QString HomeFolder() {
  const QString home = QDir::homePath();
  return !home.isEmpty() && QFileInfo(home).isDir() ? QDir::toNativeSeparators(home) : QString();
}

QString RootFolder() { return QDir::toNativeSeparators(QDir::rootPath()); }


long PeakMemoryKiB() {
#if defined(Q_OS_LINUX)
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) return usage.ru_maxrss;  // KiB on Linux
#endif
  return -1;
}

double ProcessCpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

long PeakMemoryKiBOf(qint64 pid) {
  QFile status(QStringLiteral("/proc/%1/status").arg(pid));
  if (!status.open(QIODevice::ReadOnly)) return -1;
  for (const QByteArray& line : status.readAll().split('\n'))
    if (line.startsWith("VmHWM:")) return line.mid(6).trimmed().split(' ').value(0).toLong();
  return -1;
}

double CpuSecondsOf(qint64 pid) {
  QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
  if (!stat.open(QIODevice::ReadOnly)) return -1;
  const QByteArray text = stat.readAll();
  // The fields after the command name, which may hold blanks and brackets.
  const QList<QByteArray> f = text.mid(text.lastIndexOf(')') + 2).split(' ');
  const long hz = ::sysconf(_SC_CLK_TCK);
  if (f.size() < 13 || hz <= 0) return -1;
  return double(f[11].toLongLong() + f[12].toLongLong()) / double(hz);  // utime, stime
}

#if defined(Q_OS_UNIX)
namespace {
int g_signalPipe[2] = {-1, -1};
volatile sig_atomic_t g_signals = 0;
// Only writes a byte: the handler itself runs on the event loop. A second
// signal means "now": the process ends at once, whatever is winding up.
void WriteSignalByte(int) {
  const sig_atomic_t seen = g_signals;
  g_signals = seen + 1;
  if (seen > 0) ::_exit(130);
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}
}  // namespace
#endif

void OnStopSignal(std::function<void()> handler) {
#if defined(Q_OS_UNIX)
  if (g_signalPipe[0] < 0 && ::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, QCoreApplication::instance());
  QObject::connect(notifier, &QSocketNotifier::activated, notifier, [handler = std::move(handler)] {
    char buf[16];
    [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], buf, sizeof buf);
    handler();
  });
  struct sigaction sa = {};
  sa.sa_handler = WriteSignalByte;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
#else
  Q_UNUSED(handler);
#endif
}

bool StandardErrorIsTerminal() {
#if defined(Q_OS_UNIX)
  return ::isatty(STDERR_FILENO) == 1;
#else
  return false;
#endif
}

void EndWithParent(QProcess& child) {
#if defined(Q_OS_LINUX)
  child.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
#else
  Q_UNUSED(child);
#endif
}

void EndProgram(int exitCode) {
  if (g_endHandler) g_endHandler(exitCode);
  std::fflush(nullptr);
#if defined(__SANITIZE_ADDRESS__)
  // _Exit skips the leak check that would run at a normal exit.
  __lsan_do_leak_check();
#endif
  std::_Exit(exitCode);
}

void SetEndProgramHandler(std::function<void(int)> handler) { g_endHandler = std::move(handler); }

}  // namespace platform
