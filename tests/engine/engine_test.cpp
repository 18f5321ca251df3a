#include <gtest/gtest.h>

#include <optional>

#include "engine/transaction_engine.h"
#include "fakes.h"

namespace tq::engine {
namespace {

using testing::FakePort;
using testing::FakeTimer;
using testing::FakeView;
using testing::ManualClock;

const std::vector<int> kDecodedElsewhere = {code::HartIdentity,     code::HartVariables,    code::SystemQuery,
                                            code::OutputParamQuery, code::OutputValueQuery, code::ModbusParamQuery};

struct Harness {
  ManualClock clock;
  FakeTimer timer2{clock, 300};
  FakeTimer timer3{clock, 1000};
  FakeTimer timer4{clock, 1000};
  FakeView view;
  FakePort port;
  TransactionEngine engine{view, port, timer2, timer3, timer4, clock};
  std::vector<std::pair<int, std::string>> decoded;  // code, text the decoder saw

  Harness() {
    clock.timers = {&timer2, &timer3, &timer4};
    timer2.onTick = [this] { run([this] { engine.Timer2Timer(); }); };
    timer3.onTick = [this] { run([this] { engine.Timer3Timer(); }); };
    timer4.onTick = [this] { run([this] { engine.Timer4Timer(); }); };
    for (int c : kDecodedElsewhere) {
      engine.setDecoder(c, [this, c](const ReplyInput& in) {
        decoded.emplace_back(c, std::string(in.text));
        return Decoded{};
      });
    }
    view.controls["ComboBox13"].items = 3;
    view.controls["ComboBox1"].items = 3;
    view.controls["ComboBox11"].text = "9600";
    view.controls["ComboBox10"].index = 0;
    view.controls["SPREALCOM"].text = "COM4";
  }
  // Errors end the handler and are shown, as the window's guard does.
  void run(const std::function<void()>& body) {
    try {
      body();
    } catch (const std::exception& e) {
      view.messages.push_back(e.what());
    }
  }
  void receive(const std::string& bytes) {
    run([&] { engine.Comm1ReceiveData(std::span(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())); });
  }
  void request(int pending, int timeoutClass, std::optional<int> interval) {
    const uint8_t frame[] = {'R', 'E', 'Q'};
    engine.clearDisplays();
    engine.transmit(frame, FrameDisplay::Text);
    engine.await(pending, timeoutClass, interval);
  }
  void open() {
    run([this] { engine.Button1Click(); });
    ASSERT_TRUE(engine.portOpen());
  }
  std::string text(const char* control) const { return view.get(control).text; }
};

TEST(CommunicationQuery, SendsTheQueryAndAwaitsTheConnectionReply) {
  Harness h;
  h.open();
  h.view.controls["Memo10"].text = "old reply";
  h.engine.Button6Click();
  ASSERT_EQ(h.port.written.size(), 1u);
  EXPECT_EQ(h.port.written[0], "QQQ#QV#");
  EXPECT_EQ(h.text("Edit8"), "QQQ#QV#");
  EXPECT_EQ(h.text("Memo10"), "");
  EXPECT_EQ(h.engine.pendingCode(), code::CommQuery);
  EXPECT_EQ(h.engine.timeoutClass(), timeout::Connection);
  EXPECT_TRUE(h.timer3.isActive());
  EXPECT_EQ(h.timer3.interval(), 3000);
  EXPECT_EQ(std::string(h.engine.sendArea().begin(), h.engine.sendArea().begin() + 7), "QQQ#QV#");
}

TEST(CommunicationQuery, DecodesTheReply300msAfterTheBlockAndEnablesTheRequests) {
  Harness h;
  h.open();
  h.engine.Button6Click();
  h.clock.advance(150);
  h.receive("xxQV:12#");
  EXPECT_EQ(h.clock.sleeps, std::vector<int>{300});
  EXPECT_FALSE(h.timer3.isActive());
  EXPECT_EQ(h.text("Memo10"), "xxQV:12#");
  EXPECT_EQ(h.view.get("ComboBox13").index, -1);  // not yet: the parse is deferred
  h.clock.advance(299);
  EXPECT_EQ(h.view.get("ComboBox13").index, -1);
  h.clock.advance(1);
  EXPECT_EQ(h.view.get("ComboBox13").index, 1);
  EXPECT_EQ(h.view.get("ComboBox1").index, 2);
  EXPECT_EQ(h.engine.pendingCode(), code::None);
  EXPECT_EQ(h.engine.timeoutClass(), timeout::None);
  for (const char* b : {"Button16", "Button21", "Button24", "Button29", "Button15", "Button27", "Button5", "Button7",
                        "Button14", "Button10", "Button17", "Button18", "Button12", "Button31", "Button23"}) {
    EXPECT_TRUE(h.view.get(b).enabled) << b;
  }
  EXPECT_TRUE(h.view.messages.empty());
}

TEST(CommunicationQuery, BadOrMissingDigitsStopTheDecodeWithTheConversionMessage) {
  struct Case {
    const char* reply;
    int interfaceIndex;  // after the decode
    int unitIndex;
    const char* message;  // nullptr: none
  };
  const Case cases[] = {
      {"QV:02", 0, 2, nullptr},
      {"QV:A1", -1, -1, "'A' is not a valid integer value"},
      {"QV:1B", 1, -1, "'B' is not a valid integer value"},
      {"QV:1", 1, -1, "'' is not a valid integer value"},
      {"QV:", -1, -1, "'' is not a valid integer value"},
      {"QV: 1", -1, -1, "' ' is not a valid integer value"},
      {"QV:91", -1, 1, nullptr},  // a digit beyond the items: no selection
      {"no marker", -1, -1, nullptr},
      {"QV:12QV:00", 1, 2, nullptr},  // the first marker counts
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.reply);
    Harness h;
    h.engine.Button6Click();
    h.receive(c.reply);
    h.clock.advance(300);
    EXPECT_EQ(h.view.get("ComboBox13").index, c.interfaceIndex);
    EXPECT_EQ(h.view.get("ComboBox1").index, c.unitIndex);
    EXPECT_EQ(h.engine.pendingCode(), code::None);
    EXPECT_EQ(h.engine.timeoutClass(), timeout::None);
    const bool decodedFully = c.message == nullptr && std::string(c.reply).find("QV:") != std::string::npos;
    EXPECT_EQ(h.view.get("Button23").enabled && h.view.applied.back().control == "Button23", decodedFully);
    if (c.message) {
      ASSERT_EQ(h.view.messages.size(), 1u);
      EXPECT_EQ(h.view.messages[0], c.message);
    } else {
      EXPECT_TRUE(h.view.messages.empty());
    }
  }
}

// How each pending code treats a block and its deferred parse.
TEST(ReceiveHandler, EachPendingCodeDisplaysParsesAndResetsAsItsRuleSays) {
  struct Case {
    int code;
    bool hexDisplay;
    bool parses;
    int codeAfterBlock;
    int codeAfterParse;
  };
  const Case cases[] = {
      {code::None, false, false, 0, 0},
      {code::HartIdentity, true, true, 100, 0},
      {code::HartVariables, true, true, 103, 0},
      {code::HartManual, true, false, 104, 104},
      {code::HartPolling, true, false, 106, 106},
      {code::Setting, false, false, 0, 0},
      {code::CommQuery, false, true, 201, 0},
      {code::SystemQuery, false, true, 202, 202},
      {code::OutputParamQuery, false, true, 203, 203},
      {code::OutputValueQuery, false, true, 204, 204},
      {code::ModbusParamQuery, false, true, 301, 301},
      {code::ModbusTest, true, false, 302, 302},
  };
  const std::string block("AB\0C", 4);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Harness h;
    h.request(c.code, timeout::Setup, 3000);
    h.receive(block);
    EXPECT_EQ(h.text("Memo10"), c.hexDisplay ? "41 42 00 43 " : "AB");
    EXPECT_FALSE(h.timer3.isActive());
    EXPECT_EQ(h.timer2.isActive(), c.parses);
    EXPECT_EQ(h.engine.pendingCode(), c.codeAfterBlock);
    h.clock.advance(300);
    EXPECT_FALSE(h.timer2.isActive());
    EXPECT_EQ(h.engine.pendingCode(), c.codeAfterParse);
    const bool plugged = std::count(kDecodedElsewhere.begin(), kDecodedElsewhere.end(), c.code) > 0;
    ASSERT_EQ(h.decoded.size(), plugged ? 1u : 0u);
    if (plugged) {
      EXPECT_EQ(h.decoded[0], std::make_pair(c.code, block));
    }
    EXPECT_TRUE(h.view.messages.empty());
    // A code that stays pending decodes every later block again.
    h.receive("second");
    h.clock.advance(300);
    const bool again = plugged && c.codeAfterParse == c.code;
    EXPECT_EQ(h.decoded.size(), plugged ? (again ? 2u : 1u) : 0u);
  }
}

TEST(ReceiveHandler, EachBlockReplacesTheLastAndOnlyTheLastIsDecoded) {
  Harness h;
  h.request(code::SystemQuery, timeout::ParameterQuery, 3000);
  h.receive("QX1:first part of the reply");
  h.receive("tail");  // queued before the parse: the parse sees only it
  EXPECT_EQ(h.engine.receivedText(), "tail");
  EXPECT_EQ(h.text("Memo10"), "tail");
  h.clock.advance(0);  // the sleep of the second block already ran the clock past the parse
  ASSERT_EQ(h.decoded.size(), 1u);
  EXPECT_EQ(h.decoded[0].second, "tail");
  // The first block's bytes beyond the second's length stay in the receive area.
  EXPECT_EQ(std::string(h.engine.receiveArea().begin(), h.engine.receiveArea().begin() + 8), "tailfirs");
}

TEST(ReceiveHandler, TimeABlockWaitedForTheWindowCountsAgainstThePause) {
  const std::pair<int, std::vector<int>> cases[] = {{0, {300}}, {120, {180}}, {299, {1}},
                                                    {300, {}},  {5000, {}},   {-5, {300}}};
  for (const auto& [waited, sleeps] : cases) {
    SCOPED_TRACE(waited);
    Harness h;
    const uint8_t block[] = {'o', 'k'};
    h.engine.Comm1ReceiveData(block, waited);
    EXPECT_EQ(h.clock.sleeps, sleeps);
    EXPECT_EQ(h.text("Memo10"), "ok");
  }
}

TEST(ReceiveHandler, LongBlocksAreCutToTheTextAndAreaSizes) {
  Harness h;
  h.request(code::HartManual, timeout::Setup, 3000);
  std::string block(2048, '\0');
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i % 251);
  h.receive(block);
  EXPECT_EQ(h.engine.receivedText(), block.substr(0, kReceivedTextMax));
  EXPECT_EQ(std::string(h.engine.receiveArea().begin(), h.engine.receiveArea().end()),
            block.substr(0, kReceiveAreaSize));
  EXPECT_EQ(h.text("Memo10").size(), kReceivedTextMax * 3);  // byte display of the received text only
}

TEST(Timeouts, EachClassShowsItsMessageAndLeavesTheCodes) {
  struct Case {
    int code;
    int timeoutClass;
    const char* message;  // nullptr: none
    const char* label68;
  };
  const Case cases[] = {
      {code::CommQuery, timeout::Connection, "Connection Timeout!", "Current (RTU_ADR)"},
      {code::ModbusTest, timeout::Connection, "Connection Timeout!", "Current (RTU_ADR)"},
      {code::SystemQuery, timeout::ParameterQuery, "Parameter Query Timeout!", ""},
      {code::Setting, timeout::Setup, "!", "Setup Timeout"},
      {code::HartManual, timeout::Setup, "!", "Setup Timeout"},
      {code::None, timeout::None, nullptr, "Current (RTU_ADR)"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    Harness h;
    h.view.controls["Label68"].text = "Current (RTU_ADR)";
    h.request(c.code, c.timeoutClass, 3000);
    h.clock.advance(2999);
    EXPECT_TRUE(h.view.messages.empty());
    h.clock.advance(1);
    EXPECT_EQ(h.view.messages, c.message ? std::vector<std::string>{c.message} : std::vector<std::string>{});
    EXPECT_EQ(h.text("Label68"), c.label68);
    EXPECT_FALSE(h.timer3.isActive());
    EXPECT_EQ(h.engine.pendingCode(), c.code);
    EXPECT_EQ(h.engine.timeoutClass(), c.timeoutClass);
    h.clock.advance(10000);  // one shot
    EXPECT_EQ(h.view.messages.size(), c.message ? 1u : 0u);
  }
}

TEST(Timeouts, AReplyAfterTheTimeoutIsStillDecoded) {
  Harness h;
  h.engine.Button6Click();
  h.clock.advance(3000);
  ASSERT_EQ(h.view.messages, std::vector<std::string>{"Connection Timeout!"});
  h.clock.advance(5000);
  h.receive("QV:21");
  h.clock.advance(300);
  EXPECT_EQ(h.view.get("ComboBox13").index, 2);
  EXPECT_EQ(h.view.get("ComboBox1").index, 1);
}

TEST(Timeouts, ASecondRequestKeepsTheFirstDeadlineAndBringsItsOwnClass) {
  Harness h;
  h.engine.Button6Click();  // 3000 ms, connection class
  h.clock.advance(2000);
  h.request(code::SystemQuery, timeout::ParameterQuery, 3000);
  h.clock.advance(999);
  EXPECT_TRUE(h.view.messages.empty());
  h.clock.advance(1);
  EXPECT_EQ(h.view.messages, std::vector<std::string>{"Parameter Query Timeout!"});
}

TEST(Timeouts, ChangingTheIntervalRestartsTheRunningTimeout) {
  Harness h;
  h.request(code::HartManual, timeout::Setup, std::nullopt);  // 1000 ms
  h.clock.advance(900);
  h.request(code::Setting, timeout::Setup, 3000);  // restarts with 3000 ms
  h.clock.advance(2999);
  EXPECT_TRUE(h.view.messages.empty());
  h.clock.advance(1);
  EXPECT_EQ(h.view.messages.size(), 1u);
}

TEST(Timeouts, RequestsThatKeepTheIntervalUse1000msUntilOneSets3000) {
  Harness h;
  h.request(code::HartIdentity, timeout::Setup, std::nullopt);
  h.clock.advance(1000);
  EXPECT_EQ(h.view.messages, std::vector<std::string>{"!"});
  h.engine.Button6Click();
  h.clock.advance(3000);
  h.request(code::HartVariables, timeout::Setup, std::nullopt);
  h.clock.advance(2999);
  EXPECT_EQ(h.view.messages.size(), 2u);
  h.clock.advance(1);
  EXPECT_EQ(h.view.messages.size(), 3u);
}

TEST(Timeouts, AQueryOnAClosedPortSendsNothingAndTimesOut) {
  Harness h;
  h.engine.Button6Click();
  EXPECT_TRUE(h.port.written.empty());
  EXPECT_EQ(h.text("Edit8"), "QQQ#QV#");
  h.clock.advance(3000);
  EXPECT_EQ(h.view.messages, std::vector<std::string>{"Connection Timeout!"});
}

TEST(OpenClose, OpensWithTheChosenSettingsThenSetsTheModemLines) {
  struct Case {
    const char* baud;
    int parity;
    bool dtr, rts;
    uint32_t expectedBaud;
  };
  const Case cases[] = {
      {"9600", 0, false, false, 9600}, {"15200", 2, true, false, 15200}, {"57600", 1, false, true, 57600}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.baud);
    Harness h;
    h.view.controls["ComboBox11"].text = c.baud;
    h.view.controls["ComboBox10"].index = c.parity;
    h.view.controls["CheckBox2"].checked = c.dtr;
    h.view.controls["CheckBox1"].checked = c.rts;
    h.view.controls["SPREALCOM"].text = "/dev/ttyUSB0";
    h.engine.Button1Click();
    EXPECT_EQ(h.port.calls, (std::vector<std::string>{"close", "baud", "parity", "name", "xonxoff", "open",
                                                      c.dtr ? "dtr+" : "dtr-", c.rts ? "rts+" : "rts-"}));
    EXPECT_EQ(h.port.baud, c.expectedBaud);
    EXPECT_EQ(h.port.parity, parityFromIndex(c.parity));
    EXPECT_EQ(h.port.name, "/dev/ttyUSB0");
    EXPECT_TRUE(h.engine.portOpen());
    EXPECT_EQ(h.text("Button1"), "Close");
    EXPECT_TRUE(h.view.get("Button6").enabled);

    h.engine.Button1Click();
    EXPECT_FALSE(h.engine.portOpen());
    EXPECT_EQ(h.text("Button1"), "Open");
    EXPECT_FALSE(h.view.get("Button6").enabled);
    EXPECT_EQ(h.port.calls.back(), "close");
    EXPECT_EQ(h.port.closeReasons.back(), kClosedByOperator);
  }
}

TEST(OpenClose, AFailedOpenChangesNothingAndShowsWhy) {
  struct Case {
    const char* baud;
    const char* openError;
    const char* message;
  };
  const Case cases[] = {
      {"9600", "Error opening serial port", "Error opening serial port"},
      {"96OO", "", "'96OO' is not a valid integer value"},
      {"", "", "'' is not a valid integer value"},
      {"-9600", "", "'-9600' is not a valid baud rate"},
      {"0", "", "'0' is not a valid baud rate"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    Harness h;
    h.view.controls["Button1"].text = "Open";
    h.view.controls["Button6"].enabled = false;
    h.view.controls["ComboBox11"].text = c.baud;
    h.port.openError = c.openError;
    h.run([&] { h.engine.Button1Click(); });
    EXPECT_EQ(h.view.messages, std::vector<std::string>{c.message});
    EXPECT_FALSE(h.engine.portOpen());
    EXPECT_FALSE(h.port.open);
    EXPECT_EQ(h.text("Button1"), "Open");
    EXPECT_FALSE(h.view.get("Button6").enabled);
  }
}

TEST(OpenClose, Timer4ClosesThePortWhenItFires) {
  Harness h;
  h.open();
  h.timer4.setInterval(2000);
  h.timer4.start();
  h.clock.advance(1999);
  EXPECT_TRUE(h.engine.portOpen());
  h.clock.advance(1);
  EXPECT_FALSE(h.engine.portOpen());
  EXPECT_FALSE(h.port.open);
  EXPECT_EQ(h.port.closeReasons.back(), kClosedByTimer4);
  EXPECT_EQ(h.text("Button1"), "Open");
  EXPECT_FALSE(h.view.get("Button6").enabled);
  EXPECT_FALSE(h.timer4.isActive());
}

TEST(OpenClose, APortLostLeavesTheControlsAsAfterAnOperatorCloseWithNoTimeOutToShow) {
  struct Case {
    const char* name;
    std::function<void(Harness&)> before;
    bool timer2Runs;  // a reply already received is still decoded
  };
  const Case cases[] = {
      {"idle", [](Harness&) {}, false},
      {"a query awaiting its reply", [](Harness& h) { h.engine.Button6Click(); }, false},
      {"a reply received, its parse pending",
       [](Harness& h) {
         h.engine.Button6Click();
         h.receive("QV:21#");
       },
       true},
      {"Timer4 about to close the port",
       [](Harness& h) {
         h.request(code::Setting, timeout::Setup, 3000);
         h.engine.closePortLater();
       },
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Harness h;
    h.open();
    c.before(h);
    h.port.open = false;  // the link closed it on the hang-up
    h.engine.portLost();
    EXPECT_FALSE(h.engine.portOpen());
    EXPECT_EQ(h.text("Button1"), "Open");
    EXPECT_FALSE(h.view.get("Button6").enabled);
    EXPECT_FALSE(h.timer3.isActive());
    EXPECT_FALSE(h.timer4.isActive());
    EXPECT_EQ(h.timer2.isActive(), c.timer2Runs);
    h.clock.advance(10'000);
    EXPECT_TRUE(h.view.messages.empty()) << h.view.messages.front();
    if (c.timer2Runs) {
      EXPECT_EQ(h.view.get("ComboBox13").index, 2);
    }
    // The next Button1 opens the port again, as after any close.
    h.open();
    EXPECT_EQ(h.text("Button1"), "Close");
  }
}

TEST(Window, CreationClearsTheListedControlsAndStopsTheTimers) {
  Harness h;
  h.timer2.start();
  h.timer3.start();
  h.timer4.start();
  h.view.controls["Button6"].enabled = false;
  h.engine.FormCreate();
  EXPECT_TRUE(h.view.get("Button6").enabled);
  EXPECT_FALSE(h.timer2.isActive() || h.timer3.isActive() || h.timer4.isActive());
  for (const char* combo :
       {"ComboBox6", "RADCOM1", "RADCOM3", "RADCOM5", "RADCOM7", "READLG1", "READLG3", "READLG5", "READLG7", "FAMOUT1",
        "FAMOUT3", "FAMOUT5", "FAMOUT7", "FAMOUT9", "ComboBox28", "ComboBox29"}) {
    EXPECT_TRUE(std::count(h.view.applied.begin(), h.view.applied.end(), Assignment::select(combo, -1))) << combo;
  }
  for (const char* edit : {"Edit1", "READADR1", "READADR3", "READADR5", "READADR7", "Edit4", "Edit5"}) {
    EXPECT_TRUE(std::count(h.view.applied.begin(), h.view.applied.end(), Assignment::setText(edit, ""))) << edit;
  }
}

TEST(Window, ClearBufferEmptiesOnlyTheDisplay) {
  Harness h;
  h.request(code::ModbusTest, timeout::Connection, 3000);
  h.receive("reply");
  h.engine.Button26Click();
  EXPECT_EQ(h.text("Memo10"), "");
  EXPECT_EQ(h.engine.receivedText(), "reply");
}

TEST(Requests, AFrameLargerThanTheSendAreaIsRefusedAndNothingIsSent) {
  Harness h;
  h.open();
  h.view.controls["Edit8"].text = "earlier frame";
  std::vector<uint8_t> frame(kSendAreaSize + 1, 0xFF);
  h.run([&] { h.engine.transmit(frame, FrameDisplay::Bytes); });
  ASSERT_EQ(h.view.messages.size(), 1u);
  EXPECT_TRUE(h.port.written.empty());
  EXPECT_EQ(h.text("Edit8"), "earlier frame");
  frame.resize(kSendAreaSize);
  h.engine.transmit(frame, FrameDisplay::Bytes);
  ASSERT_EQ(h.port.written.size(), 1u);
  EXPECT_EQ(h.text("Edit8").substr(0, 6), "FF FF ");
}

}  // namespace
}  // namespace tq::engine
