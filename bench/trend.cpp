// The trend: what polling costs the tool, what a day of points holds in
// memory, and how long a chart of them takes to draw.
//   polling: the real window, offscreen, its trend panel shown, polling
//   command 3 at 1 s against tq580-sim paced at 1200 baud (--pace, the
//   tool's port opened at 1200): the process's CPU (all threads) over the
//   run as a share of one core, the answer times the link counted, and the
//   resident memory and heap at the start and the end of the run
//   the store: a simulated clock polls at 1 s and at the fastest 0.5 s for
//   48 h; the points kept and their bytes at 12, 24, 36 and 48 h (flat once
//   a day is kept), and the heap the store holds
//   repaint: a chart 1000 x 400 of 24 h of 1 s points (one lost poll in a
//   hundred), each variable moving: the reduction and one paint, for the
//   whole day and for the last minute
//     trend [polling seconds] [repaints]      default 60 s, 50 repaints
#include <QApplication>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTimer>
#include <cmath>
#include <cstdio>

#include "bench_support.h"
#include "link/link_arbiter.h"
#include "requests/trend_poller.h"
#include "sim/launcher.h"
#include "support/process_stats.h"
#include "trend/point_store.h"
#include "ui/trend_chart.h"
#include "ui/trend_dock.h"
#include "window_support.h"

using namespace tq;
using namespace tq::bench;

namespace {

constexpr int64_t kDayMs = trend::kKeptSpanMs;
constexpr int kChartWidth = 1000;
constexpr int kChartHeight = 400;
constexpr int kLostEvery = 100;

trend::Point moving(int64_t ms, int64_t i) {
  trend::Point p;
  p.ms = ms;
  const double t = static_cast<double>(i);
  p.values = {static_cast<float>(12 + 8 * std::sin(t / 600)),
              static_cast<float>(50 + 20 * std::sin(t / 60) + std::sin(t * 7.1)),
              static_cast<float>(21 + 4 * std::sin(t / 3000)), static_cast<float>(1.6 + 0.25 * std::sin(t / 45)),
              static_cast<float>(1000 + t / 72)};
  p.units = {trend::kMilliampereUnit, 19, 32, 7, 43};
  p.present = 0b11111;
  return p;
}

void fillDay(trend::PointStore& store, int64_t startMs) {
  for (int64_t i = 0; i <= kDayMs / 1000; ++i) {
    const int64_t ms = startMs + i * 1000;
    store.add(i % kLostEvery == kLostEvery - 1 ? trend::Point::gapAt(ms, trend::Missing::NoAnswer) : moving(ms, i));
  }
}

void polling(int seconds) {
  std::printf("polling at 1 s for %d s against tq580-sim paced at 1200 baud (the window offscreen, the panel shown)\n",
              seconds);
  sim::SimProcess module({"--pace"});
  WindowProbe probe;
  ui::TForm1& form = probe.form();
  form.findChild<QComboBox*>("ComboBox11")->setCurrentText(QStringLiteral("1200"));
  std::string failure;
  if (!probe.openPort(module.path(), &failure)) {
    std::printf("  cannot open the simulator's pty: %s\n", failure.c_str());
    return;
  }
  form.show();
  probe.click("Button7");  // the identity read addresses the instrument
  probe.waitUntil([&] { return form.engine().pendingCode() == 0; }, 10'000);
  form.findChild<QAction*>("actionTrend")->trigger();
  form.findChild<QComboBox*>("TrendSpan")->setCurrentIndex(0);
  form.findChild<QPushButton*>("TrendRunButton")->click();
  probe.waitUntil([&] { return form.trendPoints().size() >= 3; }, 10'000);  // the first points and paints pass

  const long rssBefore = testing::residentKb();
  const long heapBefore = heapInUseKb();
  const double cpuBefore = processCpuMs();
  const int64_t start = nowNs();
  const size_t pointsBefore = form.trendPoints().size();
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  const double wallMs = (nowNs() - start) / 1e6;
  const double cpuMs = processCpuMs() - cpuBefore;
  const size_t points = form.trendPoints().size() - pointsBefore;
  std::printf("  %zu polls in %.1f s, %zu gaps kept; CPU %.0f ms = %.2f %% of one core  %s\n", points, wallMs / 1000,
              form.trendPoints().gaps(), cpuMs, 100 * cpuMs / wallMs, loadNote().c_str());
  std::printf("  the link: %s\n", form.link().stats().text().c_str());
  std::printf("  resident %ld kB -> %ld kB, heap in use %ld kB -> %ld kB\n", rssBefore, testing::residentKb(),
              heapBefore, heapInUseKb());
  form.findChild<QPushButton*>("TrendRunButton")->click();
}

void store() {
  std::printf("\nthe store on a simulated clock, 48 h of polls\n");
  for (const int64_t intervalMs : {int64_t{1000}, trend::kFastestIntervalMs}) {
    const long heapBefore = heapInUseKb();
    trend::PointStore store;
    const int64_t polls = 2 * kDayMs / intervalMs;
    for (int64_t i = 1; i <= polls; ++i) {
      store.add(moving(i * intervalMs, i));
      if (i % (polls / 4) == 0) {
        std::printf("  every %lld ms, after %2lld h: %6zu points, %6.2f MB of points, heap +%ld kB\n",
                    static_cast<long long>(intervalMs), static_cast<long long>(i * intervalMs / trend::kMsPerHour),
                    store.size(), store.bytes() / 1e6, heapInUseKb() - heapBefore);
      }
    }
  }
  std::printf("  a point is %zu bytes; at most %zu points are kept\n", sizeof(trend::Point), trend::kMaxPoints);
}

void repaint(int repaints) {
  std::printf("\na chart %d x %d of 24 h of 1 s points (one poll in %d lost)\n", kChartWidth, kChartHeight, kLostEvery);
  trend::PointStore store;
  const int64_t start = 1'700'000'000'000;
  fillDay(store, start);
  ui::TrendChart chart;
  chart.resize(kChartWidth, kChartHeight);
  chart.show();
  QApplication::processEvents();
  struct Window {
    const char* name;
    int64_t from;
  };
  const int64_t end = store.back().ms;
  for (const Window& w : {Window{"the whole day", start}, Window{"the last minute", end - trend::kMsPerMinute}}) {
    std::vector<double> reduce, paint;
    for (int i = 0; i < repaints; ++i) {
      const int64_t t0 = nowNs();
      chart.showWindow(store, w.from, end);
      const int64_t t1 = nowNs();
      chart.viewport()->repaint();
      const int64_t t2 = nowNs();
      reduce.push_back((t1 - t0) / 1e6);
      paint.push_back((t2 - t1) / 1e6);
    }
    std::vector<double> total;
    for (size_t i = 0; i < reduce.size(); ++i) total.push_back(reduce[i] + paint[i]);
    std::printf("  %-16s %zu points drawn\n    reduce  %s\n    paint   %s\n    both    %s\n", w.name,
                chart.pointsDrawn(), summary(reduce).c_str(), summary(paint).c_str(), summary(total).c_str());
  }
  std::printf("  %s\n", loadNote().c_str());
}

}  // namespace

int main(int argc, char** argv) {
  useOffscreenUnlessChosen();
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
  const int repaints = argc > 2 ? std::max(1, std::atoi(argv[2])) : 50;
  QApplication app(argc, argv);
  std::printf("the trend\nmachine: %s\nstart: %s\n\n", machineNote().c_str(), loadNote().c_str());
  polling(seconds);
  store();
  repaint(repaints);
  return 0;
}
