// The request sequencer on a manual clock: steps in order, each ended by
// the first block that answers it or by its window; stop, cancel, skip and
// failure leave nothing running and nothing more on the line.
#include "engine/request_sequencer.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "fakes.h"

namespace tq::engine::testing {
namespace {

using Next = RequestSequencer::Next;
using Outcome = RequestSequencer::Outcome;

struct FakeLine : RequestSequencer::Line {
  bool open = true;
  std::vector<std::string> written;
  bool write(std::span<const uint8_t> bytes) override {
    if (!open) return false;
    written.emplace_back(bytes.begin(), bytes.end());
    return true;
  }
};

std::vector<uint8_t> bytes(const std::string& s) { return {s.begin(), s.end()}; }

// A step that sends `frame` and takes only blocks starting with `answerPrefix`.
SequenceStep step(const std::string& frame, const std::string& answerPrefix, int windowMs = 100) {
  SequenceStep s;
  s.label = frame;
  s.frame = [frame] { return bytes(frame); };
  s.accepts = [answerPrefix](std::span<const uint8_t> block) {
    return std::string(block.begin(), block.end()).rfind(answerPrefix, 0) == 0;
  };
  s.answerWindowMs = windowMs;
  return s;
}

// A sequencer on a manual clock, recording what it reports.
struct Rig {
  Rig() {
    clock.timers.push_back(&timer);
    timer.onTick = [this] { sequencer.timerFired(); };
  }
  RequestSequencer::Callbacks record(Next onAnswer = Next::Continue) {
    return {
        [this](size_t i, size_t n, const std::string& label) {
          steps.push_back(std::to_string(i) + "/" + std::to_string(n) + " " + label);
        },
        [this, onAnswer](size_t i, bool answered, std::span<const uint8_t> answer) {
          answers.push_back(std::to_string(i) + (answered ? " " + std::string(answer.begin(), answer.end()) : " -"));
          return onAnswer;
        },
        [this](Outcome o, const std::string& why) {
          outcomes.push_back(o);
          failure = why;
        }};
  }
  void block(const std::string& s) {
    const auto b = bytes(s);
    sequencer.blockReceived(b);
  }

  ManualClock clock;
  FakeTimer timer{clock, 1000};
  FakeLine line;
  RequestSequencer sequencer{line, timer};
  std::vector<std::string> steps, answers;
  std::vector<Outcome> outcomes;
  std::string failure;
};

class Sequencer : public ::testing::Test, public Rig {};

TEST_F(Sequencer, EachStepEndsAtItsAnswerOrItsWindowAndPassesOverOtherBlocks) {
  sequencer.start({step("A", "a", 100), step("B", "b", 250), step("C", "c", 100)}, record());
  EXPECT_EQ(line.written, std::vector<std::string>{"A"});
  clock.advance(50);
  block("noise");  // not an answer to A: passed over
  block("a1");
  EXPECT_EQ(line.written, (std::vector<std::string>{"A", "B"}));
  clock.advance(249);
  block("a2");  // A's late second answer is not B's
  EXPECT_TRUE(sequencer.running());
  clock.advance(1);  // B's window closes
  block("c!");
  EXPECT_EQ(steps, (std::vector<std::string>{"0/3 A", "1/3 B", "2/3 C"}));
  EXPECT_EQ(answers, (std::vector<std::string>{"0 a1", "1 -", "2 c!"}));
  EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::Completed});
  EXPECT_FALSE(timer.isActive());
  block("c again");  // after the end: nothing happens
  EXPECT_EQ(answers.size(), 3u);
}

TEST_F(Sequencer, StopCancelAndFailureEndAtOnceWithNothingMoreSent) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> act;
    Outcome outcome;
    size_t written;
  };
  const Case cases[] = {
      {"stop at the first answer", [](Rig& t) { t.block("a"); }, Outcome::Stopped, 1},
      {"cancel while waiting", [](Rig& t) { t.sequencer.cancel(); }, Outcome::Cancelled, 1},
      {"port lost", [](Rig& t) { t.sequencer.portLost("gone"); }, Outcome::PortLost, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig t;
    t.sequencer.start({step("A", "a"), step("B", "b")}, t.record(Next::Stop));
    c.act(t);
    t.clock.advance(1000);
    EXPECT_EQ(t.outcomes, std::vector<Outcome>{c.outcome});
    EXPECT_EQ(t.line.written.size(), c.written);
    EXPECT_FALSE(t.sequencer.running());
    EXPECT_FALSE(t.timer.isActive());
  }
}

TEST_F(Sequencer, ASkippedStepSendsNothingAndARefusedOneEndsTheSequence) {
  SequenceStep refusedRate = step("X", "x");
  refusedRate.prepare = [] { return false; };
  SequenceStep badFrame = step("Y", "y");
  badFrame.frame = []() -> std::vector<uint8_t> { throw std::runtime_error("Preamble Length: out of range"); };
  sequencer.start({refusedRate, step("A", "a"), badFrame, step("B", "b")}, record());
  EXPECT_EQ(line.written, std::vector<std::string>{"A"});
  block("a");
  EXPECT_EQ(answers, (std::vector<std::string>{"0 -", "1 a"}));
  EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::Failed});
  EXPECT_EQ(failure, "Preamble Length: out of range");
  EXPECT_EQ(line.written.size(), 1u);
}

TEST_F(Sequencer, AnAnswerThatCannotBeTakenFailsTheSequenceWithItsMessage) {
  auto callbacks = record();
  callbacks.onAnswer = [](size_t, bool, std::span<const uint8_t>) -> Next { throw std::runtime_error("Data eeore!"); };
  sequencer.start({step("A", "a"), step("B", "b")}, callbacks);
  block("a");  // thrown inside the delivery of a block: it must not escape to the event loop
  EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::Failed});
  EXPECT_EQ(failure, "Data eeore!");
  EXPECT_EQ(line.written, std::vector<std::string>{"A"});
  EXPECT_FALSE(timer.isActive());
}

TEST_F(Sequencer, AClosedPortFailsTheSequenceInsteadOfWaitingOnSilence) {
  line.open = false;
  sequencer.start({step("A", "a")}, record());
  EXPECT_EQ(outcomes, std::vector<Outcome>{Outcome::Failed});
  EXPECT_FALSE(timer.isActive());
}

TEST_F(Sequencer, ASequenceStartedFromTheEndOfAnotherRunsOnItsOwn) {
  auto callbacks = record();
  callbacks.onFinished = [this](Outcome o, const std::string&) {
    outcomes.push_back(o);
    if (outcomes.size() == 1) sequencer.start({step("B", "b")}, record());
  };
  sequencer.start({step("A", "a")}, callbacks);
  block("a");
  EXPECT_EQ(line.written, (std::vector<std::string>{"A", "B"}));
  EXPECT_TRUE(sequencer.running());
  clock.advance(100);
  EXPECT_EQ(outcomes, (std::vector<Outcome>{Outcome::Completed, Outcome::Completed}));
}

}  // namespace
}  // namespace tq::engine::testing
