#include "trend/plot_line.h"

#include <algorithm>
#include <optional>

namespace tq::trend {

namespace {

// The extremes of one column, each with when it came.
struct Column {
  bool any = false;
  XY low, high;

  void take(const XY& p) {
    if (!any) {
      low = high = p;
      any = true;
      return;
    }
    if (p.value < low.value) low = p;
    if (p.value > high.value) high = p;
  }
  // In the order they came; one point when they are the same.
  void appendTo(std::vector<XY>& run) const {
    if (!any) return;
    if (low.ms == high.ms) {
      run.push_back(low);
    } else if (low.ms < high.ms) {
      run.push_back(low);
      run.push_back(high);
    } else {
      run.push_back(high);
      run.push_back(low);
    }
  }
};

class Runs {
 public:
  explicit Runs(PlotLine& line) : line_(line) {}
  std::vector<XY>& current() { return current_; }
  void end() {
    if (!current_.empty()) line_.runs.push_back(std::move(current_));
    current_.clear();
  }

 private:
  PlotLine& line_;
  std::vector<XY> current_;
};

}  // namespace

size_t PlotLine::points() const {
  size_t n = 0;
  for (const auto& run : runs) n += run.size();
  return n;
}

PlotLine plotLine(const PointStore& store, size_t first, size_t last, size_t variable, uint8_t unit, int64_t fromMs,
                  int64_t toMs, int columns) {
  PlotLine line;
  Runs runs(line);
  columns = std::clamp(columns, 1, kMaxColumns);
  last = std::min(last, store.size());
  if (first >= last) return line;

  if (last - first <= 2 * static_cast<size_t>(columns)) {
    for (size_t i = first; i < last; ++i) {
      const Point& p = store.at(i);
      if (p.hasIn(variable, unit)) {
        runs.current().push_back({p.ms, p.values[variable]});
      } else {
        runs.end();
      }
    }
    runs.end();
    return line;
  }

  const int64_t span = std::max<int64_t>(toMs - fromMs, 1);
  const double columnMs = static_cast<double>(span) / columns;
  auto columnOf = [&](int64_t ms) {
    const int64_t c = (ms - fromMs) * columns / span;
    return std::clamp<int64_t>(c, 0, columns - 1);
  };
  Column column;
  int64_t at = columnOf(store.at(first).ms);
  std::optional<int64_t> lastValueMs;
  bool missedSince = false;  // a poll without the value since the last one with it
  auto closeColumn = [&] {
    column.appendTo(runs.current());
    column = {};
  };
  for (size_t i = first; i < last; ++i) {
    const Point& p = store.at(i);
    if (!p.hasIn(variable, unit)) {
      missedSince = true;
      continue;
    }
    const int64_t c = columnOf(p.ms);
    if (c != at) {
      closeColumn();
      at = c;
    }
    // Values missing for longer than a column: a gap the eye can see.
    if (missedSince && lastValueMs && static_cast<double>(p.ms - *lastValueMs) > columnMs) {
      closeColumn();
      runs.end();
    }
    column.take({p.ms, p.values[variable]});
    lastValueMs = p.ms;
    missedSince = false;
  }
  closeColumn();
  runs.end();
  return line;
}

}  // namespace tq::trend
