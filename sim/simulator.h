#pragma once
// The module on its line: collects received bytes into frames, answers them,
// and schedules the answers (with the injected faults) for the line. Time is
// passed in, in microseconds on any monotonic clock, so tests run it by hand.
#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "module.h"

namespace tq::sim {

using Micros = int64_t;

// A frame left incomplete this long after its last byte is given up.
inline constexpr Micros kFrameSilenceUs = 50'000;

struct FaultOptions {
  std::vector<uint8_t> match;  // faults apply to requests holding these bytes; empty: all
  int count = -1;              // how many matching requests get them; -1 every one
  Micros delayUs = 0;          // extra wait before the answer
  Micros splitGapUs = -1;      // silence inside the answer; < 0 no split
  int splitAt = -1;            // bytes before the gap; < 0 half the answer
  bool noReply = false;
  int noiseBytes = 0;   // garbage sent before the answer
  int hangUpAfter = 0;  // hang up after this many matching requests; 0 never
};

struct LineTiming {
  int baud = 9600;
  int bitsPerChar = 10;  // start, 8 data, parity if any, stop bits
  Micros charTimeUs() const { return baud > 0 ? (1'000'000LL * bitsPerChar + baud - 1) / baud : 0; }
};

// One instrument of a multidrop loop as it starts.
struct HartInstrumentSetup {
  HartIdentity identity;
  HartProperties properties;
};

struct SimConfig {
  ModuleSettings settings = factorySettings();
  HartIdentity identity{};                // the instrument, when `loop` is empty
  HartProperties hart{};                  // its start values
  HartFaults hartFaults{};                // for every instrument on the loop
  std::vector<HartInstrumentSetup> loop;  // several instruments (multidrop)
  FaultOptions faults{};
  bool pace = false;                    // bytes leave one character time apart
  std::optional<double> frozenSeconds;  // instrument clock held at this value
  // Input arriving at another rate than the module's RS485 setting is
  // garbage to the module, as on a real line. (Parity cannot be told: the
  // pty driver drops it from the line settings.)
  bool strictLine = false;
  // With strictLine: the rate the module listens at until its RS485 rate is
  // next set (or reset), when it is one its setting cannot name (38400);
  // 0: the RS485 setting's rate.
  int listenBaud = 0;
};

// The module's RS485 rate for its baud setting (1200 .. 19200).
int moduleBaud(const ModuleSettings& settings);
// Whether an answer says the module stored a new RS485 rate (or went back
// to its factory settings).
bool storesLineRate(std::span<const uint8_t> answer);

// The instruments `config` puts on the loop.
std::vector<HartInstrument> loopInstruments(const SimConfig& config);

class Simulator {
 public:
  Simulator(SimConfig config, Micros start);

  // Bytes from the line at `now`; answers to complete frames are scheduled.
  void receive(std::span<const uint8_t> bytes, Micros now);

  // Gives up an incomplete frame after kFrameSilenceUs and returns the bytes
  // due on the line at `now`, in order.
  std::vector<uint8_t> poll(Micros now);

  // When poll next has something to do; nullopt: only new input matters.
  std::optional<Micros> nextDeadline() const;

  // True once the configured hang-up request has been answered in full.
  bool hangUpDue() const { return hangUpArmed_ && queue_.empty(); }

  void setLineTiming(LineTiming timing) { timing_ = timing; }
  // The rate the module hears on its line now.
  int listeningBaud() const { return listenBaud_ > 0 ? listenBaud_ : moduleBaud(module_.settings()); }
  const LineTiming& lineTiming() const { return timing_; }
  Module& module() { return module_; }
  double instrumentSeconds(Micros now) const;

  // Lines describing traffic since the last call ("<- QQQ#QV#", "-> QV:20#").
  // At most kMaxLogLines are kept; older ones give way to a line that counts
  // them, so a simulator nobody reads the log of stays small.
  std::vector<std::string> takeLog();

 private:
  struct Chunk {
    Micros due;
    std::vector<uint8_t> bytes;
  };

  void scan(Micros now, bool final);
  void log(std::string line);
  void logNoise(std::span<const uint8_t> bytes);
  void endNoise();
  void schedule(std::vector<uint8_t> reply, bool faulty, Micros now);
  void enqueue(std::vector<uint8_t> bytes, Micros start);
  bool matches(std::span<const uint8_t> frame) const;

  SimConfig config_;
  Module module_;
  Micros start_;
  LineTiming timing_{};
  std::vector<uint8_t> input_;
  Micros lastInput_ = 0;
  std::deque<Chunk> queue_;
  Micros lineFreeAt_ = 0;
  int faultsApplied_ = 0;
  int matchingRequests_ = 0;
  bool hangUpArmed_ = false;
  uint32_t noiseState_ = 0x2545F491u;
  int listenBaud_ = 0;  // config_.listenBaud until the rate is set
  std::deque<std::string> log_;
  size_t droppedLogLines_ = 0;
  // The run of noise being received: one log line, its first bytes shown.
  std::vector<uint8_t> noiseShown_;
  size_t noiseLength_ = 0;
};

inline constexpr size_t kMaxLogLines = 1000;
// Bytes of a run of noise (or of garbled input) that its log line shows.
inline constexpr size_t kLoggedNoiseBytes = 32;

// Bytes as text when they are printable ASCII, otherwise in hex.
std::string describeBytes(std::span<const uint8_t> bytes);

}  // namespace tq::sim
