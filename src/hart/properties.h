#pragma once
// What the HART Instrument page shows of a reply: rows of name, value and
// unit made from the command's data layout, and the values it keeps from a
// reply (the scan's identity, the edits' tag, descriptor, date and message).
// Nothing here uses the data of a reply that is cut short or has a wrong
// check byte.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hart/frames.h"
#include "hart/identity.h"
#include "hart/reply.h"

namespace tq::hart {

struct PropertyRow {
  std::string name;   // "Primary variable", "Tag", "Response"
  std::string value;  // "12.5", "FT-101", "64: command not implemented"
  std::string unit;   // "mA", a unit code's name; empty when none
  bool bad = false;   // the instrument refused, or the reply cannot be trusted
  bool operator==(const PropertyRow&) const = default;
};

// The rows for a reply:
// - cut short, a wrong check byte or no room for the status bytes: one row
//   "Reply" | "check byte 51, expected 50; its data is not used" (bad);
// - a communication error: one row "Reply" | statusSummary's text (bad);
// - an error response code: a row "Response" | "64: command not
//   implemented" (bad), and any data it came with in one row "Data" (bad),
//   never as values;
// - a warning response code (8, 14, 24-27, 30, 31, 96-111): a row
//   "Response" | "8: command-specific warning" (not bad), then the data
//   rows as for success: the data are good;
// - a field device status other than 00: a row "Device status" |
//   "configuration changed" (not bad: the data is still good);
// - each field of the command's layout: its value and unit; a field the
//   data ends before (or inside of) is "not in the reply", an optional one
//   the data ends before is left out; a command without a layout gives one
//   row "Data" with the bytes in hex. Command 48's bytes 6 and on follow
//   `universalRevision` (see replyFields); nullopt: not known.
std::vector<PropertyRow> describeReply(const ParsedReply& reply, char decimalSeparator,
                                       std::optional<uint8_t> universalRevision = std::nullopt);

// The status label's text for a reply: statusSummary of its status bytes,
// or, for a reply that cannot be trusted, "Reply not used: check byte 51,
// expected 50" (the fault as parseReply gives it).
std::string statusText(const ParsedReply& reply);

// Command 0's reply as the scan lists it and the long frames address it.
struct UniqueIdentifier {
  uint8_t pollingAddress = 0;  // from the reply's short address
  uint8_t manufacturerId = 0;
  uint8_t deviceType = 0;
  uint8_t preamblesRequested = 0;
  uint8_t universalRevision = 0;
  std::array<uint8_t, 3> deviceId{};
  uint32_t deviceIdNumber() const { return hart::deviceIdNumber(deviceId); }
  // As an identity read leaves it: this instrument at this polling address.
  DeviceIdentity identity() const { return {manufacturerId, deviceType, deviceId, pollingAddress}; }
  bool operator==(const UniqueIdentifier&) const = default;
};
// A usable short-frame reply to command 0 that holds the identity (its
// first 12 data bytes); nullopt otherwise. The polling address is the one
// the reply's short address names.
std::optional<UniqueIdentifier> readUniqueIdentifier(const ParsedReply& reply);

struct TagDescriptorDate {
  std::string tag;         // trailing blanks dropped
  std::string descriptor;  // trailing blanks dropped
  TagDate date;
  bool operator==(const TagDescriptorDate&) const = default;
};
// A usable reply to command 13 or 18 that holds all 21 bytes.
std::optional<TagDescriptorDate> readTagDescriptorDate(const ParsedReply& reply);
// A usable reply to command 12 or 17 that holds all 24 bytes: the message,
// trailing blanks dropped.
std::optional<std::string> readMessage(const ParsedReply& reply);

}  // namespace tq::hart
