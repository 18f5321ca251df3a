#pragma once
// What the transaction engine needs from the outside world. The window
// provides the real ones; tests provide fakes with a manual clock.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "common/assignment.h"
#include "common/line_setting.h"

namespace tq::engine {

using tq::Assignment;
using tq::Decoded;

// The controls as the engine sees them.
class View {
 public:
  virtual ~View() = default;
  virtual void apply(const Assignment& change) = 0;
  virtual std::string text(const std::string& control) const = 0;  // UTF-8
  virtual int selectedIndex(const std::string& control) const = 0;
  virtual bool checked(const std::string& control) const = 0;
  // A modal message box with an OK button.
  virtual void showMessage(const std::string& message) = 0;
};

// The serial port as the engine drives it. openPort throws the comms error
// whose message the operator sees.
class Port {
 public:
  virtual ~Port() = default;
  // `reason` completes the journal's line ("by the operator").
  virtual void closePort(const std::string& reason) = 0;
  virtual void setBaudRate(uint32_t baud) = 0;
  virtual void setParity(Parity parity) = 0;
  virtual void setCommName(const std::string& name) = 0;
  virtual void disableXonXoff() = 0;
  virtual void openPort() = 0;
  virtual void setDtr(bool enable) = 0;
  virtual void setRts(bool enable) = 0;
  // False when nothing was handed over (port closed, empty frame).
  virtual bool writeData(std::span<const uint8_t> bytes) = 0;
};

// A timer with the window toolkit's semantics: starting a running timer does
// not restart its period; setting the interval it already has does nothing;
// setting a different interval restarts a running timer. Ticks arrive only
// when the window's thread is idle.
class Timer {
 public:
  virtual ~Timer() = default;
  virtual void start() = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;
  virtual void setInterval(int ms) = 0;
  virtual int interval() const = 0;
};

class Sleeper {
 public:
  virtual ~Sleeper() = default;
  // Blocks the window's thread.
  virtual void sleepMs(int ms) = 0;
};

}  // namespace tq::engine
