#include "requests/trend_poller.h"

#include <algorithm>
#include <bit>
#include <cmath>

#include "common/errors.h"
#include "hart/answer_window.h"
#include "hart/frames.h"
#include "hart/reply.h"
#include "link/link_arbiter.h"
#include "requests/hart_instrument_requests.h"

namespace tq::requests {

namespace {

using Outcome = engine::RequestSequencer::Outcome;

// Who holds the port while a poll is out, as the journal says it.
constexpr const char* kHolder = "the trend";
constexpr int64_t kMsPerSecond = 1000;

// Command 3's data after the status bytes: the loop current, then each
// variable's unit code and value.
constexpr size_t kSingleBytes = 4;
constexpr size_t kFirstUnitAt = 4;
constexpr size_t kUnitValueBytes = 5;

float singleAt(std::span<const uint8_t> data, size_t at) {
  const uint32_t bits =
      uint32_t{data[at]} << 24 | uint32_t{data[at + 1]} << 16 | uint32_t{data[at + 2]} << 8 | data[at + 3];
  return std::bit_cast<float>(bits);
}

bool sameInstrument(const hart::DeviceIdentity& a, const hart::DeviceIdentity& b) {
  return a.manufacturerId == b.manufacturerId && a.deviceType == b.deviceType && a.deviceId == b.deviceId;
}

}  // namespace

trend::Point pointFromAnswer(std::span<const uint8_t> answer, int64_t ms) {
  const auto reply = hart::parseReply(answer);
  if (!reply || !reply->usable() || reply->data.size() < kSingleBytes) {
    return trend::Point::gapAt(ms, trend::Missing::BadReply);
  }
  const std::vector<uint8_t>& data = reply->data;
  trend::Point p;
  p.ms = ms;
  auto take = [&](size_t variable, float value, uint8_t unit) {
    if (!std::isfinite(value)) return;
    p.values[variable] = value;
    p.units[variable] = unit;
    p.present |= static_cast<uint8_t>(1u << variable);
  };
  take(0, singleAt(data, 0), trend::kMilliampereUnit);
  for (size_t v = 1; v < trend::kVariableCount; ++v) {
    const size_t at = kFirstUnitAt + (v - 1) * kUnitValueBytes;
    if (data.size() < at + kUnitValueBytes) break;
    take(v, singleAt(data, at + 1), data[at]);
  }
  if (p.present == 0) p.missing = trend::Missing::BadReply;
  return p;
}

TrendPoller::TrendPoller(Host host, trend::PointStore& store)
    : host_(std::move(host)),
      store_(store),
      intervalMs_(static_cast<int64_t>(trend::kDefaultSeconds * kMsPerSecond)),
      windowMs_(hart::kPollAnswerWindowMs),
      startMono_(host_.monoMs()),
      startWall_(host_.wallMs()) {}

TrendPoller::~TrendPoller() {
  onPoint = nullptr;
  onState = nullptr;
  state_ = State::Stopped;
  host_.timer.stop();
  // Its end gives the line back, and sends what waited for it.
  if (inFlight_) host_.link.cancelYieldingRun();
}

int64_t TrendPoller::nowMs() const { return startWall_ + (host_.monoMs() - startMono_); }

void TrendPoller::changed() {
  if (onState) onState();
}

void TrendPoller::added(const trend::Point& point) {
  store_.add(point);
  if (onPoint) onPoint();
}

void TrendPoller::start(double intervalSeconds) {
  if (!host_.link.isOpen()) throw InputRefused(kPortClosedMessage);
  const auto instrument = host_.addressed ? host_.addressed() : std::nullopt;
  if (!instrument) throw InputRefused(kNoInstrumentMessage);
  // Refuses what no frame can carry, before anything changes.
  const std::string preambleText = host_.view.text("Edit9");
  const size_t asked = host_.preamblesRequested ? host_.preamblesRequested() : 0;
  frame_ = hart::longCommandFrame(preambleText, host_.view.selectedIndex("ComboBox42"), *instrument,
                                  hart::command::kReadDynamicVariables, {}, asked);
  windowMs_ = hart::pollAnswerWindowMs(hart::requestPreambles(preambleText, asked));
  setInterval(intervalSeconds);
  instrument_ = instrument;
  if (!storeInstrument_ || !sameInstrument(*storeInstrument_, *instrument)) {
    store_.clear();
    polls_ = 0;
  } else if (!store_.empty() && !store_.back().gap()) {
    // No line across the time nothing was polled.
    added(trend::Point::gapAt(nowMs(), trend::Missing::NotPolled));
  }
  storeInstrument_ = instrument;
  state_ = State::Polling;
  note_.clear();
  changed();
  if (!inFlight_) tryPoll();
}

void TrendPoller::stop() {
  if (state_ == State::Stopped) return;
  stopWith(kTrendStoppedByOperatorNote);
}

void TrendPoller::stopWith(const std::string& why) {
  host_.timer.stop();
  state_ = State::Stopped;
  note_ = why;
  changed();
}

void TrendPoller::setInterval(double seconds) {
  const double clamped = std::clamp(std::isfinite(seconds) ? seconds : trend::kDefaultSeconds, trend::kFastestSeconds,
                                    trend::kSlowestSeconds);
  intervalMs_ = std::llround(clamped * kMsPerSecond);
  // The next poll keeps to the new interval from the last one.
  if (state_ != State::Stopped && !inFlight_ && host_.timer.isActive() && polls_ > 0) {
    schedule(pollStartMono_ + intervalMs_ - host_.monoMs());
  }
}

void TrendPoller::schedule(int64_t delayMs) {
  host_.timer.stop();
  host_.timer.setInterval(static_cast<int>(std::max<int64_t>(delayMs, 0)));
  host_.timer.start();
}

void TrendPoller::timerFired() {
  host_.timer.stop();
  if (state_ == State::Stopped || inFlight_) return;
  tryPoll();
}

void TrendPoller::pause(const std::string& why) {
  if (state_ != State::Paused || note_ != why) {
    state_ = State::Paused;
    note_ = why;
    changed();
  }
}

void TrendPoller::tryPoll() {
  link::LinkArbiter& link = host_.link;
  if (suspended_) {
    pause("Paused: " + suspendedBy_ + " is searching.");
    return;  // resume() looks again
  }
  if (!link.isOpen()) {
    stopWith(kTrendPortClosedNote);
    return;
  }
  if (link.claimed() || link.yielding()) {
    pause("Paused: " + link.holder() + " has the line.");
    schedule(kPausedRetryMs);
    return;
  }
  if (host_.replyAwaited && host_.replyAwaited()) {
    pause(kTrendReplyAwaitedNote);
    schedule(kPausedRetryMs);
    return;
  }
  if (const auto since = link.msSinceEngineWrite(); since && *since < kQuietAfterPageFrameMs) {
    schedule(kQuietAfterPageFrameMs - *since);
    return;
  }
  poll();
}

void TrendPoller::poll() {
  engine::SequenceStep step;
  step.label = "Command 3 (Read Dynamic Variables And Loop Current)";
  step.frame = [frame = frame_] { return frame; };
  step.accepts = [instrument = *instrument_](std::span<const uint8_t> block) {
    return longReplyFrom(block, instrument, hart::command::kReadDynamicVariables);
  };
  step.answerWindowMs = windowMs_;

  engine::RequestSequencer::Callbacks callbacks;
  callbacks.onAnswer = [this](size_t, bool answered, std::span<const uint8_t> answer) {
    added(answered ? pointFromAnswer(answer, pollMs_) : trend::Point::gapAt(pollMs_, trend::Missing::NoAnswer));
    return engine::RequestSequencer::Next::Continue;
  };
  callbacks.onFinished = [this](Outcome outcome, const std::string& why) {
    inFlight_ = false;
    if (state_ == State::Stopped) return;
    switch (outcome) {
      case Outcome::Completed:
      case Outcome::Stopped:
        // Never faster than a poll and its answer take.
        schedule(pollStartMono_ + intervalMs_ - host_.monoMs());
        break;
      case Outcome::Cancelled:
        schedule(0);  // the port closed under it, or is about to: the tick says which
        break;
      case Outcome::Failed:
        stopWith("Stopped: the poll could not be sent. " + why);
        break;
      case Outcome::PortLost:
        stopWith(kTrendHungUpNote);
        break;
    }
  };

  // A pause that left out a poll breaks the lines: a page's quick request
  // only moves the next poll a little.
  const int64_t sinceLast = host_.monoMs() - pollStartMono_;
  if (polls_ > 0 && !store_.empty() && !store_.back().gap() &&
      sinceLast > 2 * std::max<int64_t>(intervalMs_, windowMs_)) {
    added(trend::Point::gapAt(nowMs(), trend::Missing::NotPolled));
  }
  const bool resumed = state_ != State::Polling;
  state_ = State::Polling;
  note_.clear();
  inFlight_ = true;
  pollStartMono_ = host_.monoMs();
  pollMs_ = nowMs();
  ++polls_;
  if (resumed) changed();
  if (!host_.link.run({kHolder, {std::move(step)}, std::move(callbacks), true})) {
    inFlight_ = false;
    schedule(kPausedRetryMs);
  }
}

void TrendPoller::portChanged() {
  // The tick decides, once a hang-up (told right after the close) has had
  // its say.
  if (state_ != State::Stopped && !inFlight_ && !host_.link.isOpen() && !suspended_) schedule(0);
}

void TrendPoller::hungUp() {
  if (state_ != State::Stopped) stopWith(kTrendHungUpNote);
}

void TrendPoller::suspend(const std::string& who) {
  suspended_ = true;
  suspendedBy_ = who;
  if (state_ != State::Stopped) pause("Paused: " + who + " is searching.");
}

void TrendPoller::resume() {
  if (!suspended_) return;
  suspended_ = false;
  if (state_ != State::Stopped && !inFlight_) schedule(0);
}

}  // namespace tq::requests
