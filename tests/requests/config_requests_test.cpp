// The settings and parameter queries of the system and MODBUS pages on the
// engine: frames byte for byte, refusals that send nothing, codes and timers.
#include "requests/config_requests.h"

#include <algorithm>

#include "harness.h"

namespace tq::requests {
namespace {

using testing::Harness;

// The window description's defaults of the controls these handlers read.
struct Page : Harness {
  ConfigRequests config{engine, view};
  Page() {
    combo("ComboBox2", 5, 3);
    combo("ComboBox4", 3, 0);
    combo("ComboBox7", 5, 0);
    combo("ComboBox12", 2, 0);
    combo("ComboBox13", 3, 0);
    combo("ComboBox1", 3, 0);
    combo("ComboBox14", 3, 0);
    combo("ComboBox18", 4, 3);
    combo("ComboBox41", 1, 0);
    combo("ComboBox6", 2, 0);
    combo("ComboBox16", 2, 0);
    combo("ComboBox17", 16, 0);
    combo("ComboBox34", 6, 0);
    combo("ComboBox15", 7, 5);
    combo("ComboBox28", 2, 0);
    combo("ComboBox29", 2, 0);
    for (const char* f : {"FAMOUT1"}) combo(f, 2, 0);
    for (const char* f : {"FAMOUT3", "FAMOUT5", "FAMOUT7", "FAMOUT9"}) combo(f, 4, 0);
    for (const char* r : {"RADCOM1", "RADCOM3", "RADCOM7"}) combo(r, 3, 0);
    combo("RADCOM5", 3, 2);
    for (const char* l : {"READLG1", "READLG3", "READLG5", "READLG7"}) combo(l, 2, 0);
    for (const char* a : {"READADR1", "READADR3", "READADR5", "READADR7"}) edit(a, "00");
    edit("Edit14", "001");
    edit("Edit6", "010");
    edit("Edit1", "060");
    edit("Beilv", "0.001");
  }
};

struct Setting {
  const char* name;
  void (ConfigRequests::*handler)();
  std::string frame;
  std::string shown;  // Edit8 afterwards
};

std::ostream& operator<<(std::ostream& os, const Setting& s) { return os << s.name; }

const Setting kSettings[] = {
    {"Button5", &ConfigRequests::Button5Click, "QQS#BA1:30#", "QQS#BA1:30#"},
    {"Button24", &ConfigRequests::Button24Click, "QQS#MD:0#", "QQS#MD:0#"},
    {"Button22", &ConfigRequests::Button22Click, "QQS#MD:0#", "QQS#MD:0#"},
    {"Button29", &ConfigRequests::Button29Click, "QQS#ADR:001#", "QQS#ADR:001#"},
    {"Button15", &ConfigRequests::Button15Click, "QQS#XY:0#", "QQS#XY:0#"},
    {"Button27", &ConfigRequests::Button27Click, "QQS#JTM:010#", "QQS#JTM:010#"},
    {"Label8", &ConfigRequests::Label8DblClick, "QQS#YB:00#", ""},
    {"Button30", &ConfigRequests::Button30Click, "QQS#RESET#", "QQS#RESET#"},
    {"Button10", &ConfigRequests::Button10Click, "QQS#HART0:0,0,00,4,060#", "QQS#HART0:0,0,00,4,060#"},
    {"Button21", &ConfigRequests::Button21Click, "QQS#DFOT0:00000#", "QQS#DFOT0:00000#"},
    {"Button12", &ConfigRequests::Button12Click, "QQS#MDBS0:8,0000,0000,2000,0000#",
     "QQS#MDBS0:8,0000,0000,2000,0000#"},
    {"Button2", &ConfigRequests::Button2Click, "QQS#FMW:3,0.001#", "QQS#FMW:3,0.001#"},
    {"Button17", &ConfigRequests::Button17Click, std::string("QQS#CAMD01:0<02,\x01\x03", 18),
     "51 51 53 23 43 41 4D 44 30 31 3A 30 3C 30 32 2C 01 03 "},
    {"Button18", &ConfigRequests::Button18Click, std::string("QQS#CAMD02:0<01,\xFD", 17),
     "51 51 53 23 43 41 4D 44 30 32 3A 30 3C 30 31 2C FD "},
};

class SettingCommand : public ::testing::TestWithParam<Setting> {};

TEST_P(SettingCommand, SendsItsFrameAndAwaitsTheSetupReply) {
  const Setting& c = GetParam();
  Page p;
  p.open();
  p.edit("Edit4", "01 03");
  p.edit("Edit5", "FD");
  p.edit("Memo10", "old reply");
  (p.config.*c.handler)();
  EXPECT_EQ(p.port.written, std::vector<std::string>{c.frame});
  EXPECT_EQ(p.text("Edit8"), c.shown);
  EXPECT_EQ(p.text("Memo10"), "");
  EXPECT_EQ(p.engine.pendingCode(), engine::code::Setting);
  EXPECT_EQ(p.engine.timeoutClass(), engine::timeout::Setup);
  EXPECT_TRUE(p.timer3.isActive());
  EXPECT_EQ(p.timer3.interval(), 3000);
  EXPECT_EQ(p.timer4.isActive(), std::string(c.name) == "Button5");
  // The module's answer is shown and ends the wait.
  p.receive("OK#");
  EXPECT_EQ(p.engine.pendingCode(), engine::code::None);
  EXPECT_FALSE(p.timer3.isActive());
}

INSTANTIATE_TEST_SUITE_P(Commands, SettingCommand, ::testing::ValuesIn(kSettings),
                         [](const auto& info) { return std::string(info.param.name); });

// An entry the module cannot take is refused before anything leaves: no
// frame, no code, no timer, and both displays empty. (Each field's rules are
// in the frame tests; these are the handler's own conversions.)
TEST(SettingCommand, ARefusedEntrySendsNothingAndKeepsTheAwaitedReply) {
  struct Case {
    const char* edit;
    const char* text;
    void (ConfigRequests::*handler)();
    const char* message;
  };
  const Case cases[] = {
      {"Edit14", "abc", &ConfigRequests::Button29Click, "'abc' is not a valid integer value"},
      // A typed character with no byte is a bad digit, not a wrong byte.
      {"Edit5", "0\xE2\x82\xAC 03", &ConfigRequests::Button18Click, "Data eeore!"},
      {"Beilv", "0.00\xE2\x82\xAC", &ConfigRequests::Button2Click,
       "Coefficient: '0.00\xE2\x82\xAC' holds a character that cannot be sent to the module."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    Page p;
    p.open();
    p.config.Button23Click();
    p.clock.advance(1000);
    p.port.written.clear();
    p.edit(c.edit, c.text);
    p.run([&] { (p.config.*c.handler)(); });
    EXPECT_EQ(p.view.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(p.port.written.empty());
    EXPECT_EQ(p.text("Edit8") + p.text("Memo10"), "");
    EXPECT_EQ(p.engine.pendingCode(), engine::code::SystemQuery);
    p.clock.advance(2000);  // the query's own deadline still stands
    EXPECT_EQ(p.view.messages.back(), "Parameter Query Timeout!");
  }
}

// Only the coefficient's first five characters go on the line, counted as
// the operator sees them: a character beyond them is never refused, one
// within them is.
TEST(SettingCommand, TheCoefficientIsCheckedOnlyAsFarAsItIsSent) {
  struct Case {
    const char* typed;
    std::string frame;    // empty: refused
    const char* message;  // when refused
  };
  const Case cases[] = {
      {"0.001\xE2\x82\xAC", "QQS#FMW:3,0.001#", nullptr},
      {"0.0015\xE2\x82\xAC\xE2\x82\xAC", "QQS#FMW:3,0.001#", nullptr},
      // Two bytes in the text, one character and one byte on the line.
      {"\xC2\xB5.001\xE2\x82\xAC", std::string("QQS#FMW:3,\xB5.001#"), nullptr},
      {"0.00\xE2\x82\xAC"
       "1",
       "", "Coefficient: '0.00\xE2\x82\xAC' holds a character that cannot be sent to the module."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.typed);
    Page p;
    p.open();
    p.edit("Beilv", c.typed);
    p.run([&] { p.config.Button2Click(); });
    if (c.frame.empty()) {
      EXPECT_EQ(p.view.messages, std::vector<std::string>{c.message});
      EXPECT_TRUE(p.port.written.empty());
    } else {
      EXPECT_TRUE(p.view.messages.empty());
      EXPECT_EQ(p.port.written, std::vector<std::string>{c.frame});
    }
  }
}

TEST(SettingCommand, TheRs485LineChangeClosesTheToolsPort2000msLaterEvenWhenAnswered) {
  Page p;
  p.open();
  p.combo("ComboBox2", 5, 4);
  p.combo("ComboBox4", 3, 2);
  const int64_t clicked = p.clock.now;
  p.config.Button5Click();
  EXPECT_EQ(p.lastWritten(), "QQS#BA1:42#");
  p.receive("BA1:OK#");  // the receive pause moves the clock too
  p.clock.advance(clicked + 1999 - p.clock.now);
  EXPECT_TRUE(p.engine.portOpen());
  p.clock.advance(1);
  EXPECT_FALSE(p.engine.portOpen());
  EXPECT_EQ(p.text("Button1"), "Open");
}

TEST(ParameterQuery, SendsItsFrameAndKeepsDecodingEveryLaterBlock) {
  struct Query {
    void (ConfigRequests::*handler)();
    std::string frame;
    int code;
  };
  const Query queries[] = {{&ConfigRequests::Button23Click, "QQQ#QX1#", engine::code::SystemQuery},
                           {&ConfigRequests::Button31Click, "QQQ#QQ0#", engine::code::ModbusParamQuery}};
  for (const Query& q : queries) {
    SCOPED_TRACE(q.frame);
    Page p;
    p.open();
    (p.config.*q.handler)();
    EXPECT_EQ(p.port.written, std::vector<std::string>{q.frame});
    EXPECT_EQ(p.text("Edit8"), q.frame);
    EXPECT_EQ(p.engine.pendingCode(), q.code);
    EXPECT_EQ(p.engine.timeoutClass(), engine::timeout::ParameterQuery);
    EXPECT_EQ(p.timer3.interval(), 3000);
    p.receive("QX1#QQ0#MD:2#");
    p.clock.advance(300);
    EXPECT_EQ(p.index("ComboBox7"), 2);
    EXPECT_EQ(p.engine.pendingCode(), q.code);
    p.receive("QX1#QQ0#MD:4#");  // a later block is decoded again
    p.clock.advance(300);
    EXPECT_EQ(p.index("ComboBox7"), 4);
    EXPECT_TRUE(p.view.messages.empty());
  }
}

TEST(ParameterQuery, TheModbusReplyWithoutADeviceGroupIsGatedByTheMeterTypeShown) {
  for (int shown : {0, 3}) {
    Page p;
    p.open();
    p.combo("ComboBox17", 16, shown);
    p.config.Button31Click();
    p.receive("QQ0#ZDY0:9,0000,0000,0000,0000#");
    p.clock.advance(300);
    EXPECT_EQ(p.view.get("GroupBox13").visible, shown == 0);
    EXPECT_EQ(p.index("ComboBox15"), shown == 0 ? 6 : 5);
  }
}

TEST(DeviceChoice, RelabelsBlanksExactlyTheDevicesControlsAndQueriesAtOnce) {
  Page p;
  p.open();
  p.edit("Edit8", "old frame");
  p.view.applied.clear();
  p.config.ComboBox41Change();
  EXPECT_EQ(p.port.written, std::vector<std::string>{"QQQ#QQ0#"});
  EXPECT_EQ(p.engine.pendingCode(), engine::code::ModbusParamQuery);
  EXPECT_EQ(p.text("Edit8"), "QQQ#QQ0#");
  const std::map<std::string, std::string> texts = {
      {"Label19", "40001"}, {"Label24", "40003"}, {"Label27", "40005"}, {"Label28", "40007"},
      {"Label29", "40009"}, {"Edit19", "00"},     {"Edit20", "10"},     {"Edit1", ""},
      {"Edit4", ""},        {"Edit5", ""},        {"READADR1", ""},     {"READADR3", ""},
      {"READADR5", ""},     {"READADR7", ""},     {"Edit14", ""},       {"Edit6", ""}};
  for (const auto& [control, text] : texts) EXPECT_EQ(p.text(control), text) << control;
  for (const char* combo :
       {"ComboBox6", "ComboBox17", "ComboBox16", "ComboBox34", "FAMOUT1",    "FAMOUT3",   "FAMOUT5",  "FAMOUT7",
        "FAMOUT9",   "RADCOM1",    "RADCOM3",    "RADCOM5",    "RADCOM7",    "READLG1",   "READLG3",  "READLG5",
        "READLG7",   "ComboBox28", "ComboBox29", "ComboBox7",  "ComboBox12", "ComboBox2", "ComboBox4"}) {
    EXPECT_EQ(p.index(combo), -1) << combo;
  }
  EXPECT_FALSE(p.view.get("GroupBox13").visible);
  // Settings of the whole module stay as they are.
  for (const char* kept : {"ComboBox14", "ComboBox18", "Beilv", "ComboBox15", "ComboBox13", "ComboBox1", "HLabel1",
                           "HLabel2", "HLabel3", "HLabel4", "HLabel5"}) {
    EXPECT_EQ(std::count_if(p.view.applied.begin(), p.view.applied.end(),
                            [&](const Assignment& a) { return a.control == kept; }),
              0)
        << kept;
  }
}

TEST(MeterType, TheCustomMeterShowsItsParsingGroupBlankAnyOtherHidesIt) {
  Page p;
  p.combo("ComboBox17", 16, 0);
  p.edit("Edit4", "01 03");
  p.config.ComboBox17Change();
  EXPECT_TRUE(p.view.get("GroupBox13").visible);
  EXPECT_EQ(p.text("Edit4"), "");
  EXPECT_EQ(p.index("ComboBox15"), -1);
  EXPECT_EQ(p.index("RADCOM5"), -1);
  p.combo("ComboBox17", 16, 5);
  p.edit("Edit4", "01 03");
  p.config.ComboBox17Change();
  EXPECT_FALSE(p.view.get("GroupBox13").visible);
  EXPECT_EQ(p.text("Edit4"), "01 03");
}

}  // namespace
}  // namespace tq::requests
