#include <gtest/gtest.h>

#include <cstdint>
#include <string>

#include "common/byte_display.h"
#include "common/errors.h"
#include "common/int_conversion.h"
#include "common/text.h"

namespace tq {
namespace {

struct Accepted {
  const char* text;
  int32_t value;
};

TEST(IntConversion, AcceptsDecimalAndHexForms) {
  const Accepted cases[] = {
      {"0", 0},
      {"9600", 9600},
      {"15200", 15200},
      {"  42", 42},
      {"+7", 7},
      {"-7", -7},
      {"007", 7},
      {"2147483647", 2147483647},
      {"-2147483648", INT32_MIN},
      {"$1F", 31},
      {"$ff", 255},
      {"x10", 16},
      {"X10", 16},
      {"0x10", 16},
      {"0XfF", 255},
      {"-$10", -16},
      {"$7FFFFFFF", INT32_MAX},
      {"$FFFFFFFF", -1},
      {"$80000000", INT32_MIN},
      {"  -0x1", -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    auto v = tryParseInt(c.text);
    ASSERT_TRUE(v.has_value());
    EXPECT_EQ(*v, c.value);
    EXPECT_EQ(parseInt(c.text), c.value);
  }
}

TEST(IntConversion, RefusesEverythingElseWithTheTextInTheMessage) {
  const char* refused[] = {"",    " ",   "+",   "-",     "$",          "0x",          "12a",        "1 ",
                           "1.5", "a",   "\t5", "9600 ", "2147483648", "-2147483649", "$100000000", "0x1G",
                           "--1", "+-1", "1e3", "١",     "Q",          "$-1"};
  for (const char* text : refused) {
    SCOPED_TRACE(text);
    EXPECT_FALSE(tryParseInt(text).has_value());
    try {
      parseInt(text);
      ADD_FAILURE() << "accepted";
    } catch (const EConvertError& e) {
      EXPECT_EQ(std::string(e.what()), "'" + std::string(text) + "' is not a valid integer value");
    }
  }
}

TEST(ByteDisplay, TwoUpperCaseDigitsAndABlankAfterEveryByte) {
  EXPECT_EQ(byteDisplay(0), "00 ");
  EXPECT_EQ(byteDisplay(0x0A), "0A ");
  EXPECT_EQ(byteDisplay(255), "FF ");
  EXPECT_EQ(byteDisplay(256), ".");
  EXPECT_EQ(byteDisplay(-1), ".");
  const uint8_t frame[] = {0xFF, 0x82, 0x00, 0xAB};
  EXPECT_EQ(bytesDisplay(frame), "FF 82 00 AB ");
  EXPECT_EQ(bytesDisplay({}), "");
}

TEST(Latin1Text, EveryByteBecomesOneCharacter) {
  EXPECT_EQ(latin1ToUtf8("QV:12"), "QV:12");
  EXPECT_EQ(latin1ToUtf8(std::string("\xB0\xFF", 2)), "\xC2\xB0\xC3\xBF");
  EXPECT_EQ(latin1ToUtf8(std::string("a\0b", 3)), std::string("a\0b", 3));
}

}  // namespace
}  // namespace tq
