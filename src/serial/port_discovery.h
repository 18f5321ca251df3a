#pragma once
#include <string>
#include <vector>

namespace tq::serial {

// Where the bundled module simulator links its port unless told otherwise.
inline constexpr const char* kSimulatorLink = "/tmp/ttyTQ580";

// Serial devices present now, for the port list: USB adapters by their
// stable /dev/serial/by-id names (else /dev/ttyUSB*, /dev/ttyACM*), then the
// simulator's port when it runs. COMn names cover the built-in ports.
std::vector<std::string> listSerialDevices();

}  // namespace tq::serial
