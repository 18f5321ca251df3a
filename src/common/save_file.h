#pragma once
// A file written whole or not at all: the bytes go to a temporary file
// beside it, which replaces the old file only once all of them are
// written, so a full disk or a pulled stick never leaves half a journal,
// profile or trend behind.
#include <string>
#include <string_view>

namespace tq {

// Why `bytes` could not be saved as `path` ("Permission denied"); empty
// when they were.
std::string saveFile(const std::string& path, std::string_view bytes);

}  // namespace tq
