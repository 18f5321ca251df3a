#include "packed_ascii.h"

namespace tq::sim {

namespace {

constexpr char kFirstPacked = 0x20;  // blank
constexpr char kLastPacked = 0x5F;   // underscore
constexpr uint8_t kSixBits = 0x3F;
constexpr size_t kCharsPerGroup = 4;

char upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::optional<std::string> packedAsciiRefusal(std::string_view text, size_t characters) {
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = upper(text[i]);
    if (c >= kFirstPacked && c <= kLastPacked) continue;
    // A character beyond ASCII is named by its whole UTF-8 sequence.
    size_t length = 1;
    while (static_cast<uint8_t>(text[i]) >= 0xC0 && i + length < text.size() &&
           (static_cast<uint8_t>(text[i + length]) & 0xC0) == 0x80)
      ++length;
    return "holds '" + std::string(text.substr(i, length)) + "', which packed ASCII cannot carry";
  }
  if (text.size() > characters) return "is longer than " + std::to_string(characters) + " characters";
  return std::nullopt;
}

std::vector<uint8_t> packAscii(std::string_view text, size_t characters) {
  std::string padded(text.substr(0, characters));
  padded.resize(characters, ' ');
  std::vector<uint8_t> bytes;
  for (size_t at = 0; at + kCharsPerGroup <= padded.size(); at += kCharsPerGroup) {
    uint8_t c[kCharsPerGroup];
    for (size_t k = 0; k < kCharsPerGroup; ++k) c[k] = static_cast<uint8_t>(upper(padded[at + k])) & kSixBits;
    bytes.push_back(static_cast<uint8_t>(c[0] << 2 | c[1] >> 4));
    bytes.push_back(static_cast<uint8_t>((c[1] & 0x0F) << 4 | c[2] >> 2));
    bytes.push_back(static_cast<uint8_t>((c[2] & 0x03) << 6 | c[3]));
  }
  return bytes;
}

}  // namespace tq::sim
