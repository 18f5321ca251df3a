#include "common/int_conversion.h"

#include "common/errors.h"

namespace tq {

namespace {

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

std::optional<int32_t> tryParseInt(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  bool hex = false;
  if (i < text.size() && (text[i] == '$' || text[i] == 'x' || text[i] == 'X')) {
    hex = true;
    ++i;
  } else if (i + 1 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
    hex = true;
    i += 2;
  }
  if (i == text.size()) return std::nullopt;

  // Accumulate in 64 bits; the limits below keep the value inside 32 bits.
  const uint64_t limit = hex ? 0xFFFFFFFFull : (negative ? 0x80000000ull : 0x7FFFFFFFull);
  const uint64_t base = hex ? 16 : 10;
  uint64_t value = 0;
  for (; i < text.size(); ++i) {
    const int digit = hex ? hexValue(text[i]) : (text[i] >= '0' && text[i] <= '9' ? text[i] - '0' : -1);
    if (digit < 0) return std::nullopt;
    value = value * base + static_cast<uint64_t>(digit);
    if (value > limit) return std::nullopt;
  }
  const auto bits = static_cast<uint32_t>(value);
  const auto result = static_cast<int32_t>(negative ? 0u - bits : bits);
  return result;
}

std::string invalidIntegerMessage(std::string_view text) {
  return "'" + std::string(text) + "' is not a valid integer value";
}

int32_t parseInt(std::string_view text) {
  if (auto value = tryParseInt(text)) return *value;
  throw EConvertError(invalidIntegerMessage(text));
}

}  // namespace tq
