#include "modbus_slave.h"

#include <bit>
#include <cmath>

#include "crc16.h"

namespace tq::sim {

namespace {

constexpr uint8_t kReadHoldingRegisters = 3;
constexpr uint8_t kExceptionFlag = 0x80;
constexpr int kMaxReadCount = 125;

}  // namespace

double applyCoefficient(const ModuleSettings& settings, double value) {
  switch (settings.coefficientMode) {
    case 1:
      return value * 3600.0;
    case 2:
      return value * settings.coefficient;
    case 3:
      return std::round(value * 100.0);
    default:
      return value;
  }
}

std::array<uint16_t, 2> encodeValue(double value, int format) {
  uint32_t bits = 0;
  if (format <= 1) {
    bits = std::bit_cast<uint32_t>(static_cast<float>(value));
  } else if (std::isfinite(value) && value > 0) {
    // Unsigned registers: rounded, held at the ends of the 32-bit range.
    bits = value >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(std::llround(value));
  }
  const auto high = static_cast<uint16_t>(bits >> 16);    // FF4 FF3
  const auto low = static_cast<uint16_t>(bits & 0xFFFF);  // FF2 FF1
  const bool wordSwapped = format == 1 || format == 3;
  return wordSwapped ? std::array<uint16_t, 2>{low, high} : std::array<uint16_t, 2>{high, low};
}

std::vector<uint16_t> registerImage(const ModuleSettings& settings,
                                    std::span<const std::optional<DeviceValues>> devices) {
  const int count = deviceCount(settings);
  std::vector<uint16_t> registers(static_cast<size_t>(count * kRegistersPerDevice), 0);
  for (int n = 0; n < count && static_cast<size_t>(n) < devices.size(); ++n) {
    const auto& values = devices[static_cast<size_t>(n)];
    if (!values) continue;
    const DeviceSettings& device = settings.devices[static_cast<size_t>(n)];
    auto put = [&](int slot, double value, int format) {
      const auto words = encodeValue(value, format);
      registers[static_cast<size_t>(n * kRegistersPerDevice + 2 * slot)] = words[0];
      registers[static_cast<size_t>(n * kRegistersPerDevice + 2 * slot + 1)] = words[1];
    };
    put(0, values->currentMa, device.formats[0]);
    for (int v = 0; v < 4; ++v) {
      double value = values->variables[static_cast<size_t>(v)];
      if (v == 0) value = applyCoefficient(settings, value);
      put(v + 1, value, device.formats[static_cast<size_t>(v + 1)]);
    }
  }
  return registers;
}

std::optional<std::vector<uint8_t>> handleModbusRequest(std::span<const uint8_t> request, uint8_t slaveAddress,
                                                        std::span<const uint16_t> registers) {
  if (request.size() < 4 || !hasValidCrc16(request)) return std::nullopt;
  if (request[0] != slaveAddress) return std::nullopt;  // also no answer to broadcasts
  const uint8_t function = request[1];
  std::vector<uint8_t> reply{slaveAddress, function};
  auto exception = [&](uint8_t code) {
    reply[1] = static_cast<uint8_t>(function | kExceptionFlag);
    reply.push_back(code);
    appendCrc16(reply);
    return reply;
  };
  if (function != kReadHoldingRegisters) return exception(kIllegalFunction);
  if (request.size() != 8) return exception(kIllegalDataValue);
  const int start = request[2] << 8 | request[3];
  const int count = request[4] << 8 | request[5];
  if (count < 1 || count > kMaxReadCount) return exception(kIllegalDataValue);
  if (start + count > static_cast<int>(registers.size())) return exception(kIllegalDataAddress);
  reply.push_back(static_cast<uint8_t>(2 * count));
  for (int r = start; r < start + count; ++r) {
    reply.push_back(static_cast<uint8_t>(registers[static_cast<size_t>(r)] >> 8));
    reply.push_back(static_cast<uint8_t>(registers[static_cast<size_t>(r)] & 0xFF));
  }
  appendCrc16(reply);
  return reply;
}

}  // namespace tq::sim
