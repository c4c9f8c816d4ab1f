#pragma once
// What the UDP link needs of the operating system beyond Qt's socket: a send
// that reports the error the kernel returned, and host-name lookups that
// report the resolver's own error and never hold up the event loop or the
// end of the program.
#include <QByteArray>
#include <QList>
#include <QString>
#include <functional>
#include <memory>

namespace platform::net {

// How a cradle's host reads. An IPv4 address is four decimal parts from 0 to
// 255, a zero-padded part being decimal too (192.168.001.010 is 192.168.1.10,
// as a cradle list kept in a spreadsheet writes it). The resolver's other
// numeric forms (127.1, 2130706434, 0x7f.1, and octal parts) would put the
// file into another cradle than the one named: they are refused.
enum class HostForm { Address, Name, Refused };
struct HostText {
  HostForm form = HostForm::Name;
  quint32 ipv4 = 0;  // for an Address
};
HostText ReadHost(const QString& text);

// A UDP socket of the system's own, on `port` (0: a free one) of every local
// IPv4 address: non-blocking, broadcasts allowed, not shared with another
// process. Its descriptor, or -1 with the errno in `error`.
qintptr OpenUdpSocket(quint16 port, int& error);
quint16 LocalPort(qintptr socket);
void CloseSocket(qintptr socket);

// Sends one datagram to an IPv4 address on a bound UDP socket (its native
// descriptor). Returns 0, or the errno that sendto gave.
int SendDatagram(qintptr socket, const QByteArray& bytes, quint32 ipv4, quint16 port);

struct Datagram {
  QByteArray data;
  quint32 from = 0;  // IPv4
  quint16 fromPort = 0;
};
// Appends what has arrived, up to `max` datagrams, in one system call that
// never waits; returns how many. A datagram longer than kLongestKept keeps
// that many bytes: more than any reply, so it stays junk.
constexpr qsizetype kLongestKept = 512;
int ReceiveDatagrams(qintptr socket, QList<Datagram>& into, int max);

struct LookupResult {
  QList<quint32> ipv4;  // in the resolver's order
  int error = 0;        // the resolver's code (getaddrinfo's), 0 when addresses were found
  QString errorText;    // the resolver's own text for it
};

class Lookup;
// Looks `host` up on a thread of its own; `done` runs later on the thread of
// the application object, unless the lookup was cancelled first. The thread
// is never waited for: a lookup that hangs costs nothing at exit.
std::shared_ptr<Lookup> LookUpHost(const QString& host, std::function<void(const LookupResult&)> done);
// `done` won't run. From the application's thread only.
void Cancel(const std::shared_ptr<Lookup>& lookup);

}  // namespace platform::net
