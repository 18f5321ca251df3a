// Bytes typed as hex pairs: the separator test before any digit, the pair
// cap, a lone trailing character.
#include <gtest/gtest.h>

#include "common/errors.h"
#include "common/hex_entry.h"

namespace tq {
namespace {

struct Case {
  const char* text;
  size_t maxBytes;
  std::vector<uint8_t> bytes;  // when accepted
  const char* refusal;         // when refused
};

std::ostream& operator<<(std::ostream& os, const Case& c) { return os << '"' << c.text << '"'; }

const Case kCases[] = {
    {"01 03 00 00", 14, {0x01, 0x03, 0x00, 0x00}, nullptr},
    {"01 03 0", 14, {0x01, 0x03}, nullptr},  // a lone trailing character is ignored
    {"01 03 00 0A 0B", 14, {0x01, 0x03, 0x00, 0x0A, 0x0B}, nullptr},
    {"0103", 14, {0x01}, nullptr},     // one pair, the rest ignored
    {"0a 03", 14, {}, "Data eeore!"},  // lower case is no hex digit here
    // Pairs beyond the cap are ignored, the separator after the last one taken too.
    {"01 02 03 04 05 06 07 08 09 0A 0B 0C 0D 0Ex0F", 14, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14}, nullptr},
    {"010203", 14, {}, "NO SPACK"},
    {"0g,03", 14, {}, "NO SPACK"},  // the separator is checked before the digits
    {"", 14, {}, "NO SPACK"},
    // The manual HART command takes 15 pairs.
    {"AB", 15, {0xAB}, nullptr},
    {"10 11 12 13 14 15 16 17 18 19 20 21 22 23 24 25 26 27 28 29",
     15,
     {0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x20, 0x21, 0x22, 0x23, 0x24},
     nullptr},
    {"A", 14, {}, "NO SPACK"},
};

class HexEntry : public ::testing::TestWithParam<Case> {};

TEST_P(HexEntry, ParsesOrRefuses) {
  const Case& c = GetParam();
  if (!c.refusal) {
    EXPECT_EQ(parseHexEntry(c.text, c.maxBytes), c.bytes);
    return;
  }
  try {
    parseHexEntry(c.text, c.maxBytes);
    ADD_FAILURE() << "accepted";
  } catch (const InputRefused& e) {
    EXPECT_STREQ(e.what(), c.refusal);
  }
}

INSTANTIATE_TEST_SUITE_P(Entries, HexEntry, ::testing::ValuesIn(kCases));

}  // namespace
}  // namespace tq
