#include "journal/export.h"

#include <algorithm>
#include <cctype>
#include <ctime>
#include <iomanip>
#include <sstream>
#include <string_view>

#include "common/byte_display.h"
#include "common/text.h"

namespace tq::journal {

namespace {

constexpr const char* kIndent = "    ";

std::tm localTime(int64_t wallMs) {
  const std::time_t seconds = static_cast<std::time_t>(wallMs / 1000);
  std::tm local{};
  localtime_r(&seconds, &local);
  return local;
}

std::string millis(int64_t wallMs) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, ".%03d", static_cast<int>(wallMs % 1000));
  return buffer;
}

std::string hexOf(const Entry& entry) { return entry.bytes ? hexBytes(*entry.bytes) : std::string(); }

struct DirectionNames {
  const char* mark;  // the view's
  const char* word;  // the CSV's
};

DirectionNames namesOf(Direction direction) {
  switch (direction) {
    case Direction::Sent:
      return {"\u2192", "sent"};
    case Direction::Received:
      return {"\u2190", "received"};
    case Direction::Event:
      break;
  }
  return {"\u2022", "event"};
}

}  // namespace

std::string timeOfDay(int64_t wallMs) {
  const std::tm t = localTime(wallMs);
  char buffer[16];
  std::strftime(buffer, sizeof buffer, "%H:%M:%S", &t);
  return buffer + millis(wallMs);
}

std::string dateAndTime(int64_t wallMs) {
  const std::tm t = localTime(wallMs);
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%d %H:%M:%S", &t);
  return buffer + millis(wallMs);
}

const char* directionMark(Direction direction) { return namesOf(direction).mark; }

std::string responseText(const std::optional<double>& ms) {
  if (!ms) return {};
  std::ostringstream out;
  out << std::fixed << std::setprecision(1) << *ms;
  return out.str();
}

std::string byteRange(const DissectedField& field) {
  if (field.length == 0) return {};
  if (field.length == 1) return std::to_string(field.offset);
  return std::to_string(field.offset) + "-" + std::to_string(field.offset + field.length - 1);
}

std::string droppedText(uint64_t dropped) { return std::to_string(dropped) + " older entries dropped"; }

std::string entryText(const Journal& journal, const Entry& entry) {
  std::ostringstream out;
  out << timeOfDay(entry.at.wallMs) << '\t' << responseText(entry.responseMs) << '\t' << directionMark(entry.direction)
      << '\t' << (entry.bytes ? std::to_string(entry.byteCount()) : "") << '\t' << entry.summary << '\n';
  if (entry.bytes) {
    out << kIndent << "Bytes: " << bytesDisplay(*entry.bytes) << '\n';
    const Dissection d = journal.dissect(entry);
    for (const DissectedField& f : d.fields) {
      out << kIndent << f.name;
      const std::string range = byteRange(f);
      if (!range.empty()) out << " [" << range << "]";
      out << ": " << f.value;
      if (!f.verdict.empty()) out << " \u2014 " << f.verdict;
      out << '\n';
    }
  }
  return out.str();
}

void writeText(const Journal& journal, std::ostream& out, const SavedFrom& from) {
  out << "TQ580-N exchange journal\n"
      << "Tool version: " << from.toolVersion << '\n'
      << "Port: " << from.port << '\n'
      << "Saved: " << dateAndTime(from.savedAtMs) << "\n\n";
  out << "Time\t+ms\tDir\tBytes\tSummary\n";
  if (journal.dropped() > 0) out << droppedText(journal.dropped()) << '\n';
  for (size_t i = 0; i < journal.size(); ++i) out << entryText(journal, journal.at(i));
}

void writeCsv(const Journal& journal, std::ostream& out) {
  out << "time,ms since port opened,response ms,direction,byte count,hex,summary\n";
  if (journal.dropped() > 0) out << ",,,,,," << csvField(droppedText(journal.dropped())) << '\n';
  for (size_t i = 0; i < journal.size(); ++i) {
    const Entry& e = journal.at(i);
    out << dateAndTime(e.at.wallMs) << ',' << (e.sinceOpenMs >= 0 ? std::to_string(e.sinceOpenMs) : "") << ','
        << responseText(e.responseMs) << ',' << namesOf(e.direction).word << ','
        << (e.bytes ? std::to_string(e.byteCount()) : "") << ',' << hexOf(e) << ',' << csvField(e.summary) << '\n';
  }
}

std::string fileText(const Journal& journal, const std::string& path, const SavedFrom& from) {
  constexpr std::string_view kCsv = ".csv";
  const bool csv = path.size() >= kCsv.size() &&
                   std::equal(kCsv.begin(), kCsv.end(), path.end() - static_cast<std::ptrdiff_t>(kCsv.size()),
                              [](char a, char b) { return a == std::tolower(static_cast<unsigned char>(b)); });
  std::ostringstream out;
  if (csv) {
    writeCsv(journal, out);
  } else {
    writeText(journal, out, from);
  }
  return out.str();
}

}  // namespace tq::journal
