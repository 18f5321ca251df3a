#include "common/hex_entry.h"

#include <algorithm>

#include "common/errors.h"

namespace tq {

int upperHexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

std::vector<uint8_t> parseHexEntry(std::string_view text, size_t maxBytes) {
  const size_t pairs = std::min(text.size() / 3 + (text.size() % 3 == 2 ? 1 : 0), maxBytes);
  if (pairs == 0) throw InputRefused(kNoSeparatorMessage);
  for (size_t j = 0; j + 1 < pairs; ++j) {
    if (text[3 * j + 2] != ' ') throw InputRefused(kNoSeparatorMessage);
  }
  std::vector<uint8_t> bytes;
  bytes.reserve(pairs);
  bool allValid = true;
  for (size_t i = 0; i < pairs; ++i) {
    const int high = upperHexDigit(text[3 * i]);
    const int low = upperHexDigit(text[3 * i + 1]);
    allValid = allValid && high >= 0 && low >= 0;
    bytes.push_back(static_cast<uint8_t>(std::max(high, 0) * 16 + std::max(low, 0)));
  }
  if (!allValid) throw InputRefused(kBadHexDigitMessage);
  return bytes;
}

std::optional<std::vector<uint8_t>> searchBytes(std::string_view text) {
  std::vector<uint8_t> bytes;
  int high = -1;
  for (const char c : text) {
    if (c == ' ') continue;
    const int digit = upperHexDigit(c >= 'a' && c <= 'f' ? static_cast<char>(c - 'a' + 'A') : c);
    if (digit < 0) return std::nullopt;
    if (high < 0) {
      high = digit;
    } else {
      bytes.push_back(static_cast<uint8_t>(high * 16 + digit));
      high = -1;
    }
  }
  if (high >= 0 || bytes.empty()) return std::nullopt;
  return bytes;
}

}  // namespace tq
