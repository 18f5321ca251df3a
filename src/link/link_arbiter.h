#pragma once
// The one place that talks to the serial port: it writes every frame,
// receives every block and port event, and records each of them in the
// journal. By default blocks go to the transaction engine exactly as the
// port delivers them. A sequence of the tool's own (the module finder, the
// HART scan, Read All) runs here with the line to itself: its blocks and its
// timer's ticks go to the one request sequencer, the engine can neither send
// nor touch the port meanwhile, and when the sequence ends (done, cancelled,
// failed or the port lost) the engine finds its port as it left it.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/line_setting.h"
#include "engine/interfaces.h"
#include "engine/request_sequencer.h"
#include "journal/journal.h"
#include "link/link_stats.h"
#include "link/port.h"
#include "serial/port_discovery.h"

namespace tq::link {

// The device a port was last opened on, as the hang-up watch needs it.
struct OpenedDevice {
  std::string name;        // as opened (SPREALCOM's text)
  std::string stableName;  // its /dev/serial/by-id name, when it has one
  std::optional<serial::DeviceSeen> seen;
};

// A port that hung up, the setting it was open with, and a watch for the
// device to come back.
struct LostPort {
  LineSetting line;
  serial::DeviceWatch watch;
};

// A table of steps to run with the line to itself.
struct ExclusiveRun {
  std::string holder;  // as the journal says who holds the port: "Find Module"
  std::vector<engine::SequenceStep> steps;
  // onFinished comes once the line is given back, so it may start another run.
  engine::RequestSequencer::Callbacks callbacks;
  // A run that gives way (the trend's poll, one step): what comes while it
  // holds the line is not refused but waits for its end, at most one
  // answer window: the engine's frames are sent then, in the order they
  // came, and another run starts then. Blocks its step does not take go to
  // the engine as usual.
  bool yields = false;
};

class LinkArbiter : public engine::Port, private link::Port::Listener, private engine::RequestSequencer::Line {
 public:
  // `sequenceTimer` times the steps' answer windows; its ticks must reach
  // timerFired().
  LinkArbiter(link::Port& port, journal::Journal& journal, engine::Timer& sequenceTimer);
  ~LinkArbiter() override;

  // Where blocks go while no sequence runs: the engine's receive handler,
  // with how long ago the block ended.
  std::function<void(std::span<const uint8_t> block, int ageMs)> onEngineBlock;
  // Every block received, run or not, after the journal took it.
  std::function<void(std::span<const uint8_t> block)> onAnyBlock;
  // The port opened or closed, for whatever reason.
  std::function<void()> onOpenChanged;
  // An engine frame held while a run that gives way held the line has
  // just been sent: the engine's wait for its answer starts now.
  std::function<void()> onHeldWriteSent;
  // Bytes were dropped on the way in, or other line errors; their flags.
  std::function<void(uint32_t errors)> onReceiveError;
  // The link's statistics changed (a frame, a block, a time-out, an open).
  std::function<void()> onStatsChanged;
  // The device hung up: the port is closed, the lost port recorded and a
  // running sequence has ended (PortLost) before listeners are told, in the
  // order they were added.
  void addHangupListener(std::function<void(const LostPort&)> listener);

  // engine::Port: the engine's own use of the port, journaled. While a
  // sequence holds the line the engine cannot touch it: nothing it writes
  // is sent, its settings and closes change nothing, and an open is refused.
  void closePort(const std::string& reason) override;
  void setBaudRate(uint32_t baud) override;
  void setParity(Parity parity) override;
  void setCommName(const std::string& name) override;
  void disableXonXoff() override;
  void openPort() override;
  void setDtr(bool enable) override;
  void setRts(bool enable) override;
  bool writeData(std::span<const uint8_t> bytes) override;

  // Starts `run` with the line to itself; false (nothing started) while
  // another holds it. While a run that gives way holds it, `run` waits for
  // its end and starts then (true).
  bool run(ExclusiveRun run);
  // Ends the run waiting for the line, or else the one running unless it
  // gives way, at once (onFinished(Cancelled)).
  void cancelRun();
  // Ends a running run that gives way at once (onFinished(Cancelled)).
  void cancelYieldingRun();
  // The line is the engine's no more: a run holds it that does not give
  // way, from run() until just before its onFinished, or one waits for it.
  bool claimed() const { return (sequencer_.running() && !yielding_) || waitingRun_.has_value(); }
  // A run that gives way holds the line.
  bool yielding() const { return sequencer_.running() && yielding_; }
  // Who holds the line, or waits for it: "Read Module".
  const std::string& holder() const { return waitingRun_ ? waitingRun_->holder : holder_; }
  size_t currentStep() const { return sequencer_.currentStep(); }
  // How long ago the engine's last frame went out; nullopt before any.
  std::optional<int64_t> msSinceEngineWrite() const;
  // The sequence timer's tick.
  void timerFired();
  // For a running sequence's steps: opens the port with `line` (throws
  // serial::ECommsError) and closes it again with `reason`.
  void openWith(const LineSetting& line);
  void close(const std::string& reason);

  bool isOpen() const { return port_.isOpen(); }
  const std::string& portName() const { return port_.name(); }
  // The port's setting now: name, rate, parity and modem lines.
  LineSetting setting() const;
  uint64_t receiveOverrunBytes() const { return port_.receiveOverrunBytes(); }
  // The device of the last successful open.
  const OpenedDevice& lastOpened() const { return lastOpened_; }
  // The port lost last, until the next open.
  const std::optional<LostPort>& lostPort() const { return lost_; }
  // Events of the tool itself (time-outs, messages shown).
  void journalEvent(std::string text);
  // The engine's wait for an answer ended without one (Timer3).
  void answerTimedOut();
  // Every exchange since the port was last opened.
  const LinkStats& stats() const { return stats_; }

  // Tests: the clock the journal's moments are read from.
  void setClock(std::function<journal::Moment()> clock) { clock_ = std::move(clock); }

 private:
  // Port::Listener
  void blockArrived(std::span<const uint8_t> block, int64_t endedNs, uint64_t session) override;
  void receiveError(uint32_t errors) override;
  void hungUp(uint64_t session) override;
  // RequestSequencer::Line
  bool write(std::span<const uint8_t> bytes) override { return send(bytes); }

  void openNow();
  void closeNow(const std::string& reason);
  bool send(std::span<const uint8_t> bytes);
  bool sendForEngine(std::span<const uint8_t> bytes);
  void start(ExclusiveRun run);
  // A run that gave way ended: what waited for it goes now.
  void releaseHeld();
  void statsChanged();
  bool heldFromEngine(const char* what);
  journal::Moment now() const;

  link::Port& port_;
  journal::Journal& journal_;
  engine::RequestSequencer sequencer_;
  std::function<journal::Moment()> clock_;
  std::string holder_;     // who holds the line while a sequence runs
  bool yielding_ = false;  // the running sequence gives way
  std::optional<ExclusiveRun> waitingRun_;
  std::vector<std::vector<uint8_t>> heldFrames_;  // the engine's, in order
  std::optional<int64_t> engineSentNs_;
  OpenedDevice lastOpened_;
  std::optional<LostPort> lost_;
  std::vector<std::function<void(const LostPort&)>> hangupListeners_;
  LinkStats stats_;
};

}  // namespace tq::link
