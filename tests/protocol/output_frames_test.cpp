// The relay and current-output frames: each field in its own form (index as
// decimal text, text as typed, delay in at least four digits) and the
// delay's conversion message.
#include <gtest/gtest.h>

#include <map>

#include "common/errors.h"
#include "protocol/output_frames.h"

namespace tq::protocol {
namespace {

// The window's defaults for the commands below, with one control changed.
std::string frame(const char* button, const std::string& control, const std::string& value) {
  std::map<std::string, std::string> texts = {
      {"BOUT2TM", "0000"}, {"AD1BH", "100.0"}, {"AD1DTIME", "005"}, {"IB4MA", "0.000"}, {"IB20MA", "100.0"}};
  std::map<std::string, int> indices = {{"ROUT1", 0}, {"ROUT3", 0}, {"AD1COM", 0}, {"IBCH", 0}};
  if (indices.contains(control))
    indices[control] = std::stoi(value);
  else
    texts.at(control) = value;
  const OutputControls controls{.selectedIndex = [&](const char* c) { return indices.at(c); },
                                .typedText = [&](const char* c) { return texts.at(c); },
                                .lineText = [&](const OutputField& f) { return texts.at(f.control); }};
  const Frame f = outputFrame(outputCommand(button), controls);
  return {f.begin(), f.end()};
}

TEST(OutputFrames, EachFieldIsWrittenInItsOwnForm) {
  const struct {
    const char *button, *control, *value, *frame;
  } cases[] = {
      {"Button63", "BOUT2TM", "5", "VELKOR#BTM2:0005#"},
      {"Button63", "BOUT2TM", "12345", "VELKOR#BTM2:12345#"},
      {"Button63", "BOUT2TM", "-5", "VELKOR#BTM2:-0005#"},
      {"Button63", "BOUT2TM", "-2147483648", "VELKOR#BTM2:-2147483648#"},
      {"Button63", "BOUT2TM", "$10", "VELKOR#BTM2:0016#"},  // the standard conversion's hexadecimal form
      {"Button33", "AD1BH", "", "VELKOR#AI01:0,,005#"},
      {"Button33", "AD1BH", "99.95", "VELKOR#AI01:0,99.95,005#"},
      {"Button33", "AD1DTIME", " 5 ", "VELKOR#AI01:0,100.0, 5 #"},  // no trimming
      {"Button45", "ROUT3", "2", "VELKOR#O03:2#"},
      {"Button11", "IBCH", "4", "VELKOR#IB01:4,0.000,100.0#"},
      {"Button41", "ROUT1", "-1", "VELKOR#O01:-1#"},
  };
  for (const auto& c : cases) EXPECT_EQ(frame(c.button, c.control, c.value), c.frame) << c.control << " " << c.value;
}

TEST(OutputFrames, ADelayThatIsNotAWholeNumberGivesTheConversionMessage) {
  for (const std::string typed : {"1.5", "", "abc", "99999999999"}) {
    try {
      frame("Button63", "BOUT2TM", typed);
      ADD_FAILURE() << typed << " was accepted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(e.what(), "'" + typed + "' is not a valid integer value");
    }
  }
}

TEST(OutputFrames, ATextThatWouldSplitTheCommandIsRefused) {
  for (const char* typed : {"1,5", "10#"}) {
    try {
      frame("Button33", "AD1BH", typed);
      ADD_FAILURE() << typed << " was accepted";
    } catch (const InputRefused& e) {
      EXPECT_EQ(e.what(), "Relay 1 Alarm Upper Limit: '" + std::string(typed) +
                              "' holds ',' or '#', which would split the command; use '.' as the decimal point.");
    }
  }
}

}  // namespace
}  // namespace tq::protocol
