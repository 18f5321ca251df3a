// The relay and current-output replies: each marker decodes its own groups
// only, every keyword found on its own anywhere in the text, a bad index
// stopping after the groups before it, fields cut by the end of the text.
#include <gtest/gtest.h>

#include "protocol/replies.h"
#include "reply_test_support.h"

namespace tq::protocol {
namespace {

using testing::outcome;
using Case = testing::ReplyCase;

const Case kSettingsCases[] = {
    {"FullReply",
     "QX2#BTM1:0001#BTM2:0020#BTM3:0300#BTM4:4000#AI01:1,100.0,005#AI02:0,99.95,010#AI03:1,0.000,120#"
     "AI04:0,-1.00,999#IA01:1,0.000,100.0#IB01:4,4.000,20.00#",
     {{{"BOUT1TM", "0001"}, {"BOUT2TM", "0020"}, {"BOUT3TM", "0300"}, {"BOUT4TM", "4000"}, {"AD1COM", "#1"},
       {"AD1BH", "100.0"},  {"AD1DTIME", "005"}, {"AD2COM", "#0"},    {"AD2BH", "99.95"},  {"AD2DTIME", "010"},
       {"AD3COM", "#1"},    {"AD3BH", "0.000"},  {"AD3DTIME", "120"}, {"AD4COM", "#0"},    {"AD4BH", "-1.00"},
       {"AD4DTIME", "999"}, {"IACH", "#1"},      {"IA4MA", "0.000"},  {"IA20MA", "100.0"}, {"IBCH", "#4"},
       {"IB4MA", "4.000"},  {"IB20MA", "20.00"}}}},
    {"OneGroupOnly", "QX2#xx#BTM3:0120#yy", {{{"BOUT3TM", "0120"}}}},
    {"NoMarker", "BTM1:0030#AI01:1,100.0,005#IA01:2,4.000,20.00#", {}},
    {"MarkerAfterTheGroups", "BTM1:0030#QX2", {{{"BOUT1TM", "0030"}}}},
    {"FirstOccurrenceWins", "QX2#BTM1:0030#BTM1:0040#", {{{"BOUT1TM", "0030"}}}},
    {"BadIndexStopsAfterTheGroupsBefore",
     "QX2#BTM1:0030#AI01:x,100.0,005#BTM4:0400#IA01:1,0.000,100.0#",
     {{{"BOUT1TM", "0030"}, {"BOUT4TM", "0400"}}, "'x' is not a valid integer value"}},
    // Passed on as it is: the window then shows no selection, and the
    // group's other fields are still filled.
    {"IndexBeyondTheList", "QX2#AI02:7,050.0,010#", {{{"AD2COM", "#7"}, {"AD2BH", "050.0"}, {"AD2DTIME", "010"}}}},
    {"TextEndsInsideALimit", "QX2#AI01:1,10", {{{"AD1COM", "#1"}, {"AD1BH", "10"}, {"AD1DTIME", ""}}}},
    {"TextEndsRightAfterAKeyword", "QX2#BTM2:0002#AI01:", {{{"BOUT2TM", "0002"}}, "'' is not a valid integer value"}},
};

class OutputSettingsReply : public ::testing::TestWithParam<Case> {};

TEST_P(OutputSettingsReply, Decodes) {
  EXPECT_EQ(outcome(decodeOutputSettingsReply(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputSettingsReply, ::testing::ValuesIn(kSettingsCases),
                         [](const auto& info) { return std::string(info.param.name); });

const Case kValuesCases[] = {
    {"BothValues", "QX3#AVAL:12.0000mA#BVAL: 0.0000mA#", {{{"Edit2", "12.0000mA"}, {"Edit3", " 0.0000mA"}}}},
    {"MissingKeywordLeavesItsEdit", "QX3#AVAL: 4.0000mA#", {{{"Edit2", " 4.0000mA"}}}},
    {"NoMarker", "AVAL: 4.0000mA#BVAL: 4.0000mA#", {}},
};

class OutputValuesReply : public ::testing::TestWithParam<Case> {};

TEST_P(OutputValuesReply, Decodes) {
  EXPECT_EQ(outcome(decodeOutputValuesReply(GetParam().text)), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Cases, OutputValuesReply, ::testing::ValuesIn(kValuesCases),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tq::protocol
