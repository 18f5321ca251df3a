// Bytes per second delivered from a pty flood, with nothing lost.
#include <QCoreApplication>
#include <cstdio>
#include <thread>

#include "bench_support.h"
#include "serial/TComm.h"
#include "support/pty.h"

using namespace tq;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const size_t total = (argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 32) * 1024 * 1024;
  std::string pattern(4096, '\0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>((i * 31 + 7) % 256);

  testing::Pty pty;
  serial::TComm comm;
  comm.CommName = pty.slavePath();
  comm.setOutx_XonXoffFlow(false);
  comm.setInx_XonXoffFlow(false);
  size_t received = 0, blocks = 0, mismatches = 0;
  comm.OnReceiveData = [&](serial::TComm*, const uint8_t* buffer, uint16_t length) {
    for (size_t i = 0; i < length; ++i) {
      if (buffer[i] != static_cast<uint8_t>(pattern[(received + i) % pattern.size()])) ++mismatches;
    }
    received += length;
    ++blocks;
    if (received >= total) app.quit();
  };
  comm.OpenPort();
  const double cpuBefore = bench::processCpuMs();
  const double start = bench::nowMs();
  std::thread peer([&] {
    for (size_t sent = 0; sent < total; sent += pattern.size()) pty.write(pattern);
  });
  app.exec();
  const double elapsed = bench::nowMs() - start;
  const double cpu = bench::processCpuMs() - cpuBefore;
  peer.join();
  comm.ClosePort();
  const double mb = double(received) / (1024 * 1024);
  std::printf("pty flood: %.1f MB in %zu blocks, %.1f MB/s, %.1f ms CPU per MB (both ends), %zu bytes wrong, %zd lost\n",
              mb, blocks, mb / (elapsed / 1000), cpu / mb, mismatches, static_cast<ssize_t>(total) - static_cast<ssize_t>(received));
  return 0;
}
