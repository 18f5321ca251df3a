#pragma once
// The exchange journal: every frame written to the port, every block
// received and every event of the link, in the order they happened, with
// when and how long the answer took. A bounded ring: beyond the entry and
// byte bounds the oldest entries go and are counted. No toolkit, no clock
// of its own: the caller says when each entry happened.
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/dissection.h"
#include "journal/dissect.h"

namespace tq::journal {

using Bytes = std::shared_ptr<const std::vector<uint8_t>>;

// A moment on both clocks: the wall clock for people, the monotonic one for
// intervals.
struct Moment {
  int64_t wallMs = 0;  // since the epoch
  int64_t monoNs = 0;
};

// What the journal's filter offers.
enum class Category { Configuration, Hart, Modbus, Other, Event };

struct Entry {
  uint64_t number = 0;       // 1 for the first entry; never reused, also across a clear
  Moment at;                 // received blocks: when the receive thread ended the block
  int64_t sinceOpenMs = -1;  // since the port was last opened; -1 before any open
  Direction direction = Direction::Event;
  Bytes bytes;                       // empty for events
  std::optional<double> responseMs;  // received: from the last frame sent to the block's end
  Category category = Category::Other;
  std::string summary;  // the dissection's summary, or the event's text
  bool bad = false;     // the dissection found a fault
  Bytes lastSent;       // received: what was sent before it, to take it apart again

  size_t byteCount() const { return bytes ? bytes->size() : 0; }
};

struct Limits {
  size_t maxEntries = 10'000;
  size_t maxBytes = 8u << 20;
};

class Journal {
 public:
  // Told after the ring changed (an entry added, old ones gone, a clear).
  // A view follows by entry numbers, in its own time: entries are
  // numbered in order and a number is never reused.
  class Listener {
   public:
    virtual ~Listener() = default;
    virtual void changed() = 0;
  };

  explicit Journal(Limits limits = {}) : limits_(limits) {}
  void setListener(Listener* listener) { listener_ = listener; }

  // Link events: an open starts the "since the port opened" clock.
  const Entry& portOpened(std::string text, Moment at);
  const Entry& event(std::string text, Moment at);
  const Entry& sent(std::span<const uint8_t> frame, Moment at);
  const Entry& received(std::span<const uint8_t> block, Moment blockEnd);

  // The entry's dissection, made again from its bytes (entries keep only
  // the summary, so a flood of large blocks costs its bytes and no more).
  Dissection dissect(const Entry& entry) const;

  size_t size() const { return entries_.size(); }
  const Entry& at(size_t position) const { return *entries_[position]; }
  // The entry, kept alive for as long as the caller holds it, also after
  // the journal has let it go (a view's rows between two catch-ups).
  std::shared_ptr<const Entry> share(size_t position) const { return entries_[position]; }
  // Entries that gave way to newer ones since the last clear.
  uint64_t dropped() const { return dropped_; }
  size_t bytes() const { return bytes_; }
  const Limits& limits() const { return limits_; }
  void clear();

 private:
  Entry blockEntry(Direction direction, std::span<const uint8_t> bytes, Moment at) const;
  const Entry& append(Entry entry);
  void makeRoomFor(size_t byteCount);

  Limits limits_;
  Listener* listener_ = nullptr;
  std::deque<std::shared_ptr<const Entry>> entries_;
  uint64_t nextNumber_ = 1;
  uint64_t dropped_ = 0;
  size_t bytes_ = 0;
  std::optional<int64_t> openedNs_;
  std::optional<int64_t> lastSentNs_;
  Bytes lastSent_;
  Category lastSentCategory_ = Category::Other;
};

Category categoryOf(Protocol protocol);

}  // namespace tq::journal
