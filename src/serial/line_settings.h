#pragma once
// Line settings as the device layer applies them, free of any termios
// header (the kernel's termios2 header cannot sit beside glibc's).
#include <cstdint>

#include "common/line_setting.h"

namespace tq::serial {

struct LineSettings {
  uint32_t baudRate = 9600;
  int dataBits = 8;  // 5..8
  Parity parity = Parity::None;
  bool parityCheck = false;  // check parity of received bytes
  int stopBits = 0;          // 0 one, 1 one and a half, 2 two
  bool ctsFlow = false;      // hardware handshake on output
  bool xonXoffOut = false;
  bool xonXoffIn = false;
  uint8_t xonChar = 0x11;
  uint8_t xoffChar = 0x13;
};

// Each returns 0 or an errno value.
// Raw mode, one byte minimum per read, receiver on, modem lines ignored for
// open and read; any baud rate the driver accepts (BOTHER).
int applyLineSettings(int fd, const LineSettings& settings);
int readBaudRate(int fd, uint32_t& baudRate);
// Whether the device answers a line-settings read at all.
int probeLineSettings(int fd);

}  // namespace tq::serial
