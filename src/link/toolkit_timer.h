#pragma once
// A QTimer with the semantics the engine relies on: start() leaves a running
// timer's period alone, setting the same interval does nothing, a different
// interval restarts a running timer. Ticks come through the event loop, so
// only while the window's thread is idle.
#include <QTimer>

#include "engine/interfaces.h"

class QSocketNotifier;

namespace tq::link {

class ToolkitTimer : public QTimer, public engine::Timer {
  Q_OBJECT

 public:
  ToolkitTimer(QObject* parent, const char* name, int intervalMs);
  ~ToolkitTimer() override;

  void start() override;
  void stop() override;
  bool isActive() const override { return QTimer::isActive(); }
  void setInterval(int ms) override;
  int interval() const override { return QTimer::interval(); }

 private:
  // The event loop sleeps in whole milliseconds, so on its own a tick comes
  // up to a millisecond after its deadline. A kernel timer armed for the
  // same deadline wakes the loop on time; the tick itself still comes from
  // QTimer, in the loop's usual order.
  void armWaker();
  void disarmWaker();
  void drainWaker();

  int wakerFd_ = -1;
  QSocketNotifier* waker_ = nullptr;
};

}  // namespace tq::link
