#pragma once
// The trend's points as CSV: the time, then a column per variable headed
// with its name and unit ("Primary variable (m3/h)"). A variable whose unit
// changed while it was polled gets a column per unit, so no value is ever
// written under another unit's heading. A poll without values is a row
// with the time alone.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "trend/point_store.h"

namespace tq::trend {

struct CsvColumn {
  size_t variable = 0;
  bool hasUnit = false;  // false: the variable never came
  uint8_t unit = 0;
  bool operator==(const CsvColumn&) const = default;
};

// The columns after the time for points [first, last): the variables in
// order, each unit in the order it first came.
std::vector<CsvColumn> csvColumns(const PointStore& store, size_t first, size_t last);

// `timeText` writes a point's time, `unitText` a unit code's name.
void writeCsv(std::ostream& out, const PointStore& store, size_t first, size_t last,
              const std::function<std::string(int64_t ms)>& timeText,
              const std::function<std::string(uint8_t unit)>& unitText);

}  // namespace tq::trend
