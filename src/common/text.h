#pragma once
#include <string>
#include <string_view>

namespace tq {

// Bytes from the line shown as characters: each byte is the Latin-1 character
// of the same value, returned as UTF-8.
std::string latin1ToUtf8(std::string_view bytes);

}  // namespace tq
