// Any settings store, as key and value lines: what is read back is only
// what its controls can take (the report's details only into its own
// fields), a value passed over is named once, and what is written reads
// back the same.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <sstream>
#include <string>

#include "settings/remembered.h"
#include "trend/interval.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::map<std::string, std::string> values;
  std::istringstream lines(std::string(reinterpret_cast<const char*>(data), size));
  for (std::string line; std::getline(lines, line);) {
    const size_t equals = line.find('=');
    if (equals != std::string::npos) values[line.substr(0, equals)] = line.substr(equals + 1);
  }
  std::vector<std::string> ignored;
  const tq::settings::Remembered r = tq::settings::readRemembered(values, ignored);
  if (ignored.size() > values.size()) std::abort();
  if (r.parity && (*r.parity < 0 || *r.parity >= tq::settings::kParityItems)) std::abort();
  if (r.port && (r.port->empty() || r.port->size() > tq::settings::kMaxTextLength)) std::abort();
  if (r.trendInterval &&
      !(*r.trendInterval >= tq::trend::kFastestSeconds && *r.trendInterval <= tq::trend::kSlowestSeconds))
    std::abort();
  if (r.trendSpan && (*r.trendSpan < 0 || *r.trendSpan >= tq::settings::kTrendSpanItems)) std::abort();
  // Only the report's own fields are set from the store, and no control
  // character but the notes' line breaks and tabs reaches them.
  for (const auto& [detail, text] : r.report) {
    bool known = false;
    for (const char* name : tq::settings::kReportDetails) known = known || detail == name;
    if (!known || text.size() > tq::settings::kMaxTextLength) std::abort();
    for (char c : text) {
      const bool control = static_cast<unsigned char>(c) < 0x20;
      if (control && (detail != tq::settings::kReportNotes || (c != '\n' && c != '\t'))) std::abort();
    }
  }
  std::vector<std::string> again;
  if (!(tq::settings::readRemembered(tq::settings::writeRemembered(r), again) == r) || !again.empty()) std::abort();
  return 0;
}
