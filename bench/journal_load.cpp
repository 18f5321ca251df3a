// What the exchange journal costs the window, through the real window
// offscreen with the journal shown:
//   per block: the window's thread journaling a received block (its
//   dissection, the ring, the view told of the new row), for the blocks the
//   pages meet and a 2048-byte block of noise, with the ring full so the
//   oldest entries go as new ones come
//   flood: a far end writing without pause for a while, the journal shown
//   and hidden in turn, with the receive pause and without it: the tool's
//   resident memory against idle, and the longest the window's thread was
//   held (the gap between ticks of a 5 ms timer)
//     journal_load [blocks-per-kind] [flood-seconds]   default 2000, 20
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "bench_support.h"
#include "journal/journal.h"
#include "support/process_stats.h"
#include "support/pty.h"
#include "window_support.h"

using namespace tq;
using namespace tq::bench;

namespace {

constexpr int kTickMs = 5;

std::vector<uint8_t> bytes(std::initializer_list<int> list) {
  std::vector<uint8_t> out;
  for (int b : list) out.push_back(static_cast<uint8_t>(b));
  return out;
}
std::vector<uint8_t> text(const std::string& s) { return {s.begin(), s.end()}; }

struct Kind {
  const char* name;
  std::vector<uint8_t> sent;
  std::vector<uint8_t> block;
};

void perBlock(int count) {
  WindowProbe probe(std::make_unique<NoPause>());
  probe.form().findChild<QAction*>("actionJournal")->trigger();
  probe.form().show();
  journal::Journal& journal = probe.form().journal();
  std::vector<Kind> kinds = {
      {"HART reply, command 3",
       bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x82, 0xA6, 0x06, 0x12, 0x34, 0x56, 0x03, 0x00, 0xB0}),
       bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x86, 0xA6, 0x06, 0x12, 0x34, 0x56, 0x03, 0x1A, 0x00,
              0x00, 0x41, 0x40, 0x00, 0x00, 0x13, 0x42, 0x48, 0x00, 0x00, 0x20, 0x41, 0xC8, 0x00,
              0x00, 0x07, 0x3F, 0x80, 0x00, 0x00, 0x2B, 0x44, 0x7A, 0x00, 0x00, 0x5A})},
      {"system parameters reply", text("QQQ#QX1#"), text("QX1#BA1:30#MD:1#ADR:001#XY:0#JTM:010#")},
      {"MODBUS answer, 10 registers", bytes({0x01, 0x03, 0x00, 0x00, 0x00, 0x0A, 0xC5, 0xCD}),
       bytes({0x01, 0x03, 0x14, 0x41, 0x48, 0, 0,    0x42, 0xC8, 0, 0,    0x41, 0x20,
              0,    0,    0x3F, 0x80, 0,    0, 0x44, 0x7A, 0,    0, 0x12, 0x34})},
      {"2048 bytes of noise", text("QQQ#QV#"), std::vector<uint8_t>(2048, 0xA5)},
  };
  for (size_t i = 0; i < kinds[3].block.size(); ++i) kinds[3].block[i] = static_cast<uint8_t>(i * 131 + 7);
  // The ring full: every block from here on makes an old entry go.
  for (size_t i = 0; i < journal.limits().maxEntries; ++i) journal.event("filler", {0, nowNs()});
  QApplication::processEvents();

  std::printf("Journaling a received block on the window's thread (ring full, journal shown), %d each:\n", count);
  for (const Kind& kind : kinds) {
    std::vector<double> samples;
    for (int i = 0; i < count; ++i) {
      journal.sent(kind.sent, {0, nowNs()});
      const int64_t start = nowNs();
      journal.received(kind.block, {0, start});
      samples.push_back(static_cast<double>(nowNs() - start) / 1e6);
      if (i % 50 == 0) QApplication::processEvents();  // the view paints now and then, as it would
    }
    std::printf("  %-30s %s  %s\n", kind.name, summary(samples, "ms", 4).c_str(), loadNote().c_str());
  }
}

// A far end that writes without pause until stopped, and reads what comes.
class Flood {
 public:
  explicit Flood(const testing::Pty& pty) : pty_(pty), thread_([this] { run(); }) {}
  ~Flood() {
    stop_ = true;
    thread_.join();
  }

 private:
  void run() {
    std::string chunk(64 * 1024, 'f');
    for (size_t i = 0; i < chunk.size(); i += 7) chunk[i] = static_cast<char>(0xFF);
    while (!stop_) {
      pty_.write(chunk);
      pty_.read(1 << 20, 0);
    }
  }
  const testing::Pty& pty_;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

// With the real 300 ms pause (as an operator has it) the window takes about
// three blocks a second; without it, as many as the line brings, which
// fills the journal to its bounds within seconds.
void flood(int seconds, bool shown, bool realPause) {
  testing::Pty pty;
  WindowProbe probe(realPause ? nullptr : std::make_unique<NoPause>());
  ui::TForm1& form = probe.form();
  form.show();
  if (shown) form.findChild<QAction*>("actionJournal")->trigger();
  std::string failure;
  if (!probe.openPort(pty.slavePath(), &failure)) {
    std::printf("flood: cannot open the pty: %s\n", failure.c_str());
    return;
  }
  QElapsedTimer settle;
  settle.start();
  while (settle.elapsed() < 500) QApplication::processEvents(QEventLoop::AllEvents, 20);
  const long idleKb = testing::residentKb();

  long peakKb = idleKb;
  double longestGapMs = 0;
  int64_t lastTick = nowNs();
  QTimer tick;
  tick.setTimerType(Qt::PreciseTimer);
  QObject::connect(&tick, &QTimer::timeout, [&] {
    const int64_t now = nowNs();
    longestGapMs = std::max(longestGapMs, static_cast<double>(now - lastTick) / 1e6 - kTickMs);
    lastTick = now;
    peakKb = std::max(peakKb, testing::residentKb());
  });
  {
    Flood flood(pty);
    tick.start(kTickMs);
    lastTick = nowNs();
    QElapsedTimer elapsed;
    elapsed.start();
    while (elapsed.elapsed() < seconds * 1000) QApplication::processEvents(QEventLoop::AllEvents, 50);
    tick.stop();
  }
  std::printf(
      "  %-10s journal %-6s  idle %ld kB, peak %+ld kB over idle; window held at most %.0f ms; %zu entries, %llu "
      "dropped, %zu kB of bytes kept  %s\n",
      realPause ? "pause" : "no pause", shown ? "shown" : "hidden", idleKb, peakKb - idleKb, longestGapMs,
      form.journal().size(), static_cast<unsigned long long>(form.journal().dropped()), form.journal().bytes() / 1024,
      loadNote().c_str());
}

}  // namespace

// Each flood runs in a fresh process, so one case's heap is not the next
// one's idle.
constexpr const char* kFloodChild = "--flood-child";

int main(int argc, char** argv) {
  useOffscreenUnlessChosen();
  QApplication app(argc, argv);
  if (argc == 5 && std::strcmp(argv[1], kFloodChild) == 0) {
    flood(std::atoi(argv[2]), std::atoi(argv[3]) != 0, std::atoi(argv[4]) != 0);
    return 0;
  }
  const int count = argc > 1 ? std::atoi(argv[1]) : 2000;
  const int seconds = argc > 2 ? std::atoi(argv[2]) : 20;
  std::printf("%s\n", machineNote().c_str());
  perBlock(count);
  std::printf("A sustained flood for %d s each, each in a fresh process:\n", seconds);
  std::fflush(stdout);
  for (int realPause : {1, 0}) {
    for (int shown : {0, 1}) {
      const std::string command = std::string(argv[0]) + " " + kFloodChild + " " + std::to_string(seconds) + " " +
                                  std::to_string(shown) + " " + std::to_string(realPause) + " 2>/dev/null";
      if (std::system(command.c_str()) != 0) std::printf("  the flood case failed\n");
    }
  }
  return 0;
}
