// The simulator on a manual clock: when answers leave, and the faults.
#include "sim/simulator.h"

#include <gtest/gtest.h>

#include <ostream>

#include <algorithm>
#include <string>
#include <vector>

#include "sim/crc16.h"

namespace tq::sim {
namespace {

constexpr Micros kStart = 1'000'000'000;
constexpr Micros kMs = 1000;

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }
std::string text(const std::vector<uint8_t>& b) { return {b.begin(), b.end()}; }

// One burst leaving the simulator and when it left.
struct Burst {
  Micros at;
  std::string bytes;
};

// Runs the simulator from `from` to `until`, jumping from deadline to
// deadline as the poll loop of the program does.
std::vector<Burst> run(Simulator& sim, Micros from, Micros until) {
  std::vector<Burst> out;
  Micros now = from;
  while (true) {
    auto due = sim.poll(now);
    if (!due.empty()) out.push_back({now - from, text(due)});
    const auto next = sim.nextDeadline();
    if (!next || *next > until) break;
    now = std::max(now, *next);
  }
  return out;
}

SimConfig withFaults(FaultOptions faults) {
  SimConfig config;
  config.faults = std::move(faults);
  config.frozenSeconds = 0;
  return config;
}

TEST(Simulator, AnswersAtOnceWithoutFaults) {
  Simulator sim(withFaults({}), kStart);
  sim.receive(bytes("QQQ#QV#"), kStart);
  const auto out = run(sim, kStart, kStart + 1000 * kMs);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].at, 0);
  EXPECT_EQ(out[0].bytes, "QV:20#");
  EXPECT_FALSE(sim.nextDeadline());
}

TEST(Simulator, FrameArrivingInPiecesIsAnsweredWhenComplete) {
  Simulator sim(withFaults({}), kStart);
  sim.receive(bytes("QQQ#Q"), kStart);
  EXPECT_TRUE(sim.poll(kStart + 10 * kMs).empty());
  sim.receive(bytes("X1#QQQ#QV#"), kStart + 20 * kMs);
  EXPECT_EQ(text(sim.poll(kStart + 20 * kMs)), "QX1#BA1:30#MD:1#ADR:001#XY:0#JTM:010#QV:20#");
}

TEST(Simulator, IncompleteFrameIsAnsweredAfterSilence) {
  Simulator sim(withFaults({}), kStart);
  sim.receive(bytes("QQS#ADR:00"), kStart);
  EXPECT_EQ(sim.nextDeadline(), kStart + kFrameSilenceUs);
  EXPECT_TRUE(sim.poll(kStart + kFrameSilenceUs - 1).empty());
  EXPECT_EQ(text(sim.poll(kStart + kFrameSilenceUs)), "ERR:INCOMPLETE#");
  // The line is clean again afterwards.
  sim.receive(bytes("QQQ#QV#"), kStart + 100 * kMs);
  EXPECT_EQ(text(sim.poll(kStart + 100 * kMs)), "QV:20#");
}

struct FaultCase {
  const char* name;
  FaultOptions faults;
  std::vector<Burst> expected;  // answer to "QQQ#QV#" at time 0
};
// Tests are listed by name, not by the bytes of their case.
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class Faults : public ::testing::TestWithParam<FaultCase> {};

TEST_P(Faults, ShapeTheAnswer) {
  Simulator sim(withFaults(GetParam().faults), kStart);
  sim.receive(bytes("QQQ#QV#"), kStart);
  const auto out = run(sim, kStart, kStart + 10'000 * kMs);
  ASSERT_EQ(out.size(), GetParam().expected.size());
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].at, GetParam().expected[i].at) << i;
    EXPECT_EQ(out[i].bytes, GetParam().expected[i].bytes) << i;
  }
}

FaultOptions delay(int ms) {
  FaultOptions f;
  f.delayUs = ms * kMs;
  return f;
}
FaultOptions split(int gapMs, int at = -1) {
  FaultOptions f;
  f.splitGapUs = gapMs * kMs;
  f.splitAt = at;
  return f;
}
FaultOptions matching(FaultOptions f, const std::string& match) {
  f.match = bytes(match);
  return f;
}
FaultOptions noReply() {
  FaultOptions f;
  f.noReply = true;
  return f;
}

INSTANTIATE_TEST_SUITE_P(Options, Faults,
                         ::testing::Values(FaultCase{"Delay", delay(400), {{400 * kMs, "QV:20#"}}},
                                           FaultCase{"SplitInHalf", split(150), {{0, "QV:"}, {150 * kMs, "20#"}}},
                                           FaultCase{"SplitAt", split(120, 1), {{0, "Q"}, {120 * kMs, "V:20#"}}},
                                           FaultCase{
                                               "SplitAtBeyondTheEnd", split(120, 50), {{0, "QV:20"}, {120 * kMs, "#"}}},
                                           FaultCase{"DelayedSplit",
                                                     [] {
                                                       auto f = split(200);
                                                       f.delayUs = 50 * kMs;
                                                       return f;
                                                     }(),
                                                     {{50 * kMs, "QV:"}, {250 * kMs, "20#"}}},
                                           FaultCase{"NoReply", noReply(), {}},
                                           FaultCase{"MatchHit", matching(delay(300), "QV"), {{300 * kMs, "QV:20#"}}},
                                           FaultCase{"MatchMiss", matching(delay(300), "QX1"), {{0, "QV:20#"}}},
                                           FaultCase{"MatchMissNoReply", matching(noReply(), "QQS#"), {{0, "QV:20#"}}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Simulator, CommunicationDelaySettingHoldsEveryAnswer) {
  Simulator sim(withFaults({}), kStart);
  sim.receive(bytes("QQS#XY:1#"), kStart);
  // Set before this answer is scheduled: it is late already.
  EXPECT_EQ(run(sim, kStart, kStart + 1000 * kMs).at(0).at, 100 * kMs);
  sim.receive(bytes("QQS#XY:0#"), kStart + 500 * kMs);
  EXPECT_EQ(text(sim.poll(kStart + 500 * kMs)), "XY:OK#");
}

TEST(Simulator, NoiseComesRightBeforeTheAnswer) {
  FaultOptions f;
  f.noiseBytes = 5;
  Simulator sim(withFaults(f), kStart);
  sim.receive(bytes("QQQ#QV#"), kStart);
  const std::string out = text(sim.poll(kStart));
  ASSERT_EQ(out.size(), 5u + 6u);
  EXPECT_EQ(out.substr(5), "QV:20#");
}

TEST(Simulator, FaultCountLimitsTheFaultyRequests) {
  FaultOptions f = noReply();
  f.count = 2;
  Simulator sim(withFaults(f), kStart);
  std::vector<std::string> answers;
  for (int i = 0; i < 4; ++i) {
    const Micros t = kStart + i * 200 * kMs;
    sim.receive(bytes("QQQ#QV#"), t);
    answers.push_back(text(sim.poll(t)));
  }
  EXPECT_EQ(answers, (std::vector<std::string>{"", "", "QV:20#", "QV:20#"}));
}

TEST(Simulator, HangUpAfterTheNthMatchingRequestIsAnswered) {
  FaultOptions f = matching(delay(0), "QX1");
  f.hangUpAfter = 2;
  f.delayUs = 100 * kMs;
  Simulator sim(withFaults(f), kStart);
  sim.receive(bytes("QQQ#QX1#"), kStart);
  sim.receive(bytes("QQQ#QV#"), kStart);
  EXPECT_FALSE(sim.hangUpDue());
  sim.receive(bytes("QQQ#QX1#"), kStart + 10 * kMs);
  // Armed, but the delayed answers are still to go.
  EXPECT_FALSE(sim.hangUpDue());
  run(sim, kStart + 10 * kMs, kStart + 1000 * kMs);
  EXPECT_TRUE(sim.hangUpDue());
}

TEST(Simulator, AnswersKeepTheirOrderBehindADelayedOne) {
  Simulator sim(withFaults(matching(delay(300), "QX1")), kStart);
  sim.receive(bytes("QQQ#QX1#QQQ#QV#"), kStart);
  const auto out = run(sim, kStart, kStart + 1000 * kMs);
  ASSERT_EQ(out.size(), 1u);
  EXPECT_EQ(out[0].at, 300 * kMs);
  EXPECT_TRUE(out[0].bytes.ends_with("QV:20#"));
}

TEST(Simulator, PacingSpacesBytesByTheCharacterTime) {
  SimConfig config = withFaults({});
  config.pace = true;
  Simulator sim(config, kStart);
  sim.setLineTiming({1200, 10});  // 8334 us per character
  const Micros charTime = sim.lineTiming().charTimeUs();
  EXPECT_EQ(charTime, 8334);
  sim.receive(bytes("QQQ#QV#"), kStart);
  const auto out = run(sim, kStart, kStart + 1000 * kMs);
  ASSERT_EQ(out.size(), 6u);
  for (size_t i = 0; i < out.size(); ++i) {
    EXPECT_EQ(out[i].at, static_cast<Micros>(i) * charTime);
    EXPECT_EQ(out[i].bytes, std::string(1, "QV:20#"[i]));
  }
}

TEST(Simulator, PacedSplitGapStartsAfterTheFirstPartIsSent) {
  SimConfig config = withFaults(split(100, 2));
  config.pace = true;
  Simulator sim(config, kStart);
  sim.setLineTiming({9600, 11});  // parity: 11 bits, 1146 us
  sim.receive(bytes("QQQ#QV#"), kStart);
  const auto out = run(sim, kStart, kStart + 1000 * kMs);
  ASSERT_EQ(out.size(), 6u);
  EXPECT_EQ(out[2].at, 2 * 1146 + 100 * kMs);
}

TEST(Simulator, StrictLineHearsOnlyTheModulesRate) {
  SimConfig config = withFaults({});
  config.strictLine = true;
  Simulator sim(config, kStart);
  struct Step {
    LineTiming line;
    std::string frame;
    std::string answer;
  };
  const std::vector<Step> steps = {
      {{9600, 10}, "QQQ#QV#", "QV:20#"},
      {{19200, 10}, "QQQ#QV#", ""},            // wrong rate
      {{9600, 10}, "QQS#BA1:42#", "BA1:OK#"},  // answered on the old settings
      {{9600, 10}, "QQQ#QV#", ""},
      {{19200, 10}, "QQQ#QV#", "QV:20#"},
      {{15200, 10}, "QQQ#QV#", ""},  // not a rate of the module
  };
  Micros now = kStart;
  for (const auto& step : steps) {
    sim.setLineTiming(step.line);
    sim.receive(bytes(step.frame), now);
    EXPECT_EQ(text(sim.poll(now)), step.answer) << step.frame << " at " << step.line.baud;
    now += 100 * kMs;
  }
  const auto log = sim.takeLog();
  EXPECT_NE(std::find_if(log.begin(), log.end(),
                         [](const std::string& l) {
                           return l.starts_with(
                               "<- garbled 51 51 51 23 51 56 23 (line at 19200 baud; the module listens at 9600 baud)");
                         }),
            log.end());
}

TEST(Simulator, AModuleStartedAtARateItsSettingCannotNameHearsItUntilItsRateIsSet) {
  struct Step {
    int baud;
    std::string frame;
    std::string answer;
  };
  struct Case {
    const char* name;
    std::vector<Step> steps;
  };
  const Case cases[] = {
      {"the rate set",
       {{9600, "QQQ#QV#", ""},
        {38400, "QQQ#QV#", "QV:20#"},
        {38400, "QQS#BA1:40#", "BA1:OK#"},
        {38400, "QQQ#QV#", ""},
        {19200, "QQQ#QV#", "QV:20#"}}},
      {"a refused rate keeps it", {{38400, "QQS#BA1:90#", "BA1:ERR,RANGE#"}, {38400, "QQQ#QV#", "QV:20#"}}},
      {"back to the factory settings", {{38400, "QQS#RESET#", "RESET:OK#"}, {9600, "QQQ#QV#", "QV:20#"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SimConfig config = withFaults({});
    config.strictLine = true;
    config.listenBaud = 38400;
    Simulator sim(config, kStart);
    Micros now = kStart;
    for (const Step& step : c.steps) {
      sim.setLineTiming({step.baud, 10});
      sim.receive(bytes(step.frame), now);
      EXPECT_EQ(text(sim.poll(now)), step.answer) << step.frame << " at " << step.baud;
      now += 100 * kMs;
    }
  }
}

TEST(Simulator, InstrumentTimeRunsFromStartUnlessFrozen) {
  SimConfig running;
  Simulator sim(running, kStart);
  EXPECT_DOUBLE_EQ(sim.instrumentSeconds(kStart + 2'500'000), 2.5);
  SimConfig frozen;
  frozen.frozenSeconds = 7;
  Simulator held(frozen, kStart);
  EXPECT_DOUBLE_EQ(held.instrumentSeconds(kStart + 2'500'000), 7.0);
}

TEST(Simulator, LogShowsTrafficAndSilence) {
  Simulator sim(withFaults({}), kStart);
  sim.receive(std::vector<uint8_t>{0x00, 0x00, 0xF8}, kStart);
  sim.poll(kStart + kFrameSilenceUs);
  sim.receive(bytes("QQQ#QV#"), kStart + 100 * kMs);
  std::vector<uint8_t> otherSlave{0x07, 0x03, 0x00, 0x00, 0x00, 0x0A};
  appendCrc16(otherSlave);
  sim.receive(otherSlave, kStart + 200 * kMs);
  const auto log = sim.takeLog();
  EXPECT_EQ(log, (std::vector<std::string>{"<- noise 00 00 F8 ", "<- QQQ#QV#", "-> QV:20#",
                                           "<- 07 03 00 00 00 0A C5 AB ", "   (no answer)"}));
  EXPECT_TRUE(sim.takeLog().empty());
}

TEST(Simulator, LogStaysBoundedWhenNobodyTakesIt) {
  Simulator sim(withFaults({}), kStart);
  Micros now = kStart;
  for (size_t i = 0; i < 2 * kMaxLogLines; ++i) sim.receive(bytes("QQQ#QV#"), now += kMs);
  std::vector<uint8_t> noise(1 << 20);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = i % 2 ? 0xFF : 0x00;
  for (size_t at = 0; at < noise.size(); at += 4096) sim.receive(std::span(noise).subspan(at, 4096), now += kMs);
  sim.receive(bytes("QQQ#QV#"), now += kMs);
  EXPECT_EQ(text(sim.poll(now)).substr(0, 6), "QV:20#");  // the module still answers

  const auto log = sim.takeLog();
  ASSERT_EQ(log.size(), kMaxLogLines + 1);
  const size_t lines = 2 * (2 * kMaxLogLines) + 1 + 2;  // each query and its answer, the noise, the last query
  EXPECT_EQ(log.front(), "(" + std::to_string(lines - kMaxLogLines) + " earlier lines dropped)");
  const std::string& noiseLine = log[log.size() - 3];
  EXPECT_TRUE(noiseLine.starts_with("<- noise 00 FF 00 FF ")) << noiseLine;
  EXPECT_TRUE(noiseLine.ends_with("... (1048576 bytes) ")) << noiseLine;
  EXPECT_LT(noiseLine.size(), 3 * kLoggedNoiseBytes + 40);
  EXPECT_EQ(log.back(), "-> QV:20#");
  EXPECT_TRUE(sim.takeLog().empty());
}

}  // namespace
}  // namespace tq::sim
