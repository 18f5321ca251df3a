#include "ui/trend_dock.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QPushButton>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>
#include <sstream>

#include "common/save_file.h"
#include "hart/command_data.h"
#include "journal/export.h"
#include "trend/csv.h"
#include "trend/interval.h"
#include "ui/trend_chart.h"

namespace tq::ui {

namespace {

// TrendSpan's items, in order, and the span each shows (0: everything kept).
constexpr int64_t kSpans[] = {trend::kMsPerMinute, 10 * trend::kMsPerMinute, trend::kMsPerHour, 0};
constexpr int kDefaultSpan = 1;  // the last 10 minutes
enum Column { NameColumn, LastColumn, MinColumn, MaxColumn, MeanColumn, UnitColumn, ColumnCount };
constexpr int kChartMinimumHeight = 220;

QString number(double value) {
  QLocale locale;
  locale.setNumberOptions(QLocale::OmitGroupSeparator);
  return locale.toString(value, 'g', 7);
}

QString seconds(int64_t ms) {
  return QLocale().toString(static_cast<double>(ms) / 1000, 'g', 6) + QStringLiteral(" s");
}

}  // namespace

TrendDock::TrendDock(requests::TrendPoller& poller, trend::PointStore& store, Host host, QWidget* parent)
    : QDockWidget(QStringLiteral("Trend"), parent), poller_(poller), store_(store), host_(std::move(host)) {
  setObjectName(QStringLiteral("TrendDock"));
  setAllowedAreas(Qt::AllDockWidgetAreas);
  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);

  auto* bar = new QHBoxLayout;
  run_ = new QPushButton(QStringLiteral("Start"), body);
  run_->setObjectName(QStringLiteral("TrendRunButton"));
  run_->setCheckable(true);
  interval_ = new QDoubleSpinBox(body);
  interval_->setObjectName(QStringLiteral("TrendInterval"));
  interval_->setRange(trend::kFastestSeconds, trend::kSlowestSeconds);
  interval_->setDecimals(trend::kIntervalDecimals);
  interval_->setSingleStep(0.5);
  interval_->setValue(trend::kDefaultSeconds);
  interval_->setSuffix(QStringLiteral(" s"));
  interval_->setToolTip(
      QStringLiteral("Polling interval; a poll never starts before the last one's answer or window ended"));
  span_ = new QComboBox(body);
  span_->setObjectName(QStringLiteral("TrendSpan"));
  span_->addItems({QStringLiteral("Last minute"), QStringLiteral("Last 10 minutes"), QStringLiteral("Last hour"),
                   QStringLiteral("Everything")});
  span_->setCurrentIndex(kDefaultSpan);
  axes_ = new QComboBox(body);
  axes_->setObjectName(QStringLiteral("TrendAxes"));
  axes_->addItems({QStringLiteral("Own axis each"), QStringLiteral("Normalised to range")});
  autoscale_ = new QCheckBox(QStringLiteral("Autoscale"), body);
  autoscale_->setObjectName(QStringLiteral("TrendAutoscale"));
  autoscale_->setChecked(true);
  pause_ = new QPushButton(QStringLiteral("Pause"), body);
  pause_->setObjectName(QStringLiteral("TrendPause"));
  pause_->setCheckable(true);
  pause_->setToolTip(QStringLiteral("Holds the picture still; polling goes on"));
  export_ = new QPushButton(QStringLiteral("Export CSV\u2026"), body);
  export_->setObjectName(QStringLiteral("TrendExport"));
  bar->addWidget(run_);
  bar->addWidget(new QLabel(QStringLiteral("Every"), body));
  bar->addWidget(interval_);
  bar->addSpacing(12);
  bar->addWidget(new QLabel(QStringLiteral("Show:"), body));
  bar->addWidget(span_);
  bar->addWidget(axes_);
  bar->addWidget(autoscale_);
  bar->addWidget(pause_);
  bar->addStretch();
  bar->addWidget(export_);
  layout->addLayout(bar);

  status_ = new QLabel(body);
  status_->setObjectName(QStringLiteral("TrendStatus"));
  status_->setWordWrap(true);
  layout->addWidget(status_);

  auto* split = new QSplitter(Qt::Vertical, body);
  chart_ = new TrendChart(split);
  chart_->setMinimumHeight(kChartMinimumHeight);
  table_ = new QTableWidget(static_cast<int>(trend::kVariableCount), ColumnCount, split);
  table_->setObjectName(QStringLiteral("TrendTable"));
  table_->setHorizontalHeaderLabels({QStringLiteral("Variable"), QStringLiteral("Last"), QStringLiteral("Min"),
                                     QStringLiteral("Max"), QStringLiteral("Mean"), QStringLiteral("Unit")});
  table_->verticalHeader()->hide();
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->horizontalHeader()->setSectionResizeMode(QHeaderView::Stretch);
  for (int r = 0; r < table_->rowCount(); ++r) {
    for (int c = 0; c < ColumnCount; ++c) table_->setItem(r, c, new QTableWidgetItem);
    table_->item(r, NameColumn)->setText(trendVariableName(static_cast<size_t>(r)));
  }
  split->addWidget(chart_);
  split->addWidget(table_);
  split->setStretchFactor(0, 3);
  split->setStretchFactor(1, 1);
  layout->addWidget(split, 1);
  setWidget(body);

  connect(run_, &QPushButton::toggled, this, [this](bool on) { runToggled(on); });
  connect(interval_, &QDoubleSpinBox::valueChanged, this, [this](double s) {
    poller_.setInterval(s);
    showState();
  });
  connect(span_, &QComboBox::currentIndexChanged, this, [this] { refresh(); });
  connect(axes_, &QComboBox::currentIndexChanged, this,
          [this](int i) { chart_->setScale(i == 0 ? TrendChart::Scale::OwnAxes : TrendChart::Scale::Normalised); });
  connect(autoscale_, &QCheckBox::toggled, this, [this](bool on) { chart_->setAutoscale(on); });
  connect(pause_, &QPushButton::toggled, this, [this](bool on) {
    pausedAt_ = on ? std::optional<int64_t>(shownWindow().second) : std::nullopt;
    refresh();
  });
  connect(export_, &QPushButton::clicked, this, [this] { exportClicked(); });

  poller_.onPoint = [this] { refresh(); };
  poller_.onState = [this] { showState(); };
  showState();
}

TrendDock::~TrendDock() {
  poller_.onPoint = nullptr;
  poller_.onState = nullptr;
}

// Closed, the panel draws nothing; shown again, it catches up at once.
void TrendDock::showEvent(QShowEvent* event) {
  QDockWidget::showEvent(event);
  refresh();
}

std::pair<int64_t, int64_t> TrendDock::shownWindow() const {
  const int64_t newest = store_.empty() ? poller_.nowMs() : store_.back().ms;
  const int64_t to =
      pausedAt_ ? *pausedAt_
                : std::max(newest, poller_.state() == requests::TrendPoller::State::Stopped ? newest : poller_.nowMs());
  const int64_t span = kSpans[std::clamp(span_->currentIndex(), 0, static_cast<int>(std::size(kSpans)) - 1)];
  const int64_t from = span > 0 ? to - span : (store_.empty() ? to - trend::kMsPerMinute : store_.at(0).ms);
  return {from, to};
}

void TrendDock::refresh() {
  if (isHidden()) {
    showState();
    return;
  }
  const auto [from, to] = shownWindow();
  chart_->showWindow(store_, from, to);
  fillTable();
  showState();
}

void TrendDock::fillTable() {
  for (size_t v = 0; v < trend::kVariableCount; ++v) {
    const int row = static_cast<int>(v);
    const auto unit = chart_->unit(v);
    const trend::WindowStats& s = chart_->stats(v);
    const bool any = s.count > 0;
    table_->item(row, LastColumn)->setText(any ? number(s.last) : QStringLiteral("\u2013"));
    table_->item(row, MinColumn)->setText(any ? number(s.min) : QString());
    table_->item(row, MaxColumn)->setText(any ? number(s.max) : QString());
    table_->item(row, MeanColumn)->setText(any ? number(s.mean) : QString());
    table_->item(row, UnitColumn)->setText(unit ? QString::fromStdString(trendUnitText(*unit)) : QString());
  }
}

void TrendDock::setRelayLimits(std::vector<trend::RelayLimit> limits) { chart_->setRelayLimits(std::move(limits)); }

void TrendDock::runToggled(bool on) {
  if (settingRun_) return;
  try {
    if (on) {
      poller_.start(interval_->value());
    } else {
      poller_.stop();
    }
  } catch (const std::exception& e) {
    host_.showMessage(QString::fromStdString(e.what()));
  }
  showState();
}

void TrendDock::showState() {
  using State = requests::TrendPoller::State;
  const bool polling = poller_.state() != State::Stopped;
  if (run_->isChecked() != polling) {
    settingRun_ = true;
    run_->setChecked(polling);
    settingRun_ = false;
  }
  run_->setText(polling ? QStringLiteral("Stop") : QStringLiteral("Start"));
  export_->setEnabled(!store_.empty());  // nothing to write yet
  QString text;
  if (const auto& instrument = poller_.instrument(); instrument && polling) {
    text = QStringLiteral("Polling the instrument at polling address %1 (device id %2) every %3.")
               .arg(instrument->pollingAddress)
               .arg(hart::deviceIdNumber(instrument->deviceId))
               .arg(seconds(poller_.intervalMs()));
    if (!poller_.note().empty()) text += QLatin1Char(' ') + QString::fromStdString(poller_.note());
  } else {
    text = QString::fromStdString(poller_.note());
  }
  if (!store_.empty())
    text += QStringLiteral(" %1 points kept, %2 of them gaps.").arg(store_.size()).arg(store_.gaps());
  status_->setText(text.trimmed());
}

QString TrendDock::exportTo(const QString& path) const {
  std::ostringstream out;
  trend::writeCsv(
      out, store_, 0, store_.size(), [](int64_t ms) { return journal::dateAndTime(ms); },
      [](uint8_t unit) { return trendUnitText(unit); });
  return QString::fromStdString(saveFile(path.toStdString(), out.str()));
}

void TrendDock::exportClicked() {
  const QString path = host_.askExportFileName ? host_.askExportFileName() : QString();
  if (path.isEmpty()) return;
  const QString reason = exportTo(path);
  if (!reason.isEmpty()) {
    host_.showMessage(QStringLiteral("The trend could not be saved to %1: %2. The points are kept.").arg(path, reason));
  }
}

}  // namespace tq::ui
