// What dissecting one block costs the window's thread: the journal's entry
// point on the blocks that cost it most (a full receive block of noise or
// of text, the longest MODBUS answer, the longest configuration reply) and
// on everyday frames, each after the frame sent that steers it.
//   dissect_cost [rounds]   default 2000 per case
// The figures count the dissection alone, not the journal's bookkeeping.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bench_support.h"
#include "journal/dissect.h"
#include "protocol/config_frames.h"
#include "tools/modbus_test.h"

using namespace tq;
using namespace tq::bench;
using journal::Direction;

namespace {

using Bytes = std::vector<uint8_t>;

constexpr size_t kBlockSize = 2048;  // the receive thread's largest block
constexpr uint8_t kMaxRegisterBytes = 250;

Bytes bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

Bytes noise(size_t n, bool printable) {
  std::mt19937 random(580);
  Bytes bytes(n);
  for (uint8_t& b : bytes) b = static_cast<uint8_t>(printable ? 0x20 + random() % 0x5F : random() % 256);
  return bytes;
}

Bytes sealed(Bytes frame) {
  const auto crc = tools::crc16Modbus(frame);
  frame.insert(frame.end(), crc.begin(), crc.end());
  return frame;
}

// 125 registers, the most one answer carries.
Bytes fullModbusAnswer() {
  Bytes frame{1, tools::kReadHoldingRegisters, kMaxRegisterBytes};
  for (uint8_t i = 0; i < kMaxRegisterBytes; ++i) frame.push_back(static_cast<uint8_t>(0x40 + i));
  return sealed(frame);
}

struct Case {
  const char* name;
  Direction direction;
  Bytes bytes;
  Bytes lastSent;
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 2000;
  const auto modbusTest = tools::modbusTestFrame(1, 0, 125);
  const Bytes modbusRequest(modbusTest.begin(), modbusTest.end());
  const Bytes systemQuery = protocol::systemQueryFrame();
  const Bytes modbusQuery = protocol::modbusQueryFrame(0);
  const Bytes hartQuery{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82};
  const Bytes textBlock = [] {
    Bytes b = noise(kBlockSize, true);
    for (size_t i = 7; i < b.size(); i += 8) b[i] = '#';
    return b;
  }();

  const Case cases[] = {
      {"2048 bytes of noise, nothing sent", Direction::Received, noise(kBlockSize, false), {}},
      {"2048 bytes of noise after a HART frame", Direction::Received, noise(kBlockSize, false), hartQuery},
      {"2048 bytes of noise after a query", Direction::Received, noise(kBlockSize, false), systemQuery},
      {"2048 bytes of noise after a MODBUS request", Direction::Received, noise(kBlockSize, false), modbusRequest},
      {"2048 bytes of text with '#' after a query", Direction::Received, textBlock, systemQuery},
      {"MODBUS answer of 125 registers", Direction::Received, fullModbusAnswer(), modbusRequest},
      {"MODBUS parameter reply", Direction::Received,
       bytesOf("QQ0#FMW:0,0.001#HART0:1,1,00,5,060#DFO0:00000#ZDY0:8,1031,0000,2051,0000#MD:1#"
               "CAMD01:1<04,01 03 00 00#CAMD02:0<00,#"),
       modbusQuery},
      {"setting answer", Direction::Received, bytesOf("HART0:OK#"),
       protocol::deviceSettingsFrame({0, 1, 1, 5, 1, "060"})},
      {"device settings frame sent", Direction::Sent, protocol::deviceSettingsFrame({0, 1, 1, 5, 1, "060"}), {}},
      {"MODBUS request sent", Direction::Sent, modbusRequest, {}},
  };

  std::printf("dissect_cost: journal::dissectBlock per block, %d rounds each  %s\n%s\n", rounds, loadNote().c_str(),
              machineNote().c_str());
  for (const Case& c : cases) {
    std::vector<double> us;
    us.reserve(static_cast<size_t>(rounds));
    size_t fields = 0;
    for (int i = 0; i < rounds; ++i) {
      const int64_t start = nowNs();
      const Dissection d = journal::dissectBlock(c.direction, c.bytes, c.lastSent);
      us.push_back(static_cast<double>(nowNs() - start) / 1e3);
      fields = d.fields.size();
    }
    std::printf("  %-45s %4zu fields  %s\n", c.name, fields, summary(us, "us", 1).c_str());
  }
  return 0;
}
