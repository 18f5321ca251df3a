// The journal's view of MODBUS RTU on answers a slave nobody here wrote
// (libmodbus) gives to the test request: whole, with a damaged CRC, as each
// exception, and cut short.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "libmodbus_slave.h"
#include "tools/modbus_dissector.h"
#include "tools/modbus_test.h"

namespace tq::tools {
namespace {

using testing::LibmodbusSlave;
using testing::registerValue;
using Bytes = std::vector<uint8_t>;

std::string hex(uint8_t b) {
  char text[3];
  std::snprintf(text, sizeof text, "%02X", b);
  return text;
}

Bytes testRequest(int slave, int start, int count) {
  const auto frame = modbusTestFrame(slave, start, count);
  return {frame.begin(), frame.end()};
}

// The slave's answer to `request`, from its map or as exception `code`.
Bytes answerOf(LibmodbusSlave& slave, const Bytes& request, size_t expected, int code = 0) {
  std::string why;
  EXPECT_TRUE(slave.serve(std::string(request.begin(), request.end()), why, code)) << why;
  const std::string got = slave.answer(expected);
  EXPECT_EQ(got.size(), expected);
  return {got.begin(), got.end()};
}

size_t readAnswerSize(int count) { return 3 + 2 * static_cast<size_t>(count) + 2; }
constexpr size_t kExceptionAnswerSize = 5;

void expectInside(const Dissection& d, size_t size) {
  for (const DissectedField& f : d.fields) EXPECT_LE(f.offset + f.length, size) << f.name;
}

const DissectedField* field(const Dissection& d, const std::string& name) {
  for (const DissectedField& f : d.fields) {
    if (f.name == name) return &f;
  }
  return nullptr;
}

std::string registerText(uint16_t v) {
  char text[40];
  std::snprintf(text, sizeof text, "0x%04X = %u, signed %d", unsigned{v}, unsigned{v}, int{static_cast<int16_t>(v)});
  return text;
}

TEST(DissectModbusAnswer, ALibmodbusAnswerIsTakenApartRegisterByRegister) {
  const struct { int slave, start, count; } cases[] = {{1, 0, 10}, {17, 100, 3}, {247, 255, 125}, {2, 7, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << "slave " << c.slave << " start " << c.start << " count " << c.count);
    LibmodbusSlave slave(c.slave);
    const Bytes request = testRequest(c.slave, c.start, c.count);
    const Bytes answer = answerOf(slave, request, readAnswerSize(c.count));
    ASSERT_EQ(answer.size(), readAnswerSize(c.count));
    const Dissection d = dissectModbusAnswer(answer, request);
    EXPECT_EQ(d.protocol, Protocol::Modbus);
    EXPECT_EQ(d.firstFault(), nullptr) << d.summary();
    EXPECT_EQ(d.fields.back().verdict, "CRC OK");
    EXPECT_EQ(field(d, "Slave address")->value, std::to_string(c.slave));
    EXPECT_EQ(field(d, "Function")->value, "03 Read Holding Registers");
    EXPECT_EQ(field(d, "Byte count")->value, std::to_string(2 * c.count));
    for (int i = 0; i < c.count; ++i) {
      const DissectedField* r = field(d, "Register " + std::to_string(40001 + c.start + i));
      ASSERT_NE(r, nullptr) << i;
      EXPECT_EQ(r->offset, 3 + 2 * static_cast<size_t>(i));
      EXPECT_EQ(r->value, registerText(registerValue(c.start + i)));
    }
    EXPECT_TRUE(isModbusAnswer(answer));
    expectInside(d, answer.size());
  }
}

TEST(DissectModbusAnswer, ARegisterPairIsASingleInBothWordOrders) {
  LibmodbusSlave slave(1);
  // 1.5 is 0x3FC00000; -2 is 0xC0000000.
  const uint16_t words[] = {0x3FC0, 0x0000, 0x0000, 0xC000};
  for (int i = 0; i < 4; ++i) slave.setRegister(i, words[i]);
  const Bytes request = testRequest(1, 0, 4);
  const Dissection d = dissectModbusAnswer(answerOf(slave, request, readAnswerSize(4)), request);
  const DissectedField* first = field(d, "Register 40001 + 40002 as float");
  const DissectedField* second = field(d, "Register 40003 + 40004 as float");
  ASSERT_TRUE(first && second);
  EXPECT_EQ(first->value, "high word first 1.5, low word first 2.2869E-41");
  EXPECT_EQ(second->value, "high word first 6.8877E-41, low word first -2");
  EXPECT_EQ(first->length, 4u);
}

TEST(DissectModbusAnswer, ADamagedCrcIsNamedWithTheBytesReceivedThenExpected) {
  LibmodbusSlave slave(1);
  const Bytes request = testRequest(1, 0, 10);
  const Bytes good = answerOf(slave, request, readAnswerSize(10));
  ASSERT_EQ(good.size(), readAnswerSize(10));
  const size_t crcAt = good.size() - 2;
  for (const size_t at : {crcAt, crcAt + 1}) {
    Bytes damaged = good;
    damaged[at] ^= 0x01;
    const Dissection d = dissectModbusAnswer(damaged, request);
    ASSERT_NE(d.firstFault(), nullptr);
    // libmodbus's own CRC is the one expected.
    EXPECT_EQ(d.firstFault()->verdict, "CRC " + hex(damaged[crcAt]) + " " + hex(damaged[crcAt + 1]) + ", expected " +
                                           hex(good[crcAt]) + " " + hex(good[crcAt + 1]));
    EXPECT_EQ(d.firstFault()->name, "CRC");
    EXPECT_FALSE(isModbusAnswer(damaged));
  }
  Bytes data = good;
  data[5] ^= 0x40;  // a register changed on the line
  const Dissection d = dissectModbusAnswer(data, request);
  ASSERT_NE(d.firstFault(), nullptr);
  EXPECT_TRUE(
      d.firstFault()->verdict.starts_with("CRC " + hex(good[crcAt]) + " " + hex(good[crcAt + 1]) + ", expected "));
}

TEST(DissectModbusAnswer, EachExceptionIsNamed) {
  const struct {
    int code;
    const char* verdict;
  } cases[] = {
      {0x01, "exception 01: illegal function"},
      {0x02, "exception 02: illegal data address"},
      {0x03, "exception 03: illegal data value"},
      {0x04, "exception 04: server device failure"},
      {0x05, "exception 05: acknowledge"},
      {0x06, "exception 06: server device busy"},
      {0x08, "exception 08: memory parity error"},
      {0x09, "exception 09"},  // no such code: not given another's name
      {0x0A, "exception 0A: gateway path unavailable"},
      {0x0B, "exception 0B: gateway target device failed to respond"},
  };
  const Bytes request = testRequest(5, 0, 10);
  for (const auto& c : cases) {
    SCOPED_TRACE(c.verdict);
    LibmodbusSlave slave(5);
    const Bytes answer = answerOf(slave, request, kExceptionAnswerSize, c.code);
    const Dissection d = dissectModbusAnswer(answer, request);
    ASSERT_NE(d.firstFault(), nullptr);
    EXPECT_EQ(d.firstFault()->verdict, c.verdict);
    EXPECT_EQ(d.summary(),
              "MODBUS answer from slave 5: exception to 03 Read Holding Registers \u2014 " + std::string(c.verdict));
    EXPECT_EQ(d.fields.back().verdict, "CRC OK");
    EXPECT_TRUE(isModbusAnswer(answer));
  }
}

TEST(DissectModbusAnswer, AFrameCutShortSaysWhereItEndsAndJudgesNoCrc) {
  LibmodbusSlave slave(1);
  const Bytes request = testRequest(1, 0, 10);
  const Bytes answer = answerOf(slave, request, readAnswerSize(10));
  for (size_t n = 0; n < answer.size(); ++n) {
    SCOPED_TRACE(n);
    const Bytes cut(answer.begin(), answer.begin() + static_cast<ptrdiff_t>(n));
    const Dissection d = dissectModbusAnswer(cut, request);
    const DissectedField& last = d.fields.back();
    EXPECT_TRUE(last.bad);
    if (n > 2)
      EXPECT_EQ(last.verdict, "frame ends after " + std::to_string(n) + " of 25 bytes");
    else
      EXPECT_TRUE(last.verdict.starts_with("frame ends after " + std::to_string(n) + " of at least "));
    EXPECT_EQ(field(d, "CRC"), nullptr);
    EXPECT_FALSE(isModbusAnswer(cut));
    expectInside(d, cut.size());
  }
}

TEST(DissectModbusAnswer, AnAnswerThatIsNotToTheRequestSentSaysHowItDiffers) {
  LibmodbusSlave slave(1);
  const Bytes answer = answerOf(slave, testRequest(1, 0, 10), readAnswerSize(10));
  const Dissection d = dissectModbusAnswer(answer, testRequest(2, 0, 4));
  EXPECT_EQ(field(d, "Slave address")->verdict, "the request went to slave 2");
  EXPECT_EQ(field(d, "Byte count")->verdict, "expected 8 for the 4 registers asked");
  EXPECT_EQ(d.fields.back().verdict, "CRC OK");
  // Bytes after the frame are the frame's no longer.
  Bytes longer = answer;
  longer.push_back(0x00);
  const Dissection extra = dissectModbusAnswer(longer, testRequest(1, 0, 10));
  EXPECT_EQ(extra.firstFault()->verdict, "1 byte after the frame's end");
  EXPECT_FALSE(isModbusAnswer(longer));
}

TEST(DissectModbusRequest, TheTestRequestIsTakenApartAndOnlyAWholeOneIsRecognised) {
  const Bytes request = testRequest(247, 255, 125);
  const Dissection d = dissectModbusRequest(request);
  EXPECT_EQ(d.title, "MODBUS request to slave 247: 03 Read Holding Registers, 125 registers from address 255");
  EXPECT_EQ(field(d, "Start address")->value, "0x00FF = 255, register 40256");
  EXPECT_EQ(field(d, "Count")->value, "125 registers");
  EXPECT_EQ(field(d, "CRC")->verdict, "CRC OK");
  EXPECT_EQ(d.firstFault(), nullptr);
  EXPECT_TRUE(isModbusRequest(request));
  for (size_t at = 0; at < request.size(); ++at) {
    Bytes damaged = request;
    damaged[at] ^= 0x10;
    EXPECT_FALSE(isModbusRequest(damaged)) << at;
  }
  EXPECT_FALSE(isModbusRequest(Bytes(request.begin(), request.end() - 1)));
}

}  // namespace
}  // namespace tq::tools
