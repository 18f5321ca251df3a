#pragma once
// Profiles: the settable keys of a module record kept as JSON, compared with
// a module and applied to another. A profile file is outside input: it is
// checked whole before anything is done with it.
//
//   {"format": "tq580-profile", "version": 1, "saved": "2026-12-10T04:35:00Z",
//    "settings": {"system.slave_address": "005", ...}}
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "protocol/frame_fields.h"
#include "record/module_record.h"

namespace tq::record {

inline constexpr std::string_view kProfileFormat = "tq580-profile";
inline constexpr int kProfileVersion = 1;

struct Profile {
  std::string saved;  // ISO 8601, as written
  // Key and value, in key-table order.
  std::vector<std::pair<std::string, std::string>> settings;
};

// The JSON of every settable key the record holds (values exactly as read);
// `saved` is the ISO 8601 time written into it.
std::string profileJson(const ModuleRecord& record, const std::string& saved);

// Reads and checks a whole profile: not JSON, another format, an unknown
// version, an unknown or read-only key, a value that is not a string or
// that its field cannot carry. Refuses with InputRefused and one message
// naming `fileName`, the key and the fault.
Profile readProfile(std::string_view bytes, const std::string& fileName);

// Why `name` cannot be set, as a profile or the command line gives it: "the
// key relay9.limit is not a key of the module record." or "… is read only:
// no frame writes it."; nullopt for a settable key.
std::optional<std::string> keyFault(std::string_view name);
// Why `key` cannot take `value`: "the key system.baud has the value \"7\",
// which its field cannot carry: …"; nullopt when its frame carries it.
std::optional<std::string> valueFault(const Key& key, const std::string& value);

// The profile file at `path`, read and checked whole: refused (InputRefused)
// when it cannot be read ("The profile … could not be read: …. Nothing was
// sent.") and as readProfile refuses.
Profile readProfileFile(const std::string& path);

// The frame that would write `key`'s `value` (the writer's other fields at
// neutral values): two values of a key are the same setting when their
// frames are the same bytes ("7" and "007"). Throws what the builder throws.
protocol::Frame keyFrame(const Key& key, const std::string& value);

enum class Comparison { Different, Same, NotRead };

struct DiffRow {
  std::string key;
  std::string label;
  std::string profileValue;
  std::string moduleValue;  // "not read" when the record has none
  Comparison comparison = Comparison::NotRead;
};

// Each key of the profile against the record, differences first, then keys
// not read, then those the same; key-table order within each.
std::vector<DiffRow> compareProfile(const Profile& profile, const ModuleRecord& record);

// A set frame to send for a profile, with the profile's keys it sets.
struct PlannedFrame {
  size_t writer = 0;  // index into writers()
  protocol::Frame frame;
  std::vector<std::string> keys;  // the profile's keys that differ from the module's
};

struct ApplyPlan {
  // The frames of the settings that differ, one per writer, in key-table
  // order; the interface and unit count (YB) and then the RS485 line
  // setting (BA1) last.
  std::vector<PlannedFrame> frames;
  // Settings that differ but cannot be sent, and why: a frame writes its
  // fields together, and the module's value of another field was not read.
  std::vector<std::string> unsendable;
};

// The frames that bring the module to the profile: the writers of the keys
// that differ, each with the profile's values and, for its other fields,
// the module's as read.
ApplyPlan planApply(const Profile& profile, const ModuleRecord& record);

// "same", "different", "not read".
std::string_view comparisonText(Comparison c);

}  // namespace tq::record
