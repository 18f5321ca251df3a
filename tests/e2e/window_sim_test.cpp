// The window against the module simulator on a pty, including the faults a
// commissioning engineer meets in the field.
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include "serial/TComm.h"
#include "sim/launcher.h"
#include "support/process_stats.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class WindowWithSimulator : public ::testing::Test {
 protected:
  void SetUp() override {
    form.setMessageSink([this](const QString& m) { messages.push_back(m.toStdString()); });
  }
  void openPort(const std::string& path) {
    control<QComboBox>(form, "SPREALCOM")->setCurrentText(QString::fromStdString(path));
    control<QPushButton>(form, "Button1")->click();
    ASSERT_TRUE(form.engine().portOpen()) << (messages.empty() ? "" : messages.back());
  }
  void communicationQuery() { control<QPushButton>(form, "Button6")->click(); }
  // The parse of a reply runs 300 ms after its block was handled.
  bool waitForParse() {
    return pumpUntil([this] { return form.engine().pendingCode() == 0; });
  }
  int index(const char* combo) { return control<QComboBox>(form, combo)->currentIndex(); }
  QString memo() { return control<QPlainTextEdit>(form, "Memo10")->toPlainText(); }

  int pauses = 0;  // the receive pause is counted, not spent
  std::unique_ptr<TForm1> window = quickWindow(&pauses);
  TForm1& form = *window;
  std::vector<std::string> messages;
};

TEST_F(WindowWithSimulator, CommunicationQueryShowsInterfaceTypeAndUnitCount) {
  struct Case {
    std::vector<std::string> args;
    int units;
  };
  const Case cases[] = {{{"--units", "1"}, 0}, {{"--units", "8", "--pace"}, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.units);
    sim::SimProcess module(c.args);
    openPort(module.path());
    communicationQuery();
    ASSERT_TRUE(waitForParse());
    EXPECT_EQ(memo(), "QV:2" + QString::number(c.units) + "#");
    EXPECT_EQ(index("ComboBox13"), 2);
    EXPECT_EQ(index("ComboBox1"), c.units);
    EXPECT_TRUE(control<QPushButton>(form, "Button31")->isEnabled());
    EXPECT_TRUE(messages.empty());
    control<QPushButton>(form, "Button1")->click();
  }
}

TEST_F(WindowWithSimulator, ASplitReplyIsDecodedFromItsLastBlockOnly) {
  sim::SimProcess module({"--units", "8", "--split-gap", "200", "--split-at", "3"});
  openPort(module.path());
  communicationQuery();
  ASSERT_TRUE(waitForParse());
  // "QV:" came first, "22#" after the silence: the parse sees only "22#".
  EXPECT_EQ(memo(), "22#");
  EXPECT_EQ(index("ComboBox1"), 0);
  EXPECT_TRUE(messages.empty());
}

TEST_F(WindowWithSimulator, NoReplyGivesTheConnectionTimeout) {
  sim::SimProcess module({"--no-reply"});
  openPort(module.path());
  communicationQuery();
  // Run the 3000 ms time-out fast: a new interval restarts the running timer.
  form.findChild<QTimer*>("Timer3")->setInterval(30);
  ASSERT_TRUE(pumpUntil([this] { return !messages.empty(); }));
  EXPECT_EQ(messages, std::vector<std::string>{"Connection Timeout!"});
  EXPECT_EQ(form.engine().pendingCode(), 201);  // a late reply would still be decoded
}

TEST_F(WindowWithSimulator, AHangUpNeitherCrashesNorSpinsAndThePortOpensAgain) {
  const int threads = tq::testing::threads();
  {
    sim::SimProcess module({"--hangup-after", "1"});
    openPort(module.path());
    communicationQuery();
    ASSERT_TRUE(waitForParse());
    EXPECT_EQ(index("ComboBox13"), 2);
    EXPECT_EQ(module.waitForExit(3000), 0);
    // The threads end on the hang-up instead of looping, and the port is
    // closed as Button1 would close it.
    EXPECT_TRUE(pumpUntil([&] { return !form.engine().portOpen(); }));
    EXPECT_EQ(tq::testing::threadsSettledAt(threads), threads);
    EXPECT_EQ(control<QPushButton>(form, "Button1")->text(), "Open");
  }
  sim::SimProcess again;
  openPort(again.path());
  communicationQuery();
  ASSERT_TRUE(waitForParse());
  EXPECT_EQ(memo(), "QV:20#");
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace tq::ui
