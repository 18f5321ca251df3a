#include "link/link_arbiter.h"

#include <chrono>

#include "hart/reply.h"
#include "serial/comm_types.h"
#include "tools/modbus_test.h"
#include "serial/comm_threads.h"
#include "serial/posix_device.h"

namespace tq::link {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;

Traffic trafficOf(journal::Category category) {
  switch (category) {
    case journal::Category::Configuration:
      return Traffic::Configuration;
    case journal::Category::Hart:
      return Traffic::Hart;
    case journal::Category::Modbus:
      return Traffic::Modbus;
    case journal::Category::Other:
    case journal::Category::Event:
      break;
  }
  return Traffic::Other;
}

// Whether a block answering a frame of `kind` carries a wrong check byte
// (a whole HART reply, whatever asked for it) or CRC (the answer to a
// MODBUS frame); the module's own frames have none.
bool badCheck(Traffic kind, std::span<const uint8_t> block) {
  constexpr size_t kCrcBytes = 2;
  constexpr size_t kShortestModbusFrame = 4;  // slave, function, CRC
  if (kind == Traffic::Modbus) {
    if (block.size() < kShortestModbusFrame) return false;
    const auto crc = tools::crc16Modbus(block.first(block.size() - kCrcBytes));
    return crc[0] != block[block.size() - 2] || crc[1] != block[block.size() - 1];
  }
  const auto frame = hart::findReplyFrame(block);
  return frame && frame->whole() && !frame->checkOk();
}

journal::Moment systemNow() {
  const int64_t wallMs =
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
          .count();
  return {wallMs, serial::monotonicNs()};
}

}  // namespace

LinkArbiter::LinkArbiter(link::Port& port, journal::Journal& journal, engine::Timer& sequenceTimer)
    : port_(port), journal_(journal), sequencer_(*this, sequenceTimer), clock_(systemNow) {
  port_.listen(this);
}

LinkArbiter::~LinkArbiter() { port_.listen(nullptr); }

journal::Moment LinkArbiter::now() const { return clock_(); }

LineSetting LinkArbiter::setting() const {
  return {port_.name(), port_.baudRate(), port_.parity(), port_.rts(), port_.dtr()};
}

void LinkArbiter::journalEvent(std::string text) { journal_.event(std::move(text), now()); }

void LinkArbiter::statsChanged() {
  if (onStatsChanged) onStatsChanged();
}

void LinkArbiter::answerTimedOut() {
  if (!stats_.awaiting()) return;
  stats_.noAnswer();
  statsChanged();
}

void LinkArbiter::addHangupListener(std::function<void(const LostPort&)> listener) {
  hangupListeners_.push_back(std::move(listener));
}

bool LinkArbiter::heldFromEngine(const char* what) {
  if (!claimed()) return false;
  journalEvent(std::string(what) + " refused: " + holder() + " holds the port");
  return true;
}

// A run that gives way ends at once when the engine closes or opens the
// port: no answer can come on a port about to close.
void LinkArbiter::closePort(const std::string& reason) {
  if (!port_.isOpen() || heldFromEngine("Close")) return;
  cancelYieldingRun();
  closeNow(reason);
}

void LinkArbiter::close(const std::string& reason) { closeNow(reason); }

void LinkArbiter::closeNow(const std::string& reason) {
  if (!port_.isOpen()) return;
  port_.close();
  journalEvent("Port " + port_.name() + " closed" + (reason.empty() ? "" : " " + reason));
  answerTimedOut();  // no answer can come any more
  if (onOpenChanged) onOpenChanged();
}

void LinkArbiter::setBaudRate(uint32_t baud) {
  if (!claimed()) port_.setBaudRate(baud);
}

void LinkArbiter::setParity(Parity parity) {
  if (!claimed()) port_.setParity(parity);
}

void LinkArbiter::setCommName(const std::string& name) {
  if (!claimed()) port_.setName(name);
}

void LinkArbiter::disableXonXoff() {
  if (!claimed()) port_.setXonXoff(false);
}

void LinkArbiter::setDtr(bool enable) {
  if (!claimed()) port_.setDtr(enable);
}

void LinkArbiter::setRts(bool enable) {
  if (!claimed()) port_.setRts(enable);
}

void LinkArbiter::openPort() {
  if (heldFromEngine("Open")) throw serial::ECommsError("The serial port is in use by " + holder() + ".");
  cancelYieldingRun();
  openNow();
}

void LinkArbiter::openNow() {
  const std::string line = settingText(port_.baudRate(), port_.parity());
  try {
    port_.open();
  } catch (const serial::ECommsError& e) {
    journalEvent("Port " + port_.name() + " not opened (" + line + "): " + e.what());
    throw;
  }
  journal_.portOpened("Port " + port_.name() + " opened, " + line, now());
  lost_.reset();
  stats_.reset();
  statsChanged();
  // Found now: once an adapter is pulled its by-id name is gone too.
  lastOpened_ = {port_.name(), serial::stableNameFor(port_.name()), serial::probeDevice(port_.name())};
  if (onOpenChanged) onOpenChanged();
}

// The same steps as the engine's open, in the same order: the modem lines
// once the port is open.
void LinkArbiter::openWith(const LineSetting& line) {
  port_.setName(line.port);
  port_.setBaudRate(line.baud);
  port_.setParity(line.parity);
  port_.setXonXoff(false);
  openNow();
  port_.setDtr(line.dtr);
  port_.setRts(line.rts);
}

bool LinkArbiter::writeData(std::span<const uint8_t> bytes) {
  if (claimed()) {
    if (!bytes.empty()) {
      journalEvent("Not sent, " + holder() +
                   " holds the port: " + journal::dissectBlock(journal::Direction::Sent, bytes, {}).summary());
    }
    return false;
  }
  if (yielding() && !bytes.empty() && port_.isOpen()) {
    heldFrames_.emplace_back(bytes.begin(), bytes.end());
    return true;
  }
  return sendForEngine(bytes);
}

bool LinkArbiter::sendForEngine(std::span<const uint8_t> bytes) {
  const int64_t at = now().monoNs;
  if (!send(bytes)) return false;
  engineSentNs_ = at;
  return true;
}

std::optional<int64_t> LinkArbiter::msSinceEngineWrite() const {
  if (!engineSentNs_) return std::nullopt;
  return (now().monoNs - *engineSentNs_) / kNsPerMs;
}

bool LinkArbiter::send(std::span<const uint8_t> bytes) {
  const journal::Moment at = now();
  if (!port_.write(bytes)) {
    if (!bytes.empty()) {
      journal_.event("Not sent, the port is closed: " +
                         journal::dissectBlock(journal::Direction::Sent, bytes, {}, journal::Detail::Summary).summary(),
                     at);
    }
    return false;
  }
  const journal::Entry& entry = journal_.sent(bytes, at);
  stats_.sent(trafficOf(entry.category), at.monoNs);
  statsChanged();
  return true;
}

void LinkArbiter::blockArrived(std::span<const uint8_t> block, int64_t endedNs, uint64_t session) {
  // Stamped when the receive thread ended the block, not when it was taken
  // here: the answer time is the line's, not the window's.
  const journal::Moment taken = now();
  const int64_t ageMs = (taken.monoNs - endedNs) / kNsPerMs;
  journal_.received(block, {taken.wallMs - ageMs, endedNs});
  if (port_.isOpen() && session == port_.session()) {
    if (const auto kind = stats_.awaiting()) {
      stats_.received(endedNs, badCheck(*kind, block));
      statsChanged();
    }
  }
  if (onAnyBlock) onAnyBlock(block);
  if (sequencer_.running()) {
    const bool yielding = yielding_;
    // A block of an earlier open (a late answer to an earlier setting) is
    // journaled only.
    const bool taken = port_.isOpen() && session == port_.session() && sequencer_.blockReceived(block);
    // What a run that gives way does not take is the engine's, as ever.
    if (!taken && yielding && onEngineBlock) onEngineBlock(block, static_cast<int>(ageMs));
  } else if (onEngineBlock) {
    onEngineBlock(block, static_cast<int>(ageMs));
  }
}

void LinkArbiter::receiveError(uint32_t errors) {
  if (errors & serial::line_error::kReceiveQueueOverflow) {
    journalEvent("Receive overrun: " + std::to_string(port_.receiveOverrunBytes()) +
                 " bytes dropped since the port was opened");
  }
  if (onReceiveError) onReceiveError(errors);
}

void LinkArbiter::hungUp(uint64_t session) {
  // A hang-up of an open closed since would close the port open now.
  if (!port_.isOpen() || session != port_.session()) return;
  const LineSetting line = setting();
  port_.close();
  journalEvent("Port " + line.port + " closed: the device hung up (adapter unplugged, device gone or far end closed)");
  answerTimedOut();
  if (onOpenChanged) onOpenChanged();
  const bool known = lastOpened_.name == line.port;
  lost_.emplace(LostPort{line, serial::DeviceWatch(line.port, known ? lastOpened_.stableName : std::string(),
                                                   known ? lastOpened_.seen : std::nullopt)});
  const std::string why =
      "The serial port " + line.port + " hung up (adapter unplugged, device gone or far end closed).";
  // A run waiting for the line ends as the one running does.
  std::optional<ExclusiveRun> waiting = std::move(waitingRun_);
  waitingRun_.reset();
  sequencer_.portLost(why);
  if (waiting && waiting->callbacks.onFinished)
    waiting->callbacks.onFinished(engine::RequestSequencer::Outcome::PortLost, why);
  // A copy: a listener may open the port again, which forgets the loss.
  const LostPort lost = *lost_;
  for (const auto& listener : hangupListeners_) listener(lost);
}

bool LinkArbiter::run(ExclusiveRun run) {
  if (claimed()) return false;
  if (yielding()) {
    waitingRun_ = std::move(run);
    return true;
  }
  start(std::move(run));
  return true;
}

void LinkArbiter::start(ExclusiveRun run) {
  holder_ = std::move(run.holder);
  yielding_ = run.yields;
  if (yielding_) {
    run.callbacks.onFinished = [this, finished = std::move(run.callbacks.onFinished)](
                                   engine::RequestSequencer::Outcome outcome, const std::string& why) {
      yielding_ = false;
      if (finished) finished(outcome, why);
      releaseHeld();
    };
  }
  sequencer_.start(std::move(run.steps), std::move(run.callbacks));
}

void LinkArbiter::releaseHeld() {
  const std::vector<std::vector<uint8_t>> frames = std::move(heldFrames_);
  heldFrames_.clear();
  for (const std::vector<uint8_t>& frame : frames) {
    if (sendForEngine(frame) && onHeldWriteSent) onHeldWriteSent();
  }
  if (waitingRun_ && !sequencer_.running()) {
    ExclusiveRun next = std::move(*waitingRun_);
    waitingRun_.reset();
    start(std::move(next));
  }
}

void LinkArbiter::cancelRun() {
  if (waitingRun_) {
    ExclusiveRun waiting = std::move(*waitingRun_);
    waitingRun_.reset();
    if (waiting.callbacks.onFinished) waiting.callbacks.onFinished(engine::RequestSequencer::Outcome::Cancelled, {});
    return;
  }
  if (!yielding_) sequencer_.cancel();
}

void LinkArbiter::cancelYieldingRun() {
  if (yielding()) sequencer_.cancel();
}

void LinkArbiter::timerFired() {
  // The step's answer window closed without its answer.
  if (sequencer_.awaitingAnswer()) answerTimedOut();
  sequencer_.timerFired();
}

}  // namespace tq::link
