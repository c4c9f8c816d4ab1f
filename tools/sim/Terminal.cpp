#include "Terminal.h"

#include "link/Frame.h"

namespace korima::sim {

Terminal::Terminal(SimOptions options, QObject* parent)
    : QObject(parent), options_(std::move(options)), rng_(options_.seed) {}

void Terminal::Handle(const QByteArray& d, const std::function<void(const QByteArray&)>& reply) {
  if (options_.dropShare > 0 && std::uniform_real_distribution<double>(0, 1)(rng_) < options_.dropShare) {
    ++stats_.dropped;
    return;
  }
  received_.append(d);
  auto answer = [&](const char* word) { reply(QByteArray(word) + options_.terminator); };
  if (d == link::kMasterCommand) {
    if (!downloadOpen_) StartDownload();
    ++stats_.masters;
    if (options_.silentMaster > 0) { --options_.silentMaster; ++stats_.silences; return; }
    return answer("ACK");
  }
  downloadOpen_ = false;  // past the connection: the next "MASTER" is a new download
  if (d == link::kEndCommand) {
    ++stats_.ends;
    if (options_.silentEnd > 0) { --options_.silentEnd; ++stats_.silences; return; }
    if (options_.nakEnd > 0) { --options_.nakEnd; ++stats_.naks; return answer("NAK"); }
    if (options_.belAtEnd) return answer("BEL");
    if (options_.fulAtEnd) return answer("FUL");
    answer("ACK");
    emit Completed();
    return;
  }
  ++stats_.packets;
  char sep = 0;
  QByteArray data;
  if (!link::ParsePacket(d, sep, data)) {
    ++stats_.badFrames;
    ++stats_.naks;
    return answer("NAK");
  }
  if (sep == lastSep_) {  // our ACK was lost and the PC repeats the line we stored
    ++stats_.duplicates;
    return answer("ACK");
  }
  const int line = int(lines_.size()) + 1;
  if (options_.silentAt.value(line) > 0) { --options_.silentAt[line]; ++stats_.silences; return; }
  if (options_.nakAt.value(line) > 0) { --options_.nakAt[line]; ++stats_.naks; return answer("NAK"); }
  if (options_.belAt == line) return answer("BEL");
  if (options_.fulAt == line) return answer("FUL");
  if (!StoreLine(data)) return answer("FUL");  // nowhere to keep it: memory full
  lines_.append(data);
  lastSep_ = sep;
  ++stats_.accepted;
  answer("ACK");
}

void Terminal::StartDownload() {
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
bool Terminal::StoreLine(const QByteArray& line) {
  if (options_.outPath.isEmpty()) return true;
  if (!out_) return false;
  return out_->write(line + "\r\n") == line.size() + 2 && out_->flush();
}

QString Terminal::Summary() const {
  return QStringLiteral("MASTER %1, packets %2, stored %3, repeats %4, bad frames %5, NAK sent %6, "
                        "END %7, silent %8, dropped %9")
      .arg(stats_.masters).arg(stats_.packets).arg(stats_.accepted).arg(stats_.duplicates)
      .arg(stats_.badFrames).arg(stats_.naks).arg(stats_.ends).arg(stats_.silences).arg(stats_.dropped);
}

}  // namespace korima::sim
