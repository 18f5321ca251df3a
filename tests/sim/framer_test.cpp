// Framing of the bytes from the line into configuration, HART and MODBUS
// frames.
#include "sim/framer.h"

#include <gtest/gtest.h>

#include <ostream>

#include <string>
#include <vector>

#include "sim/crc16.h"

namespace tq::sim {
namespace {

std::vector<uint8_t> bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<uint8_t> modbusRequest(uint8_t slave) {
  std::vector<uint8_t> f{slave, 0x03, 0x00, 0x00, 0x00, 0x0A};
  appendCrc16(f);
  return f;
}

struct Framed {
  ScanStatus status;
  FrameKind kind;
  size_t length;
};

// Scans a whole buffer as the simulator does, recording every step.
std::vector<Framed> scanAll(std::vector<uint8_t> buffer, bool final) {
  std::vector<Framed> out;
  while (!buffer.empty()) {
    const ScanResult r = scanFrame(buffer, final);
    if (r.status == ScanStatus::kNeedMore) {
      out.push_back({r.status, r.kind, buffer.size()});
      break;
    }
    out.push_back({r.status, r.kind, r.length});
    buffer.erase(buffer.begin(), buffer.begin() + static_cast<std::ptrdiff_t>(r.length));
  }
  return out;
}

bool operator==(const Framed& a, const Framed& b) {
  return a.status == b.status && (a.status != ScanStatus::kFrame || a.kind == b.kind) && a.length == b.length;
}
void PrintTo(const Framed& f, std::ostream* os) {
  *os << "{status " << static_cast<int>(f.status) << ", kind " << static_cast<int>(f.kind) << ", " << f.length << "}";
}

constexpr auto kFrame = ScanStatus::kFrame;
constexpr auto kMore = ScanStatus::kNeedMore;
constexpr auto kNoise = ScanStatus::kNoise;
constexpr auto kCut = ScanStatus::kIncomplete;
constexpr auto kConfig = FrameKind::kConfig;
constexpr auto kHart = FrameKind::kHart;
constexpr auto kModbus = FrameKind::kModbus;

struct FramerCase {
  const char* name;
  std::vector<uint8_t> input;
  bool final;
  std::vector<Framed> expected;
};
// Tests are listed by name, not by the bytes of their case.
void PrintTo(const FramerCase& c, std::ostream* os) { *os << c.name; }

class Framer : public ::testing::TestWithParam<FramerCase> {};

TEST_P(Framer, SplitsAsExpected) { EXPECT_EQ(scanAll(GetParam().input, GetParam().final), GetParam().expected); }

std::vector<uint8_t> concat(std::initializer_list<std::vector<uint8_t>> parts) {
  std::vector<uint8_t> out;
  for (const auto& p : parts) out.insert(out.end(), p.begin(), p.end());
  return out;
}

const std::vector<uint8_t> kHartCommand0{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82};
const std::vector<uint8_t> kHartLong3{0xFF, 0xFF, 0x82, 0xA6, 0x06, 0x12, 0x34, 0x56, 0x03, 0x00, 0x51};
const std::vector<uint8_t> kReadCommand = concat({bytes("QQS#CAMD01:1<04,"), {0x23, 0x03, 0x00, 0x00}});

INSTANTIATE_TEST_SUITE_P(
    Inputs, Framer,
    ::testing::Values(
        FramerCase{"Query", bytes("QQQ#QV#"), false, {{kFrame, kConfig, 7}}},
        FramerCase{
            "TwoFramesInOneBlock", bytes("QQQ#QX1#QQS#ADR:005#"), false, {{kFrame, kConfig, 8}, {kFrame, kConfig, 12}}},
        FramerCase{"OutputFrame", bytes("VELKOR#AI01:0,100.0,005#"), false, {{kFrame, kConfig, 24}}},
        FramerCase{"QueryWaitsForItsEnd", bytes("QQQ#QX"), false, {{kMore, kConfig, 6}}},
        FramerCase{"QueryCutBySilence", bytes("QQQ#QX"), true, {{kCut, kConfig, 6}}},
        FramerCase{"PartialPrefixWaits", bytes("VELK"), false, {{kMore, kConfig, 4}}},
        FramerCase{"PartialPrefixAtSilenceIsNoise", bytes("VELK"), true, {{kNoise, kConfig, 4}}},
        // Custom read commands: raw bytes (here a '#') counted, no '#' at the end.
        FramerCase{"ReadCommandByCount", kReadCommand, false, {{kFrame, kConfig, 20}}},
        FramerCase{"ReadCommandWaitsForItsBytes", bytes("QQS#CAMD01:1<04,\x01\x03"), false, {{kMore, kConfig, 18}}},
        // A '#' inside the header ends the frame there, even when the rest
        // of the header arrives in the same read and looks well formed.
        FramerCase{"HashInReadCommandHeaderEndsTheFrame",
                   bytes("QQS#CAMD0#:0<02,"),
                   true,
                   {{kFrame, kConfig, 10},
                    {kNoise, kConfig, 1},
                    {kNoise, kConfig, 1},
                    {kNoise, kConfig, 1},
                    {kNoise, kConfig, 1},
                    {kNoise, kConfig, 1},
                    {kNoise, kConfig, 1}}},
        FramerCase{"ReadCommandThenQuery",
                   concat({kReadCommand, bytes("QQQ#QQ0#")}),
                   false,
                   {{kFrame, kConfig, 20}, {kFrame, kConfig, 8}}},
        FramerCase{"HartShortWithPreambles", kHartCommand0, false, {{kFrame, kHart, 12}}},
        FramerCase{"HartLong", kHartLong3, false, {{kFrame, kHart, 11}}},
        FramerCase{
            "HartWithoutPreambles", std::vector<uint8_t>{0x02, 0x80, 0x00, 0x00, 0x82}, false, {{kFrame, kHart, 5}}},
        FramerCase{"HartWaitsForByteCount",
                   std::vector<uint8_t>{0xFF, 0xFF, 0x02, 0x80, 0x00, 0x02, 0x11},
                   false,
                   {{kMore, kHart, 7}}},
        FramerCase{"PreamblesBeforeGarbage",
                   std::vector<uint8_t>{0xFF, 0xFF, 0x41},
                   true,
                   {{kNoise, kHart, 2}, {kNoise, kConfig, 1}}},
        // A stuck line's run of 0xFF is dropped as it comes, not held and
        // rescanned: only the last preambles wait for a delimiter.
        FramerCase{"LongPreambleRunKeepsOnlyTheLastPreambles",
                   concat({std::vector<uint8_t>(kMaxHeldPreambles + 100, 0xFF), {0x02, 0x80, 0x00, 0x00, 0x82}}),
                   false,
                   {{kNoise, kHart, 100}, {kFrame, kHart, kMaxHeldPreambles + 5}}},
        FramerCase{"PreamblesAloneAtSilenceGoInOnePiece", std::vector<uint8_t>(10, 0xFF), true, {{kNoise, kHart, 10}}},
        FramerCase{"Modbus", modbusRequest(1), false, {{kFrame, kModbus, 8}}},
        // Slave 2 looks like a HART delimiter: the CRC settles it.
        FramerCase{"ModbusSlave2", modbusRequest(2), false, {{kFrame, kModbus, 8}}},
        FramerCase{"ModbusSlave130", modbusRequest(0x82), false, {{kFrame, kModbus, 8}}},
        FramerCase{"ModbusWaits", std::vector<uint8_t>{0x01, 0x03, 0x00}, false, {{kMore, kConfig, 3}}},
        FramerCase{"ModbusThenQuery",
                   concat({modbusRequest(1), bytes("QQQ#QV#")}),
                   false,
                   {{kFrame, kModbus, 8}, {kFrame, kConfig, 7}}},
        FramerCase{"NoiseBeforeQuery",
                   concat({{0x00, 0xA5}, bytes("QQQ#QV#")}),
                   false,
                   {{kNoise, kConfig, 1}, {kNoise, kConfig, 1}, {kFrame, kConfig, 7}}},
        FramerCase{"BadCrcIsNoise", std::vector<uint8_t>{0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCE}, true,
                   std::vector<Framed>(8, Framed{kNoise, kConfig, 1})}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(Framer, HartFrameThatCouldStartAModbusRequestWaitsUntilSilence) {
  // 02 03 00 00 01 is a whole short frame for polling address 3, and also the
  // start of a request to slave 2: the rest of that request may follow.
  const std::vector<uint8_t> frame{0x02, 0x03, 0x00, 0x00, 0x01};
  EXPECT_EQ(scanFrame(frame, false).status, ScanStatus::kNeedMore);
  const ScanResult atSilence = scanFrame(frame, true);
  EXPECT_EQ(atSilence.status, ScanStatus::kFrame);
  EXPECT_EQ(atSilence.kind, FrameKind::kHart);
  EXPECT_EQ(atSilence.length, 5u);
}

TEST(Framer, OverlongConfigFrameIsGivenUp) {
  // Where the '#' falls (npos: none) and what the module makes of the frame,
  // all of it having arrived in one read.
  struct Case {
    size_t hashAt;
    ScanStatus status;
    size_t length;
  };
  const Case cases[] = {
      {std::string::npos, kCut, kMaxConfigFrame},
      {kMaxConfigFrame - 1, kFrame, kMaxConfigFrame},  // the last byte the module buffers
      {kMaxConfigFrame, kCut, kMaxConfigFrame},        // one beyond: given up, as if it came later
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.hashAt);
    std::vector<uint8_t> frame = bytes("QQS#");
    frame.resize(kMaxConfigFrame + 10, 'A');
    if (c.hashAt != std::string::npos) frame[c.hashAt] = '#';
    const ScanResult r = scanFrame(frame, false);
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.length, c.length);
  }
}

}  // namespace
}  // namespace tq::sim
