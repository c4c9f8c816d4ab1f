#pragma once
// What korima-send shows on standard error while it runs: its messages, and
// on a terminal one line per running cradle, redrawn in place. Redrawn at
// most ten times a second and only where a line changed: with many cradles,
// a redraw for every acknowledged line would cost more than the transfers.
#include "platform/Ticks.h"

#include <QIODevice>
#include <QStringList>
#include <functional>

namespace korima::send {

class Progress {
 public:
  // `lines` gives the line of each cradle that shows one; `bars`: on a
  // terminal, in place, else nothing but the messages. Redraws go by `clock`.
  Progress(QIODevice& err, bool bars, std::function<QStringList()> lines, platform::TickClock& clock);
  ~Progress();
  // A message line, above the bars.
  void Say(const QString& line);
  // Something shown has changed: redrawn within a tenth of a second.
  void Changed();
  // The bars go; messages still come.
  void Stop();
  qint64 BytesWritten() const { return written_; }

 private:
  void Draw();
  void Clear();
  void Write(const QByteArray& bytes);

  QIODevice& err_;
  bool bars_;
  std::function<QStringList()> lines_;
  QStringList shown_;
  bool stopped_ = false;
  platform::TickClock& clock_;
  platform::TickClock::Alarm alarm_ = 0;
  qint64 written_ = 0;
};

}  // namespace korima::send
