// Any typed text through the hex entry, with any cap: either bytes, at most
// the cap and as many as the text's pairs, or one of its two messages.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/errors.h"
#include "common/hex_entry.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const size_t cap = data[0] % 20;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    const auto bytes = tq::parseHexEntry(text, cap);
    if (bytes.empty() || bytes.size() > cap || bytes.size() > (text.size() + 1) / 3) std::abort();
  } catch (const tq::InputRefused& e) {
    const std::string message = e.what();
    if (message != tq::kNoSeparatorMessage && message != tq::kBadHexDigitMessage) std::abort();
  }
  return 0;
}
