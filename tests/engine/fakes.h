#pragma once
// Fakes for the engine's outside world, on a manual clock: timers fire only
// when the test advances time, and a sleep moves the clock without firing
// anything (the window's thread is busy while it sleeps).
#include <algorithm>
#include <functional>
#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "engine/interfaces.h"

namespace tq::engine::testing {

class ManualClock;

class FakeTimer : public Timer {
 public:
  FakeTimer(ManualClock& clock, int intervalMs) : clock_(clock), interval_(intervalMs) {}
  void start() override;
  void stop() override { active_ = false; }
  bool isActive() const override { return active_; }
  void setInterval(int ms) override;
  int interval() const override { return interval_; }
  int64_t deadline() const { return deadline_; }
  // A tick whose handler left the timer running: the next period begins.
  void restartPeriod() { deadline_ += interval_; }
  std::function<void()> onTick;

 private:
  ManualClock& clock_;
  int interval_;
  bool active_ = false;
  int64_t deadline_ = 0;
};

class ManualClock : public Sleeper {
 public:
  int64_t now = 0;
  std::vector<FakeTimer*> timers;
  std::vector<int> sleeps;

  void sleepMs(int ms) override {
    sleeps.push_back(ms);
    now += ms;
  }
  // Runs the clock forward, delivering each due tick in deadline order.
  void advance(int64_t ms) {
    const int64_t target = now + ms;
    for (;;) {
      FakeTimer* next = nullptr;
      for (FakeTimer* t : timers) {
        if (t->isActive() && t->deadline() <= target && (!next || t->deadline() < next->deadline())) next = t;
      }
      if (!next) break;
      now = std::max(now, next->deadline());
      const int64_t before = next->deadline();
      next->onTick();
      if (next->isActive() && next->deadline() == before) next->restartPeriod();
    }
    now = target;
  }
};

inline void FakeTimer::start() {
  if (active_) return;
  active_ = true;
  deadline_ = clock_.now + interval_;
}
inline void FakeTimer::setInterval(int ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (active_) deadline_ = clock_.now + interval_;
}

class FakeView : public View {
 public:
  struct Control {
    std::string text;
    int index = -1;
    int items = 100;
    std::vector<std::string> itemTexts;  // once a handler or decoder replaced them
    bool enabled = true;
    bool visible = true;
    bool checked = false;
  };
  std::map<std::string, Control> controls;
  std::vector<Assignment> applied;
  std::vector<std::string> messages;

  void apply(const Assignment& a) override {
    applied.push_back(a);
    Control& c = controls[a.control];
    switch (a.kind) {
      case Assignment::Kind::SelectIndex:
        c.index = a.value >= 0 && a.value < c.items ? a.value : -1;
        break;
      case Assignment::Kind::SetText:
        c.text = a.text;
        break;
      case Assignment::Kind::SetEnabled:
        c.enabled = a.value != 0;
        break;
      case Assignment::Kind::SetVisible:
        c.visible = a.value != 0;
        break;
      case Assignment::Kind::SetChecked:
        c.checked = a.value != 0;
        break;
      case Assignment::Kind::SetItems:
        c.items = static_cast<int>(a.items.size());
        c.itemTexts = a.items;
        if (c.index >= c.items) c.index = -1;
        break;
    }
  }
  std::string text(const std::string& n) const override { return get(n).text; }
  int selectedIndex(const std::string& n) const override { return get(n).index; }
  bool checked(const std::string& n) const override { return get(n).checked; }
  void showMessage(const std::string& m) override { messages.push_back(m); }

  const Control& get(const std::string& n) const {
    static const Control none;
    auto it = controls.find(n);
    return it == controls.end() ? none : it->second;
  }
};

class FakePort : public Port {
 public:
  std::vector<std::string> calls;
  std::vector<std::string> written;
  std::vector<std::string> closeReasons;
  std::string openError;  // when set, openPort throws it
  uint32_t baud = 0;
  Parity parity = Parity::Space;  // none set yet
  std::string name;
  bool open = false;

  void closePort(const std::string& reason) override {
    calls.push_back("close");
    closeReasons.push_back(reason);
    open = false;
  }
  void setBaudRate(uint32_t b) override {
    calls.push_back("baud");
    baud = b;
  }
  void setParity(Parity p) override {
    calls.push_back("parity");
    parity = p;
  }
  void setCommName(const std::string& n) override {
    calls.push_back("name");
    name = n;
  }
  void disableXonXoff() override { calls.push_back("xonxoff"); }
  void openPort() override {
    calls.push_back("open");
    if (!openError.empty()) throw std::runtime_error(openError);
    open = true;
  }
  void setDtr(bool on) override { calls.push_back(on ? "dtr+" : "dtr-"); }
  void setRts(bool on) override { calls.push_back(on ? "rts+" : "rts-"); }
  bool writeData(std::span<const uint8_t> bytes) override {
    if (!open || bytes.empty()) return false;
    written.emplace_back(bytes.begin(), bytes.end());
    return true;
  }
};

}  // namespace tq::engine::testing
