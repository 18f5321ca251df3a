#include "hart/properties.h"

#include "common/byte_display.h"
#include "common/text.h"
#include "hart/command_data.h"
#include "hart/packed_ascii.h"
#include "hart/status.h"

namespace tq::hart {

namespace {

// Commands 12/17 and 13/18.
constexpr size_t kMessageBytes = packedBytes(kMessageChars);
constexpr size_t kTagBytes = packedBytes(kTagChars);
constexpr size_t kDescriptorBytes = packedBytes(kDescriptorChars);
constexpr size_t kDateAt = kTagBytes + kDescriptorBytes;

constexpr const char* kNotInReply = "not in the reply";

// A reply whose data are good (success or a warning) and hold `bytes`.
bool holds(const ParsedReply& reply, std::initializer_list<uint8_t> commands, size_t bytes) {
  if (!reply.usable() || !dataGood(*reply.firstStatus) || !reply.command || reply.data.size() < bytes) return false;
  for (uint8_t c : commands)
    if (*reply.command == c) return true;
  return false;
}

}  // namespace

std::vector<PropertyRow> describeReply(const ParsedReply& reply, char decimalSeparator,
                                       std::optional<uint8_t> universalRevision) {
  if (!reply.intact()) return {{"Reply", reply.fault + "; its data is not used", "", true}};
  const uint8_t first = *reply.firstStatus;
  const uint8_t second = *reply.deviceStatus;
  if (reply.communicationError()) return {{"Reply", statusSummary(first, second), "", true}};

  std::vector<PropertyRow> rows;
  // A warning's data are good: shown as read, the warning beside them.
  if (first != kResponseSuccess) {
    rows.push_back(
        {"Response", std::to_string(first) + ": " + std::string(responseMeaning(first)), "", !isWarning(first)});
  }
  if (second != 0) rows.push_back({"Device status", joined(deviceStatusBits(second)), "", false});
  if (!dataGood(first)) {
    // An error: whatever data came with it is not the instrument's values.
    if (!reply.data.empty()) rows.push_back({"Data", hexBytes(reply.data) + " (not used after an error)", "", true});
    return rows;
  }

  const auto fields = replyFields(*reply.command, universalRevision);
  if (fields.empty()) {
    if (!reply.data.empty()) rows.push_back({"Data", fieldText({.name = "Data"}, reply.data, '.', false).value, ""});
    return rows;
  }
  for (const DataField& field : fields) {
    if (field.journalOnly) continue;
    switch (presence(field, reply.data.size())) {
      case Presence::Absent:
        break;
      case Presence::Missing:
        rows.push_back({std::string(field.name), kNotInReply, "", true});
        break;
      case Presence::Whole: {
        FieldText text = fieldText(field, reply.data, decimalSeparator, false);
        rows.push_back({std::string(field.name), std::move(text.value), std::move(text.unit), false});
        break;
      }
    }
  }
  return rows;
}

std::string statusText(const ParsedReply& reply) {
  if (!reply.intact()) return "Reply not used: " + reply.fault;
  return statusSummary(*reply.firstStatus, *reply.deviceStatus);
}

std::optional<UniqueIdentifier> readUniqueIdentifier(const ParsedReply& reply) {
  using namespace identity_data;
  if (!holds(reply, {command::kReadUniqueIdentifier}, kBytes) || reply.frame.longAddress()) return std::nullopt;
  const auto& d = reply.data;
  UniqueIdentifier id;
  id.pollingAddress = reply.address[0] & kAddressLowBits;
  id.manufacturerId = d[kManufacturerIdAt];
  id.deviceType = d[kDeviceTypeAt];
  id.preamblesRequested = d[kPreamblesRequestedAt];
  id.universalRevision = d[kUniversalRevisionAt];
  id.deviceId = {d[kDeviceIdAt], d[kDeviceIdAt + 1], d[kDeviceIdAt + 2]};
  return id;
}

std::optional<TagDescriptorDate> readTagDescriptorDate(const ParsedReply& reply) {
  if (!holds(reply, {command::kReadTagDescriptorDate, command::kWriteTagDescriptorDate}, kDateAt + kDateBytes))
    return std::nullopt;
  const std::span<const uint8_t> d = reply.data;
  TagDescriptorDate record;
  record.tag = withoutTrailingBlanks(unpackAscii(d.subspan(0, kTagBytes)));
  record.descriptor = withoutTrailingBlanks(unpackAscii(d.subspan(kTagBytes, kDescriptorBytes)));
  record.date = {kFirstDateYear + d[kDateAt + 2], d[kDateAt + 1], d[kDateAt]};
  return record;
}

std::optional<std::string> readMessage(const ParsedReply& reply) {
  if (!holds(reply, {command::kReadMessage, command::kWriteMessage}, kMessageBytes)) return std::nullopt;
  return withoutTrailingBlanks(unpackAscii(std::span(reply.data).first(kMessageBytes)));
}

}  // namespace tq::hart
