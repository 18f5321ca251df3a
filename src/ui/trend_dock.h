#pragma once
// The trend's panel, `TrendDock` (Tools ▸ "Trend", Ctrl+T): `TrendRunButton`
// starts and stops polling at `TrendInterval`, `TrendChart` draws the
// points, `TrendTable` gives each variable's last, minimum, maximum and
// mean over what is shown, `TrendExport` writes every point kept as CSV and
// `TrendStatus` says what polling does and why it waits or stopped. Pause
// (`TrendPause`), the span shown (`TrendSpan`), the axes (`TrendAxes`) and
// autoscale (`TrendAutoscale`) change only what is drawn.
#include <QDockWidget>
#include <functional>
#include <vector>

#include "requests/trend_poller.h"
#include "trend/point_store.h"
#include "trend/relay_limits.h"

class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QPushButton;
class QTableWidget;

namespace tq::ui {

class TrendChart;

class TrendDock : public QDockWidget {
  Q_OBJECT

 public:
  struct Host {
    std::function<void(const QString&)> showMessage;
    // Where Export writes; empty: the operator chose none.
    std::function<QString()> askExportFileName;
  };

  TrendDock(requests::TrendPoller& poller, trend::PointStore& store, Host host, QWidget* parent);
  ~TrendDock() override;

  // Writes every point kept as CSV; empty on success, else the reason.
  QString exportTo(const QString& path) const;
  void setRelayLimits(std::vector<trend::RelayLimit> limits);
  // Draws the window anew (a point came, the span or the pause changed).
  void refresh();

  TrendChart& chart() { return *chart_; }
  QTableWidget& table() { return *table_; }
  // The window shown: [from, to] on the trend's clock.
  std::pair<int64_t, int64_t> shownWindow() const;

 protected:
  void showEvent(QShowEvent* event) override;

 private:
  void runToggled(bool on);
  void exportClicked();
  void showState();
  // The table's figures: those of what the chart shows.
  void fillTable();

  requests::TrendPoller& poller_;
  trend::PointStore& store_;
  Host host_;
  QPushButton* run_;
  QDoubleSpinBox* interval_;
  QComboBox* span_;
  QComboBox* axes_;
  QCheckBox* autoscale_;
  QPushButton* pause_;
  QPushButton* export_;
  QLabel* status_;
  TrendChart* chart_;
  QTableWidget* table_;
  std::optional<int64_t> pausedAt_;
  bool settingRun_ = false;  // the run button set by program
};

}  // namespace tq::ui
