// The program on a real pty, started through the launcher, with the tool's
// side played by plain POSIX calls and by libmodbus.
#include <fcntl.h>
#include <modbus.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <stdexcept>
#include <string>

#include "sim/launcher.h"
#include "sim/module.h"

namespace tq::sim {
namespace {

constexpr int kReplyTimeoutMs = 3000;

// The tool's end of the line: raw, at `baud`.
class Port {
 public:
  explicit Port(const std::string& path, speed_t baud = B9600) {
    fd_ = open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd_ < 0) throw std::runtime_error("cannot open " + path);
    termios t{};
    tcgetattr(fd_, &t);
    cfmakeraw(&t);
    cfsetspeed(&t, baud);
    tcsetattr(fd_, TCSANOW, &t);
    tcflush(fd_, TCIOFLUSH);
  }
  ~Port() { close(fd_); }
  Port(const Port&) = delete;
  Port& operator=(const Port&) = delete;

  void send(const std::string& bytes) {
    ASSERT_EQ(write(fd_, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }

  // Reads until `count` bytes have come, the line hangs up, or time runs out.
  std::string receive(size_t count) {
    std::string got;
    while (got.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, kReplyTimeoutMs) <= 0) break;
      char chunk[512];
      const ssize_t n = read(fd_, chunk, sizeof chunk);
      if (n <= 0) {
        hungUp_ = true;
        break;
      }
      got.append(chunk, static_cast<size_t>(n));
    }
    return got;
  }

  // One read: what the first block brought.
  std::string receiveOnce() {
    pollfd p{fd_, POLLIN, 0};
    if (poll(&p, 1, kReplyTimeoutMs) <= 0) return {};
    char chunk[512];
    const ssize_t n = read(fd_, chunk, sizeof chunk);
    return n > 0 ? std::string(chunk, static_cast<size_t>(n)) : std::string();
  }

  bool hungUp() const { return hungUp_; }

 private:
  int fd_ = -1;
  bool hungUp_ = false;
};

TEST(SimProgram, PrintsItsPtyAndLinksIt) {
  SimProcess sim;
  EXPECT_TRUE(sim.path().starts_with("/dev/pts/")) << sim.path();
  char target[256] = {};
  ASSERT_GT(readlink(sim.linkPath().c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), sim.path());
  Port port(sim.linkPath());
  port.send("QQQ#QV#");
  EXPECT_EQ(port.receive(6), "QV:20#");
}

TEST(SimProgram, ExclusiveOpenEndsWhenTheToolCloses) {
  // TIOCEXCL binds only users without privileges: run the tool's side as one.
  SimProcess sim;
  if (geteuid() == 0) {
    ASSERT_EQ(chmod(sim.path().c_str(), 0666), 0);
  }
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) _exit(3);
    for (int round = 0; round < 3; ++round) {
      int fd = -1;
      // The simulator ends the exclusive open as soon as it sees the close.
      for (int attempt = 0; attempt < 500 && fd < 0; ++attempt) {
        fd = open(sim.path().c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 && errno != EBUSY) _exit(4);
        if (fd < 0) usleep(2000);
      }
      if (fd < 0) _exit(5);
      if (ioctl(fd, TIOCEXCL) != 0) _exit(6);
      close(fd);
    }
    _exit(0);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SimProgram, RemovesItsLinkOnExit) {
  std::string link;
  {
    SimProcess sim;
    link = sim.linkPath();
    ASSERT_EQ(access(link.c_str(), F_OK), 0);
  }
  char target[256];
  EXPECT_LT(readlink(link.c_str(), target, sizeof target), 0);
}

TEST(SimProgram, KeepsStateAcrossTheToolReopeningThePort) {
  SimProcess sim;
  {
    Port port(sim.path());
    port.send("QQS#ADR:005#");
    EXPECT_EQ(port.receive(7), "ADR:OK#");
  }
  // The tool opens and closes its port around every change of settings.
  for (int i = 0; i < 20; ++i) {
    Port port(sim.path(), i % 2 ? B19200 : B9600);
    port.send("QQQ#QX1#");
    EXPECT_EQ(port.receive(37), "QX1#BA1:30#MD:1#ADR:005#XY:0#JTM:010#") << "round " << i;
  }
}

TEST(SimProgram, StaleLinkIsReplacedAndALiveOneRefused) {
  const std::string link = "/tmp/tq580-sim-test-link-" + std::to_string(getpid());
  unlink(link.c_str());
  ASSERT_EQ(symlink("/dev/pts/does-not-exist", link.c_str()), 0);
  SimProcess sim({"--link", link});
  char target[256] = {};
  ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
  EXPECT_EQ(std::string(target), sim.path());
  try {
    SimProcess second({"--link", link});
    ADD_FAILURE() << "a second simulator took a live link";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("did not start"), std::string::npos) << e.what();
  }
  // The refused one left the first one's link alone.
  EXPECT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
}

TEST(SimProgram, BadOptionIsReportedByTheLauncher) {
  try {
    SimProcess sim({"--units", "3"});
    ADD_FAILURE() << "started with a bad option";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("exited with status 2"), std::string::npos) << e.what();
  }
}

TEST(SimProgram, LibmodbusReadsTheRegisterMap) {
  constexpr double kFrozenAt = 30;
  SimProcess sim({"--frozen", "30", "--units", "4"});
  modbus_t* ctx = modbus_new_rtu(sim.path().c_str(), 9600, 'N', 8, 1);
  ASSERT_NE(ctx, nullptr);
  ASSERT_EQ(modbus_set_slave(ctx, 1), 0);
  ASSERT_EQ(modbus_connect(ctx), 0) << modbus_strerror(errno);

  Module expected;
  expected.settings().unitCountIndex = 1;
  const auto image = expected.registers(kFrozenAt);
  uint16_t registers[40] = {};
  ASSERT_EQ(modbus_read_registers(ctx, 0, 40, registers), 40) << modbus_strerror(errno);
  for (size_t r = 0; r < 40; ++r) EXPECT_EQ(registers[r], image[r]) << "register " << r;
  // Device 0's current reads as a float between 4 and 20 mA.
  const float current = modbus_get_float_abcd(registers);
  EXPECT_GT(current, 4.0f);
  EXPECT_LT(current, 20.0f);

  ASSERT_EQ(modbus_read_registers(ctx, 35, 10, registers), -1);
  EXPECT_EQ(errno, EMBXILADD);
  modbus_close(ctx);
  modbus_free(ctx);
}

TEST(SimProgram, SplitAnswerArrivesAsTwoBlocks) {
  SimProcess sim({"--split-gap", "300", "--fault-match", "QV"});
  Port port(sim.path());
  port.send("QQQ#QV#");
  EXPECT_EQ(port.receiveOnce(), "QV:");
  EXPECT_EQ(port.receive(3), "20#");
}

TEST(SimProgram, PacedAnswerIsComplete) {
  SimProcess sim({"--pace"});
  Port port(sim.path(), B115200);
  port.send("QQQ#QX1#");
  EXPECT_EQ(port.receive(37), "QX1#BA1:30#MD:1#ADR:001#XY:0#JTM:010#");
}

TEST(SimProgram, StrictLineFollowsTheRateTheToolSets) {
  SimProcess sim({"--strict-line"});
  {
    Port port(sim.path(), B9600);
    port.send("QQS#BA1:40#");
    EXPECT_EQ(port.receive(7), "BA1:OK#");
  }
  // Heard only because the simulator reads the tool's new rate off the pty.
  Port port(sim.path(), B19200);
  port.send("QQQ#QX1#");
  EXPECT_EQ(port.receive(37), "QX1#BA1:40#MD:1#ADR:001#XY:0#JTM:010#");
}

TEST(SimProgram, ServesAnExistingPortAndStopsWhenItHangsUp) {
  // A pty stands in for a USB adapter: its master is the tool's end here.
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string device = ptsname(master);
  SimProcess sim({"--device", device, "--baud", "19200", "--parity", "even"});
  EXPECT_EQ(sim.path(), device);
  termios t{};
  ASSERT_EQ(tcgetattr(master, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B19200);  // (a pty keeps no parity)

  ASSERT_EQ(write(master, "QQQ#QV#", 7), 7);
  std::string got;
  while (got.size() < 6) {
    pollfd p{master, POLLIN, 0};
    if (poll(&p, 1, kReplyTimeoutMs) <= 0) break;
    char chunk[64];
    const ssize_t n = read(master, chunk, sizeof chunk);
    if (n <= 0) break;
    got.append(chunk, static_cast<size_t>(n));
  }
  EXPECT_EQ(got, "QV:20#");
  // The adapter is pulled: the simulator stops instead of spinning on it.
  close(master);
  EXPECT_EQ(sim.waitForExit(kReplyTimeoutMs), 1);
}

TEST(SimProgram, HangsUpAfterTheNthRequest) {
  SimProcess sim({"--hangup-after", "2"});
  Port port(sim.path());
  port.send("QQQ#QV#");
  EXPECT_EQ(port.receive(6), "QV:20#");
  port.send("QQQ#QV#");
  // The last answer still arrives, then the line is gone.
  EXPECT_EQ(port.receive(100), "QV:20#");
  EXPECT_TRUE(port.hungUp());
  EXPECT_EQ(sim.waitForExit(kReplyTimeoutMs), 0);
}

}  // namespace
}  // namespace tq::sim
