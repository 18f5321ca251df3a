#pragma once
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tq::serial {

// Where the bundled module simulator links its port unless told otherwise.
inline constexpr const char* kSimulatorLink = "/tmp/ttyTQ580";
// USB adapters by a name that stays the same across re-plugging.
inline constexpr const char* kSerialByIdDir = "/dev/serial/by-id";

// Serial devices present now, for the port list: USB adapters by their
// stable /dev/serial/by-id names (else /dev/ttyUSB*, /dev/ttyACM*), then the
// simulator's port when it runs. COMn names cover the built-in ports.
std::vector<std::string> listSerialDevices();

// The built-in ports every port list starts with: COM1 … COM12, each
// /dev/ttyS(n-1) when opened.
inline constexpr int kBuiltInPorts = 12;
std::vector<std::string> builtInPortNames();
// The port list as "Serial Port:" offers it when it opens: the built-in
// ports, then the devices present now.
std::vector<std::string> portChoices();

// The port to start with when none was chosen before: the simulator's, when
// it is the only device present (`devices` as listSerialDevices gives them).
std::optional<std::string> startingPort(const std::vector<std::string>& devices);

// A serial device as the file system shows it now: the device a name leads
// to (links followed), and a mark that changes whenever the device or a
// link to it is made anew (an adapter plugged in again, a simulator
// restarted on its link), even under the same names.
struct DeviceSeen {
  std::string device;
  std::string instance;
  bool operator==(const DeviceSeen&) const = default;
};
using DeviceProbe = std::function<std::optional<DeviceSeen>(const std::string& name)>;

// What a port name (as the port opens it: COMn are the built-in ports)
// leads to now; nothing when it leads to no character device.
std::optional<DeviceSeen> probeDevice(const std::string& name);

// The by-id name of the device `name` leads to, or empty when it has none.
std::string stableNameFor(const std::string& name, const std::string& byIdDir = kSerialByIdDir);

// Watches for a device that hung up to come back: by its by-id name when it
// has one (a USB adapter may come back as another ttyUSB), else by the name
// it was opened by. It is back when it is present again after having been
// seen gone, or present as another instance than the one that was opened.
class DeviceWatch {
 public:
  DeviceWatch(std::string name, std::string stableName, std::optional<DeviceSeen> atOpen,
              DeviceProbe probe = probeDevice);

  // Looks once; whether the device is back.
  bool poll();
  bool back() const { return back_; }
  const std::string& name() const { return name_; }
  // The name to open it by now: the one it was opened by, unless that now
  // leads elsewhere (or nowhere) while the by-id name leads to the device.
  std::string reopenName() const;

 private:
  std::string name_;
  std::string stableName_;
  std::optional<DeviceSeen> atOpen_;
  DeviceProbe probe_;
  bool seenGone_ = false;
  bool back_ = false;
};

}  // namespace tq::serial
