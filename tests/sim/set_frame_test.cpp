// Set and output frames: what the module stores, what it refuses, and that a
// refused frame changes nothing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "reply_view.h"
#include "sim/config_protocol.h"

namespace tq::sim {
namespace {

// Every report the module gives, to compare states.
std::string allReports(ModuleSettings& s) {
  std::string text;
  for (const char* query : {"QQQ#QV#", "QQQ#QX1#", "QQQ#QX2#", "QQQ#QQ0#", "QQQ#QQ3#"})
    text += handleConfigFrame(s, query, std::nullopt) + "\n";
  return text;
}

struct RefusedCase {
  std::string frame;
  std::string answer;
};
void PrintTo(const RefusedCase& c, std::ostream* os) { *os << c.frame; }

class RefusedFrame : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(RefusedFrame, AnswersWhyAndStoresNothing) {
  ModuleSettings settings = factorySettings();
  const std::string before = allReports(settings);
  EXPECT_EQ(handleConfigFrame(settings, GetParam().frame, std::nullopt), GetParam().answer);
  EXPECT_EQ(allReports(settings), before);
}

INSTANTIATE_TEST_SUITE_P(
    SetFrames, RefusedFrame,
    ::testing::Values(
        RefusedCase{"QQS#ADR:000#", "ADR:ERR,RANGE#"}, RefusedCase{"QQS#ADR:248#", "ADR:ERR,RANGE#"},
        RefusedCase{"QQS#ADR:00a#", "ADR:ERR,FORMAT#"}, RefusedCase{"QQS#ADR:01#", "ADR:ERR,FORMAT#"},
        RefusedCase{"QQS#ADR:0011#", "ADR:ERR,FORMAT#"}, RefusedCase{"QQS#ADR:-01#", "ADR:ERR,FORMAT#"},
        RefusedCase{"QQS#BA1:52#", "BA1:ERR,RANGE#"},
        // A combo box without a selection sends the character before '0'.
        RefusedCase{"QQS#BA1:4/#", "BA1:ERR,FORMAT#"}, RefusedCase{"QQS#MD:5#", "MD:ERR,RANGE#"},
        RefusedCase{"QQS#XY:2#", "XY:ERR,RANGE#"}, RefusedCase{"QQS#YB:30#", "YB:ERR,RANGE#"},
        RefusedCase{"QQS#JTM:1000#", "JTM:ERR,FORMAT#"}, RefusedCase{"QQS#HART0:1,0,16,6,060#", "HART0:ERR,RANGE#"},
        RefusedCase{"QQS#HART0:1,0,05,3,060#", "HART0:ERR,RANGE#"},
        RefusedCase{"QQS#HART0:1;0,05,6,060#", "HART0:ERR,FORMAT#"},
        RefusedCase{"QQS#HART0:1,0,05,6,060,#", "HART0:ERR,FORMAT#"},
        RefusedCase{"QQS#HART/:1,0,05,6,060#", "ERR:UNKNOWN#"}, RefusedCase{"QQS#DFOT0:20000#", "DFOT0:ERR,RANGE#"},
        RefusedCase{"QQS#DFOT0:0000#", "DFOT0:ERR,FORMAT#"}, RefusedCase{"QQS#DFOT0:00400#", "DFOT0:ERR,RANGE#"},
        RefusedCase{"QQS#MDBS0:2,1031,0000,2051,0000#", "MDBS0:ERR,RANGE#"},
        RefusedCase{"QQS#MDBS0:8,3031,0000,2051,0000#", "MDBS0:ERR,RANGE#"},
        RefusedCase{"QQS#MDBS0:8,1031,0000,2051#", "MDBS0:ERR,FORMAT#"},
        RefusedCase{"QQS#FMW:4,0.001#", "FMW:ERR,RANGE#"}, RefusedCase{"QQS#FMW:1,abcde#", "FMW:ERR,FORMAT#"},
        RefusedCase{"QQS#FMW:1,#", "FMW:ERR,FORMAT#"},
        RefusedCase{std::string("QQS#CAMD01:1<00,"), "CAMD01:ERR,RANGE#"},
        RefusedCase{std::string("QQS#CAMD01:2<01,\x01"), "CAMD01:ERR,RANGE#"},
        RefusedCase{std::string("QQS#CAMD01:1<15,123456789012345"), "CAMD01:ERR,RANGE#"},
        RefusedCase{"QQS#CAMD03:1<01,x", "ERR:UNKNOWN#"}, RefusedCase{"QQS#RESETX#", "ERR:UNKNOWN#"},
        RefusedCase{"QQS#NOPE:1#", "ERR:UNKNOWN#"}, RefusedCase{"QQS#ADR001#", "ERR:UNKNOWN#"},
        RefusedCase{"QQQ#QX9#", "ERR:UNKNOWN#"}, RefusedCase{"QQQ#QQ#", "ERR:UNKNOWN#"},
        RefusedCase{"QQQ#QX1", "ERR:INCOMPLETE#"}));

INSTANTIATE_TEST_SUITE_P(OutputFrames, RefusedFrame,
                         ::testing::Values(RefusedCase{"VELKOR#O01:-1#", "O01:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#O01:3#", "O01:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#O05:0#", "ERR:UNKNOWN#"},
                                           RefusedCase{"VELKOR#O01:#", "O01:ERR,FORMAT#"},
                                           RefusedCase{"VELKOR#BTM2:-0005#", "BTM2:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#BTM2:12345#", "BTM2:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#BTM2:1.5#", "BTM2:ERR,FORMAT#"},
                                           RefusedCase{"VELKOR#AI01:0,,005#", "AI01:ERR,FORMAT#"},
                                           RefusedCase{"VELKOR#AI01:0,123456,005#", "AI01:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#AI01:0,1.2.3,005#", "AI01:ERR,FORMAT#"},
                                           RefusedCase{"VELKOR#AI01:0,100.0#", "AI01:ERR,FORMAT#"},
                                           RefusedCase{"VELKOR#AI03:0,0.000,1000#", "AI03:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#IA01:5,0,100#", "IA01:ERR,RANGE#"},
                                           RefusedCase{"VELKOR#IB01:1,abc,100#", "IB01:ERR,FORMAT#"},
                                           RefusedCase{"VELKOR#IC01:1,0,100#", "ERR:UNKNOWN#"},
                                           RefusedCase{"VELKOR#O01-1#", "ERR:UNKNOWN#"}));

TEST(OutputFrames, DefaultFramesOfEveryButtonAreStored) {
  const std::vector<std::string> frames = {"VELKOR#O01:0#",
                                           "VELKOR#O02:0#",
                                           "VELKOR#O03:0#",
                                           "VELKOR#O04:0#",
                                           "VELKOR#BTM1:0000#",
                                           "VELKOR#BTM2:0000#",
                                           "VELKOR#BTM3:0000#",
                                           "VELKOR#BTM4:0000#",
                                           "VELKOR#AI01:0,100.0,005#",
                                           "VELKOR#AI02:0,100.0,005#",
                                           "VELKOR#AI03:0,0.000,005#",
                                           "VELKOR#AI04:0,0.000,005#",
                                           "VELKOR#IA01:0,0.000,100.0#",
                                           "VELKOR#IB01:0,0.000,100.0#"};
  ModuleSettings settings = factorySettings();
  for (const auto& frame : frames) {
    const std::string answer = handleConfigFrame(settings, frame, std::nullopt);
    const std::string word = frame.substr(7, frame.find(':') - 7);
    EXPECT_EQ(answer, word + ":OK#") << frame;
    // The tool may still run a query's decoder over this answer: it must
    // carry none of their markers.
    for (const char* marker : {"QX1", "QX2", "QX3", "QQ", "QV:"})
      EXPECT_EQ(answer.find(marker), std::string::npos) << answer;
  }
}

TEST(SetFrames, ResetRestoresFactorySettings) {
  ModuleSettings settings = factorySettings();
  const std::string factory = allReports(settings);
  for (const char* frame : {"QQS#ADR:017#", "QQS#BA1:41#", "QQS#HART0:0,0,03,4,001#", "QQS#YB:01#", "VELKOR#BTM1:9#"})
    ASSERT_TRUE(handleConfigFrame(settings, frame, std::nullopt).ends_with(":OK#")) << frame;
  ASSERT_NE(allReports(settings), factory);
  EXPECT_EQ(handleConfigFrame(settings, "QQS#RESET#", std::nullopt), "RESET:OK#");
  EXPECT_EQ(allReports(settings), factory);
}

TEST(SetFrames, WorkingModeIsOneSettingForBothPages) {
  // "MD" from the system page (0..4) and the MODBUS page (0..2) is the same
  // setting, reported by both queries.
  ModuleSettings settings = factorySettings();
  ASSERT_EQ(handleConfigFrame(settings, "QQS#MD:4#", std::nullopt), "MD:OK#");
  EXPECT_EQ(test::fieldAt(handleConfigFrame(settings, "QQQ#QX1#", std::nullopt), "MD:", 3, 1), "4");
  EXPECT_EQ(test::fieldAt(handleConfigFrame(settings, "QQQ#QQ0#", std::nullopt), "MD:", 3, 1), "4");
}

TEST(SetFrames, DeviceSettingsStayWithTheirDevice) {
  ModuleSettings settings = factorySettings();
  ASSERT_EQ(handleConfigFrame(settings, "QQS#DFOT2:13333#", std::nullopt), "DFOT2:OK#");
  EXPECT_EQ(test::fieldAt(handleConfigFrame(settings, "QQQ#QQ2#", std::nullopt), "DFO?:", 5, 5), "13333");
  EXPECT_EQ(test::fieldAt(handleConfigFrame(settings, "QQQ#QQ0#", std::nullopt), "DFO?:", 5, 5), "00000");
}

}  // namespace
}  // namespace tq::sim
