// What the real window costs while nothing happens: CPU and wake-ups (all
// threads' context switches) over a quiet spell, first with the port
// closed, then with it open and no byte arriving.
//   idle_cost [seconds] [device]   default 10 s on a pty of its own
// A device that keeps line counters (TIOCGICOUNT) has them looked at every
// 200 ms while the line is quiet, so about 5 wake-ups a second more; a pty
// keeps none, and the output says which the device is.
#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "bench_support.h"
#include "serial/posix_device.h"
#include "support/pty.h"
#include "window_support.h"

using namespace tq;
using namespace tq::bench;

namespace {

bool keepsLineCounters(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return false;
  serial::LineCounters counters;
  const bool kept = serial::readLineCounters(fd, counters) == 0;
  ::close(fd);
  return kept;
}

void settle() {
  QEventLoop loop;
  QTimer::singleShot(500, &loop, &QEventLoop::quit);
  loop.exec();
}

void quietSpell(const char* what, int seconds) {
  const double cpuBefore = processCpuMs();
  const long switchesBefore = contextSwitches();
  QEventLoop loop;
  QTimer::singleShot(seconds * 1000, &loop, &QEventLoop::quit);
  loop.exec();
  const double cpu = processCpuMs() - cpuBefore;
  const long switches = contextSwitches() - switchesBefore;
  std::printf("  %-30s %d s: %.2f ms CPU, %.1f wake-ups/s  %s\n", what, seconds, cpu, double(switches) / seconds,
              loadNote().c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;
  useOffscreenUnlessChosen();
  QApplication app(argc, argv);
  testing::Pty pty;
  const std::string device = argc > 2 ? argv[2] : pty.slavePath();

  WindowProbe probe;
  probe.form().show();
  // Let the first paint and the start-up's one-off work pass.
  settle();

  const bool counters = keepsLineCounters(device);
  std::printf("idle window (platform %s), device %s: %s\n", qgetenv("QT_QPA_PLATFORM").constData(), device.c_str(),
              counters
                  ? "keeps line counters, looked at every 200 ms"
                  : "keeps no line counters (a pty never does), so the receive thread sleeps until a byte or the "
                    "close; a device with counters adds a look every 200 ms, about 5 wake-ups/s, not measured here");
  std::printf("machine: %s\n", machineNote().c_str());
  quietSpell("port closed", seconds);
  std::string failure;
  if (!probe.openPort(device, &failure)) {
    std::printf("  cannot open %s: %s\n", device.c_str(), failure.c_str());
    return 1;
  }
  settle();  // the open's own reports
  quietSpell("port open, nothing arriving", seconds);
  return 0;
}
