// The test request's CRC and layout: published vectors, the two tables
// against the bitwise definition, and the low-byte truncation of the values.
#include "tools/modbus_test.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace tq::tools {
namespace {

using Bytes = std::vector<uint8_t>;

// The definition: reflected, polynomial 0xA001, from 0xFFFF.
uint16_t bitwiseCrc(const Bytes& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t b : bytes) {
    crc ^= b;
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : crc >> 1;
  }
  return crc;
}

Bytes onTheLine(const std::array<uint8_t, 2>& crc) { return {crc[0], crc[1]}; }

TEST(ModbusCrc, PublishedVectorsInLineOrder) {
  struct Case {
    Bytes message;
    Bytes crc;
  };
  const Case cases[] = {
      {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, {0xC5, 0xCD}},
      {{0x01, 0x03, 0x00, 0x0A, 0x00, 0x02}, {0xE4, 0x09}},
      {{0x01, 0x03, 0x00, 0x00, 0x00, 0x01}, {0x84, 0x0A}},
      {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, {0x76, 0x87}},
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, {0x37, 0x4B}},  // catalogue check value 0x4B37
      {{}, {0xFF, 0xFF}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(onTheLine(crc16Modbus(c.message)), c.crc) << ::testing::PrintToString(c.message);
  }
}

TEST(ModbusCrc, TablesAgreeWithTheBitwiseDefinition) {
  std::vector<Bytes> messages;
  // A single byte reaches each table entry once: index = byte ^ 0xFF.
  for (int b = 0; b < 256; ++b) messages.push_back({static_cast<uint8_t>(b)});
  std::mt19937 random(580);
  std::uniform_int_distribution<int> length(2, 64), value(0, 255);
  for (int i = 0; i < 500; ++i) {
    Bytes m(static_cast<size_t>(length(random)));
    for (uint8_t& b : m) b = static_cast<uint8_t>(value(random));
    messages.push_back(m);
  }
  for (const Bytes& m : messages) {
    const uint16_t crc = bitwiseCrc(m);
    ASSERT_EQ(onTheLine(crc16Modbus(m)), (Bytes{static_cast<uint8_t>(crc & 0xFF), static_cast<uint8_t>(crc >> 8)}))
        << ::testing::PrintToString(m);
  }
}

TEST(ModbusTestFrame, SendsTheLowByteOfEachValue) {
  struct Case {
    int32_t slave, start, quantity;
    Bytes frame;
  };
  const Case cases[] = {
      {1, 0, 10, {0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}},
      {256, 0, 10, {0x00, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC4, 0x1C}},
      {-1, 300, 125, {0xFF, 0x03, 0x00, 0x2C, 0x00, 0x7D, 0x51, 0xFC}},
      {247, 255, 1, {0xF7, 0x03, 0x00, 0xFF, 0x00, 0x01, 0xA0, 0xAC}},
      {0x111, 0x16B, 0x7FFFFF03, {0x11, 0x03, 0x00, 0x6B, 0x00, 0x03, 0x76, 0x87}},
  };
  for (const Case& c : cases) {
    const auto frame = modbusTestFrame(c.slave, c.start, c.quantity);
    EXPECT_EQ(Bytes(frame.begin(), frame.end()), c.frame) << c.slave << " " << c.start << " " << c.quantity;
  }
}

}  // namespace
}  // namespace tq::tools
