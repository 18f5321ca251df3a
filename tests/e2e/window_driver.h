#pragma once
// Drives the real window in tests: controls by object name, messages recorded
// instead of shown, the event loop run until something holds.
#include <gtest/gtest.h>

#include <QApplication>
#include <QElapsedTimer>
#include <functional>
#include <thread>

#include "ui/TForm1.h"

namespace tq::ui {

inline bool pumpUntil(const std::function<bool()>& pred, int maxMs = 5000) {
  QElapsedTimer t;
  t.start();
  while (!pred()) {
    if (t.elapsed() > maxMs) return false;
    QApplication::processEvents();
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  return true;
}

inline void pumpFor(int ms) {
  pumpUntil([] { return false; }, ms);
}

template <typename T>
T* control(TForm1& form, const char* name) {
  T* w = form.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

}  // namespace tq::ui
