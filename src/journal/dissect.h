#pragma once
// Placeholder until the dispatcher lands.
#include <cstdint>
#include <span>

#include "common/dissection.h"

namespace tq::journal {

enum class Direction { Sent, Received, Event };

Dissection dissectBlock(Direction direction, std::span<const uint8_t> bytes, std::span<const uint8_t> lastSent);

}  // namespace tq::journal
