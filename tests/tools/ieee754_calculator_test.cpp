// The calculator's entry rules and value text: separators before digits,
// every pair checked, untyped bytes zero, the float text cut to 10 characters.
#include "tools/ieee754_calculator.h"

#include <gtest/gtest.h>

#include <string>

#include "common/errors.h"

namespace tq::tools {
namespace {

// The value text, or the message the entry was refused with.
std::string outcome(const std::string& entry) {
  try {
    return calculatorValue(entry, '.');
  } catch (const InputRefused& e) {
    return e.what();
  }
}

struct Case {
  const char* entry;
  std::string shown;
};

TEST(Ieee754Calculator, ValuesOfTypedWords) {
  const Case cases[] = {
      {"3F 80 00 00", "1"},
      {"41 48 00 00", "12.5"},
      {"3F 8C CC CD", "1.10000002"},
      {"C0 49 0F DB", "-3.1415927"},
      {"00 00 00 01", "1.40129846"},  // E-45 lies beyond the tenth character
      {"7F 80 00 00", "INF"},
      {"FF 80 00 00", "-INF"},
      {"7F C0 00 00", "NAN"},
      {"3F", "0.5"},  // untyped bytes are 00
      {"3F 80", "1"},
      {"7F 7F FF FF", "3.40282346"},  // no special case for a first byte 7F here
      {"7F A0 00 00", "NAN"},
      {"50 15 02 F9", "1000000000"},  // 1E10 keeps its first ten characters
      {"3F 80 00 00 12", "1"},        // a fifth pair is checked and ignored
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.entry), c.shown) << c.entry;
}

TEST(Ieee754Calculator, RefusedEntries) {
  const Case cases[] = {
      {"3F 80 00 00 ", kInvalidCharactersMessage},  // the trailing blank asks for a fifth pair
      {"3F 80 00 0", kInvalidCharactersMessage},
      {"3f 80 00 00", kInvalidCharactersMessage},
      {"3F 80 00 00 1G", kInvalidCharactersMessage},
      {"", kInvalidCharactersMessage},
      {"3F-80 00 00", kNoSpacesMessage},
      {"3F80 00 00", kNoSpacesMessage},
      {"3F  80", kNoSpacesMessage},
      {"3F 80 00 00-", kNoSpacesMessage},
      {"3g-80 00 0", kNoSpacesMessage},  // both faults: the separators are checked first
  };
  for (const Case& c : cases) EXPECT_EQ(outcome(c.entry), c.shown) << '"' << c.entry << '"';
}

}  // namespace
}  // namespace tq::tools
