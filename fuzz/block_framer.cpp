// Any pattern of arrivals and silences: blocks never exceed the block size
// and together they are exactly the bytes that arrived.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "serial/block_framer.h"

using tq::serial::BlockFramer;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 3) return 0;
  BlockFramer framer({uint32_t(data[0]) * 2, 0, uint32_t(data[1]) * 10}, 0);
  std::vector<uint8_t> arrived, delivered;
  int64_t now = 0;
  for (size_t i = 2; i + 1 < size; i += 2) {
    now += int64_t{data[i]} * 1'000'000;
    if (framer.due(now)) {
      auto block = framer.take(now);
      if (block.size() > BlockFramer::kBlockSize) std::abort();
      delivered.insert(delivered.end(), block.begin(), block.end());
    }
    const size_t n = std::min<size_t>(framer.space(), size_t{data[i + 1]} * 17);
    for (size_t k = 0; k < n; ++k) framer.writePtr()[k] = static_cast<uint8_t>(arrived.size() + k);
    for (size_t k = 0; k < n; ++k) arrived.push_back(static_cast<uint8_t>(arrived.size()));
    framer.added(n, now);
  }
  const auto rest = framer.take(now);
  delivered.insert(delivered.end(), rest.begin(), rest.end());
  if (delivered != arrived) std::abort();
  return 0;
}
