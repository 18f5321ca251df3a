#pragma once
// The module's MODBUS RTU slave: function 3 (read holding registers) over the
// register image of its devices.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "module_settings.h"

namespace tq::sim {

inline constexpr int kRegistersPerDevice = 10;
inline constexpr uint8_t kIllegalFunction = 1;
inline constexpr uint8_t kIllegalDataAddress = 2;
inline constexpr uint8_t kIllegalDataValue = 3;

// What the module last read from device n: loop current and variables 1..4.
struct DeviceValues {
  float currentMa;
  std::array<float, 4> variables;
};

// Registers 10n .. 10n+9 of device n: the current (two registers) and
// variables 1..4 (two each) in the device's formats, variable 1 after the
// coefficient. A device without values reads zero.
std::vector<uint16_t> registerImage(const ModuleSettings& settings,
                                    std::span<const std::optional<DeviceValues>> devices);

// The two registers of one value in `format` (0 float FF4 FF3 FF2 FF1,
// 1 float FF2 FF1 FF4 FF3, 2 unsigned FF4..FF1, 3 unsigned FF2 FF1 FF4 FF3).
std::array<uint16_t, 2> encodeValue(double value, int format);

// Variable 1 as the coefficient setting turns it.
double applyCoefficient(const ModuleSettings& settings, double value);

// Answers one request frame (CRC included). Nothing comes back for another
// slave address, a broadcast or a bad CRC.
std::optional<std::vector<uint8_t>> handleModbusRequest(std::span<const uint8_t> request, uint8_t slaveAddress,
                                                        std::span<const uint16_t> registers);

}  // namespace tq::sim
