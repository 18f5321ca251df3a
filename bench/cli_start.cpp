// tq580-cli beside the window:
//   start: `tq580-cli --help` from spawn to exit, each a fresh process;
//   read:  `tq580-cli read` of a 4-unit module and its instrument against
//          the paced simulator, from spawn to exit (start, open, Read
//          Module, output, close), beside the window's Read Module on the
//          same simulator from the click to its end (the port open before);
//          the command line's peak resident memory (sampled every 2 ms, so
//          a --help run may end between two samples).
//   cli_start [starts] [reads]   default 50 starts, 5 reads of each
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QAction>
#include <QApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "bench_support.h"
#include "sim/launcher.h"
#include "ui/read_module.h"
#include "window_support.h"

extern char** environ;

namespace {

using tq::bench::nowMs;

constexpr useconds_t kSampleUs = 2000;

struct Exit {
  double ms = 0;
  long maxRssKb = 0;
  int status = -1;
};

// Spawns tq580-cli with `args`, its output to /dev/null, and waits.
Exit runCli(const std::vector<std::string>& args) {
  std::vector<std::string> words{TQ580_CLI_PATH};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(w.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  Exit exit;
  const double start = nowMs();
  pid_t pid = -1;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return exit;
  // Its peak resident memory, sampled while it runs: a spawned child's
  // rusage also counts the memory of the parent it was spawned from.
  int status = 0;
  for (;;) {
    std::ifstream proc("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(proc, line);) {
      if (line.starts_with("VmHWM:")) exit.maxRssKb = std::max(exit.maxRssKb, std::atol(line.c_str() + 6));
    }
    if (::waitpid(pid, &status, WNOHANG) == pid) break;
    ::usleep(kSampleUs);
  }
  exit.ms = nowMs() - start;
  exit.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return exit;
}

// The window's Read Module, from the action to its end; -1 when it failed.
double windowRead(tq::bench::WindowProbe& probe) {
  tq::ui::ReadModule& read = probe.form().readModule();
  QEventLoop loop;
  double end = -1;
  bool completed = false;
  auto before = read.onFinished;
  read.onFinished = [&](const tq::requests::ModuleReader::Finished& f) {
    if (before) before(f);
    end = nowMs();
    completed = f.outcome == tq::requests::ModuleReader::Outcome::Completed;
    loop.quit();
  };
  const double start = nowMs();
  probe.form().findChild<QAction*>(QStringLiteral("actionReadModule"))->trigger();
  QTimer::singleShot(120000, &loop, &QEventLoop::quit);
  loop.exec();
  read.onFinished = before;
  return completed ? end - start : -1;
}

}  // namespace

int main(int argc, char** argv) {
  const int starts = argc > 1 ? std::max(1, std::atoi(argv[1])) : 50;
  const int reads = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
  tq::bench::useOffscreenUnlessChosen();
  QApplication app(argc, argv);
  std::printf("%s\n", tq::bench::machineNote().c_str());

  std::vector<double> help;
  long helpRss = 0;
  for (int i = 0; i < starts; ++i) {
    const Exit e = runCli({"--help"});
    if (e.status != 0) {
      std::printf("tq580-cli --help failed (%d)\n", e.status);
      return 1;
    }
    help.push_back(e.ms);
    helpRss = std::max(helpRss, e.maxRssKb);
  }
  std::printf("tq580-cli --help, spawn to exit: %s; peak resident %ld kB  %s\n", tq::bench::summary(help).c_str(),
              helpRss, tq::bench::loadNote().c_str());

  tq::sim::SimProcess sim({"--pace", "--units", "4"});
  tq::bench::WindowProbe probe;
  std::string message;
  // The window's port is closed while the command line reads: one holder at a time.
  std::vector<double> cli, window;
  long readRss = 0;
  for (int i = 0; i < reads; ++i) {
    const Exit e = runCli({"--port", sim.path(), "read"});
    if (e.status != 0) {
      std::printf("tq580-cli read failed (%d)\n", e.status);
      return 1;
    }
    cli.push_back(e.ms);
    readRss = std::max(readRss, e.maxRssKb);
    if (!probe.openPort(sim.path(), &message)) {
      std::printf("the window could not open %s: %s\n", sim.path().c_str(), message.c_str());
      return 1;
    }
    const double ms = windowRead(probe);
    probe.click("Button1");  // closes the port again
    if (ms < 0) {
      std::printf("the window's Read Module did not complete\n");
      return 1;
    }
    window.push_back(ms);
  }
  const double ratio = tq::bench::percentile(cli, 50) / tq::bench::percentile(window, 50);
  std::printf("read, 4 units and the instrument, paced simulator at 9600 baud:\n");
  std::printf("  tq580-cli read, spawn to exit:       %s\n", tq::bench::summary(cli, "ms", 1).c_str());
  std::printf("  window Read Module, click to end:    %s\n", tq::bench::summary(window, "ms", 1).c_str());
  std::printf("  command line / window (p50): %.3f; tq580-cli peak resident %ld kB  %s\n", ratio, readRss,
              tq::bench::loadNote().c_str());
  return 0;
}
