#include "serial/TComm.h"

#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QEvent>
#include <cmath>
#include <cstring>
#include <system_error>

#include "serial/posix_device.h"

namespace tq::serial {

namespace {

// The threads' reports, posted to the component on the owner's thread under
// an event type of its own, registered with the toolkit so that no other
// sender's event is ever taken for one of them.
QEvent::Type commEventType() {
  static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
  return type;
}

enum class Report { Data, Overrun, Error, Hangup, Modem, SendEmpty };

struct CommEvent : QEvent {
  CommEvent(Report report, uint64_t session, uint64_t value = 0, std::vector<uint8_t> bytes = {})
      : QEvent(commEventType()),
        report(report),
        session(session),
        value(value),
        bytes(std::move(bytes)),
        postedNs(monotonicNs()) {}
  Report report;
  uint64_t session;  // the open that the reporting threads belonged to
  uint64_t value;
  std::vector<uint8_t> bytes;  // the block, followed by one zero byte the count leaves out
  int64_t postedNs;            // when the receive thread ended the block
};

// A driver may run a requested rate a little off; beyond this the two ends
// would not understand each other.
constexpr double kBaudTolerance = 0.02;

}  // namespace

class TComm::Notifier : public CommNotifier {
 public:
  explicit Notifier(TComm* comm) : comm_(comm) {}
  bool hasRoom() const override { return backlog_.load() < kMaxReceiveBacklog; }
  void postData(std::vector<uint8_t> block) override {
    const auto count = block.size();
    block.push_back(0);
    backlog_.fetch_add(1);
    post(new CommEvent(Report::Data, session(), count, std::move(block)));
  }
  void postOverrun(uint64_t droppedBytes) override { post(new CommEvent(Report::Overrun, session(), droppedBytes)); }
  void postError(uint32_t lineErrors) override { post(new CommEvent(Report::Error, session(), lineErrors)); }
  void postHangup() override { post(new CommEvent(Report::Hangup, session())); }
  void postModem(uint32_t modemEvent) override { post(new CommEvent(Report::Modem, session(), modemEvent)); }
  void postSendEmpty() override { post(new CommEvent(Report::SendEmpty, session())); }

  // A new open begins; its threads have not started yet, and the last
  // open's threads have been joined.
  void opening() { session_.fetch_add(1); }
  uint64_t session() const { return session_.load(); }

  // The window's thread took a block off the queue.
  void taken() { backlog_.fetch_sub(1); }
  int backlog() const { return backlog_.load(); }
  // Called before an event is looked at. The toolkit hands events over under
  // its own lock, which a thread sanitizer cannot see in an uninstrumented
  // toolkit; this acquire, paired with the release in post(), states the
  // same hand-over where it can.
  void receiving() const { handedOver_.load(std::memory_order_acquire); }

 private:
  void post(CommEvent* e) {
    handedOver_.fetch_add(1, std::memory_order_release);
    QCoreApplication::postEvent(comm_, e);
  }
  TComm* comm_;
  std::atomic<int> backlog_{0};  // blocks posted and not yet taken
  std::atomic<uint64_t> session_{0};
  mutable std::atomic<uint64_t> handedOver_{0};
};

TComm::TComm(QObject* owner) : QObject(owner), notifier_(std::make_unique<Notifier>(this)) {}

TComm::~TComm() { ClosePort(); }

bool TComm::event(QEvent* e) {
  notifier_->receiving();
  if (e->type() != commEventType()) return QObject::event(e);
  auto* m = static_cast<CommEvent*>(e);
  switch (m->report) {
    case Report::Data:
      // Taken before the handler runs (it may pause), so at most one block
      // beyond the backlog is held on this side.
      notifier_->taken();
      deliveredBlockEndedNs_ = m->postedNs;
      deliveredBlockSession_ = m->session;
      if (OnReceiveData) OnReceiveData(this, m->bytes.data(), static_cast<uint16_t>(m->value));
      break;
    case Report::Overrun:
      receiveOverrunBytes_ += m->value;
      if (OnReceiveError) OnReceiveError(this, line_error::kReceiveQueueOverflow);
      break;
    case Report::Error:
      if (OnReceiveError) OnReceiveError(this, static_cast<uint32_t>(m->value));
      break;
    case Report::Hangup:
      // A hang-up of a session closed since would close the port open now.
      if (m->session == notifier_->session() && isOpen() && OnRequestHangup) OnRequestHangup(this);
      break;
    case Report::Modem:
      if (OnModemStateChange) OnModemStateChange(this, static_cast<uint32_t>(m->value));
      break;
    case Report::SendEmpty:
      if (OnSendDataEmpty) OnSendDataEmpty(this);
      break;
  }
  return true;
}

int TComm::receiveBacklog() const { return notifier_->backlog(); }

// What each property becomes on this platform (termios2 and the driver's
// ioctls); the rest is stored only, as no Linux setting matches it.
//   BaudRate                       termios2 speed (BOTHER, any rate), read back at open
//   ByteSize, StopBits             CSIZE; CSTOPB for 1.5 and 2 (1.5 with 5 data bits)
//   Parity, ParityCheck            PARENB, PARODD, CMSPAR (mark, space); INPCK
//   Outx_CtsFlow, RtsHandshake     CRTSCTS (both directions)
//   Outx_/Inx_XonXoffFlow          IXON, IXOFF with XonChar, XoffChar as VSTART, VSTOP
//   IgnoreNullChar                 zero bytes removed by the receive thread
//   DtrControl                     DTR raised unless DtrDisable (DtrHandshake: no handshake)
//   RtsControl                     RTS raised for RtsEnable; RtsTransmissionAvailable: the
//                                  driver's RS485 mode, RTS on while sending (RTS low where
//                                  the driver has none), the driver's settings back on leaving
//   ReadIntervalTimeout,           the receive thread's block ends
//   ReadTotalTimeout*
//   stored only                    Outx_DsrFlow, DsrSensitivity, TxContinueOnXoff, XonLimit,
//                                  XoffLimit, ReplaceWhenParityError, ReplacedChar,
//                                  WriteTotalTimeout* (writes wait for the line, without limit)
LineSettings TComm::lineSettings() const {
  LineSettings s;
  s.baudRate = baudRate_;
  s.dataBits = static_cast<int>(byteSize_) + 5;
  s.parity = Parity;
  s.parityCheck = parityCheck_;
  s.stopBits = static_cast<int>(stopBits_);
  s.ctsFlow = outxCtsFlow_ || rtsControl_ == TRtsControl::RtsHandshake;
  s.xonXoffOut = outxXonXoffFlow_;
  s.xonXoffIn = inxXonXoffFlow_;
  s.xonChar = xonChar_;
  s.xoffChar = xoffChar_;
  return s;
}

void TComm::applyLineSettings() {
  ++lineSettingsApplied_;
  serial::applyLineSettings(device_, lineSettings());
  ignoreNullShared_.store(ignoreNullChar_);
  // Drivers without modem lines (a pty) refuse these; that is not a failure.
  setModemLine(device_, TIOCM_DTR, dtrControl_ != TDtrControl::DtrDisable);
  if (rtsControl_ == TRtsControl::RtsTransmissionAvailable) {
    if (!switchRtsToggleOn()) setModemLine(device_, TIOCM_RTS, false);
  } else {
    switchRtsToggleOff();
    setModemLine(device_, TIOCM_RTS, rtsControl_ != TRtsControl::RtsDisable);
  }
}

bool TComm::switchRtsToggleOn() {
  if (!savedRs485_) {
    Rs485Settings saved;
    if (readRs485(device_, saved) != 0) return false;
    savedRs485_ = saved;
  }
  return enableRtsToggle(device_, *savedRs485_) == 0;
}

void TComm::switchRtsToggleOff() {
  if (!savedRs485_) return;
  writeRs485(device_, *savedRs485_);
  savedRs485_.reset();
}

void TComm::applyTimeouts() {
  sharedTimeouts_.intervalMs.store(readIntervalTimeout_);
  sharedTimeouts_.totalMultiplierMs.store(readTotalTimeoutMultiplier_);
  sharedTimeouts_.totalConstantMs.store(readTotalTimeoutConstant_);
}

void TComm::OpenPort() {
  if (isOpen()) throw ECommsError("This serial port already opened");

  int fd = -1;
  if (openDevice(devicePathFor(CommName), fd) != 0) throw ECommsError("Error opening serial port");
  if (!isTerminal(fd)) {
    closeDevice(fd);
    throw ECommsError("File handle is not a comm handle ");
  }
  if (probeLineSettings(fd) != 0) {
    closeDevice(fd);
    throw ECommsError("Cannot setup comm buffer");
  }
  device_ = fd;
  notifier_->opening();
  receiveOverrunBytes_ = 0;
  purgeInput(device_);
  purgeOutput(device_);
  resumeOutput(device_);  // an XOFF the far end sent an earlier session holds nothing now
  sendDataEmpty_.store(true);
  requestLowLatency(device_);
  applyTimeouts();
  applyLineSettings();

  // A rate the driver refused would leave the port silently deaf.
  uint32_t actual = 0;
  if (baudRate_ == 0 || readBaudRate(device_, actual) != 0 ||
      std::fabs(double(actual) - double(baudRate_)) > kBaudTolerance * double(baudRate_)) {
    releaseResources();
    throw ERateRefused("Baud rate " + std::to_string(baudRate_) + " is not supported by this serial port");
  }

  closeEvent_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (closeEvent_ < 0) {
    releaseResources();
    throw ECommsError("Unable to create event");
  }

  try {
    readThread_ = std::thread(
        runReadThread, ReadThreadContext{device_, closeEvent_, notifier_.get(), &sharedTimeouts_, &ignoreNullShared_});
  } catch (const std::system_error&) {
    releaseResources();
    throw ECommsError("Unable to create read thread");
  }

  int queue[2];
  bool started = ::pipe2(queue, O_CLOEXEC | O_NONBLOCK) == 0;
  if (started) {
    queueRead_ = queue[0];
    queueWrite_ = queue[1];
    try {
      writeThread_ = std::thread(
          runWriteThread, WriteThreadContext{device_, closeEvent_, queueRead_, notifier_.get(), &sendDataEmpty_});
    } catch (const std::system_error&) {
      started = false;
    }
  }
  if (!started) {
    releaseResources();
    throw ECommsError("Unable to create write thread");
  }
}

void TComm::ClosePort() {
  if (isOpen()) releaseResources();
}

void TComm::stopThreads() {
  // Both threads poll the close event beside the device, so one signal ends a
  // pending read and a write held up by flow control alike; each purges its
  // side of the device as it ends.
  if (closeEvent_ >= 0) {
    const uint64_t one = 1;
    [[maybe_unused]] auto n = ::write(closeEvent_, &one, sizeof one);
  }
  if (readThread_.joinable()) readThread_.join();
  if (writeThread_.joinable()) writeThread_.join();
  sendDataEmpty_.store(true);
}

void TComm::releaseResources() {
  stopThreads();
  if (queueRead_ >= 0) {
    drainWriteQueue(queueRead_);  // blocks never written are freed, not leaked
    ::close(queueRead_);
    ::close(queueWrite_);
    queueRead_ = queueWrite_ = -1;
  }
  if (closeEvent_ >= 0) ::close(closeEvent_);
  closeEvent_ = -1;
  // Whatever is still queued for the line is dropped, so closing never waits
  // on a stalled output.
  purgeOutput(device_);
  switchRtsToggleOff();  // the next opener finds the driver as we found it
  closeDevice(device_);
  device_ = -1;
}

int64_t TComm::deliveredBlockEndedNs() const { return deliveredBlockEndedNs_; }

bool TComm::deliveredBlockFromThisOpen() const { return isOpen() && deliveredBlockSession_ == session(); }

uint64_t TComm::session() const { return notifier_->session(); }

int TComm::deliveredBlockAgeMs() const {
  return static_cast<int>((monotonicNs() - deliveredBlockEndedNs_) / 1'000'000);
}

bool TComm::WriteData(const uint8_t* data, uint16_t count) {
  if (!writeThread_.joinable() || count == 0) return false;
  auto* block = new uint8_t[size_t{count} + 1]();
  std::memcpy(block, data, count);
  const WriteMessage message{block, count};
  // Cleared before queueing: the transmit thread may write the block and set
  // the flag again before this call returns. A queue too full to take the
  // block is not empty either.
  sendDataEmpty_.store(false);
  if (::write(queueWrite_, &message, sizeof message) != static_cast<ssize_t>(sizeof message)) {
    delete[] block;
    return false;
  }
  return true;
}

}  // namespace tq::serial
