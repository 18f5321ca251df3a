#include "ui/link_arbiter.h"

#include <chrono>

#include "engine/module_finder.h"
#include "serial/TComm.h"

namespace tq::ui {

namespace {

constexpr int64_t kNsPerMs = 1'000'000;

int64_t wallMsNow() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

}  // namespace

LinkArbiter::LinkArbiter(serial::TComm& comm, journal::Journal& journal) : comm_(comm), journal_(journal) {
  comm_.OnReceiveData = [this](serial::TComm*, const uint8_t* buffer, uint16_t length) { received(buffer, length); };
  comm_.OnReceiveError = [this](serial::TComm*, uint32_t errors) {
    if (errors & serial::line_error::kReceiveQueueOverflow) {
      journalEvent("Receive overrun: " + std::to_string(comm_.receiveOverrunBytes()) +
                   " bytes dropped since the port was opened");
    }
    if (onReceiveError) onReceiveError(errors);
  };
  comm_.OnRequestHangup = [this](serial::TComm*) { hungUp(); };
}

LinkArbiter::~LinkArbiter() {
  comm_.OnReceiveData = nullptr;
  comm_.OnReceiveError = nullptr;
  comm_.OnRequestHangup = nullptr;
}

journal::Moment LinkArbiter::now() const { return {wallMsNow(), serial::monotonicNs()}; }

bool LinkArbiter::isOpen() const { return comm_.isOpen(); }
const std::string& LinkArbiter::portName() const { return comm_.CommName; }

std::string LinkArbiter::lineText() const {
  return engine::settingText(comm_.BaudRate(), static_cast<int>(comm_.Parity));
}

void LinkArbiter::journalEvent(std::string text) { journal_.event(std::move(text), now()); }

bool LinkArbiter::heldFromEngine(const char* what) {
  if (!claimed()) return false;
  journalEvent(std::string(what) + " refused: " + holder_ + " holds the port");
  return true;
}

void LinkArbiter::closePort() {
  const std::string reason = std::exchange(closeReason_, {});
  if (!comm_.isOpen() || heldFromEngine("Close")) return;
  closeNow(reason);
}

void LinkArbiter::close(const std::string& reason) {
  closeReason_.clear();
  closeNow(reason);
}

void LinkArbiter::closeNow(const std::string& reason) {
  if (!comm_.isOpen()) return;
  comm_.ClosePort();
  journalEvent("Port " + comm_.CommName + " closed" + (reason.empty() ? "" : " " + reason));
}

void LinkArbiter::setBaudRate(uint32_t baud) {
  if (!claimed()) comm_.setBaudRate(baud);
}

void LinkArbiter::setParity(int index) {
  if (!claimed()) applyParity(index);
}

void LinkArbiter::applyParity(int index) {
  // No parity selected means none rather than an out-of-range setting.
  comm_.Parity = index >= 0 && index <= static_cast<int>(serial::TParity::Space) ? static_cast<serial::TParity>(index)
                                                                                 : serial::TParity::None;
}

void LinkArbiter::setCommName(const std::string& name) {
  if (!claimed()) comm_.CommName = name;
}

void LinkArbiter::disableXonXoff() {
  if (!claimed()) applyNoXonXoff();
}

void LinkArbiter::applyNoXonXoff() {
  comm_.setOutx_XonXoffFlow(false);
  comm_.setInx_XonXoffFlow(false);
}

void LinkArbiter::openPort() {
  if (heldFromEngine("Open")) throw serial::ECommsError("The serial port is in use by " + holder_ + ".");
  openNow();
}

void LinkArbiter::openNow() {
  try {
    comm_.OpenPort();
  } catch (const serial::ECommsError& e) {
    journalEvent("Port " + comm_.CommName + " not opened (" + lineText() + "): " + e.what());
    throw;
  }
  journal_.portOpened("Port " + comm_.CommName + " opened, " + lineText(), now());
  // Found now: once an adapter is pulled its by-id name is gone too.
  lastOpened_ = {comm_.CommName, serial::stableNameFor(comm_.CommName), serial::probeDevice(comm_.CommName)};
}

void LinkArbiter::openWith(const LineChoice& choice) {
  comm_.CommName = choice.port;
  comm_.setBaudRate(choice.baud);
  applyParity(choice.parity);
  applyNoXonXoff();
  openNow();
  applyDtr(choice.dtr);
  applyRts(choice.rts);
}

void LinkArbiter::setDtr(bool enable) {
  if (!claimed()) applyDtr(enable);
}

void LinkArbiter::applyDtr(bool enable) {
  comm_.setDtrControl(enable ? serial::TDtrControl::DtrEnable : serial::TDtrControl::DtrDisable);
}

void LinkArbiter::setRts(bool enable) {
  if (!claimed()) applyRts(enable);
}

void LinkArbiter::applyRts(bool enable) {
  comm_.setRtsControl(enable ? serial::TRtsControl::RtsEnable : serial::TRtsControl::RtsDisable);
}

bool LinkArbiter::writeData(std::span<const uint8_t> bytes) {
  if (claimed()) {
    if (!bytes.empty()) {
      journalEvent("Not sent, " + holder_ + " holds the port: " +
                   journal::dissectBlock(journal::Direction::Sent, bytes, {}).summary());
    }
    return false;
  }
  return send(bytes);
}

bool LinkArbiter::send(std::span<const uint8_t> bytes) {
  const journal::Moment at = now();
  if (!comm_.WriteData(bytes.data(), static_cast<uint16_t>(bytes.size()))) {
    if (!bytes.empty()) {
      journal_.event("Not sent, the port is closed: " +
                         journal::dissectBlock(journal::Direction::Sent, bytes, {}, journal::Detail::Summary).summary(),
                     at);
    }
    return false;
  }
  journal_.sent(bytes, at);
  return true;
}

void LinkArbiter::received(const uint8_t* buffer, uint16_t length) {
  const std::span<const uint8_t> block(buffer, length);
  // Stamped when the receive thread ended the block, not when the window
  // took it: the answer time is the line's, not the window's.
  const journal::Moment taken = now();
  const int64_t endedNs = comm_.deliveredBlockEndedNs();
  journal_.received(block, {taken.wallMs - (taken.monoNs - endedNs) / kNsPerMs, endedNs});
  if (onAnyBlock) onAnyBlock(block);
  if (claimant_) {
    // A copy: the sequence may end on this block and release the line,
    // which must not destroy the receiver while it runs.
    if (comm_.deliveredBlockFromThisOpen()) {
      const auto receiver = claimant_;
      receiver(block);
    }
  } else if (onEngineBlock) {
    onEngineBlock(buffer, length);
  }
}

void LinkArbiter::hungUp() {
  const std::string name = comm_.CommName;
  comm_.ClosePort();
  journalEvent("Port " + name + " closed: the device hung up (adapter unplugged, device gone or far end closed)");
  if (onHangup) onHangup(name);
}

void LinkArbiter::claim(std::string holder, std::function<void(std::span<const uint8_t>)> receiver) {
  holder_ = std::move(holder);
  claimant_ = std::move(receiver);
}

void LinkArbiter::release() {
  claimant_ = nullptr;
  holder_.clear();
}

}  // namespace tq::ui
