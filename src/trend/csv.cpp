#include "trend/csv.h"

#include <algorithm>
#include <charconv>

#include "common/text.h"

namespace tq::trend {

namespace {

// The shortest text that reads back as the same single.
std::string valueText(float value) {
  char buffer[32];
  const auto end = std::to_chars(buffer, buffer + sizeof buffer, value).ptr;
  return std::string(buffer, end);
}

}  // namespace

std::vector<CsvColumn> csvColumns(const PointStore& store, size_t first, size_t last) {
  std::vector<CsvColumn> columns;
  for (size_t v = 0; v < kVariableCount; ++v) {
    std::vector<uint8_t> units;
    for (size_t i = first; i < last; ++i) {
      const Point& p = store.at(i);
      if (p.has(v) && std::find(units.begin(), units.end(), p.units[v]) == units.end()) units.push_back(p.units[v]);
    }
    if (units.empty()) columns.push_back({v, false, 0});
    for (uint8_t u : units) columns.push_back({v, true, u});
  }
  return columns;
}

void writeCsv(std::ostream& out, const PointStore& store, size_t first, size_t last,
              const std::function<std::string(int64_t)>& timeText,
              const std::function<std::string(uint8_t)>& unitText) {
  last = std::min(last, store.size());
  const std::vector<CsvColumn> columns = csvColumns(store, first, last);
  out << "Time";
  for (const CsvColumn& c : columns) {
    std::string heading(kVariableNames[c.variable]);
    if (c.hasUnit) heading += " (" + unitText(c.unit) + ")";
    out << ',' << csvField(heading);
  }
  out << '\n';
  for (size_t i = first; i < last; ++i) {
    const Point& p = store.at(i);
    out << csvField(timeText(p.ms));
    for (const CsvColumn& c : columns) {
      out << ',';
      if (c.hasUnit && p.hasIn(c.variable, c.unit)) out << valueText(p.values[c.variable]);
    }
    out << '\n';
  }
}

}  // namespace tq::trend
