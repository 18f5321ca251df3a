// The replies to commands 0 and 3: where the marker is found, what each
// reply shows and remembers, and that nothing beyond the block is used.
#include "hart/decoders.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/hex_entry.h"
#include "hart/frames.h"
#include "protocol/reply_test_support.h"

namespace tq::hart {
namespace {

using protocol::testing::Outcome;
using protocol::testing::outcome;
using Values = std::map<std::string, std::string>;

std::vector<uint8_t> hex(const std::string& text) { return parseHexEntry(text, 1000); }
std::vector<uint8_t> cut(std::vector<uint8_t> block, size_t length) {
  block.resize(length);
  return block;
}

TEST(MarkerSearch, FirstMarkerAtPositionsZeroToLengthMinusFive) {
  const struct {
    std::string block;
    uint8_t delimiter;
    std::optional<size_t> start;
  } cases[] = {
      {"FF 06 00 00", kShortReply, std::nullopt},       {"00 FF 06 00 00 00", kShortReply, 1},
      {"00 00 FF 06 00 00", kShortReply, std::nullopt}, {"FF FF FF 06 80 00 0E", kShortReply, 2},
      {"FF 86 00 FF 86 00 00 00", kLongReply, 0},       {"FF 86 00 00 00 00", kShortReply, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(findReplyStart(hex(c.block), c.delimiter), c.start) << c.block;
}

const auto kThreePreambles = hex("FF FF FF 06 80 00 0E 00 00 FE 26 06 05 05 01 01 02 00 12 34 56 24");
const auto kRealReply = hex("FF FF 06 80 00 0E 00 14 FE 1A 89 07 05 02 1B 08 01 21 63 3F 9E");
const DeviceIdentity kEarlier{0x11, 0x22, {0x33, 0x44, 0x55}, 4};

Outcome shows(Values values) {
  Outcome out;
  out.values = std::move(values);
  return out;
}
Outcome identityShown(const char* m, const char* t, const char* p, const char* id, int address) {
  return shows(
      {{"Edit28", m}, {"Edit29", t}, {"Edit31", p}, {"Edit32", id}, {"ComboBox27", "#" + std::to_string(address)}});
}
const Outcome kEmptied = shows({{"Edit28", ""}, {"Edit29", ""}, {"Edit31", ""}, {"Edit32", ""}});

TEST(IdentityReply, ShowsAndRemembersOnlyWhatTheBlockHolds) {
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    Outcome shown;
    DeviceIdentity remembered;
  } cases[] = {
      {"three preambles",
       kThreePreambles,
       identityShown("38", "6", "5", "1193046", 4),
       {0x26, 6, {0x12, 0x34, 0x56}, 4}},
      {"real reply", kRealReply, identityShown("26", "137", "7", "2188095", 4), {0x1A, 0x89, {0x21, 0x63, 0x3F}, 4}},
      {"unsigned",
       hex("FF 06 00 00 00 00 00 00 FF FF FF 00 00 00 00 00 FF FF FF"),
       identityShown("255", "255", "255", "16777215", 4),
       {0xFF, 0xFF, {0xFF, 0xFF, 0xFF}, 4}},
      {"ends with the identification",
       cut(kRealReply, 20),
       identityShown("26", "137", "7", "2188095", 4),
       {0x1A, 0x89, {0x21, 0x63, 0x3F}, 4}},
      {"ends before the identification", cut(kRealReply, 19), kEmptied, kEarlier},
      {"no marker", hex("06 80 00 0E 00 14 FE 1A 89 07 05 02 1B 08 01 21 63 3F 9E"), kEmptied, kEarlier},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const IdentityReply reply = decodeIdentityReply(c.block, kEarlier);
    EXPECT_EQ(outcome(reply.shown), c.shown);
    EXPECT_EQ(reply.identity, c.remembered);
  }
}

// Byte count `count`; 12.5 m3/h, -12.5 degC, 1.1 bar, 123456.71 in an
// unlisted unit; the marker at 1.
std::vector<uint8_t> variablesReply(int count) {
  char head[64];
  snprintf(head, sizeof head, "FF FF 86 A6 06 12 34 56 03 %02X 00 00 40 80 00 00 ", count);
  return hex(std::string(head) + "13 41 48 00 00 20 C1 48 00 00 07 3F 8C CC CD FA 47 F1 20 5B 00");
}

Outcome variablesShown(size_t rows) {
  const Values all[] = {{{"Edit25", "12.5"}, {"HLabel2", "12.5"}, {"ComboBox3", "#19"}},
                        {{"Edit26", "-12.5"}, {"HLabel3", "-12.5"}, {"ComboBox31", "#12"}},
                        {{"Edit27", "1.1000000"}, {"HLabel4", "1.1000000"}, {"ComboBox32", "#6"}},
                        {{"Edit30", "123456.71"}, {"HLabel5", "123456.71"}, {"ComboBox33", "#76"}}};
  Outcome out;
  for (size_t i = 0; i < rows; ++i) out.values.insert(all[i].begin(), all[i].end());
  return out;
}

TEST(VariablesReply, ShowsTheVariablesTheByteCountAndTheBlockHold) {
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    size_t rows;
  } cases[] = {
      {"count 26", variablesReply(26), 4},
      {"count 22", variablesReply(22), 4},
      {"count 21", variablesReply(21), 3},
      {"count 17", variablesReply(17), 3},
      {"count 16", variablesReply(16), 2},
      {"count 12", variablesReply(12), 2},
      {"count 11", variablesReply(11), 1},
      {"count 0", variablesReply(0), 1},
      // The count promises four; the block ends after, inside slot 2, inside slot 1.
      {"ends after slot 2", cut(variablesReply(26), 26), 2},
      {"ends in slot 2", cut(variablesReply(26), 25), 1},
      {"ends in slot 1", cut(variablesReply(26), 20), 0},
      {"an identity reply", kRealReply, 0},
  };
  for (const auto& c : cases) EXPECT_EQ(outcome(decodeVariablesReply(c.block, '.')), variablesShown(c.rows)) << c.name;
}

TEST(ValueText, WidenedSingleInFifteenDigitsCutToNine) {
  const struct {
    std::string bytes;
    char separator;
    std::string text;
  } cases[] = {
      {"3F 8C CC CD", '.', "1.1000000"}, {"3D CC CC CD", '.', "0.1000000"}, {"41 48 00 00", '.', "12.5"},
      {"C1 48 00 00", '.', "-12.5"},     {"47 F1 20 5B", '.', "123456.71"}, {"41 48 00 00", ',', "12,5"},
      {"7F A0 00 00", '.', "00000000"},  {"7F 7F FF FF", '.', "00000000"},  {"FF 80 00 00", '.', "-INF"},
      {"FF C0 00 00", '.', "-NAN"},
  };
  for (const auto& c : cases) {
    const auto bytes = hex(c.bytes);
    EXPECT_EQ(valueText(std::span<const uint8_t, 4>(bytes.data(), 4), c.separator), c.text) << c.bytes;
  }
}

}  // namespace
}  // namespace tq::hart
