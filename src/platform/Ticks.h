#pragma once
// The tick timer the waits count. The program ticks every 10 ms; tests hand
// the link a faster or a manual source so that long waits cost milliseconds.
#include <QObject>
#include <QTimer>

namespace platform {

class TickSource : public QObject {
  Q_OBJECT
 public:
  using QObject::QObject;
  virtual void Start() = 0;
  virtual void Stop() = 0;
  virtual bool IsRunning() const = 0;

 signals:
  void Tick();
};

class TimerTicks : public TickSource {
  Q_OBJECT
 public:
  explicit TimerTicks(int intervalMs = 10, QObject* parent = nullptr);
  void Start() override;
  void Stop() override;
  bool IsRunning() const override;
  int IntervalMs() const;

 private:
  QTimer timer_;
};

}  // namespace platform
