#pragma once
// A serial port and the line setting it is opened with, as the window's
// "Serial Port:", baud, parity, COM_RTS and COM_DTR controls give it, and
// the one way it is said in messages and the journal.
#include <cstdint>
#include <string>

namespace tq {

// In the order of the window's parity list ("None", "Odd", "Even"); the
// port can also send mark and space.
enum class Parity { None, Odd, Even, Mark, Space };

// The parity list's item `index` as a parity: no selection (or an index
// the list does not have) is none.
Parity parityFromIndex(int index);
// Its place in the parity list (Mark and Space past the list's end).
int parityIndex(Parity parity);
// "none", "odd", "even", "mark", "space".
const char* parityName(Parity parity);
// "9600 baud, parity even".
std::string settingText(uint32_t baud, Parity parity);

struct LineSetting {
  std::string port;  // as typed or chosen ("COM4", "/dev/ttyUSB0")
  uint32_t baud = 9600;
  Parity parity = Parity::None;
  bool rts = false;  // COM_RTS: held on while the port is open
  bool dtr = false;  // COM_DTR
  bool operator==(const LineSetting&) const = default;

  // "COM4, 9600 baud, parity even".
  std::string text() const;
};

}  // namespace tq
