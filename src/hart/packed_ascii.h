#pragma once
// HART's packed ASCII: the 64 characters blank (0x20) to underscore (0x5F),
// each kept as its low six bits, four characters in three bytes with the
// first character in the top bits. Tags, descriptors and messages travel
// this way, padded with blanks to their length.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tq::hart {

inline constexpr size_t kPackedGroupChars = 4;
inline constexpr size_t kPackedGroupBytes = 3;

// Bytes that carry `chars` characters (a multiple of four).
constexpr size_t packedBytes(size_t chars) { return chars / kPackedGroupChars * kPackedGroupBytes; }

// The typed text (UTF-8) as it will be packed: lower-case a-z upper-cased,
// nothing padded. Refused (InputRefused) with a message naming `field`
// ("tag", "descriptor", "message") and the character when a character is
// outside the 64 codes, or naming the length when the text has more than
// `length` characters.
std::string packableText(std::string_view text, size_t length, std::string_view field);

// packableText padded with blanks to `length` characters (a multiple of
// four) and packed into packedBytes(length) bytes.
std::vector<uint8_t> packAscii(std::string_view text, size_t length, std::string_view field);

// Every character `bytes` hold, blanks kept: four per three bytes, and of a
// last partial group as many as its bits fill (one per byte).
std::string unpackAscii(std::span<const uint8_t> bytes);

}  // namespace tq::hart
