// The relay and current-output page against the module simulator: every
// output setting written, then read back into the same controls; the
// present values of the current outputs follow the instrument.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <map>

#include "sim/launcher.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class OutputsPageWithSimulator : public WindowTest {
 protected:
  // An output command awaits nothing: its answer is the only sign it arrived.
  void output(const char* button, const char* word) {
    const int standing = form->engine().pendingCode();
    click(button);
    ASSERT_EQ(form->engine().pendingCode(), standing) << button;
    const QString answer = QString(word) + ":OK#";
    ASSERT_TRUE(pumpUntil([&] { return memo() == answer; })) << button << " answered " << memo().toStdString();
  }
};

TEST_F(OutputsPageWithSimulator, EveryOutputSettingWrittenIsReadBackIntoTheSameControls) {
  sim::SimProcess module;
  openPort(module.path());
  const std::map<const char*, int> combos = {{"AD1COM", 1}, {"AD2COM", 0}, {"AD3COM", 1},
                                             {"AD4COM", 1}, {"IACH", 1},   {"IBCH", 4}};
  // Delays as typed, and as the module reports them in four digits.
  const std::map<const char*, std::pair<const char*, const char*>> delays = {{"BOUT1TM", {"5", "0005"}},
                                                                             {"BOUT2TM", {"120", "0120"}},
                                                                             {"BOUT3TM", {"9999", "9999"}},
                                                                             {"BOUT4TM", {"0042", "0042"}}};
  // Values already in the module's five- and three-character forms.
  const std::map<const char*, const char*> edits = {{"AD1BH", "99.95"},  {"AD2BH", "50.00"},  {"AD3BH", "0.500"},
                                                    {"AD4BH", "-1.00"},  {"AD1DTIME", "010"}, {"AD2DTIME", "120"},
                                                    {"AD3DTIME", "999"}, {"AD4DTIME", "000"}, {"IA4MA", "10.00"},
                                                    {"IA20MA", "90.00"}, {"IB4MA", "4.000"},  {"IB20MA", "20.00"}};
  for (const auto& [combo, i] : combos) choose(combo, i);
  for (const auto& [edit, d] : delays) type(edit, d.first);
  for (const auto& [edit, t] : edits) type(edit, t);
  const std::pair<const char*, const char*> commands[] = {
      {"Button64", "BTM1"}, {"Button63", "BTM2"}, {"Button62", "BTM3"}, {"Button61", "BTM4"}, {"Button33", "AI01"},
      {"Button34", "AI02"}, {"Button19", "AI03"}, {"Button25", "AI04"}, {"Button8", "IA01"},  {"Button11", "IB01"},
      {"Button41", "O01"},  {"Button42", "O02"},  {"Button45", "O03"},  {"Button77", "O04"}};
  for (const auto& [button, word] : commands) output(button, word);
  ASSERT_TRUE(messages.empty()) << messages.front();

  for (const auto& [combo, i] : combos) choose(combo, 0);
  for (const auto& [edit, d] : delays) type(edit, "");
  for (const auto& [edit, t] : edits) type(edit, "");
  query("Button3", "QX2");
  for (const auto& [combo, i] : combos) EXPECT_EQ(index(combo), i) << combo;
  for (const auto& [edit, d] : delays) EXPECT_EQ(text(edit), d.second) << edit;
  for (const auto& [edit, t] : edits) EXPECT_EQ(text(edit), t) << edit;
  EXPECT_EQ(form->engine().pendingCode(), 203);
  EXPECT_TRUE(messages.empty()) << messages.front();
  EXPECT_GT(pauses, 0);
}

// The instrument's flow, held at a moment of its 60 s wave: 70 m3/h at 15 s,
// 30 m3/h at 45 s. Output A rises over 0 .. 100, output B falls over it.
TEST_F(OutputsPageWithSimulator, ThePresentValuesFollowTheInstrument) {
  struct Moment {
    const char* seconds;
    QString a, b;
  };
  const Moment moments[] = {{"15", "15.2000mA", " 8.8000mA"}, {"45", " 8.8000mA", "15.2000mA"}};
  for (const Moment& m : moments) {
    SCOPED_TRACE(m.seconds);
    sim::SimProcess module({"--frozen", m.seconds});
    openPort(module.path());
    choose("IACH", 1);
    type("IA4MA", "0.000");
    type("IA20MA", "100.0");
    choose("IBCH", 1);
    type("IB4MA", "100.0");
    type("IB20MA", "0.000");
    output("Button8", "IA01");
    output("Button11", "IB01");
    query("Button9", "QX3");
    EXPECT_EQ(text("Edit2"), m.a);
    EXPECT_EQ(text("Edit3"), m.b);
    EXPECT_EQ(form->engine().pendingCode(), 204);
    EXPECT_TRUE(messages.empty()) << messages.front();
    click("Button1");
  }
}

}  // namespace
}  // namespace tq::ui
