#include "trend/point_store.h"

#include <algorithm>

namespace tq::trend {

bool PointStore::add(const Point& point) {
  if (!points_.empty() && point.ms < points_.back().ms) return false;
  points_.push_back(point);
  gaps_ += point.gap();
  while (points_.size() > maxPoints_ || point.ms - points_.front().ms > keptSpanMs_) {
    gaps_ -= points_.front().gap();
    points_.pop_front();
    ++dropped_;
  }
  return true;
}

std::pair<size_t, size_t> PointStore::range(int64_t fromMs, int64_t toMs) const {
  const auto first =
      std::lower_bound(points_.begin(), points_.end(), fromMs, [](const Point& p, int64_t ms) { return p.ms < ms; });
  const auto last = std::upper_bound(first, points_.end(), toMs, [](int64_t ms, const Point& p) { return ms < p.ms; });
  return {static_cast<size_t>(first - points_.begin()), static_cast<size_t>(last - points_.begin())};
}

WindowStats statsOf(const PointStore& store, size_t first, size_t last, size_t variable, uint8_t unit) {
  WindowStats s;
  double sum = 0;
  for (size_t i = first; i < last; ++i) {
    const Point& p = store.at(i);
    if (!p.hasIn(variable, unit)) continue;
    const double v = p.values[variable];
    if (s.count == 0) {
      s.min = s.max = v;
    } else {
      s.min = std::min(s.min, v);
      s.max = std::max(s.max, v);
    }
    s.last = v;
    sum += v;
    ++s.count;
  }
  if (s.count > 0) s.mean = sum / static_cast<double>(s.count);
  return s;
}

std::optional<uint8_t> lastUnit(const PointStore& store, size_t first, size_t last, size_t variable) {
  for (size_t i = last; i-- > first;) {
    if (store.at(i).has(variable)) return store.at(i).units[variable];
  }
  return std::nullopt;
}

}  // namespace tq::trend
