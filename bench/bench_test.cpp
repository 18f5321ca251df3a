// The benchmarks' own measuring pieces: a wrong percentile, a misread /proc
// line, a reader that ends blocks at the wrong place or a probe that stamps
// "decoded" before the parse ran would print figures that look right and
// are not.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QTimer>
#include <numeric>

#include "bench_support.h"
#include "readers.h"
#include "soak_steps.h"
#include "support/pty.h"
#include "window_support.h"

namespace tq::bench {
namespace {

std::vector<double> oneTo(int n) {
  std::vector<double> v(static_cast<size_t>(n));
  std::iota(v.begin(), v.end(), 1.0);
  return v;
}

TEST(Percentile, IsTheNearestRankOfTheSortedSamples) {
  struct Case {
    std::vector<double> samples;
    double p;
    double expected;
  };
  const Case cases[] = {
      {{}, 50, 0},
      {{7}, 99, 7},
      {{3, 1, 2}, 50, 2},    // unsorted input
      {oneTo(100), 50, 50},  // not the 51st
      {oneTo(100), 99, 99},  // the second largest
      {oneTo(100), 100, 100},
      {oneTo(10), 99, 10},  // fewer than 100 samples: the largest
      {oneTo(10), 50, 5},
      {oneTo(200), 99, 198},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.samples.size() << " samples, p" << c.p);
    EXPECT_EQ(percentile(c.samples, c.p), c.expected);
  }
}

TEST(PeerResult, OnlyACompleteDoneLineCounts) {
  struct Case {
    const char* line;
    bool parsed;
    PeerResult expected;
  };
  const Case cases[] = {
      {"done 123456789 36 2500000 4 1", true, {123456789, 36, 2500000, 4, true}},
      {"done 5 8388608 90000000 4100 0", true, {5, 8388608, 90000000, 4100, false}},
      {"failed could not open port", false, {}},
      {"ready", false, {}},
      {"done 123 36 2500000", false, {}},   // cut short
      {"done 1 2 3 4 2", false, {}},        // intact is 0 or 1
      {"done 1 2 3 4 1 extra", false, {}},  // something after the last field
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    const auto r = parsePeerResult(c.line);
    ASSERT_EQ(r.has_value(), c.parsed);
    if (!r) continue;
    EXPECT_EQ(r->endedNs, c.expected.endedNs);
    EXPECT_EQ(r->bytes, c.expected.bytes);
    EXPECT_EQ(r->cpuNs, c.expected.cpuNs);
    EXPECT_EQ(r->switches, c.expected.switches);
    EXPECT_EQ(r->intact, c.expected.intact);
  }
}

TEST(FloodPattern, EveryRepetitionIsCompared) {
  const std::string pattern = floodPattern();
  auto repeated = [&](size_t bytes) {
    std::vector<uint8_t> v(bytes);
    for (size_t i = 0; i < bytes; ++i) v[i] = static_cast<uint8_t>(pattern[i % pattern.size()]);
    return v;
  };
  struct Case {
    const char* what;
    size_t bytes;
    long corruptAt;  // -1: none
    bool matches;
  };
  const Case cases[] = {
      {"three repetitions and a short tail", 3 * 4096 + 100, -1, true},
      {"a byte wrong in the first", 3 * 4096, 17, false},
      {"a byte wrong in the third", 3 * 4096, 2 * 4096 + 5, false},
      {"a byte wrong in the short tail", 4096 + 10, 4096 + 9, false},
  };
  for (const Case& c : cases) {
    auto data = repeated(c.bytes);
    if (c.corruptAt >= 0) data[static_cast<size_t>(c.corruptAt)] ^= 0x01;
    EXPECT_EQ(matchesPattern(data, pattern), c.matches) << c.what;
  }
}

// The floor on a pty: what a burst becomes. No case depends on how long the
// machine takes, only on what was written before the reader looked.
TEST(FloorReader, ABurstIsOneBlockAndALongOneIsCutAtTheBlockSize) {
  struct Case {
    size_t written;
    std::vector<size_t> blocks;  // then an empty block: nothing more came
  };
  const Case cases[] = {
      {36, {36}},
      {kBlockSize, {kBlockSize}},
      {5000, {kBlockSize, kBlockSize, 5000 - 2 * kBlockSize}},
      {0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.written);
    testing::Pty pty;
    const int fd = openRaw(pty.slavePath());
    ASSERT_GE(fd, 0);
    pty.write(std::string(c.written, 'x'));
    for (size_t expected : c.blocks) EXPECT_EQ(readSilenceBlock(fd, kSilenceMs, 2000).bytes.size(), expected);
    EXPECT_TRUE(readSilenceBlock(fd, kSilenceMs, 50).bytes.empty());
    ::close(fd);
  }
}

// Both forms of the pyserial peer hand back the whole reply (a loop that
// stopped at its first chunk would look fast), and a flood arrives intact.
TEST(PyserialPeer, EachFormReadsTheWholeReply) {
  PyserialPeer peer(PYSERIAL_PEER_SCRIPT);
  if (!peer.unavailable().empty()) GTEST_SKIP() << peer.unavailable();
  struct Case {
    const char* command;
    size_t bytes;
    bool flood;
  };
  const Case cases[] = {{"block loop", 36, false}, {"block docs", 36, false}, {"flood loop", 3 * 4096 + 100, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.command);
    testing::Pty pty;
    std::string command = std::string(c.command) + " " + pty.slavePath();
    if (c.flood) command += " " + std::to_string(c.bytes);
    ASSERT_TRUE(peer.start(command)) << peer.lastLine();
    const std::string pattern = floodPattern();
    std::string bytes;
    while (bytes.size() < c.bytes) bytes += pattern;
    pty.write(bytes.substr(0, c.bytes));
    const auto result = peer.finish(10'000);
    ASSERT_TRUE(result.has_value()) << peer.lastLine();
    EXPECT_EQ(result->bytes, c.bytes);
    EXPECT_TRUE(result->intact);
    EXPECT_GT(result->endedNs, 0);
  }
}

// "Decoded" is stamped once the parse has written its controls, not when
// Timer2 merely fired.
TEST(WindowProbe, StampsEachMomentAfterTheWindowActedOnIt) {
  WindowProbe probe(std::make_unique<NoPause>());
  auto* interfaceType = probe.form().findChild<QComboBox*>("ComboBox13");
  ASSERT_NE(interfaceType, nullptr);
  interfaceType->setCurrentIndex(0);
  probe.click("Button6");
  const std::string reply = "QV:22#";
  probe.form().Comm1ReceiveData(reinterpret_cast<const uint8_t*>(reply.data()), static_cast<uint16_t>(reply.size()));
  struct Seen {
    QString memo;
    int interfaceType = -1;
  } atShown, atDecoded;
  ASSERT_TRUE(probe.waitUntil(
      [&] {
        if (probe.shownNs() != 0 && atShown.memo.isEmpty()) atShown = {probe.memo(), interfaceType->currentIndex()};
        if (probe.decodedCount() > 0) atDecoded = {probe.memo(), interfaceType->currentIndex()};
        return probe.decodedCount() > 0;
      },
      5000));
  EXPECT_EQ(atShown.memo, "QV:22#");
  EXPECT_EQ(atShown.interfaceType, 0);  // shown, not decoded yet
  EXPECT_EQ(atDecoded.interfaceType, 2);
  EXPECT_LE(probe.shownNs(), probe.decodedNs());
}

// The soak waits for a parse exactly where the window runs one.
TEST(SoakSteps, EachStepWaitsForAParseOnlyWhereTheWindowRunsOne) {
  WindowProbe probe(std::make_unique<NoPause>());
  auto* timer2 = probe.form().findChild<QTimer*>("Timer2");
  ASSERT_NE(timer2, nullptr);
  const std::string block = "QV:22#";  // the first step's reply enables the MODBUS query's button
  for (const SoakStep& step : kSoakSteps) {
    SCOPED_TRACE(step.button);
    probe.click(step.button);
    probe.form().Comm1ReceiveData(reinterpret_cast<const uint8_t*>(block.data()), static_cast<uint16_t>(block.size()));
    EXPECT_FALSE(probe.memo().isEmpty());
    EXPECT_EQ(timer2->isActive(), step.decoded);
    const int before = probe.decodedCount();
    if (step.decoded) {
      EXPECT_TRUE(probe.waitUntil([&] { return probe.decodedCount() > before; }, 5000));
    }
  }
}

}  // namespace
}  // namespace tq::bench

int main(int argc, char** argv) {
  tq::bench::useOffscreenUnlessChosen();
  QApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
