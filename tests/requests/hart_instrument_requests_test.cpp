// The HART Instrument page's exchanges on a manual clock: which blocks
// answer a step (the address asked, the command asked, the instrument
// addressed) and which are passed over, and what the engine keeps.
#include "requests/hart_instrument_requests.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "harness.h"
#include "hart/answer_window.h"
#include "hart/frames.h"
#include "link/link_arbiter.h"
#include "support/fake_link_port.h"

namespace tq::requests::testing {
namespace {

using Bytes = std::vector<uint8_t>;

// A field device's reply with five preambles: `address` is one byte (short)
// or five (long).
Bytes reply(const Bytes& address, uint8_t command, const Bytes& data, uint8_t first = 0, bool badCheck = false) {
  Bytes block(5, 0xFF);
  const size_t delimiterAt = block.size();
  block.push_back(address.size() == 1 ? 0x06 : 0x86);
  for (uint8_t b : address) block.push_back(b);
  block.push_back(command);
  block.push_back(static_cast<uint8_t>(data.size() + 2));
  block.push_back(first);
  block.push_back(0);
  for (uint8_t b : data) block.push_back(b);
  const uint8_t check = hart::checkByte(std::span(block).subspan(delimiterAt));
  block.push_back(static_cast<uint8_t>(check ^ (badCheck ? 0x01 : 0x00)));
  return block;
}

Bytes join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

Bytes cut(Bytes bytes, size_t n) {
  bytes.resize(bytes.size() - n);
  return bytes;
}

// Command 0's data up to HART 5: manufacturer 38, type 6, id 12 34 (56 + k).
Bytes identity(uint8_t k = 0) { return {254, 38, 6, 5, 7, 1, 1, 0x08, 0, 0x12, 0x34, static_cast<uint8_t>(0x56 + k)}; }
const Bytes kInstrument = {0xA6, 0x06, 0x12, 0x34, 0x56};
const Bytes kOtherInstrument = {0xA6, 0x06, 0x12, 0x34, 0x57};

struct Rig : Harness {
  FakeTimer answerTimer{clock, 1000};
  tq::testing::FakeLinkPort linkPort;
  journal::Journal journal;
  link::LinkArbiter link{linkPort, journal, answerTimer};
  HartInstrumentRequests requests{engine, view, link, [this] { return timer3.isActive(); }};
  std::vector<int> found;
  std::vector<HartInstrumentRequests::Group> groups;
  std::vector<HartInstrumentRequests::Finished> finished;

  Rig() {
    clock.timers.push_back(&answerTimer);
    answerTimer.onTick = [this] { link.timerFired(); };
    link.openWith({"COM4"});
    edit("Edit9", "6");
    combo("ComboBox42", 2, 0);
    combo("ComboBox30", 16, 0);
    requests.events.onFound = [this](const hart::UniqueIdentifier& id) { found.push_back(id.pollingAddress); };
    requests.events.onGroup = [this](const HartInstrumentRequests::Group& g) { groups.push_back(g); };
    requests.events.onFinished = [this](const HartInstrumentRequests::Finished& f) { finished.push_back(f); };
  }
  void block(const Bytes& b) { linkPort.deliver(std::string(b.begin(), b.end())); }
  // The frames sent, in order.
  std::vector<Bytes> written() const {
    std::vector<Bytes> out;
    for (const std::string& w : linkPort.written) out.emplace_back(w.begin(), w.end());
    return out;
  }
  // The instrument of `identity()` addressed, as an identity read leaves it.
  void addressInstrument() { hart::storeIdentity({38, 6, {0x12, 0x34, 0x56}, 0}, engine.identity()); }
};

// Which blocks end the scan's step at polling address 5 and make a row.
struct ScanBlock {
  const char* name;
  Bytes block;
  bool row;
};

std::ostream& operator<<(std::ostream& os, const ScanBlock& b) { return os << b.name; }

class ScanAnswer : public ::testing::TestWithParam<ScanBlock>, public Rig {};

TEST_P(ScanAnswer, OnlyAGoodReplyFromTheAddressAskedCounts) {
  requests.scan(false);
  clock.advance(5 * hart::kScanAnswerWindowMs);  // addresses 0 .. 4 silent
  ASSERT_EQ(requests.currentStep(), 5u);
  block(GetParam().block);
  EXPECT_EQ(found, GetParam().row ? std::vector<int>{5} : std::vector<int>{});
  // Passed over, the step waits out its window.
  EXPECT_EQ(requests.currentStep(), GetParam().row ? 6u : 5u);
  EXPECT_TRUE(link.claimed());
}

INSTANTIATE_TEST_SUITE_P(Scan, ScanAnswer,
                         ::testing::Values(ScanBlock{"FromTheAddressAsked", reply({0x85}, 0, identity()), true},
                                           ScanBlock{"FromAnotherAddress", reply({0x86}, 0, identity()), false},
                                           ScanBlock{"WrongCheckByte", reply({0x85}, 0, identity(), 0, true), false},
                                           ScanBlock{"AnotherCommand", reply({0x85}, 3, identity()), false},
                                           ScanBlock{"CutShort", cut(reply({0x85}, 0, identity()), 3), false}),
                         [](const ::testing::TestParamInfo<ScanBlock>& info) { return std::string(info.param.name); });

// Which blocks answer Read All's command 2, the instrument addressed.
struct ReadBlock {
  const char* name;
  Bytes block;
  bool answers;
};

std::ostream& operator<<(std::ostream& os, const ReadBlock& b) { return os << b.name; }

class ReadAnswer : public ::testing::TestWithParam<ReadBlock>, public Rig {};

TEST_P(ReadAnswer, OnlyTheInstrumentAddressedAnsweringTheCommandAskedCounts) {
  addressInstrument();
  requests.readAll();
  block(reply(kInstrument, 1, {57, 0x41, 0x48, 0, 0}));
  ASSERT_EQ(groups.size(), 1u);
  block(GetParam().block);
  EXPECT_EQ(groups.size(), GetParam().answers ? 2u : 1u);
  if (GetParam().answers) {
    EXPECT_EQ(groups.back().command, 2);
    EXPECT_NE(groups.back().rows.front().name, "Primary variable") << "command 1's late reply shown as command 2's";
  }
}

INSTANTIATE_TEST_SUITE_P(
    ReadAll, ReadAnswer,
    ::testing::Values(ReadBlock{"TheCommandAsked", reply(kInstrument, 2, Bytes(8, 0)), true},
                      // Shown for what it is: its data is not used.
                      ReadBlock{"WrongCheckByte", reply(kInstrument, 2, Bytes(8, 0), 0, true), true},
                      ReadBlock{"LateReplyToTheCommandBefore", reply(kInstrument, 1, {57, 0, 0, 0, 0}), false},
                      // The late reply and the one asked for in one block: the latter is taken.
                      ReadBlock{"LateReplyThenTheCommandAsked",
                                join(reply(kInstrument, 1, {57, 0, 0, 0, 0}), reply(kInstrument, 2, Bytes(8, 0))),
                                true},
                      ReadBlock{"AnotherInstrument", reply(kOtherInstrument, 2, Bytes(8, 0)), false},
                      ReadBlock{"AShortFrame", reply({0x80}, 2, Bytes(8, 0)), false}),
    [](const ::testing::TestParamInfo<ReadBlock>& info) { return std::string(info.param.name); });

TEST_F(ReadAnswer, WithoutAnIdentityCommandZeroGoesFirstAndAddressesTheRest) {
  combo("ComboBox30", 16, 3);
  combo("ComboBox27", 9, 0);
  requests.readAll();
  ASSERT_EQ(written().size(), 1u);
  EXPECT_EQ(written()[0], Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x83, 0x00, 0x00, 0x81}));
  block(reply({0x83}, 0, identity()));
  ASSERT_EQ(written().size(), 2u);
  const Bytes second = written()[1];
  EXPECT_EQ(Bytes(second.begin() + 7, second.end() - 3), Bytes({0x82, 0xA6, 0x06, 0x12, 0x34, 0x56}));
  EXPECT_EQ(hart::readIdentity(engine.identity()), (hart::DeviceIdentity{38, 6, {0x12, 0x34, 0x56}, 3}));
  EXPECT_EQ(text("Edit32"), "1193046");
  EXPECT_EQ(index("ComboBox27"), 3);
}

// What the instrument said in its command 0 reply shapes what follows: its
// long frames carry at least the preambles it asked for, and command 48 is
// read by its universal revision. A warning's data are shown as read.
TEST(HartReadAll, TheLongFramesAndCommand48FollowWhatCommandZeroSaid) {
  struct Case {
    const char* name;
    bool identityHere;  // command 0 read by Read All; else identified on the Transparent Mode page
    uint8_t asked;      // preambles asked for (Edit31 on the Transparent Mode page)
    uint8_t revision;
    size_t preambles;       // of the long frames (Edit9 "6": seven)
    const char* sixthByte;  // the name command 48's byte 6 is shown under
  };
  const Case cases[] = {
      {"HART 5 asking for 9", true, 9, 5, 9, "Further device-specific status"},
      {"HART 7 asking for 5", true, 5, 7, 7, "Extended device status"},
      {"identified on the Transparent Mode page", false, 12, 0, 12, "Extended device status (HART 6 on)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    if (c.identityHere) {
      r.requests.readAll();
      r.block(reply({0x80}, 0, {254, 38, 6, c.asked, c.revision, 1, 1, 0x08, 0, 0x12, 0x34, 0x56}));
    } else {
      r.addressInstrument();
      r.edit("Edit31", std::to_string(c.asked));
      r.requests.readAll();
    }
    for (uint8_t command : readAllCommands()) {
      const Bytes frame = r.written().back();
      EXPECT_EQ(std::find_if(frame.begin(), frame.end(), [](uint8_t b) { return b != 0xFF; }) - frame.begin(),
                static_cast<std::ptrdiff_t>(c.preambles))
          << int{command};
      EXPECT_EQ(frame[c.preambles + 6], command);
      const uint8_t first = command == 15 ? 8 : 0;  // a warning
      r.block(reply(kInstrument, command, command == 48 ? Bytes(14, 0) : Bytes(4, 0), first));
    }
    ASSERT_EQ(r.finished.size(), 1u);
    EXPECT_EQ(r.finished[0].note, "Read All: answered 1, 2, 3, 12, 13, 20, 48; answered with a warning 15.");
    const auto& status = r.groups.back();
    ASSERT_EQ(status.command, 48);
    ASSERT_GE(status.rows.size(), 2u);
    EXPECT_EQ(status.rows[1].name, c.sixthByte);
    const auto& warned = r.groups[r.groups.size() - 3];
    ASSERT_EQ(warned.command, 15);
    EXPECT_EQ(warned.rows[0], (hart::PropertyRow{"Response", "8: command-specific warning", "", false}));
  }
}

// A step waits as long as a request with its frame's preambles takes: more
// preambles (the setting, or what the instrument asked for) never leave an
// answer on its way taken for none.
TEST(HartAnswerWindow, GrowsWithThePreamblesTheFrameCarries) {
  struct Case {
    const char* name;
    const char* preambleSetting;  // Edit9
    const char* asked;            // Edit31, the instrument addressed; nullptr: none addressed
    bool scan;                    // else Read All
    int windowMs;
  };
  const Case cases[] = {
      {"scan, the default setting", "6", nullptr, true, hart::kScanAnswerWindowMs},
      {"scan, twenty preambles set", "19", nullptr, true, hart::scanAnswerWindowMs(20)},
      {"scan, none set", "-1", nullptr, true, hart::kScanAnswerWindowMs},
      {"Read All, the instrument asked for five", "6", "5", false, hart::kReadAnswerWindowMs},
      {"Read All, the instrument asked for twenty", "6", "20", false, hart::readAnswerWindowMs(20)},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Rig r;
    r.edit("Edit9", c.preambleSetting);
    if (c.asked) {
      r.addressInstrument();
      r.edit("Edit31", c.asked);
    }
    c.scan ? r.requests.scan(false) : r.requests.readAll();
    r.clock.advance(c.windowMs - 1);
    EXPECT_EQ(r.requests.currentStep(), 0u);
    r.clock.advance(1);
    EXPECT_EQ(r.requests.currentStep(), 1u);
  }
  static_assert(hart::scanAnswerWindowMs(20) > hart::kScanAnswerWindowMs);
}

TEST_F(ReadAnswer, NoAnswerToCommandZeroStopsWithWhatToDo) {
  requests.readAll();
  clock.advance(hart::kScanAnswerWindowMs);
  ASSERT_EQ(finished.size(), 1u);
  EXPECT_EQ(finished[0].outcome, HartInstrumentRequests::Outcome::Stopped);
  EXPECT_EQ(finished[0].message.rfind("No instrument answered command 0 at polling address 0 within 1300 ms.", 0), 0u);
  EXPECT_EQ(written().size(), 1u);
  EXPECT_FALSE(link.claimed());
}

}  // namespace
}  // namespace tq::requests::testing
