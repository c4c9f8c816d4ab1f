#pragma once
// Time as the protocol counts it: ticks of 10 ms. Every wait is a deadline
// on one clock, and the clock keeps a single timer for the process, set to
// the earliest deadline: many downloads cost one timer, and a 50 ms pause
// lasts 50 ms, not "the next beat after 50 ms". Tests use a clock with
// shorter ticks, or one that moves only when told.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>
#include <map>
#include <unordered_map>

namespace platform {

class TickClock : public QObject {
  Q_OBJECT
 public:
  using Alarm = quint64;
  static constexpr qint64 kProgramTickNs = 10'000'000;

  explicit TickClock(qint64 nsPerTick, QObject* parent = nullptr);
  ~TickClock() override;

  virtual qint64 NowNs() const = 0;
  qint64 NsPerTick() const { return nsPerTick_; }
  // The moment `ticks` ticks from now.
  qint64 After(qint64 ticks) const { return NowNs() + ticks * nsPerTick_; }
  bool Passed(qint64 deadlineNs) const { return NowNs() >= deadlineNs; }
  // Whole ticks from `fromNs` to now.
  qint64 TicksSince(qint64 fromNs) const { return (NowNs() - fromNs) / nsPerTick_; }

  // `due` runs from the event loop once `deadlineNs` has passed, unless the
  // alarm is cancelled first.
  Alarm CallAt(qint64 deadlineNs, std::function<void()> due);
  void Cancel(Alarm alarm);
  // The earliest deadline waiting, -1 when none.
  qint64 NextDeadlineNs() const { return alarms_.empty() ? -1 : alarms_.begin()->first.first; }

 protected:
  // Runs what is due, then asks for the next earliest deadline.
  void RunDue();
  // Call RunDue once `deadlineNs` has passed; -1: nothing is waiting.
  virtual void Arm(qint64 deadlineNs) = 0;

 private:
  void Rearm();
  const qint64 nsPerTick_;
  Alarm next_ = 1;
  std::map<std::pair<qint64, Alarm>, std::function<void()>> alarms_;
  std::unordered_map<Alarm, qint64> deadlines_;
};

// Real time, with one precise single-shot timer.
class RealClock : public TickClock {
  Q_OBJECT
 public:
  explicit RealClock(qint64 nsPerTick = kProgramTickNs, QObject* parent = nullptr);
  qint64 NowNs() const override { return elapsed_.nsecsElapsed(); }

 protected:
  void Arm(qint64 deadlineNs) override;

 private:
  QElapsedTimer elapsed_;
  QTimer timer_;
};

// Moves only when told: a test decides when each wait ends.
class ManualClock : public TickClock {
  Q_OBJECT
 public:
  explicit ManualClock(QObject* parent = nullptr) : TickClock(kProgramTickNs, parent) {}
  qint64 NowNs() const override { return now_; }
  void Advance(qint64 ticks = 1) { AdvanceTo(now_ + ticks * NsPerTick()); }
  void AdvanceTo(qint64 ns);

 protected:
  void Arm(qint64) override {}

 private:
  qint64 now_ = 0;
};

// The program's clock: 10 ms ticks, real time.
TickClock& ProgramClock();

}  // namespace platform
