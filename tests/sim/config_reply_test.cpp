// Replies to the tool's queries, checked field by field at the offsets and
// widths the tool's decoders read.
#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "reply_view.h"
#include "sim/config_protocol.h"

namespace tq::sim {
namespace {

using test::fieldAt;

constexpr size_t kReceivedTextLimit = 255;  // the tool sees no more of a block

struct LayoutCase {
  const char* name;
  std::vector<std::string> setup;  // set or output frames sent first
  std::string query;
  std::string keyword;
  size_t offset;
  size_t width;
  std::string expected;
};
// Tests are listed by name, not by the bytes of their case.
void PrintTo(const LayoutCase& c, std::ostream* os) { *os << c.name; }

std::string bytesFrame(std::string head, std::vector<uint8_t> raw) {
  head.append(raw.begin(), raw.end());
  return head;
}

std::string replyAfter(ModuleSettings& settings, const std::vector<std::string>& setup, const std::string& query,
                       const PolledVariables& variables = std::nullopt) {
  for (const auto& frame : setup) {
    const std::string answer = handleConfigFrame(settings, frame, variables);
    EXPECT_TRUE(answer.ends_with(":OK#")) << frame << " -> " << answer;
  }
  return handleConfigFrame(settings, query, variables);
}

class ReplyLayout : public ::testing::TestWithParam<LayoutCase> {};

TEST_P(ReplyLayout, FieldStandsWhereTheToolReadsIt) {
  const LayoutCase& c = GetParam();
  ModuleSettings settings = factorySettings();
  const std::string reply = replyAfter(settings, c.setup, c.query);
  EXPECT_EQ(fieldAt(reply, c.keyword, c.offset, c.width), c.expected) << reply;
  EXPECT_LE(reply.size(), kReceivedTextLimit);
}

const std::string kReadCommand = bytesFrame("QQS#CAMD01:1<04,", {0x01, 0x03, 0x00, 0x00});

INSTANTIATE_TEST_SUITE_P(
    Queries, ReplyLayout,
    ::testing::Values(
        // Communication query: "QV:" interface type, unit count.
        LayoutCase{"QvMarker", {}, "QQQ#QV#", "QV:", 0, 3, "QV:"},
        LayoutCase{"QvDefaults", {}, "QQQ#QV#", "QV:", 3, 2, "20"},
        LayoutCase{"QvInterface", {"QQS#YB:12#"}, "QQQ#QV#", "QV:", 3, 1, "1"},
        LayoutCase{"QvUnits", {"QQS#YB:12#"}, "QQQ#QV#", "QV:", 4, 1, "2"},
        // System parameters.
        LayoutCase{"Qx1Marker", {}, "QQQ#QX1#", "QX1", 0, 3, "QX1"},
        LayoutCase{"Qx1BaudDefault", {}, "QQQ#QX1#", "BA1:", 4, 1, "3"},
        LayoutCase{"Qx1Baud", {"QQS#BA1:42#"}, "QQQ#QX1#", "BA1:", 4, 1, "4"},
        LayoutCase{"Qx1Parity", {"QQS#BA1:42#"}, "QQQ#QX1#", "BA1:", 5, 1, "2"},
        LayoutCase{"Qx1Mode", {"QQS#MD:3#"}, "QQQ#QX1#", "MD:", 3, 1, "3"},
        LayoutCase{"Qx1AddressDefault", {}, "QQQ#QX1#", "ADR:", 4, 3, "001"},
        LayoutCase{"Qx1Address", {"QQS#ADR:005#"}, "QQQ#QX1#", "ADR:", 4, 3, "005"},
        LayoutCase{"Qx1Delay", {"QQS#XY:1#"}, "QQQ#QX1#", "XY:", 3, 1, "1"},
        LayoutCase{"Qx1Interval", {"QQS#JTM:100#"}, "QQQ#QX1#", "JTM:", 4, 3, "100"},
        // MODBUS parameters of one device.
        LayoutCase{"QqMarker", {}, "QQQ#QQ0#", "QQ", 0, 2, "QQ"},
        LayoutCase{"QqCoefficientMode", {"QQS#FMW:2,0.002#"}, "QQQ#QQ0#", "FMW:", 4, 1, "2"},
        LayoutCase{"QqCoefficient", {"QQS#FMW:2,0.002#"}, "QQQ#QQ0#", "FMW:", 6, 5, "0.002"},
        LayoutCase{"QqEnable", {"QQS#HART0:1,0,15,9,120#"}, "QQQ#QQ0#", "HART?:", 6, 1, "1"},
        LayoutCase{"QqDeviceMode", {"QQS#HART0:1,0,15,9,120#"}, "QQQ#QQ0#", "HART?:", 8, 1, "0"},
        LayoutCase{"QqMeterType", {"QQS#HART0:1,0,15,9,120#"}, "QQQ#QQ0#", "HART?:", 10, 2, "15"},
        LayoutCase{"QqPreambles", {"QQS#HART0:1,0,15,9,120#"}, "QQQ#QQ0#", "HART?:", 13, 1, "9"},
        LayoutCase{"QqClearTime", {"QQS#HART0:1,0,15,9,120#"}, "QQQ#QQ0#", "HART?:", 15, 3, "120"},
        LayoutCase{"QqFormats", {"QQS#DFOT0:13210#"}, "QQQ#QQ0#", "DFO?:", 5, 5, "13210"},
        LayoutCase{"QqAddressBits", {"QQS#MDBS0:8,1031,0000,2051,0000#"}, "QQQ#QQ0#", "ZDY?:", 5, 1, "8"},
        LayoutCase{"QqVariable1", {"QQS#MDBS0:8,1031,0000,2051,0000#"}, "QQQ#QQ0#", "ZDY?:", 7, 4, "1031"},
        LayoutCase{"QqVariable2", {"QQS#MDBS0:8,1031,0000,2051,0000#"}, "QQQ#QQ0#", "ZDY?:", 12, 4, "0000"},
        LayoutCase{"QqVariable3", {"QQS#MDBS0:8,1031,0000,2051,0000#"}, "QQQ#QQ0#", "ZDY?:", 17, 4, "2051"},
        LayoutCase{"QqVariable4", {"QQS#MDBS0:8,1031,0001,2051,1991#"}, "QQQ#QQ0#", "ZDY?:", 22, 4, "1991"},
        LayoutCase{"QqMode", {"QQS#MD:2#"}, "QQQ#QQ0#", "MD:", 3, 1, "2"},
        LayoutCase{"QqReadCommandEnable", {kReadCommand}, "QQQ#QQ0#", "CAMD?1:", 7, 1, "1"},
        LayoutCase{"QqReadCommandCount", {kReadCommand}, "QQQ#QQ0#", "CAMD?1:", 9, 2, "04"},
        LayoutCase{"QqReadCommandText", {kReadCommand}, "QQQ#QQ0#", "CAMD?1:", 12, 11, "01 03 00 00"},
        LayoutCase{"QqReadCommand2Untouched", {kReadCommand}, "QQQ#QQ0#", "CAMD?2:", 7, 4, "0<00"},
        LayoutCase{"QqOtherDevice", {"QQS#HART3:0,1,02,4,007#"}, "QQQ#QQ3#", "HART3:", 6, 12, "0,1,02,4,007"},
        LayoutCase{"QqOtherDeviceFormats", {"QQS#DFOT3:01111#"}, "QQQ#QQ3#", "DFO3:", 5, 5, "01111"},
        // Relay and current output parameters.
        LayoutCase{"Qx2Marker", {}, "QQQ#QX2#", "QX2", 0, 3, "QX2"},
        LayoutCase{"Qx2Delay", {"VELKOR#BTM3:0120#"}, "QQQ#QX2#", "BTM3:", 5, 4, "0120"},
        LayoutCase{"Qx2DelayPadded", {"VELKOR#BTM2:5#"}, "QQQ#QX2#", "BTM2:", 5, 4, "0005"},
        LayoutCase{"Qx2AlarmEnable", {"VELKOR#AI02:1,99.95,10#"}, "QQQ#QX2#", "AI02:", 5, 1, "1"},
        LayoutCase{"Qx2AlarmLimit", {"VELKOR#AI02:1,99.95,10#"}, "QQQ#QX2#", "AI02:", 7, 5, "99.95"},
        LayoutCase{"Qx2ReactionTime", {"VELKOR#AI02:1,99.95,10#"}, "QQQ#QX2#", "AI02:", 13, 3, "010"},
        LayoutCase{"Qx2LimitDefault", {}, "QQQ#QX2#", "AI01:", 5, 11, "0,100.0,005"},
        LayoutCase{"Qx2LowLimitDefault", {}, "QQQ#QX2#", "AI04:", 5, 11, "0,0.000,005"},
        LayoutCase{"Qx2OutputChannel", {"VELKOR#IB01:3,4,20#"}, "QQQ#QX2#", "IB01:", 5, 1, "3"},
        LayoutCase{"Qx2OutputAt4", {"VELKOR#IB01:3,4,20#"}, "QQQ#QX2#", "IB01:", 7, 5, "4.000"},
        LayoutCase{"Qx2OutputAt20", {"VELKOR#IB01:3,4,20#"}, "QQQ#QX2#", "IB01:", 13, 5, "20.00"},
        LayoutCase{"Qx2OutputA", {"VELKOR#IA01:2,-1.5,12345#"}, "QQQ#QX2#", "IA01:", 5, 13, "2,-1.50,12345"},
        // Present values of the current outputs: nine characters each.
        LayoutCase{"Qx3Marker", {}, "QQQ#QX3#", "QX3", 0, 3, "QX3"},
        LayoutCase{"Qx3ClosedA", {}, "QQQ#QX3#", "AVAL:", 5, 10, " 0.0000mA#"},
        LayoutCase{"Qx3ClosedB", {}, "QQQ#QX3#", "BVAL:", 5, 10, " 0.0000mA#"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(ReplyLayout, PresentValuesFollowTheirSourceVariable) {
  ModuleSettings settings = factorySettings();
  const PolledVariables variables = std::array<float, 4>{50.0f, 25.0f, 1.0f, 1000.0f};
  // Output A on variable 1 over 0..100: 50 gives 12 mA; B on variable 2 over
  // 0..20 saturates at 20.5 mA.
  const std::string reply =
      replyAfter(settings, {"VELKOR#IA01:1,0.000,100.0#", "VELKOR#IB01:2,0,20#"}, "QQQ#QX3#", variables);
  EXPECT_EQ(fieldAt(reply, "AVAL:", 5, 9), "12.0000mA") << reply;
  EXPECT_EQ(fieldAt(reply, "BVAL:", 5, 9), "20.5000mA") << reply;
  // Without an answering instrument the outputs read zero.
  const std::string silent = handleConfigFrame(settings, "QQQ#QX3#", std::nullopt);
  EXPECT_EQ(fieldAt(silent, "AVAL:", 5, 9), " 0.0000mA") << silent;
}

TEST(ReplyLayout, LongestDeviceReplyFitsTheToolsReceivedText) {
  ModuleSettings settings = factorySettings();
  std::vector<uint8_t> fourteen(14, 0xAB);
  const std::string reply =
      replyAfter(settings,
                 {"QQS#FMW:3,-1234#", "QQS#HART9:1,1,15,9,999#", "QQS#MDBS9:9,2991,2991,2991,2991#",
                  bytesFrame("QQS#CAMD91:1<14,", fourteen), bytesFrame("QQS#CAMD92:1<14,", fourteen)},
                 "QQQ#QQ9#");
  EXPECT_LE(reply.size(), kReceivedTextLimit);
  EXPECT_EQ(fieldAt(reply, "CAMD?2:", 12, 41), "AB AB AB AB AB AB AB AB AB AB AB AB AB AB") << reply;
  EXPECT_EQ(fieldAt(reply, "FMW:", 6, 5), "-1234") << reply;
}

TEST(ReplyLayout, ReadCommandBytesLikeTheFrameDelimiters) {
  // Raw command bytes may be '#', ':' or ','; they come back as hex text.
  ModuleSettings settings = factorySettings();
  const std::string reply = replyAfter(settings, {bytesFrame("QQS#CAMD02:1<03,", {'#', ':', ','})}, "QQQ#QQ0#");
  EXPECT_EQ(fieldAt(reply, "CAMD?2:", 9, 11), "03,23 3A 2C") << reply;
}

struct FixedWidthCase {
  double value;
  const char* text;
};

TEST(FixedWidth, FiveCharactersWithAsManyDecimalsAsFit) {
  const std::vector<FixedWidthCase> cases = {
      {100.0, "100.0"}, {0.0, "0.000"},  {4.0, "4.000"},  {20.0, "20.00"},  {99.95, "99.95"},
      {12345, "12345"}, {1234, "01234"}, {-1.5, "-1.50"}, {-1234, "-1234"}, {-12, "-12.0"},
  };
  for (const auto& c : cases) EXPECT_EQ(formatFixedWidth(c.value, 5), c.text) << c.value;
  for (double tooWide : {123456.0, 99999.6, -12345.0}) EXPECT_EQ(formatFixedWidth(tooWide, 5), std::nullopt) << tooWide;
}

}  // namespace
}  // namespace tq::sim
