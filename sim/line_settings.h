#pragma once
// Line settings through termios2, so that any rate (15200 too) can be read
// and set. Kept apart from <termios.h>, whose definitions clash with the
// kernel's.
#include <optional>
#include <string>

namespace tq::sim {

enum class Parity { kNone, kOdd, kEven };

struct SerialLine {
  int baud = 9600;
  Parity parity = Parity::kNone;
  int stopBits = 1;
  // Bits one character takes on the wire: start, 8 data, parity, stop.
  int bitsPerChar() const { return 1 + 8 + (parity == Parity::kNone ? 0 : 1) + stopBits; }
};

// The settings of the terminal behind `fd`; on a pty master these are the
// ones the program on the slave side chose.
std::optional<SerialLine> readSerialLine(int fd);

// Raw 8-bit mode without echo or line editing; with `line`, also its rate and
// parity (read back: a rate the driver refused is an error). Returns an error
// text, empty on success.
std::string makeRaw(int fd, const std::optional<SerialLine>& line);

}  // namespace tq::sim
