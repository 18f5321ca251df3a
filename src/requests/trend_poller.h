#pragma once
// The trend's polling: command 3 (Read Dynamic Variables And Loop Current)
// of the addressed instrument in long frames through the module, one poll
// at a time at the interval asked, each a run of one step on the link that
// gives way. Polling shares the line with the pages: a page's request that
// comes while a poll is out waits for that poll's answer (or its window)
// and then goes; a poll is not sent while a page's reply is awaited, just
// after a page's frame went, or while a sequence of the tool's own (a HART
// scan, Read All, Read Module, a profile, Find Module) holds the line.
// Polling stops when the port closes or hangs up, and says why. No Qt.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "engine/interfaces.h"
#include "hart/identity.h"
#include "trend/interval.h"
#include "trend/point_store.h"

namespace tq::link {
class LinkArbiter;
}

namespace tq::requests {

// Why polling stopped, or waits (the trend's status line).
inline constexpr const char* kTrendStoppedByOperatorNote = "Stopped.";
inline constexpr const char* kTrendPortClosedNote = "Stopped: the port was closed.";
inline constexpr const char* kTrendHungUpNote =
    "Stopped: the port hung up (adapter unplugged, device gone or far end closed).";
inline constexpr const char* kTrendReplyAwaitedNote = "Paused: a page's request awaits its answer.";

// A poll waits this long after a page's frame went out, so the module is
// not handed a HART request while it still answers the page (the relay
// commands start no time-out to wait for).
inline constexpr int kQuietAfterPageFrameMs = 500;
// How soon a paused poll looks again whether the line is free.
inline constexpr int kPausedRetryMs = 100;

// A reply to command 3 as a point at `ms`: the loop current and each
// variable the data holds (a value that is not a number is left out); a
// reply cut short, with a wrong check byte, a communication error, or
// without the loop current (a refusal) is a gap (BadReply).
trend::Point pointFromAnswer(std::span<const uint8_t> answer, int64_t ms);

class TrendPoller {
 public:
  enum class State { Stopped, Polling, Paused };

  struct Host {
    link::LinkArbiter& link;
    engine::View& view;  // the Transparent Mode page's preamble length and command mode
    // The instrument the HART pages address now (a scan's row, the last
    // identity read); nullopt while none is known.
    std::function<std::optional<hart::DeviceIdentity>()> addressed;
    std::function<bool()> replyAwaited;  // a page's reply is awaited (Timer3 runs)
    engine::Timer& timer;                // the poller's own; its ticks must reach timerFired()
    std::function<int64_t()> monoMs;     // a clock that never goes back
    std::function<int64_t()> wallMs;     // since the epoch, for the points' times
    // The preambles the addressed instrument asked for in its command 0
    // reply; unset: none known.
    std::function<size_t()> preamblesRequested = nullptr;
  };

  TrendPoller(Host host, trend::PointStore& store);
  ~TrendPoller();
  TrendPoller(const TrendPoller&) = delete;
  TrendPoller& operator=(const TrendPoller&) = delete;

  std::function<void()> onPoint;  // the store gained a point
  std::function<void()> onState;  // state(), note() or the counts changed

  // Refused (InputRefused, nothing sent) with the port closed, no
  // instrument addressed, or a preamble length or command mode no frame
  // can carry. Points of another instrument are let go of first; after a
  // pause in polling the lines break.
  void start(double intervalSeconds);
  // The poll out, if any, still gets its answer.
  void stop();
  // Clamped to trend::kFastestSeconds .. trend::kSlowestSeconds.
  void setInterval(double seconds);
  void timerFired();
  // The link's port opened or closed, and hung up.
  void portChanged();
  void hungUp();
  // Find Module closes and opens the port as it searches: polling waits
  // until resume(), then goes on if the port is open again.
  void suspend(const std::string& who);
  void resume();

  State state() const { return state_; }
  // Why polling stopped or waits; empty while it polls.
  const std::string& note() const { return note_; }
  const std::optional<hart::DeviceIdentity>& instrument() const { return instrument_; }
  int64_t intervalMs() const { return intervalMs_; }
  bool pollOut() const { return inFlight_; }
  uint64_t polls() const { return polls_; }
  // The trend's clock: the wall time when the poller was made plus the
  // monotonic time since, so it never runs backwards.
  int64_t nowMs() const;

 private:
  void schedule(int64_t delayMs);
  void tryPoll();
  void poll();
  void pause(const std::string& why);
  void stopWith(const std::string& why);
  void changed();
  void added(const trend::Point& point);

  Host host_;
  trend::PointStore& store_;
  State state_ = State::Stopped;
  std::string note_ = kTrendStoppedByOperatorNote;
  std::optional<hart::DeviceIdentity> instrument_;
  std::optional<hart::DeviceIdentity> storeInstrument_;  // whose points the store holds
  std::vector<uint8_t> frame_;
  int64_t intervalMs_;
  int windowMs_;  // the poll's answer window, for the frame it sends
  bool inFlight_ = false;
  bool suspended_ = false;
  std::string suspendedBy_;
  int64_t pollStartMono_ = 0;
  int64_t pollMs_ = 0;
  int64_t startMono_;
  int64_t startWall_;
  uint64_t polls_ = 0;
};

}  // namespace tq::requests
