#pragma once
// Splits the bytes arriving from the line into the frames the module knows:
// configuration frames ("QQQ#", "QQS#", "VELKOR#"), HART frames to pass
// through, and MODBUS RTU requests. Anything else is line noise.
#include <cstddef>
#include <cstdint>
#include <span>

namespace tq::sim {

enum class ScanStatus {
  kFrame,       // a whole frame of `kind` starts the buffer, `length` bytes
  kNeedMore,    // the buffer starts a frame that is not complete yet
  kIncomplete,  // (final scan only) a configuration frame cut short by silence
  kNoise,       // the first `length` bytes belong to no frame
};

enum class FrameKind { kConfig, kHart, kModbus };

struct ScanResult {
  ScanStatus status;
  FrameKind kind = FrameKind::kConfig;
  size_t length = 0;
  size_t preambles = 0;  // HART: 0xFF bytes before the delimiter
};

// Longest configuration frame the module buffers before it gives up on the
// closing '#'.
inline constexpr size_t kMaxConfigFrame = 256;

// Most 0xFF bytes the module holds as the preambles of a HART frame still to
// come. A longer run is noise before them: the excess is dropped as it
// arrives, so a stuck line costs time and memory in proportion to its length
// only.
inline constexpr size_t kMaxHeldPreambles = 32;

// Looks at the start of `buffer`. With `final` set (the line has gone
// silent) a frame still waiting for bytes will never be completed: it is
// reported as kIncomplete (configuration) or kNoise (anything else).
ScanResult scanFrame(std::span<const uint8_t> buffer, bool final);

}  // namespace tq::sim
