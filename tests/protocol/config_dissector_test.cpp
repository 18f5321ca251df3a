// The journal's view of the configuration protocol: the frames the builders
// write and the replies the simulated module gives, taken apart field by
// field, and what is wrong with a damaged one said in the field at fault.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "protocol/config_frames.h"
#include "protocol/dissector.h"
#include "protocol/output_frames.h"
#include "sim/config_protocol.h"

namespace tq::protocol {
namespace {

using Fields = std::vector<std::pair<std::string, std::string>>;  // name, value

std::span<const uint8_t> bytes(const std::string& text) {
  return {reinterpret_cast<const uint8_t*>(text.data()), text.size()};
}
std::string text(const Frame& f) { return {f.begin(), f.end()}; }

Fields namedFields(const Dissection& d) {
  Fields out;
  for (const DissectedField& f : d.fields) out.emplace_back(f.name, f.value);
  return out;
}

std::string firstFault(const Dissection& d) { return d.firstFault() ? d.firstFault()->verdict : ""; }

// Every field lies inside the block, and one that holds characters of the
// block as they are shows exactly those.
void expectFieldsInside(const std::string& block, const Dissection& d) {
  for (const DissectedField& f : d.fields) {
    ASSERT_LE(f.offset + f.length, block.size()) << f.name;
  }
}

// The window's defaults on the output page.
std::string outputFrameOf(const char* button) {
  const OutputControls controls{
      .selectedIndex = [](const char*) { return 1; },
      .typedText = [](const char*) { return std::string("5"); },
      .lineText = [](const OutputField& f) { return std::string(f.control).ends_with("TIME") ? "005" : "100.0"; }};
  return text(outputFrame(outputCommand(button), controls));
}

struct FrameCase {
  const char* name;
  std::string frame;
  std::string title;
  Fields fields;  // beyond prefix and command, in order
};
void PrintTo(const FrameCase& c, std::ostream* os) { *os << c.name; }

const uint8_t kReadCommand[] = {0x01, 0x03, 0x00, 0x00};

const FrameCase kFrames[] = {
    {"DeviceSettings",
     text(deviceSettingsFrame({0, 1, 1, 5, 1, "060"})),
     "Configuration setting HART0, Meter settings",
     {{"Meter ID", "0"},
      {"Enable", "1"},
      {"Device Mode", "1"},
      {"Meter Type", "05"},
      {"Preamble Length", "5"},
      {"Buffer Clear Time", "060"}}},
    {"Rs485Line",
     text(rs485LineFrame(4, 2)),
     "Configuration setting BA1, RS485 Serial Port Parameters",
     {{"RS485 Serial Port Parameters, Baud Rate", "4"}, {"RS485 Serial Port Parameters, Parity", "2"}}},
    {"WorkingModeNotTakenForParsingFormat",
     text(workingModeFrame(3, "Module Working Mode")),
     "Configuration setting MD, Module Working Mode",
     {{"Module Working Mode", "3"}}},
    {"Coefficient",
     text(coefficientFrame(2, "0.5")),
     "Configuration setting FMW, Variable 1 Coefficient",
     {{"Variable 1 Coefficient", "2"}, {"Coefficient", "000.5"}}},
    {"RegisterFormats",
     text(registerFormatsFrame(3, {1, 0, 2, 3, 1})),
     "Configuration setting DFOT3, Register formats",
     {{"Meter ID", "3"},
      {"Current (RTU_ADR) format", "1"},
      {"Variable_1(RTU_ADR) format", "0"},
      {"Variable_2(RTU_ADR) format", "2"},
      {"Variable_3(RTU_ADR) format", "3"},
      {"Variable_4(RTU_ADR) format", "1"}}},
    {"ParsingFormat",
     text(parsingFormatFrame(0, 5, {{{1, "03", 1}, {0, "00", 0}, {2, "5", 1}, {0, "99", 0}}})),
     "Configuration setting MDBS0, Custom HART Data Parsing Format",
     {{"Meter ID", "0"},
      {"Address Bits", "8"},
      {"Variable_1 Command Number", "1"},
      {"Variable_1 Start Addr.", "03"},
      {"Variable_1 Data Length", "1"},
      {"Variable_2 Command Number", "0"},
      {"Variable_2 Start Addr.", "00"},
      {"Variable_2 Data Length", "0"},
      {"Variable_3 Command Number", "2"},
      {"Variable_3 Start Addr.", "05"},
      {"Variable_3 Data Length", "1"},
      {"Variable_4 Command Number", "0"},
      {"Variable_4 Start Addr.", "99"},
      {"Variable_4 Data Length", "0"}}},
    // Raw bytes that hold ',' and '#' end nothing: the count says how many.
    {"ReadCommandWithSeparatorBytes",
     text(readCommandFrame(1, 2, 1, std::vector<uint8_t>{0x23, 0x2C, 0xFF})),
     "Configuration setting CAMD12, Read Meter Command 2",
     {{"Meter ID", "1"},
      {"Read Meter Command 2", "1"},
      {"Read Meter Command 2, byte count", "03"},
      {"Read Meter Command 2, bytes", "23 2C FF"}}},
    {"Reset", text(resetFrame()), "Configuration setting RESET, Parameter Initialization", {}},
    {"ModbusQuery", text(modbusQueryFrame(7)), "Configuration query QQ7, MODBUS Parameter Query", {{"Meter ID", "7"}}},
    {"OutputAlarm",
     outputFrameOf("Button19"),
     "Output command AI03, Relay Alarm",
     {{"Relay 3 Alarm Enable", "1"}, {"Relay 3 Lower Alarm Limit", "100.0"}, {"Relay 3 Reaction Time(S)", "005"}}},
    {"OutputDelay", outputFrameOf("Button61"), "Output command BTM4, Realy Output Delay", {{"Out4Time", "0005"}}},
};

class DissectFrame : public ::testing::TestWithParam<FrameCase> {};

TEST_P(DissectFrame, EachFieldIsNamedAsTheWindowNamesItWithTheCharactersSent) {
  const FrameCase& c = GetParam();
  const auto d = dissectConfigFrame(bytes(c.frame));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->protocol, Protocol::Configuration);
  EXPECT_EQ(d->title, c.title);
  EXPECT_EQ(firstFault(*d), "");
  ASSERT_GE(d->fields.size(), 2u);
  const Fields all = namedFields(*d);
  EXPECT_EQ(Fields(all.begin() + 2, all.end()), c.fields);
  expectFieldsInside(c.frame, *d);
}

INSTANTIATE_TEST_SUITE_P(Builders, DissectFrame, ::testing::ValuesIn(kFrames),
                         [](const auto& info) { return std::string(info.param.name); });

// Every frame the window can send is taken apart without a fault.
TEST(DissectFrameEvery, FrameABuilderWritesIsWholeAndKnown) {
  std::vector<std::string> frames = {text(commQueryFrame()),
                                     text(systemQueryFrame()),
                                     text(outputSettingsQueryFrame()),
                                     text(outputValuesQueryFrame()),
                                     text(slaveAddressFrame("247")),
                                     text(communicationDelayFrame(1)),
                                     text(instrumentIntervalFrame("10")),
                                     text(interfaceTypeFrame(2, 1)),
                                     text(readCommandFrame(9, 1, 0, kReadCommand))};
  for (const OutputCommand& command : outputCommands()) frames.push_back(outputFrameOf(command.button));
  for (const std::string& frame : frames) {
    SCOPED_TRACE(frame);
    const auto d = dissectConfigFrame(bytes(frame));
    ASSERT_TRUE(d);
    EXPECT_EQ(firstFault(*d), "");
    EXPECT_EQ(d->title.find("unknown"), std::string::npos);
  }
}

TEST(DissectFrameDamaged, TheFieldAtFaultSaysWhat) {
  const struct {
    std::string frame, field, verdict;
  } cases[] = {
      {"QQS#HART0:1,1,05,5", "Buffer Clear Time", "frame ends after 18 of 23 bytes"},
      {"QQS#HART0:1,1,0x,5,060#", "Meter Type", "not 2 digits"},
      {"QQS#ADR:001#QQ", "After the frame", "2 bytes after the frame's end"},
      {"QQS#MDBS0:8;1031,0000,2051,0000#", "Variable_1 Command Number", "expected ',', found ';'"},
      {std::string("QQS#CAMD01:1<04,\x01\x03", 18), "Read Meter Command 1, bytes", "frame ends after 18 of 20 bytes"},
      {"QQS#CAMD01:1<0", "Read Meter Command 1, byte count", "frame ends after 14 of at least 16 bytes"},
      {"QQS#FOO:1#", "Command", "unknown command"},
      {"QQQ#QX9#", "Command", "unknown query"},
      {"QQQ#QQ0", "End", "frame ends after 7 of 8 bytes"},
      {"VELKOR#O01:-1#", "Relay Output Test, Relay 1", "nothing selected"},
      {"VELKOR#AI01:0,100.0#", "Relay 1 Reaction Time(S)", "missing"},
      {"VELKOR#BTM1:0005", "End", "frame ends before its '#'"},
      {"VELKOR#BTM1:1.5#", "Out1Time", "not a whole number"},
      {"VELKOR#XX01:1#", "Command", "unknown command"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.frame);
    const auto d = dissectConfigFrame(bytes(c.frame));
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->firstFault());
    EXPECT_EQ(d->firstFault()->name, c.field);
    EXPECT_EQ(d->firstFault()->verdict, c.verdict);
    EXPECT_NE(d->summary().find(c.verdict), std::string::npos);
    expectFieldsInside(c.frame, *d);
  }
}

TEST(DissectFrameOther, BytesWithoutAPrefixAreNotAConfigurationFrame) {
  for (const std::string& frame : {std::string(), std::string("QQS"), std::string("qqs#ADR:001#"),
                                   std::string("\xFF\xFF\x02\x80\x00\x00\x82", 7), std::string("ADR:OK#")}) {
    EXPECT_FALSE(dissectConfigFrame(bytes(frame))) << frame;
  }
}

// --- replies, as the simulated module gives them -------------------------------

std::string replyAfter(const std::vector<std::string>& setup, const std::string& query) {
  sim::ModuleSettings settings = sim::factorySettings();
  for (const std::string& frame : setup)
    EXPECT_EQ(sim::handleConfigFrame(settings, frame, std::nullopt).find("ERR"), std::string::npos) << frame;
  return sim::handleConfigFrame(settings, query, std::nullopt);
}

std::map<std::string, std::string> valuesOf(const Dissection& d) {
  std::map<std::string, std::string> values;
  for (const DissectedField& f : d.fields) values.emplace(f.name, f.value);
  return values;
}

struct ReplyCase {
  const char* name;
  std::vector<std::string> setup;
  std::string query;
  std::string title;
  std::map<std::string, std::string> expected;  // a few fields by name
};
void PrintTo(const ReplyCase& c, std::ostream* os) { *os << c.name; }

const ReplyCase kReplies[] = {
    {"CommQuery",
     {"QQS#YB:11#"},
     text(commQueryFrame()),
     "Configuration reply QV, Communication Query",
     {{"Interface Type", "1"}, {"Unit count", "1"}}},
    {"System",
     {text(rs485LineFrame(4, 2)), text(slaveAddressFrame("17")), text(instrumentIntervalFrame("250"))},
     text(systemQueryFrame()),
     "Configuration reply QX1, System Parameters",
     {{"RS485 Serial Port Parameters, Baud Rate", "4"},
      {"RS485 Serial Port Parameters, Parity", "2"},
      {"MODBUS Slave Address", "017"},
      {"Instrument Communication Interval", "250"},
      {"Communication Delay", "0"}}},
    {"CustomMeter",
     {text(deviceSettingsFrame({0, 1, 0, 0, 3, "120"})), text(coefficientFrame(2, "1.234")),
      text(parsingFormatFrame(0, 2, {{{1, "03", 1}, {0, "00", 0}, {2, "05", 1}, {0, "00", 0}}})),
      text(readCommandFrame(0, 1, 1, kReadCommand))},
     text(modbusQueryFrame(0)),
     "Configuration reply QQ0, MODBUS Parameter Query",
     {{"Meter Type", "00"},
      {"Preamble Length", "7"},
      {"Buffer Clear Time", "120"},
      {"Coefficient", "1.234"},
      {"Address Bits", "5"},
      {"Variable_3 Start Addr.", "05"},
      {"Read Meter Command 1", "1"},
      {"Read Meter Command 1, byte count", "04"},
      {"Read Meter Command 1, bytes", "01 03 00 00"},
      {"Module Working Mode (MODBUS page)", "1"}}},
    {"OutputSettings",
     {"VELKOR#AI03:1,-20.5,010#", "VELKOR#BTM2:0042#", "VELKOR#IB01:4,4.000,20.00#"},
     text(outputSettingsQueryFrame()),
     "Configuration reply QX2, Relay and current output settings",
     {{"Relay 3 Alarm Enable", "1"},
      {"Relay 3 Lower Alarm Limit", "-20.5"},
      {"Relay 3 Reaction Time(S)", "010"},
      {"Out2Time", "0042"},
      {"IBDOUT Channel Selection", "4"},
      {"IBDOUT DC20MA", "20.00"}}},
    {"OutputValues",
     {},
     text(outputValuesQueryFrame()),
     "Configuration reply QX3, Current output values",
     {{"IAOUT", " 0.0000mA"}, {"IBOUT", " 0.0000mA"}}},
};

class DissectReply : public ::testing::TestWithParam<ReplyCase> {};

TEST_P(DissectReply, EachGroupsFieldsAreNamedWithTheCharactersTheWindowReads) {
  const ReplyCase& c = GetParam();
  const std::string reply = replyAfter(c.setup, c.query);
  SCOPED_TRACE(reply);
  const auto d = dissectConfigReply(bytes(reply));
  ASSERT_TRUE(d);
  EXPECT_TRUE(looksLikeConfigReply(bytes(reply)));
  EXPECT_EQ(d->protocol, Protocol::Configuration);
  EXPECT_EQ(d->title, c.title);
  EXPECT_EQ(firstFault(*d), "");
  const auto values = valuesOf(*d);
  for (const auto& [name, value] : c.expected) {
    ASSERT_TRUE(values.contains(name)) << name;
    EXPECT_EQ(values.at(name), value) << name;
  }
  expectFieldsInside(reply, *d);
}

INSTANTIATE_TEST_SUITE_P(Simulator, DissectReply, ::testing::ValuesIn(kReplies),
                         [](const auto& info) { return std::string(info.param.name); });

// The window reads the custom parsing groups back for the custom meter
// only; for any other the journal says they are not shown.
TEST(DissectReplyGroups, TheCustomGroupsAreMarkedUnreadForAnotherMeterType) {
  for (const int meterType : {0, 5}) {
    const std::string reply =
        replyAfter({text(deviceSettingsFrame({0, 1, 1, meterType, 1, "060"}))}, text(modbusQueryFrame(0)));
    const auto d = dissectConfigReply(bytes(reply));
    ASSERT_TRUE(d);
    int remarks = 0;
    for (const DissectedField& f : d->fields) {
      if (f.verdict == "not shown: the meter type is not 0 (custom)") ++remarks;
      EXPECT_FALSE(f.bad) << f.name;
    }
    EXPECT_EQ(remarks, meterType == 0 ? 0 : 4) << "ZDY, MD and the two read commands";
  }
}

TEST(DissectReplyDamaged, TheFieldAtFaultCarriesTheWindowsMessageOrSaysWhatIsMissing) {
  const struct {
    std::string reply, field, verdict;
  } cases[] = {
      {"QX1#BA1:3x#MD:1#ADR:005#XY:0#JTM:010#", "RS485 Serial Port Parameters, Parity",
       "'x' is not a valid integer value"},
      {"QX1#BA1:30#MD:1#ADR:005#XY:0#JTM:0", "Instrument Communication Interval", "reply ends after 1 of 3 characters"},
      {"QX1#BA1:30#MD:1#ADR:005#JTM:010#", "Group", "missing: the window keeps what it showed"},
      {"QQ0#FMW:0,0.001#HART0:1,1,0?,5,060#DFO0:00000#", "Meter Type", "'0?' is not a valid integer value"},
      {"QQ0#FMW:0,0.001#HART0:1,1,00,5,060#DFO0:00000#ZDY0:8,0000,0000,0000,0000#MD:1#CAMD01:1<04,01 03",
       "Read Meter Command 1, bytes", "reply ends after 5 of 11 characters"},
      {"BA1:ERR,RANGE#", "BA1", "refused: RANGE"},
      {"ERR:UNKNOWN#", "ERR", "the module refused the frame: UNKNOWN"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reply);
    const auto d = dissectConfigReply(bytes(c.reply));
    ASSERT_TRUE(d);
    ASSERT_TRUE(d->firstFault());
    EXPECT_EQ(d->firstFault()->name, c.field);
    EXPECT_EQ(d->firstFault()->verdict, c.verdict);
    expectFieldsInside(c.reply, *d);
  }
}

TEST(DissectReplyAnswers, TheModulesAnswersToSettingsAreListedGroupByGroup) {
  const std::string answer = replyAfter({}, text(deviceSettingsFrame({0, 1, 1, 5, 1, "060"}))) + "ADR:OK#";
  const auto d = dissectConfigReply(bytes(answer));
  ASSERT_TRUE(d);
  EXPECT_EQ(d->title, "Configuration answer HART0:OK (+1 more)");
  EXPECT_EQ(namedFields(*d), (Fields{{"HART0", "OK"}, {"ADR", "OK"}}));
  EXPECT_EQ(d->fields[0].verdict, "accepted");
  EXPECT_EQ(firstFault(*d), "");
}

TEST(DissectReplyOther, BinaryBytesWithoutAReplyAreNotAConfigurationReply) {
  const struct {
    std::string block;
    bool reply;      // dissectConfigReply takes it, knowing a configuration frame went out
    bool looksLike;  // taken for one knowing nothing
  } cases[] = {
      {std::string("\xFF\xFF\x06\x80\x00\x00\x00\x86", 8), false, false},  // a HART reply
      {std::string("\x01\x03\x02QQ\x00\x00", 7), false, false},            // "QQ" inside binary data
      {"hello", true, false},                                              // printable: shown as text
      {"", false, false},
      {std::string("\x01QX1#BA1:30#MD:1#", 17), true, true},  // a noise byte before a reply
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.block);
    EXPECT_EQ(dissectConfigReply(bytes(c.block)).has_value(), c.reply);
    EXPECT_EQ(looksLikeConfigReply(bytes(c.block)), c.looksLike);
  }
}

}  // namespace
}  // namespace tq::protocol
