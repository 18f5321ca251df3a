#pragma once
// The group tables behind the reply decoders, for the exchange journal's
// dissector: it lists each reply's fields with the very tables the window
// decodes them with.
#include <span>
#include <string_view>

#include "protocol/reply_scanner.h"

namespace tq::protocol {

// The marker each decoder looks for before it reads any group.
inline constexpr std::string_view kSystemReplyMarker = "QX1";
inline constexpr std::string_view kModbusReplyMarker = "QQ";
inline constexpr std::string_view kOutputSettingsReplyMarker = "QX2";
inline constexpr std::string_view kOutputValuesReplyMarker = "QX3";

// "QV:" is both the communication query reply's marker and its one group.
const Group& commQueryReplyGroup();
std::span<const Group> systemReplyGroups();
// The MODBUS parameter reply: groups read whatever the meter type, and the
// groups read back for the custom meter (type 0) only.
std::span<const Group> modbusDeviceGroups();
std::span<const Group> customMeterGroups();
std::span<const Group> outputSettingsReplyGroups();
std::span<const Group> outputValuesReplyGroups();

// "CAMD01:1<04,01 03 00 00": the enable, a two-digit byte count N at
// kReadCommandCountOffset, and the command as N hex pairs with blanks between
// them from kReadCommandTextOffset (readCommandTextWidth(N) characters).
struct ReadCommandReply {
  Group enable;
  const char* commandEdit;
};
std::span<const ReadCommandReply> readCommandReplies();
inline constexpr size_t kReadCommandCountOffset = 9;
inline constexpr size_t kReadCommandCountWidth = 2;
inline constexpr size_t kReadCommandTextOffset = 12;
inline constexpr size_t readCommandTextWidth(int count) { return count <= 0 ? 0 : static_cast<size_t>(3 * count - 1); }

}  // namespace tq::protocol
