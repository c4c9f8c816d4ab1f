#include "TerminalSimulator.h"

#include <QNetworkDatagram>
#include <QTimer>

namespace korima::sim {

TerminalSimulator::TerminalSimulator(SimOptions options, const QHostAddress& address, quint16 port, int delayMs,
                                     QObject* parent)
    : QObject(parent), terminal_(std::move(options)), address_(address), port_(port), delayMs_(delayMs) {
  connect(&socket_, &QUdpSocket::readyRead, this, &TerminalSimulator::OnReadyRead);
}

bool TerminalSimulator::Start() {
  if (!socket_.bind(address_, port_)) {
    error_ = socket_.errorString();
    return false;
  }
  return true;
}

void TerminalSimulator::OnReadyRead() {
  while (socket_.hasPendingDatagrams()) {
    const QNetworkDatagram d = socket_.receiveDatagram();
    if (!d.isValid()) break;
    const QHostAddress to = d.senderAddress();
    const quint16 toPort = quint16(d.senderPort());
    terminal_.Handle(d.data(), [this, to, toPort](const QByteArray& reply) {
      if (delayMs_ <= 0) return void(socket_.writeDatagram(reply, to, toPort));
      QTimer::singleShot(delayMs_, this, [this, reply, to, toPort] { socket_.writeDatagram(reply, to, toPort); });
    });
  }
}

}  // namespace korima::sim
