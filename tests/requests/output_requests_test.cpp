// The relay and current-output page on the engine: output commands that
// send their frame and leave the standing request alone, refusals that leave
// both displays as they were, and the two queries decoded while they stand.
#include "requests/output_requests.h"

#include "harness.h"

namespace tq::requests {
namespace {

using testing::Harness;

// The window description's defaults of the page's controls.
struct Page : Harness {
  OutputRequests outputs{engine, view};
  Page() {
    for (const char* relay : {"ROUT1", "ROUT2", "ROUT3", "ROUT4"}) combo(relay, 3, 0);
    for (const char* alarm : {"AD1COM", "AD2COM", "AD3COM", "AD4COM"}) combo(alarm, 2, 0);
    for (const char* channel : {"IACH", "IBCH"}) combo(channel, 5, 0);
    for (const char* delay : {"BOUT1TM", "BOUT2TM", "BOUT3TM", "BOUT4TM"}) edit(delay, "0000");
    for (const char* limit : {"AD1BH", "AD2BH"}) edit(limit, "100.0");
    for (const char* limit : {"AD3BH", "AD4BH"}) edit(limit, "0.000");
    for (const char* time : {"AD1DTIME", "AD2DTIME", "AD3DTIME", "AD4DTIME"}) edit(time, "005");
    for (const char* low : {"IA4MA", "IB4MA"}) edit(low, "0.000");
    for (const char* high : {"IA20MA", "IB20MA"}) edit(high, "100.0");
  }
};

using Handler = void (OutputRequests::*)();

struct Command {
  const char* name;
  Handler handler;
  const char* frame;
};

const Command kCommands[] = {
    {"Button41", &OutputRequests::Button41Click, "VELKOR#O01:0#"},
    {"Button42", &OutputRequests::Button42Click, "VELKOR#O02:0#"},
    {"Button45", &OutputRequests::Button45Click, "VELKOR#O03:0#"},
    {"Button77", &OutputRequests::Button77Click, "VELKOR#O04:0#"},
    {"Button64", &OutputRequests::Button64Click, "VELKOR#BTM1:0000#"},
    {"Button63", &OutputRequests::Button63Click, "VELKOR#BTM2:0000#"},
    {"Button62", &OutputRequests::Button62Click, "VELKOR#BTM3:0000#"},
    {"Button61", &OutputRequests::Button61Click, "VELKOR#BTM4:0000#"},
    {"Button33", &OutputRequests::Button33Click, "VELKOR#AI01:0,100.0,005#"},
    {"Button34", &OutputRequests::Button34Click, "VELKOR#AI02:0,100.0,005#"},
    {"Button19", &OutputRequests::Button19Click, "VELKOR#AI03:0,0.000,005#"},
    {"Button25", &OutputRequests::Button25Click, "VELKOR#AI04:0,0.000,005#"},
    {"Button8", &OutputRequests::Button8Click, "VELKOR#IA01:0,0.000,100.0#"},
    {"Button11", &OutputRequests::Button11Click, "VELKOR#IB01:0,0.000,100.0#"},
};

TEST(OutputCommand, EveryButtonWithTheDefaultsSendsItsFrameAndRecordsNothing) {
  for (const Command& c : kCommands) {
    SCOPED_TRACE(c.name);
    Page p;
    p.open();
    p.edit("Memo10", "old reply");
    (p.outputs.*c.handler)();
    EXPECT_EQ(p.port.written, std::vector<std::string>{c.frame});
    EXPECT_EQ(p.text("Edit8"), c.frame);
    EXPECT_EQ(p.text("Memo10"), "");
    EXPECT_EQ(p.engine.pendingCode(), engine::code::None);
    EXPECT_EQ(p.engine.timeoutClass(), engine::timeout::None);
    EXPECT_FALSE(p.timer2.isActive() || p.timer3.isActive() || p.timer4.isActive());
  }
}

TEST(OutputCommand, AnEntryThatCannotGoOnTheLineLeavesBothDisplaysAndTheStandingQuery) {
  struct Case {
    const char* control;
    std::string text;
    Handler handler;
    std::string message;
  };
  const Case cases[] = {
      {"BOUT2TM", "1.5", &OutputRequests::Button63Click, "'1.5' is not a valid integer value"},
      // Typed characters that have no byte: refused, not sent as something else.
      {"BOUT1TM", "5\xE2\x82\xAC", &OutputRequests::Button64Click, "'5\xE2\x82\xAC' is not a valid integer value"},
      {"AD1BH", "1\xE2\x82\xAC", &OutputRequests::Button33Click,
       "Relay 1 Alarm Upper Limit: '1\xE2\x82\xAC' holds a character that cannot be sent to the module."},
      // Longer than any request may be: refused rather than cut.
      {"IA4MA", std::string(484, '1'), &OutputRequests::Button8Click,
       "The frame is 505 bytes long; at most 504 bytes can be sent."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.control);
    Page p;
    p.open();
    p.outputs.Button3Click();
    p.receive("partial");
    p.port.written.clear();
    p.edit("Edit8", "old frame");
    p.edit(c.control, c.text);
    p.run([&] { (p.outputs.*c.handler)(); });
    EXPECT_EQ(p.view.messages, std::vector<std::string>{c.message});
    EXPECT_TRUE(p.port.written.empty());
    EXPECT_EQ(p.text("Edit8"), "old frame");
    EXPECT_EQ(p.text("Memo10"), "partial");
    EXPECT_EQ(p.engine.pendingCode(), engine::code::OutputParamQuery);
  }
}

TEST(OutputCommand, ALatin1CharacterGoesAsItsOneByte) {
  Page p;
  p.open();
  p.edit("AD3BH",
         "\xC2\xB5"
         "5");  // "µ5"
  p.outputs.Button19Click();
  EXPECT_EQ(p.lastWritten(),
            "VELKOR#AI03:0,\xB5"
            "5,005#");
  EXPECT_EQ(p.text("Edit8"),
            "VELKOR#AI03:0,\xC2\xB5"
            "5,005#");
}

// Each query is decoded by its own decoder and stays pending for later blocks.
TEST(OutputQuery, SendsItsFrameAndDecodesItsReply) {
  const struct {
    Handler handler;
    std::string frame;
    int code;
    std::string reply;
    const char *control, *value;
  } queries[] = {
      {&OutputRequests::Button3Click, "QQQ#QX2#", engine::code::OutputParamQuery, "QX2#BTM1:0030#", "BOUT1TM", "0030"},
      {&OutputRequests::Button9Click, "QQQ#QX3#", engine::code::OutputValueQuery, "QX3#AVAL:12.0000mA#", "Edit2",
       "12.0000mA"},
  };
  for (const auto& q : queries) {
    SCOPED_TRACE(q.frame);
    Page p;
    p.open();
    (p.outputs.*q.handler)();
    EXPECT_EQ(p.port.written, std::vector<std::string>{q.frame});
    EXPECT_EQ(p.text("Edit8"), q.frame);
    EXPECT_EQ(p.engine.pendingCode(), q.code);
    EXPECT_EQ(p.engine.timeoutClass(), engine::timeout::ParameterQuery);
    EXPECT_EQ(p.timer3.interval(), 3000);
    p.receive(q.reply);
    p.clock.advance(300);
    EXPECT_EQ(p.text(q.control), q.value);
    EXPECT_EQ(p.engine.pendingCode(), q.code);
  }
}

}  // namespace
}  // namespace tq::requests
