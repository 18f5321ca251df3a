#pragma once
// The diagnostic tools of the "MODBUS Parameter Configuration" page: the
// MODBUS RTU communication test, whose answer the engine shows in hex, and
// the local IEEE 754 calculator.
#include <string>

#include "engine/transaction_engine.h"
#include "requests/page_requests.h"

namespace tq::requests {

class ToolRequests : PageRequests {
 public:
  // `decimalSeparator`: the user's locale's, for the calculator's value.
  ToolRequests(engine::TransactionEngine& engine, engine::View& view, char decimalSeparator);

  // Read-holding-registers request from Edit18, Edit19, Edit20: pending code
  // 302, time-out class 1, Timer3 3000 ms.
  void Button4Click();
  // Edit7's hex word into Edit22; nothing is sent.
  void Button13Click();

 private:
  char decimalSeparator_;
};

}  // namespace tq::requests
