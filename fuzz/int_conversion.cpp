// Any text: parsing never fails other than by refusing, and a refused text
// always gets the message that names it.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "common/errors.h"
#include "common/int_conversion.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto value = tq::tryParseInt(text);
  try {
    const int32_t parsed = tq::parseInt(text);
    if (!value || *value != parsed) std::abort();
  } catch (const tq::EConvertError& e) {
    // what() is a C string: compare up to a zero byte the text may hold.
    const std::string expected = "'" + text + "' is not a valid integer value";
    if (value || std::string(e.what()) != expected.c_str()) std::abort();
  }
  return 0;
}
