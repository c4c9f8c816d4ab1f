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

void RaiseSocketError(QAbstractSocket::SocketError error, const QString& fallbackText) {
  int code = 0;
  switch (error) {
    case QAbstractSocket::AddressInUseError: code = EADDRINUSE; break;
    case QAbstractSocket::SocketAccessError: code = EACCES; break;
    case QAbstractSocket::SocketAddressNotAvailableError: code = EADDRNOTAVAIL; break;
    case QAbstractSocket::HostNotFoundError: code = EDESTADDRREQ; break;
    case QAbstractSocket::DatagramTooLargeError: code = EMSGSIZE; break;
    case QAbstractSocket::NetworkError: code = ENETUNREACH; break;
    case QAbstractSocket::ConnectionRefusedError: code = ECONNREFUSED; break;
    case QAbstractSocket::SocketResourceError: code = ENOBUFS; break;
    case QAbstractSocket::UnsupportedSocketOperationError: code = EOPNOTSUPP; break;
    default: break;
  }
  if (code == 0)
    RaiseError(EIO, fallbackText.isEmpty() ? OsErrorText(EIO) : fallbackText);
  else
    RaiseOsError(code);
}

int InvalidArgumentError() { return EINVAL; }
int NoDataError() { return ENODATA; }
int IllegalByteSequenceError() { return EILSEQ; }
int DestinationRequiredError() { return EDESTADDRREQ; }

}  // namespace platform
