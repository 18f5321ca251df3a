#include "protocol/reply_scanner.h"

#include "common/int_conversion.h"
#include "common/text.h"

namespace tq::protocol {

size_t findKeyword(std::string_view text, std::string_view keyword) {
  const size_t wildcard = keyword.find('?');
  if (wildcard == std::string_view::npos) return text.find(keyword);
  // Only where the part before the first '?' stands can the keyword start;
  // the library's search finds those places fast (the journal scans whole
  // receive blocks of noise).
  const std::string_view head = keyword.substr(0, wildcard);
  for (size_t at = text.find(head); at != std::string_view::npos && at + keyword.size() <= text.size();
       at = text.find(head, at + 1)) {
    size_t i = head.size();
    while (i < keyword.size() && (keyword[i] == '?' || keyword[i] == text[at + i])) ++i;
    if (i == keyword.size()) return at;
  }
  return std::string_view::npos;
}

std::string_view fieldText(std::string_view text, size_t at, size_t width) {
  if (at >= text.size()) return {};
  return text.substr(at, width);
}

bool scanField(std::string_view text, size_t at, const Field& field, Decoded& out) {
  const std::string_view chars = fieldText(text, at + field.offset, field.width);
  if (field.as == As::Text) {
    out.assignments.push_back(Assignment::setText(field.control, latin1ToUtf8(chars)));
    return true;
  }
  const auto value = tryParseInt(chars);
  if (!value) {
    out.error = invalidIntegerMessage(latin1ToUtf8(chars));
    return false;
  }
  out.assignments.push_back(
      Assignment::select(field.control, field.as == As::DigitLess ? *value - field.base : *value));
  return true;
}

Scan scanGroup(std::string_view text, const Group& group, Decoded& out) {
  const size_t at = findKeyword(text, group.keyword);
  if (at == std::string_view::npos) return Scan::Missing;
  for (const Field& field : group.fields) {
    if (!scanField(text, at, field, out)) return Scan::Stopped;
  }
  return Scan::Applied;
}

bool scanGroups(std::string_view text, std::span<const Group> groups, Decoded& out) {
  for (const Group& group : groups) {
    if (scanGroup(text, group, out) == Scan::Stopped) return false;
  }
  return true;
}

}  // namespace tq::protocol
