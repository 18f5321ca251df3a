#pragma once
// Finding the module when nobody remembers its serial settings: the
// communication query "QQQ#QV#" tried at every rate and parity the tool
// offers, likeliest first, on one port or on several, one setting at a time
// as one run on the link, which opens the port afresh at each setting. The
// first answer holding "QV:" ends the search. Nothing here knows the
// window: tests drive the whole search through the link on a fake port.
#include <array>
#include <cstdint>
#include <functional>
#include <iosfwd>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/line_setting.h"
#include "engine/request_sequencer.h"

namespace tq::link {
class LinkArbiter;
}

namespace tq::requests {

// After the setting chosen now, the rates in the order modules are found at
// most often: the factory 9600 first, the slow rates near the end, and the
// baud list's own "15200" last.
inline constexpr std::array<uint32_t, 9> kFinderRates = {9600, 19200, 38400, 57600, 115200, 4800, 2400, 1200, 15200};
// At each rate: none, even, odd.
inline constexpr std::array<Parity, 3> kFinderParities = {Parity::None, Parity::Even, Parity::Odd};

// How long one try waits for the answer. The module answers at once, or
// 100 ms late with its communication delay on; the serial link hands a block
// over after 100 ms of silence; the query and the answer ("QQQ#QV#",
// "QV:20#") take their character times at the rate tried (11 bits a
// character with parity); a USB adapter's latency timer and the hand-over to
// the window's thread take a little more. Never less than 300 ms.
inline constexpr int kModuleAnswerMs = 100;
inline constexpr int kBlockSilenceMs = 100;
inline constexpr int kDeliveryMarginMs = 50;
inline constexpr int kMinAnswerWindowMs = 300;
inline constexpr int kQueryChars = 7;
inline constexpr int kAnswerChars = 6;
inline constexpr int kBitsPerCharWithParity = 11;
// What an answer to the communication query holds.
inline constexpr const char* kModuleAnswerMarker = "QV:";

void PrintTo(const LineSetting& line, std::ostream* out);

// What the search starts from, as the window's controls give it.
struct FinderPlan {
  // The port named now first, then (all ports) the others, each once.
  std::vector<std::string> ports;
  // The rate and parity chosen now; no rate when the baud entry is not one.
  std::optional<uint32_t> chosenBaud;
  Parity chosenParity = Parity::None;
  // The rates of the baud list, so a rate only the list offers is tried too.
  std::vector<uint32_t> listedBauds;
  // COM_RTS and COM_DTR as ticked: every try opens with them.
  bool rts = false;
  bool dtr = false;
};

// The ports to search, each once: "COM4" and "/dev/ttyS3" are one port,
// asked under the first name; empty names are passed over.
std::vector<std::string> distinctPorts(const std::vector<std::string>& names);

// Every setting the search tries, in order, none twice: per port, the chosen
// rate and parity, then each rate of kFinderRates, then those only the list
// has, then a typed rate that no list has, each with the parities none,
// even, odd.
std::vector<LineSetting> finderTries(const FinderPlan& plan);

// The answer window of one try at `baud`, in ms.
int answerWindowMs(uint32_t baud);

// The longest a search over `tries` waits on the line: every window in full.
int64_t worstCaseMs(const std::vector<LineSetting>& tries);

// Whether a block is the module's answer to the communication query.
bool holdsModuleAnswer(std::span<const uint8_t> block);

// What the search met on each port, for the message when nothing answered.
struct FinderLog {
  struct PortLog {
    std::vector<LineSetting> heard;    // opened, queried, nothing answered
    std::vector<LineSetting> refused;  // the port refused the setting
    std::string unavailable;           // why the port could not be opened at all
  };
  std::vector<std::string> order;  // ports in the order first met
  std::map<std::string, PortLog> ports;
  PortLog& port(const std::string& name);
};

// The one message shown when nothing answered: what was tried and what to
// check.
std::string nothingAnsweredMessage(const FinderLog& log);

class ModuleFinder {
 public:
  enum class Outcome { Found, NothingAnswered, Cancelled, Failed };
  struct Result {
    Outcome outcome = Outcome::NothingAnswered;
    std::optional<LineSetting> found;
    std::vector<uint8_t> answer;  // the block that answered
    std::string message;          // NothingAnswered: what to show; Failed: why
  };
  struct Callbacks {
    // A try begins: its position (from 0), of how many.
    std::function<void(size_t index, size_t count, const LineSetting& line)> onTry;
    // Once, with the port already closed again.
    std::function<void(const Result& result)> onFinished;
  };

  explicit ModuleFinder(link::LinkArbiter& link) : link_(link) {}

  // Starts the search over finderTries(plan). False (nothing started) when
  // there is nothing to try or another sequence holds the line.
  bool start(const FinderPlan& plan, Callbacks callbacks);
  // Ends the search at once: nothing more is sent, the port is closed.
  void cancel();
  bool running() const { return running_; }
  const std::vector<LineSetting>& tries() const { return tries_; }

 private:
  bool prepare(size_t index);
  void finished(engine::RequestSequencer::Outcome outcome, const std::string& why);

  link::LinkArbiter& link_;
  Callbacks callbacks_;
  std::vector<LineSetting> tries_;
  FinderLog log_;
  bool running_ = false;
  std::optional<size_t> answeredAt_;
  std::vector<uint8_t> answer_;
};

}  // namespace tq::requests
