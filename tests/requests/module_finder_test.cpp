// The module finder through the link on a fake port and a manual clock:
// the settings it tries and in which order, where it stops, what it skips,
// and what it leaves behind when cancelled or when nothing answers.
#include "requests/module_finder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/fakes.h"
#include "link/link_arbiter.h"
#include "support/fake_link_port.h"

namespace tq::requests {
namespace {

using engine::testing::FakeTimer;
using engine::testing::ManualClock;
using Outcome = ModuleFinder::Outcome;

constexpr const char* kQuery = "QQQ#QV#";
constexpr const char* kAnswer = "QV:21#";
// The module's answer comes this long after the query: at once, plus the
// serial link's block silence.
constexpr int kAnswerAfterMs = 110;

// A port with a module behind it that hears only its own setting. At its
// rate but another parity the answer comes back as garbage, as on a line.
class FakeModulePort : public testing::FakeLinkPort {
 public:
  std::optional<LineSetting> module;

  std::optional<LineSetting> opened;
  std::vector<LineSetting> opens;  // every open asked for, refused or not
  std::vector<LineSetting> writtenAt;
  std::optional<std::string> reply;  // due kAnswerAfterMs after the last write

  void open() override {
    EXPECT_FALSE(opened) << "opened twice without a close";
    const LineSetting line{name(), baudRate(), parity(), rts(), dtr()};
    opens.push_back(line);
    FakeLinkPort::open();  // throws for a refused rate or an unavailable port
    opened = line;
  }
  void close() override {
    FakeLinkPort::close();
    opened.reset();
    reply.reset();
  }
  bool write(std::span<const uint8_t> bytes) override {
    if (!FakeLinkPort::write(bytes)) return false;
    writtenAt.push_back(*opened);
    if (module && module->port == opened->port && module->baud == opened->baud) {
      reply = module->parity == opened->parity ? std::string(kAnswer) : std::string("\xB1\xFE\x0D\xA7", 4);
    }
    return true;
  }
};

struct Rig {
  Rig() {
    clock.timers.push_back(&timer);
    timer.onTick = [this] { link.timerFired(); };
  }

  bool start(const FinderPlan& plan) {
    return finder.start(plan, {[this](size_t i, size_t n, const LineSetting& t) {
                                 progress.push_back({i, n, t});
                               },
                               [this](const ModuleFinder::Result& r) { results.push_back(r); }});
  }
  // Runs the clock until the search ends or the try numbered `stopAtTry`
  // (from 1) has begun, handing the module's answers over as they fall due.
  void run(size_t stopAtTry = SIZE_MAX) {
    for (int guard = 0; finder.running() && progress.size() < stopAtTry && guard < 100'000; ++guard) {
      if (!port.reply) {
        clock.advance(1);
        continue;
      }
      const std::string block = *std::exchange(port.reply, std::nullopt);
      clock.advance(kAnswerAfterMs);
      port.deliver(block);
    }
  }
  std::vector<LineSetting> triedInOrder() const {
    std::vector<LineSetting> out;
    for (const auto& p : progress) out.push_back(p.line);
    return out;
  }

  struct Progress {
    size_t index, count;
    LineSetting line;
  };
  ManualClock clock;
  FakeTimer timer{clock, 1000};
  FakeModulePort port;
  journal::Journal journal;
  link::LinkArbiter link{port, journal, timer};
  ModuleFinder finder{link};
  std::vector<Progress> progress;
  std::vector<ModuleFinder::Result> results;
};

FinderPlan plan(std::vector<std::string> ports, std::optional<uint32_t> baud, Parity parity) {
  return {std::move(ports), baud, parity, {1200, 2400, 4800, 9600, 19200, 38400, 57600, 15200}};
}

LineSetting at(uint32_t baud, Parity parity, const std::string& port = "COM4") { return {port, baud, parity}; }

// The order every search follows after the chosen setting.
std::vector<LineSetting> fixedOrder(const std::string& port) {
  std::vector<LineSetting> out;
  for (uint32_t rate : kFinderRates) {
    for (Parity p : {Parity::None, Parity::Even, Parity::Odd}) out.push_back({port, rate, p});
  }
  return out;
}

TEST(FinderOrder, TheChosenSettingFirstThenEveryRateAndParityOnceInTheFixedOrder) {
  struct Case {
    const char* name;
    FinderPlan plan;
    std::vector<LineSetting> expected;
  };
  auto chosenThenFixed = [](LineSetting chosen) {
    std::vector<LineSetting> out{chosen};
    for (const LineSetting& t : fixedOrder(chosen.port)) {
      if (!(t == chosen)) out.push_back(t);
    }
    return out;
  };
  std::vector<LineSetting> typedRate = chosenThenFixed(at(14400, Parity::Odd));
  typedRate.push_back(at(14400, Parity::None));
  typedRate.push_back(at(14400, Parity::Even));
  std::vector<LineSetting> listOnly = fixedOrder("COM4");
  for (Parity p : {Parity::None, Parity::Even, Parity::Odd}) listOnly.push_back(at(250000, p));
  std::vector<LineSetting> twoPorts = fixedOrder("/dev/ttyUSB0");
  for (const LineSetting& t : fixedOrder("COM4")) twoPorts.push_back(t);

  const Case cases[] = {
      {"the factory setting chosen", plan({"COM4"}, 9600, Parity::None), fixedOrder("COM4")},
      {"another setting chosen", plan({"COM4"}, 38400, Parity::Even), chosenThenFixed(at(38400, Parity::Even))},
      {"a typed rate outside the list", plan({"COM4"}, 14400, Parity::Odd), typedRate},
      {"no rate in the baud entry", plan({"COM4"}, std::nullopt, Parity::Even), fixedOrder("COM4")},
      {"mark parity chosen", plan({"COM4"}, 9600, Parity::Mark), fixedOrder("COM4")},
      {"a listed rate outside the fixed order", FinderPlan{{"COM4"}, 9600, Parity::None, {9600, 250000, 1200}},
       listOnly},
      {"all ports, each once, the chosen first", plan({"/dev/ttyUSB0", "COM4", "/dev/ttyUSB0"}, 9600, Parity::None),
       twoPorts},
      {"no port", plan({}, 9600, Parity::None), {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(finderTries(c.plan), c.expected);
  }
}

TEST(FinderWindow, EachTryWaitsForTheAnswerAndItsCharactersButNeverLessThan300Ms) {
  struct Case {
    uint32_t baud;
    int windowMs;
  };
  // 13 characters of 11 bits: 120 ms at 1200 baud, 60 at 2400, 30 at 4800.
  const Case cases[] = {{1200, 370}, {2400, 310}, {4800, 300}, {9600, 300}, {115200, 300}, {0, 300}};
  for (const Case& c : cases) EXPECT_EQ(answerWindowMs(c.baud), c.windowMs) << c.baud;
}

TEST(FinderSearch, ASilentLineIsAskedOnceAtEverySettingInOrderAndEachWindowIsWaitedInFull) {
  Rig rig;
  const FinderPlan p = plan({"COM4"}, 38400, Parity::Even);
  ASSERT_TRUE(rig.start(p));
  rig.run();
  EXPECT_EQ(rig.port.opens, finderTries(p));
  EXPECT_EQ(rig.port.writtenAt, finderTries(p));
  EXPECT_TRUE(
      std::all_of(rig.port.written.begin(), rig.port.written.end(), [](const std::string& w) { return w == kQuery; }));
  EXPECT_EQ(rig.triedInOrder(), finderTries(p));
  EXPECT_EQ(rig.clock.now, worstCaseMs(finderTries(p)));
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_EQ(rig.results[0].outcome, Outcome::NothingAnswered);
  EXPECT_FALSE(rig.port.opened);
  EXPECT_FALSE(rig.timer.isActive());
}

TEST(FinderSearch, AModuleHeardAtOneSettingOnlyIsFoundThereAndNothingMoreIsSent) {
  struct Case {
    LineSetting module;
    LineSetting chosen;
  };
  const Case cases[] = {
      {at(9600, Parity::None), at(9600, Parity::None)},  {at(9600, Parity::Odd), at(9600, Parity::None)},
      {at(38400, Parity::Even), at(9600, Parity::None)}, {at(1200, Parity::Odd), at(19200, Parity::Even)},
      {at(15200, Parity::None), at(9600, Parity::Odd)},  {at(19200, Parity::Even), at(19200, Parity::Even)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.module.text());
    Rig rig;
    rig.port.module = c.module;
    const FinderPlan p = plan({"COM4"}, c.chosen.baud, c.chosen.parity);
    ASSERT_TRUE(rig.start(p));
    rig.run();
    ASSERT_EQ(rig.results.size(), 1u);
    const ModuleFinder::Result& r = rig.results[0];
    EXPECT_EQ(r.outcome, Outcome::Found);
    EXPECT_EQ(r.found, c.module);
    EXPECT_EQ(std::string(r.answer.begin(), r.answer.end()), kAnswer);
    // Every setting before the module's was asked once, none after it.
    const std::vector<LineSetting> all = finderTries(p);
    const auto foundAt = std::find(all.begin(), all.end(), c.module);
    EXPECT_EQ(rig.port.writtenAt, std::vector<LineSetting>(all.begin(), foundAt + 1));
    EXPECT_FALSE(rig.port.opened);
    EXPECT_FALSE(rig.timer.isActive());
  }
}

TEST(FinderSearch, ASettingThePortRefusesIsPassedOverAndAPortThatWillNotOpenIsNotAskedAgain) {
  Rig rig;
  rig.port.refusedRates = {19200, 115200};
  rig.port.unavailablePorts["COM1"] = "Error opening serial port";
  rig.port.module = at(4800, Parity::Even, "/dev/ttyUSB0");
  ASSERT_TRUE(rig.start(plan({"COM1", "/dev/ttyUSB0"}, 9600, Parity::None)));
  rig.run();
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_EQ(rig.results[0].found, at(4800, Parity::Even, "/dev/ttyUSB0"));
  const auto opensOf = [&](const std::string& port) {
    return std::count_if(rig.port.opens.begin(), rig.port.opens.end(),
                         [&](const LineSetting& t) { return t.port == port; });
  };
  EXPECT_EQ(opensOf("COM1"), 1);
  for (const LineSetting& t : rig.port.writtenAt) {
    EXPECT_TRUE(t.baud != 19200 && t.baud != 115200) << t.text();
  }
  // 9600, 19200 (refused), 38400, 57600, 115200 (refused), then 4800 none
  // and even: the refused ones cost no window.
  EXPECT_EQ(rig.port.writtenAt.size(), 11u);
  EXPECT_EQ(rig.clock.now, 10 * kMinAnswerWindowMs + kAnswerAfterMs);
}

TEST(FinderSearch, CancelledHalfWayItSendsNothingMoreAndClosesThePort) {
  Rig rig;
  rig.port.module = at(1200, Parity::Odd);  // would be found late
  ASSERT_TRUE(rig.start(plan({"COM4"}, 9600, Parity::None)));
  rig.run(13);
  ASSERT_TRUE(rig.finder.running());
  ASSERT_TRUE(rig.port.opened);
  const size_t sent = rig.port.written.size();
  rig.finder.cancel();
  ASSERT_EQ(rig.results.size(), 1u);
  EXPECT_EQ(rig.results[0].outcome, Outcome::Cancelled);
  EXPECT_FALSE(rig.results[0].found);
  EXPECT_FALSE(rig.port.opened);
  EXPECT_FALSE(rig.timer.isActive());
  rig.clock.advance(60'000);
  EXPECT_EQ(rig.port.written.size(), sent);
  EXPECT_EQ(rig.results.size(), 1u);
  // A new search can start at once.
  EXPECT_TRUE(rig.start(plan({"COM4"}, 9600, Parity::None)));
}

TEST(FinderMessage, NothingAnsweredSaysWhatWasTriedOnEachPortAndWhatToCheck) {
  struct Case {
    const char* name;
    std::function<void(FakeModulePort&)> setUp;
    std::vector<std::string> ports;
    std::vector<std::string> lines;  // each must appear in the message
    std::vector<std::string> absent;
  };
  const Case cases[] = {
      {"a refused rate and a port that would not open",
       [](FakeModulePort& p) {
         p.refusedRates = {115200};
         p.unavailablePorts["COM1"] = "Error opening serial port";
       },
       {"COM4", "COM1"},
       {"COM4: 9600, 19200, 38400, 57600, 4800, 2400, 1200 and 15200 baud, parity none, even and odd; "
        "refused by the port: 115200 baud, parity none, even and odd",
        "COM1: could not be opened (Error opening serial port)", "COM_RTS ticked", "another program holding the port"},
       {}},
      {"no port would open",
       [](FakeModulePort& p) { p.unavailablePorts["COM4"] = "Error opening serial port"; },
       {"COM4"},
       {"no port could be opened", "COM4: could not be opened (Error opening serial port)"},
       {"No module answered"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig rig;
    c.setUp(rig.port);
    ASSERT_TRUE(rig.start(plan(c.ports, 9600, Parity::None)));
    rig.run();
    ASSERT_EQ(rig.results.size(), 1u);
    EXPECT_EQ(rig.results[0].outcome, Outcome::NothingAnswered);
    const std::string& m = rig.results[0].message;
    for (const std::string& line : c.lines) EXPECT_NE(m.find(line), std::string::npos) << line << "\nin:\n" << m;
    for (const std::string& line : c.absent) EXPECT_EQ(m.find(line), std::string::npos) << line << "\nin:\n" << m;
  }
}

}  // namespace
}  // namespace tq::requests
