#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tq {

// Reads a whole text as a 32-bit integer: leading blanks skipped, an optional
// sign, then decimal digits or hexadecimal digits after '$', 'x', 'X', "0x" or
// "0X". Hexadecimal covers the full 32-bit pattern ("$FFFFFFFF" is -1).
// Anything else, including an empty text or trailing characters, is refused.
std::optional<int32_t> tryParseInt(std::string_view text);

// As tryParseInt, but a refused text throws EConvertError with the message
// "'<text>' is not a valid integer value".
int32_t parseInt(std::string_view text);

std::string invalidIntegerMessage(std::string_view text);

}  // namespace tq
