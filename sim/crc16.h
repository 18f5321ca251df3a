#pragma once
// CRC-16/MODBUS as the module's RTU slave checks and appends it.
#include <cstdint>
#include <span>
#include <vector>

namespace tq::sim {

// Reflected CRC-16, polynomial 0xA001, initial value 0xFFFF. On the line the
// low byte goes first.
uint16_t crc16Modbus(std::span<const uint8_t> bytes);

// Appends the CRC of everything in `frame` (low byte, then high byte).
void appendCrc16(std::vector<uint8_t>& frame);

// True when the last two bytes are the CRC of the bytes before them.
bool hasValidCrc16(std::span<const uint8_t> frameWithCrc);

}  // namespace tq::sim
