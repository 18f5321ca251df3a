// Kept alone: <asm/termbits.h> (termios2, BOTHER) clashes with glibc's
// <termios.h> and <sys/ioctl.h>.
#include <asm/ioctls.h>
#include <cerrno>

#include "serial/termios2_mapping.h"

extern "C" int ioctl(int fd, unsigned long request, ...);

namespace tq::serial {

namespace {

tcflag_t dataBitsFlag(int bits) {
  switch (bits) {
    case 5:
      return CS5;
    case 6:
      return CS6;
    case 7:
      return CS7;
    default:
      return CS8;
  }
}

}  // namespace

int probeLineSettings(int fd) {
  struct termios2 tio {};
  return ioctl(fd, TCGETS2, &tio) == 0 ? 0 : errno;
}

termios2 withLineSettings(termios2 tio, const LineSettings& s) {
  tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXON | IXOFF | IXANY | INPCK | IGNPAR);
  tio.c_oflag &= ~OPOST;
  tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS | CBAUD | (CBAUD << IBSHIFT));
  tio.c_cflag |= CREAD | CLOCAL | dataBitsFlag(s.dataBits) | BOTHER | (BOTHER << IBSHIFT);
  tio.c_ispeed = s.baudRate;
  tio.c_ospeed = s.baudRate;

  switch (s.parity) {
    case Parity::Odd:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case Parity::Even:
      tio.c_cflag |= PARENB;
      break;
    case Parity::Mark:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case Parity::Space:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    case Parity::None:
      break;
  }
  if (s.parityCheck && s.parity != Parity::None) tio.c_iflag |= INPCK;
  if (s.stopBits != 0) tio.c_cflag |= CSTOPB;  // 1.5 stop bits only exist with 5 data bits
  if (s.ctsFlow) tio.c_cflag |= CRTSCTS;
  if (s.xonXoffOut) tio.c_iflag |= IXON;
  if (s.xonXoffIn) tio.c_iflag |= IXOFF;
  tio.c_cc[VSTART] = s.xonChar;
  tio.c_cc[VSTOP] = s.xoffChar;
  tio.c_cc[VMIN] = 1;  // a read of 0 bytes then only means the line hung up
  tio.c_cc[VTIME] = 0;
  return tio;
}

int applyLineSettings(int fd, const LineSettings& s) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
  tio = withLineSettings(tio, s);
  return ioctl(fd, TCSETS2, &tio) == 0 ? 0 : errno;
}

int readBaudRate(int fd, uint32_t& baudRate) {
  struct termios2 tio {};
  if (ioctl(fd, TCGETS2, &tio) != 0) return errno;
  baudRate = tio.c_ospeed;
  return 0;
}

}  // namespace tq::serial
