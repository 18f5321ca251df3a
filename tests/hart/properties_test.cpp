// What the HART Instrument page takes from a reply: the rows of each
// command it reads (data laid out by hand from the command tables), how a
// refusal, a communication error, a wrong check byte, a frame cut short and
// data that ends early show, and the values the scan and the edits keep.
#include "hart/properties.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/hex_entry.h"
#include "hart/command_data.h"

namespace tq::hart {

void PrintTo(const PropertyRow& r, std::ostream* os) {
  *os << "{" << r.name << " | " << r.value << " | " << r.unit << (r.bad ? " | bad}" : "}");
}

namespace {

std::vector<uint8_t> hex(const std::string& text) {
  return text.empty() ? std::vector<uint8_t>{} : parseHexEntry(text, 1000);
}

// A long-frame reply from device 26/06/123456 with its check byte.
std::vector<uint8_t> reply(uint8_t command, const std::string& data, uint8_t first = 0, uint8_t second = 0) {
  const auto bytes = hex(data);
  std::vector<uint8_t> frame = {
      0xFF, 0xFF, 0x86, 0xA6, 0x06, 0x12, 0x34, 0x56, command, static_cast<uint8_t>(bytes.size() + 2), first, second};
  frame.insert(frame.end(), bytes.begin(), bytes.end());
  uint8_t check = 0;
  for (size_t i = 2; i < frame.size(); ++i) check ^= frame[i];
  frame.push_back(check);
  return frame;
}
std::string zeros(size_t n) {
  std::string text;
  for (size_t i = 0; i < n; ++i) text += " 00";
  return text;
}
std::vector<uint8_t> changed(std::vector<uint8_t> frame, size_t at, uint8_t to) {
  frame[at] = to;
  return frame;
}
std::vector<uint8_t> cut(std::vector<uint8_t> frame, size_t length) {
  frame.resize(length);
  return frame;
}

// The packed texts, worked out by hand from the packing rule.
const std::string kTag = "19 4B 71 C3 18 20";                           // "FT-101"
const std::string kDescriptor = "18 C3 D7 80 C3 CF 42 0D E0 82 08 20";  // "FLOW LOOP 7"
const std::string kMessage =                                            // "CHECKED 2026-12-09 BY QA"
    "0C 81 43 2C 51 20 CB 0C B6 B7 1C AD C3 98 02 66 04 41 82 08 20 82 08 20";
const std::string kIdentityReply = "FF FF 06 80 00 0E 00 14 FE 1A 89 07 05 02 1B 08 01 21 63 3F 9E";

using Rows = std::vector<PropertyRow>;
PropertyRow row(std::string name, std::string value, std::string unit = "") { return {name, value, unit, false}; }
PropertyRow badRow(std::string name, std::string value) { return {name, value, "", true}; }

Rows rowsOf(const std::vector<uint8_t>& block, std::optional<uint8_t> revision = 7) {
  const auto parsed = parseReply(block);
  return parsed ? describeReply(*parsed, ',', revision) : Rows{row("no reply", "")};
}

TEST(ReplyRows, EachCommandShowsItsFieldsWithUnits) {
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    Rows rows;
  } cases[] = {
      {"1", reply(1, "13 41 48 00 00"), {row("Primary variable", "12,5", "CuMtr_hr (m\u00b3/h)")}},
      {"2",
       reply(2, "41 40 00 00 42 48 00 00"),
       {row("Loop current", "12,000", "mA"), row("Percent of range", "50", "%")}},
      {"3, four variables",
       reply(3, "40 80 00 00 13 41 48 00 00 20 C1 48 00 00 07 3F 8C CC CD 2B 3D CC CC CD"),
       {row("Loop current", "4,000", "mA"), row("Primary variable", "12,5", "CuMtr_hr (m\u00b3/h)"),
        row("Secondary variable", "-12,5", "\u2103"), row("Tertiary variable", "1,1", "bar"),
        row("Quaternary variable", "0,1", "CuMtr (m\u00b3)")}},
      // One variable: the others are not there to show; status bits shown.
      {"3, one variable",
       reply(3, "41 44 CC CD 13 41 48 00 00", 0, 0x41),
       {row("Device status", "configuration changed, primary variable out of limits"),
        row("Loop current", "12,300", "mA"), row("Primary variable", "12,5", "CuMtr_hr (m\u00b3/h)")}},
      {"12", reply(12, kMessage), {row("Message", "CHECKED 2026-12-09 BY QA")}},
      {"13",
       reply(13, kTag + " " + kDescriptor + " 09 0C 7E"),
       {row("Tag", "FT-101"), row("Descriptor", "FLOW LOOP 7"), row("Date", "2026-12-09")}},
      {"13, no date set",
       reply(13, kTag + " " + kDescriptor + " 00 00 00"),
       {row("Tag", "FT-101"), row("Descriptor", "FLOW LOOP 7"), row("Date", "1900-00-00 (not a date)")}},
      {"15",
       reply(15, "00 01 13 42 C8 00 00 00 00 00 00 3F 00 00 00 00 FA 01"),
       {row("Alarm selection", "high"), row("Transfer function", "square root"),
        row("Range units", "CuMtr_hr (m\u00b3/h)"), row("Upper range value", "100", "CuMtr_hr (m\u00b3/h)"),
        row("Lower range value", "0", "CuMtr_hr (m\u00b3/h)"), row("Damping", "0,5", "s"),
        row("Write protect", "not write protected"), row("Analog channel flags", "analog input")}},
      // Up to HART 5 there are no channel flags; codes without a name show
      // their number; HART's not-a-number is said so.
      {"15, HART 5",
       reply(15, "EF 09 C8 42 C8 00 00 7F A0 00 00 3F 00 00 00 01 FA"),
       {row("Alarm selection", "hold last output value"), row("Transfer function", "9"), row("Range units", "unit 200"),
        row("Upper range value", "100", "unit 200"), row("Lower range value", "not a number", "unit 200"),
        row("Damping", "0,5", "s"), row("Write protect", "write protected")}},
      // Latin-1, blanks and NULs after the text dropped.
      {"20",
       reply(20, "46 6C 6F 77 20 6C 6F 6F 70 20 37 20 E9 74 61 67 65 20 20" + zeros(13)),
       {row("Long tag", "Flow loop 7 \u00e9tage")}},
      {"20, a control character", reply(20, "41 01 42" + zeros(29)), {row("Long tag", "A\uFFFDB")}},
      // Each byte of its own value: 10 is the analog channel saturated, 11
      // standardized status 2.
      {"48",
       reply(48, "00 00 00 00 00 81 21 03 04 05 0A 0B 0C 0D AB CD", 0, 0x10),
       {row("Device status", "more status available"), row("Device-specific status", "00 00 00 00 00 81"),
        row("Extended device status", "function check, maintenance required"), row("Device operating mode", "3"),
        row("Standardized status 0", "04"), row("Standardized status 1", "05"), row("Analog channel saturated", "0A"),
        row("Standardized status 2", "0B"), row("Standardized status 3", "0C"), row("Analog channel fixed", "0D"),
        row("Further device-specific status", "AB CD")}},
      {"48, HART 5", reply(48, "01 02 03 04 05 06"), {row("Device-specific status", "01 02 03 04 05 06")}},
      {"0",
       hex(kIdentityReply),
       {row("Device status", "more status available, loop current saturated"), row("Manufacturer id", "26 (0x1A)"),
        row("Device type", "137 (0x89)"), row("Preambles requested", "7"), row("Universal command revision", "5"),
        row("Device revision", "2"), row("Software revision", "27"), row("Hardware revision", "1"),
        row("Physical signaling", "0"), row("Flags", "01"), row("Device id", "2188095 (0x21633F)")}},
      {"no table", reply(130, "01 02"), {row("Data", "01 02")}},
  };
  for (const auto& c : cases) EXPECT_EQ(rowsOf(c.block), c.rows) << c.name;
}

// Command 48's bytes 6 and on by the universal revision command 0 gave:
// the device's own up to revision 5, named from 6 on, and said to be so
// named when the revision is not known.
TEST(ReplyRows, AdditionalStatusFollowsTheUniversalRevision) {
  const auto block = reply(48, "01 02 03 04 05 06 21 03 04 05 0A 0B 0C 0D");
  const struct {
    std::optional<uint8_t> revision;
    Rows rows;
  } cases[] = {
      {5,
       {row("Device-specific status", "01 02 03 04 05 06"),
        row("Further device-specific status", "21 03 04 05 0A 0B 0C 0D")}},
      {6,
       {row("Device-specific status", "01 02 03 04 05 06"),
        row("Extended device status", "function check, maintenance required"), row("Device operating mode", "3"),
        row("Standardized status 0", "04"), row("Standardized status 1", "05"), row("Analog channel saturated", "0A"),
        row("Standardized status 2", "0B"), row("Standardized status 3", "0C"), row("Analog channel fixed", "0D")}},
      {std::nullopt,
       {row("Device-specific status", "01 02 03 04 05 06"),
        row("Extended device status (HART 6 on)", "function check, maintenance required"),
        row("Device operating mode (HART 6 on)", "3"), row("Standardized status 0 (HART 6 on)", "04"),
        row("Standardized status 1 (HART 6 on)", "05"), row("Analog channel saturated (HART 6 on)", "0A"),
        row("Standardized status 2 (HART 6 on)", "0B"), row("Standardized status 3 (HART 6 on)", "0C"),
        row("Analog channel fixed (HART 6 on)", "0D")}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(rowsOf(block, c.revision), c.rows) << (c.revision ? std::to_string(*c.revision) : "not known");
  }
}

TEST(ReplyRows, RefusalsFaultsAndShortDataShowAndNoDataIsUsedFromABadFrame) {
  const auto good = reply(3, "40 80 00 00 13 41 48 00 00 20 C1 48 00 00 07 3F 8C CC CD 2B 3D CC CC CD");
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    Rows rows;
  } cases[] = {
      {"not implemented", reply(15, "", 64), {badRow("Response", "64: command not implemented")}},
      {"write protected",
       reply(18, "", 7, 0x40),
       {badRow("Response", "7: in write protect mode"), row("Device status", "configuration changed")}},
      // A warning carries good data: shown as read, the warning beside it.
      {"warning with data",
       reply(1, "13 41 48 00 00", 8),
       {row("Response", "8: command-specific warning"), row("Primary variable", "12,5", "CuMtr_hr (m\u00b3/h)")}},
      {"device-specific warning",
       reply(2, "41 40 00 00 42 48 00 00", 111),
       {row("Response", "111: device-specific warning"), row("Loop current", "12,000", "mA"),
        row("Percent of range", "50", "%")}},
      // An error's data, should it bring any, are not the instrument's values.
      {"error with data",
       reply(1, "13 41 48 00 00", 16),
       {badRow("Response", "16: access restricted"), badRow("Data", "13 41 48 00 00 (not used after an error)")}},
      {"error 9, command-specific", reply(38, "", 9), {badRow("Response", "9: command-specific")}},
      {"communication error",
       reply(1, "", 0xA8),
       {badRow("Reply", "Communication error A8: the instrument received the request garbled (overrun, check byte)")}},
      {"one byte changed",
       changed(good, 17, 0x42),
       {badRow("Reply", "check byte 52, expected 51; its data is not used")}},
      {"check byte changed",
       changed(good, 36, 0x51),
       {badRow("Reply", "check byte 51, expected 52; its data is not used")}},
      {"cut short", cut(good, 14), {badRow("Reply", "frame ends after 12 of 35 bytes; its data is not used")}},
      {"no status bytes",
       hex("FF FF 06 80 00 01 00 87"),
       {badRow("Reply", "byte count 1 leaves no room for the two status bytes; its data is not used")}},
      // Success, but the data ends before (or inside) a field.
      {"short 2",
       reply(2, "41 40 00 00 42 48"),
       {row("Loop current", "12,000", "mA"), badRow("Percent of range", "not in the reply")}},
      {"short 3",
       reply(3, "41 40 00 00 13 41 48 00 00 07 3F"),
       {row("Loop current", "12,000", "mA"), row("Primary variable", "12,5", "CuMtr_hr (m\u00b3/h)"),
        badRow("Secondary variable", "not in the reply")}},
      {"short 13",
       reply(13, kTag + " " + kDescriptor + " 09 0C"),
       {row("Tag", "FT-101"), row("Descriptor", "FLOW LOOP 7"), badRow("Date", "not in the reply")}},
      {"empty 1", reply(1, ""), {badRow("Primary variable", "not in the reply")}},
      {"not a number", reply(1, "FA 7F A0 00 00"), {row("Primary variable", "not a number", "not used")}},
  };
  for (const auto& c : cases) EXPECT_EQ(rowsOf(c.block), c.rows) << c.name;
}

TEST(ReplyStatus, TheLabelSaysTheStatusOrWhyTheReplyIsNotUsed) {
  const struct {
    std::vector<uint8_t> block;
    std::string text;
  } cases[] = {
      {reply(1, "13 41 48 00 00", 0, 0x40), "Response 0 (success); status 40: configuration changed"},
      {reply(15, "", 64), "Response 64 (command not implemented); status 00"},
      {reply(1, "", 0x90), "Communication error 90: the instrument received the request garbled (framing)"},
      {changed(reply(1, "13 41 48 00 00"), 12, 0x14), "Reply not used: check byte 4A, expected 4D"},
      {cut(reply(1, "13 41 48 00 00"), 12), "Reply not used: frame ends after 10 of 16 bytes"},
  };
  for (const auto& c : cases) EXPECT_EQ(statusText(*parseReply(c.block)), c.text) << c.text;
}

TEST(ParsedReply, FindsTheReplyAmongOtherBytes) {
  const auto identity = hex(kIdentityReply);
  auto around = hex("00 11 FF 06 12");  // a stray marker whose frame does not hold
  around.insert(around.end(), identity.begin(), identity.end());
  around.push_back(0x33);
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    bool found;
    size_t delimiterAt;
    std::string fault;
    size_t dataBytes;
  } cases[] = {
      {"alone", identity, true, 2, "", 12},
      {"between other bytes", around, true, 7, "", 12},
      {"only a request", hex("FF FF 02 80 00 00 82"), false, 0, "", 0},
      {"no preamble", hex("06 80 00 02 00 00 84"), true, 0, "", 0},
      // Without a preamble a delimiter is taken only with a good check byte.
      {"no preamble, bad check", hex("06 80 00 02 00 00 85"), false, 0, "", 0},
      {"cut in the data", cut(identity, 10), true, 2, "frame ends after 8 of 19 bytes", 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = parseReply(c.block);
    ASSERT_EQ(parsed.has_value(), c.found);
    if (!parsed) continue;
    EXPECT_EQ(parsed->frame.delimiterAt, c.delimiterAt);
    EXPECT_EQ(parsed->fault, c.fault);
    EXPECT_EQ(parsed->data.size(), c.dataBytes);
  }
}

// A block may hold a late reply to the request before and then the reply to
// the current one: the one that answers the current request's address and
// command is taken, not the first good frame.
TEST(ParsedReply, TheReplyToTheCurrentRequestIsTakenPastALateOne) {
  const DeviceIdentity instrument{0x26, 0x06, {0x12, 0x34, 0x56}, 0};
  const auto late = reply(2, "41 40 00 00 42 48 00 00");                            // command 2, answered late
  const auto current = reply(3, "41 40 00 00 13 41 48 00 00");                      // command 3, asked now
  const auto other = hex("FF FF 86 A6 06 12 34 57 03 07 00 00 41 40 00 00 13 41");  // device id 123457
  auto join = [](std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
  };
  const struct {
    const char* name;
    std::vector<uint8_t> block;
    ReplyTo to;
    bool found;
    size_t delimiterAt;
    std::string fault;
  } cases[] = {
      {"late, then current", join(late, current), ReplyTo::longFrame(instrument, 3), true, late.size() + 2, ""},
      {"late, then current cut short", join(late, cut(current, 12)), ReplyTo::longFrame(instrument, 3), true,
       late.size() + 2, "frame ends after 10 of 20 bytes"},
      {"late only", late, ReplyTo::longFrame(instrument, 3), false, 0, ""},
      {"another instrument's first", join(other, current), ReplyTo::longFrame(instrument, 3), true, other.size() + 2,
       ""},
      {"short frames: address 5 after 0",
       join(hex(kIdentityReply), changed(changed(hex(kIdentityReply), 3, 0x85), 20, 0x9B)), ReplyTo::shortFrame(5, 0),
       true, 23, ""},
      {"a long frame is no reply to a short one", current, ReplyTo::shortFrame(0, 3), false, 0, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto parsed = parseReplyTo(c.block, c.to);
    ASSERT_EQ(parsed.has_value(), c.found);
    if (!parsed) continue;
    EXPECT_EQ(parsed->frame.delimiterAt, c.delimiterAt);
    EXPECT_EQ(parsed->fault, c.fault);
    EXPECT_EQ(parsed->command, c.to.command);
  }
}

TEST(ReplyValues, TheScanAndTheEditsTakeOnlyUsableReplies) {
  const auto identity = hex(kIdentityReply);
  const UniqueIdentifier expected{0, 26, 137, 7, 5, {0x21, 0x63, 0x3F}};
  EXPECT_EQ(readUniqueIdentifier(*parseReply(identity)), expected);
  EXPECT_EQ(expected.deviceIdNumber(), 2188095u);
  EXPECT_EQ(expected.identity(), (DeviceIdentity{26, 137, {0x21, 0x63, 0x3F}, 0}));
  // Polling address 40 from the reply's short address (master bit set).
  auto at40 = hex("FF FF 06 A8 00 0E 00 00 FE 26 06 05 05 01 01 02 00 12 34 56 24");
  at40.back() ^= 0x80 ^ 0xA8;
  const auto scanned = readUniqueIdentifier(*parseReply(at40));
  ASSERT_TRUE(scanned);
  EXPECT_EQ(scanned->pollingAddress, 40);
  EXPECT_EQ(scanned->deviceIdNumber(), 0x123456u);

  for (const auto& unusable :
       {changed(identity, 9, 0x1B), cut(identity, 20), reply(0, "FE 1A 89 07 05 02 1B 08 01 21 63"),
        reply(0, "FE 1A 89 07 05 02 1B 08 01 21 63 3F"), hex("FF FF 06 80 00 02 A8 00 2C")}) {
    const auto parsed = parseReply(unusable);
    EXPECT_FALSE(parsed && readUniqueIdentifier(*parsed)) << "a bad, short, long-frame or garbled reply";
  }

  const TagDescriptorDate record{"FT-101", "FLOW LOOP 7", {2026, 12, 9}};
  EXPECT_EQ(readTagDescriptorDate(*parseReply(reply(13, kTag + " " + kDescriptor + " 09 0C 7E"))), record);
  EXPECT_EQ(readTagDescriptorDate(*parseReply(reply(18, kTag + " " + kDescriptor + " 09 0C 7E"))), record);
  EXPECT_FALSE(readTagDescriptorDate(*parseReply(reply(13, kTag + " " + kDescriptor + " 09 0C"))));
  EXPECT_FALSE(readTagDescriptorDate(*parseReply(reply(13, kTag + " " + kDescriptor + " 09 0C 7E", 0x88))));
  // A warning's data are good; an error's are not, whatever it carries.
  EXPECT_EQ(readTagDescriptorDate(*parseReply(reply(13, kTag + " " + kDescriptor + " 09 0C 7E", 8))), record);
  EXPECT_FALSE(readTagDescriptorDate(*parseReply(reply(13, kTag + " " + kDescriptor + " 09 0C 7E", 6))));
  EXPECT_FALSE(readTagDescriptorDate(*parseReply(reply(12, kMessage))));
  EXPECT_EQ(readMessage(*parseReply(reply(17, kMessage))), "CHECKED 2026-12-09 BY QA");
  EXPECT_FALSE(readMessage(*parseReply(changed(reply(12, kMessage), 15, 0))));
}

TEST(SingleText, FewestDigitsThatReadBackAsTheSameSingle) {
  const struct {
    uint32_t bits;
    char separator;
    std::string text;
  } cases[] = {
      {0x3F8CCCCD, '.', "1.1"},      {0x4144CCCD, ',', "12,3"},         {0x47F1205B, '.', "123456.71"},
      {0x61021AB1, '.', "1.5E20"},   {0x3727C5AC, '.', "1E-5"},         {0x00000000, '.', "0"},
      {0x80000000, '.', "0"},        {0x7F7FFFFF, '.', "3.4028235E38"}, {0x00000001, '.', "1E-45"},
      {0x4B800001, '.', "16777218"}, {0xC1480000, '.', "-12.5"},        {0x7F800000, '.', "INF"},
      {0xFF800000, '.', "-INF"},     {0x7FA00000, '.', "not a number"}, {0xFFC00000, '.', "not a number"},
  };
  for (const auto& c : cases) EXPECT_EQ(singleText(c.bits, c.separator), c.text) << std::hex << c.bits;
}

}  // namespace
}  // namespace tq::hart
