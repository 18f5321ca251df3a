#pragma once
// The MODBUS RTU communication test: one read-holding-registers request to
// the module's slave, sealed with CRC-16/MODBUS.
#include <array>
#include <cstdint>
#include <span>

namespace tq::tools {

inline constexpr uint8_t kReadHoldingRegisters = 0x03;
inline constexpr size_t kModbusTestFrameSize = 8;

// CRC-16/MODBUS over `bytes` in the order the two bytes go on the line: the
// register the MODBUS tables call "high" first, then "low" (as a number, the
// reflected CRC with polynomial 0xA001 from 0xFFFF, low-order byte first).
std::array<uint8_t, 2> crc16Modbus(std::span<const uint8_t> bytes);

// Slave address, 0x03, start address (high byte 0x00), quantity (high byte
// 0x00), CRC. Only the low 8 bits of each value are sent: 256 addresses slave
// 0x00 and -1 sends 0xFF, without a message.
std::array<uint8_t, kModbusTestFrameSize> modbusTestFrame(int32_t slaveAddress, int32_t startAddress, int32_t quantity);

}  // namespace tq::tools
