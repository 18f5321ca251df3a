#include "hart/command_data.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <iterator>
#include <vector>

#include "common/byte_display.h"
#include "common/float_text.h"
#include "common/text.h"
#include "hart/frames.h"
#include "hart/packed_ascii.h"
#include "hart/status.h"
#include "hart/units.h"

namespace tq::hart {

namespace {

using K = FieldKind;

// HART's common tables.
constexpr CodeName kAlarmSelection[] = {{0, "high"},       {1, "low"},    {239, "hold last output value"},
                                        {250, "not used"}, {251, "none"}, {252, "unknown"},
                                        {253, "special"}};
constexpr CodeName kTransferFunction[] = {{0, "linear"},
                                          {1, "square root"},
                                          {2, "square root third power"},
                                          {3, "square root fifth power"},
                                          {4, "special curve"},
                                          {5, "square"},
                                          {6, "square root with cut-off"},
                                          {250, "not used"},
                                          {251, "none"},
                                          {252, "unknown"},
                                          {253, "special"}};
constexpr CodeName kWriteProtect[] = {{0, "not write protected"}, {1, "write protected"},
                                      {250, "not used"},          {251, "none"},
                                      {252, "unknown"},           {253, "special"}};
// Bit 0 of the analog channel flags: the channel is an input.
constexpr CodeName kAnalogChannel[] = {{0, "analog output"}, {1, "analog input"}};
constexpr CodeName kLoopCurrentMode[] = {{0, "disabled"}, {1, "enabled"}};
// Unit codes every HART table shares, beyond the tool's unit list.
constexpr CodeName kSpecialUnits[] = {{250, "not used"}, {251, "none"}, {252, "unknown"}, {253, "special"}};

constexpr size_t kSingleBytes = 4;
// A loop current to the microampere.
constexpr int kMilliampDecimals = 3;

// The symbol of a unit whose name in the unit list is an abbreviation,
// shown beside it on the HART page ("CuMtr_hr (m³/h)").
constexpr struct {
  uint8_t code;
  const char* symbol;
  // clang-format off
} kUnitSymbols[] = {
    {1, "inH\u2082O"}, {2, "inHg"}, {3, "ftH\u2082O"}, {4, "mmH\u2082O"}, {12, "kPa"}, {14, "atm"},
    {34, "\u00b0R"}, {35, "K"}, {15, "ft\u00b3/min"}, {16, "gal/min"}, {17, "L/min"}, {19, "m\u00b3/h"},
    {24, "L/s"}, {26, "ft\u00b3/s"}, {28, "m\u00b3/s"}, {131, "m\u00b3/min"}, {136, "gal/h"}, {138, "L/h"},
    {20, "ft/s"}, {21, "m/s"}, {114, "in/s"}, {115, "in/min"}, {116, "ft/min"}, {120, "m/h"}, {41, "L"},
    {43, "m\u00b3"}, {111, "yd\u00b3"}, {112, "ft\u00b3"}, {113, "in\u00b3"}, {124, "bbl (liquid)"}, {45, "m"},
    {60, "g"}, {62, "t"}, {125, "oz"}, {70, "g/s"}, {71, "g/min"}, {72, "g/h"}, {73, "kg/s"}, {74, "kg/min"},
    {77, "t/min"}, {78, "t/h"}, {80, "lb/s"}, {81, "lb/min"}, {82, "lb/h"}, {91, "g/cm\u00b3"},
    {92, "kg/m\u00b3"}, {93, "lb/gal"}, {94, "lb/ft\u00b3"}, {95, "g/mL"}, {96, "kg/L"}, {97, "g/L"}, {54, "cSt"},
    {55, "cP"}, {69, "N\u00b7m"}, {89, "Dth"}, {126, "ft\u00b7lbf"}, {128, "kWh"}, {164, "MJ"}, {165, "Btu"},
    // clang-format on
};

const char* unitSymbol(uint8_t code) {
  for (const auto& u : kUnitSymbols) {
    if (u.code == code) return u.symbol;
  }
  return nullptr;
}
constexpr size_t kUnitValueBytes = 1 + kSingleBytes;

const DataField kIdentity[] = {
    {.name = "Expansion code", .offset = 0, .width = 1, .kind = K::Number, .journalOnly = true},
    {.name = "Manufacturer id", .offset = identity_data::kManufacturerIdAt, .width = 1, .kind = K::Id},
    {.name = "Device type", .offset = identity_data::kDeviceTypeAt, .width = 1, .kind = K::Id},
    {.name = "Preambles requested", .offset = identity_data::kPreamblesRequestedAt, .width = 1, .kind = K::Number},
    {.name = "Universal command revision",
     .offset = identity_data::kUniversalRevisionAt,
     .width = 1,
     .kind = K::Number},
    {.name = "Device revision", .offset = 5, .width = 1, .kind = K::Number},
    {.name = "Software revision", .offset = 6, .width = 1, .kind = K::Number},
    {.name = "Hardware revision", .offset = 7, .width = 1, .kind = K::Number, .mask = 0xF8, .shift = 3},
    {.name = "Physical signaling", .offset = 7, .width = 1, .kind = K::Number, .mask = 0x07},
    {.name = "Flags", .offset = 8, .width = 1, .kind = K::Hex},
    {.name = "Device id", .offset = identity_data::kDeviceIdAt, .width = identity_data::kDeviceIdBytes, .kind = K::Id},
    {.name = "Preambles sent back", .offset = 12, .width = 1, .kind = K::Number, .required = false},
    {.name = "Last device variable code", .offset = 13, .width = 1, .kind = K::Number, .required = false},
    {.name = "Configuration change counter", .offset = 14, .width = 2, .kind = K::Number, .required = false},
    {.name = "Extended device status",
     .offset = 16,
     .width = 1,
     .kind = K::Flags,
     .required = false,
     .bits = extendedStatusBits},
    // HART 7: the manufacturer and the private label distributor in 16
    // bits, and the device profile.
    {.name = "Manufacturer identification code",
     .offset = 17,
     .width = 2,
     .kind = K::Id,
     .required = false,
     .journalOnly = true},
    {.name = "Private label distributor code",
     .offset = 19,
     .width = 2,
     .kind = K::Id,
     .required = false,
     .journalOnly = true},
    {.name = "Device profile", .offset = 21, .width = 1, .kind = K::Number, .required = false, .journalOnly = true},
};
const DataField kPrimaryVariable[] = {
    {.name = "Primary variable", .offset = 0, .width = kUnitValueBytes, .kind = K::UnitValue},
};
const DataField kLoopCurrentAndPercent[] = {
    {.name = "Loop current",
     .offset = 0,
     .width = kSingleBytes,
     .kind = K::Float,
     .unit = "mA",
     .decimals = kMilliampDecimals},
    {.name = "Percent of range", .offset = 4, .width = kSingleBytes, .kind = K::Float, .unit = "%"},
};
const DataField kDynamicVariables[] = {
    {.name = "Loop current",
     .offset = 0,
     .width = kSingleBytes,
     .kind = K::Float,
     .unit = "mA",
     .decimals = kMilliampDecimals},
    {.name = "Primary variable", .offset = 4, .width = kUnitValueBytes, .kind = K::UnitValue},
    {.name = "Secondary variable", .offset = 9, .width = kUnitValueBytes, .kind = K::UnitValue, .required = false},
    {.name = "Tertiary variable", .offset = 14, .width = kUnitValueBytes, .kind = K::UnitValue, .required = false},
    {.name = "Quaternary variable", .offset = 19, .width = kUnitValueBytes, .kind = K::UnitValue, .required = false},
};
const DataField kPollingAddress[] = {
    {.name = "Polling address", .offset = 0, .width = 1, .kind = K::Number},
    {.name = "Loop current mode",
     .offset = 1,
     .width = 1,
     .kind = K::Code,
     .required = false,
     .names = kLoopCurrentMode},
};
const DataField kMessage[] = {
    {.name = "Message", .offset = 0, .width = packedBytes(kMessageChars), .kind = K::PackedText},
};
const DataField kTagDescriptorDate[] = {
    {.name = "Tag", .offset = 0, .width = packedBytes(kTagChars), .kind = K::PackedText},
    {.name = "Descriptor",
     .offset = packedBytes(kTagChars),
     .width = packedBytes(kDescriptorChars),
     .kind = K::PackedText},
    {.name = "Date",
     .offset = packedBytes(kTagChars) + packedBytes(kDescriptorChars),
     .width = kDateBytes,
     .kind = K::Date},
};
const DataField kDeviceInformation[] = {
    {.name = "Alarm selection", .offset = 0, .width = 1, .kind = K::Code, .names = kAlarmSelection},
    {.name = "Transfer function", .offset = 1, .width = 1, .kind = K::Code, .names = kTransferFunction},
    {.name = "Range units", .offset = 2, .width = 1, .kind = K::UnitCode},
    {.name = "Upper range value", .offset = 3, .width = kSingleBytes, .kind = K::Float, .unitAt = 2},
    {.name = "Lower range value", .offset = 7, .width = kSingleBytes, .kind = K::Float, .unitAt = 2},
    {.name = "Damping", .offset = 11, .width = kSingleBytes, .kind = K::Float, .unit = "s"},
    {.name = "Write protect", .offset = 15, .width = 1, .kind = K::Code, .names = kWriteProtect},
    {.name = "Private label distributor", .offset = 16, .width = 1, .kind = K::Number, .journalOnly = true},
    {.name = "Analog channel flags",
     .offset = 17,
     .width = 1,
     .kind = K::Code,
     .required = false,
     .names = kAnalogChannel},
};
const DataField kLongTag[] = {
    {.name = "Long tag", .offset = 0, .width = 32, .kind = K::Latin1Text},
};
// Command 48 from universal revision 6 on.
const DataField kAdditionalStatus[] = {
    {.name = "Device-specific status", .offset = 0, .width = 6, .kind = K::Hex},
    {.name = "Extended device status",
     .offset = 6,
     .width = 1,
     .kind = K::Flags,
     .required = false,
     .bits = extendedStatusBits},
    {.name = "Device operating mode", .offset = 7, .width = 1, .kind = K::Number, .required = false},
    {.name = "Standardized status 0", .offset = 8, .width = 1, .kind = K::Hex, .required = false},
    {.name = "Standardized status 1", .offset = 9, .width = 1, .kind = K::Hex, .required = false},
    {.name = "Analog channel saturated", .offset = 10, .width = 1, .kind = K::Hex, .required = false},
    {.name = "Standardized status 2", .offset = 11, .width = 1, .kind = K::Hex, .required = false},
    {.name = "Standardized status 3", .offset = 12, .width = 1, .kind = K::Hex, .required = false},
    {.name = "Analog channel fixed", .offset = 13, .width = 1, .kind = K::Hex, .required = false},
    {.name = "Further device-specific status", .offset = 14, .width = 0, .kind = K::Hex, .required = false},
};
// Up to universal revision 5 every byte is the device's own.
const DataField kAdditionalStatusHart5[] = {
    {.name = "Device-specific status", .offset = 0, .width = 6, .kind = K::Hex},
    {.name = "Further device-specific status", .offset = 6, .width = 0, .kind = K::Hex, .required = false},
};

// The revision unknown (the journal takes a reply apart without the
// instrument's command 0): the later revisions' layout, each byte they
// define (6 to 13) saying so.
std::span<const DataField> additionalStatusAnyRevision() {
  constexpr size_t kFirstLaterByte = 6;
  constexpr size_t kFurtherStatusAt = 14;
  static const std::vector<std::string> names = [] {
    std::vector<std::string> out;
    for (const DataField& f : kAdditionalStatus) {
      const bool later = f.offset >= kFirstLaterByte && f.offset < kFurtherStatusAt;
      out.push_back(std::string(f.name) + (later ? " (HART 6 on)" : ""));
    }
    return out;
  }();
  static const std::vector<DataField> fields = [] {
    std::vector<DataField> out(std::begin(kAdditionalStatus), std::end(kAdditionalStatus));
    for (size_t i = 0; i < out.size(); ++i) out[i].name = names[i];
    return out;
  }();
  return fields;
}

std::string_view nameOf(std::span<const CodeName> names, uint8_t code) {
  for (const CodeName& n : names)
    if (n.code == code) return n.name;
  return {};
}

std::string codeText(std::string_view name, uint8_t code, bool withCodes) {
  if (name.empty()) return std::to_string(code);
  return withCodes ? std::to_string(code) + ": " + std::string(name) : std::string(name);
}

// Trailing blanks (and NULs, for Latin-1 texts) are padding.
std::string withoutPadding(std::string text) {
  while (!text.empty() && (text.back() == ' ' || text.back() == '\0')) text.pop_back();
  return text;
}

// A Latin-1 text without its padding; a control character left inside
// would garble the row, so it shows as U+FFFD.
std::string latin1Text(std::span<const uint8_t> bytes) {
  std::string text = withoutPadding(std::string(bytes.begin(), bytes.end()));
  std::string shown;
  for (char ch : text) {
    const auto b = static_cast<unsigned char>(ch);
    if (b < 0x20 || (b >= 0x7F && b < 0xA0)) {
      shown += "\uFFFD";
    } else {
      shown += latin1ToUtf8(std::string_view(&ch, 1));
    }
  }
  return shown;
}

std::string dateText(uint8_t day, uint8_t month, uint8_t yearSince1900) {
  const TagDate date{kFirstDateYear + yearSince1900, month, day};
  return isCalendarDay(date) ? hart::dateText(date) : hart::dateText(date) + " (not a date)";
}

// A value's unit: its name on the page; in the journal with its code too,
// and a code the unit table does not list only by its number.
std::string unitText(uint8_t code, bool withCodes) {
  if (!withCodes) {
    const char* symbol = unitItem(code) != kOtherUnitItem ? unitSymbol(code) : nullptr;
    return symbol ? unitName(code) + " (" + symbol + ")" : unitName(code);
  }
  const std::string number = "unit code " + std::to_string(code);
  if (unitItem(code) != kOtherUnitItem) return unitName(code) + " (" + number + ")";
  const std::string_view special = nameOf(kSpecialUnits, code);
  return "(" + number + (special.empty() ? "" : ": " + std::string(special)) + ")";
}

uint32_t numberOf(std::span<const uint8_t> bytes) {
  uint32_t n = 0;
  for (uint8_t b : bytes) n = n << 8 | b;
  return n;
}

// A single with `decimals` decimals, in the locale's separator.
std::string fixedText(uint32_t bits, int decimals, char decimalSeparator) {
  const float value = std::bit_cast<float>(bits);
  if (!std::isfinite(value)) return singleText(bits, decimalSeparator);
  char text[64];
  std::snprintf(text, sizeof text, "%.*f", decimals, static_cast<double>(value));
  std::string out(text);
  std::replace(out.begin(), out.end(), '.', decimalSeparator);
  return out;
}

uint32_t singleAt(std::span<const uint8_t> bytes) { return singleBits(bytes[0], bytes[1], bytes[2], bytes[3]); }

}  // namespace

std::span<const DataField> replyFields(uint8_t command) {
  switch (command) {
    case 0:
      return kIdentity;
    case 1:
      return kPrimaryVariable;
    case 2:
      return kLoopCurrentAndPercent;
    case 3:
      return kDynamicVariables;
    case 6:
      return kPollingAddress;
    case 12:
    case 17:
      return kMessage;
    case 13:
    case 18:
      return kTagDescriptorDate;
    case 15:
      return kDeviceInformation;
    case 20:
    case 22:
      return kLongTag;
    case 48:
      return kAdditionalStatus;
    default:
      return {};
  }
}

std::span<const DataField> replyFields(uint8_t command, std::optional<uint8_t> universalRevision) {
  if (command != kAdditionalStatusCommand) return replyFields(command);
  if (!universalRevision) return additionalStatusAnyRevision();
  return *universalRevision <= kLastRevisionWithoutExtendedStatus ? std::span<const DataField>(kAdditionalStatusHart5)
                                                                  : std::span<const DataField>(kAdditionalStatus);
}

std::span<const DataField> requestFields(uint8_t command) {
  switch (command) {
    case 6:
      return kPollingAddress;
    case 17:
      return kMessage;
    case 18:
      return kTagDescriptorDate;
    case 22:
      return kLongTag;
    default:
      return {};
  }
}

Presence presence(const DataField& field, size_t dataSize) {
  const size_t end = field.offset + (field.width == 0 ? 1 : field.width);
  if (dataSize >= end) return Presence::Whole;
  if (!field.required && dataSize <= field.offset) return Presence::Absent;
  return Presence::Missing;
}

size_t fieldBytes(const DataField& field, size_t dataSize) {
  if (field.width != 0) return field.width;
  return dataSize > field.offset ? dataSize - field.offset : 0;
}

FieldText fieldText(const DataField& field, std::span<const uint8_t> data, char decimalSeparator, bool withCodes) {
  const auto bytes = data.subspan(field.offset, fieldBytes(field, data.size()));
  FieldText text;
  switch (field.kind) {
    case K::Number:
      text.value = std::to_string(bytes.size() == 1 ? (bytes[0] & field.mask) >> field.shift : numberOf(bytes));
      break;
    case K::Id:
      text.value = numberWithHex(numberOf(bytes), bytes.size());
      break;
    case K::Float:
      text.value = field.decimals >= 0 && !withCodes ? fixedText(singleAt(bytes), field.decimals, decimalSeparator)
                                                     : singleText(singleAt(bytes), decimalSeparator);
      if (!field.unit.empty()) {
        text.unit = field.unit;
      } else if (field.unitAt >= 0 && static_cast<size_t>(field.unitAt) < data.size()) {
        text.unit = unitText(data[static_cast<size_t>(field.unitAt)], withCodes);
      }
      break;
    case K::UnitValue:
      text.value = singleText(singleAt(bytes.subspan(1)), decimalSeparator);
      text.unit = unitText(bytes[0], withCodes);
      break;
    case K::UnitCode: {
      const bool listed = unitItem(bytes[0]) != kOtherUnitItem;
      const std::string name = listed ? unitName(bytes[0]) : std::string(nameOf(kSpecialUnits, bytes[0]));
      text.value = withCodes ? codeText(name, bytes[0], true) : unitText(bytes[0], false);
      break;
    }
    case K::Code:
      text.value = codeText(nameOf(field.names, bytes[0]), bytes[0], withCodes);
      break;
    case K::Flags: {
      const std::string names = bytes[0] == 0 ? "none" : joined(field.bits(bytes[0]));
      text.value = withCodes ? hexByte(bytes[0]) + ": " + names : names;
      break;
    }
    case K::PackedText:
      text.value = withoutPadding(unpackAscii(bytes));
      break;
    case K::Latin1Text:
      text.value = latin1Text(bytes);
      break;
    case K::Date:
      text.value = dateText(bytes[0], bytes[1], bytes[2]);
      break;
    case K::Hex:
      text.value = hexBytes(bytes);
      break;
  }
  return text;
}

std::string unitName(uint8_t code) {
  const int item = unitItem(code);
  if (item != kOtherUnitItem) return withoutPadding(std::string(unitItems()[static_cast<size_t>(item)].text));
  const std::string_view special = nameOf(kSpecialUnits, code);
  return special.empty() ? "unit " + std::to_string(code) : std::string(special);
}

std::string singleText(uint32_t bits, char decimalSeparator) {
  const float value = std::bit_cast<float>(bits);
  if (std::isnan(value)) return "not a number";
  // The shortest digits that read back as this single, counted from the
  // shortest round-trip text.
  char shortest[32];
  const auto end = std::to_chars(shortest, shortest + sizeof shortest, value, std::chars_format::scientific).ptr;
  int digits = 0;
  for (const char* p = shortest; p != end && *p != 'e'; ++p) digits += *p >= '0' && *p <= '9';
  return floatText(bits, decimalSeparator, digits);
}

}  // namespace tq::hart
