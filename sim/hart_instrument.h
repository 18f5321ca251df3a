#pragma once
// The HART field instrument on the module's loop: a flow meter that answers
// commands 0, 1, 2, 3 and 6 at its polling address (short frames) and at its
// unique address (long frames).
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace tq::sim {

inline constexpr uint8_t kHartShortRequest = 0x02;
inline constexpr uint8_t kHartLongRequest = 0x82;
inline constexpr uint8_t kHartShortReply = 0x06;
inline constexpr uint8_t kHartLongReply = 0x86;
inline constexpr uint8_t kHartPreamble = 0xFF;
inline constexpr uint8_t kHartMaxPollingAddress = 15;

struct HartIdentity {
  uint8_t manufacturerId = 0x26;
  uint8_t deviceType = 0x06;
  uint32_t deviceId = 0x123456;  // 24 bits
  uint8_t preambles = 5;         // preambles the instrument asks for and sends
  uint8_t pollingAddress = 0;
};

struct HartVariable {
  uint8_t unitCode;
  float value;
};

// What the instrument measures at one moment.
struct HartReading {
  float loopCurrentMa;
  float percentOfRange;
  std::array<HartVariable, 4> variables;
};

// XOR of every byte, as the HART check byte covers delimiter to last data byte.
uint8_t hartCheckByte(std::span<const uint8_t> bytes);

class HartInstrument {
 public:
  explicit HartInstrument(HartIdentity identity = {});

  // `frame` runs from the delimiter through the check byte (preambles already
  // stripped). Returns the reply with its preambles, or nothing when the frame
  // is not for this instrument or its check byte is wrong.
  std::optional<std::vector<uint8_t>> handle(std::span<const uint8_t> frame, double seconds);

  // The measured values at `seconds` since power-up: slow waves and a
  // totaliser, so successive polls show movement.
  HartReading reading(double seconds) const;

  const HartIdentity& identity() const { return identity_; }

 private:
  bool addressedBy(std::span<const uint8_t> frame, bool longFrame) const;

  HartIdentity identity_;
  uint8_t configChangedFlag_ = 0;
};

}  // namespace tq::sim
