#pragma once
// Command line of tq580-sim.
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "line_settings.h"
#include "simulator.h"

namespace tq::sim {

inline constexpr const char* kDefaultLink = "/tmp/ttyTQ580";

struct Options {
  std::string link = kDefaultLink;
  std::optional<std::string> device;  // a real port instead of a pty
  SerialLine line{};                  // for --device, and pacing until a pty reports its own
  SimConfig sim{};
  bool verbose = false;
  bool help = false;
};

// The parsed options, or the message to show for a bad command line.
std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args);

std::string helpText();

}  // namespace tq::sim
