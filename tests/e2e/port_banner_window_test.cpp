// A port that hangs up under the real window (the simulator stopping, as an
// adapter pulled would): closed at once without a box, a banner that says
// so and watches for the device, and a reconnect once it is back.
#include <signal.h>

#include <QElapsedTimer>
#include <QLabel>
#include <cstdio>
#include <optional>

#include "serial/TComm.h"
#include "sim/launcher.h"
#include "support/process_stats.h"
#include "ui/port_banner.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

using tq::testing::openDescriptors;
using tq::testing::threads;
using tq::testing::threadsSettledAt;

class PortBannerWindow : public WindowTest {
 protected:
  QWidget* banner() { return control<QWidget>(*form, "PortBanner"); }
  QString bannerText() { return control<QLabel>(*form, "PortBannerText")->text(); }
  bool journalHas(const std::string& start) {
    const journal::Journal& j = form->journal();
    for (size_t i = 0; i < j.size(); ++i) {
      if (j.at(i).summary.rfind(start, 0) == 0) return true;
    }
    return false;
  }
  // The port closed as Button1 leaves it, and nothing of it left running.
  void expectClosedAsAfterButton1(int threadsClosed, int fdsClosed) {
    EXPECT_FALSE(form->Comm1->isOpen());
    EXPECT_FALSE(form->engine().portOpen());
    EXPECT_EQ(control<QPushButton>(*form, "Button1")->text(), "Open");
    EXPECT_FALSE(control<QPushButton>(*form, "Button6")->isEnabled());
    EXPECT_FALSE(timer("Timer3")->isActive());
    EXPECT_EQ(threadsSettledAt(threadsClosed), threadsClosed);
    EXPECT_EQ(openDescriptors(), fdsClosed);
  }
};

TEST_F(PortBannerWindow, AHangUpClosesThePortWithoutABoxAndReconnectsOnceTheDeviceIsBack) {
  struct Case {
    const char* name;
    std::vector<std::string> simArgs;
    // What the operator did before the hang-up; the simulator stops by
    // itself unless `stop` is set.
    const char* request;
    bool stop;
    bool replyDecoded;
  };
  const Case cases[] = {
      {"idle, the simulator stopped", {}, nullptr, true, false},
      {"awaiting a reply", {"--no-reply", "--hangup-after", "1"}, "Button6", false, false},
      {"right after a reply", {"--hangup-after", "1"}, "Button6", false, true},
      // The scan's end is said on its page; the banner is the only notice.
      {"during a HART scan", {"--hangup-after", "1"}, "HartScanButton", false, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    messages.clear();
    choose("ComboBox13", 0);
    std::optional<sim::SimProcess> module(std::in_place, c.simArgs);
    const std::string link = module->linkPath();
    const int threadsClosed = threads();
    const int fdsClosed = openDescriptors();
    openPort(link);
    if (c.request) click(c.request);
    if (c.stop) ::kill(module->pid(), SIGTERM);
    ASSERT_GE(module->waitForExit(5000), 0);
    QElapsedTimer sinceExit;
    sinceExit.start();
    ASSERT_TRUE(pumpUntil([&] { return !form->engine().portOpen(); }));
    std::printf("[ measured ] %s: port closed %lld ms after the simulator exited\n", c.name,
                static_cast<long long>(sinceExit.elapsed()));
    expectClosedAsAfterButton1(threadsClosed, fdsClosed);
    EXPECT_FALSE(banner()->isHidden());
    EXPECT_TRUE(bannerText().startsWith(QString::fromStdString("Serial port " + link + " disconnected at ")))
        << bannerText().toStdString();
    EXPECT_TRUE(journalHas("Port " + link + " closed: the device hung up"));
    if (c.replyDecoded) {
      ASSERT_TRUE(pumpUntil([&] { return index("ComboBox13") == 2; }));
    }
    // Two looks for the device, as the watch makes them, and whatever the
    // hang-up queued.
    QCoreApplication::processEvents();
    auto* watched = control<PortBanner>(*form, "PortBanner");
    watched->poll();
    watched->poll();
    EXPECT_TRUE(messages.empty()) << lastMessage();
    EXPECT_FALSE(bannerText().contains("back"));

    // A request while the port is gone goes nowhere, as on a closed port.
    const size_t journalBefore = form->journal().size();
    click("Button23");
    EXPECT_EQ(form->journal().at(journalBefore).summary.rfind("Not sent, the port is closed", 0), 0u);
    EXPECT_TRUE(timer("Timer3")->isActive());
    timer("Timer3")->stop();

    // The simulator comes back on the same link: the banner says so, and
    // Reconnect opens it with the settings it had; nothing goes out by itself.
    module.reset();
    module.emplace(std::vector<std::string>{"--link", link});
    ASSERT_TRUE(pumpUntil([&] { return bannerText().contains("It is back"); }));
    EXPECT_TRUE(journalHas("Port " + link + " is present again"));
    EXPECT_FALSE(form->Comm1->isOpen());
    control<QComboBox>(*form, "ComboBox11")->setCurrentIndex(0);  // changed meanwhile: 1200
    click("PortReconnect");
    EXPECT_TRUE(form->engine().portOpen()) << lastMessage();
    EXPECT_EQ(form->Comm1->BaudRate(), 9600u);
    EXPECT_TRUE(banner()->isHidden());
    EXPECT_FALSE(timer("PortWatch")->isActive());
    query("Button6", "QV:");
    EXPECT_EQ(index("ComboBox13"), 2);
    EXPECT_TRUE(messages.empty()) << lastMessage();
    click("Button1");
  }
}

TEST_F(PortBannerWindow, Button1HidesTheBannerAndTheWatchStops) {
  std::optional<sim::SimProcess> module(std::in_place);
  openPort(module->linkPath());
  module.reset();
  ASSERT_TRUE(pumpUntil([&] { return !banner()->isHidden(); }));
  EXPECT_TRUE(timer("PortWatch")->isActive());
  click("Button1");  // the device is gone: the open fails and says why
  EXPECT_TRUE(banner()->isHidden());
  EXPECT_FALSE(timer("PortWatch")->isActive());
  EXPECT_EQ(lastMessage(), "Error opening serial port");
}

}  // namespace
}  // namespace tq::ui
