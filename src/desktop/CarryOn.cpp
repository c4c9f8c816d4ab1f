#include "CarryOn.h"

#include "platform/Volumes.h"

#include <QDir>
#include <QFileInfo>
#include <cerrno>

namespace desktop {
namespace {
platform::ErrorState g_err;
}

const platform::ErrorState& Err() { return g_err; }

void ClearError() { g_err = {}; }

void RaiseOsError(int osError) {
  if (osError == 0) osError = EIO;  // a failure must never read as "no error"
  g_err = {osError, platform::OsErrorText(osError)};
}

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

bool CanListFolder(const QString& path) {
  ClearError();
  const QFileInfo info(path);
  if (path.isEmpty() || !info.exists()) return RaiseOsError(ENOENT), false;
  if (!info.isDir()) return RaiseOsError(ENOTDIR), false;
  if (!info.isReadable() || !info.isExecutable()) return RaiseOsError(EACCES), false;
  return true;
}

QString CurDirOnDrive(const QString& root) {
  const QString cwd = CurDir();
  const QString dir = platform::VolumeOf(cwd) == root ? cwd : root;
  if (!CanListFolder(dir)) return {};
  return dir;
}

}  // namespace desktop
