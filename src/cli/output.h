#pragma once
// What tq580-cli prints on standard output: plain "key = value" lines for
// people, or one JSON document for programs.
#include <string>
#include <vector>

#include "common/line_setting.h"
#include "hart/properties.h"
#include "record/module_record.h"
#include "record/profile.h"

namespace tq::cli {

// The devices the module carries, as the unit count read says ("4 Unit"):
// the keys of the others are left out. One when it was not read.
int devicesOf(const record::ModuleRecord& record);
// The keys worth showing, in key-table order: a device's keys only for the
// devices the module carries.
std::vector<const record::Key*> shownKeys(const record::ModuleRecord& record);

// "key = value" a line, "not read" where nothing came.
std::string recordText(const record::ModuleRecord& record, const std::vector<const record::Key*>& keys);

//   {"format": "tq580-record", "version": 1, "read_at": "2026-12-10T04:35:00Z",
//    "port": {"path": "/dev/ttyUSB0", "baud": 9600, "parity": "none"},
//    "settings": {KEY: VALUE, ...}, "not_read": [KEY, ...], "hart": {NAME: VALUE, ...}}
// "hart" holds the instrument's keys without their "hart." prefix.
std::string recordJson(const record::ModuleRecord& record, const LineSetting& line, const std::string& readAt);

// Find Module's answer: {"port": {"path", "baud", "parity"}, "settings":
// {"module.interface": …, "module.units": …}}, or plain lines.
std::string foundText(const LineSetting& line, const record::ModuleRecord& module, bool json);

// The keys asked for, with their values (a JSON object with --json).
std::string keysText(const record::ModuleRecord& record, const std::vector<std::string>& keys, bool json);

//   {"differences": [{"key", "label", "profile", "module"}, ...]}
// Plain: "key (label): profile P, module M" a line; nothing when they agree.
std::string differencesText(const std::vector<record::DiffRow>& rows, bool json);

//   {"instruments": [{"address", "manufacturer_id", "device_type", "device_id", "revision", "preambles"}, ...]}
std::string instrumentsText(const std::vector<hart::UniqueIdentifier>& found, bool json);

// A MODBUS test's answer as the page shows it (hex bytes) and the
// registers it holds, from register `start`:
//   {"answer": "01 03 04 41 40 00 00 ..", "start": 0, "registers": [16704, 0]}
std::string modbusText(const std::string& answer, int start, const std::vector<unsigned>& registers, bool json);

// A JSON document of one object whose members are texts or lists of texts.
struct JsonMember {
  std::string name;
  std::vector<std::string> values;
  bool list = true;  // false: the first value, as a text
};
std::string jsonObject(const std::vector<JsonMember>& members);

// ISO 8601 in UTC, to the second: "2026-12-10T04:35:00Z".
std::string isoNow();

}  // namespace tq::cli
