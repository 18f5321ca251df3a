#pragma once
// The serial port as the link drives it: serial::TComm in the tool, a fake
// in tests. Settings are stored fields that take effect at the next open;
// the modem lines and the rate also on an open port.
#include <cstdint>
#include <span>
#include <string>

#include "common/line_setting.h"

namespace tq::link {

class Port {
 public:
  // Events arrive on the thread that owns the port, one at a time.
  class Listener {
   public:
    virtual ~Listener() = default;
    // A block as the receive thread ended it: when (monotonic ns) and in
    // which open (see session()).
    virtual void blockArrived(std::span<const uint8_t> block, int64_t endedNs, uint64_t session) = 0;
    // Line errors or dropped bytes (serial::line_error flags).
    virtual void receiveError(uint32_t errors) = 0;
    // The device hung up during the open `session`.
    virtual void hungUp(uint64_t session) = 0;
  };

  virtual ~Port() = default;
  // nullptr: no more events.
  virtual void listen(Listener* listener) = 0;

  // Opens with the stored settings; throws serial::ECommsError (ERateRefused
  // when only the rate was refused) and stays closed.
  virtual void open() = 0;
  virtual void close() = 0;
  virtual bool isOpen() const = 0;
  // Which open the port is in, or was last in; counted from 1.
  virtual uint64_t session() const = 0;
  // Queued for sending; false when the port is closed or `bytes` is empty.
  virtual bool write(std::span<const uint8_t> bytes) = 0;

  virtual const std::string& name() const = 0;
  virtual void setName(const std::string& name) = 0;
  virtual uint32_t baudRate() const = 0;
  virtual void setBaudRate(uint32_t baud) = 0;
  virtual Parity parity() const = 0;
  virtual void setParity(Parity parity) = 0;
  virtual void setXonXoff(bool enable) = 0;
  virtual bool dtr() const = 0;
  virtual void setDtr(bool enable) = 0;
  virtual bool rts() const = 0;
  virtual void setRts(bool enable) = 0;

  // Bytes dropped on the way in since the port was last opened.
  virtual uint64_t receiveOverrunBytes() const = 0;
};

}  // namespace tq::link
