#include "Errors.h"

#include <cerrno>
#include <cstring>

namespace platform {
namespace {
ErrorState g_err;
}

const ErrorState& Err() { return g_err; }

void ClearError() { g_err = {}; }

void RaiseError(int number, const QString& description) {
  g_err.Number = number;
  g_err.Description = description;
}

QString OsErrorText(int osError) {
  return QString::fromLocal8Bit(std::strerror(osError));
}

void RaiseOsError(int osError) {
  if (osError == 0) osError = EIO;  // a failure must never read as "no error"
  RaiseError(osError, OsErrorText(osError));
}

int InvalidArgumentError() { return EINVAL; }
int NoDataError() { return ENODATA; }
int IllegalByteSequenceError() { return EILSEQ; }

}  // namespace platform
