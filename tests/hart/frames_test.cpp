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
      {"manufacturer FA", [] { return variablesQueryFrame("-1", kMaster, {0xFA, 0, {}, 0}); },
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

}  // namespace
}  // namespace tq::hart
