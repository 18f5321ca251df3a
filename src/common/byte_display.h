#pragma once
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace tq {

// One byte as two upper-case hex digits and a blank ("0A "); a value outside
// 0..255 gives ".".
std::string byteDisplay(int value);

// Every byte in byteDisplay form, the blank kept after the last one too.
std::string bytesDisplay(std::span<const uint8_t> bytes);

// One byte as two upper-case hex digits ("0A"), and bytes so with one blank
// between them ("01 03 0A"), as the journal and the HART page write them.
std::string hexByte(uint8_t value);
std::string hexBytes(std::span<const uint8_t> bytes);

// A number of `bytes` bytes in decimal with its hex beside it, as the HART
// page shows ids: "38 (0x26)", "1193046 (0x123456)".
std::string numberWithHex(uint32_t value, size_t bytes);

}  // namespace tq
