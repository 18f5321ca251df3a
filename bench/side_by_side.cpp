// The serial component beside the plain poll() reader (the floor) and
// pyserial, interleaved on one pty: every round takes one sample of each
// reader in turn, the first reader rotating, so a change in the machine's
// load falls on all of them alike.
//   block-end latency: a reply written at once; from its last byte to the
//   block in the reader's hands (for the component: OnReceiveData on the
//   window's thread)
//   receiver CPU per MB: a flood written by a process of its own, so this
//   process's CPU is the receiver's alone
// Every time stamp is taken and compared on one thread, or handed over
// through a join or a pipe.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <thread>

#include "bench_support.h"
#include "readers.h"
#include "serial/TComm.h"
#include "support/pty.h"

using namespace tq;
using namespace tq::bench;

namespace {

const std::string kReply = "QV:12 a typical reply of the module#";
// After a reader opened the port, so that it waits in its poll before the
// first byte comes, as a reader waiting for a reply does.
constexpr int kSettleMs = 5;
constexpr int kFirstByteWaitMs = 3000;

void settle() { std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs)); }

// Writes floods into the pty master from a process of its own, forked before
// this one has any thread.
class FloodWriter {
 public:
  FloodWriter(int master, const std::string& pattern) {
    int command[2], done[2];
    if (::pipe2(command, O_CLOEXEC) != 0 || ::pipe2(done, O_CLOEXEC) != 0) throw std::runtime_error("no pipe");
    pid_ = ::fork();
    if (pid_ < 0) throw std::runtime_error("no fork");
    if (pid_ == 0) {
      ::close(command[1]);
      ::close(done[0]);
      uint64_t total = 0;
      while (::read(command[0], &total, sizeof total) == sizeof total) {
        for (uint64_t sent = 0; sent < total;) {
          const size_t at = sent % pattern.size();  // a short write goes on where it stopped
          const size_t n = std::min<uint64_t>(pattern.size() - at, total - sent);
          const ssize_t w = ::write(master, pattern.data() + at, n);
          if (w > 0)
            sent += static_cast<uint64_t>(w);
          else if (w < 0 && errno != EINTR && errno != EAGAIN)
            break;
        }
        const char ack = 1;
        if (::write(done[1], &ack, 1) != 1) break;
      }
      ::_exit(0);
    }
    ::close(command[0]);
    ::close(done[1]);
    command_ = command[1];
    done_ = done[0];
  }
  ~FloodWriter() {
    ::close(command_);
    ::close(done_);
    ::waitpid(pid_, nullptr, 0);
  }
  void write(uint64_t bytes) const { [[maybe_unused]] auto n = ::write(command_, &bytes, sizeof bytes); }
  void waitDone() const {
    char ack;
    [[maybe_unused]] auto n = ::read(done_, &ack, 1);
  }

 private:
  pid_t pid_ = -1;
  int command_ = -1;
  int done_ = -1;
};

enum Reader { kComponent, kFloor, kPyLoop, kPyDocs, kReaders };
const char* const kReaderNames[kReaders] = {"serial component (TComm)", "plain poll() reader (the floor)",
                                            "pyserial, hand-written silence loop",
                                            "pyserial as documented (timeout=1.0, inter_byte_timeout=0.1)"};

struct LatencySample {
  bool ok = false;
  double fromLastByteMs = 0;
};

struct FloodSample {
  bool ok = false;
  double cpuMs = 0;
  double elapsedMs = 0;
  uint64_t received = 0;
  long switches = 0;  // the receiver's context switches
  bool intact = false;
};

class SideBySide {
 public:
  SideBySide(testing::Pty& pty, const FloodWriter& writer, PyserialPeer& peer, const std::string& pattern)
      : pty_(pty), writer_(writer), peer_(peer), pattern_(pattern) {}

  LatencySample latency(Reader r) {
    switch (r) {
      case kComponent:
        return componentLatency();
      case kFloor:
        return floorLatency();
      case kPyLoop:
        return peerLatency("block loop");
      case kPyDocs:
        return peerLatency("block docs");
      default:
        return {};
    }
  }

  FloodSample flood(Reader r, uint64_t bytes) {
    switch (r) {
      case kComponent:
        return componentFlood(bytes);
      case kFloor:
        return floorFlood(bytes);
      case kPyLoop:
        return peerFlood(bytes);
      default:
        return {};
    }
  }

 private:
  bool openComponent(serial::TComm& comm) {
    comm.CommName = pty_.slavePath();
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    try {
      comm.OpenPort();
    } catch (const std::exception& e) {
      std::printf("  the serial component cannot open the pty: %s\n", e.what());
      return false;
    }
    return true;
  }

  LatencySample componentLatency() {
    serial::TComm comm;
    QEventLoop loop;
    int64_t deliveredNs = 0;
    size_t got = 0;
    comm.OnReceiveData = [&](serial::TComm*, const uint8_t*, uint16_t n) {
      deliveredNs = nowNs();
      got = n;
      loop.quit();
    };
    if (!openComponent(comm)) return {};
    settle();
    pty_.write(kReply);
    const int64_t sentNs = nowNs();
    QTimer::singleShot(kFirstByteWaitMs, &loop, &QEventLoop::quit);
    loop.exec();
    comm.ClosePort();
    return {got == kReply.size(), (deliveredNs - sentNs) / 1e6};
  }

  LatencySample floorLatency() {
    const int fd = openRaw(pty_.slavePath());
    if (fd < 0) return {};
    Block block;
    std::thread reader([&] { block = readSilenceBlock(fd, kSilenceMs, kFirstByteWaitMs); });
    settle();
    pty_.write(kReply);
    const int64_t sentNs = nowNs();
    reader.join();
    ::close(fd);
    return {block.bytes.size() == kReply.size(), (block.endedNs - sentNs) / 1e6};
  }

  LatencySample peerLatency(const std::string& command) {
    if (!peer_.start(command + " " + pty_.slavePath())) return {};
    settle();
    pty_.write(kReply);
    const int64_t sentNs = nowNs();
    const auto result = peer_.finish(10'000);
    if (!result) return {};
    return {result->bytes == kReply.size(), (result->endedNs - sentNs) / 1e6};
  }

  FloodSample componentFlood(uint64_t bytes) {
    serial::TComm comm;
    QEventLoop loop;
    std::vector<uint8_t> data;
    data.reserve(bytes);
    int64_t lastBlockNs = 0;
    comm.OnReceiveData = [&](serial::TComm*, const uint8_t* buffer, uint16_t n) {
      data.insert(data.end(), buffer, buffer + n);
      lastBlockNs = nowNs();
      if (data.size() >= bytes) loop.quit();
    };
    // Ends the wait when bytes were lost and the rest never comes.
    size_t seen = 0;
    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, &loop, [&] {
      if (data.size() == seen) loop.quit();
      seen = data.size();
    });
    if (!openComponent(comm)) return {};
    settle();
    const double cpuBefore = processCpuMs();
    const long switchesBefore = contextSwitches();
    const int64_t startNs = nowNs();
    writer_.write(bytes);
    watchdog.start(2000);
    loop.exec();
    // The watchdog's wait costs no CPU, and the rate ends at the last block.
    const double cpu = processCpuMs() - cpuBefore;
    const long switches = contextSwitches() - switchesBefore;
    writer_.waitDone();
    comm.ClosePort();
    return {true,        cpu,      (lastBlockNs - startNs) / 1e6,
            data.size(), switches, data.size() == bytes && matchesPattern(data, pattern_)};
  }

  FloodSample floorFlood(uint64_t bytes) {
    const int fd = openRaw(pty_.slavePath());
    if (fd < 0) return {};
    std::vector<uint8_t> data;
    data.reserve(bytes);
    settle();
    const double cpuBefore = processCpuMs();
    const long switchesBefore = contextSwitches();
    const int64_t startNs = nowNs();
    writer_.write(bytes);
    while (data.size() < bytes) {
      const Block block = readSilenceBlock(fd, kSilenceMs, kFirstByteWaitMs);
      if (block.bytes.empty()) break;
      data.insert(data.end(), block.bytes.begin(), block.bytes.end());
    }
    const double cpu = processCpuMs() - cpuBefore;
    const long switches = contextSwitches() - switchesBefore;
    const int64_t endNs = nowNs();
    writer_.waitDone();
    ::close(fd);
    return {true,        cpu,      (endNs - startNs) / 1e6,
            data.size(), switches, data.size() == bytes && matchesPattern(data, pattern_)};
  }

  FloodSample peerFlood(uint64_t bytes) {
    if (!peer_.start("flood loop " + pty_.slavePath() + " " + std::to_string(bytes))) return {};
    settle();
    const int64_t startNs = nowNs();
    writer_.write(bytes);
    const auto result = peer_.finish(120'000);
    writer_.waitDone();
    if (!result) return {};
    return {true,          result->cpuNs / 1e6, (result->endedNs - startNs) / 1e6,
            result->bytes, result->switches,    result->bytes == bytes && result->intact};
  }

  testing::Pty& pty_;
  const FloodWriter& writer_;
  PyserialPeer& peer_;
  const std::string& pattern_;
};

int argument(int argc, char** argv, const char* name, int fallback) {
  for (int i = 1; i + 1 < argc; ++i)
    if (std::strcmp(argv[i], name) == 0) return std::max(1, std::atoi(argv[i + 1]));
  return fallback;
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argument(argc, argv, "--rounds", 200);
  const int floodRounds = argument(argc, argv, "--flood-rounds", 10);
  const uint64_t floodBytes = uint64_t(argument(argc, argv, "--flood-mb", 8)) * 1024 * 1024;

  const std::string pattern = floodPattern();
  testing::Pty pty;
  const FloodWriter writer(pty.master(), pattern);
  ::signal(SIGPIPE, SIG_IGN);
  QCoreApplication app(argc, argv);
  PyserialPeer peer(PYSERIAL_PEER_SCRIPT);
  SideBySide bench(pty, writer, peer, pattern);

  std::vector<Reader> readers = {kComponent, kFloor};
  if (peer.unavailable().empty()) {
    readers.push_back(kPyLoop);
    readers.push_back(kPyDocs);
  }
  std::printf("side by side on one pty, readers in turn, the first one rotating\n");
  std::printf("machine: %s\n", machineNote().c_str());
  if (!peer.unavailable().empty()) std::printf("pyserial left out: %s\n", peer.unavailable().c_str());
  std::printf("start: %s\n\n", loadNote().c_str());
  std::fflush(stdout);

  std::vector<double> latency[kReaders];
  int failed[kReaders] = {};
  for (int round = 0; round < rounds; ++round) {
    for (size_t k = 0; k < readers.size(); ++k) {
      const Reader r = readers[(k + round) % readers.size()];
      const LatencySample s = bench.latency(r);
      if (s.ok)
        latency[r].push_back(s.fromLastByteMs);
      else
        ++failed[r];
    }
  }
  std::printf(
      "block-end latency, %d rounds: a %zu-byte reply written at once, from its last byte to the block in the "
      "reader's hands, less the %d ms of silence that ends it\n",
      rounds, kReply.size(), kSilenceMs);
  for (Reader r : readers) {
    std::vector<double> beyond = latency[r];
    for (double& v : beyond) v -= kSilenceMs;
    if (r == kPyDocs) {
      std::printf("  %-62s from the last byte: %s  %s\n", kReaderNames[r], summary(latency[r]).c_str(),
                  loadNote().c_str());
      std::printf(
          "    pyserial on POSIX ignores inter_byte_timeout (its descriptor is non-blocking, so the VTIME it sets\n"
          "    does nothing): read() returns only at its 1 s total time-out. A limitation of the peer, not its "
          "speed.\n");
    } else {
      std::printf("  %-62s %s  %s\n", kReaderNames[r], summary(beyond).c_str(), loadNote().c_str());
    }
    if (failed[r] > 0) std::printf("    %d samples without the whole reply\n", failed[r]);
  }
  std::fflush(stdout);

  std::vector<Reader> flooders = {kComponent, kFloor};
  if (peer.unavailable().empty()) flooders.push_back(kPyLoop);
  std::vector<double> cpuPerMb[kReaders], mbPerSecond[kReaders], switchesPerMb[kReaders];
  uint64_t lost[kReaders] = {};
  int broken[kReaders] = {};
  for (int round = 0; round < floodRounds; ++round) {
    for (size_t k = 0; k < flooders.size(); ++k) {
      const Reader r = flooders[(k + round) % flooders.size()];
      const FloodSample s = bench.flood(r, floodBytes);
      if (!s.ok) {
        ++broken[r];
        continue;
      }
      lost[r] += floodBytes - std::min(floodBytes, s.received);
      // A flood that lost bytes did less work per byte read: it is counted,
      // not averaged in.
      if (!s.intact) {
        ++broken[r];
        continue;
      }
      const double mb = double(s.received) / (1024 * 1024);
      cpuPerMb[r].push_back(s.cpuMs / mb);
      switchesPerMb[r].push_back(double(s.switches) / mb);
      if (s.elapsedMs > 0) mbPerSecond[r].push_back(mb / (s.elapsedMs / 1000));
    }
  }
  std::printf("\nreceiver CPU per MB, %d rounds of %.0f MB floods (the writer is a process of its own)\n", floodRounds,
              double(floodBytes) / (1024 * 1024));
  for (Reader r : flooders) {
    std::printf("  %-62s CPU %s  %s\n", kReaderNames[r], summary(cpuPerMb[r], "ms/MB", 2).c_str(), loadNote().c_str());
    std::printf("  %-62s rate %s\n", "", summary(mbPerSecond[r], "MB/s", 1).c_str());
    std::printf("  %-62s context switches %s\n", "", summary(switchesPerMb[r], "per MB", 0).c_str());
    if (broken[r] > 0)
      std::printf("  %-62s %d floods left out: %llu bytes lost\n", "", broken[r],
                  static_cast<unsigned long long>(lost[r]));
  }
  if (broken[kComponent] > 0)
    std::printf(
        "  the serial component's losses are whole blocks dropped at its bound of %d blocks waiting for the\n"
        "  window's thread, counted and shown to the operator; a pty delivers far faster than a serial line\n",
        serial::TComm::kMaxReceiveBacklog);
  const double floor = percentile(cpuPerMb[kFloor], 50);
  if (floor > 0)
    std::printf("  serial component against the floor (p50): %.2fx (goal at most 1.5x)\n",
                percentile(cpuPerMb[kComponent], 50) / floor);
  std::printf("\nend: %s\n", loadNote().c_str());
  return 0;
}
