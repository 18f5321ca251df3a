#pragma once
// A HART frame found in a block, and a field device's reply read from it.
//
// A frame is found by the decoders' marker, a preamble byte 0xFF followed by
// a delimiter, anywhere in the block (bytes before and after it are left
// alone), or as a delimiter opening the block with no preamble at all when
// it is whole with a good check byte (the page sends such frames with a
// preamble setting of -1). The first candidate that is whole with a good
// check byte is taken; failing that, the first marker, so a reply cut short
// or with a wrong check byte is still found and reported as such.
// parseReplyTo looks only at the replies that answer a given request.
//
// A frame's bytes are counted from its delimiter through its check byte
// (preambles apart): "frame ends after 12 of 27 bytes".
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "hart/identity.h"

namespace tq::hart {

// Delimiter: bit 7 long address, bits 0-2 the frame type.
inline constexpr uint8_t kLongAddressBit = 0x80;
inline constexpr uint8_t kFrameTypeMask = 0x07;
enum class FrameType : uint8_t { Burst = 1, Request = 2, Reply = 6 };

inline constexpr size_t kShortAddressBytes = 1;
inline constexpr size_t kLongAddressBytes = 5;
// A reply's data opens with the two status bytes, which its byte count includes.
inline constexpr size_t kStatusBytes = 2;

// Whether `b` is one of the six delimiters (02/82, 06/86, 01/81).
bool isDelimiter(uint8_t b);

// Where a frame lies in its block. Offsets named "...At" count from the
// delimiter; add delimiterAt for the block.
struct FrameLayout {
  size_t preambleAt = 0;   // first of the 0xFF bytes right before the delimiter
  size_t delimiterAt = 0;  // == preambleAt when there is no preamble
  uint8_t delimiter = 0;
  size_t received = 0;  // bytes of the frame the block holds, at most `length`
  size_t length = 0;    // delimiter through check byte; 0 while the byte count is missing
  uint8_t checkReceived = 0;
  uint8_t checkExpected = 0;  // both set once the frame is whole

  FrameType type() const { return static_cast<FrameType>(delimiter & kFrameTypeMask); }
  bool longAddress() const { return (delimiter & kLongAddressBit) != 0; }
  size_t preambles() const { return delimiterAt - preambleAt; }
  size_t addressBytes() const { return longAddress() ? kLongAddressBytes : kShortAddressBytes; }
  static constexpr size_t kAddressAt = 1;
  size_t commandAt() const { return kAddressAt + addressBytes(); }
  size_t byteCountAt() const { return commandAt() + 1; }
  size_t dataAt() const { return byteCountAt() + 1; }
  // Whether the frame's bytes [at, at + n) arrived.
  bool holds(size_t at, size_t n = 1) const { return at + n <= received; }
  bool whole() const { return length != 0 && received == length; }
  bool checkOk() const { return whole() && checkReceived == checkExpected; }
};

// The first frame of any type in `block`.
std::optional<FrameLayout> findFrame(std::span<const uint8_t> block);
// The first field device reply (delimiter 06 or 86).
std::optional<FrameLayout> findReplyFrame(std::span<const uint8_t> block);

// "frame ends after 12 of 27 bytes", "frame ends after 3 bytes, before its
// byte count"; empty for a whole frame.
std::string cutShortText(const FrameLayout& frame);
// "check byte OK", "check byte 51, expected 50" (received, then computed);
// empty unless the frame is whole.
std::string checkVerdict(const FrameLayout& frame);

// A field device's reply, its parts copied out of the block.
struct ParsedReply {
  FrameLayout frame;
  std::vector<uint8_t> address;  // 1 or 5 bytes, as far as they arrived
  std::optional<uint8_t> command;
  std::optional<uint8_t> byteCount;
  std::optional<uint8_t> firstStatus;   // response code, or communication error bits
  std::optional<uint8_t> deviceStatus;  // field device status
  std::vector<uint8_t> data;            // after the status bytes, as far as it arrived
  // Why the reply cannot be trusted: cut short, a wrong check byte, or a
  // byte count without room for the status bytes. Empty when intact.
  std::string fault;

  bool intact() const { return fault.empty(); }
  bool communicationError() const;
  // Intact, with a response code rather than communication error bits: its
  // data may be read (as far as the byte count goes).
  bool usable() const { return intact() && !communicationError(); }
};

// The first field device reply in `block`; nullopt when there is none.
std::optional<ParsedReply> parseReply(std::span<const uint8_t> block);

// What a request asked, so that its reply can be told from another: the
// address (a polling address in a short frame, the unique address in a long
// one; of the first address byte only its low six bits count) and the
// command.
struct ReplyTo {
  bool longAddress = false;
  std::array<uint8_t, kLongAddressBytes> address{};  // short frames: [0] the polling address
  uint8_t command = 0;

  static ReplyTo shortFrame(int pollingAddress, uint8_t command);
  static ReplyTo longFrame(const DeviceIdentity& instrument, uint8_t command);
  // Whether the frame found at `frame` (its bytes from the delimiter on)
  // comes from this address with this command, as far as they arrived.
  bool answeredBy(const FrameLayout& layout, std::span<const uint8_t> frame) const;
};

// The reply in `block` that answers `request`: the first from its address
// to its command that is whole with a good check byte; failing that, the
// first such reply found by its marker (cut short or with a wrong check
// byte, to be shown for what it is). A reply from another address or to
// another command, such as a late answer to an earlier request in the same
// block, is passed over. nullopt when there is none.
std::optional<ParsedReply> parseReplyTo(std::span<const uint8_t> block, const ReplyTo& request);

}  // namespace tq::hart
