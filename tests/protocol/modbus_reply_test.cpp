// The MODBUS parameter reply: the groups of one device, the meter-type gate
// of the custom parsing groups, the variable-length read commands.
#include <gtest/gtest.h>

#include "protocol/replies.h"
#include "reply_test_support.h"

namespace tq::protocol {
namespace {

using testing::Outcome;
using testing::outcome;
using Values = std::map<std::string, std::string>;

struct Case {
  const char* name;
  std::string text;
  int meterTypeShown;
  Outcome expected;
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

const Values kDevice5 = {
    {"ComboBox6", "#1"}, {"ComboBox16", "#0"}, {"ComboBox17", "#5"}, {"ComboBox34", "#2"}, {"Edit1", "060"}};
const Values kCustomParsing = {{"ComboBox15", "#5"}, {"RADCOM1", "#1"},  {"READADR1", "03"}, {"READLG1", "#1"},
                               {"RADCOM3", "#0"},    {"READADR3", "00"}, {"READLG3", "#0"},  {"RADCOM5", "#2"},
                               {"READADR5", "05"},   {"READLG5", "#1"},  {"RADCOM7", "#0"},  {"READADR7", "00"},
                               {"READLG7", "#0"}};

Values merged(std::initializer_list<Values> parts) {
  Values all;
  for (const Values& part : parts) {
    for (const auto& [control, value] : part) all[control] = value;  // later parts win
  }
  return all;
}

const std::string kCustomTail = "ZDY0:8,1031,0000,2051,0000#MD:2#CAMD01:1<04,01 03 00 00#CAMD02:0<00,#";

const Case kCases[] = {
    {"NoMarker", "HART0:1,0,05,6,060#", 0, {}},
    {"OtherMeterHidesAndIgnoresTheCustomGroups",
     "QQ0#HART0:1,0,05,6,060#" + kCustomTail,
     0,
     {merged({kDevice5, {{"GroupBox13", "hidden"}}})}},
    {"CustomMeterReadsEverything",
     "QQ0#FMW:3,0.001#HART0:1,0,00,6,060#DFO0:01230#" + kCustomTail,
     5,
     {merged({{{"ComboBox18", "#3"}, {"Beilv", "0.001"}},
              {{"ComboBox6", "#1"}, {"ComboBox16", "#0"}, {"ComboBox17", "#0"}, {"ComboBox34", "#2"}, {"Edit1", "060"}},
              {{"FAMOUT1", "#0"}, {"FAMOUT3", "#1"}, {"FAMOUT5", "#2"}, {"FAMOUT7", "#3"}, {"FAMOUT9", "#0"}},
              {{"GroupBox13", "shown"}},
              kCustomParsing,
              {{"ComboBox7", "#2"}, {"ComboBox14", "#2"}},
              {{"ComboBox28", "#1"}, {"Edit4", "01 03 00 00"}, {"ComboBox29", "#0"}, {"Edit5", ""}}})}},
    // Without a device group the meter type shown before the reply decides.
    {"NoDeviceGroupAndNoMeterTypeShown", "QQ#" + kCustomTail, -1, {{{"GroupBox13", "hidden"}}}},
    {"NoDeviceGroupWithCustomMeterShown",
     "QQ#MD:1#",
     0,
     {{{"GroupBox13", "shown"}, {"ComboBox7", "#1"}, {"ComboBox14", "#1"}}}},
    // A meter type beyond the list selects nothing, which is not the custom meter.
    {"MeterTypeBeyondTheList",
     "QQ#HART0:1,0,16,6,060#MD:1#",
     0,
     {merged({kDevice5, {{"ComboBox17", "#16"}, {"GroupBox13", "hidden"}}})}},
    // The device character is not compared with anything.
    {"AnyDeviceCharacter", "QQ#HARTx:1,0,05,6,060#", 0, {merged({kDevice5, {{"GroupBox13", "hidden"}}})}},
    {"BadDigitKeepsEarlierGroupsAndTheVisibility",
     "QQ#FMW:2,1.234#HART0:1,X,05,6,060#",
     0,
     {{{"ComboBox18", "#2"}, {"Beilv", "1.234"}, {"ComboBox6", "#1"}}, "'X' is not a valid integer value"}},
    {"BadMeterType",
     "QQ#HART0:1,0,?5,6,060#",
     0,
     {{{"ComboBox6", "#1"}, {"ComboBox16", "#0"}}, "'?5' is not a valid integer value"}},
    {"ReadCommandCountOfZeroEmptiesTheEdit",
     "QQ#CAMD01:0<00,#",
     0,
     {{{"GroupBox13", "shown"}, {"ComboBox28", "#0"}, {"Edit4", ""}}}},
    {"ReadCommandCutByTheEndOfTheText",
     "QQ#CAMD02:1<04,01 03",
     0,
     {{{"GroupBox13", "shown"}, {"ComboBox29", "#1"}, {"Edit5", "01 03"}}}},
    {"ReadCommandBadCount",
     "QQ#CAMD01:1<0x,01",
     0,
     {{{"GroupBox13", "shown"}, {"ComboBox28", "#1"}}, "'x' is not a valid integer value"}},
    {"GroupCutBeforeADigit",
     "QQ#DFO0:01",
     0,
     {{{"FAMOUT1", "#0"}, {"FAMOUT3", "#1"}}, "'' is not a valid integer value"}},
};

class ModbusReply : public ::testing::TestWithParam<Case> {};

TEST_P(ModbusReply, Decodes) {
  const Case& c = GetParam();
  EXPECT_EQ(outcome(decodeModbusReply(c.text, c.meterTypeShown)), c.expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, ModbusReply, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tq::protocol
