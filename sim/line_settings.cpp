// Only <asm/termbits.h> here: glibc's <termios.h> redefines the same names.
#include "line_settings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace tq::sim {

namespace {

// Standard rates keep their classic codes, so that programs using plain
// termios (cfgetospeed) read them back; others go as BOTHER.
tcflag_t rateCode(int baud) {
  struct Rate {
    int baud;
    tcflag_t code;
  };
  static constexpr Rate kRates[] = {{1200, B1200},     {2400, B2400},     {4800, B4800},    {9600, B9600},
                                    {19200, B19200},   {38400, B38400},   {57600, B57600},  {115200, B115200},
                                    {230400, B230400}, {460800, B460800}, {921600, B921600}};
  for (const Rate& r : kRates)
    if (r.baud == baud) return r.code;
  return BOTHER;
}

}  // namespace

std::optional<SerialLine> readSerialLine(int fd) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return std::nullopt;
  SerialLine line;
  line.baud = static_cast<int>(t.c_ospeed);
  if (t.c_cflag & PARENB) line.parity = (t.c_cflag & PARODD) ? Parity::kOdd : Parity::kEven;
  line.stopBits = (t.c_cflag & CSTOPB) ? 2 : 1;
  return line;
}

std::string makeRaw(int fd, const std::optional<SerialLine>& line) {
  struct termios2 t {};
  if (ioctl(fd, TCGETS2, &t) != 0) return std::string("cannot read line settings: ") + std::strerror(errno);
  t.c_iflag &= ~static_cast<tcflag_t>(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY);
  t.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  t.c_lflag &= ~static_cast<tcflag_t>(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  t.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | PARODD | CSTOPB | CRTSCTS);
  t.c_cflag |= CS8 | CREAD | CLOCAL;
  t.c_cc[VMIN] = 1;
  t.c_cc[VTIME] = 0;
  if (line) {
    if (line->parity != Parity::kNone) t.c_cflag |= PARENB | (line->parity == Parity::kOdd ? PARODD : 0);
    if (line->stopBits == 2) t.c_cflag |= CSTOPB;
    t.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT));
    const tcflag_t code = rateCode(line->baud);
    t.c_cflag |= code | (code << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(line->baud);
    t.c_ospeed = static_cast<speed_t>(line->baud);
  }
  if (ioctl(fd, TCSETS2, &t) != 0) return std::string("cannot set line settings: ") + std::strerror(errno);
  if (line) {
    const auto applied = readSerialLine(fd);
    if (!applied || applied->baud != line->baud) return "the driver refused " + std::to_string(line->baud) + " baud";
  }
  return {};
}

}  // namespace tq::sim
