#pragma once
// `TrendChart`: the loop current and the four dynamic variables against
// time, each named with its unit, on its own axis or all normalised to
// their range, with the relays' alarm limits drawn on the primary
// variable. The chart's axes, legend and grid are Qt Charts'; the lines are
// drawn over its plot area from each variable's reduced line (two points a
// pixel column at most, broken at every gap), so a day of points repaints
// as fast as a minute of them. The point under the mouse shows its time and
// value.
#include <QtCharts/QChartView>
#include <array>
#include <optional>
#include <string>
#include <vector>

#include "trend/plot_line.h"
#include "trend/point_store.h"
#include "trend/relay_limits.h"

class QDateTimeAxis;
class QLineSeries;
class QValueAxis;

namespace tq::ui {

// A unit code's name as the trend shows it; the loop current's milliamperes
// are not among the unit lists' items.
std::string trendUnitText(uint8_t unit);
// "Loop current", "Primary variable", … as the HART page names them.
QString trendVariableName(size_t variable);

class TrendChart : public QChartView {
  Q_OBJECT

 public:
  enum class Scale { OwnAxes, Normalised };

  explicit TrendChart(QWidget* parent = nullptr);

  // Draws the points of `store` taken within [fromMs, toMs]; the store must
  // outlive the chart's use of it (the next call replaces it).
  void showWindow(const trend::PointStore& store, int64_t fromMs, int64_t toMs);
  void setScale(Scale scale);
  Scale scale() const { return scale_; }
  // Off: the value axes keep their ranges as new points come.
  void setAutoscale(bool on);
  void setRelayLimits(std::vector<trend::RelayLimit> limits);
  const std::vector<trend::RelayLimit>& relayLimits() const { return relays_; }
  // The variable's line (tests): the series named with its unit.
  QLineSeries* series(size_t variable) const { return variables_[variable].series; }

  // The point nearest `pos` (the view's coordinates) as "14:03:22 ·
  // Primary variable 51.2 m3/h"; empty away from the plot area or with
  // nothing drawn.
  QString pointText(QPointF pos) const;
  // Points the lines are drawn through, all variables together.
  size_t pointsDrawn() const;
  // The variable's legend name: "Primary variable (bar)".
  QString seriesName(size_t variable) const;
  // The value axis range a variable is drawn in.
  std::pair<double, double> range(size_t variable) const;
  // What is shown of a variable: the unit of its newest point in the window
  // (none without one), and its figures in that unit.
  std::optional<uint8_t> unit(size_t variable) const { return variables_[variable].unit; }
  const trend::WindowStats& stats(size_t variable) const { return variables_[variable].stats; }

 protected:
  void drawForeground(QPainter* painter, const QRectF& rect) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct Variable {
    std::optional<uint8_t> unit;  // of the newest point shown; what is drawn
    trend::PlotLine line;
    trend::WindowStats stats;  // in `unit`
    double lo = 0, hi = 1;
    bool ranged = false;  // lo/hi set at least once
    QLineSeries* series = nullptr;
    QValueAxis* axis = nullptr;
  };

  void rebuild();
  void placeAxes();
  QRectF plotRect() const;  // the plot area in scene coordinates
  double yOf(const Variable& v, double value, const QRectF& plot) const;

  const trend::PointStore* store_ = nullptr;
  int64_t from_ = 0, to_ = 1;
  Scale scale_ = Scale::OwnAxes;
  bool autoscale_ = true;
  std::array<Variable, trend::kVariableCount> variables_;
  std::vector<trend::RelayLimit> relays_;
  QDateTimeAxis* timeAxis_ = nullptr;
  QValueAxis* normalAxis_ = nullptr;
};

}  // namespace tq::ui
