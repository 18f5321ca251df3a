#include "requests/tool_requests.h"

#include "common/int_conversion.h"
#include "common/line_text.h"
#include "tools/ieee754_calculator.h"
#include "tools/modbus_test.h"

namespace tq::requests {

ToolRequests::ToolRequests(engine::TransactionEngine& engine, engine::View& view, char decimalSeparator)
    : PageRequests(engine, view), decimalSeparator_(decimalSeparator) {}

void ToolRequests::Button4Click() {
  engine_.clearDisplays();
  // One statement each: the first text that is not an integer is the one named.
  const int32_t slaveAddress = parseInt(text("Edit18"));
  const int32_t startAddress = parseInt(text("Edit19"));
  const int32_t quantity = parseInt(text("Edit20"));
  const auto frame = tools::modbusTestFrame(slaveAddress, startAddress, quantity);
  engine_.transmit(frame, engine::FrameDisplay::Bytes);
  engine_.await(engine::code::ModbusTest, engine::timeout::Connection, engine::kQueryTimeoutMs);
}

void ToolRequests::Button13Click() {
  const std::string entry = typedEntry(text("Edit7"));
  set(Assignment::setText("Edit22", tools::calculatorValue(entry, decimalSeparator_)));
}

}  // namespace tq::requests
