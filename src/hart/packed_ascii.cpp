#include "hart/packed_ascii.h"

#include <cassert>
#include <cstdio>
#include <optional>

#include "common/byte_display.h"
#include "common/errors.h"

namespace tq::hart {

namespace {

constexpr uint32_t kFirstCode = 0x20;  // blank
constexpr uint32_t kLastCode = 0x5F;   // underscore
constexpr unsigned kBitsPerChar = 6;
constexpr uint8_t kCharMask = 0x3F;
// A six-bit value below this came from 0x40..0x5F and gets bit 6 back.
constexpr uint8_t kUnpackHighBelow = 0x20;
constexpr uint8_t kUnpackHighBit = 0x40;
constexpr char kPad = ' ';

constexpr const char* kCarried =
    "packed ASCII carries only A\u2013Z (lower-case letters are upper-cased), 0\u20139, blank and "
    "!\"#$%&'()*+,-./:;<=>?@[\\]^_";

struct CodePoint {
  uint32_t value;
  size_t length;  // bytes of its UTF-8 sequence
};

// The code point starting at `at`; nullopt for a malformed sequence.
std::optional<CodePoint> decodeUtf8(std::string_view text, size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return CodePoint{lead, 1};
  const size_t length = lead >= 0xF8 ? 0 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC2 ? 2 : 0;
  if (length == 0 || at + length > text.size()) return std::nullopt;
  uint32_t value = lead & (0x7F >> length);
  for (size_t i = 1; i < length; ++i) {
    const auto next = static_cast<unsigned char>(text[at + i]);
    if ((next & 0xC0) != 0x80) return std::nullopt;
    value = value << 6 | (next & 0x3F);
  }
  return CodePoint{value, length};
}

// How the message names a character: itself when it can be seen, its code
// point when it is a control character.
std::string characterName(std::string_view text, const CodePoint& c, size_t at) {
  const bool control = c.value < kFirstCode || (c.value >= 0x7F && c.value < 0xA0);
  if (!control) return "'" + std::string(text.substr(at, c.length)) + "'";
  char code[16];
  snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c.value));
  return code;
}

std::string capitalised(std::string_view field) {
  std::string text(field);
  if (!text.empty() && text[0] >= 'a' && text[0] <= 'z') text[0] = static_cast<char>(text[0] - 'a' + 'A');
  return text;
}

}  // namespace

std::string packableText(std::string_view text, size_t length, std::string_view field) {
  std::string packable;
  size_t count = 0;
  for (size_t at = 0; at < text.size();) {
    const auto c = decodeUtf8(text, at);
    if (!c) {
      throw InputRefused("The " + std::string(field) + " cannot hold the byte " +
                         hexByte(static_cast<unsigned char>(text[at])) + ": it is not a character. " +
                         capitalised(kCarried) + ".");
    }
    uint32_t code = c->value;
    if (code >= 'a' && code <= 'z') code -= 'a' - 'A';
    if (code < kFirstCode || code > kLastCode) {
      throw InputRefused("The " + std::string(field) + " cannot hold " + characterName(text, *c, at) + ": " + kCarried +
                         ".");
    }
    packable += static_cast<char>(code);
    ++count;
    at += c->length;
  }
  if (count > length) {
    throw InputRefused("The " + std::string(field) + " holds at most " + std::to_string(length) + " characters; '" +
                       std::string(text) + "' has " + std::to_string(count) + ".");
  }
  return packable;
}

std::vector<uint8_t> packAscii(std::string_view text, size_t length, std::string_view field) {
  assert(length % kPackedGroupChars == 0);
  std::string chars = packableText(text, length, field);
  chars.resize(length, kPad);
  std::vector<uint8_t> packed;
  packed.reserve(packedBytes(length));
  for (size_t i = 0; i < length; i += kPackedGroupChars) {
    const uint8_t c0 = chars[i] & kCharMask, c1 = chars[i + 1] & kCharMask;
    const uint8_t c2 = chars[i + 2] & kCharMask, c3 = chars[i + 3] & kCharMask;
    packed.push_back(static_cast<uint8_t>(c0 << 2 | c1 >> 4));
    packed.push_back(static_cast<uint8_t>((c1 & 0x0F) << 4 | c2 >> 2));
    packed.push_back(static_cast<uint8_t>((c2 & 0x03) << 6 | c3));
  }
  return packed;
}

std::string unpackAscii(std::span<const uint8_t> bytes) {
  std::string text;
  text.reserve(bytes.size() * 8 / kBitsPerChar);
  uint32_t bits = 0;
  unsigned held = 0;
  for (uint8_t b : bytes) {
    bits = (bits << 8 | b) & 0xFFFF;
    held += 8;
    while (held >= kBitsPerChar) {
      held -= kBitsPerChar;
      const auto v = static_cast<uint8_t>(bits >> held & kCharMask);
      text += static_cast<char>(v < kUnpackHighBelow ? v | kUnpackHighBit : v);
    }
  }
  return text;
}

}  // namespace tq::hart
