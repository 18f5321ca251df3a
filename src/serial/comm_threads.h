#pragma once
// The receive and transmit threads of an open port. They touch only the
// device, the close event, their queue and the notifier; everything they
// report goes through the notifier, which posts it to the window's thread.
#include <atomic>
#include <cstdint>
#include <vector>

#include "serial/block_framer.h"

namespace tq::serial {

class CommNotifier {
 public:
  virtual ~CommNotifier() = default;
  // Whether the window's thread can take another block: a line that delivers
  // faster than the window handles blocks must not grow the queue without
  // bound. Only the receive thread posts blocks, so room it sees stays.
  virtual bool hasRoom() const = 0;
  virtual void postData(std::vector<uint8_t> block) = 0;
  // Bytes of blocks dropped for want of room since the last report.
  virtual void postOverrun(uint64_t droppedBytes) = 0;
  virtual void postError(uint32_t lineErrors) = 0;
  virtual void postHangup() = 0;
  virtual void postModem(uint32_t modemEvent) = 0;
  virtual void postSendEmpty() = 0;
};

// Read time-outs shared with the receive thread; the window's thread may
// change them while the port is open.
struct SharedReadTimeouts {
  std::atomic<uint32_t> intervalMs{100};
  std::atomic<uint32_t> totalMultiplierMs{0};
  std::atomic<uint32_t> totalConstantMs{0};
  ReadTimeouts load() const { return {intervalMs.load(), totalMultiplierMs.load(), totalConstantMs.load()}; }
};

struct ReadThreadContext {
  int device = -1;
  int closeEvent = -1;
  CommNotifier* notifier = nullptr;
  const SharedReadTimeouts* timeouts = nullptr;
  const std::atomic<bool>* ignoreNullChar = nullptr;
};

// One write request: a block the transmit thread owns once it is queued.
struct WriteMessage {
  uint8_t* block;
  uint16_t count;
};

struct WriteThreadContext {
  int device = -1;
  int closeEvent = -1;
  int queue = -1;  // read end of the queue of WriteMessage records
  CommNotifier* notifier = nullptr;
  std::atomic<bool>* sendDataEmpty = nullptr;
};

void runReadThread(ReadThreadContext context);
void runWriteThread(WriteThreadContext context);

// Frees every block still waiting in the queue.
void drainWriteQueue(int queue);

int64_t monotonicNs();

}  // namespace tq::serial
