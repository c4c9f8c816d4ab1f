#include "Transport.h"

#include "platform/Net.h"

#include <QSocketNotifier>
#include <utility>

namespace korima::link {
namespace {

// Real UDP on a socket of the system's own: one system call takes every
// reply that has come, where Qt's socket would make three for each.
class UdpSocket : public DatagramSocket {
 public:
  explicit UdpSocket(qintptr fd)
      : fd_(fd), port_(platform::net::LocalPort(fd)), notifier_(fd, QSocketNotifier::Read) {
    connect(&notifier_, &QSocketNotifier::activated, this, &DatagramSocket::ReadyRead);
  }
  ~UdpSocket() override {
    notifier_.setEnabled(false);
    platform::net::CloseSocket(fd_);
  }
  quint16 LocalPort() const override { return port_; }
  int Send(const QByteArray& data, quint32 ipv4, quint16 port) override {
    return platform::net::SendDatagram(fd_, data, ipv4, port);
  }
  // A batch that did not fill found the socket empty: the reader's pass ends
  // there, without another call; the next pass asks the socket again.
  bool Receive(Datagram& d) override {
    if (waiting_.isEmpty()) {
      if (std::exchange(drained_, false)) return false;
      const int n = platform::net::ReceiveDatagrams(fd_, waiting_, kBatch);
      if (n == 0) return false;
      drained_ = n < kBatch;
    }
    d = waiting_.takeFirst();
    return true;
  }

 private:
  static constexpr int kBatch = 16;
  const qintptr fd_;
  const quint16 port_;
  QSocketNotifier notifier_;
  QList<Datagram> waiting_;
  bool drained_ = false;
};

class Udp : public Transport {
 public:
  std::unique_ptr<DatagramSocket> Bind(quint16 port, int& error) override {
    const qintptr fd = platform::net::OpenUdpSocket(port, error);
    if (fd < 0) return nullptr;
    return std::make_unique<UdpSocket>(fd);
  }
};

}  // namespace

Transport& UdpTransport() {
  static Udp udp;
  return udp;
}

}  // namespace korima::link
