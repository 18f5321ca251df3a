#pragma once
// A QTimer with the semantics the engine relies on: start() leaves a running
// timer's period alone, setting the same interval does nothing, a different
// interval restarts a running timer. Ticks come through the event loop, so
// only while the window's thread is idle.
#include <QTimer>

#include "engine/interfaces.h"

namespace tq::ui {

class ToolkitTimer : public QTimer, public engine::Timer {
  Q_OBJECT

 public:
  ToolkitTimer(QObject* parent, const char* name, int intervalMs);

  void start() override;
  void stop() override { QTimer::stop(); }
  bool isActive() const override { return QTimer::isActive(); }
  void setInterval(int ms) override;
  int interval() const override { return QTimer::interval(); }
};

}  // namespace tq::ui
