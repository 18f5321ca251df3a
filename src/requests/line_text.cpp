#include "requests/line_text.h"

#include "common/errors.h"
#include "common/text.h"

namespace tq::requests {

std::string lineText(std::string_view utf8, std::string_view field) {
  if (auto bytes = utf8ToLatin1(utf8)) return *bytes;
  throw InputRefused(std::string(field) + ": '" + std::string(utf8) +
                     "' holds a character that cannot be sent to the module.");
}

}  // namespace tq::requests
