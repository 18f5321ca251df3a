#include "hart/dissector.h"

#include <algorithm>

#include "common/byte_display.h"
#include "hart/command_data.h"
#include "hart/frames.h"
#include "hart/identity.h"
#include "hart/reply.h"
#include "hart/status.h"

namespace tq::hart {

namespace {

constexpr size_t kDeviceTypeAt = 1;  // within the long address
constexpr size_t kDeviceIdAt = 2;
constexpr size_t kDeviceIdBytes = 3;
constexpr uint8_t kFirstCommonPractice = 32;
constexpr uint8_t kFirstDeviceSpecific = 128;
constexpr uint8_t kLastDeviceSpecific = 253;

// Bytes around the frame (line noise, another frame) in hex, the first of
// them only: a block of noise must not become kilobytes of text.
constexpr size_t kAroundShownBytes = 32;
std::string aroundText(std::span<const uint8_t> bytes) {
  if (bytes.size() <= kAroundShownBytes) return hexBytes(bytes);
  return hexBytes(bytes.first(kAroundShownBytes)) + " \u2026 (" + std::to_string(bytes.size()) + " bytes)";
}

std::string plural(size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

std::string delimiterText(const FrameLayout& f) {
  std::string text = hexByte(f.delimiter) + (f.longAddress() ? ": long address, " : ": short address, ");
  switch (f.type()) {
    case FrameType::Request:
      return text + "master to field device (STX)";
    case FrameType::Reply:
      return text + "field device to master (ACK)";
    case FrameType::Burst:
      return text + "burst frame from a field device (BACK)";
  }
  return text;
}

// Address byte 0: the master and burst bits, then the polling address or
// the manufacturer id's low six bits.
std::string addressText(uint8_t b, bool longAddress) {
  std::string text = hexByte(b) + ((b & kMasterBit) ? ": primary master" : ": secondary master");
  if (b & kBurstModeBit) text += ", burst mode";
  const int low = b & kAddressLowBits;
  return text + (longAddress ? ", manufacturer id (low six bits) " : ", polling address ") + std::to_string(low);
}

std::string commandText(uint8_t command) {
  const std::string_view name = commandName(command);
  if (!name.empty()) return std::to_string(command) + ": " + std::string(name);
  const char* kind = command < kFirstCommonPractice   ? "universal"
                     : command < kFirstDeviceSpecific ? "common practice"
                     : command <= kLastDeviceSpecific ? "device-specific"
                                                      : "reserved";
  return std::to_string(command) + " (" + kind + ")";
}

std::string commandTitle(uint8_t command) {
  const std::string_view name = commandName(command);
  return "command " + std::to_string(command) + (name.empty() ? "" : " " + std::string(name));
}

uint32_t deviceIdOf(std::span<const uint8_t> address) {
  return deviceIdNumber({address[kDeviceIdAt], address[kDeviceIdAt + 1], address[kDeviceIdAt + 2]});
}

class HartDissector {
 public:
  HartDissector(std::span<const uint8_t> block, const FrameLayout& frame)
      : block_(block), f_(frame), frame_(block.subspan(frame.delimiterAt, frame.received)) {}

  Dissection run() {
    d_.protocol = Protocol::Hart;
    surroundings();
    header();
    if (f_.holds(f_.byteCountAt())) {
      const size_t count = frame_[f_.byteCountAt()];
      const size_t dataAt = statusBytes(count);
      data(dataAt, std::min(f_.dataAt() + count, f_.received));
    }
    verdict();
    d_.title = title();
    return std::move(d_);
  }

 private:
  bool fromDevice() const { return f_.type() != FrameType::Request; }
  size_t at(size_t frameOffset) const { return f_.delimiterAt + frameOffset; }

  void surroundings() {
    if (f_.preambleAt > 0) d_.add("Before the frame", 0, f_.preambleAt, aroundText(block_.first(f_.preambleAt)));
    const size_t end = at(f_.received);
    if (f_.whole() && end < block_.size()) {
      after_ = {end, block_.size() - end};
    }
    d_.add("Preamble", f_.preambleAt, f_.preambles(),
           f_.preambles() == 0 ? "none" : plural(f_.preambles(), "byte FF", "bytes FF"));
  }

  void header() {
    d_.add("Delimiter", at(0), 1, delimiterText(f_));
    const size_t a = FrameLayout::kAddressAt;
    if (f_.holds(a)) d_.add("Address", at(a), 1, addressText(frame_[a], f_.longAddress()));
    if (f_.longAddress()) {
      if (f_.holds(a + kDeviceTypeAt)) d_.add("Device type", at(a + kDeviceTypeAt), 1, std::to_string(frame_[a + 1]));
      if (f_.holds(a + kDeviceIdAt, kDeviceIdBytes)) {
        d_.add("Device id", at(a + kDeviceIdAt), kDeviceIdBytes,
               std::to_string(deviceIdOf(frame_.subspan(a, f_.addressBytes()))));
      }
    }
    if (f_.holds(f_.commandAt())) d_.add("Command", at(f_.commandAt()), 1, commandText(frame_[f_.commandAt()]));
    if (f_.holds(f_.byteCountAt())) {
      const uint8_t count = frame_[f_.byteCountAt()];
      DissectedField& field = d_.add("Byte count", at(f_.byteCountAt()), 1, std::to_string(count));
      if (fromDevice() && count < kStatusBytes && f_.whole()) {
        field.verdict = "byte count " + std::to_string(count) + " leaves no room for the two status bytes";
        field.bad = true;
      }
    }
  }

  // The status bytes a reply or burst frame opens its data with; the
  // offset of the data after them.
  size_t statusBytes(size_t count) {
    size_t next = f_.dataAt();
    if (!fromDevice()) return next;
    if (count >= 1 && f_.holds(next)) {
      first_ = frame_[next];
      if (*first_ & kCommunicationErrorBit) {
        const std::string errors = joined(communicationErrors(*first_));
        DissectedField& field = d_.add("Communication error", at(next), 1, hexByte(*first_) + ": " + errors);
        field.verdict = "the instrument received the request garbled" + (errors.empty() ? "" : " (" + errors + ")");
        field.bad = true;
      } else {
        d_.add("Response code", at(next), 1, responseText(*first_));
      }
      ++next;
    }
    if (count >= kStatusBytes && f_.holds(next)) {
      const uint8_t status = frame_[next];
      if (*first_ & kCommunicationErrorBit) {
        d_.add("Second status byte", at(next), 1, hexByte(status) + " (no device status after a communication error)");
      } else {
        const std::string names = status == 0 ? "none" : joined(deviceStatusBits(status));
        d_.add("Device status", at(next), 1, hexByte(status) + ": " + names);
      }
      ++next;
    }
    return next;
  }

  // The data from frame offset `from` to `end`, by the command's layout.
  void data(size_t from, size_t end) {
    if (!f_.holds(f_.commandAt()) || end <= from) {
      missingRemarks(from, {});
      return;
    }
    const uint8_t command = frame_[f_.commandAt()];
    const auto bytes = frame_.subspan(from, end - from);
    const auto fields = fromDevice() ? replyFields(command, std::nullopt) : requestFields(command);
    const bool communicationError = first_ && (*first_ & kCommunicationErrorBit);
    size_t covered = 0;
    if (!communicationError) {
      for (const DataField& field : fields) {
        if (presence(field, bytes.size()) != Presence::Whole) continue;
        const size_t width = fieldBytes(field, bytes.size());
        const FieldText text = fieldText(field, bytes, '.', true);
        d_.add(std::string(field.name), at(from + field.offset), width,
               text.unit.empty() ? text.value : text.value + " " + text.unit);
        covered = std::max(covered, field.offset + width);
      }
    }
    if (covered < bytes.size()) {
      d_.add(covered == 0 ? "Data" : "Further data", at(from + covered), bytes.size() - covered,
             hexBytes(bytes.subspan(covered)));
    }
    missingRemarks(from, bytes);
  }

  // A whole frame whose data ends before required fields names them in one
  // remark (a warning's data as a success's); a refusal's empty data, a communication error and a byte count
  // already judged too short need no such remark.
  void missingRemarks(size_t from, std::span<const uint8_t> bytes) {
    if (!f_.whole() || !f_.holds(f_.commandAt())) return;
    if (fromDevice() && (!first_ || !dataGood(*first_) || frame_[f_.byteCountAt()] < kStatusBytes)) return;
    const uint8_t command = frame_[f_.commandAt()];
    std::string missing;
    for (const DataField& field : fromDevice() ? replyFields(command, std::nullopt) : requestFields(command)) {
      if (presence(field, bytes.size()) == Presence::Missing)
        missing += (missing.empty() ? "" : ", ") + std::string(field.name);
    }
    if (missing.empty()) return;
    d_.add("Missing data", at(from + bytes.size()), 0,
           std::string(fromDevice() ? "the reply ends before " : "the request ends before ") + missing);
  }

  void verdict() {
    if (f_.whole()) {
      const size_t checkAt = f_.length - 1;
      DissectedField& field = d_.add("Check byte", at(checkAt), 1, hexByte(f_.checkReceived));
      field.verdict = checkVerdict(f_);
      field.bad = !f_.checkOk();
    } else {
      DissectedField& field = d_.add("Frame", at(f_.received), 0, cutShortText(f_));
      field.verdict = field.value;
      field.bad = true;
    }
    if (after_.second > 0) {
      d_.add("After the frame", after_.first, after_.second, aroundText(block_.subspan(after_.first, after_.second)));
    }
  }

  std::string title() const {
    std::string text = "HART ";
    text += f_.type() == FrameType::Request ? "request" : f_.type() == FrameType::Reply ? "reply" : "burst";
    if (!f_.holds(f_.commandAt())) return text;
    text += ", " + commandTitle(frame_[f_.commandAt()]);
    if (!fromDevice()) {
      if (f_.longAddress()) {
        text += " to device id " + std::to_string(deviceIdOf(frame_.subspan(FrameLayout::kAddressAt)));
      } else {
        text += " to polling address " + std::to_string(frame_[FrameLayout::kAddressAt] & kAddressLowBits);
      }
    } else if (first_) {
      if (*first_ & kCommunicationErrorBit) {
        text += ", communication error";  // its bits are the field's verdict
      } else {
        text += ", " + responseText(*first_);
      }
    }
    return text;
  }

  std::span<const uint8_t> block_;
  const FrameLayout& f_;
  std::span<const uint8_t> frame_;
  Dissection d_;
  std::optional<uint8_t> first_;
  std::pair<size_t, size_t> after_{0, 0};
};

}  // namespace

std::optional<Dissection> dissectHart(std::span<const uint8_t> bytes) {
  const auto frame = findFrame(bytes);
  if (!frame) return std::nullopt;
  return HartDissector(bytes, *frame).run();
}

}  // namespace tq::hart
