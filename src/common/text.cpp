#include "common/text.h"

namespace tq {

std::string latin1ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char ch : bytes) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x80) {
      out += ch;
    } else {
      out += static_cast<char>(0xC0 | (b >> 6));
      out += static_cast<char>(0x80 | (b & 0x3F));
    }
  }
  return out;
}

namespace {

bool continuationByte(char ch) { return (static_cast<unsigned char>(ch) & 0xC0) == 0x80; }

}  // namespace

std::optional<std::string> utf8ToLatin1(std::string_view utf8, std::optional<char> substitute) {
  std::string out;
  out.reserve(utf8.size());
  size_t i = 0;
  while (i < utf8.size()) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out += static_cast<char>(lead);
      ++i;
      continue;
    }
    // Length of the sequence from its lead byte; continuation bytes follow.
    const size_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
    size_t end = i + 1;
    while (end < utf8.size() && end < i + length && continuationByte(utf8[end])) ++end;
    const bool latin1 = length == 2 && end == i + 2 && (lead == 0xC2 || lead == 0xC3);
    if (latin1) {
      out += static_cast<char>(((lead & 0x03) << 6) | (static_cast<unsigned char>(utf8[i + 1]) & 0x3F));
    } else if (substitute) {
      out += *substitute;
    } else {
      return std::nullopt;
    }
    i = end;
  }
  return out;
}

std::string_view firstCharacters(std::string_view utf8, size_t count) {
  size_t end = 0;
  for (size_t seen = 0; end < utf8.size() && seen < count; ++seen) {
    ++end;  // the lead byte, or a stray one
    while (end < utf8.size() && continuationByte(utf8[end])) ++end;
  }
  return utf8.substr(0, end);
}

std::string withoutTrailingBlanks(std::string text) {
  while (!text.empty() && text.back() == ' ') text.pop_back();
  return text;
}

std::string listed(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
    out += items[i];
  }
  return out;
}

std::string csvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string quoted = "\"";
  for (char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + '"';
}

}  // namespace tq
