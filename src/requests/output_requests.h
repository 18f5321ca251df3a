#pragma once
// The requests of the "Relay And Current Output Setting" page: one output
// command per "Set" or "Execute" button, and the two queries that read the
// outputs back. The output commands are fire-and-forget: they show and send
// their frame and leave the awaited reply, its class and the timers as they
// are, so an answer is handled by whatever request still stands.
#include <string_view>

#include "engine/transaction_engine.h"
#include "requests/page_requests.h"
#include "protocol/output_frames.h"

namespace tq::requests {

class OutputRequests : PageRequests {
 public:
  OutputRequests(engine::TransactionEngine& engine, engine::View& view);
  OutputRequests(const OutputRequests&) = delete;  // the control readers point back here
  OutputRequests& operator=(const OutputRequests&) = delete;

  // Relay output test.
  void Button41Click();
  void Button42Click();
  void Button45Click();
  void Button77Click();
  // Relay output delays.
  void Button64Click();
  void Button63Click();
  void Button62Click();
  void Button61Click();
  // Relay alarms.
  void Button33Click();
  void Button34Click();
  void Button19Click();
  void Button25Click();
  // Current output scaling.
  void Button8Click();
  void Button11Click();

  // Queries: time-out class 2, decoded while their code stands.
  void Button3Click();  // relay and current parameters, 203
  void Button9Click();  // present values of the current outputs, 204

 private:
  void sendOutput(std::string_view button);
  void query(const protocol::Frame& frame, int pendingCode);

  protocol::OutputControls controls_;
};

}  // namespace tq::requests
