// The replies of the "Syetem Parameters" page.
#include "protocol/replies.h"
#include "protocol/reply_scanner.h"
#include "protocol/reply_tables.h"

#include <algorithm>
#include <iterator>
#include <string>
#include <vector>

namespace tq::protocol {

namespace {

// "QV:20#": interface type, unit count.
const Group kCommQueryReply = {"QV:", {{3, 1, As::Digit, "ComboBox13"}, {4, 1, As::Digit, "ComboBox1"}}};

// Devices of a module by the unit count it reports ("1 Unit", "4 Unit",
// "8 Unit"): the MODBUS page's device list offers each of them.
constexpr int kDevicesOfUnitCount[] = {1, 4, 8};
constexpr const char* kUnitCountControl = "ComboBox1";
constexpr const char* kDeviceListControl = "ComboBox41";

std::vector<std::string> deviceNames(int count) {
  std::vector<std::string> names;
  for (int i = 0; i < count; ++i) names.push_back("Device " + std::to_string(i));
  return names;
}

// Buttons that make sense once the module has answered.
constexpr const char* kButtonsEnabledByReply[] = {"Button16", "Button21", "Button24", "Button29", "Button15",
                                                  "Button27", "Button5",  "Button7",  "Button14", "Button10",
                                                  "Button17", "Button18", "Button12", "Button31", "Button23"};

// "QX1#BA1:30#MD:1#ADR:005#XY:0#JTM:010#": the fields the set frames
// "BA1", "MD", "ADR", "XY" and "JTM" write, in the same encodings.
const Group kSystemReply[] = {
    {"BA1:",
     {{4, 1, As::Digit, "ComboBox2"},            // RS485 baud rate
      {5, 1, As::Digit, "ComboBox4"}}},          // RS485 parity
    {"MD:", {{3, 1, As::Digit, "ComboBox7"}}},   // working mode
    {"ADR:", {{4, 3, As::Text, "Edit14"}}},      // MODBUS slave address, "005" kept as it stands
    {"XY:", {{3, 1, As::Digit, "ComboBox12"}}},  // communication delay
    {"JTM:", {{4, 3, As::Text, "Edit6"}}},       // instrument interval, units of 10 ms
};

}  // namespace

const Group& commQueryReplyGroup() { return kCommQueryReply; }
std::span<const Group> systemReplyGroups() { return kSystemReply; }

Decoded decodeCommQueryReply(std::string_view text) {
  Decoded out;
  if (scanGroup(text, kCommQueryReply, out) != Scan::Applied) return out;
  // A unit count beyond the list leaves the device list as it was.
  const auto unitCount = std::find_if(out.assignments.begin(), out.assignments.end(),
                                      [](const Assignment& a) { return a.control == kUnitCountControl; });
  if (unitCount != out.assignments.end() && unitCount->value >= 0 &&
      unitCount->value < static_cast<int>(std::size(kDevicesOfUnitCount))) {
    const int devices = kDevicesOfUnitCount[unitCount->value];
    out.assignments.push_back(Assignment::setItems(kDeviceListControl, deviceNames(devices)));
  }
  for (const char* button : kButtonsEnabledByReply) out.assignments.push_back(Assignment::enable(button));
  return out;
}

Decoded decodeSystemReply(std::string_view text) {
  Decoded out;
  if (findKeyword(text, kSystemReplyMarker) == std::string_view::npos) return out;
  scanGroups(text, kSystemReply, out);
  return out;
}

std::optional<std::string> settingRefusal(std::string_view answer) {
  constexpr std::string_view kRefused = "ERR";
  while (!answer.empty()) {
    const size_t end = std::min(answer.find('#'), answer.size());
    const std::string_view group = answer.substr(0, end);
    answer.remove_prefix(std::min(end + 1, answer.size()));
    const size_t colon = group.find(':');
    if (colon == std::string_view::npos) continue;
    const std::string_view word = group.substr(0, colon);
    const std::string_view rest = group.substr(colon + 1);
    if (word == kRefused) return "the frame: " + std::string(group);
    if (rest.starts_with(kRefused)) return std::string(word) + ": " + std::string(rest);
  }
  return std::nullopt;
}

}  // namespace tq::protocol
