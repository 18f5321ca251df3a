#pragma once
// How the line is doing since the port was opened: frames sent, answered,
// left without answer, answered with a wrong check byte, and how long the
// answers took, over every exchange of every page, sequence and poll, and
// by protocol. Pure: the link says when each frame went and each block
// ended.
//
// An exchange is a frame sent and the first block that ends after it. It
// is a time-out when its answer window closes without a block (a step of a
// sequence, the engine's Timer3), when the next frame goes out first, or
// when the port closes first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <string>

namespace tq::link {

enum class Traffic { Configuration, Hart, Modbus, Other };
inline constexpr size_t kTrafficCount = 4;

class LinkStats {
 public:
  struct Counts {
    uint64_t sent = 0;
    uint64_t answered = 0;
    uint64_t timeOuts = 0;
    uint64_t badChecks = 0;
    bool operator==(const Counts&) const = default;
  };

  // Everything forgotten: the port was opened again.
  void reset();
  // A frame of `kind` went out at `atNs` (monotonic).
  void sent(Traffic kind, int64_t atNs);
  // A block ended at `endedNs`; `badCheck`: its frame's check byte or CRC
  // is wrong. It answers the exchange open, if it ended after its frame.
  void received(int64_t endedNs, bool badCheck);
  // The open exchange's answer window closed, or the port did.
  void noAnswer();
  // The kind of the exchange awaiting its answer.
  std::optional<Traffic> awaiting() const { return open_ ? std::optional<Traffic>(openKind_) : std::nullopt; }

  Counts counts() const;
  Counts counts(Traffic kind) const { return counts_[index(kind)]; }
  // Nearest-rank percentiles of the answers' times, whole ms; nullopt
  // before any answer. `kind` nullopt: over every protocol.
  std::optional<int64_t> percentileMs(double fraction, std::optional<Traffic> kind = std::nullopt) const;

  // "42 sent · 40 answered · 2 time-outs · 0 bad checks · median 212 ms · p95 260 ms"
  std::string text() const;
  std::string text(Traffic kind) const;
  // The counts by protocol, a line each; other traffic only when there was any.
  std::string byProtocol() const;

 private:
  static size_t index(Traffic kind) { return static_cast<size_t>(kind); }
  std::string textOf(const Counts& c, std::optional<Traffic> kind) const;

  std::array<Counts, kTrafficCount> counts_{};
  // Answer times in whole ms and how often each came: bounded by the
  // longest answer, however long the port stays open.
  std::array<std::map<int64_t, uint64_t>, kTrafficCount> times_{};
  bool open_ = false;
  Traffic openKind_ = Traffic::Other;
  int64_t openNs_ = 0;
};

// The protocol's name as the link's tooltip says it: "configuration", "HART".
const char* trafficName(Traffic kind);

}  // namespace tq::link
