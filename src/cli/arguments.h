#pragma once
// The command line of tq580-cli, read whole before anything is opened or
// sent: options before the command, then the command and its own arguments
// and options. Every refusal names what it refused (the option, the command
// word, the key, the value, the file); a refused command line exits with
// status 2 and sends nothing.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/line_setting.h"
#include "hart/frames.h"

namespace tq::cli {

// Exit statuses, as scripts test them.
namespace exit_status {
inline constexpr int kDone = 0;
inline constexpr int kNoAnswer = 1;       // the module or instrument did not answer, or refused
inline constexpr int kUsage = 2;          // refused before anything was sent
inline constexpr int kPort = 3;           // the port could not be opened, or was lost
inline constexpr int kInterrupted = 130;  // Ctrl-C, as shells report it
}  // namespace exit_status

// Where the port comes from when --port is not given.
inline constexpr const char* kPortVariable = "TQ580_PORT";
// As the window starts: "Baud Rate:" 9600, "Parity:" None.
inline constexpr uint32_t kDefaultBaud = 9600;
// The highest polling address the HART commands address (short frames).
inline constexpr int kMaxAddress = hart::kMaxPollingAddress;

enum class Command {
  Help,
  Version,
  Ports,
  Find,
  Read,
  Get,
  Set,
  ProfileSave,
  ProfileDiff,
  ProfileApply,
  Report,
  HartScan,
  HartRead,
  HartWriteTag,
  HartWriteMessage,
  ModbusRead,
};

struct Options {
  std::string port;  // empty: none given (ports, find --all need none)
  uint32_t baud = kDefaultBaud;
  Parity parity = Parity::None;
  int address = 0;  // HART polling address
  // RTS and DTR held raised while the port is open, as the window's
  // COM_RTS and COM_DTR: for a converter powered from those lines.
  bool rts = false;
  bool dtr = false;
  std::string journal;  // empty: none written
  bool json = false;
  bool verbose = false;
};

struct Invocation {
  Options options;
  Command command = Command::Help;
  std::vector<std::string> keys;                              // get
  std::vector<std::pair<std::string, std::string>> settings;  // set, in the order given
  std::string file;                                           // profile, report
  bool all = false;                                           // find --all
  bool dryRun = false;                                        // profile apply
  bool yes = false;                                           // profile apply
  bool wide = false;                                          // hart scan
  // report
  std::string site, loop, technician, notes;
  // hart write-tag, write-message
  std::string text;
  std::optional<std::string> descriptor;
  std::optional<hart::TagDate> date;
  // modbus read
  int slave = 0, start = 0, count = 0;
};

struct Parsed {
  std::optional<Invocation> invocation;
  std::string refusal;  // when there is no invocation: what was refused and why
};

// `args` without the program's name; `portVariable` the value of TQ580_PORT
// (nullopt when unset).
Parsed parseArguments(const std::vector<std::string>& args, const std::optional<std::string>& portVariable);

// What --help prints.
std::string usageText();

// Whether the command needs the port open.
bool needsPort(const Invocation& invocation);

}  // namespace tq::cli
