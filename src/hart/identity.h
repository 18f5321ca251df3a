#pragma once
// The HART device identity: what the last identity reply said about the
// instrument, and the polling address that query went to. The long frames
// address the instrument with it. It lives in the engine's eight identity
// bytes, laid out as
//   0     manufacturer identification
//   1     device type
//   2..4  device identification, most significant byte first
//   5     polling address of the last identity query (ComboBox30's index)
//   6..7  unused, zero
// All zero at start: long frames sent before any identity reply carry an
// all-zero address.
#include <array>
#include <cstdint>
#include <span>

namespace tq::hart {

inline constexpr size_t kIdentityBytes = 8;

struct DeviceIdentity {
  uint8_t manufacturerId = 0;
  uint8_t deviceType = 0;
  std::array<uint8_t, 3> deviceId{};
  uint8_t pollingAddress = 0;
  bool operator==(const DeviceIdentity&) const = default;
};

// The three device id bytes as the one number the window shows.
inline uint32_t deviceIdNumber(const std::array<uint8_t, 3>& id) {
  return uint32_t{id[0]} << 16 | uint32_t{id[1]} << 8 | id[2];
}

// `bytes` holds at least kIdentityBytes bytes.
DeviceIdentity readIdentity(std::span<const uint8_t> bytes);
void storeIdentity(const DeviceIdentity& identity, std::span<uint8_t> bytes);

}  // namespace tq::hart
