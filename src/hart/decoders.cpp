#include "hart/decoders.h"

#include <array>

#include "common/float_text.h"
#include "hart/frames.h"
#include "hart/units.h"

namespace tq::hart {

namespace {

// The marker is looked for at positions 0 .. L - 5 only.
constexpr size_t kMarkerSearchMargin = 5;

// Identity reply, offsets from the marker's 0xFF:
//   0 FF  1 06  2 address  3 command  4 byte count  5-6 status  7 254
//   8 manufacturer  9 device type  10 preambles  11-15 revisions, flags
//   16-18 device identification
constexpr size_t kManufacturerAt = 8;
constexpr size_t kDeviceTypeAt = 9;
constexpr size_t kPreamblesAt = 10;
constexpr size_t kDeviceIdAt = 16;
constexpr size_t kIdentityReplyBytes = kDeviceIdAt + 3;

// Dynamic-variables reply, offsets from the marker's 0xFF:
//   0 FF  1 86  2-6 long address  7 command  8 byte count  9-10 status
//   11-14 loop current  15 unit 1  16-19 variable 1  20 unit 2  21-24 ...
// Each variable is a five-byte slot: unit code, then the single.
constexpr size_t kByteCountAt = 8;
constexpr size_t kFirstSlotAt = 15;
constexpr size_t kSlotBytes = 5;
// Bytes of the reply before variable 2: status, loop current, variable 1.
constexpr int kBytesBeforeVariable2 = 11;

struct VariableRow {
  const char* value;  // "Current_Variable_n:"
  const char* label;  // the MODBUS page's live value
  const char* unit;
};
constexpr VariableRow kVariableRows[] = {{"Edit25", "HLabel2", "ComboBox3"},
                                         {"Edit26", "HLabel3", "ComboBox31"},
                                         {"Edit27", "HLabel4", "ComboBox32"},
                                         {"Edit30", "HLabel5", "ComboBox33"}};

// Whether byte count `count` still covers variable `k` (0-based), k >= 1.
bool countCovers(int count, size_t k) { return count - kBytesBeforeVariable2 > static_cast<int>(kSlotBytes * (k - 1)); }

// A first byte of 0x7F marks a value the instrument does not have (HART's
// not-a-number is 7F A0 00 00); it is shown as zeros whatever follows.
constexpr uint8_t kNoValueFirstByte = 0x7F;
constexpr const char* kNoValueText = "00000000";
constexpr size_t kValueTextWidth = 9;

}  // namespace

std::optional<size_t> findReplyStart(std::span<const uint8_t> received, uint8_t delimiter) {
  for (size_t i = 0; i + kMarkerSearchMargin <= received.size(); ++i) {
    if (received[i] == kPreambleByte && received[i + 1] == delimiter) return i;
  }
  return std::nullopt;
}

IdentityReply decodeIdentityReply(std::span<const uint8_t> received, const DeviceIdentity& current) {
  IdentityReply result{{}, current};
  const auto start = findReplyStart(received, kShortReply);
  if (!start || *start + kIdentityReplyBytes > received.size()) {
    for (const char* field : kIdentityFields) result.shown.assignments.push_back(Assignment::setText(field, ""));
    return result;
  }
  const auto reply = received.subspan(*start, kIdentityReplyBytes);
  DeviceIdentity& identity = result.identity;
  identity.manufacturerId = reply[kManufacturerAt];
  identity.deviceType = reply[kDeviceTypeAt];
  identity.deviceId = {reply[kDeviceIdAt], reply[kDeviceIdAt + 1], reply[kDeviceIdAt + 2]};
  result.shown.assignments = identityShown(identity, reply[kPreamblesAt]);
  return result;
}

std::vector<Assignment> identityShown(const DeviceIdentity& identity, uint8_t preamblesRequested) {
  const uint32_t deviceId = deviceIdNumber(identity.deviceId);
  return {Assignment::setText("Edit28", std::to_string(identity.manufacturerId)),
          Assignment::setText("Edit29", std::to_string(identity.deviceType)),
          Assignment::setText("Edit31", std::to_string(preamblesRequested)),
          // ComboBox27 offers 0 .. 8: a higher address leaves it without a selection.
          Assignment::select("ComboBox27", identity.pollingAddress),
          Assignment::setText("Edit32", std::to_string(deviceId))};
}

Decoded decodeVariablesReply(std::span<const uint8_t> received, char decimalSeparator) {
  Decoded decoded;
  const auto start = findReplyStart(received, kLongReply);
  if (!start) return decoded;
  const auto reply = received.subspan(*start);
  for (size_t k = 0; k < std::size(kVariableRows); ++k) {
    const size_t slot = kFirstSlotAt + k * kSlotBytes;
    if (slot + kSlotBytes > reply.size()) break;  // the block ends first
    if (k > 0 && !countCovers(reply[kByteCountAt], k)) break;
    const VariableRow& row = kVariableRows[k];
    const std::string text = valueText(reply.subspan(slot + 1).first<4>(), decimalSeparator);
    decoded.assignments.push_back(Assignment::setText(row.value, text));
    decoded.assignments.push_back(Assignment::setText(row.label, text));
    decoded.assignments.push_back(Assignment::select(row.unit, unitItem(reply[slot])));
  }
  return decoded;
}

std::string valueText(std::span<const uint8_t, 4> bytes, char decimalSeparator) {
  if (bytes[0] == kNoValueFirstByte) return kNoValueText;
  return floatText(singleBits(bytes[0], bytes[1], bytes[2], bytes[3]), decimalSeparator).substr(0, kValueTextWidth);
}

}  // namespace tq::hart
