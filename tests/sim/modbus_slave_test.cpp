// The module's MODBUS RTU slave: register map, formats, CRC and exceptions.
#include "sim/modbus_slave.h"

#include <gtest/gtest.h>

#include <ostream>

#include <vector>

#include "sim/crc16.h"
#include "sim/module.h"

namespace tq::sim {
namespace {

std::vector<uint8_t> request(uint8_t slave, uint8_t function, uint16_t start, uint16_t count) {
  std::vector<uint8_t> f{slave,
                         function,
                         static_cast<uint8_t>(start >> 8),
                         static_cast<uint8_t>(start),
                         static_cast<uint8_t>(count >> 8),
                         static_cast<uint8_t>(count)};
  appendCrc16(f);
  return f;
}

struct EncodeCase {
  double value;
  int format;
  std::array<uint16_t, 2> words;
};

TEST(ModbusRegisters, FormatsAndByteOrders) {
  const std::vector<EncodeCase> cases = {
      {12.0, 0, {0x4140, 0x0000}},  // float, FF4 FF3 FF2 FF1
      {12.0, 1, {0x0000, 0x4140}},  // float, FF2 FF1 FF4 FF3
      {-1.5, 0, {0xBFC0, 0x0000}},    {1.1, 0, {0x3F8C, 0xCCCD}},
      {1.1, 1, {0xCCCD, 0x3F8C}},     {1234.4, 2, {0x0000, 0x04D2}},  // unsigned, rounded
      {70000.6, 2, {0x0001, 0x1171}}, {70000.6, 3, {0x1171, 0x0001}},
      {-5.0, 2, {0x0000, 0x0000}},  // unsigned holds at 0
      {1e12, 3, {0xFFFF, 0xFFFF}},  // and at its top
  };
  for (const auto& c : cases) EXPECT_EQ(encodeValue(c.value, c.format), c.words) << c.value << " format " << c.format;
}

TEST(ModbusRegisters, DeviceBlocksOfTenInTheirFormats) {
  ModuleSettings settings = factorySettings();
  settings.unitCountIndex = 1;  // four devices: registers 0..39
  settings.devices[1].formats = {1, 0, 1, 2, 3};
  const DeviceValues values{12.0f, {1.1f, 25.0f, 1234.4f, 70000.6f}};
  const std::vector<std::optional<DeviceValues>> devices = {std::nullopt, values, std::nullopt, std::nullopt};
  const auto image = registerImage(settings, devices);
  ASSERT_EQ(image.size(), 40u);
  // Device 0 has no values: it reads zero.
  for (size_t r = 0; r < 10; ++r) EXPECT_EQ(image[r], 0) << r;
  const std::vector<uint16_t> device1 = {0x0000, 0x4140, 0x3F8C, 0xCCCD, 0x0000,
                                         0x41C8, 0x0000, 0x04D2, 0x1171, 0x0001};
  EXPECT_EQ(std::vector<uint16_t>(image.begin() + 10, image.begin() + 20), device1);
}

TEST(ModbusRegisters, CoefficientTurnsVariableOneOnly) {
  struct Case {
    int mode;
    double coefficient;
    double variable1;
    double expected;
  };
  const std::vector<Case> cases = {
      {0, 0.001, 2.5, 2.5}, {1, 0.001, 0.5, 1800.0}, {2, 0.001, 2500.0, 2.5}, {3, 0.001, 1.234, 123.0}};
  for (const auto& c : cases) {
    ModuleSettings settings = factorySettings();
    settings.coefficientMode = c.mode;
    settings.coefficient = c.coefficient;
    EXPECT_DOUBLE_EQ(applyCoefficient(settings, c.variable1), c.expected) << "mode " << c.mode;
    const std::vector<std::optional<DeviceValues>> devices = {
        DeviceValues{4.0f, {static_cast<float>(c.variable1), 7.0f, 0, 0}}};
    const auto image = registerImage(settings, devices);
    EXPECT_EQ(image[2], encodeValue(c.expected, 0)[0]) << "mode " << c.mode;
    EXPECT_EQ(image[4], 0x40E0) << "variable 2 untouched, mode " << c.mode;
  }
}

TEST(ModbusSlave, ReadHoldingRegistersReply) {
  const std::vector<uint16_t> registers = {0x4140, 0x0000, 0x1234, 0xABCD};
  const auto reply = handleModbusRequest(request(1, 3, 1, 3), 1, registers);
  ASSERT_TRUE(reply);
  std::vector<uint8_t> expected{0x01, 0x03, 0x06, 0x00, 0x00, 0x12, 0x34, 0xAB, 0xCD};
  appendCrc16(expected);
  EXPECT_EQ(*reply, expected);
}

struct ExceptionCase {
  const char* name;
  std::vector<uint8_t> frame;
  uint8_t function;
  uint8_t code;
};
// Tests are listed by name, not by the bytes of their case.
void PrintTo(const ExceptionCase& c, std::ostream* os) { *os << c.name; }

class ModbusException : public ::testing::TestWithParam<ExceptionCase> {};

TEST_P(ModbusException, AnswersWithTheExceptionCode) {
  const std::vector<uint16_t> registers(10, 0);
  const auto reply = handleModbusRequest(GetParam().frame, 1, registers);
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->size(), 5u);
  EXPECT_EQ((*reply)[0], 1);
  EXPECT_EQ((*reply)[1], GetParam().function);
  EXPECT_EQ((*reply)[2], GetParam().code);
  EXPECT_TRUE(hasValidCrc16(*reply));
}

INSTANTIATE_TEST_SUITE_P(
    Requests, ModbusException,
    ::testing::Values(ExceptionCase{"PastTheMap", request(1, 3, 0, 11), 0x83, kIllegalDataAddress},
                      ExceptionCase{"StartPastTheMap", request(1, 3, 10, 1), 0x83, kIllegalDataAddress},
                      ExceptionCase{"HighStart", request(1, 3, 0x0100, 1), 0x83, kIllegalDataAddress},
                      ExceptionCase{"ZeroCount", request(1, 3, 0, 0), 0x83, kIllegalDataValue},
                      ExceptionCase{"CountAbove125", request(1, 3, 0, 126), 0x83, kIllegalDataValue},
                      ExceptionCase{"InputRegisters", request(1, 4, 0, 1), 0x84, kIllegalFunction},
                      ExceptionCase{"WriteRegister", request(1, 6, 0, 1), 0x86, kIllegalFunction}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ModbusSlave, SilentForBadCrcOtherSlaveAndBroadcast) {
  const std::vector<uint16_t> registers(10, 0);
  auto bad = request(1, 3, 0, 10);
  bad[7] ^= 0xFF;
  EXPECT_FALSE(handleModbusRequest(bad, 1, registers));
  EXPECT_FALSE(handleModbusRequest(request(2, 3, 0, 10), 1, registers));
  EXPECT_FALSE(handleModbusRequest(request(0, 3, 0, 10), 1, registers));
  EXPECT_TRUE(handleModbusRequest(request(2, 3, 0, 10), 2, registers));
}

TEST(ModbusSlave, ValuesChangeOnlyAtEachInstrumentPoll) {
  Module module;
  module.settings().instrumentInterval = 500;  // 5 s
  const auto atPoll = module.registers(10.0);
  EXPECT_EQ(module.registers(14.9), atPoll);
  EXPECT_NE(module.registers(15.0), atPoll);
  module.settings().instrumentInterval = 1;  // 10 ms
  EXPECT_NE(module.registers(10.02), module.registers(10.0));
}

TEST(ModbusSlave, ModuleMapFollowsUnitCountEnableAndPollingAddress) {
  Module module;
  const double at = 30.0;
  auto read = [&](uint16_t start, uint16_t count) {
    const ScanResult scan{ScanStatus::kFrame, FrameKind::kModbus, 8};
    const auto frame = request(1, 3, start, count);
    return module.answer(scan, frame, at);
  };
  // One unit: registers 0..9 only.
  auto reply = read(0, 10);
  ASSERT_TRUE(reply);
  ASSERT_EQ(reply->size(), 25u);
  const auto values = module.deviceValues(0, at);
  ASSERT_TRUE(values);
  const auto current = encodeValue(values->currentMa, 0);
  EXPECT_EQ(((*reply)[3] << 8) | (*reply)[4], current[0]);
  EXPECT_EQ((*read(10, 1))[1], 0x83);

  // Eight units, instrument moved to polling address 5 (device 5).
  module.settings().unitCountIndex = 2;
  HartIdentity moved = module.instrument().identity();
  moved.pollingAddress = 5;
  module.instrument() = HartInstrument(moved);
  EXPECT_FALSE(module.deviceValues(0, at));
  EXPECT_FALSE(module.deviceValues(5, at));  // device 5 not enabled yet
  module.settings().devices[5].enabled = 1;
  ASSERT_TRUE(module.deviceValues(5, at));
  reply = read(50, 2);
  ASSERT_TRUE(reply);
  EXPECT_EQ(((*reply)[3] << 8) | (*reply)[4], 0x4080);  // 4.0 mA, parked in multidrop
  EXPECT_EQ((*read(79, 1))[1], 0x03);
  EXPECT_EQ((*read(80, 1))[1], 0x83);
}

}  // namespace
}  // namespace tq::sim
