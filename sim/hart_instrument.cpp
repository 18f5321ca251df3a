#include "hart_instrument.h"

#include <bit>
#include <cmath>
#include <numbers>

namespace tq::sim {

namespace {

// HART response codes (first status byte) used here.
constexpr uint8_t kResponseOk = 0;
constexpr uint8_t kResponseInvalidSelection = 2;
constexpr uint8_t kResponseTooFewDataBytes = 5;
constexpr uint8_t kResponseNotImplemented = 64;
// Field device status bit: configuration changed.
constexpr uint8_t kStatusConfigChanged = 0x40;

constexpr uint8_t kUnitCubicMetresPerHour = 19;
constexpr uint8_t kUnitDegreesCelsius = 32;
constexpr uint8_t kUnitBar = 7;
constexpr uint8_t kUnitCubicMetres = 43;

constexpr double kFlowRangeM3h = 100.0;  // 4..20 mA spans 0..100 m3/h
constexpr float kMultidropCurrentMa = 4.0f;

void appendFloat(std::vector<uint8_t>& out, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

}  // namespace

uint8_t hartCheckByte(std::span<const uint8_t> bytes) {
  uint8_t check = 0;
  for (uint8_t b : bytes) check ^= b;
  return check;
}

HartInstrument::HartInstrument(HartIdentity identity) : identity_(identity) {}

HartReading HartInstrument::reading(double seconds) const {
  using std::numbers::pi;
  const double flow = 50.0 + 20.0 * std::sin(2 * pi * seconds / 60.0);
  const double temperature = 21.5 + 4.0 * std::sin(2 * pi * seconds / 300.0);
  const double pressure = 1.6 + 0.25 * std::sin(2 * pi * seconds / 45.0 + 1.0);
  // Integral of the flow above, so the totaliser never runs backwards.
  const double totalM3 = 1000.0 + (50.0 * seconds + 20.0 * 60.0 / (2 * pi) * (1.0 - std::cos(2 * pi * seconds / 60.0))) / 3600.0;
  const double percent = 100.0 * flow / kFlowRangeM3h;
  // In multidrop (polling address other than 0) the loop current is parked.
  const double current = identity_.pollingAddress == 0 ? 4.0 + 16.0 * percent / 100.0 : kMultidropCurrentMa;
  return HartReading{static_cast<float>(current),
                     static_cast<float>(percent),
                     {HartVariable{kUnitCubicMetresPerHour, static_cast<float>(flow)},
                      HartVariable{kUnitDegreesCelsius, static_cast<float>(temperature)},
                      HartVariable{kUnitBar, static_cast<float>(pressure)},
                      HartVariable{kUnitCubicMetres, static_cast<float>(totalM3)}}};
}

bool HartInstrument::addressedBy(std::span<const uint8_t> frame, bool longFrame) const {
  if (!longFrame) return (frame[1] & 0x3F) == identity_.pollingAddress;
  return (frame[1] & 0x3F) == (identity_.manufacturerId & 0x3F) && frame[2] == identity_.deviceType &&
         frame[3] == ((identity_.deviceId >> 16) & 0xFF) && frame[4] == ((identity_.deviceId >> 8) & 0xFF) &&
         frame[5] == (identity_.deviceId & 0xFF);
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
  if (hartCheckByte(frame.first(frame.size() - 1)) != frame.back()) return std::nullopt;
  if (!addressedBy(frame, longFrame)) return std::nullopt;

  const uint8_t command = frame[header - 2];
  const auto requestData = frame.subspan(header, byteCount);
  uint8_t responseCode = kResponseOk;
  std::vector<uint8_t> data;
  const HartReading now = reading(seconds);
  switch (command) {
    case 0:
      data = {254,
              identity_.manufacturerId,
              identity_.deviceType,
              identity_.preambles,
              5,     // universal command revision
              1,     // device revision
              1,     // software revision
              0x10,  // hardware revision 2, FSK signalling
              0,     // flags
              static_cast<uint8_t>(identity_.deviceId >> 16),
              static_cast<uint8_t>(identity_.deviceId >> 8),
              static_cast<uint8_t>(identity_.deviceId)};
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
      if (requestData.empty()) {
        responseCode = kResponseTooFewDataBytes;
      } else if (requestData[0] > kHartMaxPollingAddress) {
        responseCode = kResponseInvalidSelection;
      } else {
        identity_.pollingAddress = requestData[0];
        configChangedFlag_ = kStatusConfigChanged;
        data.push_back(identity_.pollingAddress);
      }
      break;
    default:
      responseCode = kResponseNotImplemented;
      break;
  }

  std::vector<uint8_t> reply(identity_.preambles, kHartPreamble);
  const size_t start = reply.size();
  reply.push_back(longFrame ? kHartLongReply : kHartShortReply);
  // The address comes back as sent: master bit kept, burst bit clear.
  for (size_t i = 0; i < addressLength; ++i) reply.push_back(i == 0 ? static_cast<uint8_t>(frame[1] & 0xBF) : frame[1 + i]);
  reply.push_back(command);
  reply.push_back(static_cast<uint8_t>(data.size() + 2));
  reply.push_back(responseCode);
  reply.push_back(configChangedFlag_);
  reply.insert(reply.end(), data.begin(), data.end());
  reply.push_back(hartCheckByte(std::span(reply).subspan(start)));
  return reply;
}

}  // namespace tq::sim
