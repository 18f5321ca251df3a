// Find Module in the real window against the module simulator: found at a
// rate the tool was not set to, a silent line, a cancel half-way. Each ends
// with the port as the outcome says and nothing left running.
#include <QAction>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>
#include <cstdio>

#include "requests/module_finder.h"
#include "serial/TComm.h"
#include "sim/launcher.h"
#include "support/process_stats.h"
#include "ui/find_module.h"
#include "ui/finder_dialog.h"
#include "link/link_arbiter.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

using tq::testing::openDescriptors;
using tq::testing::threads;
using tq::testing::threadsSettledAt;

class FinderWindow : public WindowTest {
 protected:
  // The raster painter starts pooled threads (and their descriptors) the
  // first time a window is painted; they are the toolkit's, kept for 30 s,
  // so they are started before anything is counted.
  FinderWindow() {
    FinderDialog warmUp(form.get());
    warmUp.showTry(0, 27, "COM4 at 9600 baud, parity none", 9);
    warmUp.show();
    warmUp.grab();  // paints now, so the pool's threads are started now
  }

  void choosePort(const std::string& path) {
    control<QComboBox>(*form, "SPREALCOM")->setCurrentText(QString::fromStdString(path));
  }
  FindModule& finder() { return form->findModule(); }
  // What the tool wrote while the journal grew from `from` entries.
  std::vector<std::string> sentSince(size_t from) const {
    std::vector<std::string> out;
    const journal::Journal& j = form->journal();
    for (size_t i = from; i < j.size(); ++i) {
      if (j.at(i).direction == journal::Direction::Sent) out.emplace_back(j.at(i).bytes->begin(), j.at(i).bytes->end());
    }
    return out;
  }
  // Nothing of the search is left: no sequence, no claim, no timer, no
  // awaited reply.
  void expectNothingPending() {
    EXPECT_FALSE(finder().running());
    EXPECT_FALSE(form->link().claimed());
    EXPECT_FALSE(timer("SequencerTimer")->isActive());
    EXPECT_FALSE(timer("Timer3")->isActive());
    EXPECT_EQ(finder().dialog(), nullptr);
  }
};

TEST_F(FinderWindow, AModuleAt38400IsFoundFromAToolSetTo9600AndTheReplyDecoded) {
  struct Case {
    const char* name;
    bool portOpenWithAQueryPending;
  };
  for (const Case& c : {Case{"port closed", false}, Case{"port open at 9600, a query unanswered", true}}) {
    SCOPED_TRACE(c.name);
    messages.clear();
    choose("ComboBox13", 0);
    form->statusBar()->clearMessage();
    sim::SimProcess module({"--strict-line", "--module-baud", "38400"});
    const int fds = openDescriptors();
    const int threadsBefore = threads();
    choosePort(module.linkPath());
    ASSERT_EQ(control<QComboBox>(*form, "ComboBox11")->currentText(), "9600");
    if (c.portOpenWithAQueryPending) {
      openPort(module.linkPath());
      click("Button6");  // heard as garbage: no answer
      ASSERT_TRUE(timer("Timer3")->isActive());
    }
    const size_t journalBefore = form->journal().size();

    QElapsedTimer took;
    took.start();
    click("FindModuleButton");
    ASSERT_NE(finder().dialog(), nullptr);
    EXPECT_TRUE(finder().dialog()->isVisible());
    ASSERT_TRUE(pumpUntil([&] { return !finder().running(); }, 20'000));
    ASSERT_TRUE(pumpUntil([&] { return form->engine().portOpen(); }));
    std::printf("[ measured ] found at the 7th setting after %lld ms\n", static_cast<long long>(took.elapsed()));

    EXPECT_EQ(control<QComboBox>(*form, "SPREALCOM")->currentText().toStdString(), module.linkPath());
    EXPECT_EQ(control<QComboBox>(*form, "ComboBox11")->currentText(), "38400");
    EXPECT_EQ(index("ComboBox10"), 0);
    EXPECT_EQ(form->Comm1->BaudRate(), 38400u);
    EXPECT_EQ(control<QPushButton>(*form, "Button1")->text(), "Close");
    EXPECT_TRUE(control<QPushButton>(*form, "Button6")->isEnabled());
    EXPECT_EQ(index("ComboBox13"), 2);
    EXPECT_EQ(index("ComboBox1"), 0);
    EXPECT_TRUE(control<QPushButton>(*form, "Button23")->isEnabled());
    EXPECT_EQ(form->statusBar()->currentMessage(),
              QString::fromStdString("Module found on " + module.linkPath() +
                                     " at 38400 baud, parity none: RS485 + RS232, 1 Unit."));
    EXPECT_TRUE(messages.empty()) << lastMessage();  // no time-out of the query pending before
    expectNothingPending();
    // Only the communication query went out, once per setting tried.
    const std::vector<std::string> sent = sentSince(journalBefore);
    EXPECT_EQ(sent, std::vector<std::string>(7, "QQQ#QV#"));

    // The port is open as Button1 opens it: the module answers.
    query("Button23", "QX1");
    click("Button1");
    EXPECT_EQ(threadsSettledAt(threadsBefore), threadsBefore);
    EXPECT_EQ(openDescriptors(), fds);
    EXPECT_TRUE(messages.empty()) << lastMessage();
    control<QComboBox>(*form, "ComboBox11")->setCurrentText("9600");
  }
}

TEST_F(FinderWindow, OnASilentLineEverySettingIsTriedOnceAndOneMessageSaysWhatWasTried) {
  sim::SimProcess module({"--no-reply"});
  const int fds = openDescriptors();
  const int threadsBefore = threads();
  choosePort(module.linkPath());
  const size_t journalBefore = form->journal().size();
  auto* action = form->findChild<QAction*>("actionFindModule");
  ASSERT_NE(action, nullptr);

  // How long the window's thread is kept from its events meanwhile.
  QElapsedTimer sinceTick;
  qint64 longestGapMs = 0;
  QTimer ticker;
  QObject::connect(&ticker, &QTimer::timeout, [&] { longestGapMs = std::max(longestGapMs, sinceTick.restart()); });
  QElapsedTimer took;
  took.start();
  action->trigger();
  sinceTick.start();
  ticker.start(10);
  ASSERT_TRUE(pumpUntil([&] { return !messages.empty(); }, 30'000));
  ticker.stop();
  const std::vector<LineSetting> tries = requests::finderTries(
      {{module.linkPath()}, 9600, Parity::None, {1200, 2400, 4800, 9600, 19200, 38400, 57600, 15200}});
  std::printf(
      "[ measured ] silent line: %lld ms for %zu settings; the answer windows add up to %lld ms; "
      "the window's events waited at most %lld ms\n",
      static_cast<long long>(took.elapsed()), tries.size(), static_cast<long long>(requests::worstCaseMs(tries)),
      static_cast<long long>(longestGapMs));
  // Nothing is left that could say more (no sequence, claim or timer,
  // checked below) but what is queued already.
  QCoreApplication::processEvents();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("No module answered the communication query \"QQQ#QV#\".", 0), 0u) << messages[0];
  EXPECT_NE(
      messages[0].find(module.linkPath() + ": 9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200 and 15200 baud"),
      std::string::npos)
      << messages[0];
  EXPECT_EQ(sentSince(journalBefore), std::vector<std::string>(tries.size(), "QQQ#QV#"));
  EXPECT_FALSE(form->Comm1->isOpen());
  EXPECT_FALSE(form->engine().portOpen());
  EXPECT_EQ(form->engine().pendingCode(), 0);
  expectNothingPending();
  EXPECT_EQ(threadsSettledAt(threadsBefore), threadsBefore);
  EXPECT_EQ(openDescriptors(), fds);
}

TEST_F(FinderWindow, CancelledHalfWayNothingChangesAndThePortIsClosed) {
  sim::SimProcess module({"--strict-line", "--module-baud", "38400"});
  const int fds = openDescriptors();
  const int threadsBefore = threads();
  choosePort(module.linkPath());
  const size_t journalBefore = form->journal().size();
  click("FindModuleButton");
  // The third setting is on the line: 9600 odd. About a second; the bound,
  // as the whole search's above, is only reached if the search stalls.
  ASSERT_TRUE(pumpUntil([&] { return sentSince(journalBefore).size() >= 3; }, 20'000));
  ASSERT_EQ(sentSince(journalBefore).size(), 3u) << "the fourth setting went before the check";
  auto* step = finder().dialog()->findChild<QLabel*>("FinderStep");
  ASSERT_NE(step, nullptr);
  EXPECT_TRUE(
      step->text().startsWith(QString::fromStdString("Trying " + module.linkPath() + " at 9600 baud, parity odd")))
      << step->text().toStdString();
  finder().dialog()->findChild<QPushButton*>("FinderCancel")->click();
  EXPECT_FALSE(finder().running());
  // Nothing is left that could send (no sequence, claim or timer, checked
  // below) but what is queued already.
  QCoreApplication::processEvents();
  EXPECT_EQ(sentSince(journalBefore).size(), 3u);
  EXPECT_TRUE(messages.empty()) << lastMessage();
  EXPECT_EQ(control<QComboBox>(*form, "SPREALCOM")->currentText().toStdString(), module.linkPath());
  EXPECT_EQ(control<QComboBox>(*form, "ComboBox11")->currentText(), "9600");
  EXPECT_EQ(index("ComboBox10"), 0);
  EXPECT_EQ(control<QPushButton>(*form, "Button1")->text(), "Open");
  EXPECT_FALSE(form->Comm1->isOpen());
  EXPECT_FALSE(form->engine().portOpen());
  EXPECT_TRUE(form->statusBar()->currentMessage().isEmpty());
  expectNothingPending();
  EXPECT_EQ(threadsSettledAt(threadsBefore), threadsBefore);
  EXPECT_EQ(openDescriptors(), fds);
}

TEST_F(FinderWindow, APortThatHangsUpUnderTheSearchEndsItWithOneMessageAndNoBanner) {
  sim::SimProcess module({"--no-reply", "--hangup-after", "2"});
  const int threadsBefore = threads();
  choosePort(module.linkPath());
  click("FindModuleButton");
  ASSERT_TRUE(pumpUntil([&] { return !messages.empty(); }, 10'000));
  QCoreApplication::processEvents();  // as above: only what is queued can follow
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("Find Module stopped: The serial port " + module.linkPath() + " hung up", 0), 0u)
      << messages[0];
  EXPECT_TRUE(form->findChild<QWidget*>("PortBanner")->isHidden());
  EXPECT_FALSE(form->Comm1->isOpen());
  expectNothingPending();
  EXPECT_EQ(threadsSettledAt(threadsBefore), threadsBefore);
}

}  // namespace
}  // namespace tq::ui
