#pragma once
// A serial port for the link's tests: it records every call in order, opens
// and refuses as told, and delivers blocks, errors and hang-ups when the
// test says so, stamped with the open they belong to.
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "link/port.h"
#include "serial/comm_types.h"

namespace tq::testing {

class FakeLinkPort : public link::Port {
 public:
  // What the port does on open.
  std::set<uint32_t> refusedRates;                      // ERateRefused
  std::map<std::string, std::string> unavailablePorts;  // port -> why (ECommsError)

  std::vector<std::string> calls;    // "open COM4 9600 even", "close", "write QQQ#QV#", "dtr+", ...
  std::vector<std::string> written;  // every frame handed over, as text
  uint64_t overrunBytes = 0;

  // Events, as the port's owner thread would raise them.
  void deliver(const std::string& bytes, int64_t endedNs = 0) { deliverFrom(session_, bytes, endedNs); }
  void deliverFrom(uint64_t session, const std::string& bytes, int64_t endedNs = 0) {
    if (listener_) {
      listener_->blockArrived({reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()}, endedNs, session);
    }
  }
  void hangUp() { hangUpFrom(session_); }
  void hangUpFrom(uint64_t session) {
    if (listener_) listener_->hungUp(session);
  }
  void receiveError(uint32_t errors) {
    if (listener_) listener_->receiveError(errors);
  }

  void listen(Listener* listener) override { listener_ = listener; }
  void open() override {
    calls.push_back("open " + name_ + " " + std::to_string(baud_) + " " + parityName(parity_));
    if (auto it = unavailablePorts.find(name_); it != unavailablePorts.end()) throw serial::ECommsError(it->second);
    if (refusedRates.count(baud_)) {
      throw serial::ERateRefused("Baud rate " + std::to_string(baud_) + " is not supported by this serial port");
    }
    open_ = true;
    ++session_;
  }
  void close() override {
    calls.push_back("close");
    open_ = false;
  }
  bool isOpen() const override { return open_; }
  uint64_t session() const override { return session_; }
  bool write(std::span<const uint8_t> bytes) override {
    if (!open_ || bytes.empty()) return false;
    written.emplace_back(bytes.begin(), bytes.end());
    calls.push_back("write " + written.back());
    return true;
  }
  const std::string& name() const override { return name_; }
  void setName(const std::string& name) override { name_ = name; }
  uint32_t baudRate() const override { return baud_; }
  void setBaudRate(uint32_t baud) override { baud_ = baud; }
  Parity parity() const override { return parity_; }
  void setParity(Parity parity) override { parity_ = parity; }
  void setXonXoff(bool) override {}
  bool dtr() const override { return dtr_; }
  void setDtr(bool enable) override {
    dtr_ = enable;
    calls.push_back(enable ? "dtr+" : "dtr-");
  }
  bool rts() const override { return rts_; }
  void setRts(bool enable) override {
    rts_ = enable;
    calls.push_back(enable ? "rts+" : "rts-");
  }
  uint64_t receiveOverrunBytes() const override { return overrunBytes; }

 private:
  Listener* listener_ = nullptr;
  std::string name_ = "COM2";
  uint32_t baud_ = 9600;
  Parity parity_ = Parity::None;
  bool dtr_ = false;
  bool rts_ = false;
  bool open_ = false;
  uint64_t session_ = 0;
};

}  // namespace tq::testing
