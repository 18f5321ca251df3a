// The HART master frames byte for byte, and every value they refuse.
#include "hart/frames.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "common/byte_display.h"
#include "common/hex_entry.h"

namespace tq::hart {
namespace {

constexpr int kMaster = 0;
constexpr int kSecondary = 1;
const DeviceIdentity kNone{};
const DeviceIdentity kIdentified{0x26, 0x06, {0x12, 0x34, 0x56}, 0};
const std::string kSeven = "FF FF FF FF FF FF FF ";

TEST(HartFrame, IsBuiltByteForByte) {
  const struct {
    const char* name;
    std::function<Frame()> build;
    std::string bytes;
  } cases[] = {
      {"command 0", [] { return identityQueryFrame("6", kMaster, 0); }, kSeven + "02 80 00 00 82 "},
      {"secondary, address 5", [] { return identityQueryFrame("6", kSecondary, 5); }, kSeven + "02 05 00 00 07 "},
      {"preamble 0", [] { return identityQueryFrame("0", kMaster, 0); }, "FF 02 80 00 00 82 "},
      {"preamble -1", [] { return identityQueryFrame("-1", kMaster, 0); }, "02 80 00 00 82 "},
      {"command 3, no identity", [] { return variablesQueryFrame("6", kSecondary, kNone); },
       kSeven + "82 00 00 00 00 00 03 00 81 "},
      {"command 3, identified", [] { return variablesQueryFrame("6", kMaster, kIdentified); },
       kSeven + "82 A6 06 12 34 56 03 00 51 "},
      // Only the manufacturer's low six bits go into the address.
      {"manufacturer FA",
       [] {
         return variablesQueryFrame("-1", kMaster, {0xFA, 0, {}, 0});
       },
       "82 BA 00 00 00 00 03 00 3B "},
      {"command 6 to 3", [] { return pollingAddressFrame("6", kMaster, kNone, 3); },
       kSeven + "82 80 00 00 00 00 06 01 03 06 "},
      {"command 6 secondary", [] { return pollingAddressFrame("-1", kSecondary, kNone, 3); },
       "82 00 00 00 00 00 06 01 03 86 "},
      {"manual", [] { return manualFrame("6", parseHexEntry("76 89 FD AD", kManualMaxBytes)); },
       kSeven + "76 89 FD AD AF "},
  };
  for (const auto& c : cases) EXPECT_EQ(bytesDisplay(c.build()), c.bytes) << c.name;
}

TEST(HartFrame, RefusesWhatItCannotCarry) {
  const struct {
    std::function<Frame()> build;
    std::string message;
  } cases[] = {
      {[] { return identityQueryFrame("six", kMaster, 0); }, "'six' is not a valid integer value"},
      {[] { return identityQueryFrame("-2", kMaster, 0); },
       "Preamble Length: '-2' is out of range; enter a whole number from -1 to 498."},
      // The largest setting fills the 504-byte send area; one more is refused.
      {[] { return identityQueryFrame("499", kMaster, 0); },
       "Preamble Length: '499' is out of range; enter a whole number from -1 to 498."},
      {[] { return pollingAddressFrame("494", kMaster, kNone, 0); },
       "Preamble Length: '494' is out of range; enter a whole number from -1 to 493."},
      {[] { return manualFrame("488", Frame(15, 0x11)); },
       "Preamble Length: '488' is out of range; enter a whole number from -1 to 487."},
      {[] { return identityQueryFrame("2147483647", kMaster, 0); },  // N + 1 must not wrap
       "Preamble Length: '2147483647' is out of range; enter a whole number from -1 to 498."},
      // The identity decode can leave ComboBox27 without a selection.
      {[] { return pollingAddressFrame("6", kMaster, kNone, -1); },
       "HART Address Configuration: nothing is selected. Choose a value and try again."},
      {[] { return variablesQueryFrame("6", -1, kNone); },
       "HART Command Mode: nothing is selected. Choose a value and try again."},
      // The preamble text is converted before any selection is looked at.
      {[] { return pollingAddressFrame("x", -1, kNone, -1); }, "'x' is not a valid integer value"},
  };
  for (const auto& c : cases) {
    try {
      ADD_FAILURE() << "built " << bytesDisplay(c.build());
    } catch (const std::exception& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
  EXPECT_EQ(identityQueryFrame("498", kMaster, 0).size(), kMaxFrameBytes);
  EXPECT_EQ(manualFrame("487", Frame(15, 0x11)).size(), kMaxFrameBytes);
}

// The HART Instrument page's frames: any command in a long frame, the scan's
// short command 0 to 0 .. 63, and the tag and message writes, whose packed
// bytes were worked out by hand from the packing rule.
TEST(HartPageFrame, IsBuiltByteForByte) {
  const auto dateBytes = [](TagDate date) {
    const auto data = tagDescriptorDateData("", "", date);
    return Frame(data.end() - 3, data.end());
  };
  const struct {
    const char* name;
    std::function<Frame()> build;
    std::string bytes;
  } cases[] = {
      {"command 12", [] { return longCommandFrame("6", kMaster, kIdentified, 12); },
       kSeven + "82 A6 06 12 34 56 0C 00 5E "},
      {"scan 63, secondary", [] { return scanQueryFrame("0", kSecondary, 63); }, "FF 02 3F 00 00 3D "},
      {"scan 40", [] { return scanQueryFrame("4", kMaster, 40); }, "FF FF FF FF FF 02 A8 00 00 AA "},
      // Lower-case letters go up-cased; the texts are padded with blanks.
      {"write tag",
       [] {
         return writeTagFrame("6", kMaster, kIdentified, "ft-101", "Flow loop 7", {2026, 12, 9});
       },
       kSeven + "82 A6 06 12 34 56 12 15 19 4B 71 C3 18 20 18 C3 D7 80 C3 CF 42 0D E0 82 08 20 09 0C 7E 73 "},
      {"write message", [] { return writeMessageFrame("-1", kSecondary, kIdentified, "Checked 2026-12-09 by QA"); },
       "82 26 06 12 34 56 11 18 0C 81 43 2C 51 20 CB 0C B6 B7 1C AD C3 98 02 66 04 41 82 08 20 82 08 20 45 "},
      // At least the preambles the instrument asked for in its command 0
      // reply (at most HART's 20); more when the setting gives more.
      {"asked for 10", [] { return longCommandFrame("6", kMaster, kIdentified, 12, {}, 10); },
       kSeven + "FF FF FF 82 A6 06 12 34 56 0C 00 5E "},
      {"asked for 5, setting 6", [] { return longCommandFrame("6", kMaster, kIdentified, 12, {}, 5); },
       kSeven + "82 A6 06 12 34 56 0C 00 5E "},
      {"asked for 5, setting -1", [] { return longCommandFrame("-1", kMaster, kIdentified, 12, {}, 5); },
       "FF FF FF FF FF 82 A6 06 12 34 56 0C 00 5E "},
      {"asked for 255", [] { return longCommandFrame("0", kSecondary, kIdentified, 1, {}, 255); },
       kSeven + kSeven + "FF FF FF FF FF FF 82 26 06 12 34 56 01 00 D3 "},
      {"message, asked for 9",
       [] { return writeMessageFrame("-1", kSecondary, kIdentified, "Checked 2026-12-09 by QA", 9); },
       "FF FF FF FF FF FF FF FF FF 82 26 06 12 34 56 11 18 0C 81 43 2C 51 20 CB 0C B6 B7 1C AD C3 98 02 66 04 41 82 "
       "08 20 82 08 20 45 "},
      {"empty tag",
       [] {
         return tagDescriptorDateData("", "", {2000, 2, 29});
       },
       "82 08 20 82 08 20 82 08 20 82 08 20 82 08 20 82 08 20 1D 02 64 "},
      {"first year",
       [=] {
         return dateBytes({1900, 1, 1});
       },
       "01 01 00 "},
      {"last year",
       [=] {
         return dateBytes({2155, 12, 31});
       },
       "1F 0C FF "},
  };
  for (const auto& c : cases) EXPECT_EQ(bytesDisplay(c.build()), c.bytes) << c.name;
}

TEST(HartPageFrame, RefusesWhatItCannotCarry) {
  const std::string carried =
      ": packed ASCII carries only A\u2013Z (lower-case letters are upper-cased), 0\u20139, blank and "
      "!\"#$%&'()*+,-./:;<=>?@[\\]^_.";
  const struct {
    std::function<Frame()> build;
    std::string message;
  } cases[] = {
      {[] { return scanQueryFrame("6", kMaster, 64); }, "Scan address: item 64 cannot be sent."},
      {[] {
         return writeTagFrame("6", kMaster, kNone, "FT-101-XY", "", {2026, 1, 1});
       },
       "The tag holds at most 8 characters; 'FT-101-XY' has 9."},
      {[] {
         return writeTagFrame("6", kMaster, kNone, "FT", "Fl\u00f6w", {2026, 1, 1});
       },
       "The descriptor cannot hold '\u00f6'" + carried},
      {[] {
         return writeTagFrame("6", kMaster, kNone, "FT", "", {2156, 1, 1});
       },
       "The date's year 2156 cannot be sent: an instrument holds the years 1900 to 2155."},
      {[] {
         return writeTagFrame("6", kMaster, kNone, "FT", "", {1899, 12, 31});
       },
       "The date's year 1899 cannot be sent: an instrument holds the years 1900 to 2155."},
      {[] {
         return writeTagFrame("6", kMaster, kNone, "FT", "", {2026, 2, 29});
       },
       "The date 2026-02-29 is not a day of the calendar."},
      {[] {
         return writeTagFrame("6", kMaster, kNone, "FT", "", {2026, 13, 1});
       },
       "The date 2026-13-01 is not a day of the calendar."},
      {[] { return writeMessageFrame("6", kMaster, kNone, "tab\there"); }, "The message cannot hold U+0009" + carried},
      {[] { return writeMessageFrame("6", kMaster, kNone, std::string(33, 'A')); },
       "The message holds at most 32 characters; '" + std::string(33, 'A') + "' has 33."},
      {[] { return longCommandFrame("6", kMaster, kNone, 22, Frame(256, 0)); },
       "Command 22: 256 data bytes cannot be sent; a frame carries at most 255."},
      // The preamble first, then the texts, then the selection, as the
      // other builders do.
      {[] {
         return writeTagFrame("x", -1, kNone, "\u00e9", "", {2026, 1, 1});
       },
       "'x' is not a valid integer value"},
      {[] { return writeMessageFrame("6", -1, kNone, "{"); }, "The message cannot hold '{'" + carried},
      {[] { return writeMessageFrame("6", -1, kNone, "OK"); },
       "HART Command Mode: nothing is selected. Choose a value and try again."},
  };
  for (const auto& c : cases) {
    try {
      ADD_FAILURE() << "built " << bytesDisplay(c.build());
    } catch (const std::exception& e) {
      EXPECT_EQ(e.what(), c.message);
    }
  }
  // The preamble range leaves room for the data: 504 bytes in all.
  EXPECT_EQ(writeTagFrame("473", kMaster, kNone, "", "", {2026, 1, 1}).size(), kMaxFrameBytes);
}

}  // namespace
}  // namespace tq::hart
