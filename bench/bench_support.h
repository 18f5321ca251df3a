#pragma once
// What every benchmark needs: clocks, percentiles, the machine's load, and
// this process's heap and wake-ups (resident memory, descriptors and
// threads: support/process_stats.h).
#include <cstdint>
#include <string>
#include <vector>

namespace tq::bench {

// CPU time of the whole process (every thread), in ms.
double processCpuMs();
// CLOCK_MONOTONIC, the clock the serial component and Python's
// time.monotonic_ns() use, so figures from both compare.
int64_t nowNs();
inline double nowMs() { return static_cast<double>(nowNs()) / 1e6; }

// Nearest-rank percentile: the smallest sample with at least p % of the
// samples at or below it, so p99 of 100 samples is the second largest and
// p99 of fewer than 100 is the largest. 0 for no samples.
double percentile(std::vector<double> samples, double p);
// "p50 0.281  p99 0.770  max 1.204 ms  (n 200)".
std::string summary(const std::vector<double>& samples, const char* unit = "ms", int decimals = 3);

// The three load averages of /proc/loadavg, e.g. "0.52 0.61 0.70".
std::string loadAverage();
// "load 0.52 0.61 0.70", to end a figure's line with.
std::string loadNote();

// Bytes this process has allocated and not freed (the C heap, all arenas):
// beside the resident memory it tells a leak from a heap that keeps pages.
long heapInUseKb();
// Context switches (voluntary and not) of all this process's threads, ended
// ones included: each voluntary one is a thread going to sleep, so the
// count grows by one per wake-up of an idle thread.
long contextSwitches();

// The machine, for the figures' heading: cores, CPU model, kernel.
std::string machineNote();

}  // namespace tq::bench
