#pragma once
// Decoders of the module's parameter replies: the received text in, the
// control changes out (and, where a field was not a number, the message to
// show after them). None of them reads beyond the text it is given.
#include <optional>
#include <string>
#include <string_view>

#include "common/assignment.h"

namespace tq::protocol {

// Items of the meter-type list (ComboBox17); type 0 is the custom meter.
inline constexpr int kMeterTypeCount = 16;

// "QV:" interface type, unit count; a good reply also enables the buttons
// that need a module on the line.
Decoded decodeCommQueryReply(std::string_view text);

// "QX1" marker and the groups "BA1:", "MD:", "ADR:", "XY:", "JTM:".
Decoded decodeSystemReply(std::string_view text);

// "QQ" marker and the groups of one device. `meterTypeShown` is the meter
// type selected in the window before the reply (-1 for none): a reply
// without a device group is gated by it.
Decoded decodeModbusReply(std::string_view text, int meterTypeShown);

// "QX2" marker and the groups "BTM1:" .. "BTM4:", "AI01:" .. "AI04:",
// "IA01:", "IB01:": what the relay and current-output commands write.
Decoded decodeOutputSettingsReply(std::string_view text);

// "QX3" marker and the groups "AVAL:", "BVAL:": the outputs' present values.
Decoded decodeOutputValuesReply(std::string_view text);

// The first refusal in the module's answer to a setting, as the operator
// reads it: "ADR: ERR,RANGE" for "ADR:ERR,RANGE#", "the frame: ERR:UNKNOWN"
// for "ERR:UNKNOWN#"; nothing when every group took.
std::optional<std::string> settingRefusal(std::string_view answer);

}  // namespace tq::protocol
