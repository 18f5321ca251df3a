#include "ui/trend_chart.h"

#include <QDateTime>
#include <QLocale>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QToolTip>
#include <QtCharts/QChart>
#include <QtCharts/QDateTimeAxis>
#include <QtCharts/QLegend>
#include <QtCharts/QLineSeries>
#include <QtCharts/QValueAxis>
#include <algorithm>
#include <cmath>

#include "hart/command_data.h"

namespace tq::ui {

namespace {

// One colour per variable, told apart on a light background.
const QColor kColors[trend::kVariableCount] = {QColor(0x1f, 0x4e, 0xa8), QColor(0xc0, 0x39, 0x2b),
                                               QColor(0x1e, 0x84, 0x49), QColor(0x8e, 0x44, 0xad),
                                               QColor(0xb9, 0x77, 0x0e)};
const QColor kUpperLimitColor(0xd3, 0x2f, 0x2f);
const QColor kLowerLimitColor(0xe6, 0x7e, 0x22);
constexpr double kLineWidth = 1.5;
constexpr double kDotRadius = 2;
// Autoscaled ranges leave this much of their height free above and below.
constexpr double kRangeMargin = 0.05;
// A flat line gets a range this wide around its value (relative), or 1.
constexpr double kFlatRange = 0.01;
constexpr double kNormalisedTop = 100;
constexpr int kHoverPixels = 12;  // how far from a point the mouse may be
constexpr int kLabelGap = 4;
constexpr int kMaxDecimals = 6;

QString unitText(uint8_t unit) { return QString::fromStdString(trendUnitText(unit)); }

}  // namespace

std::string trendUnitText(uint8_t unit) { return unit == trend::kMilliampereUnit ? "mA" : hart::unitName(unit); }

QString trendVariableName(size_t variable) {
  const std::string_view name = trend::kVariableNames[variable];
  return QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));
}

// The view is made with its chart: one set later would leave the view's
// own first chart behind, never deleted.
TrendChart::TrendChart(QWidget* parent) : QChartView(new QChart, parent) {
  setObjectName(QStringLiteral("TrendChart"));
  setMouseTracking(true);
  setRenderHint(QPainter::Antialiasing, true);
  QChart* c = chart();
  c->legend()->setAlignment(Qt::AlignTop);
  c->setMargins(QMargins(2, 2, 2, 2));
  timeAxis_ = new QDateTimeAxis(c);
  timeAxis_->setFormat(QStringLiteral("HH:mm:ss"));
  timeAxis_->setTickCount(6);
  c->addAxis(timeAxis_, Qt::AlignBottom);
  normalAxis_ = new QValueAxis(c);
  normalAxis_->setRange(0, kNormalisedTop);
  normalAxis_->setTitleText(QStringLiteral("% of its range"));
  c->addAxis(normalAxis_, Qt::AlignLeft);
  for (size_t v = 0; v < trend::kVariableCount; ++v) {
    Variable& var = variables_[v];
    var.series = new QLineSeries(c);
    var.series->setName(seriesName(v));
    QPen pen(kColors[v]);
    pen.setWidthF(kLineWidth);
    var.series->setPen(pen);
    c->addSeries(var.series);
    var.axis = new QValueAxis(c);
    var.axis->setLabelsColor(kColors[v]);
    var.axis->setLinePenColor(kColors[v]);
    var.axis->setGridLineVisible(v == 0);
    c->addAxis(var.axis, v < 2 ? Qt::AlignLeft : Qt::AlignRight);
    var.series->attachAxis(timeAxis_);
    var.series->attachAxis(var.axis);
  }
  placeAxes();
}

QString TrendChart::seriesName(size_t variable) const {
  const QString name = trendVariableName(variable);
  const auto& unit = variables_[variable].unit;
  return unit ? name + QStringLiteral(" (") + unitText(*unit) + QLatin1Char(')') : name;
}

std::pair<double, double> TrendChart::range(size_t variable) const {
  return {variables_[variable].lo, variables_[variable].hi};
}

void TrendChart::setScale(Scale scale) {
  scale_ = scale;
  placeAxes();
  viewport()->update();
}

void TrendChart::setAutoscale(bool on) {
  autoscale_ = on;
  rebuild();
}

void TrendChart::setRelayLimits(std::vector<trend::RelayLimit> limits) {
  relays_ = std::move(limits);
  rebuild();
}

void TrendChart::showWindow(const trend::PointStore& store, int64_t fromMs, int64_t toMs) {
  store_ = &store;
  from_ = fromMs;
  to_ = std::max(toMs, fromMs + 1);
  rebuild();
}

void TrendChart::rebuild() {
  if (!store_) return;
  timeAxis_->setRange(QDateTime::fromMSecsSinceEpoch(from_), QDateTime::fromMSecsSinceEpoch(to_));
  const auto [first, last] = store_->range(from_, to_);
  const int columns = std::max(1, static_cast<int>(plotRect().width()));
  for (size_t v = 0; v < trend::kVariableCount; ++v) {
    Variable& var = variables_[v];
    var.unit = trend::lastUnit(*store_, first, last, v);
    var.line = {};
    var.stats = {};
    if (var.unit) {
      var.line = trend::plotLine(*store_, first, last, v, *var.unit, from_, to_, columns);
      var.stats = trend::statsOf(*store_, first, last, v, *var.unit);
      const trend::WindowStats& s = var.stats;
      if (autoscale_ || !var.ranged) {
        double lo = s.min, hi = s.max;
        if (v == 1) {  // the relays watch the primary variable: their limits stay in sight
          for (const trend::RelayLimit& r : relays_) {
            lo = std::min(lo, r.value);
            hi = std::max(hi, r.value);
          }
        }
        if (hi - lo <= 0) {
          const double half = std::max(std::abs(hi) * kFlatRange, 1.0) / 2;
          lo -= half;
          hi += half;
        }
        const double margin = (hi - lo) * kRangeMargin;
        var.lo = lo - margin;
        var.hi = hi + margin;
        var.ranged = true;
      }
      var.axis->setRange(var.lo, var.hi);
      // Enough decimals to tell the ticks apart, and no more.
      const double step = (var.hi - var.lo) / std::max(var.axis->tickCount() - 1, 1);
      const int decimals = std::clamp(static_cast<int>(std::ceil(-std::log10(step))) + 1, 0, kMaxDecimals);
      var.axis->setLabelFormat(QStringLiteral("%.%1f").arg(decimals));
      var.axis->setTitleText(unitText(*var.unit));
    }
    var.series->setName(seriesName(v));
  }
  placeAxes();
  viewport()->update();
}

void TrendChart::placeAxes() {
  const bool own = scale_ == Scale::OwnAxes;
  normalAxis_->setVisible(!own);
  bool gridTaken = !own;
  for (Variable& var : variables_) {
    const bool shown = own && var.unit.has_value();
    var.axis->setVisible(shown);
    var.axis->setGridLineVisible(shown && !gridTaken);
    gridTaken = gridTaken || shown;
  }
}

QRectF TrendChart::plotRect() const { return chart()->mapRectToScene(chart()->plotArea()); }

double TrendChart::yOf(const Variable& v, double value, const QRectF& plot) const {
  return plot.bottom() - (value - v.lo) / (v.hi - v.lo) * plot.height();
}

size_t TrendChart::pointsDrawn() const {
  size_t n = 0;
  for (const Variable& v : variables_) n += v.line.points();
  return n;
}

void TrendChart::drawForeground(QPainter* painter, const QRectF& rect) {
  QChartView::drawForeground(painter, rect);
  const QRectF plot = plotRect();
  if (plot.isEmpty()) return;
  painter->save();
  painter->setClipRect(plot);
  painter->setRenderHint(QPainter::Antialiasing, true);
  const double span = static_cast<double>(to_ - from_);
  auto xOf = [&](int64_t ms) { return plot.left() + static_cast<double>(ms - from_) / span * plot.width(); };

  for (size_t i = 0; i < trend::kVariableCount; ++i) {
    const Variable& v = variables_[i];
    if (!v.unit || !v.series->isVisible()) continue;
    // A cosmetic pen of one pixel: Qt draws it with its fast line
    // rasteriser, where a wider pen strokes the polyline's outline first
    // (over a second for a day's dense zigzag).
    QPen pen(kColors[i]);
    pen.setWidth(1);
    pen.setCosmetic(true);
    painter->setPen(pen);
    painter->setBrush(kColors[i]);
    QPolygonF polyline;
    for (const auto& run : v.line.runs) {
      if (run.size() == 1) {
        painter->drawEllipse(QPointF(xOf(run[0].ms), yOf(v, run[0].value, plot)), kDotRadius, kDotRadius);
        continue;
      }
      polyline.clear();
      polyline.reserve(static_cast<qsizetype>(run.size()));
      for (const trend::XY& p : run) polyline << QPointF(xOf(p.ms), yOf(v, p.value, plot));
      painter->drawPolyline(polyline);
    }
  }

  const Variable& primary = variables_[1];
  if (primary.unit) {
    for (size_t i = 0; i < relays_.size(); ++i) {
      const trend::RelayLimit& r = relays_[i];
      // Relays at the same limit share one line and one label.
      const auto same = [&](const trend::RelayLimit& o) {
        return o.value == r.value && o.upper == r.upper && o.alarmOn == r.alarmOn;
      };
      if (std::any_of(relays_.begin(), relays_.begin() + static_cast<std::ptrdiff_t>(i), same)) continue;
      QString label = QString::fromStdString(r.label());
      for (size_t j = i + 1; j < relays_.size(); ++j) {
        if (same(relays_[j])) label.replace(QStringLiteral(" ("), QStringLiteral(" and %1 (").arg(relays_[j].relay));
      }
      const double y = yOf(primary, r.value, plot);
      QPen pen(r.upper ? kUpperLimitColor : kLowerLimitColor);
      pen.setStyle(r.alarmOn ? Qt::DashLine : Qt::DotLine);
      pen.setWidthF(kLineWidth);
      painter->setPen(pen);
      painter->drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
      // Above its line, or below it where the plot's top would cut it.
      const double textHeight = painter->fontMetrics().height();
      const double labelY = y - kLabelGap - textHeight < plot.top() ? y + kLabelGap + textHeight * 0.8 : y - kLabelGap;
      painter->drawText(QPointF(plot.left() + kLabelGap, labelY), label);
    }
  }
  painter->restore();
}

QString TrendChart::pointText(QPointF pos) const {
  if (!store_ || store_->empty()) return {};
  const QRectF plot = plotRect();
  const QPointF at = mapToScene(pos.toPoint());
  if (!plot.contains(at)) return {};
  const double span = static_cast<double>(to_ - from_);
  const auto ms = from_ + static_cast<int64_t>((at.x() - plot.left()) / plot.width() * span);
  const auto [first, last] = store_->range(from_, to_);
  if (first >= last) return {};
  // The point taken nearest that time.
  const size_t next = std::min(store_->range(from_, ms).second, last - 1);
  size_t nearest = next;
  if (next > first && ms - store_->at(next - 1).ms < store_->at(next).ms - ms) nearest = next - 1;
  const trend::Point& p = store_->at(nearest);
  const double x = plot.left() + static_cast<double>(p.ms - from_) / span * plot.width();
  if (std::abs(x - at.x()) > kHoverPixels) return {};

  const QString time = QDateTime::fromMSecsSinceEpoch(p.ms).toString(QStringLiteral("HH:mm:ss"));
  if (p.gap()) {
    switch (p.missing) {
      case trend::Missing::NoAnswer:
        return time + QStringLiteral(" \u00b7 no answer");
      case trend::Missing::BadReply:
        return time + QStringLiteral(" \u00b7 reply not used");
      case trend::Missing::NotPolled:
      case trend::Missing::None:
        return time + QStringLiteral(" \u00b7 not polled");
    }
  }
  // The variable whose line passes nearest the mouse.
  std::optional<size_t> best;
  double bestDistance = 0;
  for (size_t i = 0; i < trend::kVariableCount; ++i) {
    const Variable& v = variables_[i];
    if (!v.unit || !p.hasIn(i, *v.unit) || !v.series->isVisible()) continue;
    const double d = std::abs(yOf(v, p.values[i], plot) - at.y());
    if (!best || d < bestDistance) {
      best = i;
      bestDistance = d;
    }
  }
  if (!best) return {};
  const size_t i = *best;
  return time + QStringLiteral(" \u00b7 ") + trendVariableName(i) + QLatin1Char(' ') +
         QLocale().toString(static_cast<double>(p.values[i]), 'g', 7) + QLatin1Char(' ') + unitText(p.units[i]);
}

void TrendChart::mouseMoveEvent(QMouseEvent* event) {
  QChartView::mouseMoveEvent(event);
  const QString text = pointText(event->position());
  if (text.isEmpty()) {
    QToolTip::hideText();
  } else {
    QToolTip::showText(event->globalPosition().toPoint(), text, this);
  }
}

void TrendChart::resizeEvent(QResizeEvent* event) {
  QChartView::resizeEvent(event);
  rebuild();  // as many columns as the plot is wide
}

}  // namespace tq::ui
