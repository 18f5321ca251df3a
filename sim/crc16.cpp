#include "crc16.h"

namespace tq::sim {

uint16_t crc16Modbus(std::span<const uint8_t> bytes) {
  // Bitwise on purpose: the tool uses the table form, so a wrong table entry
  // on either side shows up as a mismatch instead of hiding.
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit)
      crc = (crc & 1u) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001u) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

void appendCrc16(std::vector<uint8_t>& frame) {
  const uint16_t crc = crc16Modbus(frame);
  frame.push_back(static_cast<uint8_t>(crc & 0xFF));
  frame.push_back(static_cast<uint8_t>(crc >> 8));
}

bool hasValidCrc16(std::span<const uint8_t> frameWithCrc) {
  if (frameWithCrc.size() < 3) return false;
  const size_t n = frameWithCrc.size() - 2;
  const uint16_t crc = crc16Modbus(frameWithCrc.first(n));
  return frameWithCrc[n] == (crc & 0xFF) && frameWithCrc[n + 1] == (crc >> 8);
}

}  // namespace tq::sim
