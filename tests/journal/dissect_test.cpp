// Which dissector takes each block the journal records: the one that fits
// what was sent last, then whichever recognises the bytes, then hex and
// text, bounded.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/raw_dissection.h"
#include "journal/dissect.h"
#include "tools/modbus_test.h"

namespace tq::journal {
namespace {

using Bytes = std::vector<uint8_t>;

Bytes bytes(const std::string& text) { return {text.begin(), text.end()}; }

Bytes modbusRequest(int slave) {
  const auto frame = tools::modbusTestFrame(slave, 0, 2);
  return {frame.begin(), frame.end()};
}

// Two registers from `slave`, its CRC changed when `damaged`.
Bytes modbusAnswer(uint8_t slave, bool damaged = false) {
  Bytes frame{slave, tools::kReadHoldingRegisters, 4, 0x3F, 0xC0, 0x00, 0x00};
  const auto crc = tools::crc16Modbus(frame);
  frame.insert(frame.end(), crc.begin(), crc.end());
  if (damaged) frame.back() ^= 0x01;
  return frame;
}

const Bytes kHartQuery{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82};
const Bytes kHartIdentity{0xFF, 0xFF, 0x06, 0x80, 0x00, 0x0E, 0x00, 0x14, 0xFE, 0x1A, 0x89,
                          0x07, 0x05, 0x02, 0x1B, 0x08, 0x01, 0x21, 0x63, 0x3F, 0x9E};
Bytes withCheckByte(Bytes frame, uint8_t check) {
  frame.back() = check;
  return frame;
}
const std::string kSetting = "QQS#ADR:001#";

struct Case {
  const char* name;
  Direction direction;
  Bytes block;
  Bytes lastSent;
  Protocol protocol;
  std::string title;  // how it starts
  std::string fault;  // the first fault, "" for none
};
void PrintTo(const Case& c, std::ostream* os) { *os << c.name; }

const Case kCases[] = {
    {"SentSetting", Direction::Sent, bytes(kSetting), {}, Protocol::Configuration, "Configuration setting ADR", ""},
    {"SentModbusTest", Direction::Sent, modbusRequest(1), {}, Protocol::Modbus, "MODBUS request to slave 1", ""},
    {"SentOther", Direction::Sent, {0x01, 0x02, 0x03}, {}, Protocol::Unknown, "3 bytes: 01 02 03", ""},
    {"AnswerToASetting", Direction::Received, bytes("ADR:OK#"), bytes(kSetting), Protocol::Configuration,
     "Configuration answer ADR:OK", ""},
    // Printable text after a configuration frame is the module's; with
    // nothing sent it is not taken for it.
    {"TextAfterASetting", Direction::Received, bytes("hello"), bytes(kSetting), Protocol::Configuration,
     "Configuration answer hello", ""},
    {"TextAfterNothing", Direction::Received, bytes("hello"), {}, Protocol::Unknown, "5 bytes", ""},
    {"ReplyAfterNothing",
     Direction::Received,
     bytes("QX1#BA1:30#MD:1#ADR:001#XY:0#JTM:010#"),
     {},
     Protocol::Configuration,
     "Configuration reply QX1",
     ""},
    {"ModuleTextAfterAHartFrame", Direction::Received, bytes("ERR:UNKNOWN#"), kHartQuery, Protocol::Configuration,
     "Configuration answer", "the module refused the frame: UNKNOWN"},
    {"BinaryAfterASetting", Direction::Received, {0x00, 0x9C, 0x11}, bytes(kSetting), Protocol::Unknown, "3 bytes", ""},
    // The answer to the request is taken for one whatever its CRC.
    {"ModbusAnswerWithABadCrc", Direction::Received, modbusAnswer(1, true), modbusRequest(1), Protocol::Modbus,
     "MODBUS answer from slave 1", "CRC F6 1A, expected F6 1B"},
    {"ModbusAnswerFromAnotherSlave", Direction::Received, modbusAnswer(3), modbusRequest(1), Protocol::Modbus,
     "MODBUS answer from slave 3", "the request went to slave 1"},
    {"ModbusAnswerAfterLineNoise", Direction::Received,
     [] {
       Bytes b{0x00};
       for (uint8_t x : modbusAnswer(1)) b.push_back(x);
       return b;
     }(),
     modbusRequest(1), Protocol::Modbus, "MODBUS answer from slave 1", "1 byte before the answer"},
    {"ModbusAnswerAfterNothing",
     Direction::Received,
     modbusAnswer(1),
     {},
     Protocol::Modbus,
     "MODBUS answer from slave 1",
     ""},
    {"NoiseAfterAModbusRequest",
     Direction::Received,
     {0x07, 0x41, 0x00, 0x12},
     modbusRequest(1),
     Protocol::Unknown,
     "4 bytes",
     ""},
    {"Loopback", Direction::Received, bytes(kSetting), bytes(kSetting), Protocol::Configuration,
     "Echo of the frame sent: Configuration setting ADR", ""},
    {"AnotherMastersFrame", Direction::Received, bytes("QQQ#QX1#"), bytes(kSetting), Protocol::Configuration,
     "Frame received: Configuration query QX1", ""},
    {"SeparatorsOnly", Direction::Received, bytes("##"), bytes(kSetting), Protocol::Configuration,
     "Configuration answer", ""},
    {"NothingReceived", Direction::Received, {}, bytes(kSetting), Protocol::Unknown, "0 bytes", ""},
    {"HartReply", Direction::Received, kHartIdentity, kHartQuery, Protocol::Hart,
     "HART reply, command 0 Read Unique Identifier", ""},
    {"HartReplyWithABadCheckByte", Direction::Received, withCheckByte(kHartIdentity, 0x51), kHartQuery, Protocol::Hart,
     "HART reply, command 0", "check byte 51, expected 9E"},
    {"HartReplyAfterNothing", Direction::Received, kHartIdentity, {}, Protocol::Hart, "HART reply", ""},
    {"HartQuerySent", Direction::Sent, kHartQuery, {}, Protocol::Hart, "HART request, command 0", ""},
    {"Event", Direction::Event, bytes("Connection Timeout!"), {}, Protocol::Unknown, "Connection Timeout!", ""},
};

class DissectBlock : public ::testing::TestWithParam<Case> {};

TEST_P(DissectBlock, GoesToTheDissectorThatFits) {
  const Case& c = GetParam();
  const Dissection d = dissectBlock(c.direction, c.block, c.lastSent);
  EXPECT_EQ(d.protocol, c.protocol) << d.title;
  EXPECT_TRUE(d.title.starts_with(c.title)) << d.title;
  EXPECT_EQ(d.firstFault() ? d.firstFault()->verdict : "", c.fault);
  ASSERT_FALSE(d.fields.empty());
  for (const DissectedField& f : d.fields) EXPECT_LE(f.offset + f.length, c.block.size()) << f.name;
  // What a journal entry keeps says the same as the dissection opened later.
  EXPECT_EQ(dissectBlock(c.direction, c.block, c.lastSent, Detail::Summary).summary(), d.summary());
}

INSTANTIATE_TEST_SUITE_P(Blocks, DissectBlock, ::testing::ValuesIn(kCases),
                         [](const auto& info) { return std::string(info.param.name); });

// A converter that hears its own transmission hands the frame back before
// the reply: the reply is still taken apart, at its own place in the block.
TEST(DissectBlockEcho, TheReplyAfterAnEchoIsDissectedWhereItStands) {
  const Dissection d = dissectBlock(Direction::Received, bytes(kSetting + "ADR:OK#"), bytes(kSetting));
  EXPECT_EQ(d.title, "Echo, then Configuration answer ADR:OK");
  ASSERT_EQ(d.fields.size(), 2u);
  EXPECT_EQ(d.fields[0].name, "Echo");
  EXPECT_EQ(d.fields[0].length, kSetting.size());
  EXPECT_EQ(d.fields[1].name, "ADR");
  EXPECT_EQ(d.fields[1].offset, kSetting.size());
}

TEST(DissectBlockEvent, ALongEventIsCutAtACharacterNotInsideOne) {
  std::string text;
  for (int i = 0; i < 300; ++i) text += "\xC3\xA9";  // é, two bytes each
  const Dissection d = dissectBlock(Direction::Event, bytes(text), {});
  const std::string ellipsis = "\u2026";
  ASSERT_TRUE(d.title.ends_with(ellipsis));
  const std::string kept = d.title.substr(0, d.title.size() - ellipsis.size());
  EXPECT_LE(kept.size(), 200u);
  EXPECT_EQ(kept.size() % 2, 0u) << "a character was split";
}

TEST(DissectRaw, BytesAreShownInLinesOf16WithTheirText) {
  const Dissection d = dissectRaw(bytes("Hello, world\x01"));
  ASSERT_EQ(d.fields.size(), 1u);
  // The text column stands where a full line's would.
  EXPECT_EQ(d.fields[0].value,
            "48 65 6C 6C 6F 2C 20 77 6F 72 6C 64 01" + std::string(3 * 3 + 2, ' ') + "Hello, world.");
  EXPECT_EQ(d.title, "13 bytes: 48 65 6C 6C 6F 2C 20 77 \u2026");
}

// A flood of full blocks must not turn into megabytes of text.
TEST(DissectRaw, AnyBlockGivesABoundedDissection) {
  const struct {
    size_t size, lines;
    const char* remark;
  } cases[] = {{2048, 128, nullptr}, {17, 2, nullptr}, {10000, 128, "7952 more bytes not shown"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.size);
    Bytes block(c.size);
    for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i * 7);
    const Dissection d = dissectRaw(block);
    size_t text = d.title.size();
    size_t lines = 0;
    for (const DissectedField& f : d.fields) {
      text += f.name.size() + f.value.size() + f.verdict.size();
      if (f.name != "Data") continue;
      EXPECT_EQ(f.offset, lines * kRawLineBytes);
      EXPECT_EQ(f.length, std::min(kRawLineBytes, c.size - f.offset));
      ++lines;
    }
    EXPECT_EQ(lines, c.lines);
    EXPECT_LE(text, 128 * 80u);
    if (c.remark) {
      EXPECT_EQ(d.fields.back().value, c.remark);
    }
  }
}

}  // namespace
}  // namespace tq::journal
