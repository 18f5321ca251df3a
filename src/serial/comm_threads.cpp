#include "serial/comm_threads.h"

#include <poll.h>
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>

#include "serial/comm_types.h"
#include "serial/posix_device.h"

namespace tq::serial {

namespace {

// While the driver keeps line counters, they are looked at this often when
// the line is quiet, so carrier and ring changes are noticed.
constexpr int64_t kCounterPollNs = 200'000'000;
// After blocks were dropped, how often the receive thread looks for room to
// report them when the line has gone quiet.
constexpr int64_t kOverrunReportPollNs = 50'000'000;

bool signalled(int closeEvent) {
  pollfd fd{closeEvent, POLLIN, 0};
  return ::poll(&fd, 1, 0) > 0;
}

timespec toTimespec(int64_t ns) {
  return {static_cast<time_t>(ns / 1'000'000'000), static_cast<long>(ns % 1'000'000'000)};
}

// Reports what changed in the driver's counters since the last look.
void reportCounterChanges(int device, LineCounters& last, CommNotifier& notifier) {
  LineCounters now;
  if (readLineCounters(device, now) != 0) return;
  uint32_t errors = 0;
  if (now.bufferOverrun != last.bufferOverrun) errors |= line_error::kReceiveQueueOverflow;
  if (now.overrun != last.overrun) errors |= line_error::kOverrun;
  if (now.parity != last.parity) errors |= line_error::kParity;
  if (now.frame != last.frame) errors |= line_error::kFraming;
  if (now.brk != last.brk) errors |= line_error::kBreak;
  uint32_t modem = 0;
  if (now.carrier != last.carrier) modem |= modem_event::kCarrierChange;
  if (now.ring != last.ring) modem |= modem_event::kRing;
  last = now;
  if (errors != 0) notifier.postError(errors);
  if (modem != 0) notifier.postModem(modem);
}

void raisePriority(int niceDelta) {
  // Needs privileges; without them the thread simply runs at normal priority.
  ::setpriority(PRIO_PROCESS, static_cast<id_t>(::syscall(SYS_gettid)), -niceDelta);
}

size_t dropZeroBytes(uint8_t* bytes, size_t n) {
  return static_cast<size_t>(std::remove(bytes, bytes + n, uint8_t{0}) - bytes);
}

}  // namespace

int64_t monotonicNs() {
  timespec ts{};
  ::clock_gettime(CLOCK_MONOTONIC, &ts);
  return int64_t{ts.tv_sec} * 1'000'000'000 + ts.tv_nsec;
}

void runReadThread(ReadThreadContext c) {
  raisePriority(2);
  BlockFramer framer(c.timeouts->load(), monotonicNs());
  LineCounters counters;
  const bool hasCounters = readLineCounters(c.device, counters) == 0;

  // Whole blocks are dropped while the window's thread has no room; the
  // count reaches it ahead of the next block that is delivered.
  uint64_t dropped = 0;
  auto reportDropped = [&] {
    if (dropped == 0 || !c.notifier->hasRoom()) return;
    c.notifier->postOverrun(dropped);
    dropped = 0;
  };
  auto deliver = [&](int64_t now) {
    std::vector<uint8_t> block = framer.take(now);
    if (block.empty()) return;
    if (!c.notifier->hasRoom()) {
      dropped += block.size();
      return;
    }
    reportDropped();
    c.notifier->postData(std::move(block));
  };

  for (;;) {
    framer.setTimeouts(c.timeouts->load());
    int64_t wait = framer.waitNs(monotonicNs());
    if (hasCounters && (wait < 0 || wait > kCounterPollNs)) wait = kCounterPollNs;
    if (dropped != 0 && (wait < 0 || wait > kOverrunReportPollNs)) wait = kOverrunReportPollNs;
    pollfd fds[2] = {{c.closeEvent, POLLIN, 0}, {c.device, POLLIN, 0}};
    const timespec timeout = toTimespec(std::max<int64_t>(wait, 0));
    const int ready = ::ppoll(fds, 2, wait < 0 ? nullptr : &timeout, nullptr);
    if (ready < 0) {
      if (errno == EINTR) continue;
      c.notifier->postHangup();
      break;
    }
    if (fds[0].revents != 0) break;               // close event
    if ((fds[1].revents & POLLNVAL) != 0) break;  // the device is gone under us: end quietly
    if ((fds[1].revents & (POLLIN | POLLHUP | POLLERR)) != 0) {
      const ssize_t n = ::read(c.device, framer.writePtr(), framer.space());
      if (n > 0) {
        size_t kept = static_cast<size_t>(n);
        if (c.ignoreNullChar->load()) kept = dropZeroBytes(framer.writePtr(), kept);
        framer.added(kept, monotonicNs());
      } else {
        const int error = n == 0 ? EIO : errno;
        const bool transient = (error == EAGAIN || error == EINTR) && (fds[1].revents & (POLLHUP | POLLERR)) == 0;
        if (!transient) {
          // A read of nothing after poll said "ready" is a hang-up (adapter
          // pulled, peer closed): report it and stop rather than spin.
          deliver(monotonicNs());
          if (error != EBADF) c.notifier->postHangup();
          break;
        }
      }
    }
    const int64_t now = monotonicNs();
    if (framer.due(now)) deliver(now);
    reportDropped();
    if (hasCounters) reportCounterChanges(c.device, counters, *c.notifier);
  }
  reportDropped();
  purgeInput(c.device);
}

namespace {

enum class WriteResult { Done, Stopped, Failed };

WriteResult writeBlock(const WriteThreadContext& c, const uint8_t* block, size_t count) {
  size_t offset = 0;
  while (offset < count) {
    const ssize_t written = ::write(c.device, block + offset, count - offset);
    if (written > 0) {
      offset += static_cast<size_t>(written);
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno == EAGAIN) {
      // The driver's queue is full (or flow control holds it): wait for room
      // or for the close event.
      pollfd fds[2] = {{c.closeEvent, POLLIN, 0}, {c.device, POLLOUT, 0}};
      if (::poll(fds, 2, -1) < 0 && errno != EINTR) return WriteResult::Failed;
      if (fds[0].revents != 0) return WriteResult::Stopped;
      if ((fds[1].revents & POLLNVAL) != 0) return WriteResult::Stopped;
      if ((fds[1].revents & (POLLERR | POLLHUP)) != 0 && (fds[1].revents & POLLOUT) == 0) return WriteResult::Failed;
      continue;
    }
    return written < 0 && errno == EBADF ? WriteResult::Stopped : WriteResult::Failed;
  }
  return WriteResult::Done;
}

}  // namespace

void runWriteThread(WriteThreadContext c) {
  raisePriority(1);
  bool emptyNotice = true;
  for (;;) {
    WriteMessage message{};
    const ssize_t got = ::read(c.queue, &message, sizeof message);
    if (got == static_cast<ssize_t>(sizeof message)) {
      std::unique_ptr<uint8_t[]> block(message.block);
      if (signalled(c.closeEvent)) break;
      const WriteResult result = writeBlock(c, block.get(), message.count);
      if (result == WriteResult::Failed) c.notifier->postHangup();
      if (result != WriteResult::Done) break;
      emptyNotice = true;
      continue;
    }
    if (got < 0 && errno == EINTR) continue;
    if (got >= 0 || errno != EAGAIN) {
      c.notifier->postHangup();
      break;
    }
    c.sendDataEmpty->store(true);
    if (emptyNotice) c.notifier->postSendEmpty();
    emptyNotice = false;
    pollfd fds[2] = {{c.closeEvent, POLLIN, 0}, {c.queue, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0) {
      if (errno == EINTR) continue;
      c.notifier->postHangup();
      break;
    }
    if (fds[0].revents != 0) break;
  }
  purgeOutput(c.device);
  c.sendDataEmpty->store(true);
}

void drainWriteQueue(int queue) {
  WriteMessage message{};
  while (::read(queue, &message, sizeof message) == static_cast<ssize_t>(sizeof message)) delete[] message.block;
}

}  // namespace tq::serial
