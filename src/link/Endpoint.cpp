#include "Endpoint.h"

#include "Download.h"
#include "platform/Net.h"

#include <QMap>
#include <QNetworkDatagram>
#include <cerrno>

namespace korima::link {
namespace {

// The endpoints in use, by the port asked for; an entry goes with its last holder.
QMap<quint16, std::weak_ptr<Endpoint>>& Endpoints() {
  static QMap<quint16, std::weak_ptr<Endpoint>> map;
  return map;
}

int BindError(QAbstractSocket::SocketError error) {
  switch (error) {
    case QAbstractSocket::AddressInUseError: return EADDRINUSE;
    case QAbstractSocket::SocketAccessError: return EACCES;
    case QAbstractSocket::SocketAddressNotAvailableError: return EADDRNOTAVAIL;
    case QAbstractSocket::SocketResourceError: return ENOBUFS;
    case QAbstractSocket::UnsupportedSocketOperationError: return EOPNOTSUPP;
    default: return EIO;
  }
}

}  // namespace

Endpoint::Endpoint(quint16 requested) : requested_(requested) {
  // The one reader of the socket. A second one (say, after each yield) can
  // drain a datagram whose notification is already queued, after which Qt
  // stops notifying and replies sit unread.
  connect(&socket_, &QUdpSocket::readyRead, this, &Endpoint::Read);
}

Endpoint::~Endpoint() {
  auto& map = Endpoints();
  if (auto it = map.find(requested_); it != map.end() && it->expired()) map.erase(it);
}

std::shared_ptr<Endpoint> Endpoint::Acquire(quint16 port, int& error) {
  error = 0;
  auto& map = Endpoints();
  if (auto existing = map.value(port).lock()) return existing;
  std::shared_ptr<Endpoint> endpoint(new Endpoint(port));
  if (!endpoint->socket_.bind(QHostAddress(QHostAddress::AnyIPv4), port)) {
    error = BindError(endpoint->socket_.error());
    return nullptr;
  }
  map.insert(port, endpoint);
  return endpoint;
}

int Endpoint::Send(const QByteArray& datagram, const QHostAddress& to, quint16 port) {
  if (socket_.state() != QAbstractSocket::BoundState) return ENOTCONN;
  // The kernel's own error, which Qt's socket would fold into a few of its own.
  return platform::net::SendDatagram(socket_.socketDescriptor(), datagram, to.toIPv4Address(), port);
}

bool Endpoint::HasPendingDatagrams() {
  return socket_.state() == QAbstractSocket::BoundState && socket_.hasPendingDatagrams();
}

void Endpoint::Attach(Download* download) {
  if (!downloads_.contains(download)) downloads_.append(download);
}

void Endpoint::Detach(Download* download) { downloads_.removeAll(download); }

// The download whose cradle has this address and port; failing that, the one
// download that talks to this address (a cradle may answer from another
// port), or to a broadcast address.
Download* Endpoint::Route(const QHostAddress& from, quint16 port) const {
  Download* byAddress = nullptr;
  int sameAddress = 0;
  Download* broadcast = nullptr;
  for (Download* d : downloads_) {
    if (d->remote_.isNull()) continue;
    if (d->remote_.isEqual(from, QHostAddress::TolerantConversion)) {
      if (d->remotePort_ == port) return d;
      byAddress = d;
      ++sameAddress;
    } else if (!broadcast && d->remoteIsBroadcast_) {
      broadcast = d;
    }
  }
  if (sameAddress == 1) return byAddress;
  return sameAddress == 0 ? broadcast : nullptr;
}

void Endpoint::Read() {
  // Bounded, so that a flood can't keep the window from its other events;
  // what is left raises the next notification.
  for (int n = 0; n < 512 && HasPendingDatagrams(); ++n) {
    const QNetworkDatagram d = socket_.receiveDatagram();
    if (!d.isValid()) break;
    // A stray reply from another host must not acknowledge a line the terminal never got.
    if (Download* to = Route(d.senderAddress(), quint16(d.senderPort()))) to->Deliver(d.data());
  }
  ++readPasses_;
  for (Download* d : downloads_) d->Wake();
}

}  // namespace korima::link
