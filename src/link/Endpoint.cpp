#include "Endpoint.h"

namespace korima::link {

Endpoint::Listener::~Listener() {
  if (endpoint_) endpoint_->Forget(this);
}

Endpoint::Endpoint(std::unique_ptr<DatagramSocket> socket) : socket_(std::move(socket)) {
  connect(socket_.get(), &DatagramSocket::ReadyRead, this, &Endpoint::Read);
}

Endpoint::~Endpoint() {
  for (Entry& e : entries_) e.listener->endpoint_ = nullptr;
}

std::unique_ptr<Endpoint::Listener> Endpoint::Listen(const ReplyKey& key, const QString& name,
                                                      std::function<void(const QByteArray&)> deliver,
                                                      QString* holder) {
  // Two downloads to one cradle would take each other's replies: the
  // terminal's answers to one would acknowledge the other's lines.
  for (const Entry& e : entries_)
    if (e.key.address == key.address && e.key.port == key.port) {
      if (holder) *holder = e.name;
      return nullptr;
    }
  std::unique_ptr<Listener> listener(new Listener(*this));
  entries_.append({listener.get(), key, name, std::move(deliver)});
  return listener;
}

void Endpoint::Forget(Listener* listener) {
  entries_.removeIf([listener](const Entry& e) { return e.listener == listener; });
}

// The cradle with this address and port; failing that, the one cradle at
// this address (a cradle may answer from another port), or a broadcast one.
const Endpoint::Entry* Endpoint::Route(quint32 from, quint16 port) const {
  const Entry* byAddress = nullptr;
  int sameAddress = 0;
  const Entry* broadcast = nullptr;
  for (const Entry& e : entries_) {
    if (e.key.address == from) {
      if (e.key.port == port) return &e;
      byAddress = &e;
      ++sameAddress;
    } else if (!broadcast && e.key.broadcast) {
      broadcast = &e;
    }
  }
  if (sameAddress == 1) return byAddress;
  return sameAddress == 0 ? broadcast : nullptr;
}

void Endpoint::Read() {
  // Bounded, so that a flood can't keep the window from its other events;
  // what is left raises the next notification.
  Datagram d;
  for (int n = 0; n < 512 && socket_->Receive(d); ++n)
    // A stray reply from another host must not acknowledge a line the terminal never got.
    if (const Entry* to = Route(d.from, d.fromPort)) to->deliver(d.data);
}

std::shared_ptr<Endpoint> EndpointPool::Acquire(quint16 port, int& error) {
  error = 0;
  if (auto existing = endpoints_.value(port).lock()) return existing;
  auto socket = transport_.Bind(port, error);
  if (!socket) return nullptr;
  auto endpoint = std::make_shared<Endpoint>(std::move(socket));
  endpoints_.removeIf([](auto it) { return it.value().expired(); });
  endpoints_.insert(port, endpoint);
  return endpoint;
}

EndpointPool& EndpointPool::Udp() {
  static EndpointPool pool(UdpTransport());
  return pool;
}

}  // namespace korima::link
