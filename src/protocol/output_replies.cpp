// The replies of the "Relay And Current Output Setting" page.
#include "protocol/replies.h"
#include "protocol/reply_scanner.h"
#include "protocol/reply_tables.h"

namespace tq::protocol {

namespace {

// "QX2#BTM1:0000#..#AI01:0,100.0,005#..#IA01:0,0.000,100.0#IB01:0,0.000,100.0#"
// After its keyword each group has the body of its output frame, with a
// five-character limit or scaled value and a three-character reaction time;
// the separators at offsets 6 and 12 are not read.
const Group kOutputSettingsReply[] = {
    {"BTM1:", {{5, 4, As::Text, "BOUT1TM"}}},  // relay output delays, seconds
    {"BTM2:", {{5, 4, As::Text, "BOUT2TM"}}},
    {"BTM3:", {{5, 4, As::Text, "BOUT3TM"}}},
    {"BTM4:", {{5, 4, As::Text, "BOUT4TM"}}},
    {"AI01:",
     {{5, 1, As::Digit, "AD1COM"},      // alarm enable
      {7, 5, As::Text, "AD1BH"},        // limit
      {13, 3, As::Text, "AD1DTIME"}}},  // reaction time, seconds
    {"AI02:", {{5, 1, As::Digit, "AD2COM"}, {7, 5, As::Text, "AD2BH"}, {13, 3, As::Text, "AD2DTIME"}}},
    {"AI03:", {{5, 1, As::Digit, "AD3COM"}, {7, 5, As::Text, "AD3BH"}, {13, 3, As::Text, "AD3DTIME"}}},
    {"AI04:", {{5, 1, As::Digit, "AD4COM"}, {7, 5, As::Text, "AD4BH"}, {13, 3, As::Text, "AD4DTIME"}}},
    {"IA01:",
     {{5, 1, As::Digit, "IACH"},      // source channel
      {7, 5, As::Text, "IA4MA"},      // value at 4 mA
      {13, 5, As::Text, "IA20MA"}}},  // value at 20 mA
    {"IB01:", {{5, 1, As::Digit, "IBCH"}, {7, 5, As::Text, "IB4MA"}, {13, 5, As::Text, "IB20MA"}}},
};

// "QX3#AVAL:12.0000mA#BVAL: 0.0000mA#": nine characters each, as the module
// writes them.
const Group kOutputValuesReply[] = {
    {"AVAL:", {{5, 9, As::Text, "Edit2"}}},
    {"BVAL:", {{5, 9, As::Text, "Edit3"}}},
};

// The marker may stand anywhere, before, among or after the groups.
Decoded decodeMarked(std::string_view text, std::string_view marker, std::span<const Group> groups) {
  Decoded out;
  if (findKeyword(text, marker) == std::string_view::npos) return out;
  scanGroups(text, groups, out);
  return out;
}

}  // namespace

std::span<const Group> outputSettingsReplyGroups() { return kOutputSettingsReply; }
std::span<const Group> outputValuesReplyGroups() { return kOutputValuesReply; }

Decoded decodeOutputSettingsReply(std::string_view text) {
  return decodeMarked(text, kOutputSettingsReplyMarker, kOutputSettingsReply);
}

Decoded decodeOutputValuesReply(std::string_view text) {
  return decodeMarked(text, kOutputValuesReplyMarker, kOutputValuesReply);
}

}  // namespace tq::protocol
