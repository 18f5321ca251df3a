#include "common/byte_display.h"

#include <algorithm>
#include <cstdio>

namespace tq {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::string byteDisplay(int value) {
  if (value < 0 || value > 255) return ".";
  return {kHexDigits[value >> 4], kHexDigits[value & 0x0F], ' '};
}

std::string hexByte(uint8_t value) { return {kHexDigits[value >> 4], kHexDigits[value & 0x0F]}; }

std::string hexBytes(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) {
    if (!out.empty()) out += ' ';
    out += kHexDigits[b >> 4];
    out += kHexDigits[b & 0x0F];
  }
  return out;
}

std::string bytesDisplay(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) out += byteDisplay(b);
  return out;
}

std::string numberWithHex(uint32_t value, size_t bytes) {
  char hex[16];
  std::snprintf(hex, sizeof hex, "0x%0*X", static_cast<int>(2 * std::min<size_t>(bytes, 4)), value);
  return std::to_string(value) + " (" + hex + ")";
}

}  // namespace tq
