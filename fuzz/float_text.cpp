// Any bit pattern through the float text: a short, well-formed text that
// reads back as the single's value rounded to 15 significant digits.
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

#include "common/float_text.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 4) return 0;
  const uint32_t bits = tq::singleBits(data[0], data[1], data[2], data[3]);
  const std::string text = tq::floatText(bits, '.');
  if (text.empty() || text.size() > 24) std::abort();
  const double value = std::bit_cast<float>(bits);
  if (std::isnan(value) || std::isinf(value)) return 0;
  const double back = std::strtod(text.c_str(), nullptr);
  if (std::fabs(back - value) > std::fabs(value) * 1e-14) std::abort();
  if (text.find(',') != std::string::npos || text.find('+') != std::string::npos) std::abort();
  return 0;
}
