#include "tools/ieee754_calculator.h"

#include <array>

#include "common/errors.h"
#include "common/float_text.h"
#include "common/hex_entry.h"

namespace tq::tools {

namespace {

constexpr size_t kPairWidth = 3;  // two digits and their blank
constexpr size_t kValueBytes = 4;

// The digit at `position` (from 0); one past the end of the text is invalid.
int digitAt(std::string_view text, size_t position) {
  return position < text.size() ? upperHexDigit(text[position]) : -1;
}

}  // namespace

uint32_t parseCalculatorEntry(std::string_view text) {
  const size_t separators = text.size() / kPairWidth;
  for (size_t k = 0; k < separators; ++k) {
    if (text[kPairWidth * k + 2] != ' ') throw InputRefused(kNoSpacesMessage);
  }
  // One pair more than separators: a trailing blank asks for a pair that is
  // not there, and an empty text for one too.
  std::array<uint8_t, kValueBytes> bytes{};
  bool allValid = true;
  for (size_t k = 0; k <= separators; ++k) {
    const int high = digitAt(text, kPairWidth * k);
    const int low = digitAt(text, kPairWidth * k + 1);
    if (high < 0 || low < 0) {
      allValid = false;
    } else if (k < kValueBytes) {
      bytes[k] = static_cast<uint8_t>(high * 16 + low);
    }
  }
  if (!allValid) throw InputRefused(kInvalidCharactersMessage);
  return singleBits(bytes[0], bytes[1], bytes[2], bytes[3]);
}

std::string calculatorValue(std::string_view text, char decimalSeparator) {
  std::string value = floatText(parseCalculatorEntry(text), decimalSeparator);
  if (value.size() > kCalculatorValueWidth) value.resize(kCalculatorValueWidth);
  return value;
}

}  // namespace tq::tools
