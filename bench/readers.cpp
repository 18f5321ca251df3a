#include "readers.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <sstream>

#include "bench_support.h"

extern char** environ;

namespace tq::bench {

std::string floodPattern() {
  std::string pattern(4096, '\0');
  for (size_t i = 0; i < pattern.size(); ++i) pattern[i] = static_cast<char>((i * 31 + 7) % 256);
  return pattern;
}

bool matchesPattern(const std::vector<uint8_t>& data, const std::string& pattern) {
  for (size_t at = 0; at < data.size(); at += pattern.size()) {
    const size_t n = std::min(pattern.size(), data.size() - at);
    if (std::memcmp(data.data() + at, pattern.data(), n) != 0) return false;
  }
  return true;
}

int openRaw(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return -1;
  termios tio{};
  if (::tcgetattr(fd, &tio) == 0) {
    ::cfmakeraw(&tio);
    ::cfsetspeed(&tio, B9600);
    ::tcsetattr(fd, TCSANOW, &tio);
  }
  return fd;
}

Block readSilenceBlock(int fd, int silenceMs, int firstByteWaitMs) {
  Block block;
  block.bytes.resize(kBlockSize);
  size_t size = 0;
  int64_t lastByteNs = 0;
  const int64_t silenceNs = int64_t{silenceMs} * 1'000'000;
  while (size < kBlockSize) {
    int64_t waitNs = int64_t{firstByteWaitMs} * 1'000'000;
    if (size > 0) {
      waitNs = lastByteNs + silenceNs - nowNs();
      if (waitNs <= 0) break;
    }
    // To the nanosecond, as the serial component waits: a poll() in whole
    // milliseconds would end blocks up to 1 ms late.
    const timespec timeout{static_cast<time_t>(waitNs / 1'000'000'000), static_cast<long>(waitNs % 1'000'000'000)};
    pollfd p{fd, POLLIN, 0};
    const int ready = ::ppoll(&p, 1, &timeout, nullptr);
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) {
      if (size == 0) break;  // no first byte in time, or poll failed
      continue;              // the silence may not be complete yet: look again
    }
    const ssize_t n = ::read(fd, block.bytes.data() + size, kBlockSize - size);
    if (n > 0) {
      size += static_cast<size_t>(n);
      lastByteNs = nowNs();
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      break;
    }
  }
  block.bytes.resize(size);
  block.endedNs = nowNs();
  return block;
}

std::optional<PeerResult> parsePeerResult(std::string_view line) {
  std::istringstream in{std::string(line)};
  std::string word;
  PeerResult r;
  int intact = -1;
  if (!(in >> word) || word != "done") return std::nullopt;
  if (!(in >> r.endedNs >> r.bytes >> r.cpuNs >> r.switches >> intact) || (intact != 0 && intact != 1))
    return std::nullopt;
  if (in >> word) return std::nullopt;  // nothing may follow
  r.intact = intact == 1;
  return r;
}

PyserialPeer::PyserialPeer(const std::string& script) {
  int in[2], out[2];
  if (::pipe2(in, O_CLOEXEC) != 0) {
    unavailable_ = "no pipe";
    return;
  }
  if (::pipe2(out, O_CLOEXEC) != 0) {
    ::close(in[0]);
    ::close(in[1]);
    unavailable_ = "no pipe";
    return;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, in[0], STDIN_FILENO);
  posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
  char python[] = "/usr/bin/python3";
  char unbuffered[] = "-u";
  std::string scriptArg = script;
  char* argv[] = {python, unbuffered, scriptArg.data(), nullptr};
  const int spawned = posix_spawn(&pid_, python, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(in[0]);
  ::close(out[1]);
  toPeer_ = in[1];
  fromPeer_ = out[0];
  if (spawned != 0) {
    pid_ = -1;
    unavailable_ = "/usr/bin/python3 does not start";
    return;
  }
  const auto hello = readLine(10'000);
  if (!hello)
    unavailable_ = "pyserial_peer.py does not answer";
  else if (hello->rfind("unavailable ", 0) == 0)
    unavailable_ = hello->substr(12);
  else if (*hello != "hello")
    unavailable_ = "pyserial_peer.py says: " + *hello;
}

PyserialPeer::~PyserialPeer() {
  if (toPeer_ >= 0) {
    const char quit[] = "quit\n";
    [[maybe_unused]] const auto n = ::write(toPeer_, quit, sizeof quit - 1);
    ::close(toPeer_);
  }
  if (fromPeer_ >= 0) ::close(fromPeer_);
  if (pid_ > 0) {
    // Give it a moment to leave on its own, then make sure.
    for (int i = 0; i < 100 && ::waitpid(pid_, nullptr, WNOHANG) == 0; ++i) ::usleep(10'000);
    if (::kill(pid_, 0) == 0) {
      ::kill(pid_, SIGTERM);
      ::waitpid(pid_, nullptr, 0);
    }
  }
}

std::optional<std::string> PyserialPeer::readLine(int timeoutMs) {
  const int64_t deadline = nowNs() + int64_t{timeoutMs} * 1'000'000;
  for (;;) {
    if (const size_t end = pending_.find('\n'); end != std::string::npos) {
      lastLine_ = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      return lastLine_;
    }
    const int64_t left = deadline - nowNs();
    pollfd p{fromPeer_, POLLIN, 0};
    if (left <= 0 || ::poll(&p, 1, static_cast<int>(left / 1'000'000) + 1) <= 0) return std::nullopt;
    char chunk[512];
    const ssize_t n = ::read(fromPeer_, chunk, sizeof chunk);
    if (n <= 0) return std::nullopt;
    pending_.append(chunk, static_cast<size_t>(n));
  }
}

bool PyserialPeer::start(const std::string& command) {
  if (!unavailable_.empty()) return false;
  const std::string line = command + "\n";
  if (::write(toPeer_, line.data(), line.size()) != static_cast<ssize_t>(line.size())) return false;
  const auto ready = readLine(10'000);
  return ready && *ready == "ready";
}

std::optional<PeerResult> PyserialPeer::finish(int timeoutMs) {
  const auto line = readLine(timeoutMs);
  return line ? parsePeerResult(*line) : std::nullopt;
}

}  // namespace tq::bench
