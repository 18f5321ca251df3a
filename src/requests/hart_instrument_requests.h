#pragma once
// The exchanges of the "HART Instrument" page, without the window: the scan
// of the loop, Read All and the two writes, each a short table of steps on
// the link's one request sequencer. While one runs, the link holds the line
// for it: the engine's pending code, time-out class, timers, send area and
// displays are never touched, so the other pages find everything as they
// left it.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "engine/request_sequencer.h"
#include "engine/transaction_engine.h"
#include "hart/frames.h"
#include "hart/identity.h"
#include "hart/properties.h"
#include "hart/reply.h"

namespace tq::link {
class LinkArbiter;
}

namespace tq::requests {

// What the page says when it will not start (shown in a message box).
inline constexpr const char* kPortClosedMessage =
    "The serial port is not open. Open it on the \"Syetem Parameters\" page first; nothing was sent.";
inline constexpr const char* kReplyAwaitedMessage =
    "A reply to the last request is still awaited. Try again once it has come or its time-out has been shown; "
    "nothing was sent.";
inline constexpr const char* kNoInstrumentMessage =
    "No instrument is addressed yet. Scan the loop and choose a row, or read its identity with "
    "\"HART Device Parameter Query\" on the Transparent Mode page; nothing was sent.";

class HartInstrumentRequests {
 public:
  enum class Action { Scan, ReadAll, WriteTag, WriteMessage };
  using Outcome = engine::RequestSequencer::Outcome;

  // One command's rows in the properties view.
  struct Group {
    uint8_t command = 0;
    std::string title;  // "Command 15: Read Device Information"
    std::vector<hart::PropertyRow> rows;
  };

  struct Finished {
    Action action = Action::Scan;
    Outcome outcome = Outcome::Completed;
    std::string note;     // the page's note line
    std::string message;  // for a message box; empty: none
  };

  struct Events {
    std::function<void(Action)> onStarted;
    // Progress: the step's position, of how many, and what it tries.
    std::function<void(size_t index, size_t count, const std::string& label)> onStep;
    std::function<void(const hart::UniqueIdentifier&)> onFound;
    // A command's rows; a group of the same command replaces the one shown.
    std::function<void(const Group&)> onGroup;
    std::function<void(const hart::TagDescriptorDate&)> onTagRead;
    std::function<void(const std::string&)> onMessageRead;
    std::function<void(const Finished&)> onFinished;
  };

  // A write checked and described, not sent yet.
  struct Write {
    Action action = Action::WriteTag;
    hart::DeviceIdentity instrument;
    std::string question;  // the instrument and exactly what will be written
    std::vector<uint8_t> frame;
    hart::TagDescriptorDate tag;  // as it should read back (WriteTag)
    std::string message;          // as it should read back (WriteMessage)
  };

  // `replyAwaited`: an engine request's reply is still awaited (Timer3 runs).
  HartInstrumentRequests(engine::TransactionEngine& engine, engine::View& view, link::LinkArbiter& link,
                         std::function<bool()> replyAwaited, char decimalSeparator = '.');

  Events events;

  // Each refuses (InputRefused, nothing sent) with the port closed, a reply
  // awaited, or a preamble length, command mode or address that cannot be
  // sent.
  // Command 0 in short frames to polling addresses 0 .. 15 (0 .. 63 wide).
  void scan(bool wide);
  // Commands 1, 2, 3, 12, 13, 15, 20 and 48 in long frames to the
  // addressed instrument; command 0 to ComboBox30's address first when no
  // identity is known.
  void readAll();
  // Refused as well for a text packed ASCII cannot carry, one too long, a
  // date an instrument cannot hold, and with no instrument addressed.
  Write prepareTagWrite(std::string_view tag, std::string_view descriptor, const hart::TagDate& date);
  Write prepareMessageWrite(std::string_view message);
  // Sends the write, then reads it back (13 or 12) and says whether the
  // instrument now holds it.
  void write(const Write& write);
  void cancel();
  bool running() const { return running_; }
  // The step running: for the scan, the polling address being tried.
  size_t currentStep() const;

  // A row of the scan chosen: that instrument becomes the addressed one, as
  // an identity read leaves it (identity, Edit28/29/31/32, ComboBox27), and
  // ComboBox30 shows its polling address (none above 15).
  void address(const hart::UniqueIdentifier& instrument);
  // The identity the long frames use; nullopt while none is known (all zero).
  std::optional<hart::DeviceIdentity> addressed() const;

  // What the addressed instrument said of itself in its command 0 reply.
  struct Traits {
    uint8_t preamblesRequested = 0;            // its long frames carry at least these
    std::optional<uint8_t> universalRevision;  // command 48's layout; nullopt: not known
  };
  // Known from a command 0 read here (the scan, Read All, Read Module);
  // for an instrument identified on the Transparent Mode page, the
  // preambles it asked for as "Preambles" (Edit31) shows them and no
  // revision.
  Traits traits() const;
  // The reply that answers `command` from the addressed instrument (long frame).
  hart::ReplyTo replyTo(uint8_t command) const;

  // Tests: every step waits this long instead of its constant.
  void setAnswerWindowMs(std::optional<int> ms) { windowOverrideMs_ = ms; }

  // A command's rows as the page shows them (Read Module fills the page
  // with the same), from the reply in `answer` that answers `to`.
  Group group(uint8_t command, bool answered, std::span<const uint8_t> answer, int windowMs,
              const hart::ReplyTo& to) const;

 private:
  struct Settings {
    std::string preambleText;
    int commandMode = 0;
  };
  // Port open, no reply awaited, and the page's frames can be built.
  Settings checkedSettings();
  // A write's start: checked settings and the addressed instrument.
  std::pair<Write, Settings> writeTo(Action action);
  int window(int constantMs) const { return windowOverrideMs_.value_or(constantMs); }
  // The preambles of a long frame to the addressed instrument, its window's
  // measure; with none addressed yet (a command 0 goes first), as many as an
  // instrument may ask for.
  size_t longFramePreambles(const Settings& settings) const;
  engine::SequenceStep readStep(const Settings& settings, uint8_t command, std::string label);
  void run(Action action, std::vector<engine::SequenceStep> steps,
           std::function<engine::RequestSequencer::Next(size_t, bool, std::span<const uint8_t>)> onAnswer,
           std::function<Finished(Outcome, const std::string&)> finish);
  void storeIdentity(const hart::DeviceIdentity& identity, uint8_t preamblesRequested,
                     std::optional<uint8_t> universalRevision);

  engine::TransactionEngine& engine_;
  engine::View& view_;
  link::LinkArbiter& link_;
  bool running_ = false;
  std::function<bool()> replyAwaited_;
  char decimalSeparator_;
  std::optional<int> windowOverrideMs_;
  // The last instrument whose command 0 was read here, with what it said.
  struct Known {
    hart::DeviceIdentity identity;
    Traits traits;
  };
  std::optional<Known> known_;
};

// What Read All reads, in this order, once the instrument's identity is known.
std::span<const uint8_t> readAllCommands();

// Whether `block` holds a short-frame reply from `address` to command 0,
// as far as its address and command arrived, whatever its check byte:
// shown for what it is.
bool shortReplyFrom(std::span<const uint8_t> block, int address);
// Whether `block` holds a long-frame reply from `instrument` to `command`,
// likewise. A late reply to an earlier command is passed over, also when
// the current one follows it in the same block.
bool longReplyFrom(std::span<const uint8_t> block, const hart::DeviceIdentity& instrument, uint8_t command);

// The write's outcome as the operator reads it: whether the instrument now
// holds what was written (from the read back), then how it answered the
// write. `writeReply`/`readBack`: nullopt when not answered.
std::string writeVerdict(const HartInstrumentRequests::Write& write, const std::optional<hart::ParsedReply>& writeReply,
                         const std::optional<hart::ParsedReply>& readBack, int writeWindowMs, int readWindowMs);

}  // namespace tq::requests
