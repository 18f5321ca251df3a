#pragma once
// Drives the real window in tests: controls by object name, messages recorded
// instead of shown, the event loop run until something holds.
#include <gtest/gtest.h>

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

}  // namespace tq::ui
