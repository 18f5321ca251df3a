#pragma once
// The banner above the send and receive buffers when the open port hung up
// (an adapter pulled, the device gone, the simulator stopped): which port,
// since when, whether the device is back, and a Reconnect that opens it
// again with the settings it had. While it shows it looks for the device
// twice a second; it never opens the port or sends anything by itself.
#include <QFrame>
#include <QTime>
#include <optional>
#include <string>
#include <vector>

#include "common/assignment.h"
#include "link/link_arbiter.h"

class QLabel;
class QPushButton;
class QTimer;

namespace tq::ui {

// The controls Button1 opens the port from, set back to the settings the
// lost port had and to the name its device can be opened by now.
std::vector<Assignment> controlsToReopen(const link::LostPort& lost);

class PortBanner : public QFrame {
  Q_OBJECT

 public:
  // How often the device is looked for while the banner shows.
  static constexpr int kWatchIntervalMs = 500;

  explicit PortBanner(QWidget* parent);

  void showLost(link::LostPort lost, const QTime& at);
  // Hidden, and the device no longer watched.
  void dismiss();
  const std::optional<link::LostPort>& lost() const { return lost_; }
  // Looks for the device now; the watch timer calls it.
  void poll();

 signals:
  void reconnectClicked();
  // The device came back (once each time it does).
  void deviceReturned(const QString& name);

 private:
  void showText();

  QLabel* text_ = nullptr;
  QPushButton* reconnect_ = nullptr;
  QTimer* watch_ = nullptr;
  std::optional<link::LostPort> lost_;
  QTime at_;
};

}  // namespace tq::ui
