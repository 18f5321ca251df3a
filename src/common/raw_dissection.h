#pragma once
// Bytes no dissector recognises, as the journal shows them: hex and
// printable text in lines of 16, bounded whatever the block's size.
#include <cstdint>
#include <span>

#include "common/dissection.h"

namespace tq {

inline constexpr size_t kRawLineBytes = 16;
// A receive block holds at most 2048 bytes: all of it is shown; beyond that
// one remark says how much more there is.
inline constexpr size_t kRawMaxLines = 128;

// With `lines` false only the title: what a journal entry keeps of a block,
// without building the lines nobody may open.
Dissection dissectRaw(std::span<const uint8_t> bytes, bool lines = true);

}  // namespace tq
