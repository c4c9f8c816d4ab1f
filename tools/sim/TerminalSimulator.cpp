#include "TerminalSimulator.h"

#include "link/CheckSum.h"

#include <QTimer>

namespace korima::sim {

TerminalSimulator::TerminalSimulator(SimOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), rng_(options_.seed) {
  connect(&socket_, &QUdpSocket::readyRead, this, &TerminalSimulator::OnReadyRead);
}

bool TerminalSimulator::Start() {
  if (!options_.address.isLoopback()) {
    error_ = QStringLiteral("the simulator listens on loopback addresses only");
    return false;
  }
  if (!socket_.bind(options_.address, options_.port)) {
    error_ = socket_.errorString();
    return false;
  }
  return true;
}

bool TerminalSimulator::ParsePacket(const QByteArray& d, char& sep, QByteArray& data) {
  const qsizetype n = d.size();
  if (n < 6 || d[0] != '^' || d[n - 1] != '\r' || d[n - 4] != '*') return false;
  const QByteArray framed = d.left(n - 3);
  if (link::CalcCheckSum(framed) != d.mid(n - 3, 2)) return false;
  sep = d[1];
  if (sep < '0' || sep > '9') return false;
  data = d.mid(2, n - 6);
  return true;
}

void TerminalSimulator::OnReadyRead() {
  while (socket_.hasPendingDatagrams()) {
    const qint64 size = socket_.pendingDatagramSize();
    if (size < 0) break;
    QByteArray d(size, Qt::Uninitialized);
    QHostAddress from;
    quint16 fromPort = 0;
    const qint64 got = socket_.readDatagram(d.data(), size, &from, &fromPort);
    if (got < 0) break;
    d.truncate(got);
    Handle(d, from, fromPort);
  }
}

void TerminalSimulator::Handle(const QByteArray& d, const QHostAddress& from, quint16 fromPort) {
  if (options_.dropShare > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < options_.dropShare) {
    ++stats_.dropped;
    return;
  }
  received_.append(d);
  if (d == "MASTER\r") {
    if (!downloadOpen_) StartDownload();
    ++stats_.masters;
    if (options_.silentMaster > 0) { --options_.silentMaster; ++stats_.silences; return; }
    return Reply("ACK", from, fromPort);
  }
  downloadOpen_ = false;  // past the connection: the next "MASTER" is a new download
  if (d == "END\r") {
    ++stats_.ends;
    if (options_.silentEnd > 0) { --options_.silentEnd; ++stats_.silences; return; }
    if (options_.nakEnd > 0) { --options_.nakEnd; ++stats_.naks; return Reply("NAK", from, fromPort); }
    if (options_.belAtEnd) return Reply("BEL", from, fromPort);
    if (options_.fulAtEnd) return Reply("FUL", from, fromPort);
    Reply("ACK", from, fromPort);
    emit Completed();
    return;
  }
  ++stats_.packets;
  char sep = 0;
  QByteArray data;
  if (!ParsePacket(d, sep, data)) {
    ++stats_.badFrames;
    ++stats_.naks;
    return Reply("NAK", from, fromPort);
  }
  if (sep == lastSep_) {  // our ACK was lost and the PC repeats the line we stored
    ++stats_.duplicates;
    return Reply("ACK", from, fromPort);
  }
  const int line = int(lines_.size()) + 1;
  if (options_.silentAt.value(line) > 0) { --options_.silentAt[line]; ++stats_.silences; return; }
  if (options_.nakAt.value(line) > 0) { --options_.nakAt[line]; ++stats_.naks; return Reply("NAK", from, fromPort); }
  if (options_.belAt == line) return Reply("BEL", from, fromPort);
  if (options_.fulAt == line) return Reply("FUL", from, fromPort);
  if (!StoreLine(data)) return Reply("FUL", from, fromPort);  // nowhere to keep it: memory full
  lines_.append(data);
  lastSep_ = sep;
  ++stats_.accepted;
  Reply("ACK", from, fromPort);
}

void TerminalSimulator::Reply(const char* word, const QHostAddress& to, quint16 toPort) {
  const QByteArray bytes = QByteArray(word) + options_.terminator;
  if (options_.delayMs <= 0) {
    socket_.writeDatagram(bytes, to, toPort);
    return;
  }
  QTimer::singleShot(options_.delayMs, this, [this, bytes, to, toPort] { socket_.writeDatagram(bytes, to, toPort); });
}

void TerminalSimulator::StartDownload() {
  downloadOpen_ = true;
  stats_ = {};
  lines_.clear();
  lastSep_ = -1;
  out_.reset();
  if (options_.outPath.isEmpty()) return;
  out_ = std::make_unique<QFile>(options_.outPath);
  if (!out_->open(QIODevice::WriteOnly | QIODevice::Truncate)) out_.reset();
}

// Each line reaches the file as it is accepted, so that after a stop or a
// failure the file holds what the terminal has.
bool TerminalSimulator::StoreLine(const QByteArray& line) {
  if (options_.outPath.isEmpty()) return true;
  if (!out_) return false;
  return out_->write(line + "\r\n") == line.size() + 2 && out_->flush();
}

QString TerminalSimulator::Summary() const {
  return QStringLiteral("MASTER %1, packets %2, stored %3, repeats %4, bad frames %5, NAK sent %6, "
                        "END %7, silent %8, dropped %9")
      .arg(stats_.masters).arg(stats_.packets).arg(stats_.accepted).arg(stats_.duplicates)
      .arg(stats_.badFrames).arg(stats_.naks).arg(stats_.ends).arg(stats_.silences).arg(stats_.dropped);
}

}  // namespace korima::sim
