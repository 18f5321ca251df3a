#include "link/toolkit_timer.h"

#include <sys/timerfd.h>
#include <unistd.h>

#include <QSocketNotifier>
#include <cstdint>

namespace tq::link {

namespace {

constexpr long kNsPerMs = 1'000'000;
constexpr long kMsPerS = 1000;

timespec msToTimespec(int ms) { return {ms / kMsPerS, (ms % kMsPerS) * kNsPerMs}; }

}  // namespace

ToolkitTimer::ToolkitTimer(QObject* parent, const char* name, int intervalMs) : QTimer(parent) {
  setObjectName(name);
  QTimer::setInterval(intervalMs);
  setTimerType(Qt::PreciseTimer);
  // Without the waker the timer still works, a millisecond less precise.
  wakerFd_ = ::timerfd_create(CLOCK_MONOTONIC, TFD_NONBLOCK | TFD_CLOEXEC);
  if (wakerFd_ >= 0) {
    waker_ = new QSocketNotifier(wakerFd_, QSocketNotifier::Read, this);
    connect(waker_, &QSocketNotifier::activated, this, [this] { drainWaker(); });
  }
}

ToolkitTimer::~ToolkitTimer() {
  delete waker_;  // stops watching the descriptor before it is closed
  if (wakerFd_ >= 0) ::close(wakerFd_);
}

void ToolkitTimer::start() {
  if (QTimer::isActive()) return;
  QTimer::start();
  armWaker();
}

void ToolkitTimer::stop() {
  QTimer::stop();
  disarmWaker();
}

void ToolkitTimer::setInterval(int ms) {
  if (ms == QTimer::interval()) return;
  const bool running = QTimer::isActive();
  QTimer::stop();
  QTimer::setInterval(ms);
  if (running) {
    QTimer::start();
    armWaker();
  } else {
    disarmWaker();
  }
}

void ToolkitTimer::armWaker() {
  // Armed after QTimer took its deadline, so the loop wakes no earlier than
  // the tick is due; a periodic timer is woken for each period alike.
  const int ms = QTimer::interval();
  if (wakerFd_ < 0 || ms <= 0) return;
  const itimerspec spec{msToTimespec(ms), msToTimespec(ms)};
  ::timerfd_settime(wakerFd_, 0, &spec, nullptr);
}

void ToolkitTimer::disarmWaker() {
  if (wakerFd_ < 0) return;
  const itimerspec off{};
  ::timerfd_settime(wakerFd_, 0, &off, nullptr);  // also forgets an expiry not yet read
}

void ToolkitTimer::drainWaker() {
  // Waking the loop was the whole job; the expiry count is not needed.
  uint64_t expiries = 0;
  [[maybe_unused]] const ssize_t n = ::read(wakerFd_, &expiries, sizeof expiries);
}

}  // namespace tq::link
