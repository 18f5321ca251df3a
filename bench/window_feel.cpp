// What an operator feels, through the real window offscreen:
//   reply shown and decoded: the communication query answered by this
//   program on a pty, with the real 300 ms pause; from the reply's last byte
//   to Memo10 showing it and to its parse having written the controls (the
//   design: 100 ms of silence + 300 ms pause = 400 ms, + 300 ms Timer2 = 700)
//   round trip: a click to decoded controls against tq580-sim, the
//   communication and system queries in turn
//   start-up: from starting the program to the window's first paint, and
//   its resident memory then, each in a fresh process
//     window_feel [samples]       default 100 (start-ups: a fifth of them)
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QTimer>
#include <cstdio>
#include <cstring>

#include "bench_support.h"
#include "sim/launcher.h"
#include "support/process_stats.h"
#include "support/pty.h"
#include "window_support.h"

extern char** environ;

using namespace tq;
using namespace tq::bench;

namespace {

constexpr int kBoundMs = 5000;
constexpr double kShownDesignMs = 400;
constexpr double kDecodedDesignMs = 700;
constexpr double kTimer2Ms = 300;
constexpr double kPauseMs = 300;
constexpr double kSilenceMs = 100;
const char* const kStartupChild = "--startup-child";

void replyTiming(int samples) {
  testing::Pty pty;
  WindowProbe probe;  // the real pause
  std::string failure;
  if (!probe.openPort(pty.slavePath(), &failure)) {
    std::printf("reply timing: cannot open the pty: %s\n", failure.c_str());
    return;
  }
  const std::string request = "QQQ#QV#", reply = "QV:22#";
  std::vector<double> shown, decoded, handedOver, pauseAndShow, timer2Late, parse;
  int failed = 0;
  for (int i = 0; i < samples; ++i) {
    probe.click("Button6");
    if (pty.read(request.size(), kBoundMs) != request) {
      ++failed;
      continue;
    }
    const int before = probe.decodedCount();
    pty.write(reply);
    const int64_t sentNs = nowNs();
    if (!probe.waitUntil([&] { return probe.decodedCount() > before; }, kBoundMs) ||
        probe.form().engine().pendingCode() != 0 || !probe.messages().empty()) {
      ++failed;
      continue;
    }
    shown.push_back((probe.shownNs() - sentNs) / 1e6);
    decoded.push_back((probe.decodedNs() - sentNs) / 1e6);
    handedOver.push_back((probe.commReportNs() - sentNs) / 1e6 - kSilenceMs);
    pauseAndShow.push_back((probe.shownNs() - probe.commReportNs()) / 1e6 - kPauseMs);
    timer2Late.push_back((probe.timer2FiredNs() - probe.shownNs()) / 1e6 - kTimer2Ms);
    parse.push_back((probe.decodedNs() - probe.timer2FiredNs()) / 1e6);
  }
  auto beyond = [](std::vector<double> v, double design) {
    for (double& x : v) x -= design;
    return v;
  };
  std::printf("reply on a pty, from its last byte, %d communication queries with the real 300 ms pause\n", samples);
  std::printf("  shown in Memo10   %s  %s\n", summary(shown).c_str(), loadNote().c_str());
  std::printf("    beyond 400 ms   %s  (goal at most 1.5 ms)\n", summary(beyond(shown, kShownDesignMs)).c_str());
  std::printf("    of which: the block reaching the window's thread, beyond the 100 ms silence  %s\n",
              summary(handedOver).c_str());
  std::printf("              the pause and Memo10 showing the reply, beyond the 300 ms pause    %s\n",
              summary(pauseAndShow).c_str());
  std::printf("  decoded           %s  %s\n", summary(decoded).c_str(), loadNote().c_str());
  std::printf("    beyond 700 ms   %s  (goal at most 1.5 ms)\n", summary(beyond(decoded, kDecodedDesignMs)).c_str());
  std::printf("    of which: Timer2's tick after the reply was shown, beyond its 300 ms        %s\n",
              summary(timer2Late).c_str());
  std::printf("              the parse writing the controls                                  %s\n",
              summary(parse).c_str());
  if (failed > 0) std::printf("  %d samples failed\n", failed);
  std::fflush(stdout);
}

void roundTrip(int samples) {
  sim::SimProcess module({"--units", "8"});
  WindowProbe probe;  // the real pause
  std::string failure;
  if (!probe.openPort(module.path(), &failure)) {
    std::printf("round trip: cannot open the simulator's pty: %s\n", failure.c_str());
    return;
  }
  const char* const buttons[] = {"Button6", "Button23"};
  std::vector<double> times[2];
  int failed = 0;
  for (int i = 0; i < samples; ++i) {
    const int which = i % 2;
    const int before = probe.decodedCount();
    const size_t messages = probe.messages().size();
    const int64_t clickNs = nowNs();
    probe.click(buttons[which]);
    if (!probe.waitUntil([&] { return probe.decodedCount() > before; }, kBoundMs) ||
        probe.messages().size() != messages) {
      ++failed;
      continue;
    }
    times[which].push_back((probe.decodedNs() - clickNs) / 1e6);
  }
  std::printf("round trip against tq580-sim on a pty (no line time), click to decoded controls, real pause\n");
  std::printf("  communication query (Button6)  %s  %s\n", summary(times[0]).c_str(), loadNote().c_str());
  std::printf("  system query (Button23)        %s  %s\n", summary(times[1]).c_str(), loadNote().c_str());
  if (failed > 0) std::printf("  %d samples failed\n", failed);
  std::fflush(stdout);
}

// Runs in the fresh process: the window as the program shows it, and one
// line once its first paint is done.
int startupChild(int argc, char** argv) {
  const int64_t mainNs = nowNs();
  QApplication app(argc, argv);
  ui::TForm1 form;
  struct FirstPaint : QObject {
    int64_t mainNs = 0;
    bool seen = false;
    bool eventFilter(QObject*, QEvent* e) override {
      if (e->type() == QEvent::Paint && !seen) {
        seen = true;
        // After this pass has painted every control.
        QTimer::singleShot(0, [this] {
          std::printf("painted %lld %lld %ld\n", static_cast<long long>(mainNs), static_cast<long long>(nowNs()),
                      testing::residentKb());
          std::fflush(stdout);
          QCoreApplication::quit();
        });
      }
      return false;
    }
  } firstPaint;
  firstPaint.mainNs = mainNs;
  form.installEventFilter(&firstPaint);
  form.show();
  QTimer::singleShot(kBoundMs, &app, &QCoreApplication::quit);
  return app.exec();
}

void startup(int samples) {
  std::vector<double> toMain, toPaint, residentMb;
  for (int i = 0; i < samples; ++i) {
    int out[2];
    if (::pipe(out) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    char self[] = "/proc/self/exe";
    char child[32];
    std::strcpy(child, kStartupChild);
    char* argv[] = {self, child, nullptr};
    pid_t pid = -1;
    const int64_t startNs = nowNs();
    const int spawned = posix_spawn(&pid, self, &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    std::string line;
    char chunk[256];
    for (ssize_t n; spawned == 0 && (n = ::read(out[0], chunk, sizeof chunk)) > 0;) line.append(chunk, size_t(n));
    ::close(out[0]);
    if (spawned == 0) ::waitpid(pid, nullptr, 0);
    long long mainNs = 0, paintNs = 0;
    long rss = 0;
    if (std::sscanf(line.c_str(), "painted %lld %lld %ld", &mainNs, &paintNs, &rss) != 3) continue;
    toMain.push_back((mainNs - startNs) / 1e6);
    toPaint.push_back((paintNs - startNs) / 1e6);
    residentMb.push_back(rss / 1024.0);
  }
  std::printf("start-up, %d fresh processes (platform %s)\n", samples, qgetenv("QT_QPA_PLATFORM").constData());
  std::printf("  to main()         %s  %s\n", summary(toMain).c_str(), loadNote().c_str());
  std::printf("  to first paint    %s  %s\n", summary(toPaint).c_str(), loadNote().c_str());
  std::printf("  resident then     %s\n", summary(residentMb, "MB", 1).c_str());
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  useOffscreenUnlessChosen();
  if (argc > 1 && std::strcmp(argv[1], kStartupChild) == 0) return startupChild(argc, argv);
  const int samples = argc > 1 ? std::max(2, std::atoi(argv[1])) : 100;
  QApplication app(argc, argv);
  std::printf("what the operator feels, through the real window\nmachine: %s\nstart: %s\n\n", machineNote().c_str(),
              loadNote().c_str());
  replyTiming(samples);
  try {
    roundTrip(samples);
  } catch (const std::exception& e) {
    std::printf("round trip: %s\n", e.what());
  }
  startup(std::max(2, samples / 5));
  std::printf("\nend: %s\n", loadNote().c_str());
  return 0;
}
