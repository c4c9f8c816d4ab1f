#include "Transport.h"

#include "platform/Net.h"

#include <QUdpSocket>
#include <cerrno>

namespace korima::link {
namespace {

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

class UdpSocket : public DatagramSocket {
 public:
  UdpSocket() { connect(&socket_, &QUdpSocket::readyRead, this, &DatagramSocket::ReadyRead); }
  bool Bind(quint16 port, int& error) {
    if (socket_.bind(QHostAddress(QHostAddress::AnyIPv4), port)) return true;
    error = BindError(socket_.error());
    return false;
  }
  quint16 LocalPort() const override { return socket_.localPort(); }
  int Send(const QByteArray& data, quint32 ipv4, quint16 port) override {
    if (socket_.state() != QAbstractSocket::BoundState) return ENOTCONN;
    // The kernel's own error, which Qt's socket would fold into a few of its own.
    return platform::net::SendDatagram(socket_.socketDescriptor(), data, ipv4, port);
  }
  bool HasPending() override { return socket_.state() == QAbstractSocket::BoundState && socket_.hasPendingDatagrams(); }
  bool Receive(Datagram& d) override {
    const qint64 size = socket_.pendingDatagramSize();
    if (size < 0) return false;
    d.data.resize(size);
    QHostAddress from;
    const qint64 got = socket_.readDatagram(d.data.data(), size, &from, &d.fromPort);
    if (got < 0) return false;
    d.data.truncate(got);
    d.from = from.toIPv4Address();
    return true;
  }

 private:
  QUdpSocket socket_;
};

class Udp : public Transport {
 public:
  std::unique_ptr<DatagramSocket> Bind(quint16 port, int& error) override {
    auto socket = std::make_unique<UdpSocket>();
    if (!socket->Bind(port, error)) return nullptr;
    return socket;
  }
};

}  // namespace

Transport& UdpTransport() {
  static Udp udp;
  return udp;
}

}  // namespace korima::link
