#pragma once
// The module's side of the ASCII configuration protocol: query frames
// ("QQQ#..."), set frames ("QQS#...") and output frames ("VELKOR#...").
//
// Answers:
//   query             the report of that group (layouts in config_protocol.cpp)
//   set / output OK   "<word>:OK#"            e.g. "ADR:OK#", "HART0:OK#", "BTM2:OK#"
//   rejected value    "<word>:ERR,RANGE#"     a field outside what the module accepts
//   malformed fields  "<word>:ERR,FORMAT#"    wrong character, width or field count
//   unknown word      "ERR:UNKNOWN#"
//   cut short         "ERR:INCOMPLETE#"       (given by the caller when the line went silent)
// A rejected frame changes nothing.
#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "module_settings.h"

namespace tq::sim {

// Device 0's four variables as the module last read them from its instrument;
// nullopt when the instrument does not answer.
using PolledVariables = std::optional<std::array<float, 4>>;

inline constexpr std::string_view kIncompleteReply = "ERR:INCOMPLETE#";
inline constexpr std::string_view kUnknownReply = "ERR:UNKNOWN#";

// Handles one whole frame (as framed by scanFrame) and returns the answer.
std::string handleConfigFrame(ModuleSettings& settings, std::string_view frame, const PolledVariables& variables);

// A decimal value in exactly `width` characters with as many decimals as fit
// ("100.0", "4.000", "20.00", "12345"); nullopt when it cannot fit.
std::optional<std::string> formatFixedWidth(double value, int width);

// Present value of a current output in mA: 4..20 mA over the scaled range,
// held between 3.8 and 20.5 mA; 0 when the output is closed or its source
// variable has no value.
double outputCurrentMa(const CurrentOutputSettings& output, const PolledVariables& variables);

}  // namespace tq::sim
