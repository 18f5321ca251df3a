#pragma once
// The exchange journal's view of the configuration protocol: the frames the
// tool sends ("QQQ#", "QQS#", "VELKOR#") and the module's replies, taken
// apart with the same tables the frame builders and the reply decoders use.
#include <cstdint>
#include <optional>
#include <span>

#include "common/dissection.h"

namespace tq::protocol {

// A query, set or output frame: prefix, command word, device digit where
// the command has one, and each field by the name the window gives it.
// Nullopt when the bytes do not start with one of the three prefixes.
std::optional<Dissection> dissectConfigFrame(std::span<const uint8_t> bytes);

// A reply to a query ("QV:", "QX1", "QQ<d>", "QX2", "QX3"), its groups by
// keyword and their fields with byte ranges and values, read as the
// window's decoders read them; or the module's other answers ("ADR:OK#",
// "BA1:ERR,RANGE#", "ERR:UNKNOWN#", any printable text) group by group.
// Nullopt when the bytes hold no reply marker and are not printable text.
std::optional<Dissection> dissectConfigReply(std::span<const uint8_t> bytes);

// Whether a block, with nothing known of what was sent, is a configuration
// reply: a reply marker with at least one of its groups, or printable text
// holding the protocol's '#'.
bool looksLikeConfigReply(std::span<const uint8_t> bytes);

}  // namespace tq::protocol
