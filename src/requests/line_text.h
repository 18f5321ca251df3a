#pragma once
// Typed texts that go on the line as they stand: one byte per character.
#include <string>
#include <string_view>

namespace tq::requests {

// The text as Latin-1 bytes; a character that has no byte is refused with a
// message naming the field.
std::string lineText(std::string_view utf8, std::string_view field);

}  // namespace tq::requests
