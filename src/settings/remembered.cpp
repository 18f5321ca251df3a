#include "settings/remembered.h"

#include <algorithm>
#include <charconv>
#include <iterator>
#include <string_view>
#include <type_traits>

#include "trend/interval.h"

namespace tq::settings {

namespace {

constexpr uint32_t kMaxRate = 4'000'000;

bool isBase64(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '+' || c == '/' ||
           c == '=';
  });
}

// Printable text of a sane length: no control character reaches a control.
bool isPlainText(const std::string& text) {
  return text.size() <= kMaxTextLength &&
         std::none_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::optional<int> indexBelow(const std::string& text, int count) {
  int value = -1;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value < 0 || value >= count) return std::nullopt;
  return value;
}

std::optional<bool> flag(const std::string& text) {
  if (text == "true") return true;
  if (text == "false") return false;
  return std::nullopt;
}

// A polling interval TrendInterval offers.
std::optional<double> interval(const std::string& text) {
  double seconds = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  if (error != std::errc() || end != text.data() + text.size() || !(seconds >= trend::kFastestSeconds) ||
      !(seconds <= trend::kSlowestSeconds)) {
    return std::nullopt;
  }
  return seconds;
}

bool isRate(const std::string& text) {
  uint32_t rate = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), rate);
  return error == std::errc() && end == text.data() + text.size() && rate > 0 && rate <= kMaxRate;
}

// What follows `prefix` in `key`, when the key starts with it.
std::optional<std::string> after(const std::string& key, std::string_view prefix) {
  if (key.size() <= prefix.size() || key.compare(0, prefix.size(), prefix) != 0) return std::nullopt;
  return key.substr(prefix.size());
}

std::string quoted(const std::string& text) {
  return "\"" + (text.size() > 40 ? text.substr(0, 40) + "\u2026" : text) + "\"";
}

}  // namespace

Remembered readRemembered(const std::map<std::string, std::string>& values, std::vector<std::string>& ignored) {
  Remembered r;
  for (const auto& [key, text] : values) {
    auto refuse = [&ignored, &key = key, &text = text](const char* why) {
      ignored.push_back(key + ": " + quoted(text) + " " + why);
    };
    if (key == kPort) {
      if (!text.empty() && isPlainText(text))
        r.port = text;
      else
        refuse("is not a port name");
    } else if (key == kBaud) {
      if (isRate(text))
        r.baud = text;
      else
        refuse("is not a rate");
    } else if (key == kParity) {
      r.parity = indexBelow(text, kParityItems);
      if (!r.parity) refuse("is not a parity");
    } else if (key == kRts || key == kDtr || key == kHartScanWide || key == kTrendAutoscale) {
      const std::optional<bool> on = flag(text);
      if (!on)
        refuse("is neither true nor false");
      else
        (key == kRts ? r.rts : key == kDtr ? r.dtr : key == kHartScanWide ? r.hartScanWide : r.trendAutoscale) = on;
    } else if (key == kTrendInterval) {
      r.trendInterval = interval(text);
      if (!r.trendInterval) refuse("is not an interval from 0.5 to 3600 s");
    } else if (key == kTrendSpan) {
      r.trendSpan = indexBelow(text, kTrendSpanItems);
      if (!r.trendSpan) refuse("is not one of the trend's spans");
    } else if (key == kTrendAxes) {
      r.trendAxes = indexBelow(text, kTrendAxesItems);
      if (!r.trendAxes) refuse("is not one of the trend's axes");
    } else if (key == kGeometry || key == kLayout) {
      if (isBase64(text) && text.size() <= kMaxTextLength)
        (key == kGeometry ? r.geometry : r.layout) = text;
      else
        refuse("is not a saved layout");
    } else if (key == kJournalFilter) {
      r.journalFilter = indexBelow(text, kJournalFilterItems);
      if (!r.journalFilter) refuse("is not one of the journal's filters");
    } else if (key == kJournalSearch) {
      if (isPlainText(text))
        r.journalSearch = text;
      else
        refuse("is not a search");
    } else if (const auto dialog = after(key, kFolderPrefix)) {
      if (!text.empty() && text.front() == '/' && isPlainText(text))
        r.folders[*dialog] = text;
      else
        refuse("is not a folder");
    } else if (const auto detail = after(key, kReportPrefix)) {
      // One of the details' own fields, never another control of the
      // window; only the notes may run over several lines.
      const bool known = std::any_of(std::begin(kReportDetails), std::end(kReportDetails),
                                     [&](const char* name) { return *detail == name; });
      const bool ok =
          known && text.size() <= kMaxTextLength &&
          (*detail == kReportNotes
               ? std::none_of(text.begin(), text.end(),
                              [](char c) { return static_cast<unsigned char>(c) < 0x20 && c != '\n' && c != '\t'; })
               : isPlainText(text));
      if (ok)
        r.report[*detail] = text;
      else
        refuse("is not a report detail");
    }
    // Keys of another version are passed over: they harm nothing.
  }
  return r;
}

std::map<std::string, std::string> writeRemembered(const Remembered& r) {
  std::map<std::string, std::string> values;
  auto put = [&](const char* key, const auto& value) {
    if (!value) return;
    using T = std::decay_t<decltype(*value)>;
    if constexpr (std::is_same_v<T, bool>)
      values[key] = *value ? "true" : "false";
    else if constexpr (std::is_same_v<T, int>)
      values[key] = std::to_string(*value);
    else if constexpr (std::is_same_v<T, double>) {
      char text[32];
      const auto written = std::to_chars(std::begin(text), std::end(text), *value);  // reads back the same
      values[key] = std::string(text, written.ptr);
    } else
      values[key] = *value;
  };
  put(kPort, r.port);
  put(kBaud, r.baud);
  put(kParity, r.parity);
  put(kRts, r.rts);
  put(kDtr, r.dtr);
  put(kGeometry, r.geometry);
  put(kLayout, r.layout);
  put(kJournalFilter, r.journalFilter);
  put(kJournalSearch, r.journalSearch);
  put(kHartScanWide, r.hartScanWide);
  put(kTrendInterval, r.trendInterval);
  put(kTrendSpan, r.trendSpan);
  put(kTrendAxes, r.trendAxes);
  put(kTrendAutoscale, r.trendAutoscale);
  for (const auto& [dialog, folder] : r.folders) values[kFolderPrefix + dialog] = folder;
  for (const auto& [detail, text] : r.report) values[kReportPrefix + detail] = text;
  return values;
}

}  // namespace tq::settings
