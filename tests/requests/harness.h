#pragma once
// The request handlers on the engine with the fakes of the engine tests: a
// manual clock, recorded writes and messages, and controls that start as
// the window description gives them.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "engine/fakes.h"
#include "engine/transaction_engine.h"

namespace tq::requests::testing {

using engine::testing::FakePort;
using engine::testing::FakeTimer;
using engine::testing::FakeView;
using engine::testing::ManualClock;

struct Harness {
  ManualClock clock;
  FakeTimer timer2{clock, 300};
  FakeTimer timer3{clock, 1000};
  FakeTimer timer4{clock, 1000};
  FakeView view;
  FakePort port;
  engine::TransactionEngine engine{view, port, timer2, timer3, timer4, clock};

  Harness() {
    clock.timers = {&timer2, &timer3, &timer4};
    timer2.onTick = [this] { run([this] { engine.Timer2Timer(); }); };
    timer3.onTick = [this] { run([this] { engine.Timer3Timer(); }); };
    timer4.onTick = [this] { run([this] { engine.Timer4Timer(); }); };
    view.controls["ComboBox11"].text = "9600";
    view.controls["ComboBox10"].index = 0;
    view.controls["SPREALCOM"].text = "COM4";
  }

  // Errors end the handler and are shown, as the window's guard does.
  void run(const std::function<void()>& body) {
    try {
      body();
    } catch (const std::exception& e) {
      view.messages.push_back(e.what());
    }
  }
  void open() {
    run([this] { engine.Button1Click(); });
    ASSERT_TRUE(engine.portOpen());
  }
  void receive(const std::string& bytes) {
    run([&] { engine.Comm1ReceiveData(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())); });
  }
  // A combo box with its item count and selection; an edit with its text.
  void combo(const std::string& name, int items, int index) {
    view.controls[name].items = items;
    view.controls[name].index = index;
  }
  void edit(const std::string& name, const std::string& text) { view.controls[name].text = text; }

  std::string text(const std::string& control) const { return view.get(control).text; }
  int index(const std::string& control) const { return view.get(control).index; }
  std::string lastWritten() const { return port.written.empty() ? std::string() : port.written.back(); }
};

}  // namespace tq::requests::testing
