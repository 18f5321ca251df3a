#pragma once
// The journal as people read it: the view's columns as text, the saved
// journal as text (each entry's dissection indented below it) or as CSV.
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

#include "journal/journal.h"

namespace tq::journal {

// Local wall-clock time with milliseconds, "14:03:22.123".
std::string timeOfDay(int64_t wallMs);
// "2026-12-09 14:03:22.123", local.
std::string dateAndTime(int64_t wallMs);
// "→" sent, "←" received, "•" event.
const char* directionMark(Direction direction);
// Milliseconds with one decimal, empty when there is none.
std::string responseText(const std::optional<double>& ms);
// A field's byte range: "7", "11-14", empty for a remark on the whole frame.
std::string byteRange(const DissectedField& field);
// "1234 older entries dropped".
std::string droppedText(uint64_t dropped);

// One entry as a line of the view, then its bytes in hex as the send
// buffer shows them ("51 51 51 23 ") and its dissection, indented below it.
std::string entryText(const Journal& journal, const Entry& entry);

// What a saved text journal starts with: the tool, the port and its line
// setting, and when it was saved.
struct SavedFrom {
  std::string toolVersion;  // "1.0"
  std::string port;         // "COM4, 9600 baud, parity none, open"
  int64_t savedAtMs = 0;    // wall clock
};

// The whole journal, not only what a filter shows, under its heading.
void writeText(const Journal& journal, std::ostream& out, const SavedFrom& from);
// time, ms since the port opened, response ms, direction, byte count, hex,
// summary; one line per entry after a header line.
void writeCsv(const Journal& journal, std::ostream& out);
// The journal as a file named `path` holds it: CSV when the name ends in
// ".csv" (in any case), the text under its heading otherwise.
std::string fileText(const Journal& journal, const std::string& path, const SavedFrom& from);

}  // namespace tq::journal
