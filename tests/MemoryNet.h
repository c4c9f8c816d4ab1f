#pragma once
// An in-memory network for protocol tests: no root, no real sockets, no real
// time. Sockets bind to an address and port; datagrams arrive from the event
// loop, late on the test's clock where a delay is asked for; a send can be
// refused, and datagrams lost, duplicated, delayed and reordered. Terminals
// (the simulator's protocol core) and scripted peers sit on it as cradles.
#include "link/Download.h"
#include "platform/Ticks.h"
#include "sim/Terminal.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMap>
#include <cerrno>
#include <functional>
#include <memory>
#include <random>

class MemoryNet : public korima::link::Transport {
 public:
  using Datagram = korima::link::Datagram;
  struct Faults {
    double loss = 0, duplication = 0;
    qint64 delayTicks = 0, jitterTicks = 0;  // jitter reorders
    std::function<int(quint32 to, quint16 port)> refuse;  // an errno, or 0
  };
  explicit MemoryNet(platform::TickClock& clock) : pool(*this), clock_(clock) {}
  ~MemoryNet() override {
    for (Socket* s : sockets_) s->net_ = nullptr;
  }
  static quint32 Ip(const char* text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); }

  // The PC's sockets listen on every address; their datagrams leave from 127.0.0.1.
  std::unique_ptr<korima::link::DatagramSocket> Bind(quint16 port, int& error) override { return BindAt(0, port, error); }
  std::unique_ptr<korima::link::DatagramSocket> BindAt(quint32 address, quint16 port, int& error) {
    if (port == 0) port = nextPort_++;
    for (auto it = sockets_.begin(); it != sockets_.end(); ++it)
      if (quint16(it.key()) == port && (it.key() >> 16 == address || address == 0)) return error = EADDRINUSE, nullptr;
    auto s = std::make_unique<Socket>(this, address, port);
    sockets_.insert(Key(address, port), s.get());
    return s;
  }
  // A terminal in a cradle at address:port; with `answer`, a scripted one whose
  // reply to each datagram is what `answer` makes of it (null: silence).
  korima::sim::Terminal& AddCradle(const char* address, quint16 port, korima::sim::SimOptions options = {},
                                   std::function<QByteArray(const QByteArray&)> answer = {}) {
    int error = 0;
    std::shared_ptr<Peer> p(new Peer{BindAt(Ip(address), port, error), korima::sim::Terminal(std::move(options))});
    QObject::connect(p->socket.get(), &korima::link::DatagramSocket::ReadyRead, p->socket.get(), [p = p.get(), answer] {
      for (Datagram d; p->socket->Receive(d);) {
        auto reply = [p, d](const QByteArray& bytes) { p->socket->Send(bytes, d.from, d.fromPort); };
        p->terminal.Handle(d.data, answer ? [](const QByteArray&) {} : std::function<void(const QByteArray&)>(reply));
        if (const QByteArray r = answer ? answer(d.data) : QByteArray(); !r.isNull()) reply(r);
      }
    });
    peers_ << p;
    return p->terminal;
  }
  korima::sim::Terminal& AddPeer(const char* address, quint16 port, std::function<QByteArray(const QByteArray&)> answer) {
    return AddCradle(address, port, {}, std::move(answer));
  }
  // A datagram from anywhere to the PC, as a stranger would send it.
  void Inject(const char* from, quint16 fromPort, quint16 toPort, const QByteArray& data) {
    Deliver({data, Ip(from), fromPort}, Ip("127.0.0.1"), toPort);
  }

  Faults faults;
  korima::link::EndpointPool pool;
  korima::link::LinkServices Services() { return {&pool, &clock_}; }

 private:
  class Socket : public korima::link::DatagramSocket {
   public:
    Socket(MemoryNet* net, quint32 address, quint16 port) : net_(net), address_(address), port_(port) {}
    ~Socket() override {
      if (net_) net_->sockets_.remove(Key(address_, port_));
    }
    quint16 LocalPort() const override { return port_; }
    int Send(const QByteArray& data, quint32 ipv4, quint16 port) override {
      return net_ ? net_->Route({data, address_ ? address_ : Ip("127.0.0.1"), port_}, ipv4, port) : ENETDOWN;
    }
    bool Receive(Datagram& d) override { return !inbox_.isEmpty() && (d = inbox_.takeFirst(), true); }
    MemoryNet* net_;
    quint32 address_;
    quint16 port_;
    QList<Datagram> inbox_;
  };
  struct Peer {
    std::unique_ptr<korima::link::DatagramSocket> socket;
    korima::sim::Terminal terminal;
  };
  static quint64 Key(quint32 address, quint16 port) { return (quint64(address) << 16) | port; }

  int Route(const Datagram& d, quint32 to, quint16 port) {
    if (const int e = faults.refuse ? faults.refuse(to, port) : 0) return e;
    std::uniform_real_distribution<double> share(0, 1);
    if (share(rng_) < faults.loss) return 0;
    for (int copies = share(rng_) < faults.duplication ? 2 : 1; copies > 0; --copies) {
      const qint64 late = faults.delayTicks + qint64(rng_() % quint64(faults.jitterTicks + 1));
      if (late > 0) clock_.CallAt(clock_.After(late), [this, d, to, port] { Deliver(d, to, port); });
      else QMetaObject::invokeMethod(&context_, [this, d, to, port] { Deliver(d, to, port); }, Qt::QueuedConnection);
    }
    return 0;
  }
  void Deliver(const Datagram& d, quint32 to, quint16 port) {
    Socket* s = sockets_.value(Key(to, port), sockets_.value(Key(0, port)));
    if (!s) return;  // nobody there: lost, as UDP loses it
    s->inbox_.append(d);
    emit s->ReadyRead();
  }

  platform::TickClock& clock_;
  QMap<quint64, Socket*> sockets_;
  QList<std::shared_ptr<Peer>> peers_;
  quint16 nextPort_ = 40000;
  std::mt19937 rng_{7};
  QObject context_;
};

// Delivers what has been posted, and what that posts in turn, until nothing is left.
inline void RunPosted() {
  struct Counter : QObject {
    qint64 events = 0;
    bool eventFilter(QObject*, QEvent*) override { return ++events, false; }
  };
  static Counter* counter = [] {
    auto* c = new Counter;
    QCoreApplication::instance()->installEventFilter(c);
    return c;
  }();
  for (qint64 before = -1; before != counter->events;) {
    before = counter->events;
    QCoreApplication::sendPostedEvents();
  }
}

// Runs what is posted, then moves a manual clock to the next deadline, until
// `done` holds: a whole exchange in virtual time. False when nothing is left
// to happen (a hang) or `maxTicks` have passed.
inline bool RunUntil(platform::ManualClock& clock, const std::function<bool()>& done, qint64 maxTicks = 1'000'000) {
  const qint64 end = clock.NowNs() + maxTicks * clock.NsPerTick();
  for (;;) {
    RunPosted();
    if (done()) return true;
    const qint64 next = clock.NextDeadlineNs();
    if (next < 0 || next > end) return false;
    clock.AdvanceTo(next);
  }
}
