#pragma once
// The relay and current-output commands of the "Relay And Current Output
// Setting" page: "VELKOR#" + command word + ':' + fields + '#', with ','
// between the fields. Unlike the set frames, fields are free-width: a combo
// box's index as decimal text ("-1" without a selection), an edit's text as
// typed, the output delay with at least four digits.
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/frame_fields.h"

namespace tq::protocol {

// What one field of an output frame is made of.
enum class OutputValue {
  Index,  // a combo box's selected index as decimal text
  Delay,  // an edit's whole number, zero-padded to four digits
  Text,   // an edit's text exactly as typed
};

struct OutputField {
  OutputValue value;
  const char* control;
  const char* name;  // the field as the operator finds it in the window; a Text field's messages use it
};

// One button of the page and the frame it sends.
struct OutputCommand {
  const char* button;  // "Button64"
  const char* word;    // "BTM1"
  std::vector<OutputField> fields;
  const char* group;  // the box the button sits in: "Relay Alarm"
};

inline constexpr std::string_view kOutputPrefix = "VELKOR#";
inline constexpr char kOutputFieldSeparator = ',';

// The fourteen commands, for the exchange journal's dissector.
std::span<const OutputCommand> outputCommands();

// The command of one of the page's fourteen buttons; std::out_of_range for
// any other. The button numbers do not follow the relay numbers: the table
// behind this is the binding.
const OutputCommand& outputCommand(std::string_view button);

// The controls as they stand at the click.
struct OutputControls {
  std::function<int(const char* control)> selectedIndex;
  std::function<std::string(const char* control)> typedText;  // UTF-8, for the delay and its message
  // The text as it goes on the line, one byte per character; a character
  // with no byte is refused there.
  std::function<std::string(const OutputField& field)> lineText;
};

// The frame of a command from the controls, or the conversion message for a
// delay that is not a whole number (thrown before anything is built).
Frame outputFrame(const OutputCommand& command, const OutputControls& controls);

// The delay as the frame carries it: "5" -> "0005", "-5" -> "-0005",
// "12345" kept whole; a text that is not a whole number gives the
// conversion message.
std::string delayText(std::string_view typed);

// Queries of the page.
Frame outputSettingsQueryFrame();  // "QQQ#QX2#"
Frame outputValuesQueryFrame();    // "QQQ#QX3#"

}  // namespace tq::protocol
