// Any block in any direction after any frame sent: the journal always gets
// a dissection with a title and fields, all inside the block.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dissection_checks.h"
#include "journal/dissect.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const auto direction = static_cast<tq::journal::Direction>(data[0] % 3);
  // The last frame sent's length, then that frame, then the block; each in
  // a buffer of its own size so ASan sees a read beyond either.
  const size_t split = std::min<size_t>(data[1], size - 2);
  const std::vector<uint8_t> lastSent(data + 2, data + 2 + split);
  const std::vector<uint8_t> block(data + 2 + split, data + size);

  const tq::Dissection d = tq::journal::dissectBlock(direction, block, lastSent);
  tq::fuzz::checkDissection(d, block.size());
  return 0;
}
