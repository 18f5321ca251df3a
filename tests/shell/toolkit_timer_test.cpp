// The window's timers keep the semantics the engine relies on, which plain
// QTimer does not: start() on a running timer and an unchanged interval
// leave the period alone.
//
// The checks hold on a machine of any speed: each test reads the monotonic
// clock around its own steps and compares the timer with bounds made of
// those readings, never with a fixed allowance.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QObject>
#include <thread>

#include "link/toolkit_timer.h"

namespace tq::link {
namespace {

// Long enough that a restart shows clearly against the time a single
// remainingTime() call takes.
constexpr qint64 kUsedMs = 50;
// remainingTime() is in whole milliseconds.
constexpr int kRoundingMs = 1;

void waitUntil(const QElapsedTimer& clock, qint64 ms) {
  while (clock.elapsed() < ms) std::this_thread::sleep_for(std::chrono::milliseconds(1));
}

TEST(ToolkitTimer, StartOrAnEqualIntervalDoesNotRestartARunningTimer) {
  QObject owner;
  ToolkitTimer timer(&owner, "Timer3", 3000);
  EXPECT_EQ(timer.objectName(), "Timer3");
  EXPECT_FALSE(timer.isActive());
  QElapsedTimer clock;
  clock.start();
  timer.start();
  const qint64 started = clock.elapsed();  // the period began no later than this
  waitUntil(clock, started + kUsedMs);
  timer.start();
  timer.setInterval(3000);
  const qint64 beforeRead = clock.elapsed();
  const int left = timer.remainingTime();
  EXPECT_TRUE(timer.isActive());
  // Still the first period: at least the time since `started` is used up. A
  // restart would leave about kUsedMs more.
  EXPECT_LE(left, 3000 - (beforeRead - started) + kRoundingMs);
}

TEST(ToolkitTimer, ADifferentIntervalRestartsARunningTimerAndOnlyStoresOnAStoppedOne) {
  QObject owner;
  ToolkitTimer timer(&owner, "Timer4", 1000);
  QElapsedTimer clock;
  clock.start();
  timer.start();
  waitUntil(clock, kUsedMs);
  const qint64 beforeChange = clock.elapsed();
  timer.setInterval(2000);
  const int left = timer.remainingTime();
  const qint64 afterRead = clock.elapsed();
  EXPECT_TRUE(timer.isActive());
  // A whole new period began at the change, not the rest of the old one.
  EXPECT_GE(left, 2000 - (afterRead - beforeChange) - kRoundingMs);
  EXPECT_LE(left, 2000);
  timer.stop();
  timer.setInterval(500);
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(timer.interval(), 500);
}

// The kernel timer that wakes the event loop on time never ticks by itself:
// a timer stopped, or restarted with another interval, after its deadline
// passed but before the loop ran, stays silent.
TEST(ToolkitTimer, TicksOnlyWhileRunning) {
  struct Case {
    const char* name;
    bool stopBeforeLoop;     // stop() once the deadline has passed
    bool restartBeforeLoop;  // a new, long interval instead
    bool ticks;
  };
  const Case cases[] = {{"left running", false, false, true},
                        {"stopped after its deadline", true, false, false},
                        {"restarted after its deadline", false, true, false}};
  constexpr int kIntervalMs = 20;
  constexpr int kLongMs = 60'000;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QObject owner;
    ToolkitTimer timer(&owner, "Timer2", kIntervalMs);
    int ticks = 0;
    QElapsedTimer clock;
    QObject::connect(&timer, &QTimer::timeout, [&] {
      ++ticks;
      timer.stop();  // as every handler of the window does first
    });
    clock.start();
    timer.start();
    // The deadline passes while the window's thread is busy.
    waitUntil(clock, 2 * kIntervalMs);
    if (c.stopBeforeLoop) timer.stop();
    if (c.restartBeforeLoop) timer.setInterval(kLongMs);
    QElapsedTimer loop;
    loop.start();
    while (loop.elapsed() < 2 * kIntervalMs) QCoreApplication::processEvents(QEventLoop::AllEvents, kIntervalMs);
    EXPECT_EQ(ticks, c.ticks ? 1 : 0);
  }
}

}  // namespace
}  // namespace tq::link
