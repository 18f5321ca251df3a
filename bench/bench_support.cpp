#include "bench_support.h"

#include <dirent.h>
#include <malloc.h>
#include <sys/resource.h>
#include <sys/utsname.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace tq::bench {

namespace {

std::string fileText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

}  // namespace

double processCpuMs() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1e3 + (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e3;
}

int64_t nowNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

double percentile(std::vector<double> samples, double p) {
  if (samples.empty()) return 0;
  std::sort(samples.begin(), samples.end());
  const auto rank = static_cast<size_t>(std::ceil(p / 100.0 * static_cast<double>(samples.size())));
  return samples[std::clamp<size_t>(rank, 1, samples.size()) - 1];
}

std::string summary(const std::vector<double>& samples, const char* unit, int decimals) {
  char line[160];
  std::snprintf(line, sizeof line, "p50 %.*f  p99 %.*f  max %.*f %s  (n %zu)", decimals, percentile(samples, 50),
                decimals, percentile(samples, 99), decimals, percentile(samples, 100), unit, samples.size());
  return line;
}

std::string loadAverage() {
  std::istringstream in(fileText("/proc/loadavg"));
  std::string one, five, fifteen;
  in >> one >> five >> fifteen;
  return one + " " + five + " " + fifteen;
}

std::string loadNote() { return "load " + loadAverage(); }

long heapInUseKb() {
  const struct mallinfo2 m = ::mallinfo2();
  return static_cast<long>((m.uordblks + m.hblkhd) / 1024);
}

long contextSwitches() {
  rusage u{};
  ::getrusage(RUSAGE_SELF, &u);
  return u.ru_nvcsw + u.ru_nivcsw;
}

std::string machineNote() {
  std::string model = "unknown CPU";
  std::istringstream cpuinfo(fileText("/proc/cpuinfo"));
  for (std::string line; std::getline(cpuinfo, line);) {
    if (line.rfind("model name", 0) == 0 && line.find(':') != std::string::npos) {
      model = line.substr(line.find(':') + 2);
      break;
    }
  }
  utsname u{};
  ::uname(&u);
  return std::to_string(::sysconf(_SC_NPROCESSORS_ONLN)) + " cores, " + model + ", kernel " + u.release;
}

}  // namespace tq::bench
