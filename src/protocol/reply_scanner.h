#pragma once
// The one field scanner behind every parameter reply of the configuration
// protocol. A reply is a run of field groups, each opened by a keyword
// ("BA1:", "HART0:", ...). A group is found by the first occurrence of its
// keyword anywhere in the received text; its fields stand at fixed offsets
// from the keyword's first letter and go straight to controls.
#include <span>
#include <string_view>
#include <vector>

#include "common/assignment.h"

namespace tq::protocol {

// How a field's characters become a control's value.
enum class As {
  Digit,      // one character, its decimal value selects a combo box item
  DigitLess,  // one character, its value minus `base` selects an item
  Integer,    // the characters read as one integer select an item
  Text,       // the characters go into the control unchanged
};

struct Field {
  size_t offset;  // from the keyword's first letter
  size_t width;
  As as;
  const char* control;
  int base = 0;  // DigitLess only: the value of the list's first item
};

struct Group {
  std::string_view keyword;  // '?' matches any one character
  std::vector<Field> fields;
};

// Offset of the keyword's first occurrence in the text, or npos.
size_t findKeyword(std::string_view text, std::string_view keyword);

// The characters of a field that lie inside the text: a field cut by the end
// of the text gives what is there, possibly nothing.
std::string_view fieldText(std::string_view text, size_t at, size_t width);

enum class Scan { Missing, Applied, Stopped };

// Reads one field of a group found at `at`. A field that is not a number
// where one is needed ends the decode: the conversion message goes to
// out.error and false comes back.
bool scanField(std::string_view text, size_t at, const Field& field, Decoded& out);

// One group: Missing when its keyword is absent (its controls keep their
// values), Stopped when a field ended the decode.
Scan scanGroup(std::string_view text, const Group& group, Decoded& out);

// The groups in order; false when a field ended the decode.
bool scanGroups(std::string_view text, std::span<const Group> groups, Decoded& out);

}  // namespace tq::protocol
