#pragma once
// Bytes typed as hex pairs separated by single blanks ("01 03 00 00"), as the
// custom HART read commands and the manual HART command take them.
#include <cstdint>
#include <optional>
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

// A search text read as bytes: hex pairs in either case, blanks anywhere
// ("0d0a", "0D 0A", "0 D0A"). Nothing unless it is an even number, at least
// two, of hex digits and blanks only: then it is searched for as text.
std::optional<std::vector<uint8_t>> searchBytes(std::string_view text);

}  // namespace tq
