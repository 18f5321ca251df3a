#pragma once
// Drives the real window in tests: controls by object name, messages recorded
// instead of shown, the event loop run until something holds.
#include <gtest/gtest.h>

#include <memory>

#include "support/pump.h"
#include "ui/TForm1.h"

namespace tq::ui {

using tq::testing::pumpFor;
using tq::testing::pumpUntil;

template <typename T>
T* control(TForm1& form, const char* name) {
  T* w = form.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

// The receive handler's 300 ms pause, recorded instead of spent.
class RecordedPause : public engine::Sleeper {
 public:
  explicit RecordedPause(int* count) : count_(count) {}
  void sleepMs(int) override { ++*count_; }

 private:
  int* count_;
};

// A window that spends no real pause on a received block; `pauses` counts
// the pauses it would have taken.
inline std::unique_ptr<TForm1> quickWindow(int* pauses) {
  return std::make_unique<TForm1>(nullptr, std::make_unique<RecordedPause>(pauses));
}

}  // namespace tq::ui
