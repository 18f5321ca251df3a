// The trend's points: the day's bound, gaps and units as the lines, the
// figures and the CSV see them.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <sstream>

#include "trend/csv.h"
#include "trend/plot_line.h"
#include "trend/point_store.h"
#include "trend/relay_limits.h"

namespace tq::trend {
namespace {

constexpr uint8_t kBar = 7;
constexpr uint8_t kKpa = 12;

// A poll that brought the loop current and the primary variable in `unit`.
Point polled(int64_t ms, float current, float primary, uint8_t unit = kBar) {
  Point p;
  p.ms = ms;
  p.values[0] = current;
  p.units[0] = kMilliampereUnit;
  p.values[1] = primary;
  p.units[1] = unit;
  p.present = 0b11;
  return p;
}

std::vector<std::vector<float>> valuesOf(const PlotLine& line) {
  std::vector<std::vector<float>> out;
  for (const auto& run : line.runs) {
    out.emplace_back();
    for (const XY& p : run) out.back().push_back(p.value);
  }
  return out;
}

TEST(PointStore, KeepsADayAndNoMoreWhateverTheIntervalAndRefusesTimeGoingBack) {
  struct Case {
    const char* name;
    int64_t intervalMs;
    size_t polls;
    size_t maxPoints;
    size_t kept;
  };
  const Case cases[] = {
      {"every second for 25 h", 1000, 25 * 3600, kMaxPoints, 24 * 3600 + 1},
      {"the fastest for 25 h", kFastestIntervalMs, 25 * 7200, kMaxPoints, kMaxPoints},
      {"an hour's interval for two days", 3600'000, 48, kMaxPoints, 25},
      // A clock that jumps cannot push the count past the bound.
      {"count bound before the span", 1, 1000, 100, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    PointStore store(kKeptSpanMs, c.maxPoints);
    // Every seventh poll unanswered: the gaps counted follow the points kept.
    for (size_t i = 0; i < c.polls; ++i) {
      const int64_t ms = static_cast<int64_t>(i) * c.intervalMs;
      store.add(i % 7 == 3 ? Point::gapAt(ms, Missing::NoAnswer) : polled(ms, 4, 1));
    }
    EXPECT_EQ(store.size(), c.kept);
    EXPECT_LE(store.back().ms - store.at(0).ms, kKeptSpanMs);
    EXPECT_EQ(store.dropped(), c.polls - c.kept);
    size_t gaps = 0;
    for (size_t i = 0; i < store.size(); ++i) gaps += store.at(i).gap();
    EXPECT_EQ(store.gaps(), gaps);
    store.clear();
    EXPECT_EQ(store.gaps(), 0u);
  }
  PointStore store;
  ASSERT_TRUE(store.add(polled(5000, 4, 1)));
  EXPECT_FALSE(store.add(polled(4999, 4, 1)));
  EXPECT_EQ(store.size(), 1u);
}

TEST(PointStore, StatsCoverTheWindowInTheUnitAskedAndPassOverGaps) {
  PointStore store;
  store.add(polled(0, 4, 10));
  store.add(Point::gapAt(1000, Missing::NoAnswer));
  store.add(polled(2000, 8, 30));
  store.add(polled(3000, 12, 999, kKpa));  // another unit: not counted in bar
  store.add(polled(4000, 6, 20));
  const auto [first, last] = store.range(1000, 4000);
  EXPECT_EQ(first, 1u);
  EXPECT_EQ(last, 5u);

  const WindowStats bar = statsOf(store, first, last, 1, kBar);
  EXPECT_EQ(bar.count, 2u);
  EXPECT_DOUBLE_EQ(bar.last, 20);
  EXPECT_DOUBLE_EQ(bar.min, 20);
  EXPECT_DOUBLE_EQ(bar.max, 30);
  EXPECT_DOUBLE_EQ(bar.mean, 25);
  const WindowStats current = statsOf(store, 0, store.size(), 0, kMilliampereUnit);
  EXPECT_EQ(current.count, 4u);
  EXPECT_DOUBLE_EQ(current.mean, 7.5);
  EXPECT_EQ(statsOf(store, 0, store.size(), 2, kBar).count, 0u) << "the secondary variable never came";
  EXPECT_EQ(lastUnit(store, 0, 4, 1), kKpa);
  EXPECT_EQ(lastUnit(store, 0, 5, 2), std::nullopt);
}

TEST(PlotLine, FewPointsPassAsTheyAreAndEveryBreakEndsARun) {
  PointStore store;
  store.add(polled(0, 4, 1));
  store.add(polled(1000, 5, 2));
  store.add(Point::gapAt(2000, Missing::NoAnswer));
  store.add(polled(3000, 6, 3));
  store.add(Point::gapAt(4000, Missing::BadReply));
  store.add(polled(5000, 7, 4, kKpa));
  store.add(polled(6000, 8, 5));
  const PlotLine line = plotLine(store, 0, store.size(), 1, kBar, 0, 6000, 100);
  EXPECT_EQ(valuesOf(line), (std::vector<std::vector<float>>{{1, 2}, {3}, {5}}));
  EXPECT_EQ(valuesOf(plotLine(store, 0, store.size(), 0, kMilliampereUnit, 0, 6000, 100)),
            (std::vector<std::vector<float>>{{4, 5}, {6}, {7, 8}}));
}

// A day at one point a second reduced to a chart's width keeps every
// spike within two points a column; five minutes without answers break the
// line, one lost poll (narrower than a column) does not, but shows in a
// minute's view.
TEST(PlotLine, ADayReducedToTheChartsWidthKeepsItsExtremesAndItsVisibleGaps) {
  PointStore store;
  constexpr int64_t kDayPolls = 24 * 3600;
  constexpr int kColumns = 1000;
  for (int64_t i = 0; i < kDayPolls; ++i) {
    if (i == 10'000 || (i >= 50'000 && i < 50'300)) {
      store.add(Point::gapAt(i * 1000, Missing::NoAnswer));
      continue;
    }
    const float spike = i == 12'345 ? 900.f : i == 70'001 ? -900.f : 0.f;
    store.add(polled(i * 1000, 12, static_cast<float>(std::sin(i / 500.0)) + spike));
  }
  const PlotLine line = plotLine(store, 0, store.size(), 1, kBar, 0, (kDayPolls - 1) * 1000, kColumns);
  EXPECT_LE(line.points(), kMaxPointsPerColumn * kColumns);
  ASSERT_EQ(line.runs.size(), 2u) << "only the five minutes break the line";
  EXPECT_LT(line.runs[0].back().ms, 50'000 * 1000);
  EXPECT_GE(line.runs[1].front().ms, 50'300 * 1000);
  float low = 0, high = 0;
  for (const auto& run : line.runs) {
    for (const XY& p : run) {
      low = std::min(low, p.value);
      high = std::max(high, p.value);
    }
    EXPECT_TRUE(std::is_sorted(run.begin(), run.end(), [](const XY& a, const XY& b) { return a.ms < b.ms; }));
  }
  EXPECT_GT(high, 899.f);
  EXPECT_LT(low, -899.f);

  const auto [first, last] = store.range(9'970'000, 10'030'000);
  EXPECT_EQ(plotLine(store, first, last, 1, kBar, 9'970'000, 10'030'000, kColumns).runs.size(), 2u)
      << "the lost poll in a minute's view";
}

TEST(Csv, TheHeaderNamesEachVariableWithItsUnitAndAChangedUnitGetsItsOwnColumn) {
  PointStore store;
  store.add(polled(0, 4.5f, 1.25f));
  store.add(Point::gapAt(1000, Missing::NoAnswer));
  store.add(polled(2000, 20, 130, kKpa));
  std::ostringstream out;
  writeCsv(
      out, store, 0, store.size(), [](int64_t ms) { return "t" + std::to_string(ms); },
      [](uint8_t unit) { return unit == kBar   ? std::string("bar")
                                : unit == kKpa ? "kPa"
                                               : "mA"; });
  EXPECT_EQ(out.str(),
            "Time,Loop current (mA),Primary variable (bar),Primary variable (kPa),Secondary variable,"
            "Tertiary variable,Quaternary variable\n"
            "t0,4.5,1.25,,,,\n"
            "t1000,,,,,,\n"
            "t2000,20,,130,,,\n");
}

TEST(RelayLimits, ALimitThatReadsAsANumberIsDrawnWithItsRelaysNameAndSide) {
  const std::array<std::string, kRelayCount> texts = {"100.0", "1,5", "-0.250", ""};
  const std::array<std::string, kRelayCount> enables = {"1 Open", "1 Open", "0 Close", "1 Open"};
  const std::vector<RelayLimit> limits =
      relayLimits([&](int relay, bool limit) { return (limit ? texts : enables)[static_cast<size_t>(relay - 1)]; });
  ASSERT_EQ(limits.size(), 2u) << "a comma or an empty edit draws nothing";
  EXPECT_EQ(limits[0], (RelayLimit{1, 100.0, true, true}));
  EXPECT_EQ(limits[0].label(), "Relay 1 (upper limit)");
  EXPECT_EQ(limits[1], (RelayLimit{3, -0.25, false, false}));
  EXPECT_EQ(limits[1].label(), "Relay 3 (lower limit, alarm closed)");
}

}  // namespace
}  // namespace tq::trend
