// The journal in the real window, offscreen, against the module simulator:
// it records the exchange the pages make without changing it.
#include <QAction>
#include <QDir>
#include <QDockWidget>
#include <QFile>
#include <QTemporaryDir>
#include <QTreeView>

#include "journal/export.h"
#include "sim/launcher.h"
#include "ui/journal_dock.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class JournalWindow : public WindowTest {
 protected:
  std::vector<std::string> summaries() const {
    std::vector<std::string> out;
    const journal::Journal& j = form->journal();
    for (size_t i = 0; i < j.size(); ++i) {
      out.push_back(std::string(journal::directionMark(j.at(i).direction)) + " " + j.at(i).summary);
    }
    return out;
  }
  const journal::Entry& last() const { return form->journal().at(form->journal().size() - 1); }
};

TEST_F(JournalWindow, AQueryAndItsAnswerAreJournaledInOrderWithTheAnswerTime) {
  sim::SimProcess module({"--delay", "50"});
  auto* action = form->findChild<QAction*>("actionJournal");
  ASSERT_NE(action, nullptr);
  action->trigger();
  EXPECT_TRUE(form->findChild<QDockWidget*>("JournalDock")->isVisibleTo(form.get()));

  openPort(module.path());
  query("Button6", "QV:");
  click("Button1");

  const journal::Journal& j = form->journal();
  ASSERT_EQ(j.size(), 4u) << ::testing::PrintToString(summaries());
  EXPECT_EQ(j.at(0).summary.rfind("Port " + module.path() + " opened, 9600 baud, parity none", 0), 0u);
  EXPECT_EQ(j.at(1).direction, journal::Direction::Sent);
  EXPECT_EQ(*j.at(1).bytes, std::vector<uint8_t>({'Q', 'Q', 'Q', '#', 'Q', 'V', '#'}));
  EXPECT_EQ(j.at(2).direction, journal::Direction::Received);
  EXPECT_EQ(std::string(j.at(2).bytes->begin(), j.at(2).bytes->end()), "QV:20#");
  // At least the simulator's delay and the 100 ms of silence that end a block.
  ASSERT_TRUE(j.at(2).responseMs);
  EXPECT_GE(*j.at(2).responseMs, 150.0);
  EXPECT_EQ(j.at(3).summary, "Port " + module.path() + " closed by the operator");
  auto* view = form->findChild<QTreeView*>("JournalView");
  ASSERT_NE(view, nullptr);
  EXPECT_TRUE(pumpUntil([view] { return view->model()->rowCount() == 4; }));
  EXPECT_TRUE(messages.empty());
}

TEST_F(JournalWindow, ATimeOutAndItsMessageFollowTheFrameThatWentUnanswered) {
  sim::SimProcess module({"--no-reply"});
  openPort(module.path());
  click("Button6");
  timer("Timer3")->setInterval(30);
  ASSERT_TRUE(pumpUntil([this] { return !messages.empty(); }));
  const std::vector<std::string> s = summaries();
  ASSERT_GE(s.size(), 4u);
  EXPECT_EQ(std::vector<std::string>(s.end() - 2, s.end()),
            (std::vector<std::string>{"\u2022 Time-out: Connection Timeout!", "\u2022 Message: Connection Timeout!"}));
  EXPECT_EQ(form->journal().at(s.size() - 3).direction, journal::Direction::Sent);
}

TEST_F(JournalWindow, SavingWritesTheWholeJournalOrSaysWhyNotAndKeepsIt) {
  QTemporaryDir dir;
  click("Button6");  // the port is closed: nothing goes out, and the journal says so
  ASSERT_EQ(form->journal().size(), 1u);
  EXPECT_EQ(last().summary.rfind("Not sent, the port is closed: ", 0), 0u);

  struct Case {
    QString name;
    const char* firstLine;
  };
  for (const Case& c :
       {Case{"journal.txt", "TQ580-N exchange journal"},  // the header, then the columns
        Case{"journal.CSV", "time,ms since port opened,response ms,direction,byte count,hex,summary"}}) {
    const QString path = dir.filePath(c.name);
    form->setSaveFileNameProvider([path] { return path; });
    form->findChild<QAction*>("actionSaveJournal")->trigger();
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << c.name.toStdString();
    EXPECT_EQ(file.readLine().trimmed().toStdString(), c.firstLine);
    EXPECT_TRUE(file.readAll().contains("Not sent, the port is closed"));
  }
  EXPECT_TRUE(messages.empty());

  const QString unwritable = dir.filePath("no-such-folder/journal.txt");
  form->setSaveFileNameProvider([unwritable] { return unwritable; });
  form->findChild<QAction*>("actionSaveJournal")->trigger();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("The journal could not be saved to " + unwritable.toStdString() + ": ", 0), 0u);
  EXPECT_EQ(form->journal().at(0).summary.rfind("Not sent", 0), 0u);  // kept
}

}  // namespace
}  // namespace tq::ui
