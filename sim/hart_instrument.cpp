#include "hart_instrument.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

#include "packed_ascii.h"

namespace tq::sim {

namespace {

// HART response codes (first status byte) used here.
constexpr uint8_t kResponseOk = 0;
constexpr uint8_t kResponseInvalidSelection = 2;
constexpr uint8_t kResponseTooFewDataBytes = 5;
constexpr uint8_t kResponseWriteProtected = 7;
constexpr uint8_t kResponseCounterMismatch = 9;        // command 38
constexpr uint8_t kResponseInvalidModeSelection = 12;  // command 6
constexpr uint8_t kResponseNotImplemented = 64;
// Bit 7 of the first status byte: a communication error, not a response code.
constexpr uint8_t kCommunicationError = 0x80;

// Field device status bits.
constexpr uint8_t kStatusConfigChanged = 0x40;
constexpr uint8_t kStatusMoreStatus = 0x10;
constexpr uint8_t kStatusCurrentSaturated = 0x04;

constexpr uint8_t kUnitDegreesCelsius = 32;
constexpr uint8_t kUnitBar = 7;
constexpr uint8_t kUnitCubicMetres = 43;

constexpr float kMultidropCurrentMa = 4.0f;
// Where the loop current stops when the flow leaves the range.
constexpr double kSaturatedLowMa = 3.8;
constexpr double kSaturatedHighMa = 20.5;

constexpr uint8_t kExpandedDeviceType = 254;
constexpr uint8_t kDeviceRevision = 1;
constexpr uint8_t kSoftwareRevision = 1;
constexpr uint8_t kHardwareRevisionFsk = 0x10;  // hardware revision 2, FSK signalling
constexpr uint8_t kLastDeviceVariable = 3;      // flow, temperature, pressure, total
constexpr uint8_t kCommand15Reserved = 250;
constexpr uint8_t kAnalogChannelIsOutput = 0;
// Command 48: six device-specific bytes up to revision 5; from revision 6
// on, extended device status at 6 and analog channel saturated at 10.
constexpr size_t kCommand48BytesHart5 = 6;
constexpr size_t kCommand48Bytes = 14;
constexpr size_t kCommand48ExtendedStatusAt = 6;
constexpr size_t kCommand48SaturatedAt = 10;
// HART 7's command 0 goes on after byte 16: manufacturer and private label
// distributor in 16 bits, and the device profile (1: a process automation device).
constexpr uint8_t kDeviceProfileProcessAutomation = 1;
// A request with a wrong check byte: a communication error, longitudinal
// parity (the check byte) wrong.
constexpr uint8_t kLongitudinalParityError = 0x08;

constexpr size_t kCounterBytes = 2;

void appendFloat(std::vector<uint8_t>& out, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

template <size_t N>
void appendBytes(std::vector<uint8_t>& out, const std::array<uint8_t, N>& bytes) {
  out.insert(out.end(), bytes.begin(), bytes.end());
}

}  // namespace

bool HartCommandSet::contains(uint8_t command) const {
  return all || std::find(listed.begin(), listed.end(), command) != listed.end();
}

bool isHartWarning(uint8_t response) {
  return response == 8 || response == 14 || (response >= 24 && response <= 27) || response == 30 || response == 31 ||
         (response >= 96 && response <= 111);  // device-specific warnings
}

uint8_t hartCheckByte(std::span<const uint8_t> bytes) {
  uint8_t check = 0;
  for (uint8_t b : bytes) check ^= b;
  return check;
}

HartInstrument::HartInstrument(HartIdentity identity, const HartProperties& properties, HartFaults faults)
    : identity_(identity),
      faults_(std::move(faults)),
      alarmSelection_(properties.alarmSelection),
      transferFunction_(properties.transferFunction),
      lowerRange_(properties.lowerRange),
      upperRange_(properties.upperRange),
      dampingSeconds_(properties.dampingSeconds),
      writeProtected_(properties.writeProtected),
      extendedStatus_(properties.extendedStatus),
      loopCurrentEnabled_(properties.loopCurrentEnabled) {
  const auto tag = packAscii(properties.tag, kHartTagChars);
  const auto descriptor = packAscii(properties.descriptor, kHartDescriptorChars);
  auto out = std::copy(tag.begin(), tag.end(), tagDescriptorDate_.begin());
  out = std::copy(descriptor.begin(), descriptor.end(), out);
  *out++ = properties.date.day;
  *out++ = properties.date.month;
  *out = properties.date.yearSince1900;
  const auto message = packAscii(properties.message, kHartMessageChars);
  std::copy(message.begin(), message.end(), message_.begin());
  std::copy_n(properties.longTag.begin(), std::min(properties.longTag.size(), longTag_.size()), longTag_.begin());
}

bool HartInstrument::loopCurrentFollows() const { return loopCurrentEnabled_.value_or(identity_.pollingAddress == 0); }

uint8_t HartInstrument::maxPollingAddress() const {
  return identity_.universalRevision >= kHartRevision6 ? kHartMaxPollingAddressWide : kHartMaxPollingAddress;
}

HartReading HartInstrument::reading(double seconds) const {
  using std::numbers::pi;
  const double flow = 50.0 + 20.0 * std::sin(2 * pi * seconds / 60.0);
  const double temperature = 21.5 + 4.0 * std::sin(2 * pi * seconds / 300.0);
  const double pressure = 1.6 + 0.25 * std::sin(2 * pi * seconds / 45.0 + 1.0);
  // Integral of the flow above, so the totaliser never runs backwards.
  const double totalM3 =
      1000.0 + (50.0 * seconds + 20.0 * 60.0 / (2 * pi) * (1.0 - std::cos(2 * pi * seconds / 60.0))) / 3600.0;
  const double percent = 100.0 * (flow - lowerRange_) / (upperRange_ - lowerRange_);
  double current = kMultidropCurrentMa;
  bool saturated = false;
  if (loopCurrentFollows()) {
    const double wanted = 4.0 + 16.0 * percent / 100.0;
    current = std::clamp(wanted, kSaturatedLowMa, kSaturatedHighMa);
    saturated = current != wanted;
  }
  return HartReading{static_cast<float>(current),
                     static_cast<float>(percent),
                     {HartVariable{kHartUnitCubicMetresPerHour, static_cast<float>(flow)},
                      HartVariable{kUnitDegreesCelsius, static_cast<float>(temperature)},
                      HartVariable{kUnitBar, static_cast<float>(pressure)},
                      HartVariable{kUnitCubicMetres, static_cast<float>(totalM3)}},
                     saturated};
}

bool HartInstrument::addressedBy(std::span<const uint8_t> frame, bool longFrame) const {
  if (!longFrame) return (frame[1] & 0x3F) == identity_.pollingAddress;
  return (frame[1] & 0x3F) == (identity_.manufacturerId & 0x3F) && frame[2] == identity_.deviceType &&
         frame[3] == ((identity_.deviceId >> 16) & 0xFF) && frame[4] == ((identity_.deviceId >> 8) & 0xFF) &&
         frame[5] == (identity_.deviceId & 0xFF);
}

void HartInstrument::configurationChanged() {
  configChanged_ = {true, true};
  ++configChangeCounter_;
}

uint8_t HartInstrument::fieldDeviceStatus(size_t master, double seconds) const {
  const bool saturated = reading(seconds).saturated;
  uint8_t status = faults_.statusBits;
  if (configChanged_[master]) status |= kStatusConfigChanged;
  if (saturated) status |= kStatusCurrentSaturated;
  // Command 48 has something to tell.
  if (saturated || extendedStatus_ != 0) status |= kStatusMoreStatus;
  return status;
}

// Commands 17 and 18: stored as sent, the request echoed.
HartInstrument::Outcome HartInstrument::write(std::span<const uint8_t> request, std::span<uint8_t> stored) {
  if (request.size() < stored.size()) return {kResponseTooFewDataBytes, {}};
  if (writeProtected_) return {kResponseWriteProtected, {}};
  std::copy_n(request.begin(), stored.size(), stored.begin());
  configurationChanged();
  return {kResponseOk, std::vector<uint8_t>(stored.begin(), stored.end())};
}

HartInstrument::Outcome HartInstrument::execute(uint8_t command, std::span<const uint8_t> request, size_t master,
                                                double seconds) {
  Outcome out;
  std::vector<uint8_t>& data = out.data;
  const HartReading now = reading(seconds);
  const bool hart5 = identity_.universalRevision < kHartRevision6;
  switch (command) {
    case 0:
      data = {kExpandedDeviceType,
              identity_.manufacturerId,
              identity_.deviceType,
              identity_.preambles,
              identity_.universalRevision,
              kDeviceRevision,
              kSoftwareRevision,
              kHardwareRevisionFsk,
              0,  // flags
              static_cast<uint8_t>(identity_.deviceId >> 16),
              static_cast<uint8_t>(identity_.deviceId >> 8),
              static_cast<uint8_t>(identity_.deviceId)};
      if (!hart5) {
        data.insert(data.end(), {identity_.preambles,  // preambles in its replies
                                 kLastDeviceVariable, static_cast<uint8_t>(configChangeCounter_ >> 8),
                                 static_cast<uint8_t>(configChangeCounter_), extendedStatus_});
      }
      if (identity_.universalRevision >= kHartRevision7) {
        data.insert(data.end(),
                    {0, identity_.manufacturerId, 0, identity_.manufacturerId, kDeviceProfileProcessAutomation});
      }
      break;
    case 1:
      data.push_back(now.variables[0].unitCode);
      appendFloat(data, now.variables[0].value);
      break;
    case 2:
      appendFloat(data, now.loopCurrentMa);
      appendFloat(data, now.percentOfRange);
      break;
    case 3:
      appendFloat(data, now.loopCurrentMa);
      for (const HartVariable& v : now.variables) {
        data.push_back(v.unitCode);
        appendFloat(data, v.value);
      }
      break;
    case 6:
      // From HART 7 a second byte sets the loop current mode (0 parked,
      // 1 following); without it the address decides, as before HART 7.
      if (request.empty()) {
        out.response = kResponseTooFewDataBytes;
      } else if (request[0] > maxPollingAddress()) {
        out.response = kResponseInvalidSelection;
      } else if (request.size() > 1 && request[1] > 1) {
        out.response = kResponseInvalidModeSelection;
      } else if (writeProtected_) {
        out.response = kResponseWriteProtected;
      } else {
        identity_.pollingAddress = request[0];
        loopCurrentEnabled_ = request.size() > 1 ? request[1] == 1 : request[0] == 0;
        configurationChanged();
        data.assign(request.begin(),
                    request.begin() + static_cast<std::ptrdiff_t>(std::min<size_t>(request.size(), 2)));
      }
      break;
    case 12:
      appendBytes(data, message_);
      break;
    case 13:
      appendBytes(data, tagDescriptorDate_);
      break;
    case 15:
      data = {alarmSelection_, transferFunction_, kHartUnitCubicMetresPerHour};
      appendFloat(data, upperRange_);
      appendFloat(data, lowerRange_);
      appendFloat(data, dampingSeconds_);
      data.insert(data.end(),
                  {static_cast<uint8_t>(writeProtected_ ? 1 : 0), kCommand15Reserved, kAnalogChannelIsOutput});
      break;
    case 17:
      out = write(request, message_);
      break;
    case 18:
      out = write(request, tagDescriptorDate_);
      break;
    case 20:
      if (hart5)
        out.response = kResponseNotImplemented;
      else
        appendBytes(data, longTag_);
      break;
    case 38:
      // HART 7 sends the counter the master last read: a stale one is refused.
      if (request.size() == 1) {
        out.response = kResponseTooFewDataBytes;
      } else if (request.size() >= kCounterBytes && (request[0] << 8 | request[1]) != configChangeCounter_) {
        out.response = kResponseCounterMismatch;
      } else {
        configChanged_[master] = false;
        data.assign(request.begin(),
                    request.begin() + static_cast<std::ptrdiff_t>(std::min(request.size(), kCounterBytes)));
      }
      break;
    case 48:
      if (hart5) {
        data.assign(kCommand48BytesHart5, 0);
        break;
      }
      data.assign(kCommand48Bytes, 0);
      data[kCommand48ExtendedStatusAt] = extendedStatus_;
      data[kCommand48SaturatedAt] = now.saturated ? 0x01 : 0x00;
      break;
    default:
      out.response = kResponseNotImplemented;
      break;
  }
  // An error carries no data.
  if (out.response != kResponseOk && !isHartWarning(out.response)) data.clear();
  return out;
}

std::optional<std::vector<uint8_t>> HartInstrument::handle(std::span<const uint8_t> frame, double seconds) {
  if (frame.empty()) return std::nullopt;
  const bool longFrame = frame[0] == kHartLongRequest;
  if (!longFrame && frame[0] != kHartShortRequest) return std::nullopt;
  const size_t addressLength = longFrame ? 5 : 1;
  const size_t header = 1 + addressLength + 2;  // delimiter, address, command, byte count
  if (frame.size() < header + 1) return std::nullopt;
  const uint8_t byteCount = frame[header - 1];
  if (frame.size() != header + byteCount + 1) return std::nullopt;
  if (!addressedBy(frame, longFrame)) return std::nullopt;

  const uint8_t command = frame[header - 2];
  const size_t master = (frame[1] & 0x80) ? 1 : 0;
  Outcome out;
  const bool injected = faults_.response != 0 && faults_.responseOn.contains(command);
  if (hartCheckByte(frame.first(frame.size() - 1)) != frame.back()) {
    // Addressed to it but garbled: nothing is done, the error is said.
    out.response = kCommunicationError | kLongitudinalParityError;
  } else if (injected && !isHartWarning(faults_.response)) {
    out.response = faults_.response;  // refused before anything is done
  } else {
    out = execute(command, frame.subspan(header, byteCount), master, seconds);
    if (injected && out.response == kResponseOk) out.response = faults_.response;
  }
  // After a communication error the second byte is no status.
  const uint8_t status = (out.response & kCommunicationError) ? 0 : fieldDeviceStatus(master, seconds);

  std::vector<uint8_t> reply(identity_.preambles, kHartPreamble);
  const size_t start = reply.size();
  reply.push_back(longFrame ? kHartLongReply : kHartShortReply);
  // The address comes back as sent: master bit kept, burst bit clear.
  for (size_t i = 0; i < addressLength; ++i)
    reply.push_back(i == 0 ? static_cast<uint8_t>(frame[1] & 0xBF) : frame[1 + i]);
  reply.push_back(command);
  reply.push_back(static_cast<uint8_t>(out.data.size() + 2));
  reply.push_back(out.response);
  reply.push_back(status);
  reply.insert(reply.end(), out.data.begin(), out.data.end());
  reply.push_back(hartCheckByte(std::span(reply).subspan(start)));
  if (faults_.badCheckOn.contains(command)) reply.back() ^= 0xFF;
  return reply;
}

}  // namespace tq::sim
