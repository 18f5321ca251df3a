#include "serial/port_discovery.h"

#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "serial/posix_device.h"

namespace tq::serial {

namespace fs = std::filesystem;

namespace {

std::vector<std::string> entries(const fs::path& dir, const std::string& prefix = {}) {
  std::vector<std::string> out;
  std::error_code ec;
  for (fs::directory_iterator it(dir, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    if (name.compare(0, prefix.size(), prefix) == 0) out.push_back(it->path().string());
  }
  std::sort(out.begin(), out.end());
  return out;
}

std::string instanceMark(const struct stat& st) {
  return std::to_string(st.st_dev) + ":" + std::to_string(st.st_ino) + ":" + std::to_string(st.st_rdev) + ":" +
         std::to_string(st.st_ctim.tv_sec) + "." + std::to_string(st.st_ctim.tv_nsec);
}

}  // namespace

std::vector<std::string> listSerialDevices() {
  std::vector<std::string> out;
  std::set<std::string> covered;  // devices already offered under a by-id name
  std::error_code ec;
  for (const std::string& link : entries(kSerialByIdDir)) {
    out.push_back(link);
    covered.insert(fs::canonical(link, ec).string());
  }
  for (const char* prefix : {"ttyUSB", "ttyACM"}) {
    for (const std::string& dev : entries("/dev", prefix)) {
      if (!covered.count(dev)) out.push_back(dev);
    }
  }
  if (fs::exists(kSimulatorLink, ec)) out.push_back(kSimulatorLink);
  return out;
}

std::optional<DeviceSeen> probeDevice(const std::string& name) {
  const std::string path = devicePathFor(name);
  struct stat target {};
  if (::stat(path.c_str(), &target) != 0 || !S_ISCHR(target.st_mode)) return std::nullopt;
  struct stat link {};
  if (::lstat(path.c_str(), &link) != 0) return std::nullopt;
  std::error_code ec;
  const fs::path device = fs::canonical(path, ec);
  if (ec) return std::nullopt;
  // A link made anew marks a new instance as much as the device itself.
  std::string instance = instanceMark(target);
  if (S_ISLNK(link.st_mode)) instance += "/" + instanceMark(link);
  return DeviceSeen{device.string(), instance};
}

std::string stableNameFor(const std::string& name, const std::string& byIdDir) {
  std::error_code ec;
  const fs::path device = fs::canonical(devicePathFor(name), ec);
  if (ec) return {};
  for (const std::string& link : entries(byIdDir)) {
    if (link == name) return link;
    std::error_code linkError;
    if (fs::canonical(link, linkError) == device && !linkError) return link;
  }
  return {};
}

DeviceWatch::DeviceWatch(std::string name, std::string stableName, std::optional<DeviceSeen> atOpen, DeviceProbe probe)
    : name_(std::move(name)),
      stableName_(std::move(stableName)),
      atOpen_(std::move(atOpen)),
      probe_(std::move(probe)) {}

bool DeviceWatch::poll() {
  const std::optional<DeviceSeen> now = probe_(stableName_.empty() ? name_ : stableName_);
  if (!now) {
    seenGone_ = true;
    back_ = false;
  } else {
    back_ = seenGone_ || !atOpen_ || now->instance != atOpen_->instance;
  }
  return back_;
}

std::string DeviceWatch::reopenName() const {
  if (stableName_.empty()) return name_;
  const std::optional<DeviceSeen> byId = probe_(stableName_);
  const std::optional<DeviceSeen> asOpened = probe_(name_);
  return byId && (!asOpened || asOpened->device != byId->device) ? stableName_ : name_;
}

std::vector<std::string> builtInPortNames() {
  std::vector<std::string> names;
  for (int n = 1; n <= kBuiltInPorts; ++n) names.push_back("COM" + std::to_string(n));
  return names;
}

std::vector<std::string> portChoices() {
  std::vector<std::string> names = builtInPortNames();
  for (std::string& device : listSerialDevices()) names.push_back(std::move(device));
  return names;
}

std::optional<std::string> startingPort(const std::vector<std::string>& devices) {
  if (devices.size() == 1 && devices.front() == kSimulatorLink) return devices.front();
  return std::nullopt;
}

}  // namespace tq::serial
