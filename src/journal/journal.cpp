#include "journal/journal.h"

namespace tq::journal {

namespace {

constexpr double kNsPerMs = 1e6;

Bytes copyOf(std::span<const uint8_t> bytes) {
  return std::make_shared<const std::vector<uint8_t>>(bytes.begin(), bytes.end());
}

std::span<const uint8_t> contextOf(const Entry& entry) {
  return entry.lastSent ? std::span<const uint8_t>(*entry.lastSent) : std::span<const uint8_t>();
}

}  // namespace

Category categoryOf(Protocol protocol) {
  switch (protocol) {
    case Protocol::Configuration:
      return Category::Configuration;
    case Protocol::Hart:
      return Category::Hart;
    case Protocol::Modbus:
      return Category::Modbus;
    case Protocol::Unknown:
      break;
  }
  return Category::Other;
}

const Entry& Journal::portOpened(std::string text, Moment at) {
  openedNs_ = at.monoNs;
  lastSentNs_.reset();  // an answer after this open answers nothing sent before it
  lastSent_.reset();
  return event(std::move(text), at);
}

const Entry& Journal::event(std::string text, Moment at) {
  Entry entry;
  entry.at = at;
  entry.direction = Direction::Event;
  entry.category = Category::Event;
  entry.summary = std::move(text);
  return append(std::move(entry));
}

const Entry& Journal::sent(std::span<const uint8_t> frame, Moment at) {
  Entry entry = blockEntry(Direction::Sent, frame, at);
  lastSentNs_ = at.monoNs;
  lastSent_ = entry.bytes;
  lastSentCategory_ = entry.category;
  return append(std::move(entry));
}

const Entry& Journal::received(std::span<const uint8_t> block, Moment blockEnd) {
  Entry entry = blockEntry(Direction::Received, block, blockEnd);
  if (lastSentNs_) entry.responseMs = double(blockEnd.monoNs - *lastSentNs_) / kNsPerMs;
  return append(std::move(entry));
}

// A frame or block with what its dissection says of it. A received block
// keeps what was sent before it, to be taken apart again the same way.
Entry Journal::blockEntry(Direction direction, std::span<const uint8_t> bytes, Moment at) const {
  Entry entry;
  entry.at = at;
  entry.direction = direction;
  entry.bytes = copyOf(bytes);
  if (direction == Direction::Received) entry.lastSent = lastSent_;
  const Dissection d = dissectBlock(direction, bytes, contextOf(entry), Detail::Summary);
  // Bytes nobody could make sense of belong with what they answered.
  entry.category = d.protocol == Protocol::Unknown && entry.lastSent ? lastSentCategory_ : categoryOf(d.protocol);
  entry.summary = d.summary();
  entry.bad = d.firstFault() != nullptr;
  return entry;
}

Dissection Journal::dissect(const Entry& entry) const {
  if (!entry.bytes) return {};
  return dissectBlock(entry.direction, *entry.bytes, contextOf(entry));
}

const Entry& Journal::append(Entry entry) {
  entry.number = nextNumber_++;
  if (openedNs_) entry.sinceOpenMs = (entry.at.monoNs - *openedNs_) / int64_t(kNsPerMs);
  makeRoomFor(entry.byteCount());
  bytes_ += entry.byteCount();
  entries_.push_back(std::make_shared<const Entry>(std::move(entry)));
  if (listener_) listener_->changed();
  return *entries_.back();
}

void Journal::makeRoomFor(size_t byteCount) {
  size_t count = 0;
  size_t freed = 0;
  // A block larger than the byte bound on its own still gets in, alone.
  while (count < entries_.size() &&
         (entries_.size() - count + 1 > limits_.maxEntries || bytes_ - freed + byteCount > limits_.maxBytes)) {
    freed += entries_[count]->byteCount();
    ++count;
  }
  entries_.erase(entries_.begin(), entries_.begin() + static_cast<std::ptrdiff_t>(count));
  bytes_ -= freed;
  dropped_ += count;
}

void Journal::clear() {
  entries_.clear();
  bytes_ = 0;
  dropped_ = 0;
  if (listener_) listener_->changed();
}

}  // namespace tq::journal
