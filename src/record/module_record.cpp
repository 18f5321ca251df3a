#include "record/module_record.h"

#include "hart/status.h"

namespace tq::record {

const Value* ModuleRecord::value(std::string_view key) const {
  const auto it = values_.find(key);
  return it == values_.end() ? nullptr : &it->second;
}

std::string ModuleRecord::shown(std::string_view key) const {
  const Value* v = value(key);
  return v ? v->text : std::string(kNotRead);
}

void recordDecoded(ModuleRecord& record, const Decoded& decoded, Source source, int device, Clock::time_point at) {
  for (const Assignment& change : decoded.assignments) {
    if (change.kind != Assignment::Kind::SelectIndex && change.kind != Assignment::Kind::SetText) continue;
    const Key* key = keyOfControl(source, change.control, device);
    // The coefficient is the module's, though each device's reply carries it.
    if (!key && device >= 0) key = keyOfControl(source, change.control);
    if (!key) continue;
    if (change.kind == Assignment::Kind::SetText) {
      record.set(key->name, change.text, at);
    } else {
      // An index beyond the list selects nothing: the window shows no item.
      const bool shown = change.value >= 0 && static_cast<size_t>(change.value) < key->items.size();
      record.set(key->name, shown ? key->items[static_cast<size_t>(change.value)] : std::string(), at);
    }
  }
}

void recordHartRows(ModuleRecord& record, const std::vector<hart::PropertyRow>& rows, Clock::time_point at) {
  for (const hart::PropertyRow& row : rows) {
    for (const Key& key : keys()) {
      if (key.source != Source::HartInstrument || key.label != row.name) continue;
      record.set(key.name, row.unit.empty() ? row.value : row.value + " " + row.unit, at);
    }
  }
}

void recordHartStatus(ModuleRecord& record, const hart::ParsedReply& reply, Clock::time_point at) {
  if (!reply.usable()) return;
  const auto bits = hart::deviceStatusBits(*reply.deviceStatus);
  record.set("hart.device_status", bits.empty() ? "none" : hart::joined(bits), at);
}

}  // namespace tq::record
