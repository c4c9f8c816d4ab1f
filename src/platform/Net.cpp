#include "Net.h"

#include <QCoreApplication>
#include <QMetaObject>
#include <QRegularExpression>
#include <cerrno>
#include <cstring>
#include <thread>
#if defined(Q_OS_UNIX)
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#endif
#include <algorithm>

namespace platform::net {

// Touched on the application's thread only; the lookup thread holds a
// reference so that the state outlives whoever started it.
class Lookup {
 public:
  bool cancelled = false;
  std::function<void(const LookupResult&)> done;
};

qintptr OpenUdpSocket(quint16 port, int& error) {
#if defined(Q_OS_UNIX)
  const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) return error = errno, -1;
  const int on = 1;
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(port);
  at.sin_addr.s_addr = htonl(INADDR_ANY);
  if (::setsockopt(fd, SOL_SOCKET, SO_BROADCAST, &on, sizeof on) != 0 ||
      ::bind(fd, reinterpret_cast<const sockaddr*>(&at), sizeof at) != 0) {
    error = errno;
    ::close(fd);
    return -1;
  }
  return fd;
#else
  Q_UNUSED(port);
  return error = ENOSYS, -1;
#endif
}

quint16 LocalPort(qintptr socket) {
#if defined(Q_OS_UNIX)
  sockaddr_in at{};
  socklen_t size = sizeof at;
  if (::getsockname(int(socket), reinterpret_cast<sockaddr*>(&at), &size) == 0) return ntohs(at.sin_port);
#endif
  Q_UNUSED(socket);
  return 0;
}

void CloseSocket(qintptr socket) {
#if defined(Q_OS_UNIX)
  if (socket >= 0) ::close(int(socket));
#endif
  Q_UNUSED(socket);
}

int ReceiveDatagrams(qintptr socket, QList<Datagram>& into, int max) {
#if defined(Q_OS_UNIX)
  constexpr int kBatch = 16;
  max = std::clamp(max, 0, kBatch);
  char buffers[kBatch][kLongestKept];
  sockaddr_in from[kBatch];
  iovec iov[kBatch];
  mmsghdr msgs[kBatch] = {};
  for (int i = 0; i < max; ++i) {
    iov[i] = {buffers[i], sizeof buffers[i]};
    msgs[i].msg_hdr.msg_iov = &iov[i];
    msgs[i].msg_hdr.msg_iovlen = 1;
    msgs[i].msg_hdr.msg_name = &from[i];
    msgs[i].msg_hdr.msg_namelen = sizeof from[i];
  }
  int n;
  do n = ::recvmmsg(int(socket), msgs, unsigned(max), MSG_DONTWAIT, nullptr);
  while (n < 0 && errno == EINTR);
  // Nothing there, or an error the call has now taken from the socket.
  if (n <= 0) return 0;
  for (int i = 0; i < n; ++i)
    into.append({QByteArray(buffers[i], qsizetype(msgs[i].msg_len)), ntohl(from[i].sin_addr.s_addr),
                 ntohs(from[i].sin_port)});
  return n;
#else
  Q_UNUSED(socket); Q_UNUSED(into); Q_UNUSED(max);
  return 0;
#endif
}

int SendDatagram(qintptr socket, const QByteArray& bytes, quint32 ipv4, quint16 port) {
#if defined(Q_OS_UNIX)
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = htonl(ipv4);
  for (;;) {
    const ssize_t n = ::sendto(int(socket), bytes.constData(), size_t(bytes.size()), 0,
                               reinterpret_cast<const sockaddr*>(&to), sizeof to);
    if (n == bytes.size()) return 0;
    if (n >= 0) return EMSGSIZE;  // a datagram is never sent in part
    if (errno != EINTR) return errno;
  }
#else
  Q_UNUSED(socket); Q_UNUSED(bytes); Q_UNUSED(ipv4); Q_UNUSED(port);
  return ENOSYS;
#endif
}

HostText ReadHost(const QString& text) {
  const QString t = text.trimmed();
  static const QRegularExpression decimal(QStringLiteral("^(\\d+)\\.(\\d+)\\.(\\d+)\\.(\\d+)$"));
  if (const auto m = decimal.match(t); m.hasMatch()) {
    quint32 ip = 0;
    for (int i = 1; i <= 4; ++i) {
      QStringView part = m.capturedView(i);
      while (part.size() > 1 && part.front() == u'0') part = part.mid(1);
      const int value = part.size() <= 3 ? part.toInt() : 256;
      if (value > 255) return {HostForm::Refused};
      ip = ip << 8 | quint32(value);
    }
    return {HostForm::Address, ip};
  }
  // What inet_aton would take for a number: decimal, octal or hex parts, one to four.
  static const QRegularExpression numeric(
      QStringLiteral("^(0[xX][0-9a-fA-F]*|\\d+)?(\\.(0[xX][0-9a-fA-F]*|\\d+)?)*\\.?$"));
  if (!t.isEmpty() && numeric.match(t).hasMatch()) return {HostForm::Refused};
  return {HostForm::Name};
}

namespace {
LookupResult Resolve(const QByteArray& host) {
  LookupResult r;
#if defined(Q_OS_UNIX)
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_DGRAM;
  addrinfo* list = nullptr;
  const int rc = ::getaddrinfo(host.constData(), nullptr, &hints, &list);
  if (rc != 0) {
    r.error = rc;
    r.errorText = QString::fromLocal8Bit(rc == EAI_SYSTEM ? std::strerror(errno) : ::gai_strerror(rc));
    return r;
  }
  for (const addrinfo* a = list; a; a = a->ai_next)
    if (a->ai_family == AF_INET) {
      const quint32 ip = ntohl(reinterpret_cast<const sockaddr_in*>(a->ai_addr)->sin_addr.s_addr);
      if (!r.ipv4.contains(ip)) r.ipv4 << ip;
    }
  ::freeaddrinfo(list);
  if (r.ipv4.isEmpty()) {
    r.error = EAI_NONAME;
    r.errorText = QString::fromLocal8Bit(::gai_strerror(EAI_NONAME));
  }
#else
  Q_UNUSED(host);
  r.error = -1;
  r.errorText = QStringLiteral("no resolver");
#endif
  return r;
}
}  // namespace

std::shared_ptr<Lookup> LookUpHost(const QString& host, std::function<void(const LookupResult&)> done) {
  auto lookup = std::make_shared<Lookup>();
  lookup->done = std::move(done);
  std::thread([lookup, name = host.toUtf8()] {
    const LookupResult result = Resolve(name);
    if (QCoreApplication* app = QCoreApplication::instance())
      QMetaObject::invokeMethod(app, [lookup, result] {
        if (!lookup->cancelled && lookup->done) lookup->done(result);
      }, Qt::QueuedConnection);
  }).detach();
  return lookup;
}

void Cancel(const std::shared_ptr<Lookup>& lookup) {
  if (!lookup) return;
  lookup->cancelled = true;
  lookup->done = nullptr;
}

}  // namespace platform::net
