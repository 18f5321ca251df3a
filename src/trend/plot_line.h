#pragma once
// A variable's line as the chart draws it: no more than two points per
// pixel column, the smallest and the largest value of the column in the
// order they came, so a spike of one poll in a day of them still shows.
// The line breaks where a poll brought no value (no answer, a reply not to
// be trusted, polling paused, the variable missing or in another unit);
// a column holding such a break keeps its values apart, so even a single
// lost poll leaves a visible gap at any zoom.
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

}  // namespace tq::trend
