#include "requests/profile_sender.h"

#include <memory>

#include "common/byte_display.h"
#include "common/errors.h"
#include "engine/transaction_engine.h"
#include "link/link_arbiter.h"
#include "requests/hart_instrument_requests.h"

namespace tq::requests {

namespace {

constexpr const char* kHolder = "Apply Profile";

bool printable(uint8_t byte) { return byte >= 0x20 && byte < 0x7F; }

}  // namespace

std::string frameText(const protocol::Frame& frame) {
  std::string text;
  for (size_t i = 0; i < frame.size(); ++i) {
    if (!printable(frame[i])) {
      // A custom read command's raw bytes follow its count.
      return text + bytesDisplay(std::span(frame).subspan(i));
    }
    text += static_cast<char>(frame[i]);
  }
  return text;
}

void ProfileSender::send(std::vector<record::PlannedFrame> frames, Finished finished) {
  if (!link_.isOpen()) throw InputRefused(kPortClosedMessage);
  if (running_ || link_.claimed()) {
    throw InputRefused("Another sequence (Find Module or the HART Instrument page) holds the port; nothing was sent.");
  }
  auto sent = std::make_shared<std::vector<Sent>>();
  std::vector<engine::SequenceStep> steps;
  for (const record::PlannedFrame& planned : frames) {
    const std::string word = record::writers()[planned.writer].name;
    engine::SequenceStep step;
    step.label = frameText(planned.frame);
    step.prepare = [sent, word] {
      Sent s;
      s.writer = word;
      sent->push_back(std::move(s));
      return true;
    };
    step.frame = [frame = planned.frame] { return frame; };
    // The module answers with the frame's word: "HART0:OK#", "CAMD01:ERR,FORMAT#".
    step.accepts = [marker = word + ":"](std::span<const uint8_t> block) {
      const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
      return text.find(marker) != std::string_view::npos;
    };
    step.answerWindowMs = windowOverrideMs_.value_or(engine::kQueryTimeoutMs);
    steps.push_back(std::move(step));
  }
  engine::RequestSequencer::Callbacks callbacks;
  callbacks.onAnswer = [sent](size_t, bool answered, std::span<const uint8_t> answer) {
    Sent& s = sent->back();
    s.answered = answered;
    std::string text;
    for (uint8_t b : answer) text += printable(b) ? static_cast<char>(b) : '.';
    s.stored = text.find(s.writer + ":OK") != std::string::npos;
    s.answer = std::move(text);
    return engine::RequestSequencer::Next::Continue;
  };
  callbacks.onFinished = [this, sent, finished = std::move(finished)](Outcome outcome, const std::string& why) {
    running_ = false;
    if (finished) finished(*sent, outcome, why);
  };
  running_ = true;
  link_.run({kHolder, std::move(steps), std::move(callbacks)});
}

void ProfileSender::cancel() {
  if (running_) link_.cancelRun();
}

}  // namespace tq::requests
