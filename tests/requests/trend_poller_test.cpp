// The trend's polling on a fake port and a manual clock: what a reply to
// command 3 becomes, when a poll goes and when it waits, and why polling
// stops.
#include "requests/trend_poller.h"

#include <gtest/gtest.h>

#include <bit>
#include <cstring>

#include "common/errors.h"
#include "engine/fakes.h"
#include "hart/answer_window.h"
#include "hart/frames.h"
#include "link/link_arbiter.h"
#include "requests/hart_instrument_requests.h"
#include "support/fake_link_port.h"

namespace tq::requests {
namespace {

using Bytes = std::vector<uint8_t>;
using engine::testing::FakeTimer;
using engine::testing::FakeView;
using engine::testing::ManualClock;
using State = TrendPoller::State;

const hart::DeviceIdentity kInstrument{38, 6, {0x12, 0x34, 0x56}, 0};
constexpr uint8_t kBar = 7;
constexpr uint8_t kDegreesCelsius = 32;

void single(Bytes& out, float value) {
  const auto bits = std::bit_cast<uint32_t>(value);
  for (int shift = 24; shift >= 0; shift -= 8) out.push_back(static_cast<uint8_t>(bits >> shift));
}

// The instrument's long-frame reply to command 3 with five preambles.
Bytes reply(const Bytes& data, uint8_t first = 0, bool badCheck = false) {
  Bytes block(5, 0xFF);
  const size_t delimiterAt = block.size();
  for (uint8_t b : Bytes{0x86, 0xA6, 0x06, 0x12, 0x34, 0x56, 3, static_cast<uint8_t>(data.size() + 2), first, 0}) {
    block.push_back(b);
  }
  block.insert(block.end(), data.begin(), data.end());
  block.push_back(static_cast<uint8_t>(hart::checkByte(std::span(block).subspan(delimiterAt)) ^ (badCheck ? 1 : 0)));
  return block;
}

// The loop current and `variables` (unit, value) pairs.
Bytes variables(float current, std::vector<std::pair<uint8_t, float>> variables) {
  Bytes data;
  single(data, current);
  for (const auto& [unit, value] : variables) {
    data.push_back(unit);
    single(data, value);
  }
  return data;
}

TEST(TrendPoint, AReplyGivesTheValuesItCarriesAndAnUntrustedOneAGap) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const Bytes four = variables(12.5f, {{kBar, 1.5f}, {kDegreesCelsius, 21}, {kBar, nan}, {kBar, 4}});
  Bytes cutShort = reply(four);
  cutShort.resize(cutShort.size() - 3);
  struct Case {
    const char* name;
    Bytes block;
    uint8_t present;
    trend::Missing missing;
  };
  const Case cases[] = {
      {"four variables, the third not a number", reply(four), 0b10111, trend::Missing::None},
      {"the primary variable only", reply(variables(4, {{kBar, 0}})), 0b00011, trend::Missing::None},
      {"a wrong check byte", reply(four, 0, true), 0, trend::Missing::BadReply},
      {"cut short", cutShort, 0, trend::Missing::BadReply},
      {"refused without data", reply({}, 64), 0, trend::Missing::BadReply},
      {"a communication error", reply(four, 0x88), 0, trend::Missing::BadReply},
      {"no HART reply", {'Q', 'V', ':'}, 0, trend::Missing::BadReply},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const trend::Point p = pointFromAnswer(c.block, 1234);
    EXPECT_EQ(p.ms, 1234);
    EXPECT_EQ(p.present, c.present);
    EXPECT_EQ(p.missing, c.missing);
  }
  const trend::Point p = pointFromAnswer(reply(four), 0);
  EXPECT_EQ(p.values[0], 12.5f);
  EXPECT_EQ(p.units[0], trend::kMilliampereUnit);
  EXPECT_EQ(p.values[2], 21.f);
  EXPECT_EQ(p.units[2], kDegreesCelsius);
  EXPECT_EQ(p.values[4], 4.f);
}

struct Rig {
  Rig() {
    clock.timers = {&answerTimer, &pollTimer};
    answerTimer.onTick = [this] { link.timerFired(); };
    pollTimer.onTick = [this] { poller.timerFired(); };
    link.onEngineBlock = [this](std::span<const uint8_t> b, int) { engineBlocks.emplace_back(b.begin(), b.end()); };
    link.setClock([this] { return journal::Moment{clock.now, clock.now * 1'000'000}; });
    view.controls["Edit9"].text = "6";
    view.controls["ComboBox42"].index = 0;
    link.openWith({"COM4"});
    poller.onState = [this] { notes.push_back(poller.note()); };
  }

  void answer(const Bytes& block) { port.deliver(std::string(block.begin(), block.end()), clock.now * 1'000'000); }
  size_t polls() const {
    size_t n = 0;
    for (const std::string& w : port.written) n += w.size() > 8 && uint8_t(w[7]) == 0x82 && w[13] == 3;
    return n;
  }

  ManualClock clock;
  FakeTimer answerTimer{clock, 1000};
  FakeTimer pollTimer{clock, 1000};
  tq::testing::FakeLinkPort port;
  journal::Journal journal;
  link::LinkArbiter link{port, journal, answerTimer};
  FakeView view;
  trend::PointStore store;
  std::optional<hart::DeviceIdentity> addressed = kInstrument;
  bool replyAwaited = false;
  size_t asked = 0;  // preambles the instrument asked for
  TrendPoller poller{
      {link, view, [this] { return addressed; }, [this] { return replyAwaited; }, pollTimer,
       [this] { return clock.now; }, [this] { return 1'700'000'000'000 + clock.now; }, [this] { return asked; }},
      store};
  std::vector<std::string> engineBlocks;
  std::vector<std::string> notes;
};

const Bytes kAnswer = reply(variables(12, {{kBar, 1.5f}}));

TEST(TrendPoller, PollsAtTheIntervalAndASilentPollLeavesAGapNeverFasterThanItsWindow) {
  Rig t;
  t.poller.start(1);
  ASSERT_EQ(t.polls(), 1u) << "the first poll goes at once";
  EXPECT_EQ(t.port.written[0], std::string("\xFF\xFF\xFF\xFF\xFF\xFF\xFF\x82\xA6\x06\x12\x34\x56\x03\x00\x51", 16));
  t.clock.advance(300);
  t.answer(kAnswer);
  ASSERT_EQ(t.store.size(), 1u);
  EXPECT_EQ(t.store.at(0).ms, 1'700'000'000'000) << "when the poll went";
  t.clock.advance(699);
  EXPECT_EQ(t.polls(), 1u);
  t.clock.advance(1);
  EXPECT_EQ(t.polls(), 2u);

  // No answer: a gap when the window closes, and the next poll only then.
  t.poller.setInterval(0.5);
  t.clock.advance(hart::kPollAnswerWindowMs - 1);
  EXPECT_EQ(t.store.size(), 1u);
  t.clock.advance(1);
  ASSERT_EQ(t.store.size(), 2u);
  EXPECT_EQ(t.store.back().missing, trend::Missing::NoAnswer);
  EXPECT_EQ(t.polls(), 3u) << "due already: it goes as the window closes";
  t.answer(reply(variables(12, {{kBar, 1.5f}}), 0, true));
  EXPECT_EQ(t.store.back().missing, trend::Missing::BadReply) << "a wrong check byte is not plotted";
  EXPECT_EQ(t.poller.state(), State::Polling);
  EXPECT_EQ(t.link.stats().counts().timeOuts, 1u);
  EXPECT_EQ(t.link.stats().counts().badChecks, 1u);
}

// An instrument that asks for more preambles gets them, and its poll waits
// as long as the longer request takes.
TEST(TrendPoller, ThePollCarriesThePreamblesAskedForAndWaitsAsLongAsTheyTake) {
  Rig t;
  t.asked = hart::kMaxRequestedPreambles;
  t.poller.start(0.5);
  ASSERT_EQ(t.port.written.size(), 1u);
  EXPECT_EQ(t.port.written[0].find_first_not_of('\xFF'), hart::kMaxRequestedPreambles);
  t.clock.advance(hart::pollAnswerWindowMs(hart::kMaxRequestedPreambles) - 1);
  EXPECT_TRUE(t.store.empty());
  t.clock.advance(1);
  ASSERT_EQ(t.store.size(), 1u);
  EXPECT_EQ(t.store.back().missing, trend::Missing::NoAnswer);
  static_assert(hart::pollAnswerWindowMs(hart::kMaxRequestedPreambles) > hart::kPollAnswerWindowMs);
}

// A poll is not sent while the line is another's: a page's reply awaited,
// a page's frame just gone, a sequence holding it. It goes once the line
// is free, and a long wait breaks the lines.
TEST(TrendPoller, WaitsWhileThePagesOrASequenceHaveTheLineAndSaysWhy) {
  Rig t;
  t.poller.start(1);
  t.answer(kAnswer);

  t.replyAwaited = true;
  t.clock.advance(1000);
  EXPECT_EQ(t.polls(), 1u);
  EXPECT_EQ(t.poller.note(), kTrendReplyAwaitedNote);
  t.replyAwaited = false;
  t.clock.advance(kPausedRetryMs);
  EXPECT_EQ(t.polls(), 2u);
  EXPECT_EQ(t.poller.state(), State::Polling);
  EXPECT_EQ(t.store.size(), 1u) << "a short wait leaves no gap";
  t.answer(kAnswer);

  t.clock.advance(800);
  ASSERT_TRUE(t.link.writeData(std::vector<uint8_t>{'Q', 'Q', 'Q', '#', 'Q', 'V', '#'}));
  t.clock.advance(200);  // the poll is due, the page's frame went 200 ms ago
  EXPECT_EQ(t.polls(), 2u);
  t.clock.advance(kQuietAfterPageFrameMs - 200);
  EXPECT_EQ(t.polls(), 3u);
  t.answer(kAnswer);

  engine::SequenceStep step;
  step.frame = [] { return std::vector<uint8_t>{'A'}; };
  step.answerWindowMs = 5000;
  ASSERT_TRUE(t.link.run({"Read Module", {step}, {}}));
  t.clock.advance(4000);
  EXPECT_EQ(t.poller.note(), "Paused: Read Module has the line.");
  t.clock.advance(1000 + kPausedRetryMs);
  EXPECT_EQ(t.polls(), 4u);
  EXPECT_EQ(t.store.back().missing, trend::Missing::NotPolled) << "polls were left out: the lines break";
  EXPECT_EQ(t.notes.back(), "");
}

TEST(TrendPoller, StopsWhenThePortClosesOrHangsUpAndSaysWhy) {
  struct Case {
    const char* name;
    bool pollOut;
    std::function<void(Rig&)> act;
    const char* note;
  };
  const Case cases[] = {
      {"closed between polls", false, [](Rig& t) { t.link.closePort("by the operator"); }, kTrendPortClosedNote},
      {"closed with a poll out", true, [](Rig& t) { t.link.closePort("by the operator"); }, kTrendPortClosedNote},
      {"hung up between polls", false, [](Rig& t) { t.port.hangUp(); }, kTrendHungUpNote},
      {"hung up with a poll out", true, [](Rig& t) { t.port.hangUp(); }, kTrendHungUpNote},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig t;
    t.link.onOpenChanged = [&] { t.poller.portChanged(); };
    t.link.addHangupListener([&](const link::LostPort&) { t.poller.hungUp(); });
    t.poller.start(1);
    if (!c.pollOut) t.answer(kAnswer);
    c.act(t);
    t.clock.advance(0);
    EXPECT_EQ(t.poller.state(), State::Stopped);
    EXPECT_EQ(t.poller.note(), c.note);
    EXPECT_FALSE(t.link.yielding());
    t.clock.advance(10'000);
    EXPECT_EQ(t.polls(), 1u);
  }
}

TEST(TrendPoller, FindModulePausesPollingAndItGoesOnWhenThePortIsOpenAgain) {
  Rig t;
  t.poller.start(1);
  t.answer(kAnswer);
  t.poller.suspend("Find Module");
  t.link.close("by Find Module");
  t.poller.portChanged();
  t.clock.advance(5000);
  EXPECT_EQ(t.poller.state(), State::Paused);
  EXPECT_EQ(t.poller.note(), "Paused: Find Module is searching.");
  t.link.openWith({"COM4"});
  t.poller.resume();
  t.clock.advance(0);
  EXPECT_EQ(t.polls(), 2u);
  EXPECT_EQ(t.poller.state(), State::Polling);

  t.answer(kAnswer);
  t.poller.suspend("Find Module");
  t.link.close("by Find Module");
  t.poller.resume();
  t.clock.advance(0);
  EXPECT_EQ(t.poller.note(), kTrendPortClosedNote) << "nothing found: the port stays closed";
}

TEST(TrendPoller, StartRefusesWithThePortClosedOrNoInstrumentAndAnotherInstrumentStartsAfresh) {
  {
    Rig t;
    t.link.close("by the operator");
    EXPECT_THROW(t.poller.start(1), InputRefused);
  }
  Rig t;
  t.addressed.reset();
  EXPECT_THROW(t.poller.start(1), InputRefused);
  EXPECT_TRUE(t.port.written.empty());

  t.addressed = kInstrument;
  t.poller.start(1);
  t.answer(kAnswer);
  t.poller.stop();
  t.clock.advance(5000);
  EXPECT_EQ(t.polls(), 1u);
  t.poller.start(1);
  EXPECT_EQ(t.store.size(), 2u) << "the same instrument: a break, then on";
  EXPECT_TRUE(t.store.back().gap());
  t.clock.advance(hart::kPollAnswerWindowMs);
  t.poller.stop();
  t.addressed = hart::DeviceIdentity{38, 6, {0x12, 0x34, 0x57}, 5};
  t.poller.start(1);
  EXPECT_TRUE(t.store.empty()) << "another instrument's points are not mixed in";
}

}  // namespace
}  // namespace tq::requests
