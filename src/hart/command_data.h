#pragma once
// The data layouts of the commands the tool reads and writes, one table per
// command: the journal's dissector takes the frames apart with them and the
// HART Instrument page makes its rows from them, so both read every field
// at the same place and say it the same way. Offsets count from the first
// data byte; in a reply, from the first byte after the two status bytes.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tq::hart {

enum class FieldKind {
  Number,      // unsigned, most significant byte first; of one byte, `mask` >> `shift`
  Id,          // a Number shown in hex beside it too: "38 (0x26)"
  Float,       // IEEE 754 single, most significant byte first
  UnitValue,   // a unit code, then a single in that unit (five bytes)
  UnitCode,    // a unit code, by its name
  Code,        // a code named by `names`; an unnamed one as its number
  Flags,       // bits named by `bits`
  PackedText,  // packed ASCII, trailing blanks dropped
  Latin1Text,  // Latin-1, trailing NULs and blanks dropped
  Date,        // day, month, year - 1900, shown YYYY-MM-DD
  Hex,         // bytes in hex
};

struct CodeName {
  uint8_t code;
  std::string_view name;
};

struct DataField {
  std::string_view name;  // "Primary variable"
  size_t offset = 0;
  size_t width = 0;  // 0: every remaining byte (Hex only)
  FieldKind kind = FieldKind::Hex;
  bool required = true;               // false: from a later protocol revision, absent when the data ends first
  std::string_view unit{};            // Float: a fixed unit ("mA", "%", "s")
  int decimals = -1;                  // Float: that many decimals; -1: the shortest exact text
  int unitAt = -1;                    // Float: offset of the unit code that gives its unit
  std::span<const CodeName> names{};  // Code
  std::vector<std::string> (*bits)(uint8_t) = nullptr;  // Flags
  uint8_t mask = 0xFF;                                  // Number of one byte: the bits it takes
  uint8_t shift = 0;
  bool journalOnly = false;  // of no use to the page's rows
};

// Command 0's reply data as the scan reads it (its table says the same).
namespace identity_data {
inline constexpr size_t kManufacturerIdAt = 1;
inline constexpr size_t kDeviceTypeAt = 2;
inline constexpr size_t kPreamblesRequestedAt = 3;
inline constexpr size_t kUniversalRevisionAt = 4;
inline constexpr size_t kDeviceIdAt = 9;
inline constexpr size_t kDeviceIdBytes = 3;
inline constexpr size_t kBytes = kDeviceIdAt + kDeviceIdBytes;  // up to HART 5
}  // namespace identity_data

// The reply data of commands 0, 1, 2, 3, 6, 12, 13, 15, 17, 18, 20 and 48
// (48 as from universal revision 6 on); the request data of commands 6, 17
// and 18. Empty for any other command.
std::span<const DataField> replyFields(uint8_t command);
// Command 48's bytes 6 and on are the device's own up to universal revision
// 5 and named from revision 6 on: the reply data by the revision the
// instrument's command 0 gave; without one (nullopt), the later layout with
// each such name saying "(HART 6 on)". Any other command as replyFields(command).
inline constexpr uint8_t kAdditionalStatusCommand = 48;
inline constexpr uint8_t kLastRevisionWithoutExtendedStatus = 5;
std::span<const DataField> replyFields(uint8_t command, std::optional<uint8_t> universalRevision);
std::span<const DataField> requestFields(uint8_t command);

// Whether the field lies in `dataSize` bytes of data.
enum class Presence { Whole, Absent, Missing };
// Whole: every byte is there. Absent: an optional field the data ends
// before. Missing: a required field, or one the data ends inside of.
Presence presence(const DataField& field, size_t dataSize);
// Bytes the field takes in `dataSize` bytes of data (its width, or what
// remains for a width of 0).
size_t fieldBytes(const DataField& field, size_t dataSize);

struct FieldText {
  std::string value;  // "12.5", "square root", "FT-101"
  std::string unit;   // "mA", the unit code's name; empty when none
};
// A whole field's text. `withCodes` adds each code's number to its name
// ("1: square root", "40: configuration changed"), as the journal shows
// them; the page shows the names alone.
FieldText fieldText(const DataField& field, std::span<const uint8_t> data, char decimalSeparator, bool withCodes);

// A unit code's name from the unit table (trailing blanks dropped), or
// HART's "not used", "none", "unknown", "special"; any other code "unit N".
std::string unitName(uint8_t code);

// A single in the fewest significant digits that read back as the same
// single, in the tool's float notation with `decimalSeparator`; a
// not-a-number (HART's 7F A0 00 00 among others) is "not a number".
std::string singleText(uint32_t bits, char decimalSeparator);

}  // namespace tq::hart
