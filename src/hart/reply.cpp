#include "hart/reply.h"

#include <algorithm>

#include "common/byte_display.h"
#include "hart/frames.h"
#include "hart/status.h"

namespace tq::hart {

namespace {

// The check byte and the byte count are the frame's own bytes beyond its data.
constexpr size_t kCheckBytes = 1;

bool isReplyDelimiter(uint8_t b) { return b == kShortReply || b == kLongReply; }

// The frame whose delimiter is block[at], as far as the block holds it.
FrameLayout layoutAt(std::span<const uint8_t> block, size_t at) {
  FrameLayout f;
  f.delimiterAt = at;
  f.preambleAt = at;
  while (f.preambleAt > 0 && block[f.preambleAt - 1] == kPreambleByte) --f.preambleAt;
  f.delimiter = block[at];
  const size_t available = block.size() - at;
  if (f.byteCountAt() < available) {
    f.length = f.dataAt() + block[at + f.byteCountAt()] + kCheckBytes;
    f.received = std::min(available, f.length);
  } else {
    f.received = available;
  }
  if (f.whole()) {
    const size_t checkAt = f.length - kCheckBytes;
    f.checkExpected = checkByte(block.subspan(at, checkAt));
    f.checkReceived = block[at + checkAt];
  }
  return f;
}

// `wanted`: whether a frame found is one the caller looks for.
template <typename Accept, typename Wanted>
std::optional<FrameLayout> find(std::span<const uint8_t> block, Accept accept, Wanted wanted) {
  std::optional<FrameLayout> firstMarker;
  for (size_t i = 0; i < block.size(); ++i) {
    // The preamble byte first: in a block of noise most positions fail it.
    const bool marker = i > 0 && block[i - 1] == kPreambleByte;
    if (!marker && i > 0) continue;
    if (!accept(block[i])) continue;
    const FrameLayout f = layoutAt(block, i);
    if (!wanted(f)) continue;
    if (f.checkOk()) return f;
    if (marker && !firstMarker) firstMarker = f;
  }
  return firstMarker;
}

template <typename Accept>
std::optional<FrameLayout> find(std::span<const uint8_t> block, Accept accept) {
  return find(block, accept, [](const FrameLayout&) { return true; });
}

ParsedReply parsedAt(std::span<const uint8_t> block, const FrameLayout& found);

}  // namespace

bool isDelimiter(uint8_t b) {
  switch (b & ~kLongAddressBit) {
    case static_cast<uint8_t>(FrameType::Burst):
    case static_cast<uint8_t>(FrameType::Request):
    case static_cast<uint8_t>(FrameType::Reply):
      return true;
    default:
      return false;
  }
}

std::optional<FrameLayout> findFrame(std::span<const uint8_t> block) { return find(block, isDelimiter); }

std::optional<FrameLayout> findReplyFrame(std::span<const uint8_t> block) { return find(block, isReplyDelimiter); }

std::string cutShortText(const FrameLayout& frame) {
  if (frame.whole()) return {};
  const std::string after = "frame ends after " + std::to_string(frame.received);
  if (frame.length == 0) return after + (frame.received == 1 ? " byte" : " bytes") + ", before its byte count";
  return after + " of " + std::to_string(frame.length) + " bytes";
}

std::string checkVerdict(const FrameLayout& frame) {
  if (!frame.whole()) return {};
  if (frame.checkOk()) return "check byte OK";
  return "check byte " + hexByte(frame.checkReceived) + ", expected " + hexByte(frame.checkExpected);
}

bool ParsedReply::communicationError() const { return firstStatus && (*firstStatus & kCommunicationErrorBit) != 0; }

std::optional<ParsedReply> parseReply(std::span<const uint8_t> block) {
  const auto found = findReplyFrame(block);
  if (!found) return std::nullopt;
  return parsedAt(block, *found);
}

ReplyTo ReplyTo::shortFrame(int pollingAddress, uint8_t command) {
  ReplyTo to;
  to.address[0] = static_cast<uint8_t>(pollingAddress & kAddressLowBits);
  to.command = command;
  return to;
}

ReplyTo ReplyTo::longFrame(const DeviceIdentity& instrument, uint8_t command) {
  ReplyTo to;
  to.longAddress = true;
  to.address = {static_cast<uint8_t>(instrument.manufacturerId & kAddressLowBits), instrument.deviceType,
                instrument.deviceId[0], instrument.deviceId[1], instrument.deviceId[2]};
  to.command = command;
  return to;
}

bool ReplyTo::answeredBy(const FrameLayout& layout, std::span<const uint8_t> frame) const {
  if (layout.longAddress() != longAddress) return false;
  for (size_t i = 0; i < layout.addressBytes(); ++i) {
    const size_t at = FrameLayout::kAddressAt + i;
    if (!layout.holds(at)) return true;
    const uint8_t got = i == 0 ? frame[at] & kAddressLowBits : frame[at];
    if (got != address[i]) return false;
  }
  return !layout.holds(layout.commandAt()) || frame[layout.commandAt()] == command;
}

std::optional<ParsedReply> parseReplyTo(std::span<const uint8_t> block, const ReplyTo& request) {
  const auto found = find(block, isReplyDelimiter, [&](const FrameLayout& f) {
    return request.answeredBy(f, block.subspan(f.delimiterAt, f.received));
  });
  if (!found) return std::nullopt;
  return parsedAt(block, *found);
}

namespace {

ParsedReply parsedAt(std::span<const uint8_t> block, const FrameLayout& found) {
  ParsedReply reply;
  const FrameLayout& f = reply.frame = found;
  const auto frame = block.subspan(f.delimiterAt, f.received);
  const auto byteAt = [&](size_t at) -> std::optional<uint8_t> {
    if (!f.holds(at)) return std::nullopt;
    return frame[at];
  };
  const size_t addressEnd = std::min(f.commandAt(), f.received);
  reply.address.assign(frame.begin() + std::min(FrameLayout::kAddressAt, f.received), frame.begin() + addressEnd);
  reply.command = byteAt(f.commandAt());
  reply.byteCount = byteAt(f.byteCountAt());
  if (reply.byteCount && *reply.byteCount >= 1) reply.firstStatus = byteAt(f.dataAt());
  if (reply.byteCount && *reply.byteCount >= kStatusBytes) {
    reply.deviceStatus = byteAt(f.dataAt() + 1);
    const size_t dataAt = f.dataAt() + kStatusBytes;
    const size_t dataEnd = std::min(f.dataAt() + *reply.byteCount, f.received);
    if (dataEnd > dataAt) reply.data.assign(frame.begin() + dataAt, frame.begin() + dataEnd);
  }

  if (!f.whole()) {
    reply.fault = cutShortText(f);
  } else if (!f.checkOk()) {
    reply.fault = checkVerdict(f);
  } else if (*reply.byteCount < kStatusBytes) {
    reply.fault = "byte count " + std::to_string(*reply.byteCount) + " leaves no room for the two status bytes";
  }
  return reply;
}

}  // namespace

}  // namespace tq::hart
