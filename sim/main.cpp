// tq580-sim: the module on a pty (or a real port), driven by a poll loop that
// sleeps until input, a signal or the next scheduled answer.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/signalfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <optional>
#include <string>
#include <vector>

#include "line_settings.h"
#include "options.h"
#include "simulator.h"

namespace {

using tq::sim::Micros;

constexpr size_t kReadChunk = 4096;
// Before hanging up, the last answer gets up to this long to be read by the
// tool, and at least the minimum to cross the pty.
constexpr Micros kHangUpGraceUs = 1'000'000;
constexpr Micros kHangUpMinimumUs = 20'000;
constexpr Micros kHangUpCheckUs = 10'000;

Micros nowUs() {
  timespec ts{};
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<Micros>(ts.tv_sec) * 1'000'000 + ts.tv_nsec / 1000;
}

[[noreturn]] void fail(const std::string& message) {
  std::fprintf(stderr, "tq580-sim: %s\n", message.c_str());
  std::exit(1);
}

struct Line {
  int fd = -1;
  int heldSlave = -1;   // our own slave descriptor: the master never sees EIO
  int closeWatch = -1;  // inotify: the tool closed its end of the pty
  bool pty = false;
  std::string path;
};

Line openPty() {
  Line line;
  line.pty = true;
  line.fd = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (line.fd < 0 || grantpt(line.fd) != 0 || unlockpt(line.fd) != 0)
    fail(std::string("cannot create a pty: ") + std::strerror(errno));
  char name[128];
  if (ptsname_r(line.fd, name, sizeof name) != 0) fail(std::string("cannot name the pty: ") + std::strerror(errno));
  line.path = name;
  // Held open for our whole life, so the tool may close and reopen its end.
  line.heldSlave = open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (line.heldSlave < 0) fail("cannot open " + line.path + ": " + std::strerror(errno));
  // Raw from the start: an echoing slave would send our answers back to us.
  if (auto error = tq::sim::makeRaw(line.heldSlave, std::nullopt); !error.empty()) fail(line.path + ": " + error);
  // On a real port the last close ends an exclusive open (TIOCEXCL). A pty
  // keeps the flag while its master lives, so a tool that opened it
  // exclusively could not open it again (unless root): we end it ourselves
  // whenever the tool closes the port.
  line.closeWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (line.closeWatch >= 0 && inotify_add_watch(line.closeWatch, name, IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    close(line.closeWatch);
    line.closeWatch = -1;
  }
  if (line.closeWatch < 0)
    std::fprintf(stderr,
                 "tq580-sim: cannot watch %s for closes (%s); an exclusive open will outlast the tool's close\n", name,
                 std::strerror(errno));
  return line;
}

Line openDevice(const std::string& path, const tq::sim::SerialLine& settings) {
  Line line;
  line.path = path;
  line.fd = open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (line.fd < 0) fail("cannot open " + path + ": " + std::strerror(errno));
  if (!isatty(line.fd)) fail(path + " is not a serial port");
  if (auto error = tq::sim::makeRaw(line.fd, settings); !error.empty()) fail(path + ": " + error);
  return line;
}

// The link to the pty; a link whose target is gone is left over from an
// earlier run and is replaced.
void makeLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0) {
    if (!S_ISLNK(st.st_mode)) fail(link + " exists and is not a symbolic link; choose another --link");
    struct stat targetStat {};
    if (stat(link.c_str(), &targetStat) == 0)
      fail(link + " already links to a live terminal (another tq580-sim?); remove it or choose another --link");
    if (unlink(link.c_str()) != 0) fail("cannot replace the stale link " + link + ": " + std::strerror(errno));
  }
  if (symlink(target.c_str(), link.c_str()) != 0) fail("cannot create the link " + link + ": " + std::strerror(errno));
}

tq::sim::LineTiming timingOf(const tq::sim::SerialLine& line) { return {line.baud, line.bitsPerChar()}; }

void writeAll(int fd, const std::vector<uint8_t>& bytes, bool verbose) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else {
      // Nobody reads the line (the tool's port is closed and its queue full):
      // like a real line, the rest is lost.
      if (verbose) std::fprintf(stderr, "tq580-sim: %zu bytes lost, nobody is reading\n", bytes.size() - done);
      return;
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const auto parsed = tq::sim::parseOptions(std::vector<std::string>(argv + 1, argv + argc));
  if (const auto* error = std::get_if<std::string>(&parsed)) {
    std::fprintf(stderr, "tq580-sim: %s\n", error->c_str());
    return 2;
  }
  const auto& options = std::get<tq::sim::Options>(parsed);
  if (options.help) {
    std::fputs(tq::sim::helpText().c_str(), stdout);
    return 0;
  }

  // Whoever started us may stop reading our standard output.
  signal(SIGPIPE, SIG_IGN);
  sigset_t stopSignals;
  sigemptyset(&stopSignals);
  sigaddset(&stopSignals, SIGINT);
  sigaddset(&stopSignals, SIGTERM);
  sigaddset(&stopSignals, SIGHUP);
  sigprocmask(SIG_BLOCK, &stopSignals, nullptr);
  const int signalFd = signalfd(-1, &stopSignals, SFD_CLOEXEC);
  if (signalFd < 0) fail(std::string("signalfd: ") + std::strerror(errno));

  Line line = options.device ? openDevice(*options.device, options.line) : openPty();
  const bool linked = !options.device;
  if (linked) makeLink(options.link, line.path);
  if (linked)
    std::printf("tq580-sim: listening on %s (linked at %s)\n", line.path.c_str(), options.link.c_str());
  else
    std::printf("tq580-sim: listening on %s\n", line.path.c_str());
  std::fflush(stdout);

  const Micros start = nowUs();
  tq::sim::SimConfig config = options.sim;
  // A real port's rate is ours to choose (--baud), not the tool's to report.
  if (options.device) config.strictLine = false;
  tq::sim::Simulator sim(config, start);
  sim.setLineTiming(timingOf(options.line));

  int status = 0;
  std::optional<Micros> hangUpSince;
  std::vector<uint8_t> buffer(kReadChunk);
  while (true) {
    // Taken every time round, so the log never outgrows one turn's traffic.
    const auto log = sim.takeLog();
    if (options.verbose) {
      const double t = static_cast<double>(nowUs() - start) / 1e6;
      for (const auto& text : log) std::fprintf(stderr, "[%9.3f] %s\n", t, text.c_str());
    }
    std::optional<Micros> deadline = sim.nextDeadline();
    if (sim.hangUpDue()) {
      // Closing a pty master can discard what the tool has not read yet.
      int unread = 0;
      if (!hangUpSince) hangUpSince = nowUs();
      const Micros waited = nowUs() - *hangUpSince;
      const bool drained = ioctl(line.heldSlave, FIONREAD, &unread) != 0 || unread == 0;
      if (!line.pty || (drained && waited >= kHangUpMinimumUs) || waited >= kHangUpGraceUs) {
        std::fprintf(stderr, "tq580-sim: hanging up as asked\n");
        break;
      }
      deadline = nowUs() + kHangUpCheckUs;
    }
    timespec timeout{};
    timespec* wait = nullptr;
    if (deadline) {
      const Micros left = std::max<Micros>(0, *deadline - nowUs());
      timeout.tv_sec = left / 1'000'000;
      timeout.tv_nsec = (left % 1'000'000) * 1000;
      wait = &timeout;
    }
    pollfd fds[3] = {{line.fd, POLLIN, 0}, {signalFd, POLLIN, 0}, {line.closeWatch, POLLIN, 0}};
    const int ready = ppoll(fds, line.closeWatch >= 0 ? 3 : 2, wait, nullptr);
    if (ready < 0 && errno != EINTR) {
      std::fprintf(stderr, "tq580-sim: poll: %s\n", std::strerror(errno));
      status = 1;
      break;
    }
    if (ready > 0 && (fds[1].revents & POLLIN)) break;
    if (ready > 0 && line.closeWatch >= 0 && (fds[2].revents & POLLIN)) {
      char events[4096];
      while (read(line.closeWatch, events, sizeof events) > 0) {
      }
      ioctl(line.heldSlave, TIOCNXCL);
    }
    if (ready > 0 && (fds[0].revents & (POLLIN | POLLHUP | POLLERR))) {
      const ssize_t n = read(line.fd, buffer.data(), buffer.size());
      if (n > 0) {
        if (line.pty) {
          // The tool's own line settings, for pacing at its rate.
          if (const auto settings = tq::sim::readSerialLine(line.fd)) sim.setLineTiming(timingOf(*settings));
        }
        sim.receive(std::span(buffer.data(), static_cast<size_t>(n)), nowUs());
      } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
        // A port that was pulled reads 0 or fails for ever: stop instead of spinning.
        std::fprintf(stderr, "tq580-sim: %s hung up\n", line.path.c_str());
        status = 1;
        break;
      }
    }
    const auto due = sim.poll(nowUs());
    if (!due.empty()) writeAll(line.fd, due, options.verbose);
  }

  if (linked) unlink(options.link.c_str());
  if (line.closeWatch >= 0) close(line.closeWatch);
  if (line.heldSlave >= 0) close(line.heldSlave);
  close(line.fd);
  return status;
}
