#include <gtest/gtest.h>

#include "serial/posix_device.h"

namespace tq::serial {
namespace {

TEST(DevicePath, ComNamesMapToBuiltInPortsAndPathsStayAsGiven) {
  const std::pair<const char*, const char*> cases[] = {
      {"COM1", "/dev/ttyS0"},
      {"COM4", "/dev/ttyS3"},
      {"COM12", "/dev/ttyS11"},
      {"com2", "/dev/ttyS1"},
      {"COM0", "COM0"},
      {"COM", "COM"},
      {"COMX", "COMX"},
      {"COM1a", "COM1a"},
      {"/dev/ttyUSB0", "/dev/ttyUSB0"},
      {"/tmp/ttyTQ580", "/tmp/ttyTQ580"},
      {"", ""},
  };
  for (const auto& [name, path] : cases) EXPECT_EQ(devicePathFor(name), path) << name;
}

}  // namespace
}  // namespace tq::serial
