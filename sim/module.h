#pragma once
// The TQ580-N module as seen from the serial line: configuration protocol,
// HART pass-through to the instruments on its loop, and MODBUS RTU slave.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "framer.h"
#include "hart_instrument.h"
#include "modbus_slave.h"
#include "module_settings.h"

namespace tq::sim {

// The instrument communication interval ("JTM") counts in 10 ms.
inline constexpr double kIntervalUnitSeconds = 0.01;
// The communication delay ("XY" = 1) before each answer.
inline constexpr int64_t kCommunicationDelayUs = 100'000;

class Module {
 public:
  explicit Module(ModuleSettings settings = factorySettings(), HartIdentity identity = {});
  // Several instruments on the loop (multidrop); at least one.
  Module(ModuleSettings settings, std::vector<HartInstrument> instruments);

  // The answer to one scanned frame (kFrame or kIncomplete), or nothing.
  // `seconds` is the time since power-up, for the instrument's values.
  std::optional<std::vector<uint8_t>> answer(const ScanResult& scan, std::span<const uint8_t> frame, double seconds);

  // Device n's values as the module polls them: n within the unit count,
  // the device enabled, and an instrument at polling address n. Values
  // change only at each poll, every instrument communication interval.
  std::optional<DeviceValues> deviceValues(int device, double seconds) const;
  std::vector<uint16_t> registers(double seconds) const;

  ModuleSettings& settings() { return settings_; }
  const ModuleSettings& settings() const { return settings_; }
  // The first instrument on the loop (the only one unless multidrop).
  HartInstrument& instrument() { return instruments_.front(); }
  std::vector<HartInstrument>& instruments() { return instruments_; }

 private:
  const HartInstrument* instrumentAt(int pollingAddress) const;

  ModuleSettings settings_;
  std::vector<HartInstrument> instruments_;
};

}  // namespace tq::sim
