#include "trend/relay_limits.h"

#include <charconv>
#include <cmath>

namespace tq::trend {

std::string RelayLimit::label() const {
  return "Relay " + std::to_string(relay) + " (" + (upper ? "upper" : "lower") + " limit" +
         (alarmOn ? "" : ", alarm closed") + ")";
}

std::vector<RelayLimit> relayLimits(const std::array<std::string, kRelayCount>& limits,
                                    const std::array<std::string, kRelayCount>& enables) {
  std::vector<RelayLimit> out;
  for (size_t i = 0; i < kRelayCount; ++i) {
    const std::string& text = limits[i];
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) continue;
    out.push_back({static_cast<int>(i + 1), value, i < kUpperLimitRelays, enables[i].rfind('1', 0) == 0});
  }
  return out;
}

}  // namespace tq::trend
