// The trend's panel in the offscreen window: its controls as the operator
// finds them, the relay page's limits reaching the chart, and the point
// under the mouse named with its time, value and unit.
#include <gtest/gtest.h>

#include <QAction>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QTableWidget>
#include <QtCharts/QChart>
#include <QtCharts/QLineSeries>
#include <memory>

#include "ui/TForm1.h"
#include "ui/trend_chart.h"
#include "ui/trend_dock.h"

namespace tq::ui {
namespace {

TEST(TrendPanel, StartsHiddenWithItsControlsAndCtrlTShowsIt) {
  TForm1 form;
  auto* dock = form.findChild<QDockWidget*>(QStringLiteral("TrendDock"));
  ASSERT_NE(dock, nullptr);
  EXPECT_FALSE(dock->isVisibleTo(&form));
  auto* action = form.findChild<QAction*>(QStringLiteral("actionTrend"));
  ASSERT_NE(action, nullptr);
  EXPECT_EQ(action->text(), "Trend");
  EXPECT_EQ(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+T")));
  action->trigger();
  EXPECT_TRUE(dock->isVisibleTo(&form));

  auto* interval = form.findChild<QDoubleSpinBox*>(QStringLiteral("TrendInterval"));
  EXPECT_EQ(interval->minimum(), 0.5);
  EXPECT_EQ(interval->maximum(), 3600);
  EXPECT_EQ(interval->value(), 1);
  auto* run = form.findChild<QPushButton*>(QStringLiteral("TrendRunButton"));
  EXPECT_TRUE(run->isCheckable());
  EXPECT_EQ(run->text(), "Start");
  EXPECT_FALSE(form.findChild<QPushButton*>(QStringLiteral("TrendExport"))->isEnabled()) << "no points yet";
  auto* table = form.findChild<QTableWidget*>(QStringLiteral("TrendTable"));
  QStringList rows;
  for (int r = 0; r < table->rowCount(); ++r) rows << table->item(r, 0)->text();
  EXPECT_EQ(rows, QStringList({"Loop current", "Primary variable", "Secondary variable", "Tertiary variable",
                               "Quaternary variable"}));
  ASSERT_NE(form.findChild<QWidget*>(QStringLiteral("LinkStatsLabel")), nullptr);
}

TEST(TrendPanel, TheRelayPagesReplyGivesTheChartItsAlarmLimits) {
  TForm1 form;
  form.setMessageSink([](const QString&) {});
  form.Button3Click();
  const std::string reply =
      "QX2#BTM1:0000#BTM2:0000#BTM3:0000#BTM4:0000#AI01:1,080.0,005#AI02:0,100.0,005#AI03:1,0.500,005#"
      "AI04:0,     ,005#IA01:0,0.000,100.0#IB01:0,0.000,100.0#";
  form.Comm1ReceiveData(reinterpret_cast<const uint8_t*>(reply.data()), static_cast<uint16_t>(reply.size()));
  form.Timer2Timer();
  const auto& limits = form.trendDock().chart().relayLimits();
  ASSERT_EQ(limits.size(), 3u) << "relay 4's blank limit draws nothing";
  EXPECT_EQ(limits[0], (trend::RelayLimit{1, 80.0, true, true}));
  EXPECT_EQ(limits[1].label(), "Relay 2 (upper limit, alarm closed)");
  EXPECT_EQ(limits[2], (trend::RelayLimit{3, 0.5, false, true}));
}

TEST(TrendPanel, ThePointUnderTheMouseShowsItsTimeValueAndUnit) {
  trend::PointStore store;
  const int64_t t0 = QDateTime(QDate(2026, 5, 4), QTime(14, 3, 0)).toMSecsSinceEpoch();
  for (int i = 0; i < 60; ++i) {
    trend::Point p;
    p.ms = t0 + i * 1000;
    p.values = {12, static_cast<float>(i), 0, 0, 0};
    p.units = {trend::kMilliampereUnit, 7, 0, 0, 0};
    p.present = 0b11;
    store.add(i == 30 ? trend::Point::gapAt(p.ms, trend::Missing::NoAnswer) : p);
  }
  TrendChart chart;
  chart.resize(800, 400);
  chart.show();
  chart.showWindow(store, t0, t0 + 59'000);
  EXPECT_EQ(chart.seriesName(1), "Primary variable (bar)");
  auto at = [&](int second, double value, size_t variable) {
    const QPointF inChart =
        chart.chart()->mapToPosition(QPointF(double(t0 + second * 1000), value), chart.series(variable));
    return QPointF(chart.mapFromScene(chart.chart()->mapToScene(inChart)));
  };
  EXPECT_EQ(chart.pointText(at(20, 20, 1)), "14:03:20 \u00b7 Primary variable 20 bar");
  EXPECT_EQ(chart.pointText(at(40, 12, 0)), "14:03:40 \u00b7 Loop current 12 mA");
  EXPECT_EQ(chart.pointText(at(30, 30, 1)), "14:03:30 \u00b7 no answer");
  EXPECT_EQ(chart.pointText(QPointF(1, 1)), "") << "outside the plot";
}

}  // namespace
}  // namespace tq::ui
