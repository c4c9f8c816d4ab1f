#pragma once
// Headless downloads: the window's status report without the window, ticks
// that move only when told, and a scripted peer for replies that no
// well-behaved terminal sends.
#include "link/Download.h"
#include "link/StatusReport.h"
#include "link/Wording.h"
#include "platform/Ticks.h"

#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QUdpSocket>
#include <QtTest>
#include <functional>

// Ticks only when the test says so: a wait stays where it is until then.
class ManualTicks : public platform::TickSource {
 public:
  void Start() override { running = true; }
  void Stop() override { running = false; }
  bool IsRunning() const override { return running; }
  void Advance(int n = 1) {
    for (int i = 0; i < n; ++i)
      if (running) emit Tick();
  }
  bool running = false;
};

// Answers each datagram with the next scripted reply ("" stays silent), from
// its own address; or, with `answer` set, with what that makes of the datagram
// (a null answer stays silent, an empty one is an empty datagram).
class ScriptedPeer : public QObject {
 public:
  std::function<QByteArray(const QByteArray&)> answer;
  explicit ScriptedPeer(const QHostAddress& address = QHostAddress::LocalHost) {
    QObject::connect(&socket, &QUdpSocket::readyRead, this, [this] {
      while (socket.hasPendingDatagrams()) {
        QByteArray d(socket.pendingDatagramSize(), Qt::Uninitialized);
        QHostAddress from;
        quint16 port = 0;
        d.truncate(socket.readDatagram(d.data(), d.size(), &from, &port));
        received << d;
        lastPort = port;
        QByteArray reply = answer ? answer(d) : replies.isEmpty() ? QByteArray() : replies.takeFirst();
        if (!answer && reply.isEmpty()) reply = QByteArray();
        if (!reply.isNull()) socket.writeDatagram(reply, from, port);
      }
    });
    bound = socket.bind(address, 0);
  }
  quint16 Port() const { return socket.localPort(); }
  QUdpSocket socket;
  QList<QByteArray> replies;
  QList<QByteArray> received;
  quint16 lastPort = 0;
  bool bound = false;
};

// One download and the window's report of it: the label's texts as they
// change, and the acknowledged bytes after each line.
struct Watch {
  explicit Watch(korima::link::Download& d) {
    report.Follow(d);
    QObject::connect(&report, &korima::link::StatusReport::Changed, &report,
                     [this](const QString& text) { history << text; });
    QObject::connect(&d, &korima::link::Download::LineAcknowledged, &report,
                     [this, &d] { sent << d.Result().sentBytes; });
  }
  QString Text() const { return report.Text(); }
  korima::link::StatusReport report;
  QStringList history;
  QList<qint64> sent;
};
