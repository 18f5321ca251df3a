#pragma once
// Everything the pages show of one module and its instrument, under the key
// table's keys: each value exactly as the window shows it (a list's item
// text, an edit's text) with the time it was read, or "not read" where
// nothing came.
#include <chrono>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/assignment.h"
#include "hart/properties.h"
#include "record/key_table.h"

namespace tq::record {

inline constexpr std::string_view kNotRead = "not read";

using Clock = std::chrono::system_clock;

struct Value {
  std::string text;
  Clock::time_point readAt;
};

class ModuleRecord {
 public:
  void set(const std::string& key, std::string text, Clock::time_point at) { values_[key] = {std::move(text), at}; }
  // nullptr: not read.
  const Value* value(std::string_view key) const;
  // The value, or "not read".
  std::string shown(std::string_view key) const;
  bool read(std::string_view key) const { return value(key) != nullptr; }
  void clear() { values_.clear(); }
  size_t size() const { return values_.size(); }

 private:
  std::map<std::string, Value, std::less<>> values_;
};

// What a reply's decode wrote to the controls of `source`'s keys (for
// `device`'s keys when it is one device's reply), as the window shows it.
// A control the decode did not reach stays as it was in the record: never
// another device's or an earlier value.
void recordDecoded(ModuleRecord& record, const Decoded& decoded, Source source, int device, Clock::time_point at);

// A HART reply's rows as the HART Instrument page shows them: value and unit.
void recordHartRows(ModuleRecord& record, const std::vector<hart::PropertyRow>& rows, Clock::time_point at);
// A usable HART reply's field device status: its bits' names, or "none"
// (the page shows no row for a status of 00).
void recordHartStatus(ModuleRecord& record, const hart::ParsedReply& reply, Clock::time_point at);

}  // namespace tq::record
