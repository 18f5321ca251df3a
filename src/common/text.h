#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

// Bytes from the line shown as characters: each byte is the Latin-1 character
// of the same value, returned as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

// The other way, for texts typed into the window that go on the line: one
// byte per character. A character beyond Latin-1 (or a malformed sequence)
// becomes `substitute` when one is given; without one the text is refused
// (nullopt).
std::optional<std::string> utf8ToLatin1(std::string_view utf8, std::optional<char> substitute = std::nullopt);

// The start of a typed text holding its first `count` characters, for a
// field that sends only so many: what lies beyond them is never looked at.
// A malformed sequence counts as one character.
std::string_view firstCharacters(std::string_view utf8, size_t count);

// The text without the blanks that pad it at the end.
std::string withoutTrailingBlanks(std::string text);

// Items as a sentence lists them: "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items);

// A CSV field, quoted when it holds a separator, a quote or a line break.
std::string csvField(const std::string& text);

}  // namespace tq
