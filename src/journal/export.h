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

// One entry as a line of the view, and its dissection indented below it.
std::string entryText(const Journal& journal, const Entry& entry);

// The whole journal, not only what a filter shows.
void writeText(const Journal& journal, std::ostream& out);
// time, ms since the port opened, response ms, direction, byte count, hex,
// summary; one line per entry after a header line.
void writeCsv(const Journal& journal, std::ostream& out);

}  // namespace tq::journal
