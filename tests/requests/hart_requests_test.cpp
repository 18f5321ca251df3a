// The "Transparent Mode" page's handlers on the engine: what each sends and
// awaits, refusals that send nothing, and replies decoded only from the
// block just received.
#include "requests/hart_requests.h"

#include "requests/config_requests.h"

#include "common/byte_display.h"
#include "harness.h"
#include "hart/identity.h"

namespace tq::requests {
namespace {

using testing::Harness;

const std::string kSeven = "FF FF FF FF FF FF FF ";
// Manufacturer 26, device type 137, 7 preambles, identification 2188095.
const std::string kIdentityReply("\xFF\xFF\x06\x80\x00\x0E\x00\x14\xFE\x1A\x89\x07\x05\x02\x1B\x08\x01\x21\x63\x3F\x9E",
                                 21);
// Byte count 26: 12.5 m3/h, -12.5 degC, 1.1 bar, 0.1 m3.
const std::string kVariablesReply(
    "\xFF\xFF\x86\x9A\x89\x21\x63\x3F\x03\x1A\x00\x00\x40\x80\x00\x00\x13\x41\x48\x00\x00\x20\xC1\x48\x00\x00\x07"
    "\x3F\x8C\xCC\xCD\x2B\x3D\xCC\xCC\xCD\x00",
    37);

struct Page : Harness {
  HartRequests hart{engine, view, ','};
  Page() {
    combo("ComboBox30", 16, 0);
    combo("ComboBox42", 2, 0);
    combo("ComboBox27", 9, 0);
    for (const char* unit : {"ComboBox3", "ComboBox31", "ComboBox32", "ComboBox33"}) combo(unit, 77, 0);
    edit("Edit9", "6");
    open();
  }
  void click(void (HartRequests::*handler)()) {
    run([&] { (hart.*handler)(); });
  }
  void reply(const std::string& block) {
    receive(block);
    clock.advance(300);  // the deferred parse
  }
  std::string written() const {
    const std::string last = lastWritten();
    return bytesDisplay(std::span(reinterpret_cast<const uint8_t*>(last.data()), last.size()));
  }
};

TEST(HartSend, EachRequestShowsWritesAndAwaitsItsReply) {
  const struct {
    void (HartRequests::*handler)();
    std::string frame;
    int code;
    int timer3Ms;  // only the address set gives Timer3 3000 ms
  } cases[] = {
      {&HartRequests::Button7Click, kSeven + "02 80 00 00 82 ", engine::code::HartIdentity, 1000},
      {&HartRequests::Button16Click, kSeven + "82 80 00 00 00 00 03 00 01 ", engine::code::HartVariables, 1000},
      {&HartRequests::Button14Click, kSeven + "82 80 00 00 00 00 06 01 00 05 ", engine::code::HartPolling, 3000},
      {&HartRequests::Button20Click, kSeven + "76 89 FD AD AF ", engine::code::HartManual, 1000},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.frame);
    Page page;
    page.edit("Edit10", "76 89 FD AD");
    page.edit("Memo10", "old reply");
    page.click(c.handler);
    EXPECT_TRUE(page.view.messages.empty());
    EXPECT_EQ(page.written(), c.frame);
    EXPECT_EQ(page.text("Edit8"), c.frame);
    EXPECT_EQ(page.text("Memo10"), "");
    EXPECT_EQ(page.engine.pendingCode(), c.code);
    EXPECT_EQ(page.engine.timeoutClass(), engine::timeout::Setup);
    EXPECT_EQ(page.timer3.interval(), c.timer3Ms);
    EXPECT_TRUE(page.timer3.isActive());
  }
  Page page;
  page.port.calls.clear();
  page.click(&HartRequests::Button14Click);
  EXPECT_EQ(page.port.calls, std::vector<std::string>{"rts+"});
}

TEST(HartRefusal, SendsNothingAndKeepsTheAwaitedReply) {
  const struct {
    void (HartRequests::*handler)();
    const char* preamble;
    const char* entry;
    int newAddress;
    std::string message;
  } cases[] = {
      {&HartRequests::Button7Click, "6a", "", 0, "'6a' is not a valid integer value"},
      {&HartRequests::Button16Click, "-2", "", 0,
       "Preamble Length: '-2' is out of range; enter a whole number from -1 to 494."},
      {&HartRequests::Button14Click, "6", "", -1,
       "HART Address Configuration: nothing is selected. Choose a value and try again."},
      {&HartRequests::Button20Click, "6", "AB,CD", 0, "NO SPACK"},
      {&HartRequests::Button20Click, "6", "AB \u20AC0", 0, "Data eeore!"},  // no byte for the euro sign
      {&HartRequests::Button20Click, "x", "ab cd", 0, "Data eeore!"},       // the entry is checked first
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.message);
    Page page;
    page.combo("ComboBox30", 16, 9);  // an identity query would remember it
    page.run([&] { page.engine.await(engine::code::HartManual, engine::timeout::Setup, std::nullopt); });
    page.edit("Edit9", c.preamble);
    page.edit("Edit10", c.entry);
    page.combo("ComboBox27", 9, c.newAddress);
    page.edit("Edit8", "old frame");
    page.click(c.handler);
    EXPECT_EQ(page.view.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(page.port.written.empty());
    EXPECT_EQ(page.text("Edit8"), "");
    EXPECT_EQ(page.engine.pendingCode(), engine::code::HartManual);
    EXPECT_EQ(hart::readIdentity(page.engine.identity()), hart::DeviceIdentity{});
  }
}

// The receive area still holds an earlier, longer block beyond a short
// reply: none of those bytes may be shown or remembered.
TEST(HartReplies, OnlyTheBlockJustReceivedIsDecoded) {
  Page page;
  page.combo("ComboBox30", 16, 2);
  page.click(&HartRequests::Button7Click);
  page.reply(kIdentityReply);
  EXPECT_EQ(page.text("Edit32"), "2188095");
  EXPECT_EQ(page.index("ComboBox27"), 2);  // the address the query went to

  page.click(&HartRequests::Button7Click);
  page.reply(kIdentityReply.substr(0, 19));  // ends before the identification
  EXPECT_EQ(page.text("Edit28"), "");
  EXPECT_EQ(page.text("Edit32"), "");
  page.click(&HartRequests::Button16Click);  // still addressed to the identified instrument
  EXPECT_EQ(page.written(), kSeven + "82 9A 89 21 63 3F 03 00 EF ");

  page.reply(kVariablesReply);
  EXPECT_EQ(page.text("Edit27"), "1,1000000");
  EXPECT_EQ(page.text("HLabel4"), "1,1000000");
  EXPECT_EQ(page.index("ComboBox33"), 34);
  std::string onlyVariableOne = kVariablesReply.substr(0, 22);
  onlyVariableOne[17] = '\x42';  // 50
  page.click(&HartRequests::Button16Click);
  page.edit("Edit26", "kept");
  page.reply(onlyVariableOne);
  EXPECT_EQ(page.text("Edit25"), "50");
  EXPECT_EQ(page.text("HLabel2"), "50");
  EXPECT_EQ(page.text("Edit26"), "kept");
  EXPECT_EQ(page.engine.pendingCode(), engine::code::None);
  EXPECT_TRUE(page.view.messages.empty());
}

// The module's unit count opens the device list; a HART address then picks
// the device of the same number for the MODBUS page's per-device requests.
TEST(HartAddress, SelectsTheDeviceOfTheSameNumberOnceTheModuleReportedItsUnits) {
  Page page;
  ConfigRequests config{page.engine, page.view};
  page.combo("ComboBox41", 1, 0);  // "Device 0" alone, as the window starts
  page.combo("ComboBox30", 16, 5);
  page.click(&HartRequests::ComboBox30Change);
  EXPECT_EQ(page.index("ComboBox41"), -1);  // no "Device 5" yet
  EXPECT_EQ(page.text("Label19"), "");

  page.run([&] { page.engine.Button6Click(); });
  page.reply("QV:22#");  // eight units
  EXPECT_EQ(page.view.get("ComboBox41").itemTexts.size(), 8u);
  page.click(&HartRequests::ComboBox30Change);
  EXPECT_EQ(page.index("ComboBox41"), 5);
  EXPECT_EQ(page.text("Label19"), "40051");
  EXPECT_EQ(page.text("Label29"), "40059");
  page.run([&] { config.Button31Click(); });
  EXPECT_EQ(page.lastWritten(), "QQQ#QQ5#");

  // A module with fewer units: device 5 is gone, and nothing is sent for it.
  page.run([&] { page.engine.Button6Click(); });
  page.reply("QV:21#");
  EXPECT_EQ(page.view.get("ComboBox41").itemTexts,
            (std::vector<std::string>{"Device 0", "Device 1", "Device 2", "Device 3"}));
  EXPECT_EQ(page.index("ComboBox41"), -1);
  page.port.written.clear();
  page.run([&] { config.Button31Click(); });
  EXPECT_TRUE(page.port.written.empty());
  ASSERT_EQ(page.view.messages.size(), 1u);
  EXPECT_NE(page.view.messages[0].find("nothing is selected"), std::string::npos) << page.view.messages[0];
}

}  // namespace
}  // namespace tq::requests
