#include "Errors.h"

#include <QFileInfo>
#include <cerrno>
#include <cstring>

namespace platform {

QString OsErrorText(int osError) { return QString::fromLocal8Bit(std::strerror(osError)); }

int MissingOrDenied(const QString& path) { return QFileInfo::exists(path) ? EACCES : ENOENT; }

}  // namespace platform
