// Watching for a device that hung up to come back, on a fake file system,
// and finding a device's by-id name among links.
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

#include "serial/port_discovery.h"

namespace tq::serial {
namespace {

namespace fs = std::filesystem;

// Names and what they lead to right now; a missing name leads nowhere.
struct FakeDevices {
  std::map<std::string, DeviceSeen> now;
  DeviceProbe probe() {
    return [this](const std::string& name) -> std::optional<DeviceSeen> {
      const auto it = now.find(name);
      return it == now.end() ? std::nullopt : std::optional(it->second);
    };
  }
};

constexpr const char* kLink = "/tmp/ttyTQ580";
constexpr const char* kById = "/dev/serial/by-id/usb-FTDI_FT232R_A10K-if00-port0";

TEST(DeviceWatch, TheDeviceIsBackOnlyOnceItWasGoneOrIsAnotherInstance) {
  using Step = std::map<std::string, DeviceSeen>;  // what the names lead to at one poll
  struct Case {
    const char* name;
    std::string opened, stable;
    DeviceSeen atOpen;
    std::vector<Step> steps;
    std::vector<bool> back;  // after each poll
    std::string reopen;      // the name to open it by at the end
  };
  const DeviceSeen pts3{"/dev/pts/3", "a"}, pts3again{"/dev/pts/3", "b"}, pts4{"/dev/pts/4", "c"};
  const DeviceSeen usb0{"/dev/ttyUSB0", "u"}, usb0again{"/dev/ttyUSB0", "v"}, usb1{"/dev/ttyUSB1", "w"};
  const Case cases[] = {
      {"a simulator stopped and started again on its link",
       kLink,
       "",
       pts3,
       {{{kLink, pts3}}, {}, {{kLink, pts4}}},
       {false, false, true},
       kLink},
      {"restarted between two looks, on the same pty number", kLink, "", pts3, {{{kLink, pts3again}}}, {true}, kLink},
      {"a device that hung up but never went away",
       kLink,
       "",
       pts3,
       {{{kLink, pts3}}, {{kLink, pts3}}},
       {false, false},
       kLink},
      {"back, then gone again", kLink, "", pts3, {{}, {{kLink, pts4}}, {}}, {false, true, false}, kLink},
      {"an adapter plugged in again under its old node",
       "/dev/ttyUSB0",
       kById,
       usb0,
       {{}, {{kById, usb0again}, {"/dev/ttyUSB0", usb0again}}},
       {false, true},
       "/dev/ttyUSB0"},
      {"an adapter plugged in again as another ttyUSB",
       "/dev/ttyUSB0",
       kById,
       usb0,
       {{}, {{kById, usb1}}},
       {false, true},
       kById},
      {"another adapter took the old node: the watched one is still gone",
       "/dev/ttyUSB0",
       kById,
       usb0,
       {{{"/dev/ttyUSB0", usb1}}},
       {false},
       "/dev/ttyUSB0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDevices fake;
    DeviceWatch watch(c.opened, c.stable, c.atOpen, fake.probe());
    ASSERT_EQ(c.steps.size(), c.back.size());
    for (size_t i = 0; i < c.steps.size(); ++i) {
      fake.now = c.steps[i];
      EXPECT_EQ(watch.poll(), c.back[i]) << "poll " << i;
      EXPECT_EQ(watch.back(), c.back[i]);
    }
    EXPECT_EQ(watch.reopenName(), c.reopen);
  }
}

TEST(StartingPort, TheSimulatorOnlyWhenNothingElseIsPresent) {
  const std::pair<std::vector<std::string>, bool> cases[] = {
      {{}, false},
      {{kSimulatorLink}, true},
      {{"/dev/ttyUSB0", kSimulatorLink}, false},  // an adapter is there: the operator chooses
      {{"/dev/ttyUSB0"}, false},
  };
  for (const auto& [devices, simulator] : cases) {
    EXPECT_EQ(startingPort(devices), simulator ? std::optional<std::string>(kSimulatorLink) : std::nullopt)
        << devices.size();
  }
}

TEST(DeviceProbe, TheByIdNameIsTheLinkThatLeadsToTheSameDevice) {
  const fs::path dir = fs::temp_directory_path() / ("tq-byid-" + std::to_string(::getpid()));
  fs::create_directories(dir / "by-id");
  for (const char* dev : {"ttyUSB0", "ttyUSB1", "ttyUSB2"}) std::ofstream((dir / dev).string()) << "";
  fs::create_symlink(dir / "ttyUSB1", dir / "by-id" / "usb-A-port0");
  fs::create_symlink(dir / "ttyUSB0", dir / "by-id" / "usb-B-port0");
  const std::string byId = (dir / "by-id").string();
  EXPECT_EQ(stableNameFor((dir / "ttyUSB0").string(), byId), (dir / "by-id" / "usb-B-port0").string());
  EXPECT_EQ(stableNameFor((dir / "ttyUSB1").string(), byId), (dir / "by-id" / "usb-A-port0").string());
  EXPECT_EQ(stableNameFor((dir / "by-id" / "usb-A-port0").string(), byId), (dir / "by-id" / "usb-A-port0").string());
  EXPECT_EQ(stableNameFor((dir / "ttyUSB2").string(), byId), "");
  EXPECT_EQ(stableNameFor((dir / "gone").string(), byId), "");
  fs::remove_all(dir);
}

}  // namespace
}  // namespace tq::serial
