// The reply to "QQQ#QQ<d>#": one device's MODBUS mapping settings.
#include <algorithm>

#include "common/text.h"
#include "protocol/replies.h"
#include "protocol/reply_scanner.h"
#include "protocol/reply_tables.h"

namespace tq::protocol {

namespace {

// "QQ0#FMW:3,0.001#HART0:1,1,05,5,060#DFO0:00000#..." After its ':' each
// group has the layout of its set frame. The character after "HART", "DFO",
// "ZDY" and "CAMD" is not compared with the device asked for.
const Group kDeviceGroups[] = {
    {"FMW:",
     {{4, 1, As::Digit, "ComboBox18"},  // coefficient mode
      {6, 5, As::Text, "Beilv"}}},      // coefficient, five characters
    {"HART?:",
     {{6, 1, As::Digit, "ComboBox6"},           // enable
      {8, 1, As::Digit, "ComboBox16"},          // device mode
      {10, 2, As::Integer, "ComboBox17"},       // meter type "00" .. "15"
      {13, 1, As::DigitLess, "ComboBox34", 4},  // preamble length "4" .. "9"
      {15, 3, As::Text, "Edit1"}}},             // buffer clear time, seconds
    {"DFO?:",
     {{5, 1, As::Digit, "FAMOUT1"},  // current register format
      {6, 1, As::Digit, "FAMOUT3"},  // variables 1 .. 4
      {7, 1, As::Digit, "FAMOUT5"},
      {8, 1, As::Digit, "FAMOUT7"},
      {9, 1, As::Digit, "FAMOUT9"}}},
};

// Decoded only for the custom meter (type 0).
// "ZDY0:8,1031,0000,2051,0000": address bits, then per variable the command
// number, a two-digit start address and the data length.
const Group kCustomMeterGroups[] = {
    {"ZDY?:",
     {{5, 1, As::DigitLess, "ComboBox15", 3},  // address bits "3" .. "9"
      {7, 1, As::Digit, "RADCOM1"},
      {8, 2, As::Text, "READADR1"},
      {10, 1, As::Digit, "READLG1"},
      {12, 1, As::Digit, "RADCOM3"},
      {13, 2, As::Text, "READADR3"},
      {15, 1, As::Digit, "READLG3"},
      {17, 1, As::Digit, "RADCOM5"},
      {18, 2, As::Text, "READADR5"},
      {20, 1, As::Digit, "READLG5"},
      {22, 1, As::Digit, "RADCOM7"},
      {23, 2, As::Text, "READADR7"},
      {25, 1, As::Digit, "READLG7"}}},
    {"MD:",
     {{3, 1, As::Digit, "ComboBox7"},  // one working mode, shown on both pages
      {3, 1, As::Digit, "ComboBox14"}}},
};

const ReadCommandReply kReadCommands[] = {
    {{"CAMD?1:", {{7, 1, As::Digit, "ComboBox28"}}}, "Edit4"},
    {{"CAMD?2:", {{7, 1, As::Digit, "ComboBox29"}}}, "Edit5"},
};
const Field kCountTens = {kReadCommandCountOffset, 1, As::Digit, ""};
const Field kCountUnits = {kReadCommandCountOffset + 1, 1, As::Digit, ""};

bool scanReadCommand(std::string_view text, const ReadCommandReply& command, Decoded& out) {
  const Scan enable = scanGroup(text, command.enable, out);
  if (enable != Scan::Applied) return enable == Scan::Missing;
  const size_t at = findKeyword(text, command.enable.keyword);
  Decoded count;
  if (!scanField(text, at, kCountTens, count) || !scanField(text, at, kCountUnits, count)) {
    out.error = count.error;
    return false;
  }
  const int n = count.assignments[0].value * 10 + count.assignments[1].value;
  out.assignments.push_back(Assignment::setText(
      command.commandEdit, latin1ToUtf8(fieldText(text, at + kReadCommandTextOffset, readCommandTextWidth(n)))));
  return true;
}

// The meter type the window shows after the assignments so far: the last
// one decoded (an index beyond the list selects nothing), or the one shown
// before the reply.
int meterTypeAfter(const Decoded& out, int meterTypeShown) {
  const auto it = std::find_if(out.assignments.rbegin(), out.assignments.rend(),
                               [](const Assignment& a) { return a.control == "ComboBox17"; });
  if (it == out.assignments.rend()) return meterTypeShown;
  return it->value >= 0 && it->value < kMeterTypeCount ? it->value : -1;
}

}  // namespace

std::span<const Group> modbusDeviceGroups() { return kDeviceGroups; }
std::span<const Group> customMeterGroups() { return kCustomMeterGroups; }
std::span<const ReadCommandReply> readCommandReplies() { return kReadCommands; }

Decoded decodeModbusReply(std::string_view text, int meterTypeShown) {
  Decoded out;
  if (findKeyword(text, kModbusReplyMarker) == std::string_view::npos) return out;
  if (!scanGroups(text, kDeviceGroups, out)) return out;

  // The custom parsing group is shown, and read back, for the custom meter only.
  const bool customMeter = meterTypeAfter(out, meterTypeShown) == 0;
  out.assignments.push_back(Assignment::show("GroupBox13", customMeter));
  if (!customMeter) return out;

  if (!scanGroups(text, kCustomMeterGroups, out)) return out;
  for (const ReadCommandReply& command : kReadCommands) {
    if (!scanReadCommand(text, command, out)) return out;
  }
  return out;
}

}  // namespace tq::protocol
