#pragma once
#include <sys/resource.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "serial/comm_threads.h"

namespace tq::bench {

inline double processCpuMs() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

inline double nowMs() { return serial::monotonicNs() / 1e6; }

inline double percentile(std::vector<double> v, double p) {
  if (v.empty()) return 0;
  std::sort(v.begin(), v.end());
  const auto i = static_cast<size_t>(p / 100.0 * double(v.size() - 1) + 0.5);
  return v[std::min(i, v.size() - 1)];
}

}  // namespace tq::bench
