#include "serial/block_framer.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace tq::serial {
namespace {

constexpr int64_t kMs = 1'000'000;

void feed(BlockFramer& f, const std::string& bytes, int64_t nowNs) {
  ASSERT_LE(bytes.size(), f.space());
  std::memcpy(f.writePtr(), bytes.data(), bytes.size());
  f.added(bytes.size(), nowNs);
}

std::string asText(const std::vector<uint8_t>& v) { return {v.begin(), v.end()}; }

TEST(BlockFramer, WaitsForeverForTheFirstByte) {
  BlockFramer f({100, 0, 0}, 0);
  EXPECT_EQ(f.waitNs(0), -1);
  EXPECT_FALSE(f.due(1'000'000 * kMs));
}

TEST(BlockFramer, EndsABlockAfterTheIntervalOfSilenceSinceTheLastByte) {
  BlockFramer f({100, 0, 0}, 0);
  feed(f, "QV:", 10 * kMs);
  feed(f, "12", 60 * kMs);  // bytes 50 ms apart belong to one block
  EXPECT_EQ(f.waitNs(60 * kMs), 100 * kMs);
  EXPECT_FALSE(f.due(159 * kMs));
  EXPECT_TRUE(f.due(160 * kMs));
  EXPECT_EQ(asText(f.take(160 * kMs)), "QV:12");
  EXPECT_TRUE(f.empty());
  EXPECT_EQ(f.waitNs(200 * kMs), -1);
}

TEST(BlockFramer, EndsAFullBlockAtOnce) {
  BlockFramer f({100, 0, 0}, 0);
  feed(f, std::string(BlockFramer::kBlockSize - 1, 'a'), kMs);
  EXPECT_FALSE(f.due(kMs));
  EXPECT_EQ(f.space(), 1u);
  feed(f, "b", 2 * kMs);
  EXPECT_TRUE(f.due(2 * kMs));
  const auto block = f.take(2 * kMs);
  EXPECT_EQ(block.size(), BlockFramer::kBlockSize);
  EXPECT_GT(block.capacity(), block.size());  // the trailing zero needs no second allocation
  EXPECT_EQ(f.space(), BlockFramer::kBlockSize);
}

TEST(BlockFramer, TimeoutSettingsDecideWhenABlockEnds) {
  struct Case {
    const char* what;
    ReadTimeouts timeouts;
    int64_t byteAtMs;
    int64_t dueAtMs;  // -1: never without more bytes
  };
  const Case cases[] = {
      {"interval only", {100, 0, 0}, 5, 105},
      {"total shorter than interval", {100, 0, 50}, 5, 50},
      {"total counts from the read start", {100, 0, 300}, 250, 300},
      {"multiplier is per requested byte", {0, 1, 0}, 5, 2048},
      {"no interval, no total: only a full block", {0, 0, 0}, 5, -1},
      {"immediate delivery", {BlockFramer::kImmediate, 0, 0}, 5, 5},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    BlockFramer f(c.timeouts, 0);
    feed(f, "x", c.byteAtMs * kMs);
    if (c.dueAtMs < 0) {
      EXPECT_EQ(f.waitNs(c.byteAtMs * kMs), -1);
    } else {
      EXPECT_FALSE(c.dueAtMs > c.byteAtMs && f.due(c.dueAtMs * kMs - 1));
      EXPECT_TRUE(f.due(c.dueAtMs * kMs));
    }
  }
}

TEST(BlockFramer, AnEmptyBlockAtTheTotalTimeoutJustStartsAgain) {
  BlockFramer f({100, 0, 500}, 0);
  EXPECT_TRUE(f.due(500 * kMs));
  EXPECT_TRUE(f.take(500 * kMs).empty());
  EXPECT_EQ(f.waitNs(500 * kMs), 500 * kMs);
}

TEST(BlockFramer, NewTimeoutsApplyToTheBlockBeingGathered) {
  BlockFramer f({100, 0, 0}, 0);
  feed(f, "x", 0);
  f.setTimeouts({20, 0, 0});
  EXPECT_TRUE(f.due(20 * kMs));
}

}  // namespace
}  // namespace tq::serial
