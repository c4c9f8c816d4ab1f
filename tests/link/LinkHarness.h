#pragma once
// A headless stand-in for the main window, and a scripted peer for replies
// that no well-behaved terminal sends.
#include "link/Link.h"
#include "link/LinkView.h"
#include "link/Task.h"
#include "platform/Ticks.h"

#include <QHostAddress>
#include <QList>
#include <QStringList>
#include <QUdpSocket>
#include <QtTest>
#include <functional>

class FakeView : public korima::link::LinkView {
 public:
  QString StatusText() const override { return status; }
  void SetStatusText(const QString& text) override {
    status = text;
    statusHistory << text;
  }
  void SetCommState(int state) override { commStates << state; }
  QString ListFolder() const override { return folder; }
  QString ListFileName() const override { return fileName; }
  int ListIndex() const override { return fileName.isEmpty() ? -1 : 0; }
  void SetProgressMax(qint64 max) override { progressMax = max; }
  void SetProgressValue(qint64 value) override { progressValues << value; }
  void SetProgressVisible(bool visible) override { progressVisible = visible; }

  QString status;
  QStringList statusHistory;
  QList<int> commStates;
  QString folder;
  QString fileName;
  qint64 progressMax = -1;
  QList<qint64> progressValues;
  bool progressVisible = false;
};

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
// its own address; or, with `answer` set, with what that makes of the datagram.
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
        // A null answer stays silent; an empty one is an empty datagram.
        QByteArray reply = answer ? answer(d) : replies.isEmpty() ? QByteArray() : replies.takeFirst();
        if (!answer && reply.isEmpty()) reply = QByteArray();
        if (!reply.isNull()) socket.writeDatagram(reply.isEmpty() ? QByteArray("") : reply, from, port);
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

// Runs a link coroutine to its end on the event loop.
inline korima::link::Task<> Drive(korima::link::Task<> inner, bool* done) {
  co_await inner;
  *done = true;
}

inline korima::link::Task<> DriveReply(korima::link::Task<QString> inner, QString* out, bool* done) {
  *out = co_await inner;
  *done = true;
}
