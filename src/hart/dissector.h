#pragma once
// The exchange journal's view of a HART frame: master request or field
// device reply, short or long address, found by the decoders' marker rule
// but tolerant of anything before or after it.
#include <cstdint>
#include <optional>
#include <span>

#include "common/dissection.h"

namespace tq::hart {

// The first HART frame in `bytes`, taken apart; nullopt when there is none.
std::optional<Dissection> dissectHart(std::span<const uint8_t> bytes);

}  // namespace tq::hart
