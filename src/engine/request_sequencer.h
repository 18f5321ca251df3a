#pragma once
// One runner for every sequence of exchanges the tool makes on its own
// (finding the module, scanning the HART loop, reading an instrument): a
// list of steps, each "send these bytes, then wait for a block that answers
// them or for this many ms", with progress and cancel. It runs on the
// window's thread, driven by received blocks and one timer, and never
// blocks: the window repaints and answers while it runs.
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <vector>

#include "engine/interfaces.h"

namespace tq::engine {

// The sequencer's timer as a front end starts it; each step sets its own
// answer window.
constexpr int kSequencerInitialMs = 1000;

struct SequenceStep {
  std::string label;  // what the progress shows: "Polling address 5", "38400 baud, even parity"
  // Runs first; false skips the step (a port that refuses a rate). May
  // throw: the sequence then fails with the error's message.
  std::function<bool()> prepare;
  // The bytes to send, built when the step starts (so a step can use what
  // an earlier answer told); may throw as prepare does. Empty: send nothing.
  std::function<std::vector<uint8_t>()> frame;
  // Whether a block answers this step; unset: any block does. Blocks that
  // do not (a late answer to an earlier step, noise) are passed over.
  std::function<bool(std::span<const uint8_t>)> accepts;
  int answerWindowMs = 0;
};

class RequestSequencer {
 public:
  // The line as the sequencer uses it.
  class Line {
   public:
    virtual ~Line() = default;
    // False when nothing could be handed over (the port is closed).
    virtual bool write(std::span<const uint8_t> bytes) = 0;
  };

  enum class Next { Continue, Stop };
  // Failed: a step could not be sent or an answer not taken; PortLost: the
  // port hung up under the sequence.
  enum class Outcome { Completed, Stopped, Cancelled, Failed, PortLost };

  struct Callbacks {
    // A step begins: its position, of how many, and its label.
    std::function<void(size_t index, size_t count, const std::string& label)> onStep;
    // A step ended with its answer, or with none (empty span, answered
    // false) when its window closed or it was skipped. An error it throws
    // fails the sequence with the error's message.
    std::function<Next(size_t index, bool answered, std::span<const uint8_t> answer)> onAnswer;
    // Once, at the end; `message` says why a Failed or PortLost sequence
    // ended.
    std::function<void(Outcome outcome, const std::string& message)> onFinished;
  };

  // `timer` is the sequencer's own; its ticks must reach timerFired().
  RequestSequencer(Line& line, Timer& timer) : line_(line), timer_(timer) {}

  // Starts the steps; a sequence already running is cancelled first.
  void start(std::vector<SequenceStep> steps, Callbacks callbacks);
  // Ends the sequence at once: nothing more is sent, onFinished(Cancelled).
  void cancel();
  // The port went away under the sequence: onFinished(PortLost, why).
  void portLost(const std::string& why);
  bool running() const { return running_; }
  size_t currentStep() const { return index_; }
  // A step's frame is out and its answer window open.
  bool awaitingAnswer() const { return running_ && waiting_; }

  // True when the block answered the step waiting (and so ended it).
  bool blockReceived(std::span<const uint8_t> block);
  void timerFired();

 private:
  void runStep();
  void stepEnded(bool answered, std::span<const uint8_t> answer);
  void finish(Outcome outcome, const std::string& message);

  Line& line_;
  Timer& timer_;
  std::vector<SequenceStep> steps_;
  Callbacks callbacks_;
  size_t index_ = 0;
  bool running_ = false;
  bool waiting_ = false;     // the current step's frame is out, its window open
  uint64_t generation_ = 0;  // a callback that starts a new sequence ends this one's loop
};

}  // namespace tq::engine
