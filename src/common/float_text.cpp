#include "common/float_text.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdlib>

namespace tq {

namespace {

// Every single has an exact decimal expansion of at most 112 significant
// digits; ask for more so the rounding below sees all of them.
constexpr int kExactDigits = 120;

}  // namespace

uint32_t singleBits(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3) {
  return uint32_t{b0} << 24 | uint32_t{b1} << 16 | uint32_t{b2} << 8 | uint32_t{b3};
}

std::string floatText(uint32_t bits, char decimalSeparator, int significantDigits) {
  const auto kept = static_cast<size_t>(std::clamp(significantDigits, 1, kFloatTextDigits));
  const bool negative = (bits >> 31) != 0;
  const double value = std::bit_cast<float>(bits);  // widened exactly
  const std::string sign = negative ? "-" : "";
  if (std::isnan(value)) return sign + "NAN";
  if (std::isinf(value)) return sign + "INF";
  if (value == 0) return "0";

  // The exact digits, as d.ddd...e±x (locale-independent).
  char buffer[kExactDigits + 16];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, std::fabs(value), std::chars_format::scientific, kExactDigits);
  const std::string_view exact(buffer, static_cast<size_t>(result.ptr - buffer));
  const size_t e = exact.find('e');
  std::string digits;
  for (char c : exact.substr(0, e)) {
    if (c != '.') digits += c;
  }
  int exponent = std::atoi(std::string(exact.substr(e + 1)).c_str());  // value = d.ddd x 10^exponent

  // Round to the significant digits kept, half away from zero.
  const bool roundUp = digits[kept] >= '5';
  digits.resize(kept);
  if (roundUp) {
    int i = static_cast<int>(kept) - 1;
    while (i >= 0 && digits[static_cast<size_t>(i)] == '9') digits[static_cast<size_t>(i--)] = '0';
    if (i >= 0) {
      ++digits[static_cast<size_t>(i)];
    } else {
      digits.insert(digits.begin(), '1');
      digits.pop_back();
      ++exponent;
    }
  }
  while (digits.size() > 1 && digits.back() == '0') digits.pop_back();

  std::string text = sign;
  const int decimalExponent = exponent + 1;  // the value as 0.ddd x 10^decimalExponent
  if (decimalExponent >= -3 && decimalExponent <= kFloatTextDigits) {
    if (exponent < 0) {
      text += '0';
      text += decimalSeparator;
      text.append(static_cast<size_t>(-exponent - 1), '0');
      text += digits;
    } else {
      const size_t integerDigits = static_cast<size_t>(exponent) + 1;
      if (digits.size() <= integerDigits) {
        text += digits;
        text.append(integerDigits - digits.size(), '0');
      } else {
        text += digits.substr(0, integerDigits);
        text += decimalSeparator;
        text += digits.substr(integerDigits);
      }
    }
  } else {
    text += digits[0];
    if (digits.size() > 1) {
      text += decimalSeparator;
      text += digits.substr(1);
    }
    text += 'E';
    text += std::to_string(exponent);
  }
  return text;
}

}  // namespace tq
