#pragma once
// A HART field instrument on the module's loop: a flow meter that answers
// the universal commands 0, 1, 2, 3, 6, 12, 13, 15, 17, 18, 20, 38 and 48
// at its polling address (short frames) and at its unique address (long
// frames), and keeps what commissioning writes to it.
#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tq::sim {

inline constexpr uint8_t kHartShortRequest = 0x02;
inline constexpr uint8_t kHartLongRequest = 0x82;
inline constexpr uint8_t kHartShortReply = 0x06;
inline constexpr uint8_t kHartLongReply = 0x86;
inline constexpr uint8_t kHartPreamble = 0xFF;
// Polling addresses up to HART 5, and from HART 6 on.
inline constexpr uint8_t kHartMaxPollingAddress = 15;
inline constexpr uint8_t kHartMaxPollingAddressWide = 63;
// Universal command revisions the instrument can follow.
inline constexpr uint8_t kHartRevision5 = 5;
inline constexpr uint8_t kHartRevision6 = 6;
inline constexpr uint8_t kHartRevision7 = 7;

struct HartIdentity {
  uint8_t manufacturerId = 0x26;
  uint8_t deviceType = 0x06;
  uint32_t deviceId = 0x123456;  // 24 bits
  uint8_t preambles = 5;         // preambles the instrument asks for and sends
  uint8_t pollingAddress = 0;
  // 5: the short identity reply, polling addresses 0..15 and no long tag.
  uint8_t universalRevision = kHartRevision7;
};

// Text sizes: packed ASCII characters, and Latin-1 bytes of the long tag.
inline constexpr size_t kHartTagChars = 8;
inline constexpr size_t kHartDescriptorChars = 16;
inline constexpr size_t kHartMessageChars = 32;
inline constexpr size_t kHartLongTagBytes = 32;
// Four packed characters fill three bytes.
constexpr size_t packedBytes(size_t characters) { return characters * 3 / 4; }
inline constexpr size_t kHartDateBytes = 3;  // day, month, year - 1900

struct HartDate {
  uint8_t day = 12;
  uint8_t month = 6;
  uint8_t yearSince1900 = 124;  // 2024
};

// Range values and the primary variable are in m3/h.
inline constexpr uint8_t kHartUnitCubicMetresPerHour = 19;

// What commissioning reads and writes, as the instrument starts.
struct HartProperties {
  std::string tag = "FT-101";  // packed ASCII characters; lower case is upper-cased
  std::string descriptor = "RAW WATER INLET";
  std::string message = "FLOW METER CALIBRATED 0-100 M3/H";
  HartDate date{};
  std::string longTag = "Raw water inlet flow FT-101";  // Latin-1 bytes
  uint8_t alarmSelection = 0;                           // high
  uint8_t transferFunction = 0;                         // linear
  float lowerRange = 0.0f;
  float upperRange = 100.0f;
  float dampingSeconds = 2.0f;
  bool writeProtected = false;
  uint8_t extendedStatus = 0;  // command 0 byte 16, command 48 byte 6
  // Whether the loop current follows the flow; false: parked at 4 mA, as in
  // multidrop. Unset: it follows at polling address 0 only (HART 5's rule).
  std::optional<bool> loopCurrentEnabled;
};

// Commands a fault applies to: every one, those listed, or (neither) none.
struct HartCommandSet {
  bool all = false;
  std::vector<uint8_t> listed;
  bool contains(uint8_t command) const;
};

// Faults of the instrument's replies.
struct HartFaults {
  uint8_t response = 0;  // first status byte; 0: the instrument's own
  HartCommandSet responseOn;
  uint8_t statusBits = 0;  // added to the field device status of every reply
  HartCommandSet badCheckOn;
};

// Response codes that are warnings: the command is carried out and its data
// comes back. Any other non-zero code is an error and the reply holds only
// the two status bytes.
bool isHartWarning(uint8_t response);

struct HartVariable {
  uint8_t unitCode;
  float value;
};

// What the instrument measures at one moment.
struct HartReading {
  float loopCurrentMa;
  float percentOfRange;
  std::array<HartVariable, 4> variables;
  bool saturated = false;  // the loop current held at a limit
};

// XOR of every byte, as the HART check byte covers delimiter to last data byte.
uint8_t hartCheckByte(std::span<const uint8_t> bytes);

class HartInstrument {
 public:
  explicit HartInstrument(HartIdentity identity = {}, const HartProperties& properties = {}, HartFaults faults = {});

  // `frame` runs from the delimiter through the check byte (preambles already
  // stripped). Returns the reply with its preambles, or nothing when the frame
  // is not for this instrument. A frame for it with a wrong check byte is
  // answered with a communication error (first status byte 88: the check
  // byte wrong) and no data, as an instrument does.
  std::optional<std::vector<uint8_t>> handle(std::span<const uint8_t> frame, double seconds);

  // The measured values at `seconds` since power-up: slow waves and a
  // totaliser, so successive polls show movement.
  HartReading reading(double seconds) const;

  const HartIdentity& identity() const { return identity_; }

 private:
  struct Outcome {
    uint8_t response = 0;
    std::vector<uint8_t> data;
  };

  bool addressedBy(std::span<const uint8_t> frame, bool longFrame) const;
  Outcome execute(uint8_t command, std::span<const uint8_t> request, size_t master, double seconds);
  Outcome write(std::span<const uint8_t> request, std::span<uint8_t> stored);
  uint8_t fieldDeviceStatus(size_t master, double seconds) const;
  uint8_t maxPollingAddress() const;
  bool loopCurrentFollows() const;
  void configurationChanged();

  HartIdentity identity_;
  HartFaults faults_;
  // Tag, descriptor and date as command 13 carries them.
  std::array<uint8_t, packedBytes(kHartTagChars) + packedBytes(kHartDescriptorChars) + kHartDateBytes>
      tagDescriptorDate_{};
  std::array<uint8_t, packedBytes(kHartMessageChars)> message_{};
  std::array<uint8_t, kHartLongTagBytes> longTag_{};
  uint8_t alarmSelection_;
  uint8_t transferFunction_;
  float lowerRange_;
  float upperRange_;
  float dampingSeconds_;
  bool writeProtected_;
  uint8_t extendedStatus_;
  std::optional<bool> loopCurrentEnabled_;
  // "Configuration changed" is kept for each master: secondary, primary.
  std::array<bool, 2> configChanged_{};
  uint16_t configChangeCounter_ = 0;
};

}  // namespace tq::sim
