#include "Ticks.h"

#include <QCoreApplication>
#include <algorithm>

namespace platform {

TickClock::TickClock(qint64 nsPerTick, QObject* parent) : QObject(parent), nsPerTick_(std::max<qint64>(1, nsPerTick)) {}

TickClock::~TickClock() = default;

TickClock::Alarm TickClock::CallAt(qint64 deadlineNs, std::function<void()> due) {
  const Alarm alarm = next_++;
  const bool earliest = alarms_.empty() || deadlineNs < alarms_.begin()->first.first;
  alarms_.emplace(std::make_pair(deadlineNs, alarm), std::move(due));
  deadlines_.emplace(alarm, deadlineNs);
  if (earliest) Arm(deadlineNs);
  return alarm;
}

void TickClock::Cancel(Alarm alarm) {
  const auto it = deadlines_.find(alarm);
  if (it == deadlines_.end()) return;
  alarms_.erase({it->second, alarm});
  deadlines_.erase(it);
  // A timer armed for a cancelled deadline fires once for nothing; cheaper
  // than re-arming on every reply.
}

void TickClock::RunDue() {
  // Alarms set while these run wait for the next event, even those due at
  // once: a task that steps from alarm to alarm lets other events in between.
  const qint64 now = NowNs();
  const Alarm firstNew = next_;
  for (auto it = alarms_.begin(); it != alarms_.end() && it->first.first <= now;) {
    if (it->first.second >= firstNew) {
      ++it;
      continue;
    }
    auto node = alarms_.extract(it);
    deadlines_.erase(node.key().second);
    node.mapped()();  // may add or cancel alarms
    it = alarms_.begin();
  }
  Rearm();
}

void TickClock::Rearm() { Arm(alarms_.empty() ? -1 : alarms_.begin()->first.first); }

RealClock::RealClock(qint64 nsPerTick, QObject* parent) : TickClock(nsPerTick, parent) {
  elapsed_.start();
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &RealClock::RunDue);
}

void RealClock::Arm(qint64 deadlineNs) {
  if (deadlineNs < 0) return timer_.stop();
  // Rounded up: a timer counts whole milliseconds and must not fire early.
  const qint64 ms = std::max<qint64>(0, (deadlineNs - NowNs() + 999'999) / 1'000'000);
  timer_.start(int(std::min<qint64>(ms, 24 * 3600 * 1000)));
}

void ManualClock::AdvanceTo(qint64 ns) {
  now_ = std::max(now_, ns);
  RunDue();
}

TickClock& ProgramClock() {
  static RealClock* clock = new RealClock(TickClock::kProgramTickNs, QCoreApplication::instance());
  return *clock;
}

}  // namespace platform
