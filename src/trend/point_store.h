#pragma once
// The points of the trend: what each poll of the instrument's dynamic
// variables brought, in the order polled, at most a day of them. Pure: the
// poller says when each point was taken.
#include <array>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <string_view>
#include <utility>

namespace tq::trend {

// The loop current, then the four dynamic variables, in the order command 3
// answers them.
inline constexpr size_t kVariableCount = 5;
// As the HART Instrument page names them.
inline constexpr std::array<std::string_view, kVariableCount> kVariableNames = {
    "Loop current", "Primary variable", "Secondary variable", "Tertiary variable", "Quaternary variable"};
// HART's unit code for milliamperes: the loop current's unit.
inline constexpr uint8_t kMilliampereUnit = 39;

inline constexpr int64_t kMsPerMinute = 60'000;
inline constexpr int64_t kMsPerHour = 60 * kMsPerMinute;
// However often the instrument is polled, no point older than this (before
// the newest) is kept.
inline constexpr int64_t kKeptSpanMs = 24 * kMsPerHour;
// The fastest polling interval, and so the most points a day brings.
inline constexpr int64_t kFastestIntervalMs = 500;
inline constexpr size_t kMaxPoints = static_cast<size_t>(kKeptSpanMs / kFastestIntervalMs) + 1;

// Why a point has no values: a poll without answer, a reply not to be
// trusted (a wrong check byte, cut short, a communication error), or polls
// left out while polling was paused or stopped.
enum class Missing : uint8_t { None, NoAnswer, BadReply, NotPolled };

struct Point {
  int64_t ms = 0;  // on the trend's clock (wall time, never running backwards)
  std::array<float, kVariableCount> values{};
  std::array<uint8_t, kVariableCount> units{};  // HART unit codes
  uint8_t present = 0;                          // a bit per variable that the reply carried
  Missing missing = Missing::None;

  bool has(size_t variable) const { return (present >> variable) & 1u; }
  // A poll without answer, or with one that cannot be trusted: the lines
  // break here.
  bool gap() const { return present == 0; }
  // Whether variable `variable` is here in `unit`.
  bool hasIn(size_t variable, uint8_t unit) const { return has(variable) && units[variable] == unit; }

  static Point gapAt(int64_t ms, Missing why) {
    Point p;
    p.ms = ms;
    p.missing = why;
    return p;
  }
};

class PointStore {
 public:
  explicit PointStore(int64_t keptSpanMs = kKeptSpanMs, size_t maxPoints = kMaxPoints)
      : keptSpanMs_(keptSpanMs), maxPoints_(maxPoints) {}

  // Appends `point` and lets go of the points it makes too old or too
  // many. A point older than the newest is refused (false, nothing kept).
  bool add(const Point& point);
  void clear() {
    points_.clear();
    gaps_ = 0;
  }

  size_t size() const { return points_.size(); }
  bool empty() const { return points_.empty(); }
  const Point& at(size_t i) const { return points_[i]; }
  const Point& back() const { return points_.back(); }
  // Positions [first, last) of the points taken within [fromMs, toMs].
  std::pair<size_t, size_t> range(int64_t fromMs, int64_t toMs) const;
  // What the points take in memory, without the container's own overhead.
  size_t bytes() const { return points_.size() * sizeof(Point); }
  // Points let go of since the store was made.
  uint64_t dropped() const { return dropped_; }
  // Of the points kept, those that are gaps.
  size_t gaps() const { return gaps_; }

 private:
  int64_t keptSpanMs_;
  size_t maxPoints_;
  std::deque<Point> points_;
  uint64_t dropped_ = 0;
  size_t gaps_ = 0;
};

// One variable over points [first, last) of a store, in one unit.
struct WindowStats {
  size_t count = 0;                             // points with a value in the unit
  double last = 0, min = 0, max = 0, mean = 0;  // meaningful when count > 0
};
WindowStats statsOf(const PointStore& store, size_t first, size_t last, size_t variable, uint8_t unit);

// The unit the newest point with variable `variable` in [first, last) has
// it in; nullopt when none has it.
std::optional<uint8_t> lastUnit(const PointStore& store, size_t first, size_t last, size_t variable);

}  // namespace tq::trend
