// Every configuration frame byte for byte, and the values no field can
// carry refused with a message before anything is built.
#include <gtest/gtest.h>

#include <functional>

#include "common/errors.h"
#include "protocol/config_frames.h"

namespace tq::protocol {
namespace {

struct Case {
  const char* name;
  std::function<Frame()> build;
  std::string frame;    // expected bytes, when accepted
  std::string refusal;  // expected message, when refused
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << c.name; }

std::string bytes(const Frame& f) { return {f.begin(), f.end()}; }

DeviceSettings defaults() { return {0, 1, 1, 5, 1, "060"}; }
DeviceSettings with(std::function<void(DeviceSettings&)> change) {
  DeviceSettings s = defaults();
  change(s);
  return s;
}
std::array<VariableParsing, 4> parsing(std::string firstStart = "03") {
  return {{{1, std::move(firstStart), 1}, {0, "00", 0}, {2, "05", 1}, {0, "00", 0}}};
}
const uint8_t kCommand[] = {0x01, 0x03, 0x00, 0x00};

const Case kCases[] = {
    {"CommQuery", [] { return commQueryFrame(); }, "QQQ#QV#", ""},
    {"ModbusQuery", [] { return modbusQueryFrame(0); }, "QQQ#QQ0#", ""},
    {"ModbusQueryWithoutDevice", [] { return modbusQueryFrame(-1); }, "",
     "Meter ID: nothing is selected. Choose a value and try again."},
    {"Rs485Line", [] { return rs485LineFrame(4, 2); }, "QQS#BA1:42#", ""},
    {"Rs485LineWithoutParity", [] { return rs485LineFrame(3, -1); }, "",
     "RS485 Serial Port Parameters, Parity: nothing is selected. Choose a value and try again."},
    {"WorkingMode", [] { return workingModeFrame(4, "Module Working Mode"); }, "QQS#MD:4#", ""},
    {"SlaveAddressPadded", [] { return slaveAddressFrame("1"); }, "QQS#ADR:001#", ""},
    {"SlaveAddressHexForm", [] { return slaveAddressFrame("$F7"); }, "QQS#ADR:247#", ""},
    {"SlaveAddressNotAnInteger", [] { return slaveAddressFrame("abc"); }, "", "'abc' is not a valid integer value"},
    {"Interval", [] { return instrumentIntervalFrame("10"); }, "QQS#JTM:010#", ""},
    {"InterfaceType", [] { return interfaceTypeFrame(0, 0); }, "QQS#YB:00#", ""},
    {"Reset", [] { return resetFrame(); }, "QQS#RESET#", ""},
    {"CoefficientCutToFive", [] { return coefficientFrame(3, "0.0015"); }, "QQS#FMW:3,0.001#", ""},
    {"CoefficientShortNumberPadded", [] { return coefficientFrame(2, "0.5"); }, "QQS#FMW:2,000.5#", ""},
    {"CoefficientShortIntegerPadded", [] { return coefficientFrame(2, "1"); }, "QQS#FMW:2,00001#", ""},
    {"CoefficientShortNegativeRefused", [] { return coefficientFrame(2, "-1"); }, "",
     "Coefficient: '-1' is too short; enter 5 characters or a number that is not negative, such as 0.001."},
    {"CoefficientWithACommaRefused", [] { return coefficientFrame(2, "0,001"); }, "",
     "Coefficient: '0,001' holds ',' or '#', which would split the command; use '.' as the decimal point."},
    {"CoefficientSeparatorBeyondTheFifthIgnored", [] { return coefficientFrame(2, "0.001#"); }, "QQS#FMW:2,0.001#", ""},
    {"CoefficientEmptyRefused", [] { return coefficientFrame(2, ""); }, "",
     "Coefficient: '' is too short; enter 5 characters or a number that is not negative, such as 0.001."},
    {"DeviceSettings", [] { return deviceSettingsFrame(defaults()); }, "QQS#HART0:1,1,05,5,060#", ""},
    {"DeviceMeterType15", [] { return deviceSettingsFrame(with([](auto& s) { s.meterType = 15; })); },
     "QQS#HART0:1,1,15,5,060#", ""},
    {"DevicePreamble9", [] { return deviceSettingsFrame(with([](auto& s) { s.preambleLength = 5; })); },
     "QQS#HART0:1,1,05,9,060#", ""},
    // After start or a device change the enable shows no selection.
    {"DeviceWithoutEnable", [] { return deviceSettingsFrame(with([](auto& s) { s.enable = -1; })); }, "",
     "Enable: nothing is selected. Choose a value and try again."},
    {"DeviceWithoutPreamble", [] { return deviceSettingsFrame(with([](auto& s) { s.preambleLength = -1; })); }, "",
     "Preamble Length: nothing is selected. Choose a value and try again."},
    {"RegisterFormatsOneMissing",
     [] {
       return registerFormatsFrame(0, {0, 0, -1, 0, 0});
     },
     "", "Variable_2(RTU_ADR) format: nothing is selected. Choose a value and try again."},
    {"ParsingFormat", [] { return parsingFormatFrame(0, 5, parsing()); }, "QQS#MDBS0:8,1031,0000,2051,0000#", ""},
    {"ParsingStartAddressTooLarge", [] { return parsingFormatFrame(0, 5, parsing("100")); }, "",
     "Variable_1 Start Addr.: '100' is out of range; enter a whole number from 0 to 99."},
    {"ReadCommand", [] { return readCommandFrame(0, 1, 1, kCommand); },
     std::string("QQS#CAMD01:1<04,\x01\x03\x00\x00", 20), ""},
    {"ReadCommandWithoutEnable", [] { return readCommandFrame(0, 2, -1, kCommand); }, "",
     "Read Meter Command 2: nothing is selected. Choose a value and try again."},
};

class ConfigFrame : public ::testing::TestWithParam<Case> {};

TEST_P(ConfigFrame, IsBuiltOrRefused) {
  const Case& c = GetParam();
  if (c.refusal.empty()) {
    EXPECT_EQ(bytes(c.build()), c.frame);
    return;
  }
  try {
    c.build();
    ADD_FAILURE() << "accepted";
  } catch (const std::exception& e) {
    EXPECT_EQ(e.what(), c.refusal);
  }
}

INSTANTIATE_TEST_SUITE_P(Frames, ConfigFrame, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RegisterLabels, FollowTheDeviceNumber) {
  using Labels = std::array<std::string, 5>;
  EXPECT_EQ(registerLabels(0), (Labels{"40001", "40003", "40005", "40007", "40009"}));
  EXPECT_EQ(registerLabels(1), (Labels{"40011", "40013", "40015", "40017", "40019"}));
  EXPECT_EQ(registerLabels(8), (Labels{"40081", "40083", "40085", "40087", "40089"}));
}

}  // namespace
}  // namespace tq::protocol
