#include "common/int_conversion.h"
#include "common/text.h"
#include "engine/transaction_engine.h"

namespace tq::engine {

namespace {

// Buttons that make sense once the module has answered.
constexpr const char* kButtonsEnabledByReply[] = {
    "Button16", "Button21", "Button24", "Button29", "Button15", "Button27", "Button5", "Button7",
    "Button14", "Button10", "Button17", "Button18", "Button12", "Button31", "Button23"};

// One character of the reply read as a decimal digit; a missing character
// reads as an empty text.
std::optional<int32_t> digitAt(std::string_view text, size_t pos, std::string& field) {
  field = pos < text.size() ? std::string(text.substr(pos, 1)) : std::string();
  return tryParseInt(field);
}

}  // namespace

// "QV:" <interface type digit> <unit count digit>, found anywhere in the text.
Decoded decodeCommQueryReply(std::string_view text) {
  Decoded out;
  const size_t k = text.find("QV:");
  if (k == std::string_view::npos) return out;

  struct Field {
    size_t offset;
    const char* control;
  };
  constexpr Field kFields[] = {{3, "ComboBox13"}, {4, "ComboBox1"}};
  for (const Field& f : kFields) {
    std::string field;
    const auto value = digitAt(text, k + f.offset, field);
    if (!value) {
      out.error = invalidIntegerMessage(latin1ToUtf8(field));
      return out;
    }
    out.assignments.push_back(Assignment::select(f.control, *value));
  }
  for (const char* button : kButtonsEnabledByReply) out.assignments.push_back(Assignment::enable(button));
  return out;
}

}  // namespace tq::engine
