// Block-end latency: from the far end's last byte to OnReceiveData on the
// window's thread, less the 100 ms of silence that ends a block.
#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <thread>

#include "bench_support.h"
#include "serial/TComm.h"
#include "support/pty.h"

using namespace tq;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int replies = argc > 1 ? std::atoi(argv[1]) : 300;
  const std::string reply = "QV:12 a typical reply of the module#";

  testing::Pty pty;
  serial::TComm comm;
  comm.CommName = pty.slavePath();
  comm.setOutx_XonXoffFlow(false);
  comm.setInx_XonXoffFlow(false);

  std::vector<double> sentAt(replies), overheadMs;
  std::atomic<int> delivered{0};
  comm.OnReceiveData = [&](serial::TComm*, const uint8_t*, uint16_t) {
    const double now = bench::nowMs();
    const int i = delivered.load();
    overheadMs.push_back(now - sentAt[i] - comm.ReadIntervalTimeout());
    delivered.store(i + 1);
    if (i + 1 == replies) app.quit();
  };
  comm.OpenPort();

  std::thread peer([&] {
    for (int i = 0; i < replies; ++i) {
      pty.write(reply);
      sentAt[i] = bench::nowMs();
      while (delivered.load() <= i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
      std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
  });
  app.exec();
  peer.join();
  comm.ClosePort();

  std::printf("block-end latency over a pty, %d replies of %zu bytes, interval %u ms\n", replies, reply.size(),
              comm.ReadIntervalTimeout());
  std::printf("  overhead beyond the silence: p50 %.3f ms  p99 %.3f ms  max %.3f ms\n",
              bench::percentile(overheadMs, 50), bench::percentile(overheadMs, 99),
              bench::percentile(overheadMs, 100));
  std::fflush(stdout);

  // The same measurement through pyserial, for comparison.
  const std::string command = std::string("/usr/bin/python3 ") + PYSERIAL_SCRIPT + " 2>&1";
  if (FILE* p = ::popen(command.c_str(), "r")) {
    char line[512];
    while (std::fgets(line, sizeof line, p)) std::fputs(line, stdout);
    ::pclose(p);
  }
  return 0;
}
