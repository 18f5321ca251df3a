// Read Module in the real window against the simulator: every query in
// order for the devices the unit count allows, then the instrument; the
// pages filled as the buttons fill them, the MODBUS page on the operator's
// device, the record holding each value or "not read"; a step without an
// answer named on the status bar, a silent module stopped at the first step
// with one message. Never a set frame.
#include <QComboBox>
#include <QProgressDialog>
#include <QStatusBar>
#include <QTreeWidget>
#include <set>

#include "link/link_arbiter.h"
#include "sim/launcher.h"
#include "ui/read_module.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

// Long enough never to end a step by itself: the tests end the windows of
// the steps that get no answer and wait for the answers of the others.
constexpr int kUnendingWindowMs = 600'000;

class ReadModuleTest : public WindowTest {
 protected:
  requests::ModuleReader& reader() { return form->readModule().reader(); }
  std::string status() { return form->statusBar()->currentMessage().toStdString(); }

  std::vector<std::string> sent() const { return sentText(); }

  // Runs Read Module; the steps at `silent` positions have their windows
  // ended at once, the others are waited for.
  void readModule(const std::set<size_t>& silent = {}) {
    reader().setAnswerWindowMs(kUnendingWindowMs);
    form->findChild<QAction*>("actionReadModule")->trigger();
    while (reader().running()) {
      const size_t step = form->link().currentStep();
      if (silent.count(step)) {
        form->link().timerFired();
      } else {
        ASSERT_TRUE(pumpUntil([&] { return !reader().running() || form->link().currentStep() != step; })) << step;
      }
    }
    // The summary is shown once the last answer has been handled.
    ASSERT_TRUE(pumpUntil([&] { return !status().empty(); }));
  }

  std::string shown(const char* key) { return form->moduleRecord().shown(key); }
};

TEST_F(ReadModuleTest, ReadsEveryDeviceTheUnitCountAllowsAndTheInstrument) {
  struct Case {
    int units;
    const char* unitsShown;
  };
  for (const Case c : {Case{1, "1 Unit"}, Case{4, "4 Unit"}, Case{8, "8 Unit"}}) {
    SCOPED_TRACE(c.units);
    form = quickWindow(&pauses);
    form->setMessageSink([this](const QString& m) { messages.push_back(m.toStdString()); });
    messages.clear();
    sim::SimProcess sim({"--units", std::to_string(c.units), "--slave-address", "7"});
    openPort(sim.path());
    // The operator is on the last device: the page ends there again.
    form->findChild<QComboBox*>("ComboBox41")->addItem("Device 1");
    choose("ComboBox41", c.units > 1 ? 1 : 0);
    readModule();

    std::vector<std::string> expected = {"QQQ#QV#", "QQQ#QX1#"};
    for (int d = 0; d < c.units; ++d) expected.push_back("QQQ#QQ" + std::to_string(d) + "#");
    expected.insert(expected.end(), {"QQQ#QX2#", "QQQ#QX3#"});
    const std::vector<std::string> frames = sent();
    ASSERT_EQ(frames.size(), expected.size() + 9);  // command 0 and Read All's eight
    EXPECT_EQ(std::vector<std::string>(frames.begin(), frames.begin() + expected.size()), expected);
    for (const std::string& f : frames) EXPECT_FALSE(f.starts_with("QQS#") || f.starts_with("VELKOR#")) << f;

    EXPECT_EQ(status(), "Read Module: all " + std::to_string(expected.size() + 9) + " steps answered.");
    EXPECT_TRUE(messages.empty()) << lastMessage();
    EXPECT_EQ(shown("module.units"), c.unitsShown);
    EXPECT_EQ(shown("system.slave_address"), "007");
    EXPECT_EQ(text("Edit14"), "007");  // the page filled as the button fills it
    EXPECT_EQ(shown(("device" + std::to_string(c.units - 1) + ".buffer_clear").c_str()), "060");
    if (c.units < 8) {
      EXPECT_EQ(shown(("device" + std::to_string(c.units) + ".enable").c_str()), "not read");
    }
    EXPECT_EQ(shown("output_a.at_20ma"), "100.0");
    EXPECT_EQ(shown("hart.tag"), "FT-101");
    EXPECT_EQ(shown("hart.long_tag"), "Raw water inlet flow FT-101");
    EXPECT_EQ(form->findChild<QComboBox*>("ComboBox41")->count(), c.units);
    EXPECT_EQ(index("ComboBox41"), c.units > 1 ? 1 : 0);
    EXPECT_EQ(form->findChild<QTreeWidget*>("HartPropertiesView")->topLevelItemCount(), 9);
    EXPECT_EQ(form->engine().pendingCode(), 0);
    EXPECT_TRUE(form->engine().portOpen());
  }
}

TEST_F(ReadModuleTest, AStepWithoutAnswerIsNotReadAndTheRestGoesOn) {
  sim::SimProcess sim({"--units", "4", "--fault-match", "QQQ#QQ1#", "--no-reply"});
  openPort(sim.path());
  choose("ComboBox30", 5);  // no instrument there
  readModule({3, 12});      // device 1's query, and command 0 at address 5
  EXPECT_EQ(status(),
            "Read Module: 7 of 9 steps answered; not read: MODBUS Parameter Query, Device 1 and HART command 0 "
            "(polling address 5).");
  EXPECT_TRUE(messages.empty()) << lastMessage();
  EXPECT_EQ(shown("device1.enable"), "not read");
  EXPECT_NE(shown("device2.enable"), "not read");
  EXPECT_EQ(shown("hart.tag"), "not read");
  EXPECT_EQ(sent().size(), 9u);  // Read All is not sent without an instrument
}

TEST_F(ReadModuleTest, ASilentModuleStopsAtTheFirstStepWithOneMessage) {
  sim::SimProcess sim({"--no-reply"});
  openPort(sim.path());
  readModule({0});
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(lastMessage().find("\"QQQ#QV#\""), std::string::npos) << lastMessage();
  EXPECT_NE(lastMessage().find("Find Module"), std::string::npos);
  EXPECT_EQ(sent(), std::vector<std::string>{"QQQ#QV#"});
  EXPECT_EQ(shown("module.units"), "not read");
  EXPECT_FALSE(form->findChild<QProgressDialog*>("ReadModuleProgress")->isVisible());
}

TEST_F(ReadModuleTest, RefusedWithThePortClosed) {
  form->findChild<QAction*>("actionReadModule")->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(lastMessage().find("not open"), std::string::npos);
  EXPECT_TRUE(sent().empty());
}

}  // namespace
}  // namespace tq::ui
