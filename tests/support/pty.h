#pragma once
// A pseudo-terminal pair for tests: the test plays the far end on the master,
// the code under test opens the slave by path.
#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <stdexcept>
#include <string>

namespace tq::testing {

class Pty {
 public:
  Pty() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0 || ::grantpt(master_) != 0 || ::unlockpt(master_) != 0) throw std::runtime_error("no pty");
    slavePath_ = ::ptsname(master_);
    termios tio{};
    ::tcgetattr(master_, &tio);
    ::cfmakeraw(&tio);
    ::tcsetattr(master_, TCSANOW, &tio);
  }
  ~Pty() { closeMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  const std::string& slavePath() const { return slavePath_; }
  int master() const { return master_; }
  void closeMaster() {
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }

  void write(const std::string& bytes) const {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = ::write(master_, bytes.data() + done, bytes.size() - done);
      if (n > 0)
        done += static_cast<size_t>(n);
      else if (n < 0 && errno != EINTR && errno != EAGAIN)
        throw std::runtime_error("pty write failed");
    }
  }
  // Reads until `count` bytes arrived or `timeoutMs` of silence passed.
  std::string read(size_t count, int timeoutMs = 2000) const {
    std::string out;
    char buf[4096];
    while (out.size() < count) {
      pollfd fd{master_, POLLIN, 0};
      if (::poll(&fd, 1, timeoutMs) <= 0) break;
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    return out;
  }

 private:
  int master_ = -1;
  std::string slavePath_;
};

}  // namespace tq::testing
