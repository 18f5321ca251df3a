#include "serial/port_discovery.h"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

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

}  // namespace

std::vector<std::string> listSerialDevices() {
  std::vector<std::string> out;
  std::set<std::string> covered;  // devices already offered under a by-id name
  std::error_code ec;
  for (const std::string& link : entries("/dev/serial/by-id")) {
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

}  // namespace tq::serial
