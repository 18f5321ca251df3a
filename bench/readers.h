#pragma once
// The readers the serial component is compared with: a plain poll() loop
// with the component's block rule (the floor), and pyserial driven in a
// Python process of its own.
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tq::bench {

constexpr size_t kBlockSize = 2048;
constexpr int kSilenceMs = 100;

// The flood's bytes, 4096 of them repeated; pyserial_peer.py has the same.
std::string floodPattern();
// Whether data is the pattern repeated from its start (a last repetition
// may be cut short).
bool matchesPattern(const std::vector<uint8_t>& data, const std::string& pattern);

// Opens a tty by path for reading, raw, non-blocking; -1 on failure.
int openRaw(const std::string& path);

struct Block {
  std::vector<uint8_t> bytes;
  int64_t endedNs = 0;  // when the reader knew the block had ended
};

// The floor: waits up to firstByteWaitMs for a first byte, then gathers
// until silenceMs pass without a byte or kBlockSize bytes are in; each poll
// waits only for what is left of the silence. An empty block when nothing
// came or the descriptor failed.
Block readSilenceBlock(int fd, int silenceMs, int firstByteWaitMs);

// A finished command of the Python peer.
struct PeerResult {
  int64_t endedNs = 0;
  size_t bytes = 0;
  int64_t cpuNs = 0;
  long switches = 0;  // the peer's context switches
  bool intact = false;
};
// Reads "done ENDED_NS BYTES CPU_NS SWITCHES INTACT"; nothing for any other
// line.
std::optional<PeerResult> parsePeerResult(std::string_view line);

// pyserial_peer.py under Debian's /usr/bin/python3, one command at a time:
// start() sends it and waits until the peer has the port open; finish()
// waits for its result.
class PyserialPeer {
 public:
  explicit PyserialPeer(const std::string& script);
  ~PyserialPeer();
  PyserialPeer(const PyserialPeer&) = delete;
  PyserialPeer& operator=(const PyserialPeer&) = delete;

  // Empty when the peer runs; otherwise why it does not.
  const std::string& unavailable() const { return unavailable_; }
  bool start(const std::string& command);
  std::optional<PeerResult> finish(int timeoutMs);
  // The last line the peer wrote (its error, when a command failed).
  const std::string& lastLine() const { return lastLine_; }

 private:
  std::optional<std::string> readLine(int timeoutMs);

  pid_t pid_ = -1;
  int toPeer_ = -1;
  int fromPeer_ = -1;
  std::string pending_;
  std::string lastLine_;
  std::string unavailable_;
};

}  // namespace tq::bench
