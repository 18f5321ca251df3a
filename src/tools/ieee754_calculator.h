#pragma once
// The IEEE 754 calculator: four bytes typed in hex, most significant first,
// turned into the single-precision value they encode.
#include <cstdint>
#include <string>
#include <string_view>

namespace tq::tools {

inline constexpr const char* kNoSpacesMessage = "Input data contains no spaces";
inline constexpr const char* kInvalidCharactersMessage = "Invalid characters detected, please re-enter!";
// The value field shows this many leading characters of the float text.
inline constexpr size_t kCalculatorValueWidth = 10;

// `text` holds one character per byte. With g = length / 3, the characters
// at 3, 6, ..., 3g (counting from 1) must be blanks, all checked before any
// digit: else InputRefused(kNoSpacesMessage). Then g + 1 pairs of '0'-'9' or
// upper-case 'A'-'F' digits, every one checked (a pair cut by the end of the
// text is invalid, so is an empty text): else
// InputRefused(kInvalidCharactersMessage). The first four pairs are the
// single's bytes; untyped bytes are 0x00, pairs after the fourth are ignored.
uint32_t parseCalculatorEntry(std::string_view text);

// The value text of the entry: its float text, first 10 characters.
std::string calculatorValue(std::string_view text, char decimalSeparator);

}  // namespace tq::tools
