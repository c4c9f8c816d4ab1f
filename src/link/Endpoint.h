#pragma once
// The socket of one local port, shared by every download of the process
// that uses that port: each cradle sends its replies to the PC's configured
// local port, so one socket hears them all. A download registers the cradle
// it wants replies from; a datagram goes to the download whose cradle sent
// it, and datagrams from anyone else are dropped.
#include "Transport.h"

#include <QList>
#include <QMap>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

namespace korima::link {

// Whose replies a download wants: its cradle's address and port, and whether
// that address is a broadcast one (any cradle may then answer).
struct ReplyKey {
  quint32 address = 0;
  quint16 port = 0;
  bool broadcast = false;
};

class Endpoint : public QObject {
  Q_OBJECT
 public:
  // Ends the registration when it goes.
  class Listener {
   public:
    ~Listener();
    Listener(const Listener&) = delete;
    Listener& operator=(const Listener&) = delete;

   private:
    friend class Endpoint;
    explicit Listener(Endpoint& endpoint) : endpoint_(&endpoint) {}
    Endpoint* endpoint_;
  };

  explicit Endpoint(std::unique_ptr<DatagramSocket> socket);
  ~Endpoint() override;

  quint16 LocalPort() const { return socket_->LocalPort(); }
  // 0, or the errno of the send.
  int Send(const QByteArray& datagram, quint32 ipv4, quint16 port) { return socket_->Send(datagram, ipv4, port); }
  // Hands what the socket holds to the listeners. It runs when the socket
  // says a datagram has come, and before each send, so that what came before
  // it counts as arrived before it.
  void Read();

  // Replies from `key`'s cradle go to `deliver`. Null when another
  // registration already has that cradle: `holder` then names it.
  std::unique_ptr<Listener> Listen(const ReplyKey& key, const QString& name,
                                   std::function<void(const QByteArray&)> deliver, QString* holder = nullptr);

 private:
  struct Entry {
    Listener* listener;
    ReplyKey key;
    QString name;
    std::function<void(const QByteArray&)> deliver;
  };
  const Entry* Route(quint32 from, quint16 port) const;
  void Forget(Listener* listener);

  std::unique_ptr<DatagramSocket> socket_;
  QList<Entry> entries_;
};

// The endpoints of one transport, by local port: downloads that use the same
// port share one; it closes with the last of them.
class EndpointPool {
 public:
  explicit EndpointPool(Transport& transport) : transport_(transport) {}
  // The endpoint of `port` (0: one the system picks, shared likewise), bound
  // now if no download holds it; null, with the errno, when it can't be.
  std::shared_ptr<Endpoint> Acquire(quint16 port, int& error);
  // The program's: real UDP.
  static EndpointPool& Udp();

 private:
  Transport& transport_;
  QMap<quint16, std::weak_ptr<Endpoint>> endpoints_;
};

}  // namespace korima::link
