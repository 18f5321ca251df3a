#pragma once
// Cuts the received byte stream into blocks: a block ends when the line has
// been silent for the interval time-out after its last byte, when it holds
// kBlockSize bytes, or when the total time-out since the read began runs out.
// Pure: the caller passes the time, so tests drive it with a manual clock.
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tq::serial {

struct ReadTimeouts {
  uint32_t intervalMs = 100;       // 0: no interval time-out
  uint32_t totalMultiplierMs = 0;  // per requested byte
  uint32_t totalConstantMs = 0;
};

class BlockFramer {
 public:
  static constexpr size_t kBlockSize = 2048;
  // An interval of this value with no total time-out means "deliver what has
  // arrived at once".
  static constexpr uint32_t kImmediate = 0xFFFFFFFFu;

  explicit BlockFramer(ReadTimeouts timeouts = {}, int64_t nowNs = 0);

  // New time-outs take effect for the block being gathered.
  void setTimeouts(ReadTimeouts timeouts) { timeouts_ = timeouts; }

  // Room for the next read, and the place to read into.
  size_t space() const { return kBlockSize - size_; }
  uint8_t* writePtr() { return buffer_.data() + size_; }
  // n bytes were read into writePtr() at nowNs.
  void added(size_t n, int64_t nowNs);

  bool empty() const { return size_ == 0; }
  // True when the current block must be delivered now (it may be empty when
  // only the total time-out ran out: the caller then just starts again).
  bool due(int64_t nowNs) const;
  // Nanoseconds until due() may become true; -1 while only new bytes can end
  // the block.
  int64_t waitNs(int64_t nowNs) const;
  // Hands the block over and starts the next one at nowNs. The block has
  // room for one more byte (the zero the component stores after it), so
  // passing it on costs no second allocation.
  std::vector<uint8_t> take(int64_t nowNs);

 private:
  int64_t totalDeadlineNs() const;

  ReadTimeouts timeouts_;
  std::vector<uint8_t> buffer_;
  size_t size_ = 0;
  int64_t startNs_ = 0;
  int64_t lastByteNs_ = 0;
};

}  // namespace tq::serial
