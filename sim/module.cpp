#include "module.h"

#include <cmath>
#include <string_view>

#include "config_protocol.h"

namespace tq::sim {

Module::Module(ModuleSettings settings, HartIdentity identity)
    : Module(std::move(settings), {HartInstrument(identity)}) {}

Module::Module(ModuleSettings settings, std::vector<HartInstrument> instruments)
    : settings_(std::move(settings)), instruments_(std::move(instruments)) {
  if (instruments_.empty()) instruments_.emplace_back();
}

const HartInstrument* Module::instrumentAt(int pollingAddress) const {
  for (const HartInstrument& instrument : instruments_)
    if (instrument.identity().pollingAddress == pollingAddress) return &instrument;
  return nullptr;
}

std::optional<DeviceValues> Module::deviceValues(int device, double seconds) const {
  if (device < 0 || device >= deviceCount(settings_)) return std::nullopt;
  if (!settings_.devices[static_cast<size_t>(device)].enabled) return std::nullopt;
  const HartInstrument* instrument = instrumentAt(device);
  if (!instrument) return std::nullopt;
  // The module holds what it read at its last poll of the instrument.
  const double interval = settings_.instrumentInterval * kIntervalUnitSeconds;
  const double polledAt = interval > 0 ? std::floor(seconds / interval) * interval : seconds;
  const HartReading reading = instrument->reading(polledAt);
  DeviceValues values{reading.loopCurrentMa, {}};
  for (size_t v = 0; v < values.variables.size(); ++v) values.variables[v] = reading.variables[v].value;
  return values;
}

std::vector<uint16_t> Module::registers(double seconds) const {
  std::vector<std::optional<DeviceValues>> devices;
  for (int n = 0; n < deviceCount(settings_); ++n) devices.push_back(deviceValues(n, seconds));
  return registerImage(settings_, devices);
}

std::optional<std::vector<uint8_t>> Module::answer(const ScanResult& scan, std::span<const uint8_t> frame,
                                                   double seconds) {
  auto bytesOf = [](std::string_view text) { return std::vector<uint8_t>(text.begin(), text.end()); };
  if (scan.status == ScanStatus::kIncomplete) return bytesOf(kIncompleteReply);
  if (scan.status != ScanStatus::kFrame) return std::nullopt;
  switch (scan.kind) {
    case FrameKind::kConfig: {
      PolledVariables variables;
      if (const auto values = deviceValues(0, seconds)) variables = values->variables;
      const std::string_view text(reinterpret_cast<const char*>(frame.data()), frame.size());
      return bytesOf(handleConfigFrame(settings_, text, variables));
    }
    case FrameKind::kHart:
      // Addresses on a loop are distinct: at most one instrument answers.
      for (HartInstrument& instrument : instruments_)
        if (auto reply = instrument.handle(frame.subspan(scan.preambles), seconds)) return reply;
      return std::nullopt;
    case FrameKind::kModbus: {
      const auto image = registers(seconds);
      return handleModbusRequest(frame, static_cast<uint8_t>(settings_.slaveAddress), image);
    }
  }
  return std::nullopt;
}

}  // namespace tq::sim
