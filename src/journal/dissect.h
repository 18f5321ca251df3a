#pragma once
// One entry of the exchange journal taken apart: the dissector that fits
// what was sent last, then whichever recognises the bytes, then hex and
// text. Pure and cheap: the window calls it for every block.
#include <cstdint>
#include <span>

#include "common/dissection.h"

namespace tq::journal {

enum class Direction { Sent, Received, Event };

// Full: every field. Summary: enough for the title and the first fault
// (bytes no dissector recognises get no lines of hex), which is all a
// journal entry keeps when it is made.
enum class Detail { Full, Summary };

// `bytes` is the frame written (Sent), the block received (Received) or the
// event's text (Event, UTF-8). `lastSent` is the frame written before a
// received block, empty when none is known. Always a dissection with a
// protocol, a title and at least one field.
Dissection dissectBlock(Direction direction, std::span<const uint8_t> bytes, std::span<const uint8_t> lastSent,
                        Detail detail = Detail::Full);

}  // namespace tq::journal
