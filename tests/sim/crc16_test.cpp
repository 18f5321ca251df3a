#include "sim/crc16.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq::sim {
namespace {

struct CrcVector {
  std::vector<uint8_t> bytes;
  uint16_t crc;
};

TEST(Crc16Modbus, KnownVectors) {
  const std::vector<CrcVector> vectors = {
      {{'1', '2', '3', '4', '5', '6', '7', '8', '9'}, 0x4B37},  // catalogue check value
      {{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A}, 0xCDC5},           // the tool's default test request
      {{0x11, 0x03, 0x00, 0x6B, 0x00, 0x03}, 0x8776},           // MODBUS over serial line example
      {{}, 0xFFFF},
      {{0x00}, 0x40BF},
  };
  for (const auto& v : vectors) EXPECT_EQ(crc16Modbus(v.bytes), v.crc) << ::testing::PrintToString(v.bytes);
}

TEST(Crc16Modbus, AppendsLowByteFirstAndChecks) {
  std::vector<uint8_t> frame{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A};
  appendCrc16(frame);
  EXPECT_EQ(frame, (std::vector<uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}));
  EXPECT_TRUE(hasValidCrc16(frame));
  for (size_t i = 0; i < frame.size(); ++i) {
    auto damaged = frame;
    damaged[i] ^= 0x01;
    EXPECT_FALSE(hasValidCrc16(damaged)) << "byte " << i;
  }
  EXPECT_FALSE(hasValidCrc16(std::vector<uint8_t>{0xFF, 0xFF}));
}

}  // namespace
}  // namespace tq::sim
