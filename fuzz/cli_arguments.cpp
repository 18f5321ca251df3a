// Any command line: it is read whole or refused with a reason; a line read
// has a command, a port wherever the command needs one, and only settings
// that their frames carry.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/arguments.h"
#include "record/key_table.h"
#include "record/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Words separated by NUL bytes, as the kernel hands them over.
  std::vector<std::string> args(1);
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0)
      args.emplace_back();
    else
      args.back() += static_cast<char>(data[i]);
  }
  if (args.size() == 1 && args[0].empty()) args.clear();
  const tq::cli::Parsed parsed = tq::cli::parseArguments(args, std::nullopt);
  if (!parsed.invocation) {
    if (parsed.refusal.empty()) std::abort();
    return 0;
  }
  const tq::cli::Invocation& i = *parsed.invocation;
  if (tq::cli::needsPort(i) && i.options.port.empty()) std::abort();
  for (const auto& [key, value] : i.settings) {
    const tq::record::Key* k = tq::record::findKey(key);
    if (!k || k->writer < 0 || tq::record::valueFault(*k, value)) std::abort();
  }
  for (const std::string& key : i.keys) {
    if (!tq::record::findKey(key)) std::abort();
  }
  return 0;
}
