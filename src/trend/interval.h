#pragma once
// The trend's polling interval in seconds: what TrendInterval offers, the
// poller takes and the window remembers.
namespace tq::trend {

inline constexpr double kFastestSeconds = 0.5;
inline constexpr double kSlowestSeconds = 3600;
inline constexpr double kDefaultSeconds = 1;
inline constexpr int kIntervalDecimals = 1;  // tenths of a second

}  // namespace tq::trend
