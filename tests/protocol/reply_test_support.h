#pragma once
// Decoded assignments folded into the controls they leave behind, so reply
// tests compare final states instead of restating the decoder's steps.
#include <map>
#include <optional>
#include <ostream>
#include <string>

#include "common/assignment.h"

namespace tq::protocol::testing {

struct Outcome {
  std::map<std::string, std::string> values;  // control -> "#3" (selection), "text", "shown"/"hidden"
  std::optional<std::string> error = std::nullopt;
  bool operator==(const Outcome&) const = default;
};

inline Outcome outcome(const Decoded& decoded) {
  Outcome out;
  for (const Assignment& a : decoded.assignments) {
    switch (a.kind) {
      case Assignment::Kind::SelectIndex:
        out.values[a.control] = "#" + std::to_string(a.value);
        break;
      case Assignment::Kind::SetText:
        out.values[a.control] = a.text;
        break;
      case Assignment::Kind::SetVisible:
        out.values[a.control] = a.value ? "shown" : "hidden";
        break;
      case Assignment::Kind::SetEnabled:
        out.values[a.control] = a.value ? "enabled" : "disabled";
        break;
      case Assignment::Kind::SetChecked:
        out.values[a.control] = a.value ? "checked" : "unchecked";
        break;
      case Assignment::Kind::SetItems: {
        std::string list;
        for (const std::string& item : a.items) list += (list.empty() ? "" : "|") + item;
        out.values[a.control] = "items " + list;
        break;
      }
    }
  }
  out.error = decoded.error;
  return out;
}

inline std::ostream& operator<<(std::ostream& os, const Outcome& o) {
  for (const auto& [control, value] : o.values) os << control << "=" << value << " ";
  if (o.error) os << "error: " << *o.error;
  return os;
}

// One reply text and the controls it leaves behind.
struct ReplyCase {
  const char* name;
  std::string text;
  Outcome expected;
};

inline std::ostream& operator<<(std::ostream& os, const ReplyCase& c) { return os << c.name; }

}  // namespace tq::protocol::testing
