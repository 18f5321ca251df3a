#include "framer.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string_view>

#include "crc16.h"
#include "hart_instrument.h"

namespace tq::sim {

namespace {

constexpr std::array<std::string_view, 3> kConfigPrefixes = {"QQQ#", "QQS#", "VELKOR#"};
constexpr std::string_view kReadCommandHead = "QQS#CAMD";
// "QQS#CAMD" d k ':' e '<' N N ',' then N raw bytes and no '#'.
constexpr size_t kReadCommandHeader = 16;
constexpr size_t kModbusRequestLength = 8;
constexpr uint8_t kModbusMaxSlave = 247;

std::string_view asText(std::span<const uint8_t> bytes) {
  return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

bool isDigit(uint8_t c) { return c >= '0' && c <= '9'; }

// nullopt: not a configuration frame; otherwise a frame or a wait.
std::optional<ScanResult> scanConfig(std::span<const uint8_t> buffer, bool final) {
  const std::string_view text = asText(buffer);
  std::optional<size_t> prefixLength;
  for (std::string_view prefix : kConfigPrefixes) {
    if (text.starts_with(prefix))
      prefixLength = prefix.size();
    else if (prefix.starts_with(text))
      return ScanResult{final ? ScanStatus::kNoise : ScanStatus::kNeedMore, FrameKind::kConfig, buffer.size()};
  }
  if (!prefixLength) return std::nullopt;

  // Custom read commands carry raw bytes (a '#' among them is data) and are
  // delimited by their count.
  if (text.starts_with(kReadCommandHead)) {
    // A '#' before the count is complete ends a malformed frame early,
    // whether or not the rest of the header has arrived yet.
    const size_t hash = text.substr(0, kReadCommandHeader).find('#', kReadCommandHead.size());
    if (hash != std::string_view::npos) return ScanResult{ScanStatus::kFrame, FrameKind::kConfig, hash + 1};
    if (text.size() < kReadCommandHeader)
      return ScanResult{final ? ScanStatus::kIncomplete : ScanStatus::kNeedMore, FrameKind::kConfig, buffer.size()};
    if (text[12] == '<' && isDigit(buffer[13]) && isDigit(buffer[14]) && text[15] == ',') {
      const size_t count = static_cast<size_t>((buffer[13] - '0') * 10 + (buffer[14] - '0'));
      const size_t length = kReadCommandHeader + count;
      if (buffer.size() >= length) return ScanResult{ScanStatus::kFrame, FrameKind::kConfig, length};
      return ScanResult{final ? ScanStatus::kIncomplete : ScanStatus::kNeedMore, FrameKind::kConfig, buffer.size()};
    }
  }
  // Only the bytes the module buffers can close the frame: a '#' beyond them
  // comes after the module gave up, however the bytes were split by reads.
  const size_t hash = text.substr(0, kMaxConfigFrame).find('#', *prefixLength);
  if (hash != std::string_view::npos) return ScanResult{ScanStatus::kFrame, FrameKind::kConfig, hash + 1};
  if (buffer.size() >= kMaxConfigFrame) return ScanResult{ScanStatus::kIncomplete, FrameKind::kConfig, kMaxConfigFrame};
  return ScanResult{final ? ScanStatus::kIncomplete : ScanStatus::kNeedMore, FrameKind::kConfig, buffer.size()};
}

std::optional<ScanResult> scanHart(std::span<const uint8_t> buffer, bool final) {
  size_t preambles = 0;
  while (preambles < buffer.size() && buffer[preambles] == kHartPreamble) ++preambles;
  if (preambles > kMaxHeldPreambles)
    return ScanResult{ScanStatus::kNoise, FrameKind::kHart, preambles - kMaxHeldPreambles};
  if (preambles == buffer.size()) {
    if (preambles == 0) return std::nullopt;
    // Preambles alone at silence: the whole run goes at once.
    if (final) return ScanResult{ScanStatus::kNoise, FrameKind::kHart, preambles};
    return ScanResult{ScanStatus::kNeedMore, FrameKind::kHart, buffer.size(), preambles};
  }
  const uint8_t delimiter = buffer[preambles];
  if (delimiter != kHartShortRequest && delimiter != kHartLongRequest) {
    // Preambles followed by something else: drop the preambles, rescan the rest.
    if (preambles > 0) return ScanResult{ScanStatus::kNoise, FrameKind::kHart, preambles};
    return std::nullopt;
  }
  const size_t header = delimiter == kHartLongRequest ? 8 : 4;  // delimiter .. byte count
  if (buffer.size() < preambles + header)
    return ScanResult{ScanStatus::kNeedMore, FrameKind::kHart, buffer.size(), preambles};
  const size_t length = preambles + header + buffer[preambles + header - 1] + 1;
  if (buffer.size() < length) return ScanResult{ScanStatus::kNeedMore, FrameKind::kHart, buffer.size(), preambles};
  return ScanResult{ScanStatus::kFrame, FrameKind::kHart, length, preambles};
}

std::optional<ScanResult> scanModbus(std::span<const uint8_t> buffer) {
  if (buffer.empty() || buffer[0] > kModbusMaxSlave) return std::nullopt;
  // Function codes 1 to 6 all have eight-byte requests.
  if (buffer.size() >= 2 && (buffer[1] < 1 || buffer[1] > 6)) return std::nullopt;
  if (buffer.size() < kModbusRequestLength) return ScanResult{ScanStatus::kNeedMore, FrameKind::kModbus, buffer.size()};
  if (!hasValidCrc16(buffer.first(kModbusRequestLength))) return std::nullopt;
  return ScanResult{ScanStatus::kFrame, FrameKind::kModbus, kModbusRequestLength};
}

}  // namespace

ScanResult scanFrame(std::span<const uint8_t> buffer, bool final) {
  if (buffer.empty()) return ScanResult{ScanStatus::kNeedMore};
  // The CRC makes a MODBUS request the strongest claim; a HART frame without
  // preambles can look like the start of one (delimiter 0x02 = slave 2).
  const auto modbus = scanModbus(buffer);
  if (modbus && modbus->status == ScanStatus::kFrame) return *modbus;
  const auto hart = scanHart(buffer, final);
  const auto config = scanConfig(buffer, final);
  bool waiting = false;
  for (const auto& candidate : {hart, config}) {
    if (!candidate) continue;
    if (candidate->status == ScanStatus::kFrame) {
      if (!final && modbus && modbus->status == ScanStatus::kNeedMore) {
        waiting = true;  // the rest of a MODBUS request may still come
        continue;
      }
      return *candidate;
    }
    if (candidate->status == ScanStatus::kNoise || candidate->status == ScanStatus::kIncomplete) return *candidate;
    waiting = true;
  }
  if (modbus && modbus->status == ScanStatus::kNeedMore) waiting = true;
  if (waiting && !final) return ScanResult{ScanStatus::kNeedMore};
  return ScanResult{ScanStatus::kNoise, FrameKind::kConfig, 1};
}

}  // namespace tq::sim
