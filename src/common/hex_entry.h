#pragma once
// Bytes typed as hex pairs separated by single blanks ("01 03 00 00"), as the
// custom HART read commands and the manual HART command take them.
#include <cstdint>
#include <string_view>
#include <vector>

namespace tq {

inline constexpr const char* kNoSeparatorMessage = "NO SPACK";
inline constexpr const char* kBadHexDigitMessage = "Data eeore!";

// The value of '0'-'9' and upper-case 'A'-'F', the only digits the hex
// entries take; -1 for any other character.
int upperHexDigit(char c);

// `text` holds one character per byte (Latin-1). The pair count is
// length / 3, plus one for a last pair without its blank; a lone trailing
// character is ignored and pairs beyond `maxBytes` too. Every separator
// between the pairs taken must be a blank, checked before any digit: else
// InputRefused("NO SPACK"), also for fewer than two characters. Digits are
// '0'-'9' and upper-case 'A'-'F': else InputRefused("Data eeore!").
std::vector<uint8_t> parseHexEntry(std::string_view text, size_t maxBytes);

}  // namespace tq
