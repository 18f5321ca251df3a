// Soak: request/reply cycles against tq580-sim through the real window
// (offscreen), its transaction engine, the serial component and the reply
// decoders, with only the receive handler's 300 ms pause left out. The
// cycles go round the parameter, output, HART and MODBUS queries of the
// pages. Prints missed replies (goal 0) and the tool's resident memory,
// descriptors and threads from start to end (goal flat).
//   soak [cycles]      default 10000; each cycle takes about 0.4 s (the
//                      100 ms silence that ends a block and Timer2's 300 ms)
#include <QApplication>
#include <cstdio>
#include <map>

#include "bench_support.h"
#include "serial/TComm.h"
#include "sim/launcher.h"
#include "soak_steps.h"
#include "support/process_stats.h"
#include "window_support.h"

using namespace tq;
using namespace tq::bench;

namespace {

// Well beyond the slowest cycle; a reply later than this counts as missed.
constexpr int kCycleBoundMs = 5000;

struct Tally {
  int missed = 0;     // no reply within the bound
  int different = 0;  // a reply other than the first one to the same request
  int messages = 0;   // a message box (time-out, refused reply) during the cycle
};

void printSample(const char* when, int cycle, pid_t simulator) {
  std::printf(
      "  %-5s cycle %5d: tool %ld kB resident (heap in use %ld kB), %d descriptors, %d threads; simulator %ld kB"
      "  %s\n",
      when, cycle, testing::residentKb(), heapInUseKb(), testing::openDescriptors(), testing::threads(),
      testing::residentKb(simulator), loadNote().c_str());
  std::fflush(stdout);
}

int soak(int cycles) {
  // Values held still, so every reply to a request is the same bytes.
  sim::SimProcess module({"--units", "8", "--frozen", "0"});
  WindowProbe probe(std::make_unique<NoPause>());
  probe.form().show();
  std::string failure;
  if (!probe.openPort(module.path(), &failure)) {
    std::printf("soak: cannot open %s: %s\n", module.path().c_str(), failure.c_str());
    return 1;
  }

  std::printf(
      "soak: %d request/reply cycles against tq580-sim (%s) through the real window offscreen, engine, serial "
      "component and decoders; the 300 ms receive pause left out\n",
      cycles, module.path().c_str());
  std::printf("machine: %s\n", machineNote().c_str());
  printSample("open", 0, module.pid());

  Tally tally;
  std::map<const char*, QString> firstReply;
  std::vector<double> cycleMs;
  cycleMs.reserve(static_cast<size_t>(cycles));
  const int sampleEvery = std::max(1, cycles / 10);
  const double cpuBefore = processCpuMs();
  const int64_t startNs = nowNs();
  for (int cycle = 1; cycle <= cycles; ++cycle) {
    const SoakStep& step = kSoakSteps[(cycle - 1) % std::size(kSoakSteps)];
    const int decodedBefore = probe.decodedCount();
    const size_t messagesBefore = probe.messages().size();
    const int64_t clickNs = nowNs();
    probe.click(step.button);
    const bool answered = probe.waitUntil(
        [&] {
          return probe.messages().size() > messagesBefore ||
                 (!probe.memo().isEmpty() && (!step.decoded || probe.decodedCount() > decodedBefore));
        },
        kCycleBoundMs);
    cycleMs.push_back((nowNs() - clickNs) / 1e6);
    if (probe.messages().size() > messagesBefore) {
      ++tally.messages;
      std::printf("  cycle %d (%s): message \"%s\"\n", cycle, step.button, probe.messages().back().c_str());
    } else if (!answered) {
      ++tally.missed;
      std::printf("  cycle %d (%s): no reply within %d ms\n", cycle, step.button, kCycleBoundMs);
    } else if (auto [first, isNew] = firstReply.emplace(step.button, probe.memo());
               !isNew && first->second != probe.memo()) {
      ++tally.different;
      std::printf("  cycle %d (%s): reply \"%s\", first \"%s\"\n", cycle, step.button, qPrintable(probe.memo()),
                  qPrintable(first->second));
    }
    if (cycle == std::size(kSoakSteps))
      printSample("warm", cycle, module.pid());
    else if (cycle % sampleEvery == 0 && cycle != cycles)
      printSample("", cycle, module.pid());
  }
  const double seconds = (nowNs() - startNs) / 1e9;
  const double cpuMs = processCpuMs() - cpuBefore;
  printSample("end", cycles, module.pid());

  std::printf("missed replies: %d (goal 0); replies unlike the first to the same request: %d; messages: %d\n",
              tally.missed, tally.different, tally.messages);
  std::printf("bytes dropped on the way in: %llu\n",
              static_cast<unsigned long long>(probe.form().Comm1->receiveOverrunBytes()));
  std::printf("cycle, click to reply shown (and decoded): %s\n", summary(cycleMs).c_str());
  std::printf("%.0f s, tool CPU %.1f ms per cycle\n", seconds, cpuMs / cycles);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const int cycles = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10000;
  useOffscreenUnlessChosen();
  QApplication app(argc, argv);
  try {
    return soak(cycles);
  } catch (const std::exception& e) {
    std::printf("soak: %s\n", e.what());
    return 1;
  }
}
