#include "serial/block_framer.h"

#include <algorithm>

namespace tq::serial {

namespace {
constexpr int64_t kNsPerMs = 1'000'000;
}

BlockFramer::BlockFramer(ReadTimeouts timeouts, int64_t nowNs)
    : timeouts_(timeouts), buffer_(kBlockSize), startNs_(nowNs) {}

void BlockFramer::added(size_t n, int64_t nowNs) {
  if (n == 0) return;
  size_ = std::min(kBlockSize, size_ + n);
  lastByteNs_ = nowNs;
}

int64_t BlockFramer::totalDeadlineNs() const {
  const int64_t totalMs = int64_t{timeouts_.totalMultiplierMs} * int64_t{kBlockSize} + timeouts_.totalConstantMs;
  return totalMs > 0 ? startNs_ + totalMs * kNsPerMs : -1;
}

bool BlockFramer::due(int64_t nowNs) const { return waitNs(nowNs) == 0; }

int64_t BlockFramer::waitNs(int64_t nowNs) const {
  if (size_ == kBlockSize) return 0;
  int64_t deadline = -1;
  const int64_t total = totalDeadlineNs();
  if (size_ > 0 && timeouts_.intervalMs != 0) {
    if (timeouts_.intervalMs == kImmediate && total < 0) return 0;
    deadline = lastByteNs_ + int64_t{timeouts_.intervalMs} * kNsPerMs;
  }
  if (total >= 0 && (deadline < 0 || total < deadline)) deadline = total;
  if (deadline < 0) return -1;
  return std::max<int64_t>(0, deadline - nowNs);
}

std::vector<uint8_t> BlockFramer::take(int64_t nowNs) {
  std::vector<uint8_t> block;
  block.reserve(size_ + 1);
  block.assign(buffer_.begin(), buffer_.begin() + static_cast<std::ptrdiff_t>(size_));
  size_ = 0;
  startNs_ = nowNs;
  return block;
}

}  // namespace tq::serial
