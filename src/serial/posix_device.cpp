#include "serial/posix_device.h"

#include <fcntl.h>
#include <linux/serial.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstring>

namespace tq::serial {

int openDevice(const std::string& path, int& fd) {
  fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return errno;
  if (::flock(fd, LOCK_EX | LOCK_NB) != 0 || (isTerminal(fd) && ::ioctl(fd, TIOCEXCL) != 0)) {
    const int error = errno;
    ::close(fd);
    fd = -1;
    return error;
  }
  return 0;
}

void closeDevice(int fd) {
  if (fd < 0) return;
  if (isTerminal(fd)) ::ioctl(fd, TIOCNXCL);
  ::close(fd);  // also drops the flock
}

bool isTerminal(int fd) { return ::isatty(fd) == 1; }

int purgeInput(int fd) { return ::tcflush(fd, TCIFLUSH) == 0 ? 0 : errno; }
int purgeOutput(int fd) { return ::tcflush(fd, TCOFLUSH) == 0 ? 0 : errno; }

int resumeOutput(int fd) {
  // Resuming alone restarts only output suspended by tcflow, not by XOFF;
  // suspending first makes the resume restart either.
  return ::tcflow(fd, TCOOFF) == 0 && ::tcflow(fd, TCOON) == 0 ? 0 : errno;
}

int setModemLine(int fd, int line, bool on) { return ::ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &line) == 0 ? 0 : errno; }

static_assert(sizeof(serial_rs485) <= sizeof(Rs485Settings::record));

int readRs485(int fd, Rs485Settings& settings) {
  struct serial_rs485 rs485 {};
  if (::ioctl(fd, TIOCGRS485, &rs485) != 0) return errno;
  std::memcpy(settings.record.data(), &rs485, sizeof rs485);
  return 0;
}

int writeRs485(int fd, const Rs485Settings& settings) {
  struct serial_rs485 rs485 {};
  std::memcpy(&rs485, settings.record.data(), sizeof rs485);
  return ::ioctl(fd, TIOCSRS485, &rs485) == 0 ? 0 : errno;
}

int enableRtsToggle(int fd, const Rs485Settings& saved) {
  struct serial_rs485 rs485 {};
  std::memcpy(&rs485, saved.record.data(), sizeof rs485);
  rs485.flags = (rs485.flags | SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND) & ~uint32_t{SER_RS485_RTS_AFTER_SEND};
  return ::ioctl(fd, TIOCSRS485, &rs485) == 0 ? 0 : errno;
}

int readLineCounters(int fd, LineCounters& counters) {
  struct serial_icounter_struct icount {};
  if (::ioctl(fd, TIOCGICOUNT, &icount) != 0) return errno;
  counters.frame = static_cast<uint32_t>(icount.frame);
  counters.parity = static_cast<uint32_t>(icount.parity);
  counters.overrun = static_cast<uint32_t>(icount.overrun);
  counters.brk = static_cast<uint32_t>(icount.brk);
  counters.bufferOverrun = static_cast<uint32_t>(icount.buf_overrun);
  counters.carrier = static_cast<uint32_t>(icount.dcd);
  counters.ring = static_cast<uint32_t>(icount.rng);
  return 0;
}

bool isUnsupported(int error) { return error == ENOTTY || error == EINVAL; }

void requestLowLatency(int fd) {
  struct serial_struct info {};
  if (::ioctl(fd, TIOCGSERIAL, &info) != 0) return;
  info.flags |= ASYNC_LOW_LATENCY;
  ::ioctl(fd, TIOCSSERIAL, &info);
}

std::string devicePathFor(const std::string& name) {
  if (name.size() > 3 && (name.compare(0, 3, "COM") == 0 || name.compare(0, 3, "com") == 0)) {
    int number = 0;
    for (size_t i = 3; i < name.size(); ++i) {
      if (!std::isdigit(static_cast<unsigned char>(name[i])) || number > 9999) return name;
      number = number * 10 + (name[i] - '0');
    }
    if (number >= 1) return "/dev/ttyS" + std::to_string(number - 1);
  }
  return name;
}

}  // namespace tq::serial
