// The window's timers keep the semantics the engine relies on, which plain
// QTimer does not: start() on a running timer and an unchanged interval
// leave the period alone.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QObject>
#include <thread>

#include "ui/toolkit_timer.h"

namespace tq::ui {
namespace {

void spend(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

TEST(ToolkitTimer, StartOrAnEqualIntervalDoesNotRestartARunningTimer) {
  QObject owner;
  ToolkitTimer timer(&owner, "Timer3", 3000);
  EXPECT_EQ(timer.objectName(), "Timer3");
  EXPECT_FALSE(timer.isActive());
  timer.start();
  spend(60);
  const int before = timer.remainingTime();
  timer.start();
  timer.setInterval(3000);
  EXPECT_TRUE(timer.isActive());
  EXPECT_LE(timer.remainingTime(), before);  // the period kept running
  EXPECT_LT(timer.remainingTime(), 3000 - 40);
}

TEST(ToolkitTimer, ADifferentIntervalRestartsARunningTimerAndOnlyStoresOnAStoppedOne) {
  QObject owner;
  ToolkitTimer timer(&owner, "Timer4", 1000);
  timer.start();
  spend(60);
  timer.setInterval(2000);
  EXPECT_TRUE(timer.isActive());
  EXPECT_GT(timer.remainingTime(), 2000 - 40);
  timer.stop();
  timer.setInterval(500);
  EXPECT_FALSE(timer.isActive());
  EXPECT_EQ(timer.interval(), 500);
}

}  // namespace
}  // namespace tq::ui

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
