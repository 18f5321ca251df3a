// The MODBUS RTU test and the IEEE 754 calculator on the engine: the request
// as sent and shown, refusals that send nothing, and a calculator that
// touches nothing but its value field.
#include "requests/tool_requests.h"

#include "harness.h"

namespace tq::requests {
namespace {

using testing::Harness;

struct ToolsPage : Harness {
  ToolRequests tools{engine, view, '.'};
  ToolsPage() {
    open();
    edit("Edit8", "old frame");
    edit("Memo10", "old reply");
  }
  void test(const char* slave, const char* start, const char* quantity) {
    edit("Edit18", slave);
    edit("Edit19", start);
    edit("Edit20", quantity);
    run([this] { tools.Button4Click(); });
  }
};

TEST(ModbusCommTest, SendsTheRequestShowsItInBytesAndTimesOutAfterThreeSeconds) {
  ToolsPage page;
  page.test("001", "00", "10");
  EXPECT_EQ(page.text("Edit8"), "01 03 00 00 00 0A C5 CD ");
  EXPECT_EQ(page.text("Memo10"), "");
  EXPECT_EQ(page.port.written, std::vector<std::string>{std::string("\x01\x03\x00\x00\x00\x0A\xC5\xCD", 8)});
  EXPECT_EQ(page.engine.pendingCode(), 302);
  EXPECT_EQ(page.engine.timeoutClass(), 1);
  page.clock.advance(2999);  // Timer3 left its first interval of 1000 ms
  EXPECT_TRUE(page.view.messages.empty());
  page.clock.advance(1);
  EXPECT_EQ(page.view.messages, std::vector<std::string>{"Connection Timeout!"});
}

TEST(ModbusCommTest, ATextThatIsNoIntegerSendsNothing) {
  struct Case {
    const char *slave, *start, *quantity, *message;
  };
  const Case cases[] = {
      {"1x", "00", "10", "'1x' is not a valid integer value"},
      {"001", "", "10", "'' is not a valid integer value"},
      {"001", "00", "ten", "'ten' is not a valid integer value"},
      {"a", "b", "c", "'a' is not a valid integer value"},  // converted in the order Edit18, Edit19, Edit20
      {"001", "b", "c", "'b' is not a valid integer value"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    ToolsPage page;
    page.engine.await(202, 2, 3000);  // a request already awaited
    page.test(c.slave, c.start, c.quantity);
    EXPECT_EQ(page.view.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(page.port.written.empty());
    EXPECT_EQ(page.text("Edit8"), "");
    EXPECT_EQ(page.text("Memo10"), "");
    EXPECT_EQ(page.engine.pendingCode(), 202);
    EXPECT_EQ(page.engine.timeoutClass(), 2);
  }
}

TEST(Ieee754Calculation, SetsOnlyTheValueField) {
  struct Case {
    std::string entry, shown;
    std::vector<std::string> messages;
  };
  const Case cases[] = {
      {"3F 8C CC CD", "1.10000002", {}},
      {"3F 80 00 0", "previous", {"Invalid characters detected, please re-enter!"}},
      // One position per typed character, whatever its encoding.
      {"3F\u20AC80 00 00", "previous", {"Input data contains no spaces"}},
      {"3F 8\u00E9 00 00", "previous", {"Invalid characters detected, please re-enter!"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.entry);
    ToolsPage page;
    page.edit("Edit7", c.entry);
    page.edit("Edit22", "previous");
    page.view.applied.clear();
    page.run([&] { page.tools.Button13Click(); });
    EXPECT_EQ(page.text("Edit22"), c.shown);
    EXPECT_EQ(page.view.messages, c.messages);
    EXPECT_EQ(page.view.applied.size(), c.messages.empty() ? 1u : 0u);
    EXPECT_TRUE(page.port.written.empty());
    EXPECT_EQ(page.engine.pendingCode(), 0);
    EXPECT_FALSE(page.timer3.isActive());
  }
}

}  // namespace
}  // namespace tq::requests
