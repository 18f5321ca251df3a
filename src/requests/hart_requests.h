#pragma once
// The requests of the "Transparent Mode" page: HART commands 0, 3 and 6 and
// the manual command, sent through the module to the instrument behind it,
// and the HART address combo that steers the MODBUS page. The replies to
// commands 0 and 3 are decoded by the decoders plugged into the engine here.
#include <string>

#include "engine/transaction_engine.h"
#include "requests/page_requests.h"
#include "hart/identity.h"

namespace tq::requests {

class HartRequests : PageRequests {
 public:
  // `decimalSeparator`: the user's locale's, for the variables' values.
  HartRequests(engine::TransactionEngine& engine, engine::View& view, char decimalSeparator = '.');

  // Time-out class 3 for all four; Timer3 keeps its interval except for
  // command 6, which gives it 3000 ms.
  void Button7Click();   // command 0 to ComboBox30's address, 100
  void Button16Click();  // command 3 to the identified instrument, 103
  void Button14Click();  // command 6, new polling address ComboBox27, 106
  void Button20Click();  // Edit10's bytes with preamble and check byte, 104
  // Sends nothing: ComboBox41 and the register labels follow the address.
  void ComboBox30Change();

 private:
  hart::DeviceIdentity identity() { return hart::readIdentity(engine_.identity()); }
};

}  // namespace tq::requests
