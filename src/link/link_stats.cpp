#include "link/link_stats.h"

#include <cctype>
#include <cmath>

namespace tq::link {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;
constexpr double kMedian = 0.5;
constexpr double kP95 = 0.95;
constexpr const char* kDot = " \u00b7 ";

std::string counted(uint64_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

}  // namespace

const char* trafficName(Traffic kind) {
  switch (kind) {
    case Traffic::Configuration:
      return "configuration";
    case Traffic::Hart:
      return "HART";
    case Traffic::Modbus:
      return "MODBUS";
    case Traffic::Other:
      break;
  }
  return "other";
}

void LinkStats::reset() { *this = LinkStats(); }

void LinkStats::sent(Traffic kind, int64_t atNs) {
  noAnswer();
  ++counts_[index(kind)].sent;
  open_ = true;
  openKind_ = kind;
  openNs_ = atNs;
}

void LinkStats::received(int64_t endedNs, bool badCheck) {
  // A block that ended before the frame went out cannot answer it.
  if (!open_ || endedNs < openNs_) return;
  Counts& c = counts_[index(openKind_)];
  ++c.answered;
  if (badCheck) ++c.badChecks;
  const int64_t ms = (endedNs - openNs_ + kNsPerMs / 2) / kNsPerMs;
  ++times_[index(openKind_)][ms];
  open_ = false;
}

void LinkStats::noAnswer() {
  if (!open_) return;
  ++counts_[index(openKind_)].timeOuts;
  open_ = false;
}

LinkStats::Counts LinkStats::counts() const {
  Counts all;
  for (const Counts& c : counts_) {
    all.sent += c.sent;
    all.answered += c.answered;
    all.timeOuts += c.timeOuts;
    all.badChecks += c.badChecks;
  }
  return all;
}

std::optional<int64_t> LinkStats::percentileMs(double fraction, std::optional<Traffic> kind) const {
  std::map<int64_t, uint64_t> merged;
  const std::map<int64_t, uint64_t>* times = nullptr;
  if (kind) {
    times = &times_[index(*kind)];
  } else {
    for (const auto& perKind : times_)
      for (const auto& [ms, n] : perKind) merged[ms] += n;
    times = &merged;
  }
  uint64_t total = 0;
  for (const auto& [ms, n] : *times) total += n;
  if (total == 0) return std::nullopt;
  // The smallest time that at least this many answers did not exceed.
  const auto rank = static_cast<uint64_t>(std::ceil(fraction * static_cast<double>(total)));
  uint64_t seen = 0;
  for (const auto& [ms, n] : *times) {
    seen += n;
    if (seen >= rank) return ms;
  }
  return times->rbegin()->first;
}

std::string LinkStats::textOf(const Counts& c, std::optional<Traffic> kind) const {
  std::string text = std::to_string(c.sent) + " sent" + kDot + std::to_string(c.answered) + " answered" + kDot +
                     counted(c.timeOuts, "time-out", "time-outs") + kDot +
                     counted(c.badChecks, "bad check", "bad checks");
  if (const auto median = percentileMs(kMedian, kind)) {
    text += kDot + std::string("median ") + std::to_string(*median) + " ms" + kDot + "p95 " +
            std::to_string(*percentileMs(kP95, kind)) + " ms";
  }
  return text;
}

std::string LinkStats::text() const { return textOf(counts(), std::nullopt); }

std::string LinkStats::text(Traffic kind) const { return textOf(counts(kind), kind); }

std::string LinkStats::byProtocol() const {
  std::string lines;
  for (Traffic kind : {Traffic::Configuration, Traffic::Hart, Traffic::Modbus, Traffic::Other}) {
    if (kind == Traffic::Other && counts(kind).sent == 0) continue;
    std::string name = trafficName(kind);
    if (kind == Traffic::Configuration || kind == Traffic::Other) name[0] = static_cast<char>(std::toupper(name[0]));
    lines += (lines.empty() ? "" : "\n") + name + ": " + text(kind);
  }
  return lines;
}

}  // namespace tq::link
