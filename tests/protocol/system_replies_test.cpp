// The communication query and system parameter replies: markers, first
// occurrences, partial application before a bad digit, truncated groups.
#include <gtest/gtest.h>

#include "protocol/replies.h"
#include "reply_test_support.h"

namespace tq::protocol {
namespace {

using testing::outcome;
using Case = testing::ReplyCase;

const Case kSystemCases[] = {
    {"FullReply",
     "QX1#BA1:30#MD:1#ADR:005#XY:0#JTM:010#",
     {{{"ComboBox2", "#3"},
       {"ComboBox4", "#0"},
       {"ComboBox7", "#1"},
       {"Edit14", "005"},
       {"ComboBox12", "#0"},
       {"Edit6", "010"}}}},
    {"NoMarker", "BA1:30#MD:1#ADR:005#XY:0#JTM:010#", {}},
    {"OneGroupOnly", "QX1#BA1:41#", {{{"ComboBox2", "#4"}, {"ComboBox4", "#1"}}}},
    {"KeywordBeforeMarker", "ADR:123#QX1#", {{{"Edit14", "123"}}}},
    // A digit beyond the list is passed on: the window then shows no selection.
    {"DigitBeyondTheList", "QX1#MD:7#", {{{"ComboBox7", "#7"}}}},
    {"BadDigitStopsAfterEarlierGroups",
     "QX1#BA1:30#MD:1#ADR:005#XY:A#JTM:010#",
     {{{"ComboBox2", "#3"}, {"ComboBox4", "#0"}, {"ComboBox7", "#1"}, {"Edit14", "005"}},
      "'A' is not a valid integer value"}},
    // Cut by the end of the text: a text field keeps what is there, a digit
    // field that is not there is an empty integer.
    {"TextFieldCutShort", "QX1#ADR:0", {{{"Edit14", "0"}}}},
    {"DigitFieldCutShort", "QX1#BA1:3", {{{"ComboBox2", "#3"}}, "'' is not a valid integer value"}},
    {"BytesAboveAsciiShownAsLatin1",
     "QX1#ADR:\xB5\x30\x31#",
     {{{"Edit14",
        "\xC2\xB5"
        "01"}}}},
    {"ZeroBytesDoNotHideTheMarker", std::string("\0QX1\0MD:4", 9), {{{"ComboBox7", "#4"}}}},
};

class SystemReply : public ::testing::TestWithParam<Case> {};

TEST_P(SystemReply, Decodes) { EXPECT_EQ(outcome(decodeSystemReply(GetParam().text)), GetParam().expected); }

INSTANTIATE_TEST_SUITE_P(Cases, SystemReply, ::testing::ValuesIn(kSystemCases),
                         [](const auto& info) { return std::string(info.param.name); });

// The device list of the MODBUS page follows the unit count the module
// reports; a reply that does not give a count leaves the list alone.
TEST(CommQueryReply, OffersADeviceForEachUnitTheModuleReports) {
  const struct {
    const char* text;
    const char* devices;  // nullptr: the list is left as it is
  } cases[] = {
      {"QV:20#", "items Device 0"},
      {"QV:01#", "items Device 0|Device 1|Device 2|Device 3"},
      {"noise QV:22#", "items Device 0|Device 1|Device 2|Device 3|Device 4|Device 5|Device 6|Device 7"},
      {"QV:23#", nullptr},  // beyond the unit list: no count shown
      {"QV:2x#", nullptr},  // not a digit: the reply is refused
      {"QV:2", nullptr},    // cut before the count
      {"QX1#BA1:30#", nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const auto values = outcome(decodeCommQueryReply(c.text)).values;
    const auto list = values.find("ComboBox41");
    if (c.devices) {
      ASSERT_NE(list, values.end());
      EXPECT_EQ(list->second, c.devices);
    } else {
      EXPECT_EQ(list, values.end());
    }
  }
}

TEST(SettingRefusal, TheFirstGroupTheModuleRefusedIsNamed) {
  const std::pair<const char*, const char*> cases[] = {
      {"ADR:OK#", nullptr},
      {"ADR:ERR,RANGE#", "ADR: ERR,RANGE"},
      {"BA1:OK#ADR:ERR,RANGE#MD:ERR#", "ADR: ERR,RANGE"},
      {"ERR:UNKNOWN#", "the frame: ERR:UNKNOWN"},
      {"ADR:ERR", "ADR: ERR"},  // cut before its '#'
      {"no colon ERR#", nullptr},
      {"", nullptr},
  };
  for (const auto& [answer, named] : cases) {
    SCOPED_TRACE(answer);
    const std::optional<std::string> refusal = settingRefusal(answer);
    EXPECT_EQ(refusal.has_value(), named != nullptr);
    if (refusal && named) {
      EXPECT_EQ(*refusal, named);
    }
  }
}

}  // namespace
}  // namespace tq::protocol
