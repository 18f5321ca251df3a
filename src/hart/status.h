#pragma once
// Names of HART's universal commands and the meaning of a reply's two
// status bytes, written once: the journal's dissector, the HART Instrument
// page's rows and the status label all say them the same way.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tq::hart {

// First status byte: bit 7 set means the field device saw a communication
// error in the request and the byte holds error bits, not a response code.
inline constexpr uint8_t kCommunicationErrorBit = 0x80;
inline constexpr uint8_t kResponseSuccess = 0;
inline constexpr uint8_t kResponseNotImplemented = 64;

// A response code that is a warning: the command was carried out and the
// reply's data are good (8, 14, 24-27, 30, 31; 96-111 device-specific).
// Every other nonzero code is an error whose reply has no data to trust.
bool isWarning(uint8_t code);
// A usable reply's data may be shown as read: success or a warning.
inline bool dataGood(uint8_t firstStatus) { return firstStatus == kResponseSuccess || isWarning(firstStatus); }

// The universal (and the common-practice ones the tool knows) command's
// name, "Read Unique Identifier"; empty for any other command.
std::string_view commandName(uint8_t command);

// A response code's common meaning, "success", "command not implemented";
// "command-specific warning" and "device-specific warning" for the
// warnings; "command-specific" for any other code whose meaning depends on
// the command.
std::string_view responseMeaning(uint8_t code);

// "response 0: success", "response 64: command not implemented".
std::string responseText(uint8_t code);

// The names of the bits set in a status byte, in order from bit 7 down; a
// set bit without a name is "bit 04".
// First status byte with bit 7 set: "parity", "overrun", "framing",
// "check byte", "buffer overflow".
std::vector<std::string> communicationErrors(uint8_t first);
// Second status byte: "device malfunction" ... "primary variable out of limits".
std::vector<std::string> deviceStatusBits(uint8_t second);
// Command 0 byte 16, command 48 byte 6: "maintenance required" ... "function check".
std::vector<std::string> extendedStatusBits(uint8_t status);

// Names joined by ", ".
std::string joined(const std::vector<std::string>& names);

// The status label's text for a reply's two status bytes:
//   "Response 0 (success); status 00"
//   "Response 0 (success); status 40: configuration changed"
//   "Response 9 (command-specific); status 00"
//   "Communication error A8: the instrument received the request garbled
//    (overrun, check byte)"
std::string statusSummary(uint8_t first, uint8_t second);

}  // namespace tq::hart
