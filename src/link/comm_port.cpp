#include "link/comm_port.h"

#include "serial/TComm.h"

namespace tq::link {

void CommPort::listen(Listener* listener) {
  if (!listener) {
    comm_.OnReceiveData = nullptr;
    comm_.OnReceiveError = nullptr;
    comm_.OnRequestHangup = nullptr;
    return;
  }
  comm_.OnReceiveData = [this, listener](serial::TComm*, const uint8_t* buffer, uint16_t length) {
    listener->blockArrived({buffer, length}, comm_.deliveredBlockEndedNs(), comm_.deliveredBlockSession());
  };
  comm_.OnReceiveError = [listener](serial::TComm*, uint32_t errors) { listener->receiveError(errors); };
  comm_.OnRequestHangup = [this, listener](serial::TComm*) { listener->hungUp(comm_.session()); };
}

void CommPort::open() { comm_.OpenPort(); }
void CommPort::close() { comm_.ClosePort(); }
bool CommPort::isOpen() const { return comm_.isOpen(); }
uint64_t CommPort::session() const { return comm_.session(); }

bool CommPort::write(std::span<const uint8_t> bytes) {
  return comm_.WriteData(bytes.data(), static_cast<uint16_t>(bytes.size()));
}

const std::string& CommPort::name() const { return comm_.CommName; }
void CommPort::setName(const std::string& name) { comm_.CommName = name; }
uint32_t CommPort::baudRate() const { return comm_.BaudRate(); }
void CommPort::setBaudRate(uint32_t baud) { comm_.setBaudRate(baud); }
Parity CommPort::parity() const { return comm_.Parity; }
void CommPort::setParity(Parity parity) { comm_.Parity = parity; }

void CommPort::setXonXoff(bool enable) {
  comm_.setOutx_XonXoffFlow(enable);
  comm_.setInx_XonXoffFlow(enable);
}

bool CommPort::dtr() const { return comm_.DtrControl() == serial::TDtrControl::DtrEnable; }
void CommPort::setDtr(bool enable) {
  comm_.setDtrControl(enable ? serial::TDtrControl::DtrEnable : serial::TDtrControl::DtrDisable);
}
bool CommPort::rts() const { return comm_.RtsControl() == serial::TRtsControl::RtsEnable; }
void CommPort::setRts(bool enable) {
  comm_.setRtsControl(enable ? serial::TRtsControl::RtsEnable : serial::TRtsControl::RtsDisable);
}

uint64_t CommPort::receiveOverrunBytes() const { return comm_.receiveOverrunBytes(); }

}  // namespace tq::link
