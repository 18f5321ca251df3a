#include "trend/relay_limits.h"

#include <charconv>
#include <cmath>

namespace tq::trend {

std::string RelayLimit::label() const {
  return "Relay " + std::to_string(relay) + " (" + (upper ? "upper" : "lower") + " limit" +
         (alarmOn ? "" : ", alarm closed") + ")";
}

std::vector<RelayLimit> relayLimits(const std::function<std::string(int relay, bool limit)>& text) {
  std::vector<RelayLimit> out;
  for (size_t i = 0; i < kRelayCount; ++i) {
    const int relay = static_cast<int>(i + 1);
    const std::string limit = text(relay, true);
    double value = 0;
    const auto [end, error] = std::from_chars(limit.data(), limit.data() + limit.size(), value);
    if (limit.empty() || error != std::errc() || end != limit.data() + limit.size() || !std::isfinite(value)) continue;
    out.push_back({relay, value, i < kUpperLimitRelays, text(relay, false).rfind('1', 0) == 0});
  }
  return out;
}

}  // namespace tq::trend
