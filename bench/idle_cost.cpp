// CPU used by an open port with nothing arriving.
#include <QCoreApplication>
#include <QTimer>
#include <cstdio>

#include "bench_support.h"
#include "serial/TComm.h"
#include "support/pty.h"

using namespace tq;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  const int seconds = argc > 1 ? std::atoi(argv[1]) : 10;
  testing::Pty pty;
  serial::TComm comm;
  comm.CommName = argc > 2 ? argv[2] : pty.slavePath();
  comm.OpenPort();
  const double cpuBefore = bench::processCpuMs();
  QTimer::singleShot(seconds * 1000, &app, &QCoreApplication::quit);
  app.exec();
  const double cpu = bench::processCpuMs() - cpuBefore;
  comm.ClosePort();
  std::printf("idle open port (%s), %d s: %.2f ms CPU\n", comm.CommName.c_str(), seconds, cpu);
  return 0;
}
