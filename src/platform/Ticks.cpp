#include "Ticks.h"

namespace platform {

TimerTicks::TimerTicks(int intervalMs, QObject* parent) : TickSource(parent) {
  timer_.setTimerType(Qt::PreciseTimer);
  timer_.setInterval(intervalMs);
  connect(&timer_, &QTimer::timeout, this, &TickSource::Tick);
}

void TimerTicks::Start() { timer_.start(); }
void TimerTicks::Stop() { timer_.stop(); }
bool TimerTicks::IsRunning() const { return timer_.isActive(); }
int TimerTicks::IntervalMs() const { return timer_.interval(); }

}  // namespace platform
