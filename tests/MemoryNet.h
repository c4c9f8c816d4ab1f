#pragma once
// An in-memory network for protocol tests: no root, no real sockets, no real
// time. Sockets bind to an address and port; datagrams are delivered from the
// event loop, late on the test's clock where a delay is asked for; a send can
// be refused and datagrams lost, duplicated or reordered on demand. Terminals
// (the simulator's protocol core) and scripted peers sit on it as cradles.
#include "link/Download.h"
#include "link/Transport.h"
#include "platform/Ticks.h"
#include "sim/Terminal.h"

#include <QCoreApplication>
#include <QHostAddress>
#include <QMap>
#include <QTimer>
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

  explicit MemoryNet(platform::TickClock& clock, quint32 pcAddress = Ip("127.0.0.1"))
      : clock_(clock), pc_(pcAddress), pool(*this) {}
  ~MemoryNet() override { for (Socket* s : sockets_) s->net_ = nullptr; }
  static quint32 Ip(const char* text) { return QHostAddress(QString::fromLatin1(text)).toIPv4Address(); }

  // The PC's sockets: every local address; datagrams leave from the PC's.
  std::unique_ptr<korima::link::DatagramSocket> Bind(quint16 port, int& error) override {
    return BindAt(0, port, error);
  }
  std::unique_ptr<korima::link::DatagramSocket> BindAt(quint32 address, quint16 port, int& error) {
    if (port == 0) port = nextPort_++;
    if (sockets_.contains(Key(address, port)) || (address == 0 && AnyOnPort(port))) {
      error = EADDRINUSE;
      return nullptr;
    }
    auto s = std::make_unique<Socket>(this, address, port);
    sockets_.insert(Key(address, port), s.get());
    return s;
  }

  // A terminal in a cradle at address:port, answering on this network.
  korima::sim::Terminal& AddCradle(const char* address, quint16 port, korima::sim::SimOptions options = {}) {
    return AddPeer(address, port, nullptr, std::move(options));
  }
  // A scripted cradle: `answer` makes the reply to each datagram (null: silence).
  korima::sim::Terminal& AddPeer(const char* address, quint16 port, std::function<QByteArray(const QByteArray&)> answer,
                                 korima::sim::SimOptions options = {}) {
    int error = 0;
    auto peer = std::make_shared<Peer>(BindAt(Ip(address), port, error), std::move(options));
    Peer* p = peer.get();
    QObject::connect(p->socket.get(), &korima::link::DatagramSocket::ReadyRead, p->socket.get(), [p, answer] {
      Datagram d;
      while (p->socket->Receive(d)) {
        p->lastFrom = d.fromPort;
        auto reply = [p, &d](const QByteArray& bytes) { p->socket->Send(bytes, d.from, d.fromPort); };
        if (!answer) p->terminal.Handle(d.data, reply);
        else if (const QByteArray r = (p->terminal.Handle(d.data, [](const QByteArray&) {}), answer(d.data)); !r.isNull())
          reply(r);
      }
    });
    peers_ << peer;
    return p->terminal;
  }
  // A datagram from anywhere, as a stranger or a flood would send it.
  void Inject(const char* from, quint16 fromPort, quint16 toPort, const QByteArray& data) {
    Deliver({data, Ip(from), fromPort}, pc_, toPort);
  }
  quint16 LastPcPort(const korima::sim::Terminal& t) const {
    for (const auto& p : peers_)
      if (&p->terminal == &t) return p->lastFrom;
    return 0;
  }

  Faults faults;
  korima::link::EndpointPool pool;
  korima::link::LinkServices Services() { return {&pool, &clock_}; }

 private:
  class Socket : public korima::link::DatagramSocket {
   public:
    Socket(MemoryNet* net, quint32 address, quint16 port) : net_(net), address_(address), port_(port) {}
    ~Socket() override { if (net_) net_->sockets_.remove(Key(address_, port_)); }
    quint16 LocalPort() const override { return port_; }
    int Send(const QByteArray& data, quint32 ipv4, quint16 port) override {
      if (!net_) return ENETDOWN;
      return net_->Route({data, address_ ? address_ : net_->pc_, port_}, ipv4, port);
    }
    bool HasPending() override { return !inbox_.isEmpty(); }
    bool Receive(Datagram& d) override {
      if (inbox_.isEmpty()) return false;
      d = inbox_.takeFirst();
      return true;
    }
    void Arrive(const Datagram& d) {
      inbox_.append(d);
      emit ReadyRead();
    }
    MemoryNet* net_;
    quint32 address_;
    quint16 port_;
    QList<Datagram> inbox_;
  };
  struct Peer {
    Peer(std::unique_ptr<korima::link::DatagramSocket> s, korima::sim::SimOptions o)
        : socket(std::move(s)), terminal(std::move(o)) {}
    std::unique_ptr<korima::link::DatagramSocket> socket;
    korima::sim::Terminal terminal;
    quint16 lastFrom = 0;
  };
  static quint64 Key(quint32 address, quint16 port) { return (quint64(address) << 16) | port; }
  bool AnyOnPort(quint16 port) const {
    for (auto it = sockets_.begin(); it != sockets_.end(); ++it)
      if (quint16(it.key() & 0xFFFF) == port) return true;
    return false;
  }

  int Route(const Datagram& d, quint32 to, quint16 port) {
    if (faults.refuse)
      if (const int e = faults.refuse(to, port)) return e;
    std::uniform_real_distribution<double> share(0, 1);
    if (share(rng_) < faults.loss) return 0;
    const int copies = share(rng_) < faults.duplication ? 2 : 1;
    for (int i = 0; i < copies; ++i) {
      const qint64 late = faults.delayTicks + (faults.jitterTicks ? qint64(rng_() % quint64(faults.jitterTicks + 1)) : 0);
      if (late == 0) {
        QMetaObject::invokeMethod(&context_, [this, d, to, port] { Deliver(d, to, port); }, Qt::QueuedConnection);
      } else {
        clock_.CallAt(clock_.After(late), [this, d, to, port] { Deliver(d, to, port); });
      }
    }
    return 0;
  }
  void Deliver(const Datagram& d, quint32 to, quint16 port) {
    Socket* s = sockets_.value(Key(to, port), nullptr);
    if (!s) s = sockets_.value(Key(0, port), nullptr);
    if (s) s->Arrive(d);  // nobody there: lost, as UDP loses it
  }

  platform::TickClock& clock_;
  quint32 pc_;
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
