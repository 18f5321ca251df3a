#pragma once
// The serial port component: owns the tool's one serial port, its line
// settings and time-outs, and a receive and a transmit thread while open.
// Every received block is raised as one OnReceiveData on the owner's thread.
#include <QObject>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <thread>

#include "serial/comm_threads.h"
#include "serial/comm_types.h"
#include "serial/line_settings.h"
#include "serial/posix_device.h"

namespace tq::serial {

class TComm;
using TReceiveDataEvent = std::function<void(TComm* Sender, const uint8_t* Buffer, uint16_t BufferLength)>;
using TReceiveErrorEvent = std::function<void(TComm* Sender, uint32_t EventMask)>;
using TModemStateChangeEvent = std::function<void(TComm* Sender, uint32_t ModemEvent)>;
using TNotifyEvent = std::function<void(TComm* Sender)>;
using TSendDataEmptyEvent = std::function<void(TComm* Sender)>;

class TComm : public QObject {
  Q_OBJECT

 public:
  explicit TComm(QObject* owner = nullptr);
  // Closes a port that is still open, so no thread outlives the component.
  ~TComm() override;

  // Opens CommName with the current settings and starts both threads; every
  // failure throws ECommsError and leaves the component closed.
  void OpenPort();
  void ClosePort();
  // Copies the bytes and queues them for the transmit thread; false when the
  // port is closed or count is 0.
  bool WriteData(const uint8_t* data, uint16_t count);
  bool isOpen() const { return device_ >= 0; }
  bool sendDataEmpty() const { return sendDataEmpty_.load(); }
  // During OnReceiveData: how long ago the receive thread ended the block.
  int deliveredBlockAgeMs() const;
  // During OnReceiveData: when the receive thread ended the block, on the
  // monotonic clock of monotonicNs().
  int64_t deliveredBlockEndedNs() const;
  // During OnReceiveData: whether the block was read since the port was
  // last opened. Blocks read before a close are still delivered after it.
  bool deliveredBlockFromThisOpen() const;
  // Which open the port is in (or was last), counted from 1; during
  // OnReceiveData, which open read the block.
  uint64_t session() const;
  uint64_t deliveredBlockSession() const { return deliveredBlockSession_; }

  // Blocks waiting for the owner's thread are bounded: once this many are
  // queued, further blocks are dropped whole until it catches up, and the
  // drop is raised as OnReceiveError with line_error::kReceiveQueueOverflow
  // ahead of the next block delivered. A flood thus costs bounded memory
  // and never holds the window's thread for long.
  static constexpr int kMaxReceiveBacklog = 16;
  // Blocks posted to the owner's thread and not yet taken.
  int receiveBacklog() const;
  // Bytes dropped that way since the port was last opened, as reported so far.
  uint64_t receiveOverrunBytes() const { return receiveOverrunBytes_; }

  // Plain stored fields: they take effect at the next open (Parity also at
  // the next re-apply caused by another line property).
  std::string CommName = "COM2";
  TParity Parity = TParity::None;
  TReceiveDataEvent OnReceiveData;
  TReceiveErrorEvent OnReceiveError;
  TModemStateChangeEvent OnModemStateChange;
  // Raised when the device hangs up (an adapter pulled, the far end of a
  // pty closed) while the port is open; never for an earlier open's threads.
  TNotifyEvent OnRequestHangup;
  TSendDataEmptyEvent OnSendDataEmpty;

  // Line properties: a change re-applies the line settings on an open port.
  uint32_t BaudRate() const { return baudRate_; }
  void setBaudRate(uint32_t v) { setLine(baudRate_, v); }
  bool ParityCheck() const { return parityCheck_; }
  void setParityCheck(bool v) { setLine(parityCheck_, v); }
  bool Outx_CtsFlow() const { return outxCtsFlow_; }
  void setOutx_CtsFlow(bool v) { setLine(outxCtsFlow_, v); }
  bool Outx_DsrFlow() const { return outxDsrFlow_; }
  void setOutx_DsrFlow(bool v) { setLine(outxDsrFlow_, v); }
  TDtrControl DtrControl() const { return dtrControl_; }
  void setDtrControl(TDtrControl v) { setLine(dtrControl_, v); }
  bool DsrSensitivity() const { return dsrSensitivity_; }
  void setDsrSensitivity(bool v) { setLine(dsrSensitivity_, v); }
  bool TxContinueOnXoff() const { return txContinueOnXoff_; }
  void setTxContinueOnXoff(bool v) { setLine(txContinueOnXoff_, v); }
  bool Outx_XonXoffFlow() const { return outxXonXoffFlow_; }
  void setOutx_XonXoffFlow(bool v) { setLine(outxXonXoffFlow_, v); }
  bool Inx_XonXoffFlow() const { return inxXonXoffFlow_; }
  void setInx_XonXoffFlow(bool v) { setLine(inxXonXoffFlow_, v); }
  bool ReplaceWhenParityError() const { return replaceWhenParityError_; }
  void setReplaceWhenParityError(bool v) { setLine(replaceWhenParityError_, v); }
  bool IgnoreNullChar() const { return ignoreNullChar_; }
  void setIgnoreNullChar(bool v) { setLine(ignoreNullChar_, v); }
  TRtsControl RtsControl() const { return rtsControl_; }
  void setRtsControl(TRtsControl v) { setLine(rtsControl_, v); }
  uint16_t XonLimit() const { return xonLimit_; }
  void setXonLimit(uint16_t v) { setLine(xonLimit_, v); }
  uint16_t XoffLimit() const { return xoffLimit_; }
  void setXoffLimit(uint16_t v) { setLine(xoffLimit_, v); }
  TByteSize ByteSize() const { return byteSize_; }
  void setByteSize(TByteSize v) { setLine(byteSize_, v); }
  TStopBits StopBits() const { return stopBits_; }
  void setStopBits(TStopBits v) { setLine(stopBits_, v); }
  uint8_t XonChar() const { return xonChar_; }
  void setXonChar(uint8_t v) { setLine(xonChar_, v); }
  uint8_t XoffChar() const { return xoffChar_; }
  void setXoffChar(uint8_t v) { setLine(xoffChar_, v); }
  uint8_t ReplacedChar() const { return replacedChar_; }
  void setReplacedChar(uint8_t v) { setLine(replacedChar_, v); }

  // Time-out properties (ms): a change re-applies all five on an open port.
  uint32_t ReadIntervalTimeout() const { return readIntervalTimeout_; }
  void setReadIntervalTimeout(uint32_t v) { setTimeout(readIntervalTimeout_, v); }
  uint32_t ReadTotalTimeoutMultiplier() const { return readTotalTimeoutMultiplier_; }
  void setReadTotalTimeoutMultiplier(uint32_t v) { setTimeout(readTotalTimeoutMultiplier_, v); }
  uint32_t ReadTotalTimeoutConstant() const { return readTotalTimeoutConstant_; }
  void setReadTotalTimeoutConstant(uint32_t v) { setTimeout(readTotalTimeoutConstant_, v); }
  uint32_t WriteTotalTimeoutMultiplier() const { return writeTotalTimeoutMultiplier_; }
  void setWriteTotalTimeoutMultiplier(uint32_t v) { setTimeout(writeTotalTimeoutMultiplier_, v); }
  uint32_t WriteTotalTimeoutConstant() const { return writeTotalTimeoutConstant_; }
  void setWriteTotalTimeoutConstant(uint32_t v) { setTimeout(writeTotalTimeoutConstant_, v); }

  // How often the line settings were written to the device (tests look at it).
  int lineSettingsApplied() const { return lineSettingsApplied_; }

 protected:
  bool event(QEvent* e) override;

 private:
  class Notifier;

  template <typename T>
  void setLine(T& field, T value) {
    if (field == value) return;
    field = value;
    if (isOpen()) applyLineSettings();
  }
  template <typename T>
  void setTimeout(T& field, T value) {
    if (field == value) return;
    field = value;
    if (isOpen()) applyTimeouts();
  }
  void applyLineSettings();
  bool switchRtsToggleOn();
  void switchRtsToggleOff();
  void applyTimeouts();
  LineSettings lineSettings() const;
  void stopThreads();
  // Releases whatever an open attempt or an open port holds.
  void releaseResources();

  uint32_t baudRate_ = 9600;
  bool parityCheck_ = false;
  bool outxCtsFlow_ = false;
  bool outxDsrFlow_ = false;
  TDtrControl dtrControl_ = TDtrControl::DtrEnable;
  bool dsrSensitivity_ = false;
  bool txContinueOnXoff_ = true;
  bool outxXonXoffFlow_ = true;
  bool inxXonXoffFlow_ = true;
  bool replaceWhenParityError_ = false;
  bool ignoreNullChar_ = false;
  TRtsControl rtsControl_ = TRtsControl::RtsEnable;
  uint16_t xonLimit_ = 500;
  uint16_t xoffLimit_ = 500;
  TByteSize byteSize_ = TByteSize::_8;
  TStopBits stopBits_ = TStopBits::_1;
  uint8_t xonChar_ = 0x11;
  uint8_t xoffChar_ = 0x13;
  uint8_t replacedChar_ = 0;
  uint32_t readIntervalTimeout_ = 100;
  uint32_t readTotalTimeoutMultiplier_ = 0;
  uint32_t readTotalTimeoutConstant_ = 0;
  uint32_t writeTotalTimeoutMultiplier_ = 0;
  uint32_t writeTotalTimeoutConstant_ = 0;

  int device_ = -1;
  int closeEvent_ = -1;
  int queueRead_ = -1;
  int queueWrite_ = -1;
  std::thread readThread_;
  std::thread writeThread_;
  std::atomic<bool> sendDataEmpty_{true};
  std::atomic<bool> ignoreNullShared_{false};
  SharedReadTimeouts sharedTimeouts_;
  std::unique_ptr<Notifier> notifier_;
  int lineSettingsApplied_ = 0;
  int64_t deliveredBlockEndedNs_ = 0;
  uint64_t deliveredBlockSession_ = 0;
  uint64_t receiveOverrunBytes_ = 0;
  // The driver's own RS485 settings while the toggle mode is switched on,
  // put back when it is left and before the device is closed.
  std::optional<Rs485Settings> savedRs485_;
};

}  // namespace tq::serial
