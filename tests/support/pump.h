#pragma once
// Runs the Qt event loop in tests until a condition holds, within a bound.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <chrono>
#include <functional>
#include <thread>

namespace tq::testing {

inline bool pumpUntil(const std::function<bool()>& pred, int maxMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > maxMs) return false;
    QCoreApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

inline void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

}  // namespace tq::testing
