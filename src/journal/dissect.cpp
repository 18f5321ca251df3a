#include "journal/dissect.h"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>

#include "common/raw_dissection.h"
#include "hart/dissector.h"
#include "protocol/config_frames.h"
#include "protocol/dissector.h"
#include "protocol/output_frames.h"
#include "tools/modbus_dissector.h"

namespace tq::journal {

namespace {

// An event's text in the title, bounded.
constexpr size_t kMaxEventTitle = 200;
constexpr uint8_t kUtf8Continuation = 0x80;
constexpr uint8_t kUtf8ContinuationMask = 0xC0;

enum class Context { Nothing, Configuration, Modbus, Hart };

bool startsWith(std::span<const uint8_t> bytes, std::string_view prefix) {
  return bytes.size() >= prefix.size() && std::equal(prefix.begin(), prefix.end(), bytes.begin());
}

bool isConfigFrame(std::span<const uint8_t> bytes) {
  return startsWith(bytes, protocol::kQueryPrefix) || startsWith(bytes, protocol::kSetPrefix) ||
         startsWith(bytes, protocol::kOutputPrefix);
}

// What the tool last wrote: a configuration frame, the MODBUS test request,
// or else a HART frame (the transparent page's frames, manual ones
// included, need not start with a preamble).
Context contextOf(std::span<const uint8_t> lastSent) {
  if (lastSent.empty()) return Context::Nothing;
  if (isConfigFrame(lastSent)) return Context::Configuration;
  if (tools::isModbusRequest(lastSent)) return Context::Modbus;
  return Context::Hart;
}

Dissection sent(std::span<const uint8_t> bytes, Detail detail) {
  if (auto d = protocol::dissectConfigFrame(bytes)) return *std::move(d);
  if (tools::isModbusRequest(bytes)) return tools::dissectModbusRequest(bytes);
  if (auto d = hart::dissectHart(bytes)) return *std::move(d);
  return dissectRaw(bytes, detail == Detail::Full);
}

// `d` dissected from `bytes` after their first `skipped`, its fields put
// back where they stand in the block, behind `first`.
Dissection behind(DissectedField first, Dissection d, size_t skipped) {
  for (DissectedField& f : d.fields) f.offset += skipped;
  d.fields.insert(d.fields.begin(), std::move(first));
  return d;
}

Dissection received(std::span<const uint8_t> bytes, std::span<const uint8_t> lastSent, Detail detail) {
  // The module never writes these: another master on the line, or an echo
  // of an earlier frame.
  if (auto d = protocol::dissectConfigFrame(bytes)) {
    d->title = "Frame received: " + d->title;
    return *std::move(d);
  }
  const Context context = contextOf(lastSent);
  switch (context) {
    case Context::Configuration:
      if (auto d = protocol::dissectConfigReply(bytes)) return *std::move(d);
      break;
    case Context::Modbus:
      if (const auto found = tools::modbusAnswerStart(bytes, lastSent)) {
        const size_t at = *found;
        Dissection d = tools::dissectModbusAnswer(bytes.subspan(at), lastSent);
        if (at == 0) return d;
        const std::string noise = std::to_string(at) + (at == 1 ? " byte" : " bytes") + " before the answer";
        return behind({"Before the frame", 0, at, noise, noise, true}, std::move(d), at);
      }
      break;
    case Context::Hart:
      if (auto d = hart::dissectHart(bytes)) return *std::move(d);
      break;
    case Context::Nothing:
      break;
  }
  // Not what was asked for: whatever the bytes are.
  if (tools::isModbusAnswer(bytes)) {
    return tools::dissectModbusAnswer(bytes, context == Context::Modbus ? lastSent : std::span<const uint8_t>{});
  }
  if (context != Context::Hart) {
    if (auto d = hart::dissectHart(bytes)) return *std::move(d);
  }
  if (protocol::looksLikeConfigReply(bytes)) {
    if (auto d = protocol::dissectConfigReply(bytes)) return *std::move(d);
  }
  return dissectRaw(bytes, detail == Detail::Full);
}

// The frame just sent coming back first: a loopback, or a converter that
// hears its own transmission. The rest is dissected as the reply.
std::optional<Dissection> withEcho(std::span<const uint8_t> bytes, std::span<const uint8_t> lastSent, Detail detail) {
  if (lastSent.empty() || bytes.size() < lastSent.size() ||
      !std::equal(lastSent.begin(), lastSent.end(), bytes.begin()))
    return std::nullopt;
  const size_t echo = lastSent.size();
  Dissection d;
  if (bytes.size() == echo) {
    d = sent(bytes, detail);
    d.title = "Echo of the frame sent: " + d.title;
    return d;
  }
  d = behind({"Echo", 0, echo, "the frame sent, heard back", {}, false},
             received(bytes.subspan(echo), lastSent, detail), echo);
  d.title = "Echo, then " + d.title;
  return d;
}

Dissection event(std::span<const uint8_t> bytes) {
  Dissection d;
  d.protocol = Protocol::Unknown;
  std::string text(bytes.begin(), bytes.end());
  if (text.size() > kMaxEventTitle) {
    size_t cut = kMaxEventTitle;
    // Never in the middle of a character.
    while (cut > 0 && (static_cast<uint8_t>(text[cut]) & kUtf8ContinuationMask) == kUtf8Continuation) --cut;
    text = text.substr(0, cut) + "\u2026";
  }
  d.title = text.empty() ? "Event" : text;
  d.add("Event", 0, bytes.size(), std::move(text));
  return d;
}

}  // namespace

Dissection dissectBlock(Direction direction, std::span<const uint8_t> bytes, std::span<const uint8_t> lastSent,
                        Detail detail) {
  switch (direction) {
    case Direction::Event:
      return event(bytes);
    case Direction::Sent:
      return sent(bytes, detail);
    case Direction::Received:
      if (auto d = withEcho(bytes, lastSent, detail)) return *std::move(d);
      return received(bytes, lastSent, detail);
  }
  return dissectRaw(bytes, detail == Detail::Full);
}

}  // namespace tq::journal
