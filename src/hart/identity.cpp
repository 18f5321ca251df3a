#include "hart/identity.h"

#include <algorithm>
#include <cassert>

namespace tq::hart {

namespace {

constexpr size_t kManufacturerAt = 0;
constexpr size_t kDeviceTypeAt = 1;
constexpr size_t kDeviceIdAt = 2;
constexpr size_t kPollingAddressAt = 5;

}  // namespace

DeviceIdentity readIdentity(std::span<const uint8_t> bytes) {
  assert(bytes.size() >= kIdentityBytes);
  DeviceIdentity identity;
  identity.manufacturerId = bytes[kManufacturerAt];
  identity.deviceType = bytes[kDeviceTypeAt];
  std::copy_n(bytes.begin() + kDeviceIdAt, identity.deviceId.size(), identity.deviceId.begin());
  identity.pollingAddress = bytes[kPollingAddressAt];
  return identity;
}

void storeIdentity(const DeviceIdentity& identity, std::span<uint8_t> bytes) {
  assert(bytes.size() >= kIdentityBytes);
  bytes[kManufacturerAt] = identity.manufacturerId;
  bytes[kDeviceTypeAt] = identity.deviceType;
  std::copy(identity.deviceId.begin(), identity.deviceId.end(), bytes.begin() + kDeviceIdAt);
  bytes[kPollingAddressAt] = identity.pollingAddress;
}

}  // namespace tq::hart
