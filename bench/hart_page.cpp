// The "HART Instrument" page through the real window, offscreen, against
// tq580-sim paced at 1200 baud (--pace, the tool's port opened at 1200)
// with instruments at polling addresses 0, 5 and 20:
//   scan: from the click to the scan's end, 0 … 15 and 0 … 63 (silent
//   addresses wait out the answer window; answered ones end at the reply)
//   Read All: from the click to its end, with command 0 first (no identity
//   known yet) and with the instrument already addressed
//   while a scan runs: a repaint asked of the progress bar until it is
//   painted, and a click on Cancel (queued, as an input event is) until
//   the progress dialog has gone
//     hart_page [cancel samples]      default 20
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <cstdio>

#include "bench_support.h"
#include "hart/answer_window.h"
#include "sim/launcher.h"
#include "ui/hart_page.h"
#include "window_support.h"

using namespace tq;
using namespace tq::bench;

namespace {

constexpr int kBoundMs = 200'000;
constexpr int kRepaintEveryMs = 53;  // not a divisor of the answer window
constexpr int kCancelSpreadMs = hart::kScanAnswerWindowMs;

// Stamps paints of one widget and hides of another.
class Stamps : public QObject {
 public:
  int64_t paintedNs = 0;
  int64_t hiddenNs = 0;
  QObject* painted = nullptr;
  QObject* hidden = nullptr;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched == painted && event->type() == QEvent::Paint) paintedNs = nowNs();
    if (watched == hidden && event->type() == QEvent::Hide) hiddenNs = nowNs();
    return false;
  }
};

}  // namespace

int main(int argc, char** argv) {
  useOffscreenUnlessChosen();
  const int cancels = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
  QApplication app(argc, argv);
  std::printf("the HART Instrument page against tq580-sim paced at 1200 baud, instruments at 0, 5 and 20\n");
  std::printf("machine: %s\nstart: %s\nanswer windows: scan %d ms, Read All %d ms, writes %d ms\n\n",
              machineNote().c_str(), loadNote().c_str(), hart::kScanAnswerWindowMs, hart::kReadAnswerWindowMs,
              hart::kWriteAnswerWindowMs);

  sim::SimProcess loop({"--pace", "--hart-instruments", "0,5,20", "--frozen", "30"});
  WindowProbe probe(std::make_unique<NoPause>());
  ui::TForm1& form = probe.form();
  form.findChild<QComboBox*>("ComboBox11")->setCurrentText(QStringLiteral("1200"));
  std::string failure;
  if (!probe.openPort(loop.path(), &failure)) {
    std::printf("cannot open the simulator's pty: %s\n", failure.c_str());
    return 1;
  }
  form.show();
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  pages->setCurrentWidget(form.findChild<QWidget*>("TabSheetHart"));
  ui::HartPage& page = form.hartPage();
  auto running = [&] { return page.requests().running(); };
  auto timed = [&](const char* button) {
    const int64_t start = nowNs();
    probe.click(button);
    if (!runUntil([&] { return !running(); }, kBoundMs)) return -1.0;
    return (nowNs() - start) / 1e6;
  };

  // Read All before anything is known of the loop: command 0 first.
  const double readWithIdentity = timed("HartReadAll");
  const double scan16 = timed("HartScanButton");
  const int found16 = form.findChild<QTreeWidget*>("HartScanView")->topLevelItemCount();
  form.findChild<QCheckBox*>("HartScanWide")->setChecked(true);
  const double scan64 = timed("HartScanButton");
  const int found64 = form.findChild<QTreeWidget*>("HartScanView")->topLevelItemCount();
  auto* rows = form.findChild<QTreeWidget*>("HartScanView");
  rows->setCurrentItem(rows->topLevelItem(rows->topLevelItemCount() - 1));  // address 20
  const double readAddressed = timed("HartReadAll");

  std::printf("scan 0 \u2026 15   %8.0f ms  (%d found)  %s\n", scan16, found16, loadNote().c_str());
  std::printf("scan 0 \u2026 63   %8.0f ms  (%d found)  %s\n", scan64, found64, loadNote().c_str());
  std::printf("Read All, command 0 first   %6.0f ms  (9 commands)  %s\n", readWithIdentity, loadNote().c_str());
  std::printf("Read All, instrument known  %6.0f ms  (8 commands)  %s\n", readAddressed, loadNote().c_str());
  std::printf("messages: %zu%s\n\n", probe.messages().size(),
              probe.messages().empty() ? "" : (" (" + probe.messages().back() + ")").c_str());
  std::fflush(stdout);

  // The window during scans: repaints, and Cancel at spread moments.
  Stamps stamps;
  std::vector<double> repaints, cancelled;
  int failed = 0;
  for (int i = 0; i < cancels; ++i) {
    probe.click("HartScanButton");
    auto* bar = form.findChild<QProgressBar*>("HartProgressBar");
    auto* dialog = form.findChild<QWidget*>("HartProgress");
    auto* cancel = form.findChild<QPushButton*>("HartProgressCancel");
    if (!bar || !dialog || !cancel) {
      std::printf("the progress dialog is missing\n");
      return 1;
    }
    stamps.painted = bar;
    stamps.hidden = dialog;
    bar->installEventFilter(&stamps);
    dialog->installEventFilter(&stamps);

    // Repaints asked for every kRepaintEveryMs until the cancel.
    const int64_t cancelAt = nowNs() + int64_t{200 + (i * 397) % kCancelSpreadMs} * 1'000'000;
    while (nowNs() < cancelAt) {
      const int64_t asked = nowNs();
      stamps.paintedNs = 0;
      bar->update();
      if (runUntil([&] { return stamps.paintedNs != 0; }, 1000)) repaints.push_back((stamps.paintedNs - asked) / 1e6);
      runUntil([&] { return nowNs() >= std::min(cancelAt, asked + int64_t{kRepaintEveryMs} * 1'000'000); }, 1000);
    }
    stamps.hiddenNs = 0;
    const int64_t clicked = nowNs();
    QMetaObject::invokeMethod(cancel, "click", Qt::QueuedConnection);
    if (!runUntil([&] { return stamps.hiddenNs != 0 && !running(); }, 5000)) {
      ++failed;
      continue;
    }
    cancelled.push_back((stamps.hiddenNs - clicked) / 1e6);
  }
  std::printf("while a scan runs (%d scans cancelled at spread moments)\n", cancels);
  std::printf("  repaint of the progress bar, asked to painted  %s  %s\n", summary(repaints).c_str(),
              loadNote().c_str());
  std::printf("  Cancel clicked to the dialog gone               %s  %s\n", summary(cancelled).c_str(),
              loadNote().c_str());
  std::printf("  (goal: both within 100 ms)\n");
  if (failed > 0) std::printf("  %d cancels failed\n", failed);
  std::fflush(stdout);
  return 0;
}
