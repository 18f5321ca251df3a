// The trend in the real window against the simulator: polls go to the
// instrument an identity read addressed, its values move, a silent poll is
// a gap, a page's request made while a poll is out waits for that poll and
// gets its own answer, and closing the port stops polling with the reason
// in the panel.
#include <QAction>
#include <QDoubleSpinBox>
#include <QLabel>
#include <QTableWidget>
#include <set>

#include "link/link_arbiter.h"
#include "requests/trend_poller.h"
#include "sim/launcher.h"
#include "ui/trend_dock.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class TrendTest : public WindowTest {
 protected:
  requests::TrendPoller& poller() { return form->trendPoller(); }
  const trend::PointStore& points() { return form->trendPoints(); }
  size_t valued() { return points().size() - points().gaps(); }
  // Frames sent and blocks received, in order, as their first bytes.
  std::vector<std::string> traffic(size_t from) const {
    std::vector<std::string> out;
    const journal::Journal& j = form->journal();
    for (size_t i = from; i < j.size(); ++i) {
      const journal::Entry& e = j.at(i);
      if (e.direction == journal::Direction::Event) continue;
      const bool poll = e.bytes->size() > 13 && (*e.bytes)[13] == 3 && ((*e.bytes)[7] & 0x7F) == 0x02;
      const bool pollAnswer = e.bytes->size() > 11 && (*e.bytes)[11] == 3 && ((*e.bytes)[5] & 0x7F) == 0x06;
      out.push_back(std::string(e.direction == journal::Direction::Sent ? "sent " : "received ") +
                    (poll || pollAnswer ? "poll" : std::string(e.bytes->begin(), e.bytes->begin() + 3)));
    }
    return out;
  }
};

TEST_F(TrendTest, PollsTheAddressedInstrumentAndAPagesRequestMeanwhileGetsItsAnswer) {
  // The first poll goes unanswered.
  sim::SimProcess module({"--no-reply", "--fault-match-hex", "82 A6 06 12 34 56 03", "--fault-count", "1"});
  openPort(module.path());
  click("Button7");  // the identity read addresses the instrument
  ASSERT_TRUE(pumpUntil([this] { return form->engine().pendingCode() == 0; }));

  form->findChild<QAction*>("actionTrend")->trigger();
  ASSERT_TRUE(form->trendDock().isVisibleTo(form.get()));
  control<QDoubleSpinBox>(*form, "TrendInterval")->setValue(0.5);
  click("TrendRunButton");
  EXPECT_EQ(control<QPushButton>(*form, "TrendRunButton")->text(), "Stop");
  ASSERT_TRUE(pumpUntil([this] { return valued() >= 3; }, 10'000));
  EXPECT_EQ(points().at(0).missing, trend::Missing::NoAnswer) << "the silent poll is a gap";
  std::set<float> primary;
  for (size_t i = 1; i < points().size(); ++i) primary.insert(points().at(i).values[1]);
  EXPECT_GT(primary.size(), 1u) << "the values move";

  // A request while a poll is out: it goes after the poll's answer and is
  // answered as ever, with no time-out.
  ASSERT_TRUE(pumpUntil([this] { return poller().pollOut(); }));
  const size_t before = form->journal().size();
  query("Button6", "QV:");
  EXPECT_EQ(traffic(before), (std::vector<std::string>{"received poll", "sent QQQ", "received QV:"}));
  EXPECT_TRUE(messages.empty()) << lastMessage();
  const size_t polled = valued();
  ASSERT_TRUE(pumpUntil([&] { return valued() >= polled + 2; }, 10'000)) << "polling goes on";

  QTableWidget* table = control<QTableWidget>(*form, "TrendTable");
  EXPECT_EQ(table->item(1, 0)->text(), "Primary variable");
  EXPECT_FALSE(table->item(1, 1)->text().isEmpty());
  EXPECT_EQ(table->item(0, 5)->text(), "mA");
  EXPECT_NE(control<QLabel>(*form, "LinkStatsLabel")->text().indexOf(" answered \u00b7 "), -1);

  click("Button1");  // close
  ASSERT_TRUE(pumpUntil([this] { return poller().note() == requests::kTrendPortClosedNote; }));
  EXPECT_EQ(control<QPushButton>(*form, "TrendRunButton")->text(), "Start");
  EXPECT_NE(control<QLabel>(*form, "TrendStatus")->text().indexOf(requests::kTrendPortClosedNote), -1);
  EXPECT_FALSE(form->link().yielding());
}

}  // namespace
}  // namespace tq::ui
