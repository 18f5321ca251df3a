// Any file as a profile: it is read whole or refused with a message naming
// the file; what is read holds only settable keys, each value one its frame
// carries, and compares with a record without throwing.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "common/errors.h"
#include "record/profile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  tq::record::Profile profile;
  try {
    profile = tq::record::readProfile(bytes, "fuzz.json");
  } catch (const tq::InputRefused& e) {
    if (std::string_view(e.what()).find("fuzz.json") == std::string_view::npos) std::abort();
    return 0;
  }
  tq::record::ModuleRecord record;
  for (const auto& [key, value] : profile.settings) {
    const tq::record::Key* k = tq::record::findKey(key);
    if (!k || k->writer < 0) std::abort();
    tq::record::keyFrame(*k, value);  // checked when read: must not throw now
    record.set(key, value, {});
  }
  for (const tq::record::DiffRow& row : tq::record::compareProfile(profile, record)) {
    if (row.comparison != tq::record::Comparison::Same) std::abort();
  }
  return 0;
}
