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

std::string pairs(int n) {
  std::string text;
  for (int i = 0; i < n; ++i) text += (i ? " " : "") + std::string(i < 9 ? "0" : "1") + std::to_string((i + 1) % 10);
  return text;
}

const Case kCases[] = {
    {"01 03 00 00", 14, {0x01, 0x03, 0x00, 0x00}, nullptr},
    {"01 03 0", 14, {0x01, 0x03}, nullptr},              // a lone trailing character is ignored
    {"01 03 00 0A 0B", 14, {0x01, 0x03, 0x00, 0x0A, 0x0B}, nullptr},
    {"0103", 14, {0x01}, nullptr},                       // one pair, the rest ignored
    {"FD ", 14, {0xFD}, nullptr},                        // a trailing blank counts with its pair
    {"0a 03", 14, {}, "Data eeore!"},                    // lower case is no hex digit here
    {"G1 03", 14, {}, "Data eeore!"},
    {"010203", 14, {}, "NO SPACK"},
    {"0A,03", 14, {}, "NO SPACK"},
    {"0g,03", 14, {}, "NO SPACK"},                       // the separator is checked before the digits
    {"", 14, {}, "NO SPACK"},
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

TEST(HexEntryCap, PairsBeyondTheCapAreIgnoredWithTheirSeparators) {
  const auto fourteen = parseHexEntry(pairs(15), 14);
  ASSERT_EQ(fourteen.size(), 14u);
  EXPECT_EQ(fourteen.back(), 0x14);
  // The separator after the last pair taken is not looked at.
  EXPECT_EQ(parseHexEntry(pairs(14) + "x15", 14).size(), 14u);
}

}  // namespace
}  // namespace tq
