#pragma once
// Typed texts that go on the line as they stand: one byte per character.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tq {

// The text as Latin-1 bytes; a character that has no byte is refused with a
// message naming the field.
std::string lineText(std::string_view utf8, std::string_view field);

// A typed entry read position by position (hex entries): one character per
// byte, a character that has no byte standing in as one that is neither a
// blank nor a hex digit, so it is reported as any other bad character.
std::string typedEntry(std::string_view utf8);

// A typed hex entry as its bytes (parseHexEntry). A character that has no
// byte is reported as any other bad digit or separator is.
std::vector<uint8_t> typedHexEntry(std::string_view utf8, size_t maxBytes);

}  // namespace tq
