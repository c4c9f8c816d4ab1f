#pragma once
// A simulated terminal on a UDP port of a loopback address.
#include "Terminal.h"

#include <QHostAddress>
#include <QUdpSocket>

namespace korima::sim {

class TerminalSimulator : public QObject {
  Q_OBJECT
 public:
  TerminalSimulator(SimOptions options, const QHostAddress& address, quint16 port, int delayMs = 0,
                    QObject* parent = nullptr);
  bool Start();  // binds; false with ErrorText() when it can't
  QString ErrorText() const { return error_; }
  quint16 Port() const { return socket_.localPort(); }
  QHostAddress Address() const { return socket_.localAddress(); }
  Terminal& Cradle() { return terminal_; }

 private:
  void OnReadyRead();

  Terminal terminal_;
  QHostAddress address_;
  quint16 port_;
  int delayMs_;
  QUdpSocket socket_;
  QString error_;
};

}  // namespace korima::sim
