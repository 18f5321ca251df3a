#include "protocol/output_frames.h"

#include <cstdint>
#include <stdexcept>

#include "common/errors.h"
#include "common/int_conversion.h"
#include "common/text.h"

namespace tq::protocol {

namespace {

using V = OutputValue;

constexpr size_t kDelayDigits = 4;

// Button, command word, the fields in frame order and the box the button
// sits in. With the window's defaults they give "VELKOR#O01:0#", "VELKOR#BTM1:0000#",
// "VELKOR#AI01:0,100.0,005#" and "VELKOR#IA01:0,0.000,100.0#". Built on
// first use, so a frame built while other files' statics are set up finds
// it ready.
std::span<const OutputCommand> commandTable() {
  static const OutputCommand kOutputCommands[] = {
      // 0 open (OFF), 1 closed (ON), 2 no control.
      {"Button41", "O01", {{V::Index, "ROUT1", "Relay Output Test, Relay 1"}}, "Relay Output Test"},
      {"Button42", "O02", {{V::Index, "ROUT2", "Relay Output Test, Relay 2"}}, "Relay Output Test"},
      {"Button45", "O03", {{V::Index, "ROUT3", "Relay Output Test, Relay 3"}}, "Relay Output Test"},
      {"Button77", "O04", {{V::Index, "ROUT4", "Relay Output Test, Relay 4"}}, "Relay Output Test"},
      // Seconds.
      {"Button64", "BTM1", {{V::Delay, "BOUT1TM", "Out1Time"}}, "Realy Output Delay"},
      {"Button63", "BTM2", {{V::Delay, "BOUT2TM", "Out2Time"}}, "Realy Output Delay"},
      {"Button62", "BTM3", {{V::Delay, "BOUT3TM", "Out3Time"}}, "Realy Output Delay"},
      {"Button61", "BTM4", {{V::Delay, "BOUT4TM", "Out4Time"}}, "Realy Output Delay"},
      // Enable, limit (upper for relays 1 and 2, lower for 3 and 4), reaction
      // time in seconds.
      {"Button33",
       "AI01",
       {{V::Index, "AD1COM", "Relay 1 Alarm Enable"},
        {V::Text, "AD1BH", "Relay 1 Alarm Upper Limit"},
        {V::Text, "AD1DTIME", "Relay 1 Reaction Time(S)"}},
       "Relay Alarm"},
      {"Button34",
       "AI02",
       {{V::Index, "AD2COM", "Relay 2 Alarm Enable"},
        {V::Text, "AD2BH", "Relay 2 Upper Alarm Limit"},
        {V::Text, "AD2DTIME", "Relay 2 Reaction Time(S)"}},
       "Relay Alarm"},
      {"Button19",
       "AI03",
       {{V::Index, "AD3COM", "Relay 3 Alarm Enable"},
        {V::Text, "AD3BH", "Relay 3 Lower Alarm Limit"},
        {V::Text, "AD3DTIME", "Relay 3 Reaction Time(S)"}},
       "Relay Alarm"},
      {"Button25",
       "AI04",
       {{V::Index, "AD4COM", "Relay 4 Alarm Enable"},
        {V::Text, "AD4BH", "Relay 4 Alarm Lower Limit"},
        {V::Text, "AD4DTIME", "Relay 4 Reaction Time(S)"}},
       "Relay Alarm"},
      // Source channel, value at 4 mA, value at 20 mA.
      {"Button8",
       "IA01",
       {{V::Index, "IACH", "IADOUT Channel Selection"},
        {V::Text, "IA4MA", "IADOUT DC4MA"},
        {V::Text, "IA20MA", "IADOUT DC20MA"}},
       "Current Output"},
      {"Button11",
       "IB01",
       {{V::Index, "IBCH", "IBDOUT Channel Selection"},
        {V::Text, "IB4MA", "IBDOUT DC4MA"},
        {V::Text, "IB20MA", "IBDOUT DC20MA"}},
       "Current Output"},
  };
  return kOutputCommands;
}

std::string outputFieldText(const OutputField& field, const OutputControls& controls) {
  switch (field.value) {
    case V::Index:
      return std::to_string(controls.selectedIndex(field.control));
    case V::Delay:
      return delayText(controls.typedText(field.control));
    case V::Text: {
      // A ',' or '#' would end the field or the frame early, and the module
      // would take the rest for other settings ("1,5" as limit 1).
      std::string text = controls.lineText(field);
      if (text.find_first_of(",#") != std::string::npos) {
        throw InputRefused(std::string(field.name) + ": '" + latin1ToUtf8(text) +
                           "' holds ',' or '#', which would split the command; use '.' as the decimal point.");
      }
      return text;
    }
  }
  return {};
}

}  // namespace

std::span<const OutputCommand> outputCommands() { return commandTable(); }

const OutputCommand& outputCommand(std::string_view button) {
  for (const OutputCommand& command : commandTable()) {
    if (button == command.button) return command;
  }
  throw std::out_of_range("No output command for " + std::string(button));
}

std::string delayText(std::string_view typed) {
  const int64_t seconds = parseInt(typed);
  std::string digits = std::to_string(seconds < 0 ? -seconds : seconds);
  if (digits.size() < kDelayDigits) digits.insert(0, kDelayDigits - digits.size(), '0');
  return seconds < 0 ? "-" + digits : digits;
}

Frame outputFrame(const OutputCommand& command, const OutputControls& controls) {
  // Every field is read before the frame exists, so a refused one sends nothing.
  std::string text = std::string(kOutputPrefix) + command.word + ":";
  for (size_t i = 0; i < command.fields.size(); ++i) {
    if (i > 0) text += kOutputFieldSeparator;
    text += outputFieldText(command.fields[i], controls);
  }
  text += '#';
  return Frame(text.begin(), text.end());
}

Frame outputSettingsQueryFrame() { return FrameBuilder("QQQ#QX2#").frame(); }
Frame outputValuesQueryFrame() { return FrameBuilder("QQQ#QX3#").frame(); }

}  // namespace tq::protocol
