// The HART instrument: addressing, check byte, and the reply layouts the
// tool decodes from the 0xFF 0x06 / 0xFF 0x86 marker.
#include "sim/hart_instrument.h"

#include <gtest/gtest.h>

#include <ostream>

#include <bit>
#include <cstring>
#include <vector>

#include "hart_frames.h"

namespace tq::sim {
namespace {

using test::longFrame;
using test::shortFrame;

constexpr HartIdentity kIdentity{0x26, 0x06, 0x123456, 5, 0};
constexpr double kAt = 12.5;  // seconds since power-up

// Offset of the last preamble byte before `delimiter`, as the tool searches.
size_t markerAt(const std::vector<uint8_t>& reply, uint8_t delimiter) {
  for (size_t i = 0; i + 1 < reply.size(); ++i)
    if (reply[i] == 0xFF && reply[i + 1] == delimiter) return i;
  ADD_FAILURE() << "no marker";
  return 0;
}

float floatAt(const std::vector<uint8_t>& r, size_t i) {
  const uint32_t bits = uint32_t{r[i]} << 24 | uint32_t{r[i + 1]} << 16 | uint32_t{r[i + 2]} << 8 | r[i + 3];
  return std::bit_cast<float>(bits);
}

void expectValidReply(const std::vector<uint8_t>& reply, size_t marker) {
  // Byte count covers status and data; the check byte closes the frame.
  const bool isLong = reply[marker + 1] == kHartLongReply;
  const size_t countAt = marker + (isLong ? 8 : 4);
  ASSERT_EQ(reply.size(), countAt + 1 + reply[countAt] + 1);
  EXPECT_EQ(hartCheckByte(std::span(reply).subspan(marker + 1, reply.size() - marker - 2)), reply.back());
}

TEST(HartCheckByte, XorOfDelimiterThroughLastDataByte) {
  EXPECT_EQ(hartCheckByte(std::vector<uint8_t>{0x02, 0x80, 0x00, 0x00}), 0x82);
  EXPECT_EQ(hartCheckByte(std::vector<uint8_t>{0x76, 0x89, 0xFD, 0xAD}), 0xAF);
  EXPECT_EQ(hartCheckByte(std::vector<uint8_t>{0x02, 0x05, 0x00, 0x00}), 0x07);
}

TEST(HartInstrument, IdentityReplyAtTheOffsetsTheToolReads) {
  HartInstrument instrument(kIdentity);
  const auto reply = instrument.handle(shortFrame(0x80, 0), kAt);
  ASSERT_TRUE(reply);
  const size_t m = markerAt(*reply, kHartShortReply);
  EXPECT_EQ(m, kIdentity.preambles - 1u);
  expectValidReply(*reply, m);
  EXPECT_EQ((*reply)[m + 2], 0x80);  // address as sent
  EXPECT_EQ((*reply)[m + 3], 0x00);  // command
  EXPECT_EQ((*reply)[m + 4], 24);    // two status bytes and 22 data bytes (HART 7)
  EXPECT_EQ((*reply)[m + 5], 0x00);  // response code
  EXPECT_EQ((*reply)[m + 7], 254);
  EXPECT_EQ((*reply)[m + 8], 0x26);   // manufacturer
  EXPECT_EQ((*reply)[m + 9], 0x06);   // device type
  EXPECT_EQ((*reply)[m + 10], 5);     // preambles asked for
  EXPECT_EQ((*reply)[m + 16], 0x12);  // device id, most significant first
  EXPECT_EQ((*reply)[m + 17], 0x34);
  EXPECT_EQ((*reply)[m + 18], 0x56);
}

TEST(HartInstrument, DynamicVariablesReplyInFiveByteSlots) {
  HartInstrument instrument(kIdentity);
  const auto reply = instrument.handle(longFrame(kIdentity, 3), kAt);
  ASSERT_TRUE(reply);
  const size_t m = markerAt(*reply, kHartLongReply);
  expectValidReply(*reply, m);
  EXPECT_EQ((*reply)[m + 2], 0x80 | 0x26);  // long address echoed
  EXPECT_EQ((*reply)[m + 7], 3);
  EXPECT_EQ((*reply)[m + 8], 26);  // status 2 + current 4 + four slots of 5
  const HartReading expected = instrument.reading(kAt);
  EXPECT_FLOAT_EQ(floatAt(*reply, m + 11), expected.loopCurrentMa);
  for (size_t v = 0; v < 4; ++v) {
    EXPECT_EQ((*reply)[m + 15 + 5 * v], expected.variables[v].unitCode) << v;
    EXPECT_FLOAT_EQ(floatAt(*reply, m + 16 + 5 * v), expected.variables[v].value) << v;
  }
  // Units the tool's table knows: m3/h, degrees C, bar, m3.
  EXPECT_EQ((*reply)[m + 15], 19);
  EXPECT_EQ((*reply)[m + 20], 32);
  EXPECT_EQ((*reply)[m + 25], 7);
  EXPECT_EQ((*reply)[m + 30], 43);
}

TEST(HartInstrument, VariablesMoveOverTimeAndTheTotalNeverFalls) {
  HartInstrument instrument(kIdentity);
  double lastTotal = 0;
  bool moved = false;
  for (double t = 0; t < 600; t += 7.5) {
    const HartReading r = instrument.reading(t);
    EXPECT_GE(r.variables[3].value, lastTotal) << t;
    lastTotal = r.variables[3].value;
    EXPECT_GE(r.loopCurrentMa, 4.0f);
    EXPECT_LE(r.loopCurrentMa, 20.0f);
    moved = moved || r.variables[0].value != instrument.reading(0).variables[0].value;
  }
  EXPECT_TRUE(moved);
}

struct SilenceCase {
  const char* name;
  std::vector<uint8_t> frame;
};
// Tests are listed by name, not by the bytes of their case.
void PrintTo(const SilenceCase& c, std::ostream* os) { *os << c.name; }

class HartSilence : public ::testing::TestWithParam<SilenceCase> {};

TEST_P(HartSilence, NoAnswer) {
  HartInstrument instrument(kIdentity);
  EXPECT_FALSE(instrument.handle(GetParam().frame, kAt));
}

std::vector<uint8_t> badCheck(std::vector<uint8_t> f) {
  f.back() ^= 0x01;
  return f;
}

HartIdentity other(uint8_t manufacturer, uint8_t type, uint32_t id) {
  return HartIdentity{manufacturer, type, id, 5, 0};
}

INSTANTIATE_TEST_SUITE_P(
    Frames, HartSilence,
    ::testing::Values(SilenceCase{"OtherAddressBadCheck", badCheck(shortFrame(0x85, 0))},
                      SilenceCase{"OtherPollingAddress", shortFrame(0x85, 0)},
                      // Command 3 before any identity reply: all-zero long address.
                      SilenceCase{"ZeroLongAddress", longFrame(other(0, 0, 0), 3)},
                      SilenceCase{"OtherManufacturer", longFrame(other(0x27, 0x06, 0x123456), 3)},
                      SilenceCase{"OtherDeviceType", longFrame(other(0x26, 0x07, 0x123456), 3)},
                      SilenceCase{"OtherDeviceId", longFrame(other(0x26, 0x06, 0x123457), 3)},
                      SilenceCase{"ByteCountBeyondFrame", std::vector<uint8_t>{0x02, 0x80, 0x00, 0x05, 0x87}},
                      SilenceCase{"NotADelimiter", std::vector<uint8_t>{0x06, 0x80, 0x00, 0x00, 0x86}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(HartInstrument, SecondaryMasterGetsItsAddressBack) {
  HartInstrument instrument(kIdentity);
  const auto reply = instrument.handle(shortFrame(0x00, 0), kAt);
  ASSERT_TRUE(reply);
  EXPECT_EQ((*reply)[markerAt(*reply, kHartShortReply) + 2], 0x00);
  const auto longReply = instrument.handle(longFrame(kIdentity, 3, {}, false), kAt);
  ASSERT_TRUE(longReply);
  EXPECT_EQ((*longReply)[markerAt(*longReply, kHartLongReply) + 2], 0x26);
}

TEST(HartInstrument, Command6MovesThePollingAddress) {
  HartInstrument instrument(kIdentity);
  const auto reply = instrument.handle(longFrame(kIdentity, 6, {3}), kAt);
  ASSERT_TRUE(reply);
  const size_t m = markerAt(*reply, kHartLongReply);
  expectValidReply(*reply, m);
  EXPECT_EQ((*reply)[m + 9], 0);   // response code
  EXPECT_EQ((*reply)[m + 11], 3);  // the new address echoed
  EXPECT_EQ(instrument.identity().pollingAddress, 3);
  EXPECT_FALSE(instrument.handle(shortFrame(0x80, 0), kAt));
  EXPECT_TRUE(instrument.handle(shortFrame(0x83, 0), kAt));
  // Multidrop: the loop current is parked at 4 mA.
  EXPECT_FLOAT_EQ(instrument.reading(kAt).loopCurrentMa, 4.0f);
  // Long frames keep working: they do not use the polling address.
  EXPECT_TRUE(instrument.handle(longFrame(kIdentity, 3), kAt));
}

TEST(HartInstrument, RefusedCommandsAnswerWithAResponseCode) {
  HartInstrument instrument(kIdentity);
  struct Case {
    std::vector<uint8_t> frame;
    uint8_t responseCode;
  };
  const std::vector<Case> cases = {
      {longFrame(kIdentity, 6, {64}), 2},  // polling address beyond 63
      {longFrame(kIdentity, 6, {}), 5},    // no data byte
      {longFrame(kIdentity, 9, {}), 64},   // not implemented
      {shortFrame(0x80, 200), 64},
  };
  for (const auto& c : cases) {
    const auto reply = instrument.handle(c.frame, kAt);
    ASSERT_TRUE(reply);
    const size_t m = markerAt(*reply, (*reply)[instrument.identity().preambles]);
    expectValidReply(*reply, m);
    const size_t status = m + ((*reply)[m + 1] == kHartLongReply ? 9 : 5);
    EXPECT_EQ((*reply)[status], c.responseCode);
  }
  EXPECT_EQ(instrument.identity().pollingAddress, 0);
}

}  // namespace
}  // namespace tq::sim
