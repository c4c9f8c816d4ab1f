#pragma once
// What the link needs of a network: a socket bound to a local UDP port that
// sends a datagram to an IPv4 address and port, and hands over each datagram
// that arrives with its sender. The program uses real UDP; tests use an
// in-memory network that can refuse, lose, duplicate, delay and reorder.
#include "platform/Net.h"

#include <QByteArray>
#include <QObject>
#include <memory>

namespace korima::link {

using Datagram = platform::net::Datagram;

class DatagramSocket : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  virtual quint16 LocalPort() const = 0;
  // 0, or the errno of a send that failed; a datagram is never sent in part.
  virtual int Send(const QByteArray& data, quint32 ipv4, quint16 port) = 0;
  // The next datagram that has arrived; false when there is none for now.
  virtual bool Receive(Datagram& datagram) = 0;

 signals:
  void ReadyRead();
};

class Transport {
 public:
  virtual ~Transport() = default;
  // A socket on `port` of every local IPv4 address (0: a free port the
  // system picks); null, with the errno in `error`, when it can't be bound.
  virtual std::unique_ptr<DatagramSocket> Bind(quint16 port, int& error) = 0;
};

// Real UDP.
Transport& UdpTransport();

}  // namespace korima::link
