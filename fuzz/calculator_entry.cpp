// Any typed text through the IEEE 754 calculator: a value text of at most
// ten characters, or one of its two messages.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/errors.h"
#include "tools/ieee754_calculator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const std::string value = tq::tools::calculatorValue(text, ',');
    if (value.empty() || value.size() > tq::tools::kCalculatorValueWidth) std::abort();
  } catch (const tq::InputRefused& e) {
    const std::string message = e.what();
    if (message != tq::tools::kNoSpacesMessage && message != tq::tools::kInvalidCharactersMessage) std::abort();
  }
  return 0;
}
