#pragma once
// Packed ASCII as the instrument keeps its tag, descriptor and message: the
// characters blank .. underscore, six bits each, four in three bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq::sim {

// Why `text` cannot be stored as `characters` packed characters ("is longer
// than 8 characters", "holds '~', which packed ASCII cannot carry"), or
// nullopt when it can. Lower-case letters are fine: they are upper-cased.
std::optional<std::string> packedAsciiRefusal(std::string_view text, size_t characters);

// `text` upper-cased, padded with blanks to `characters` (a multiple of
// four) and packed into characters * 3 / 4 bytes. The text must have passed
// packedAsciiRefusal.
std::vector<uint8_t> packAscii(std::string_view text, size_t characters);

}  // namespace tq::sim
