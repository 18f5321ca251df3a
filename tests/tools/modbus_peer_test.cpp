// The test request against a MODBUS RTU slave that nobody here wrote: the
// bytes Button4Click sends reach libmodbus's slave on a pty, which checks
// their CRC and layout and answers with the registers asked for.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "libmodbus_slave.h"
#include "requests/harness.h"
#include "requests/tool_requests.h"
#include "tools/modbus_test.h"

namespace tq::tools {
namespace {

using testing::LibmodbusSlave;
using testing::registerValue;

constexpr int kExceptionFlag = 0x80;

// What Button4Click writes to the port for these edit texts.
std::string requestFromButton4(const char* slave, const char* start, const char* quantity) {
  requests::testing::Harness page;
  requests::ToolRequests tools{page.engine, page.view, '.'};
  page.open();
  page.edit("Edit18", slave);
  page.edit("Edit19", start);
  page.edit("Edit20", quantity);
  page.run([&] { tools.Button4Click(); });
  EXPECT_TRUE(page.view.messages.empty());
  return page.lastWritten();
}

TEST(ModbusPeer, ALibmodbusSlaveAnswersTheRequestWithItsRegisters) {
  struct Case {
    const char *slave, *start, *quantity;
    int address, first, count;  // what the slave should see
  };
  const Case cases[] = {
      {"001", "00", "10", 1, 0, 10},    {"17", "100", "3", 17, 100, 3}, {"247", "255", "125", 247, 255, 125},
      {"257", "300", "300", 1, 44, 44},  // low bytes only
      {"2", "7", "1", 2, 7, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.slave) + " " + c.start + " " + c.quantity);
    const std::string request = requestFromButton4(c.slave, c.start, c.quantity);
    ASSERT_EQ(request.size(), kModbusTestFrameSize);
    LibmodbusSlave slave(c.address);
    std::string why;
    ASSERT_TRUE(slave.serve(request, why)) << why;

    const size_t expected = 3 + 2 * static_cast<size_t>(c.count) + 2;
    const std::string got = slave.answer(expected);
    ASSERT_EQ(got.size(), expected);
    const std::vector<uint8_t> reply(got.begin(), got.end());
    EXPECT_EQ(reply[0], c.address);
    EXPECT_EQ(reply[1], kReadHoldingRegisters) << "exception flag " << (reply[1] & kExceptionFlag);
    EXPECT_EQ(reply[2], 2 * c.count);
    for (int i = 0; i < c.count; ++i) {
      const auto at = static_cast<size_t>(3 + 2 * i);
      EXPECT_EQ(reply[at] << 8 | reply[at + 1], registerValue(c.first + i)) << "register " << c.first + i;
    }
    const auto crc = crc16Modbus(std::span(reply).first(expected - 2));
    EXPECT_EQ(reply[expected - 2], crc[0]);
    EXPECT_EQ(reply[expected - 1], crc[1]);
  }
}

// The peer does check: the same request with one CRC byte off is refused.
TEST(ModbusPeer, TheSlaveRefusesARequestWithADamagedCrc) {
  for (size_t at : {size_t{6}, size_t{7}}) {
    std::string request = requestFromButton4("001", "00", "10");
    request[at] = static_cast<char>(request[at] ^ 0x01);
    LibmodbusSlave slave(1);
    std::string why;
    EXPECT_FALSE(slave.serve(request, why)) << "CRC byte " << at;
  }
}

}  // namespace
}  // namespace tq::tools
