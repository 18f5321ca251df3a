#pragma once
// The requests of the "Syetem Parameters" and "MODBUS Parameter
// Configuration" pages: every setting command, the system and MODBUS
// parameter queries and the controls that steer them. Each handler reads
// the controls, builds its frame with the protocol's builders and runs the
// engine's request steps; the replies' decoders are plugged into the engine.
#include <string>

#include "engine/transaction_engine.h"
#include "requests/page_requests.h"
#include "protocol/frame_fields.h"

namespace tq::requests {

class ConfigRequests : PageRequests {
 public:
  ConfigRequests(engine::TransactionEngine& engine, engine::View& view);

  // Setting commands: pending code 200, time-out class 3, Timer3 3000 ms.
  void Button5Click();    // RS485 line; the tool's port closes 2000 ms later
  void Button24Click();   // working mode ("Syetem Parameters")
  void Button22Click();   // working mode ("MODBUS Parameter Configuration")
  void Button29Click();   // slave address
  void Button15Click();   // communication delay
  void Button27Click();   // instrument interval
  void Label8DblClick();  // interface type and unit count, not shown in Edit8
  void Button30Click();   // parameter initialization
  void Button10Click();   // device settings
  void Button21Click();   // register formats
  void Button17Click();   // custom read command 1
  void Button18Click();   // custom read command 2
  void Button12Click();   // custom parsing format
  void Button2Click();    // variable 1 coefficient
  void Edit14Change();

  // Parameter queries: time-out class 2, decoded while their code stands.
  void Button23Click();  // system parameters, 202
  void Button31Click();  // MODBUS parameters of the selected device, 301
  void ComboBox41Change();
  void ComboBox17Change();

 private:
  void sendSetting(const protocol::Frame& frame, engine::FrameDisplay display = engine::FrameDisplay::Text);
  void sendReadCommand(int which, const char* edit, const char* enable);
};

}  // namespace tq::requests
