#include "common/line_text.h"

#include "common/errors.h"
#include "common/hex_entry.h"
#include "common/text.h"

namespace tq {

namespace {

// Neither a blank nor a hex digit.
constexpr char kNoByte = '?';

}  // namespace

std::string lineText(std::string_view utf8, std::string_view field) {
  if (auto bytes = utf8ToLatin1(utf8)) return *bytes;
  throw InputRefused(std::string(field) + ": '" + std::string(utf8) +
                     "' holds a character that cannot be sent to the module.");
}

std::string typedEntry(std::string_view utf8) { return *utf8ToLatin1(utf8, kNoByte); }

std::vector<uint8_t> typedHexEntry(std::string_view utf8, size_t maxBytes) {
  return parseHexEntry(typedEntry(utf8), maxBytes);
}

}  // namespace tq
