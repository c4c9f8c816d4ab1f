#include "Process.h"

#include "Errors.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QOperatingSystemVersion>
#include <QStandardPaths>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#if defined(Q_OS_UNIX)
#include <sys/resource.h>
#endif

namespace platform {
namespace {
QString g_exePath;
int g_osMajorForTest = -1;
std::function<void(int)> g_endHandler;
}  // namespace

QString ExePath() {
  if (!g_exePath.isEmpty()) return g_exePath;
  return QCoreApplication::applicationFilePath();
}

void SetExePathForTest(const QString& path) { g_exePath = path; }

QString ExeFolder() { return QDir::toNativeSeparators(QFileInfo(ExePath()).absolutePath()); }

QString ExeBaseName() { return QFileInfo(ExePath()).completeBaseName(); }

QString PathSeparator() { return QString(QDir::separator()); }

QString CurDir() { return QDir::toNativeSeparators(QDir::currentPath()); }

bool ChDir(const QString& path) {
  ClearError();
  if (path.isEmpty() || path.contains(QChar(0))) return RaiseOsError(ENOENT), false;
  const QFileInfo info(path);
  if (!info.exists()) return RaiseOsError(ENOENT), false;
  if (!info.isDir()) return RaiseOsError(ENOTDIR), false;
  if (!QDir::setCurrent(path)) return RaiseOsError(EACCES), false;
  return true;
}

QString DocumentsFolder() {
  const QString docs = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
  if (!docs.isEmpty() && QFileInfo(docs).isDir()) return QDir::toNativeSeparators(docs);
  const QString home = QDir::homePath();
  if (!home.isEmpty() && QFileInfo(home).isDir()) return QDir::toNativeSeparators(home);
  return {};
}

int OsMajorVersion() {
  if (g_osMajorForTest >= 0) return g_osMajorForTest;
  const auto v = QOperatingSystemVersion::current();
  if (v.type() == QOperatingSystemVersion::Windows) return v.majorVersion();
  return 6;
}

void SetOsMajorVersionForTest(int major) { g_osMajorForTest = major; }

long PeakMemoryKiB() {
#if defined(Q_OS_LINUX)
  rusage usage{};
  if (getrusage(RUSAGE_SELF, &usage) == 0) return usage.ru_maxrss;  // KiB on Linux
#endif
  return -1;
}

double ProcessCpuSeconds() { return double(std::clock()) / CLOCKS_PER_SEC; }

void EndProgram(int exitCode) {
  if (g_endHandler) g_endHandler(exitCode);
  std::fflush(nullptr);
  std::_Exit(exitCode);
}

void SetEndProgramHandler(std::function<void(int)> handler) { g_endHandler = std::move(handler); }

}  // namespace platform
