#pragma once
#include <cstdint>
#include <span>
#include <string>

namespace tq {

// One byte as two upper-case hex digits and a blank ("0A "); a value outside
// 0..255 gives ".".
std::string byteDisplay(int value);

// Every byte in byteDisplay form, the blank kept after the last one too.
std::string bytesDisplay(std::span<const uint8_t> bytes);

}  // namespace tq
