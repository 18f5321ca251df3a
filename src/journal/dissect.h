#pragma once
// One entry of the exchange journal taken apart: the dissector that fits
// what was sent last, then whichever recognises the bytes, then hex and
// text. Pure and cheap: the window calls it for every block.
#include <cstdint>
#include <span>

#include "common/dissection.h"

namespace tq::journal {

enum class Direction { Sent, Received, Event };

// `bytes` is the frame written (Sent), the block received (Received) or the
// event's text (Event, UTF-8). `lastSent` is the frame written before a
// received block, empty when none is known. Always a dissection with a
// protocol, a title and at least one field.
Dissection dissectBlock(Direction direction, std::span<const uint8_t> bytes, std::span<const uint8_t> lastSent);

}  // namespace tq::journal
