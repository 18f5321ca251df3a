#pragma once
// Read Module: everything the pages can show, as one table of steps on the
// link's one request sequencer. The module's queries in the order the pages
// ask them ("QQQ#QV#", "QQQ#QX1#", "QQQ#QQd#" for each device the unit
// count allows, "QQQ#QX2#", "QQQ#QX3#"), then the HART instrument: command 0
// at the Transparent Mode page's polling address and, when one answers,
// Read All on it. Each answer is decoded by the buttons' own decoders, fills
// the pages as the buttons would and goes into the module record. Nothing
// here sends a set frame or touches the engine's pending code or timers.
#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/request_sequencer.h"
#include "engine/transaction_engine.h"
#include "record/module_record.h"
#include "requests/hart_instrument_requests.h"

namespace tq::link {
class LinkArbiter;
}

namespace tq::requests {

class ModuleReader {
 public:
  using Outcome = engine::RequestSequencer::Outcome;

  struct Finished {
    Outcome outcome = Outcome::Completed;
    size_t steps = 0;                  // steps run
    size_t answered = 0;               // of them, answered
    std::vector<std::string> notRead;  // the labels of those that were not
    std::string status;                // the status bar's summary
    std::string message;               // for a message box; empty: none
  };

  struct Events {
    // Progress: the step's position, of how many, and its label.
    std::function<void(size_t index, size_t count, const std::string& label)> onStep;
    std::function<void(const Finished&)> onFinished;
  };

  // `hart`: the HART Instrument page's requests, whose events fill the page
  // with the instrument's rows and whose identity the long frames address.
  // `replyAwaited`: an engine request's reply is still awaited (Timer3 runs).
  ModuleReader(link::LinkArbiter& link, engine::View& view, HartInstrumentRequests& hart, record::ModuleRecord& record,
               std::function<bool()> replyAwaited, std::function<record::Clock::time_point()> now = {});

  Events events;

  // Refuses (InputRefused, nothing sent) with the port closed, a reply
  // awaited, another sequence running, or HART settings no frame can carry.
  void start();
  void cancel();
  bool running() const { return running_; }

  // Tests: every step waits this long instead of its constant.
  void setAnswerWindowMs(std::optional<int> ms) { windowOverrideMs_ = ms; }

 private:
  struct Run;
  engine::SequenceStep moduleStep(std::string label, protocol::Frame frame, std::string_view marker);
  engine::RequestSequencer::Next answered(Run& run, size_t index, bool answered, std::span<const uint8_t> answer);
  void apply(const Decoded& decoded);
  Finished finish(Run& run, Outcome outcome, const std::string& why);
  int window(int constantMs) const { return windowOverrideMs_.value_or(constantMs); }

  link::LinkArbiter& link_;
  engine::View& view_;
  HartInstrumentRequests& hart_;
  record::ModuleRecord& record_;
  std::function<bool()> replyAwaited_;
  std::function<record::Clock::time_point()> now_;
  bool running_ = false;
  std::optional<int> windowOverrideMs_;
};

}  // namespace tq::requests
