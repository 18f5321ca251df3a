#pragma once
// The banner above the send and receive buffers when the open port hung up
// (an adapter pulled, the device gone, the simulator stopped): which port,
// since when, whether the device is back, and a Reconnect that opens it
// again with the settings it had. While it shows it looks for the device
// twice a second; it never opens the port or sends anything by itself.
// It also says when the port closed because the module took new RS485 line
// settings, with a button that opens it again at those.
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
// The window's rate and parity set to the module's new line settings.
std::vector<Assignment> controlsForLine(const LineSetting& line);

class PortBanner : public QFrame {
  Q_OBJECT

 public:
  // How often the device is looked for while the banner shows.
  static constexpr int kWatchIntervalMs = 500;

  explicit PortBanner(QWidget* parent);

  void showLost(link::LostPort lost, const QTime& at);
  // The port closed after the module was given `line`'s rate and parity.
  void showLineChanged(LineSetting line);
  const std::optional<LineSetting>& lineChanged() const { return moved_; }
  // Hidden, and the device no longer watched.
  void dismiss();
  const std::optional<link::LostPort>& lost() const { return lost_; }
  // Looks for the device now; the watch timer calls it.
  void poll();

 signals:
  void reconnectClicked();
  // PortReopenAtNewSetting: open again at the module's new line settings.
  void reopenClicked();
  // The device came back (once each time it does).
  void deviceReturned(const QString& name);

 private:
  void showText();

  QLabel* text_ = nullptr;
  QPushButton* reconnect_ = nullptr;
  QPushButton* reopen_ = nullptr;
  QTimer* watch_ = nullptr;
  std::optional<link::LostPort> lost_;
  std::optional<LineSetting> moved_;
  QTime at_;
};

}  // namespace tq::ui
