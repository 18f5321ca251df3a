#pragma once
// Replies read the way the tool reads them: the first occurrence of a keyword
// anywhere in the text ('?' matches any one character), then fixed offsets
// from the keyword's first letter. Written here from the reply layouts, not
// shared with the simulator, so the two cannot agree on a mistake.
#include <optional>
#include <string>

namespace tq::sim::test {

inline std::optional<size_t> findKeyword(const std::string& text, const std::string& keyword) {
  for (size_t at = 0; at + keyword.size() <= text.size(); ++at) {
    bool same = true;
    for (size_t i = 0; i < keyword.size() && same; ++i) same = keyword[i] == '?' || keyword[i] == text[at + i];
    if (same) return at;
  }
  return std::nullopt;
}

// The field, or nullopt when the keyword is missing or the field runs past
// the end of the text.
inline std::optional<std::string> fieldAt(const std::string& text, const std::string& keyword, size_t offset,
                                          size_t width) {
  const auto at = findKeyword(text, keyword);
  if (!at || *at + offset + width > text.size()) return std::nullopt;
  return text.substr(*at + offset, width);
}

}  // namespace tq::sim::test
