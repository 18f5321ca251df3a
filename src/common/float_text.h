#pragma once
// A four-byte IEEE 754 single written as the operator reads it: the value
// widened exactly, in the general number format with 15 significant digits.
#include <cstdint>
#include <string>

namespace tq {

inline constexpr int kFloatTextDigits = 15;

// The single from its four bytes, most significant (sign and high exponent
// bits) first.
uint32_t singleBits(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

// Rounded to 15 significant digits (half away from zero), trailing zeros and
// a trailing separator dropped, "-" for negative values. Fixed notation
// while the value is at least 0.0001 and has at most 15 integer digits
// (decimal exponent -3 .. 15 when written 0.ddd x 10^e), otherwise one
// digit, the separator, the other digits, "E" and the exponent without plus
// sign or leading zeros ("1.5E20", "1E-5"). Zero is "0" (negative zero too);
// infinities and not-a-numbers are "INF" and "NAN", with "-" when the sign
// bit is set. `decimalSeparator` is the user's locale's. `significantDigits`
// (1 .. 15) rounds to fewer digits in the same notation.
std::string floatText(uint32_t bits, char decimalSeparator = '.', int significantDigits = kFloatTextDigits);

}  // namespace tq
