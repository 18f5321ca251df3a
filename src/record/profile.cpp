#include "record/profile.h"

#include <algorithm>
#include <map>

namespace tq::record {

namespace {

// A value every field of a writer carries: a list's first item, one hex
// pair for a custom read command, "0" for any other edit.
std::string neutralValue(const Key& key) {
  if (!key.items.empty()) return key.items.front();
  if (key.control == "Edit4" || key.control == "Edit5") return "00";
  return "0";
}

}  // namespace

protocol::Frame keyFrame(const Key& key, const std::string& value) {
  const Writer& writer = writers()[static_cast<size_t>(key.writer)];
  return writerFrame(writer,
                     [&](const std::string& name) { return name == key.name ? value : neutralValue(*findKey(name)); });
}

std::optional<std::string> keyFault(std::string_view name) {
  const Key* key = findKey(name);
  if (!key) return "the key " + std::string(name) + " is not a key of the module record.";
  if (key->writer < 0) return "the key " + std::string(name) + " is read only: no frame writes it.";
  return std::nullopt;
}

std::optional<std::string> valueFault(const Key& key, const std::string& value) {
  try {
    keyFrame(key, value);
  } catch (const std::exception& e) {
    return "the key " + key.name + " has the value \"" + value + "\", which its field cannot carry: " + e.what();
  }
  return std::nullopt;
}

std::vector<DiffRow> compareProfile(const Profile& profile, const ModuleRecord& record) {
  std::vector<DiffRow> rows;
  for (const auto& [name, value] : profile.settings) {
    const Key& key = *findKey(name);
    DiffRow row{name, key.label, value, record.shown(name), Comparison::NotRead};
    if (record.read(name)) {
      bool same = false;
      try {
        same = keyFrame(key, value) == keyFrame(key, row.moduleValue);
      } catch (const std::exception&) {
        same = false;  // the module shows what no frame carries: not the profile's setting
      }
      row.comparison = same ? Comparison::Same : Comparison::Different;
    }
    rows.push_back(std::move(row));
  }
  auto rank = [](Comparison c) { return c == Comparison::Different ? 0 : c == Comparison::NotRead ? 1 : 2; };
  std::stable_sort(rows.begin(), rows.end(),
                   [&](const DiffRow& a, const DiffRow& b) { return rank(a.comparison) < rank(b.comparison); });
  return rows;
}

ApplyPlan planApply(const Profile& profile, const ModuleRecord& record) {
  std::map<size_t, std::vector<std::string>> differing;  // by writer
  for (const DiffRow& row : compareProfile(profile, record)) {
    if (row.comparison == Comparison::Different)
      differing[static_cast<size_t>(findKey(row.key)->writer)].push_back(row.key);
  }
  std::map<std::string, std::string> wanted(profile.settings.begin(), profile.settings.end());
  ApplyPlan plan;
  std::vector<PlannedFrame> last;
  for (const auto& [writer, changed] : differing) {
    const Writer& w = writers()[writer];
    std::string missing;
    for (size_t k : w.keys) {
      const std::string& name = keys()[k].name;
      if (!wanted.count(name) && !record.read(name)) missing = name;
    }
    if (!missing.empty()) {
      for (const std::string& key : changed) {
        plan.unsendable.push_back(key + ": its frame " + w.name + " also carries " + missing + ", which was not read");
      }
      continue;
    }
    PlannedFrame frame{writer,
                       writerFrame(w,
                                   [&](const std::string& name) {
                                     const auto it = wanted.find(name);
                                     return it != wanted.end() ? it->second : record.shown(name);
                                   }),
                       changed};
    (w.changesLink ? last : plan.frames).push_back(std::move(frame));
  }
  // The unit count before the line setting: after BA1 the module no longer
  // hears the port's rate.
  std::sort(last.begin(), last.end(), [](const PlannedFrame& a, const PlannedFrame& b) {
    return writers()[a.writer].name == "YB" && writers()[b.writer].name != "YB";
  });
  plan.frames.insert(plan.frames.end(), last.begin(), last.end());
  return plan;
}

std::string_view comparisonText(Comparison c) {
  switch (c) {
    case Comparison::Different:
      return "different";
    case Comparison::Same:
      return "same";
    case Comparison::NotRead:
      return "not read";
  }
  return "";
}

}  // namespace tq::record
