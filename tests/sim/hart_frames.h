#pragma once
// HART requests as a master builds them, for the instrument tests. Written
// from the frame layout, not taken from the tool.
#include <cctype>
#include <cstdint>
#include <string_view>
#include <vector>

#include "sim/hart_instrument.h"

namespace tq::sim::test {

inline std::vector<uint8_t> withCheck(std::vector<uint8_t> frame) {
  frame.push_back(hartCheckByte(frame));
  return frame;
}

inline std::vector<uint8_t> shortFrame(uint8_t address, uint8_t command, std::vector<uint8_t> data = {}) {
  std::vector<uint8_t> f{kHartShortRequest, address, command, static_cast<uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  return withCheck(f);
}

inline std::vector<uint8_t> longFrame(const HartIdentity& id, uint8_t command, std::vector<uint8_t> data = {},
                                      bool master = true) {
  std::vector<uint8_t> f{kHartLongRequest,
                         static_cast<uint8_t>((master ? 0x80 : 0x00) | (id.manufacturerId & 0x3F)),
                         id.deviceType,
                         static_cast<uint8_t>(id.deviceId >> 16),
                         static_cast<uint8_t>(id.deviceId >> 8),
                         static_cast<uint8_t>(id.deviceId),
                         command,
                         static_cast<uint8_t>(data.size())};
  f.insert(f.end(), data.begin(), data.end());
  return withCheck(f);
}

// "19 4B 71": bytes written as the HART tables show them.
inline std::vector<uint8_t> hex(std::string_view text) {
  std::vector<uint8_t> bytes;
  auto digit = [](char c) {
    return std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : std::toupper(c) - 'A' + 10;
  };
  for (size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == ' ') continue;
    bytes.push_back(static_cast<uint8_t>(digit(text[i]) << 4 | digit(text[i + 1])));
    ++i;
  }
  return bytes;
}

inline std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> all;
  for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
  return all;
}

}  // namespace tq::sim::test
