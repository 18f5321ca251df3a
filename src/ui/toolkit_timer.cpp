#include "ui/toolkit_timer.h"

namespace tq::ui {

ToolkitTimer::ToolkitTimer(QObject* parent, const char* name, int intervalMs) : QTimer(parent) {
  setObjectName(name);
  QTimer::setInterval(intervalMs);
  setTimerType(Qt::PreciseTimer);
}

void ToolkitTimer::start() {
  if (!QTimer::isActive()) QTimer::start();
}

void ToolkitTimer::setInterval(int ms) {
  if (ms == QTimer::interval()) return;
  const bool running = QTimer::isActive();
  QTimer::stop();
  QTimer::setInterval(ms);
  if (running) QTimer::start();
}

}  // namespace tq::ui
