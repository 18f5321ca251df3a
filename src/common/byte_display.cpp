#include "common/byte_display.h"

namespace tq {

namespace {
constexpr char kHexDigits[] = "0123456789ABCDEF";
}

std::string byteDisplay(int value) {
  if (value < 0 || value > 255) return ".";
  return {kHexDigits[value >> 4], kHexDigits[value & 0x0F], ' '};
}

std::string bytesDisplay(std::span<const uint8_t> bytes) {
  std::string out;
  out.reserve(bytes.size() * 3);
  for (uint8_t b : bytes) out += byteDisplay(b);
  return out;
}

}  // namespace tq
