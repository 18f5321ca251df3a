#pragma once
// The few device calls the serial component needs, over POSIX. Every call
// returns 0 or an errno value; none throws.
#include <array>
#include <cstdint>
#include <string>

namespace tq::serial {

// Opens a device by path for reading and writing, non-blocking, without
// becoming its controlling terminal, and takes it exclusively (flock, which
// holds for root too, then TIOCEXCL). fd receives -1 on failure.
int openDevice(const std::string& path, int& fd);
// Releases the exclusive hold and closes.
void closeDevice(int fd);
bool isTerminal(int fd);

int purgeInput(int fd);
int purgeOutput(int fd);
// Lets output flow again when the far end stopped it with XOFF. A freshly
// opened serial device starts flowing, but a pty keeps an XOFF from an
// earlier session for as long as its far end stays open. Sends nothing.
int resumeOutput(int fd);

int setModemLine(int fd, int line, bool on);  // line: TIOCM_DTR or TIOCM_RTS

// The driver's RS485 settings (TIOCGRS485); drivers without RS485 mode (a
// pty, most USB adapters) answer ENOTTY.
struct Rs485Settings {
  std::array<uint32_t, 8> record{};  // the driver's record as read, put back unchanged
};
int readRs485(int fd, Rs485Settings& settings);
// RTS raised only while sending, on top of the settings read before.
int enableRtsToggle(int fd, const Rs485Settings& saved);
int writeRs485(int fd, const Rs485Settings& settings);

// Counters of line errors and modem-line changes kept by the driver.
struct LineCounters {
  uint32_t frame = 0, parity = 0, overrun = 0, brk = 0, bufferOverrun = 0, carrier = 0, ring = 0;
};
// ENOTTY or EINVAL: the driver keeps no counters (a pty), not a failure.
int readLineCounters(int fd, LineCounters& counters);
bool isUnsupported(int error);

// Asks the driver to hand over bytes at once rather than batching them (USB
// adapters); silently ignored where the driver cannot.
void requestLowLatency(int fd);

// Maps a port name as the operator knows it to a device path: "COMn" is
// /dev/ttySn-1 (n from 1); anything else is used as given.
std::string devicePathFor(const std::string& name);

}  // namespace tq::serial
