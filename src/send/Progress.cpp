#include "Progress.h"

namespace korima::send {

namespace {
constexpr qint64 kRedrawTicks = 10;  // a tenth of a second
QByteArray Up(qsizetype n) { return n > 0 ? QStringLiteral("\x1b[%1A").arg(n).toLatin1() : QByteArray(); }
}  // namespace

Progress::Progress(QIODevice& err, bool bars, std::function<QStringList()> lines, platform::TickClock& clock)
    : err_(err), bars_(bars), lines_(std::move(lines)), clock_(clock) {}

Progress::~Progress() {
  if (alarm_) clock_.Cancel(alarm_);
}

void Progress::Write(const QByteArray& bytes) {
  err_.write(bytes);
  written_ += bytes.size();
}

void Progress::Say(const QString& line) {
  Clear();
  Write((line + u'\n').toUtf8());
  Draw();
}

void Progress::Changed() {
  if (bars_ && !stopped_ && !alarm_) alarm_ = clock_.CallAt(clock_.After(kRedrawTicks), [this] { alarm_ = 0, Draw(); });
}

void Progress::Stop() {
  Clear();
  stopped_ = true;
  if (alarm_) clock_.Cancel(std::exchange(alarm_, 0));
}

// Each line ends with its newline, so the cursor rests below the block.
void Progress::Draw() {
  if (alarm_) clock_.Cancel(std::exchange(alarm_, 0));
  if (!bars_ || stopped_) return;
  const QStringList now = lines_();
  if (now.size() != shown_.size()) {
    Clear();
    QByteArray text;
    for (const QString& l : now) text += (l + QStringLiteral("\x1b[K\n")).toUtf8();
    Write(text);
    shown_ = now;
    return;
  }
  QByteArray text;
  for (qsizetype i = 0; i < now.size(); ++i) {
    if (now[i] == shown_[i]) continue;
    const qsizetype up = now.size() - i;
    text += Up(up) + '\r' + (now[i] + QStringLiteral("\x1b[K")).toUtf8() + '\r' + QStringLiteral("\x1b[%1B").arg(up).toLatin1();
  }
  if (!text.isEmpty()) Write(text);
  shown_ = now;
}

void Progress::Clear() {
  if (shown_.isEmpty()) return;
  Write(Up(shown_.size()) + "\r\x1b[J");
  shown_.clear();
}

}  // namespace korima::send
