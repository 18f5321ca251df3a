// Only <asm/termbits.h> here: glibc's <termios.h> redefines the same names.
#include "line_settings.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include <cerrno>
#include <cstring>

namespace tq::sim {

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
    t.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    t.c_ispeed = static_cast<speed_t>(line->baud);
    t.c_ospeed = static_cast<speed_t>(line->baud);
  }
  if (ioctl(fd, TCSETS2, &t) != 0) return std::string("cannot set line settings: ") + std::strerror(errno);
  if (line) {
    const auto applied = readSerialLine(fd);
    if (!applied || applied->baud != line->baud)
      return "the driver refused " + std::to_string(line->baud) + " baud";
  }
  return {};
}

}  // namespace tq::sim
