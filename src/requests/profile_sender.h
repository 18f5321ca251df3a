#pragma once
// Sends a profile's set frames one at a time as one run on the link's
// request sequencer, each waiting for the module's answer ("ADR:OK#",
// "HART0:ERR,RANGE#") before the next goes out. The frames are the key
// table's, built by the buttons' builders (record::planApply).
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/request_sequencer.h"
#include "record/profile.h"

namespace tq::link {
class LinkArbiter;
}

namespace tq::requests {

class ProfileSender {
 public:
  using Outcome = engine::RequestSequencer::Outcome;

  struct Sent {
    std::string writer;  // "ADR"
    bool answered = false;
    bool stored = false;  // the module answered "<word>:OK"
    std::string answer;   // the answer's text, as far as it is text
  };
  // One per frame started; `outcome` and `why` as the run ended.
  using Finished = std::function<void(const std::vector<Sent>& sent, Outcome outcome, const std::string& why)>;

  explicit ProfileSender(link::LinkArbiter& link) : link_(link) {}

  // Refuses (InputRefused, nothing sent) with the port closed or another
  // sequence holding the line.
  void send(std::vector<record::PlannedFrame> frames, Finished finished);
  void cancel();
  bool running() const { return running_; }
  // Tests: every step waits this long instead of its constant.
  void setAnswerWindowMs(std::optional<int> ms) { windowOverrideMs_ = ms; }

 private:
  link::LinkArbiter& link_;
  bool running_ = false;
  std::optional<int> windowOverrideMs_;
};

// "QQS#ADR:005#", raw bytes of a custom read command in the hex display.
std::string frameText(const protocol::Frame& frame);

}  // namespace tq::requests
