// The simulator's framer over any byte stream, arriving in any chunks, with
// the line falling silent at any point. The input is a sequence of records:
// one control byte (low 7 bits: how many stream bytes follow; top bit: the
// line falls silent after them) and then those bytes.
//
// Checked: every scan either waits or consumes at least one byte and never
// more than it was given; a wait holds no more than the longest frame; at
// silence everything held is consumed; a frame is what its kind says; and
// how the bytes were chunked never changes what the module makes of them
// (runs of noise may be dropped in other pieces, so they are compared as
// runs).
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string_view>
#include <vector>

#include "sim/framer.h"
#include "sim/hart_instrument.h"

using namespace tq::sim;

namespace {

// Longest frame the module can be waiting on: the held preambles, a long
// HART header (delimiter to byte count), 255 data bytes and the check byte.
constexpr size_t kMaxHeld = kMaxHeldPreambles + 8 + 255 + 1;

struct Step {
  ScanStatus status;
  FrameKind kind;
  size_t length;
  size_t preambles;
  bool operator==(const Step&) const = default;
};

void check(bool holds) {
  if (!holds) std::abort();
}

void checkFrame(const ScanResult& r, std::span<const uint8_t> frame) {
  switch (r.kind) {
    case FrameKind::kHart:
      check(r.preambles <= kMaxHeldPreambles && r.preambles < frame.size());
      for (size_t i = 0; i < r.preambles; ++i) check(frame[i] == kHartPreamble);
      check(frame[r.preambles] == kHartShortRequest || frame[r.preambles] == kHartLongRequest);
      break;
    case FrameKind::kModbus:
      check(frame.size() == 8);
      break;
    case FrameKind::kConfig: {
      const std::string_view text(reinterpret_cast<const char*>(frame.data()), frame.size());
      check(text.starts_with("QQQ#") || text.starts_with("QQS#") || text.starts_with("VELKOR#"));
      break;
    }
  }
}

// The simulator's own loop: scan from the front, consume, stop at a wait.
class Line {
 public:
  void receive(std::span<const uint8_t> bytes) {
    held_.insert(held_.end(), bytes.begin(), bytes.end());
    scan(false);
  }
  void silence() {
    scan(true);
    check(held_.empty());
  }
  const std::vector<Step>& steps() const { return steps_; }

 private:
  void scan(bool final) {
    size_t start = 0;
    while (start < held_.size()) {
      const auto rest = std::span<const uint8_t>(held_).subspan(start);
      const ScanResult r = scanFrame(rest, final);
      if (r.status == ScanStatus::kNeedMore) {
        check(!final && rest.size() <= kMaxHeld);
        break;
      }
      check(r.length > 0 && r.length <= rest.size());
      if (r.status == ScanStatus::kFrame) checkFrame(r, rest.first(r.length));
      record(r);
      start += r.length;
    }
    held_.erase(held_.begin(), held_.begin() + static_cast<std::ptrdiff_t>(start));
  }
  void record(const ScanResult& r) {
    if (r.status == ScanStatus::kNoise) {
      if (!steps_.empty() && steps_.back().status == ScanStatus::kNoise) {
        steps_.back().length += r.length;
        return;
      }
      steps_.push_back({ScanStatus::kNoise, FrameKind::kConfig, r.length, 0});
      return;
    }
    steps_.push_back({r.status, r.kind, r.length, r.status == ScanStatus::kFrame ? r.preambles : 0});
  }

  std::vector<uint8_t> held_;
  std::vector<Step> steps_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Line chunked, whole;
  std::vector<uint8_t> segment;  // the bytes since the last silence
  size_t i = 0;
  while (i < size) {
    const uint8_t control = data[i++];
    const size_t n = std::min<size_t>(control & 0x7F, size - i);
    const std::span<const uint8_t> chunk(data + i, n);
    i += n;
    chunked.receive(chunk);
    segment.insert(segment.end(), chunk.begin(), chunk.end());
    if ((control & 0x80) != 0 || i == size) {
      chunked.silence();
      whole.receive(segment);
      whole.silence();
      segment.clear();
    }
  }
  check(chunked.steps() == whole.steps());
  return 0;
}
