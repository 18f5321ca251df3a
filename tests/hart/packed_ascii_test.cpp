// Packed ASCII by HART's rule: the worked examples, every one of the 64
// codes there and back, and the texts it refuses.
#include "hart/packed_ascii.h"

#include <gtest/gtest.h>

#include "common/byte_display.h"
#include "common/errors.h"
#include "common/hex_entry.h"

namespace tq::hart {
namespace {

std::vector<uint8_t> hex(const std::string& text) { return parseHexEntry(text, 1000); }

// Worked out by hand: 'A'..'H' are 01..08 in six bits, so the first group
// is 000001 000010 000011 000100 = 04 20 C4.
TEST(PackedAscii, PacksFourCharactersInThreeBytes) {
  const struct {
    std::string text;
    size_t length;
    std::string bytes;
  } cases[] = {
      {"ABCDEFGH", 8, "04 20 C4 14 61 C8 "},
      {"FT-101", 8, "19 4B 71 C3 18 20 "},
      {"ft-101", 8, "19 4B 71 C3 18 20 "},  // lower case goes up
      {"", 4, "82 08 20 "},                 // four blanks
      {"@_ ?", 4, "01 F8 3F "},             // the codes' ends: 00, 1F, 20, 3F in six bits
      {"FLOW LOOP 7", 16, "18 C3 D7 80 C3 CF 42 0D E0 82 08 20 "},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(bytesDisplay(packAscii(c.text, c.length, "tag")), c.bytes) << c.text;
    EXPECT_EQ(unpackAscii(hex(c.bytes)), packableText(c.text, c.length, "tag") +
                                             std::string(c.length - packableText(c.text, c.length, "tag").size(), ' '))
        << c.text;
  }
}

TEST(PackedAscii, EveryCodeGoesThereAndBack) {
  std::string all;
  for (char c = 0x20; c <= 0x5F; ++c) all += c;
  ASSERT_EQ(all.size(), 64u);
  const auto packed = packAscii(all, all.size(), "message");
  EXPECT_EQ(packed.size(), packedBytes(all.size()));
  EXPECT_EQ(unpackAscii(packed), all);
  // Every six-bit value unpacks into 0x20 .. 0x5F: 00..1F gain bit 6.
  for (uint8_t v = 0; v < 64; ++v) {
    const uint8_t group[] = {static_cast<uint8_t>(v << 2), 0, 0};
    EXPECT_EQ(unpackAscii(group)[0], v < 0x20 ? v | 0x40 : v) << int{v};
  }
}

TEST(PackedAscii, UnpacksAPartialGroupAsFarAsItsBitsGo) {
  const struct {
    std::string bytes;
    std::string text;
  } cases[] = {{"04", "A"}, {"04 20", "AB"}, {"04 20 C4 14", "ABCDE"}};
  for (const auto& c : cases) EXPECT_EQ(unpackAscii(hex(c.bytes)), c.text) << c.bytes;
  EXPECT_EQ(unpackAscii({}), "");
}

TEST(PackedAscii, RefusesWhatItCannotCarryNamingTheFieldAndCharacter) {
  const std::string carried =
      ": packed ASCII carries only A\u2013Z (lower-case letters are upper-cased), 0\u20139, blank and "
      "!\"#$%&'()*+,-./:;<=>?@[\\]^_.";
  const struct {
    std::string text;
    size_t length;
    std::string message;
  } cases[] = {
      {"caf\u00e9", 8, "The tag cannot hold '\u00e9'" + carried},
      {"a`b", 8, "The tag cannot hold '`'" + carried},  // 0x60: just past the codes
      {"{", 8, "The tag cannot hold '{'" + carried},
      {"~", 8, "The tag cannot hold '~'" + carried},
      {"\x7F", 8, "The tag cannot hold U+007F" + carried},
      {"A\nB", 8, "The tag cannot hold U+000A" + carried},
      {"\u20ac", 8, "The tag cannot hold '\u20ac'" + carried},
      {"A\xC3", 8,
       "The tag cannot hold the byte C3: it is not a character. Packed ASCII carries only A\u2013Z "
       "(lower-case letters are upper-cased), 0\u20139, blank and !\"#$%&'()*+,-./:;<=>?@[\\]^_."},
      {"ABCDEFGHI", 8, "The tag holds at most 8 characters; 'ABCDEFGHI' has 9."},
  };
  for (const auto& c : cases) {
    try {
      const auto packed = packAscii(c.text, c.length, "tag");
      ADD_FAILURE() << c.text << " packed to " << bytesDisplay(packed);
    } catch (const InputRefused& e) {
      EXPECT_EQ(e.what(), c.message) << c.text;
    }
  }
  EXPECT_EQ(packableText("abcdefgh", 8, "tag"), "ABCDEFGH");  // exactly the length is fine
}

}  // namespace
}  // namespace tq::hart
