#include "engine/request_sequencer.h"

#include <exception>

namespace tq::engine {

void RequestSequencer::start(std::vector<SequenceStep> steps, Callbacks callbacks) {
  if (running_) cancel();
  steps_ = std::move(steps);
  callbacks_ = std::move(callbacks);
  index_ = 0;
  running_ = true;
  waiting_ = false;
  ++generation_;
  runStep();
}

void RequestSequencer::cancel() {
  if (running_) finish(Outcome::Cancelled, {});
}

void RequestSequencer::portLost(const std::string& why) {
  if (running_) finish(Outcome::PortLost, why);
}

void RequestSequencer::runStep() {
  const uint64_t generation = generation_;
  // Skipped steps are walked in a loop: a finder may skip many in a row.
  while (running_ && generation == generation_) {
    if (index_ >= steps_.size()) {
      finish(Outcome::Completed, {});
      return;
    }
    const SequenceStep step = steps_[index_];  // a callback below may end the sequence
    try {
      if (callbacks_.onStep) callbacks_.onStep(index_, steps_.size(), step.label);
      if (!running_ || generation != generation_) return;
      if (step.prepare && !step.prepare()) {
        if (running_ && generation == generation_) stepEnded(false, {});
        continue;
      }
      const std::vector<uint8_t> frame = step.frame ? step.frame() : std::vector<uint8_t>{};
      if (!running_ || generation != generation_) return;
      if (!frame.empty() && !line_.write(frame)) {
        finish(Outcome::Failed, "The serial port is closed.");
        return;
      }
    } catch (const std::exception& e) {
      if (running_ && generation == generation_) finish(Outcome::Failed, e.what());
      return;
    }
    waiting_ = true;
    timer_.stop();
    timer_.setInterval(step.answerWindowMs);
    timer_.start();
    return;
  }
}

bool RequestSequencer::blockReceived(std::span<const uint8_t> block) {
  if (!running_ || !waiting_) return false;
  const SequenceStep& step = steps_[index_];
  if (step.accepts && !step.accepts(block)) return false;
  timer_.stop();
  waiting_ = false;
  const uint64_t generation = generation_;
  stepEnded(true, block);
  if (generation == generation_) runStep();
  return true;
}

void RequestSequencer::timerFired() {
  timer_.stop();
  if (!running_ || !waiting_) return;
  waiting_ = false;
  const uint64_t generation = generation_;
  stepEnded(false, {});
  if (generation == generation_) runStep();
}

// Hands the step's result over and moves on, or stops when told to.
void RequestSequencer::stepEnded(bool answered, std::span<const uint8_t> answer) {
  const uint64_t generation = generation_;
  Next next = Next::Continue;
  try {
    if (callbacks_.onAnswer) next = callbacks_.onAnswer(index_, answered, answer);
  } catch (const std::exception& e) {
    if (running_ && generation == generation_) finish(Outcome::Failed, e.what());
    return;
  }
  if (!running_ || generation != generation_) return;
  if (next == Next::Stop) {
    finish(Outcome::Stopped, {});
    return;
  }
  ++index_;
}

void RequestSequencer::finish(Outcome outcome, const std::string& message) {
  timer_.stop();
  running_ = false;
  waiting_ = false;
  ++generation_;
  // Taken out first: the callback may start the next sequence.
  Callbacks callbacks = std::move(callbacks_);
  callbacks_ = {};
  steps_.clear();
  if (callbacks.onFinished) callbacks.onFinished(outcome, message);
}

}  // namespace tq::engine
