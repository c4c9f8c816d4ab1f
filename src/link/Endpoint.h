#pragma once
// The UDP socket of one local port, shared by every download of the process
// that uses that port: each cradle sends its replies to the PC's configured
// local port, so one socket hears them all. A datagram goes to the download
// whose cradle sent it; datagrams from anyone else are dropped.
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QUdpSocket>
#include <memory>

namespace korima::link {

class Download;

class Endpoint : public QObject {
  Q_OBJECT
 public:
  // The endpoint bound to `port` (0: one the system picks, shared likewise),
  // bound now if no download holds it. Null, with the socket's errno in
  // `error`, when the port can't be bound.
  static std::shared_ptr<Endpoint> Acquire(quint16 port, int& error);
  ~Endpoint() override;

  quint16 LocalPort() const { return socket_.localPort(); }
  // 0, or the errno of the send.
  int Send(const QByteArray& datagram, const QHostAddress& to, quint16 port);
  // How many times the reader has run: a download that saw datagrams waiting
  // in the kernel waits for the next pass, so that they count as arrived.
  quint64 ReadPasses() const { return readPasses_; }
  bool HasPendingDatagrams();

  void Attach(Download* download);
  void Detach(Download* download);

 private:
  explicit Endpoint(quint16 requested);
  void Read();
  Download* Route(const QHostAddress& from, quint16 port) const;

  quint16 requested_ = 0;
  QUdpSocket socket_;
  QList<Download*> downloads_;
  quint64 readPasses_ = 0;
};

}  // namespace korima::link
