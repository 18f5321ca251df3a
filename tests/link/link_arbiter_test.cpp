// The link arbiter on a fake port and a manual clock: what reaches the
// journal and in which order, who gets a block, what a sequence holding the
// line keeps from the engine and gives back, and what a hang-up does and in
// which order.
#include "link/link_arbiter.h"

#include <gtest/gtest.h>

#include "engine/fakes.h"
#include "support/fake_link_port.h"

namespace tq::link {
namespace {

using engine::RequestSequencer;
using engine::SequenceStep;
using engine::testing::FakeTimer;
using engine::testing::ManualClock;
using Outcome = RequestSequencer::Outcome;

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

struct Rig {
  Rig() {
    clock.timers.push_back(&timer);
    timer.onTick = [this] { link.timerFired(); };
    link.setClock([this] { return journal::Moment{clock.now, clock.now * 1'000'000}; });
    link.onEngineBlock = [this](std::span<const uint8_t> block, int) {
      engineBlocks.emplace_back(block.begin(), block.end());
    };
  }

  // The engine's open, as Button1 makes it.
  void engineOpens(const std::string& name = "COM4") {
    link.closePort("by the operator");
    link.setBaudRate(9600);
    link.setParity(Parity::None);
    link.setCommName(name);
    link.disableXonXoff();
    link.openPort();
  }
  bool engineWrites(const std::string& text) { return link.writeData(bytes(text)); }

  // A sequence of one step per frame, each waiting 100 ms for any block.
  bool runSteps(std::vector<std::string> frames, std::string holder = "Find Module", bool yields = false) {
    std::vector<SequenceStep> steps;
    for (const std::string& f : frames) {
      SequenceStep step;
      step.label = f;
      step.frame = [f] { return bytes(f); };
      step.answerWindowMs = 100;
      // The poll takes only its answer.
      if (yields)
        step.accepts = [](std::span<const uint8_t> b) { return std::string(b.begin(), b.end()).rfind("poll", 0) == 0; };
      steps.push_back(std::move(step));
    }
    RequestSequencer::Callbacks callbacks;
    callbacks.onAnswer = [this](size_t, bool answered, std::span<const uint8_t> answer) {
      answers.push_back(answered ? std::string(answer.begin(), answer.end()) : "-");
      return RequestSequencer::Next::Continue;
    };
    callbacks.onFinished = [this, holder](Outcome outcome, const std::string& why) {
      order.push_back("finished");
      finishedBy.push_back(holder);
      outcomes.push_back(outcome);
      failure = why;
      claimedAtEnd = link.claimed();
    };
    return link.run({holder, std::move(steps), std::move(callbacks), yields});
  }
  // The trend's poll: one step that gives way.
  bool poll(const std::string& frame = "POLL") { return runSteps({frame}, "the trend", true); }

  std::vector<std::string> journalTexts() const {
    std::vector<std::string> out;
    for (size_t i = 0; i < journal.size(); ++i) {
      const journal::Entry& e = journal.at(i);
      const char* tag = e.direction == journal::Direction::Sent       ? "sent "
                        : e.direction == journal::Direction::Received ? "received "
                                                                      : "";
      out.push_back(tag + (e.bytes ? std::string(e.bytes->begin(), e.bytes->end()) : e.summary));
    }
    return out;
  }

  ManualClock clock;
  FakeTimer timer{clock, 1000};
  testing::FakeLinkPort port;
  journal::Journal journal;
  LinkArbiter link{port, journal, timer};
  std::vector<std::string> engineBlocks;
  std::vector<std::string> answers;
  std::vector<std::string> order;
  std::vector<Outcome> outcomes;
  std::vector<std::string> finishedBy;
  std::string failure;
  bool claimedAtEnd = true;
};

TEST(LinkArbiter, EveryWriteBlockAndEventIsJournaledInTheOrderItHappened) {
  Rig t;
  t.engineOpens();
  EXPECT_TRUE(t.engineWrites("QQQ#QV#"));
  t.port.deliver("QV:21#");
  t.link.journalEvent("Time-out: Connection Timeout!");
  t.link.closePort("by the operator");
  EXPECT_FALSE(t.engineWrites("QQQ#QX1#"));
  EXPECT_EQ(t.journalTexts(),
            (std::vector<std::string>{"Port COM4 opened, 9600 baud, parity none", "sent QQQ#QV#", "received QV:21#",
                                      "Time-out: Connection Timeout!", "Port COM4 closed by the operator",
                                      "Not sent, the port is closed: Configuration query QX1, System Parameters"}))
      << "the closed port's line names what was not sent";
  EXPECT_EQ(t.engineBlocks, std::vector<std::string>{"QV:21#"});
}

TEST(LinkArbiter, APortThatWillNotOpenIsJournaledWithItsReasonAndTheErrorReachesTheCaller) {
  Rig t;
  t.port.unavailablePorts["COM9"] = "Error opening serial port";
  EXPECT_THROW(t.engineOpens("COM9"), serial::ECommsError);
  EXPECT_EQ(t.journalTexts(),
            std::vector<std::string>{"Port COM9 not opened (9600 baud, parity none): Error opening serial port"});
  EXPECT_FALSE(t.link.isOpen());
}

// While a sequence holds the line the engine reaches nothing: every call it
// makes is refused or ignored, each refusal journaled.
TEST(LinkArbiter, AHeldLineRefusesTheEngineAndGivesItsPortBackUntouched) {
  Rig t;
  t.engineOpens();
  const std::vector<std::string> callsBefore = t.port.calls;
  ASSERT_TRUE(t.runSteps({"A", "B"}, "the HART Instrument page"));
  EXPECT_TRUE(t.link.claimed());
  EXPECT_FALSE(t.runSteps({"C"})) << "a second sequence waits its turn";

  EXPECT_FALSE(t.engineWrites("QQQ#QV#"));
  t.link.setBaudRate(19200);
  t.link.setParity(Parity::Even);
  t.link.setCommName("COM7");
  t.link.disableXonXoff();
  t.link.setDtr(true);
  t.link.setRts(true);
  t.link.closePort("by the operator");
  EXPECT_THROW(t.link.openPort(), serial::ECommsError);
  t.port.deliver("a");   // the sequence's, not the engine's
  t.clock.advance(100);  // B's window closes: the sequence ends

  EXPECT_EQ(t.answers, (std::vector<std::string>{"a", "-"}));
  EXPECT_EQ(t.outcomes, std::vector<Outcome>{Outcome::Completed});
  EXPECT_FALSE(t.claimedAtEnd) << "the line is given back before the holder hears the end";
  EXPECT_TRUE(t.engineBlocks.empty());
  std::vector<std::string> expected = callsBefore;
  expected.insert(expected.end(), {"write A", "write B"});
  EXPECT_EQ(t.port.calls, expected) << "nothing of the engine's reached the port";
  EXPECT_EQ(t.port.baudRate(), 9600u);
  EXPECT_EQ(t.port.name(), "COM4");
  const std::vector<std::string> texts = t.journalTexts();
  for (const char* line :
       {"Not sent, the HART Instrument page holds the port: Configuration query QV, Communication Query",
        "Close refused: the HART Instrument page holds the port",
        "Open refused: the HART Instrument page holds the port"}) {
    EXPECT_NE(std::find(texts.begin(), texts.end(), line), texts.end())
        << line << " in " << ::testing::PrintToString(texts);
  }

  // Given back: the engine's frames go out and its blocks reach it again.
  EXPECT_TRUE(t.engineWrites("QQQ#QV#"));
  t.port.deliver("QV:21#");
  EXPECT_EQ(t.engineBlocks, std::vector<std::string>{"QV:21#"});
}

TEST(LinkArbiter, CancelAndAFailedStepGiveTheLineBackAsTheEndDoes) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> act;
    Outcome outcome;
  };
  const Case cases[] = {
      {"cancelled", [](Rig& t) { t.link.cancelRun(); }, Outcome::Cancelled},
      {"port closed under it",
       [](Rig& t) {
         t.link.close("by Find Module");
         t.port.deliver("a");
       },
       Outcome::Failed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig t;
    t.engineOpens();
    ASSERT_TRUE(t.runSteps({"A", "B"}));
    c.act(t);
    t.clock.advance(100);
    EXPECT_EQ(t.outcomes, std::vector<Outcome>{c.outcome});
    EXPECT_FALSE(t.link.claimed());
    EXPECT_FALSE(t.timer.isActive());
  }
}

// The order matters: the sequence must have ended (and given the line back)
// before a listener reopens the port or shows the loss.
TEST(LinkArbiter, AHangUpClosesRecordsTheLossEndsTheSequenceThenTellsListenersInOrder) {
  Rig t;
  t.link.openWith({"/dev/ttyUSB0", 38400, Parity::Even, true, false});
  t.link.addHangupListener([&](const LostPort& lost) {
    t.order.push_back("first " + lost.line.text());
    EXPECT_FALSE(t.link.isOpen());
    EXPECT_FALSE(t.link.claimed());
  });
  t.link.addHangupListener([&](const LostPort&) { t.order.push_back("second"); });
  ASSERT_TRUE(t.runSteps({"A"}));
  t.port.hangUp();

  EXPECT_FALSE(t.link.isOpen());
  EXPECT_EQ(t.order, (std::vector<std::string>{"finished", "first /dev/ttyUSB0, 38400 baud, parity even", "second"}));
  EXPECT_EQ(t.outcomes, std::vector<Outcome>{Outcome::PortLost});
  EXPECT_EQ(t.failure, "The serial port /dev/ttyUSB0 hung up (adapter unplugged, device gone or far end closed).");
  ASSERT_TRUE(t.link.lostPort());
  EXPECT_EQ(t.link.lostPort()->line, (LineSetting{"/dev/ttyUSB0", 38400, Parity::Even, true, false}));
  EXPECT_EQ(t.journalTexts().back(),
            "Port /dev/ttyUSB0 closed: the device hung up (adapter unplugged, device gone or far end closed)");
  t.engineOpens("/dev/ttyUSB0");
  EXPECT_FALSE(t.link.lostPort()) << "an open forgets the loss";
}

// Events of an open closed since belong to nobody now: a late hang-up must
// not close the port open now, a late answer must not end the step asked now.
TEST(LinkArbiter, EventsOfAnEarlierOpenAreIgnored) {
  Rig t;
  t.engineOpens();
  const uint64_t earlier = t.port.session();
  t.engineOpens();
  int hangups = 0;
  t.link.addHangupListener([&](const LostPort&) { ++hangups; });

  t.port.hangUpFrom(earlier);
  EXPECT_TRUE(t.link.isOpen());
  EXPECT_EQ(hangups, 0);

  ASSERT_TRUE(t.runSteps({"A"}));
  t.port.deliverFrom(earlier, "late");
  EXPECT_TRUE(t.answers.empty());
  EXPECT_EQ(t.journalTexts().back(), "received late") << "journaled all the same";
  t.port.deliver("a");
  EXPECT_EQ(t.answers, std::vector<std::string>{"a"});
}

TEST(LinkArbiter, ABlockIsStampedWhenItEndedOnTheLineAndTheEngineToldItsAge) {
  Rig t;
  int age = -1;
  t.link.onEngineBlock = [&](std::span<const uint8_t>, int ageMs) { age = ageMs; };
  t.engineOpens();
  t.clock.now = 1000;
  t.port.deliver("QV:21#", 880 * 1'000'000);
  EXPECT_EQ(age, 120);
  EXPECT_EQ(t.journal.at(t.journal.size() - 1).at.wallMs, 880);
}

// Every exchange is counted where it passes, whoever makes it: the
// engine's (its time-out told by the window), a sequence's step (its
// window closing), and each open starts the count again.
TEST(LinkArbiter, CountsEveryExchangeOfTheEngineAndOfSequencesUntilTheNextOpen) {
  Rig t;
  int changes = 0;
  t.link.onStatsChanged = [&] { ++changes; };
  t.engineOpens();
  t.engineWrites("QQQ#QV#");
  t.clock.now = 200;
  t.port.deliver("QV:21#", 200 * 1'000'000);
  t.engineWrites("QQQ#QX1#");
  t.link.answerTimedOut();  // Timer3 showed its time-out
  ASSERT_TRUE(t.runSteps({"A", "B"}));
  t.clock.advance(100);  // A unanswered
  // B answered by a HART reply whose check byte is wrong.
  t.port.deliver(std::string("\xFF\xFF\x86\xA6\x06\x12\x34\x56\x03\x02\x00\x00\x00", 13), t.clock.now * 1'000'000);

  const LinkStats& s = t.link.stats();
  EXPECT_EQ(s.counts(), (LinkStats::Counts{4, 2, 2, 1}));
  EXPECT_EQ(s.counts(Traffic::Configuration), (LinkStats::Counts{2, 1, 1, 0}));
  EXPECT_EQ(s.counts(Traffic::Other), (LinkStats::Counts{2, 1, 1, 1})) << "A and B are no protocol's frames";
  EXPECT_EQ(s.percentileMs(0.5, Traffic::Configuration), 200);
  EXPECT_GT(changes, 0);

  t.engineOpens();
  EXPECT_EQ(t.link.stats().counts(), LinkStats::Counts{});
}

// A run that gives way shares the line: a page's frame that comes while
// its step is out waits for the step's answer or window, then goes, and
// its answer reaches the engine as ever; blocks the step does not take are
// the engine's too.
TEST(LinkArbiterSharing, APagesFrameWaitsForThePollOutThenGoesAndGetsItsAnswer) {
  struct Case {
    const char* name;
    std::function<void(Rig&)> pollEnds;
    std::string pollAnswer;
  };
  const Case cases[] = {
      {"answered", [](Rig& t) { t.port.deliver("poll answer"); }, "poll answer"},
      {"its window closed", [](Rig& t) { t.clock.advance(100); }, "-"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig t;
    int heldSent = 0;
    t.link.onHeldWriteSent = [&] { ++heldSent; };
    t.engineOpens();
    ASSERT_TRUE(t.poll());
    EXPECT_FALSE(t.link.claimed()) << "the engine may still write";
    EXPECT_TRUE(t.link.yielding());
    EXPECT_TRUE(t.engineWrites("QQQ#QV#")) << "held, not refused";
    EXPECT_TRUE(t.engineWrites("QQQ#QX1#"));
    EXPECT_EQ(t.port.written, std::vector<std::string>{"POLL"});
    t.port.deliver("noise");  // not the poll's: the engine's
    c.pollEnds(t);

    EXPECT_EQ(t.answers, std::vector<std::string>{c.pollAnswer});
    EXPECT_EQ(t.port.written, (std::vector<std::string>{"POLL", "QQQ#QV#", "QQQ#QX1#"})) << "in the order they came";
    EXPECT_EQ(heldSent, 2);
    EXPECT_FALSE(t.link.yielding());
    t.port.deliver("QV:21#");
    EXPECT_EQ(t.engineBlocks, (std::vector<std::string>{"noise", "QV:21#"}));
    for (const std::string& line : t.journalTexts()) EXPECT_EQ(line.find("Not sent"), std::string::npos) << line;
  }
}

// A sequence asked for while a poll is out starts when the poll ends; while
// it waits the line is claimed as if it ran, and a cancel ends it, not the
// poll.
TEST(LinkArbiterSharing, ARunAskedForDuringAPollStartsAtItsEndAndACancelEndsTheWaitingOne) {
  Rig t;
  t.engineOpens();
  ASSERT_TRUE(t.poll());
  ASSERT_TRUE(t.runSteps({"QQQ#QV#"}, "Read Module"));
  EXPECT_TRUE(t.link.claimed());
  EXPECT_EQ(t.link.holder(), "Read Module");
  EXPECT_FALSE(t.poll("POLL2")) << "one run waits at a time";
  EXPECT_FALSE(t.engineWrites("QQQ#QX1#"));
  EXPECT_EQ(t.journalTexts().back(),
            "Not sent, Read Module holds the port: Configuration query QX1, System Parameters");

  t.port.deliver("poll answer");
  EXPECT_EQ(t.port.written, (std::vector<std::string>{"POLL", "QQQ#QV#"}));
  t.port.deliver("QV:21#");
  EXPECT_EQ(t.answers, (std::vector<std::string>{"poll answer", "QV:21#"}));
  EXPECT_EQ(t.finishedBy, (std::vector<std::string>{"the trend", "Read Module"}));
  EXPECT_FALSE(t.link.claimed());

  ASSERT_TRUE(t.poll());
  ASSERT_TRUE(t.runSteps({"QQQ#QV#"}, "the HART Instrument page"));
  t.link.cancelRun();
  EXPECT_EQ(t.finishedBy.back(), "the HART Instrument page");
  EXPECT_EQ(t.outcomes.back(), Outcome::Cancelled);
  EXPECT_TRUE(t.link.yielding()) << "the poll goes on";
  t.port.deliver("poll answer");
  EXPECT_EQ(t.port.written.back(), "POLL");
}

// The engine closing the port ends the poll at once (what it held goes
// first, as the operator did it); a hang-up ends the waiting run with the
// poll, both told why.
TEST(LinkArbiterSharing, ACloseEndsThePollAtOnceAndAHangUpEndsTheWaitingRunToo) {
  {
    Rig t;
    t.engineOpens();
    ASSERT_TRUE(t.poll());
    t.engineWrites("QQQ#QV#");
    t.link.closePort("by the operator");
    EXPECT_EQ(t.outcomes, std::vector<Outcome>{Outcome::Cancelled});
    EXPECT_EQ(t.port.calls.back(), "close");
    EXPECT_EQ(t.port.written.back(), "QQQ#QV#");
    EXPECT_FALSE(t.timer.isActive());
  }
  {
    Rig t;
    t.engineOpens();
    ASSERT_TRUE(t.poll());
    ASSERT_TRUE(t.runSteps({"A"}, "Read Module"));
    t.port.hangUp();
    EXPECT_EQ(t.finishedBy, (std::vector<std::string>{"the trend", "Read Module"}));
    EXPECT_EQ(t.outcomes, (std::vector<Outcome>{Outcome::PortLost, Outcome::PortLost}));
    EXPECT_EQ(t.failure, "The serial port COM4 hung up (adapter unplugged, device gone or far end closed).");
    EXPECT_FALSE(t.link.claimed());
    EXPECT_EQ(t.port.written, std::vector<std::string>{"POLL"});
  }
}

}  // namespace
}  // namespace tq::link
