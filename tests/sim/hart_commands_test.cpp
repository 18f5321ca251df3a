// The instrument's commissioning commands: reply bytes as the HART tables
// lay them out (built here by hand), writes read back, the "configuration
// changed" bookkeeping, a multidrop loop, and the injected faults.
#include <gtest/gtest.h>

#include <bit>
#include <ostream>
#include <string>
#include <variant>
#include <vector>

#include "hart_frames.h"
#include "sim/hart_instrument.h"
#include "sim/options.h"
#include "sim/packed_ascii.h"
#include "sim/simulator.h"

namespace tq::sim {
namespace {

using test::concat;
using test::hex;
using test::longFrame;
using test::shortFrame;
using test::withCheck;

constexpr HartIdentity kId{0x26, 0x06, 0x123456, 5, 0};  // universal revision 7
constexpr HartIdentity kIdHart5{0x26, 0x06, 0x123456, 5, 0, kHartRevision5};
constexpr double kAt = 15.0;  // the flow at its 70 m3/h crest

HartProperties commissioned() {
  HartProperties p;
  p.tag = "FT-101";
  p.descriptor = "RAW WATER INLET";
  p.message = "FLOW METER CALIBRATED 0-100 M3/H";
  p.date = {12, 6, 124};
  p.longTag = "Raw water inlet flow FT-101";
  p.alarmSelection = 1;    // low
  p.transferFunction = 1;  // square root
  p.lowerRange = -10.0f;
  p.upperRange = 250.0f;
  p.dampingSeconds = 2.5f;
  return p;
}

// Packed by hand. "FT-101  ": the characters' low six bits are 06 14 2D 31
// and 30 31 20 20; 000110 010100 101101 110001 regrouped in eights is
// 00011001 01001011 01110001 = 19 4B 71, and the second four give C3 18 20.
const std::vector<uint8_t> kTag = hex("19 4B 71 C3 18 20");
const std::vector<uint8_t> kDescriptor = hex("48 15 E0 5C 15 05 4A 02 4E 30 55 20");
const std::vector<uint8_t> kMessage = hex("18 C3 D7 80 D1 54 15 28 03 04 C2 42 48 15 05 12 0C 2D C7 0C 20 37 3B C8");
const std::vector<uint8_t> kDate = hex("0C 06 7C");  // 12 June 2024
const std::vector<uint8_t> kLongTag = concat(
    {hex("52 61 77 20 77 61 74 65 72 20 69 6E 6C 65 74 20 66 6C 6F 77 20 46 54 2D 31 30 31"), hex("00 00 00 00 00")});

// Delimiter and address of replies to the test's requests (primary master).
const std::vector<uint8_t> kShortHead = hex("06 80");
const std::vector<uint8_t> kLongHead = hex("86 A6 06 12 34 56");

std::vector<uint8_t> reply(const std::vector<uint8_t>& head, uint8_t command, uint8_t response, uint8_t status,
                           const std::vector<uint8_t>& data) {
  return withCheck(concat({head, {command, static_cast<uint8_t>(data.size() + 2), response, status}, data}));
}

// The reply without its preambles (five, as kId asks).
std::vector<uint8_t> body(const std::optional<std::vector<uint8_t>>& r) {
  if (!r || r->size() < 5) {
    ADD_FAILURE() << "no reply";
    return {};
  }
  EXPECT_EQ(std::vector<uint8_t>(r->begin(), r->begin() + 5), hex("FF FF FF FF FF"));
  return {r->begin() + 5, r->end()};
}

float floatAt(const std::vector<uint8_t>& b, size_t i) {
  return std::bit_cast<float>(uint32_t{b[i]} << 24 | uint32_t{b[i + 1]} << 16 | uint32_t{b[i + 2]} << 8 | b[i + 3]);
}

// Offsets in a long-frame reply without preambles.
constexpr size_t kLongStatus = 8;
constexpr size_t kLongData = 10;

TEST(PackedAscii, PacksByTheHartRule) {
  struct Case {
    std::string text;
    size_t characters;
    std::vector<uint8_t> packed;
  };
  const std::vector<Case> cases = {
      {"FT-101", 8, kTag},
      {"ft-101", 8, kTag},  // lower case is stored upper case
      {"RAW WATER INLET", 16, kDescriptor},
      // The ends of the character set: '@' is code 00, '_' code 3F.
      {"PT-7 @_", 8, hex("41 4B 77 80 07 E0")},
      {"", 4, hex("82 08 20")},  // blanks
  };
  for (const auto& c : cases) {
    EXPECT_FALSE(packedAsciiRefusal(c.text, c.characters)) << c.text;
    EXPECT_EQ(packAscii(c.text, c.characters), c.packed) << c.text;
  }
}

TEST(PackedAscii, RefusesWhatItCannotCarry) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"FT~101", "holds '~', which packed ASCII cannot carry"},
      {"FT\t1", "holds '\t', which packed ASCII cannot carry"},
      {"\xC3\x98"
       "200",
       "holds '\xC3\x98', which packed ASCII cannot carry"},  // a whole UTF-8 character named
      {"FT-101-XY", "is longer than 8 characters"},
  };
  for (const auto& [text, refusal] : cases) EXPECT_EQ(packedAsciiRefusal(text, 8), refusal) << text;
}

struct ReplyCase {
  const char* name;
  HartIdentity identity;
  std::vector<uint8_t> request;
  std::vector<uint8_t> expected;  // delimiter through check byte
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

class HartReplies : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(HartReplies, AsTheHartTablesLayThemOut) {
  HartInstrument instrument(GetParam().identity, commissioned());
  EXPECT_EQ(body(instrument.handle(GetParam().request, kAt)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Commands, HartReplies,
    ::testing::Values(
        // 254, manufacturer, type, preambles, revision 7, device, software and
        // hardware revisions, flags, device id; preambles back, last device
        // variable, change counter, extended status; manufacturer and
        // private label distributor in 16 bits, device profile: 22 bytes.
        ReplyCase{"IdentityHart7", kId, shortFrame(0x80, 0),
                  reply(kShortHead, 0, 0, 0, hex("FE 26 06 05 07 01 01 10 00 12 34 56 05 03 00 00 00 00 26 00 26 01"))},
        ReplyCase{"IdentityHart6", HartIdentity{0x26, 0x06, 0x123456, 5, 0, kHartRevision6}, shortFrame(0x80, 0),
                  reply(kShortHead, 0, 0, 0, hex("FE 26 06 05 06 01 01 10 00 12 34 56 05 03 00 00 00"))},
        // Revision 5: six device-specific bytes, no extended status.
        ReplyCase{"AdditionalStatusHart5", kIdHart5, longFrame(kIdHart5, 48),
                  reply(kLongHead, 48, 0, 0, hex("00 00 00 00 00 00"))},
        ReplyCase{"IdentityHart5", kIdHart5, shortFrame(0x80, 0),
                  reply(kShortHead, 0, 0, 0, hex("FE 26 06 05 05 01 01 10 00 12 34 56"))},
        ReplyCase{"Message", kId, longFrame(kId, 12), reply(kLongHead, 12, 0, 0, kMessage)},
        ReplyCase{"TagDescriptorDate", kId, longFrame(kId, 13),
                  reply(kLongHead, 13, 0, 0, concat({kTag, kDescriptor, kDate}))},
        // Alarm low, square root, m3/h, upper 250, lower -10, damping 2.5 s,
        // not write protected, 250, analog output.
        ReplyCase{"DeviceInformation", kId, longFrame(kId, 15),
                  reply(kLongHead, 15, 0, 0, hex("01 01 13 43 7A 00 00 C1 20 00 00 40 20 00 00 00 FA 00"))},
        ReplyCase{"LongTag", kId, longFrame(kId, 20), reply(kLongHead, 20, 0, 0, kLongTag)},
        ReplyCase{"AdditionalStatus", kId, longFrame(kId, 48), reply(kLongHead, 48, 0, 0, std::vector<uint8_t>(14, 0))},
        ReplyCase{"ResetConfigurationChanged", kId, longFrame(kId, 38), reply(kLongHead, 38, 0, 0, {})},
        ReplyCase{"PollingAddressWithLoopCurrentMode", kId, longFrame(kId, 6, {20, 1}),
                  reply(kLongHead, 6, 0, 0x40, hex("14 01"))},
        // Refusals carry no data.
        ReplyCase{"NoLongTagUpToHart5", kIdHart5, longFrame(kIdHart5, 20), reply(kLongHead, 20, 64, 0, {})},
        ReplyCase{"Hart5PollingAddressBeyond15", kIdHart5, longFrame(kIdHart5, 6, {16}), reply(kLongHead, 6, 2, 0, {})},
        ReplyCase{"LoopCurrentModeBeyond1", kId, longFrame(kId, 6, {3, 2}), reply(kLongHead, 6, 12, 0, {})},
        ReplyCase{"MessageCutShort", kId, longFrame(kId, 17, std::vector<uint8_t>(23, 0x82)),
                  reply(kLongHead, 17, 5, 0, {})},
        ReplyCase{"TagCutShort", kId, longFrame(kId, 18, std::vector<uint8_t>(20, 0x82)),
                  reply(kLongHead, 18, 5, 0, {})},
        ReplyCase{"StaleChangeCounter", kId, longFrame(kId, 38, {0, 5}), reply(kLongHead, 38, 9, 0, {})},
        ReplyCase{"NotImplemented", kId, longFrame(kId, 9), reply(kLongHead, 9, 64, 0, {})}),
    [](const auto& info) { return std::string(info.param.name); });

struct WriteCase {
  const char* name;
  uint8_t write;
  uint8_t read;
  std::vector<uint8_t> data;
};
void PrintTo(const WriteCase& c, std::ostream* os) { *os << c.name; }

class HartWrites : public ::testing::TestWithParam<WriteCase> {};

const WriteCase kWrites[] = {
    // "CHECKED 2025"
    {"Message", 17, 12, hex("0C 81 43 2C 51 20 CB 0C B5 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20")},
    // "LT-9", "SPARE", 31 December 2025
    {"TagDescriptorDate", 18, 13, hex("31 4B 79 82 08 20 4D 00 52 16 08 20 82 08 20 82 08 20 1F 0C 7D")},
};

TEST_P(HartWrites, EchoedStoredAndReadBack) {
  const WriteCase& c = GetParam();
  HartInstrument instrument(kId, commissioned());
  EXPECT_EQ(body(instrument.handle(longFrame(kId, c.write, c.data), kAt)), reply(kLongHead, c.write, 0, 0x40, c.data));
  EXPECT_EQ(body(instrument.handle(longFrame(kId, c.read), kAt)), reply(kLongHead, c.read, 0, 0x40, c.data));
}

TEST_P(HartWrites, WriteProtectRefusesAndKeeps) {
  const WriteCase& c = GetParam();
  HartProperties properties = commissioned();
  properties.writeProtected = true;
  HartInstrument instrument(kId, properties);
  const auto before = body(instrument.handle(longFrame(kId, c.read), kAt));
  EXPECT_EQ(body(instrument.handle(longFrame(kId, c.write, c.data), kAt)), reply(kLongHead, c.write, 7, 0, {}));
  EXPECT_EQ(body(instrument.handle(longFrame(kId, c.read), kAt)), before);
}

TEST_P(HartWrites, AnInjectedErrorDoesNothingAWarningCarriesOut) {
  const WriteCase& c = GetParam();
  for (const uint8_t response : {uint8_t{16}, uint8_t{8}}) {
    HartInstrument instrument(kId, commissioned(), HartFaults{response, {false, {c.write}}, 0, {}});
    const auto before = body(instrument.handle(longFrame(kId, c.read), kAt));
    const bool warning = response == 8;
    EXPECT_EQ(body(instrument.handle(longFrame(kId, c.write, c.data), kAt)),
              reply(kLongHead, c.write, response, warning ? 0x40 : 0, warning ? c.data : std::vector<uint8_t>{}));
    const auto after = body(instrument.handle(longFrame(kId, c.read), kAt));
    if (warning)
      EXPECT_EQ(after, reply(kLongHead, c.read, 0, 0x40, c.data));
    else
      EXPECT_EQ(after, before);
  }
}

INSTANTIATE_TEST_SUITE_P(Commands, HartWrites, ::testing::ValuesIn(kWrites),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(HartConfigurationChanged, KeptForEachMasterAndCountedInTheIdentity) {
  HartInstrument instrument(kId, commissioned());
  auto status = [&](bool primary) {
    return body(instrument.handle(longFrame(kId, 13, {}, primary), kAt))[kLongStatus + 1];
  };
  auto counter = [&] {
    const auto identity = body(instrument.handle(longFrame(kId, 0), kAt));
    return identity[kLongData + 14] << 8 | identity[kLongData + 15];
  };
  EXPECT_EQ(status(true), 0x00);
  EXPECT_EQ(counter(), 0);
  instrument.handle(longFrame(kId, 18, kWrites[1].data), kAt);
  instrument.handle(longFrame(kId, 17, kWrites[0].data), kAt);
  EXPECT_EQ(status(true), 0x40);
  EXPECT_EQ(status(false), 0x40);
  EXPECT_EQ(counter(), 2);

  // The primary master clears its own flag, naming the counter it read.
  EXPECT_EQ(body(instrument.handle(longFrame(kId, 38, {0, 2}), kAt)), reply(kLongHead, 38, 0, 0, hex("00 02")));
  EXPECT_EQ(status(true), 0x00);
  EXPECT_EQ(status(false), 0x40);
  // A stale counter leaves the flag set.
  EXPECT_EQ(body(instrument.handle(longFrame(kId, 38, {0, 1}, false), kAt))[kLongStatus], 9);
  EXPECT_EQ(status(false), 0x40);
  // Without a counter (before HART 7) the flag is cleared.
  instrument.handle(longFrame(kId, 38, {}, false), kAt);
  EXPECT_EQ(status(false), 0x00);
  EXPECT_EQ(counter(), 2);
}

TEST(HartStatus, ExtendedStatusAndSaturationShowInCommands0And48) {
  HartProperties properties = commissioned();
  properties.extendedStatus = 0x21;  // maintenance required, function check
  HartInstrument flagged(kId, properties);
  auto identity = body(flagged.handle(longFrame(kId, 0), kAt));
  EXPECT_EQ(identity[kLongStatus + 1], 0x10);  // more status available
  EXPECT_EQ(identity[kLongData + 16], 0x21);
  EXPECT_EQ(body(flagged.handle(longFrame(kId, 48), kAt))[kLongData + 6], 0x21);

  // 70 m3/h on a range of 0..50: the loop current stops at 20.5 mA.
  properties = commissioned();
  properties.lowerRange = 0;
  properties.upperRange = 50;
  HartInstrument saturated(kId, properties);
  const auto current = body(saturated.handle(longFrame(kId, 2), kAt));
  EXPECT_EQ(current[kLongStatus + 1], 0x14);  // more status available, loop current saturated
  EXPECT_FLOAT_EQ(floatAt(current, kLongData), 20.5f);
  EXPECT_FLOAT_EQ(floatAt(current, kLongData + 4), 140.0f);
  const auto additional = body(saturated.handle(longFrame(kId, 48), kAt));
  EXPECT_EQ(additional[kLongData + 10], 0x01);  // analog channel saturated
  EXPECT_EQ(additional[kLongData + 11], 0x00);  // standardized status 2
}

struct FaultCase {
  const char* name;
  HartFaults faults;
  std::vector<uint8_t> request;
  std::vector<uint8_t> expected;
  bool badCheck = false;
};
void PrintTo(const FaultCase& c, std::ostream* os) { *os << c.name; }

class HartFaultReplies : public ::testing::TestWithParam<FaultCase> {};

TEST_P(HartFaultReplies, AsInjected) {
  HartInstrument instrument(kId, commissioned(), GetParam().faults);
  auto got = body(instrument.handle(GetParam().request, kAt));
  auto expected = GetParam().expected;
  ASSERT_EQ(got.size(), expected.size());
  // A wrong check byte is any other than the right one.
  if (GetParam().badCheck) {
    EXPECT_NE(got.back(), expected.back());
    got.pop_back();
    expected.pop_back();
  }
  EXPECT_EQ(got, expected);
}

const HartCommandSet kAll{true, {}};

std::vector<uint8_t> withBadCheck(std::vector<uint8_t> frame) {
  frame.back() ^= 0x5A;
  return frame;
}

INSTANTIATE_TEST_SUITE_P(
    Faults, HartFaultReplies,
    ::testing::Values(
        FaultCase{"ErrorOnEveryCommand", {64, kAll, 0, {}}, shortFrame(0x80, 0), reply(kShortHead, 0, 64, 0, {})},
        FaultCase{"ErrorOnAListedCommand",
                  {64, {false, {13, 15}}, 0, {}},
                  longFrame(kId, 15),
                  reply(kLongHead, 15, 64, 0, {})},
        FaultCase{"OthersAnswerAsEver",
                  {64, {false, {13, 15}}, 0, {}},
                  longFrame(kId, 12),
                  reply(kLongHead, 12, 0, 0, kMessage)},
        FaultCase{"WarningKeepsTheData", {8, kAll, 0, {}}, longFrame(kId, 12), reply(kLongHead, 12, 8, 0, kMessage)},
        // Bit 7: a communication error (here longitudinal parity); the
        // second byte is no status then.
        FaultCase{"CommunicationError", {0x88, kAll, 0x80, {}}, longFrame(kId, 12), reply(kLongHead, 12, 0x88, 0, {})},
        FaultCase{"StatusBits", {0, {}, 0x81, {}}, longFrame(kId, 12), reply(kLongHead, 12, 0, 0x81, kMessage)},
        FaultCase{"BadCheckEverywhere",
                  {0, {}, 0, kAll},
                  shortFrame(0x80, 0),
                  reply(kShortHead, 0, 0, 0, hex("FE 26 06 05 07 01 01 10 00 12 34 56 05 03 00 00 00 00 26 00 26 01")),
                  true},
        FaultCase{"BadCheckOnAListedCommand",
                  {0, {}, 0, {false, {12, 13}}},
                  longFrame(kId, 12),
                  reply(kLongHead, 12, 0, 0, kMessage),
                  true},
        // A request with a wrong check byte for it: a communication error,
        // the check byte wrong (88), no status, no data; nothing done.
        FaultCase{
            "RequestWithABadCheckByte", {}, withBadCheck(longFrame(kId, 12)), hex("86 A6 06 12 34 56 0C 02 88 00 D0")},
        FaultCase{"ShortRequestWithABadCheckByte", {}, withBadCheck(shortFrame(0x80, 0)), hex("06 80 00 02 88 00 0C")},
        FaultCase{
            "GoodCheckOnOthers", {0, {}, 0, {false, {13}}}, longFrame(kId, 12), reply(kLongHead, 12, 0, 0, kMessage)}),
    [](const auto& info) { return std::string(info.param.name); });

// Three instruments, one above polling address 15, as --hart-instruments
// sets them up.
TEST(HartLoop, EachInstrumentAnswersItsOwnAddressesOnlyWithItsLoopCurrentParked) {
  const auto parsed = parseOptions({"--hart-instruments", "0,5,20", "--frozen", "15"});
  ASSERT_TRUE(std::holds_alternative<Options>(parsed)) << std::get<std::string>(parsed);
  Simulator sim(std::get<Options>(parsed).sim, 0);
  auto exchange = [&](const std::vector<uint8_t>& frame) {
    sim.receive(concat({hex("FF FF FF FF FF"), frame}), 0);
    return sim.poll(0);
  };
  struct Drop {
    uint8_t address;
    uint32_t deviceId;
    std::vector<uint8_t> tag;
  };
  const Drop drops[] = {
      {0, 0x123456, kTag}, {5, 0x123457, hex("19 4B 71 C3 28 20")}, {20, 0x123458, hex("19 4B 71 C3 38 20")}};
  for (const Drop& drop : drops) {
    const auto identity = body(exchange(shortFrame(static_cast<uint8_t>(0x80 | drop.address), 0)));
    ASSERT_EQ(identity.size(), 29u) << int{drop.address};  // HART 7: 22 data bytes
    EXPECT_EQ(identity[1], 0x80 | drop.address);
    EXPECT_EQ(std::vector<uint8_t>(identity.begin() + 15, identity.begin() + 18),
              (std::vector<uint8_t>{0x12, 0x34, static_cast<uint8_t>(drop.deviceId)}));
    HartIdentity id = kId;
    id.deviceId = drop.deviceId;
    const auto tag = body(exchange(longFrame(id, 13)));
    ASSERT_EQ(tag.size(), kLongData + 21 + 1u);
    EXPECT_EQ(std::vector<uint8_t>(tag.begin() + kLongData, tag.begin() + kLongData + 6), drop.tag);
    const auto current = body(exchange(longFrame(id, 2)));
    ASSERT_EQ(current.size(), kLongData + 8 + 1u);
    EXPECT_EQ(floatAt(current, kLongData), 4.0f) << int{drop.address};
  }
  EXPECT_TRUE(exchange(shortFrame(0x80 | 7, 0)).empty());
  HartIdentity absent = kId;
  absent.deviceId = 0x123459;
  EXPECT_TRUE(exchange(longFrame(absent, 0)).empty());
}

}  // namespace
}  // namespace tq::sim
