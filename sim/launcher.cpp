#include "launcher.h"

#include <fcntl.h>
#include <linux/close_range.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace tq::sim {

namespace {

constexpr int kStartTimeoutMs = 5000;
constexpr int kStopTimeoutMs = 3000;
constexpr const char* kListening = "listening on ";

long long monotonicMs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<long long>(ts.tv_sec) * 1000 + ts.tv_nsec / 1'000'000;
}

std::string uniqueLink() {
  static std::atomic<int> counter{0};
  return "/tmp/tq580-sim-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(monotonicMs() % 100000);
}

}  // namespace

SimProcess::SimProcess(std::vector<std::string> extraArgs) : link_(uniqueLink()) {
  // A caller's own --link wins (the simulator takes the last one given).
  for (size_t i = 0; i + 1 < extraArgs.size(); ++i)
    if (extraArgs[i] == "--link") link_ = extraArgs[i + 1];
  int out[2];
  if (pipe2(out, O_CLOEXEC) != 0)
    throw std::runtime_error(std::string("tq580-sim: pipe failed: ") + std::strerror(errno));

  std::vector<std::string> args = {TQ580_SIM_PATH, "--link", link_};
  args.insert(args.end(), extraArgs.begin(), extraArgs.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ < 0) {
    close(out[0]);
    close(out[1]);
    throw std::runtime_error(std::string("tq580-sim: fork failed: ") + std::strerror(errno));
  }
  if (pid_ == 0) {
    // Do not outlive a test that crashed.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(out[1], STDOUT_FILENO);
    // Descriptors of the test (a pty master, say) must not stay open in the
    // simulator, or their other ends never see a hang-up.
    close_range(STDERR_FILENO + 1, ~0u, 0);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);

  // Read the start line, bounded in time.
  std::string text;
  bool ended = false;  // its output closed: the simulator is exiting
  const long long deadline = monotonicMs() + kStartTimeoutMs;
  while (text.find('\n') == std::string::npos) {
    const long long left = deadline - monotonicMs();
    pollfd p{out[0], POLLIN, 0};
    if (left <= 0 || poll(&p, 1, static_cast<int>(left)) <= 0) break;
    char chunk[256];
    const ssize_t n = read(out[0], chunk, sizeof chunk);
    if (n <= 0) {
      ended = true;
      break;
    }
    text.append(chunk, static_cast<size_t>(n));
  }
  close(out[0]);

  const size_t at = text.find(kListening);
  const size_t end = text.find(" (", at == std::string::npos ? 0 : at);
  if (at == std::string::npos || text.find('\n') == std::string::npos) {
    const int status = waitForExit(ended ? kStopTimeoutMs : 0);
    std::string reason = status >= 0 ? "it exited with status " + std::to_string(status) + " (see its error output)"
                                     : "it printed no start line within " + std::to_string(kStartTimeoutMs) + " ms";
    stop();
    throw std::runtime_error(std::string("tq580-sim (") + TQ580_SIM_PATH + ") did not start: " + reason);
  }
  const size_t pathStart = at + std::strlen(kListening);
  const size_t pathEnd = end != std::string::npos ? end : text.find('\n', pathStart);
  path_ = text.substr(pathStart, pathEnd - pathStart);
}

int SimProcess::waitForExit(int timeoutMs) {
  if (reaped_) return -1;
  const long long deadline = monotonicMs() + timeoutMs;
  while (true) {
    int status = 0;
    const pid_t r = waitpid(pid_, &status, WNOHANG);
    if (r == pid_) {
      reaped_ = true;
      return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }
    if (r < 0) {
      reaped_ = true;
      return -1;
    }
    if (monotonicMs() >= deadline) return -1;
    // Short steps: the simulator exits within a few milliseconds of a signal.
    timespec step{0, 2'000'000};
    nanosleep(&step, nullptr);
  }
}

SimProcess::~SimProcess() { stop(); }

void SimProcess::stop() {
  if (pid_ <= 0 || reaped_) return;
  kill(pid_, SIGTERM);
  if (waitForExit(kStopTimeoutMs) < 0 && !reaped_) {
    kill(pid_, SIGKILL);
    waitpid(pid_, nullptr, 0);
    reaped_ = true;
  }
  // Remove the link if the simulator could not, but never one it did not make.
  char target[256];
  const ssize_t n = readlink(link_.c_str(), target, sizeof target - 1);
  if (!path_.empty() && n > 0 && std::string(target, static_cast<size_t>(n)) == path_) unlink(link_.c_str());
}

}  // namespace tq::sim
