#pragma once
// A variable's line as the chart draws it: no more than two points per
// pixel column, the smallest and the largest value of the column in the
// order they came, so a spike of one poll in a day of them still shows.
// The line breaks where polls brought no value (no answer, a reply not to
// be trusted, polling paused, the variable missing or in another unit) for
// longer than a column: at a day's width one lost poll in a column of 86
// is narrower than a pixel and the line goes on, at a minute's it is a
// gap. No point is ever drawn that no poll brought.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "trend/point_store.h"

namespace tq::trend {

// The most columns a line is reduced to, whatever the chart's width.
inline constexpr int kMaxColumns = 4096;

struct XY {
  int64_t ms = 0;
  float value = 0;
  bool operator==(const XY&) const = default;
};

struct PlotLine {
  // Each run is drawn as one polyline; a run of one point as a dot.
  std::vector<std::vector<XY>> runs;
  size_t points() const;
};

// Variable `variable` in `unit` over points [first, last) of `store`, for
// `columns` pixel columns across [fromMs, toMs]. Points are passed as they
// are while there are no more than two per column.
PlotLine plotLine(const PointStore& store, size_t first, size_t last, size_t variable, uint8_t unit, int64_t fromMs,
                  int64_t toMs, int columns);
// At most this many points per column: the extremes before and after a break.
inline constexpr size_t kMaxPointsPerColumn = 4;

}  // namespace tq::trend
