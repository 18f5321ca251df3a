#pragma once
// The relays' alarm limits as the trend draws them: a horizontal line on
// the primary variable for each relay whose limit reads as a number, as
// the relay page or the module record last read it.
#include <functional>
#include <string>
#include <vector>

namespace tq::trend {

inline constexpr size_t kRelayCount = 4;
// Relays 1 and 2 trip above their limit, relays 3 and 4 below it.
inline constexpr size_t kUpperLimitRelays = 2;

struct RelayLimit {
  int relay = 1;  // 1 .. 4
  double value = 0;
  bool upper = true;
  bool alarmOn = false;  // the alarm enable is "1 Open"
  // "Relay 1 (upper limit)", "Relay 3 (lower limit, alarm closed)".
  std::string label() const;
  bool operator==(const RelayLimit&) const = default;
};

// From each relay's limit text (AD1BH .. AD4BH, "100.0") and alarm enable
// text (AD1COM .. AD4COM, "1 Open"), as `text(relay 1 .. 4, limit or
// not)` gives them; a limit that is not a number (empty, "1,5", "abc")
// draws nothing.
std::vector<RelayLimit> relayLimits(const std::function<std::string(int relay, bool limit)>& text);

}  // namespace tq::trend
