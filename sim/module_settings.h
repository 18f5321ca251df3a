#pragma once
// Everything the module remembers, with its factory values. The set frames
// change it, the queries report it.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tq::sim {

inline constexpr int kDeviceSlots = 10;  // a device digit is '0'..'9'
inline constexpr int kRelayCount = 4;
inline constexpr int kReadCommandMaxBytes = 14;

struct ParseGroup {
  int command = 0;       // 0 not analysed, 1 command 1, 2 command 2
  int startAddress = 0;  // 0..99
  int length = 0;        // 0 four bytes, 1 eight bytes
};

struct ReadCommand {
  int enabled = 0;
  std::vector<uint8_t> bytes;
};

struct DeviceSettings {
  int enabled = 0;
  int deviceMode = 1;                         // 0 secondary master, 1 master
  int meterType = 5;                          // 0 custom .. 15
  int preambles = 5;                          // 4..9
  int bufferClearTime = 60;                   // seconds, 0..999
  std::array<int, 5> formats{0, 0, 0, 0, 0};  // current, variables 1..4
  int addressBits = 8;                        // 3..9
  std::array<ParseGroup, 4> parse{};
  std::array<ReadCommand, 2> readCommands{};
};

struct RelaySettings {
  int testState = 2;     // 0 open, 1 closed, 2 no control
  int delaySeconds = 0;  // 0..9999
  int alarmEnabled = 0;
  double limit = 100.0;
  int reactionSeconds = 5;  // 0..999
};

struct CurrentOutputSettings {
  int channel = 0;  // 0 closed, 1..4 variable 1..4 of device 0
  double at4mA = 0.0;
  double at20mA = 100.0;
};

struct ModuleSettings {
  int baudIndex = 3;  // 0 1200, 1 2400, 2 4800, 3 9600, 4 19200
  int parity = 0;     // 0 none, 1 odd, 2 even
  int workingMode = 1;
  int slaveAddress = 1;
  int communicationDelay = 0;   // 0 none, 1 100 ms
  int instrumentInterval = 10;  // units of 10 ms
  int interfaceType = 2;        // 0 RS232, 1 RS485, 2 RS485 + RS232
  int unitCountIndex = 0;       // 0 one unit, 1 four, 2 eight
  int coefficientMode = 0;      // 0 close, 1 m3/s to m3/h, 2 coefficient, 3 x100 rounded
  double coefficient = 0.001;
  std::array<DeviceSettings, kDeviceSlots> devices{};
  std::array<RelaySettings, kRelayCount> relays{};
  std::array<CurrentOutputSettings, 2> outputs{};
};

// Factory values, also what "QQS#RESET#" restores: device 0 enabled, relays
// 3 and 4 with low limits at 0.
ModuleSettings factorySettings();

// Number of devices the unit count setting gives (1, 4 or 8).
int deviceCount(const ModuleSettings& settings);

}  // namespace tq::sim
