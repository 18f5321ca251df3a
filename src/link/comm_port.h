#pragma once
// The serial port component as the link's port.
#include "link/port.h"

namespace tq::serial {
class TComm;
}

namespace tq::link {

class CommPort : public Port {
 public:
  explicit CommPort(serial::TComm& comm) : comm_(comm) {}
  ~CommPort() override { listen(nullptr); }

  void listen(Listener* listener) override;
  void open() override;
  void close() override;
  bool isOpen() const override;
  uint64_t session() const override;
  bool write(std::span<const uint8_t> bytes) override;
  const std::string& name() const override;
  void setName(const std::string& name) override;
  uint32_t baudRate() const override;
  void setBaudRate(uint32_t baud) override;
  Parity parity() const override;
  void setParity(Parity parity) override;
  void setXonXoff(bool enable) override;
  bool dtr() const override;
  void setDtr(bool enable) override;
  bool rts() const override;
  void setRts(bool enable) override;
  uint64_t receiveOverrunBytes() const override;

 private:
  serial::TComm& comm_;
};

}  // namespace tq::link
