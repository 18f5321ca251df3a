// The link's statistics as arithmetic: what counts as answered, a
// time-out or a bad check, the percentiles, the text, and the reset.
#include "link/link_stats.h"

#include <gtest/gtest.h>

namespace tq::link {
namespace {

constexpr int64_t kMs = 1'000'000;

TEST(LinkStats, AnExchangeIsAFrameAndTheFirstBlockEndingAfterIt) {
  using C = LinkStats::Counts;
  struct Case {
    const char* name;
    void (*act)(LinkStats&);
    C counts;
  };
  const Case cases[] = {
      {"answered",
       [](LinkStats& s) {
         s.sent(Traffic::Hart, 0);
         s.received(200 * kMs, false);
       },
       C{1, 1, 0, 0}},
      {"a second block answers nothing more",
       [](LinkStats& s) {
         s.sent(Traffic::Hart, 0);
         s.received(200 * kMs, false);
         s.received(300 * kMs, true);
       },
       C{1, 1, 0, 0}},
      {"a bad check byte is answered and counted",
       [](LinkStats& s) {
         s.sent(Traffic::Hart, 0);
         s.received(1, true);
       },
       C{1, 1, 0, 1}},
      {"its window closed",
       [](LinkStats& s) {
         s.sent(Traffic::Hart, 0);
         s.noAnswer();
         s.noAnswer();
       },
       C{1, 0, 1, 0}},
      {"the next frame went first",
       [](LinkStats& s) {
         s.sent(Traffic::Hart, 0);
         s.sent(Traffic::Hart, 10 * kMs);
         s.received(20 * kMs, false);
       },
       C{2, 1, 1, 0}},
      {"a block that ended before the frame went",
       [](LinkStats& s) {
         s.sent(Traffic::Hart, 50 * kMs);
         s.received(40 * kMs, false);
       },
       C{1, 0, 0, 0}},
      {"a block with nothing sent", [](LinkStats& s) { s.received(40 * kMs, true); }, C{0, 0, 0, 0}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LinkStats stats;
    c.act(stats);
    EXPECT_EQ(stats.counts(), c.counts);
    EXPECT_EQ(stats.counts(Traffic::Hart), c.counts);
    EXPECT_EQ(stats.counts(Traffic::Modbus), C{});
  }
}

TEST(LinkStats, MedianAndP95AreNearestRanksOverEveryProtocolAndEachOne) {
  LinkStats stats;
  int64_t t = 0;
  auto exchange = [&](Traffic kind, int64_t ms) {
    stats.sent(kind, t);
    stats.received(t + ms * kMs, false);
    t += 10'000 * kMs;
  };
  for (int i = 1; i <= 19; ++i) exchange(Traffic::Configuration, 200 + i);  // 201 .. 219
  exchange(Traffic::Configuration, 900);
  exchange(Traffic::Hart, 400);
  EXPECT_EQ(stats.percentileMs(0.5, Traffic::Configuration), 210);
  EXPECT_EQ(stats.percentileMs(0.95, Traffic::Configuration), 219);
  EXPECT_EQ(stats.percentileMs(0.5), 211);
  EXPECT_EQ(stats.percentileMs(0.95), 400);
  EXPECT_EQ(stats.percentileMs(0.5, Traffic::Hart), 400);
  EXPECT_EQ(stats.percentileMs(0.5, Traffic::Modbus), std::nullopt);
}

TEST(LinkStats, TheTextCountsEverythingAndTheProtocolLinesSplitIt) {
  LinkStats stats;
  EXPECT_EQ(stats.text(), "0 sent \u00b7 0 answered \u00b7 0 time-outs \u00b7 0 bad checks");
  int64_t t = 0;
  for (int i = 0; i < 40; ++i) {
    stats.sent(i % 2 ? Traffic::Hart : Traffic::Configuration, t);
    stats.received(t + (i < 20 ? 212 : 260) * kMs, false);
    t += 1000 * kMs;
  }
  stats.sent(Traffic::Modbus, t);
  stats.sent(Traffic::Modbus, t + kMs);
  stats.noAnswer();
  EXPECT_EQ(stats.text(),
            "42 sent \u00b7 40 answered \u00b7 2 time-outs \u00b7 0 bad checks \u00b7 median 212 ms \u00b7 p95 260 ms");
  EXPECT_EQ(
      stats.byProtocol(),
      "Configuration: 20 sent \u00b7 20 answered \u00b7 0 time-outs \u00b7 0 bad checks \u00b7 median 212 ms "
      "\u00b7 p95 260 ms\n"
      "HART: 20 sent \u00b7 20 answered \u00b7 0 time-outs \u00b7 0 bad checks \u00b7 median 212 ms \u00b7 p95 260 ms\n"
      "MODBUS: 2 sent \u00b7 0 answered \u00b7 2 time-outs \u00b7 0 bad checks");
  stats.sent(Traffic::Other, t);
  stats.received(t + kMs, true);
  EXPECT_NE(stats.byProtocol().find("Other: 1 sent \u00b7 1 answered \u00b7 0 time-outs \u00b7 1 bad check \u00b7"),
            std::string::npos);

  stats.sent(Traffic::Hart, t);
  stats.reset();
  EXPECT_EQ(stats.text(), "0 sent \u00b7 0 answered \u00b7 0 time-outs \u00b7 0 bad checks");
  stats.received(t + kMs, false);
  EXPECT_EQ(stats.counts().answered, 0u) << "nothing open after a reset";
}

}  // namespace
}  // namespace tq::link
