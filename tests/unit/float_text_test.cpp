// The float text of a single across its whole range: exact widening, 15
// significant digits rounded half away from zero, the fixed/exponent
// boundaries, signed zero, denormals, infinities and not-a-numbers.
#include "common/float_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tq {
namespace {

struct Case {
  uint32_t bits;
  const char* text;
};

TEST(FloatText, AcrossMagnitudes) {
  const Case cases[] = {
      {0x00000001, "1.40129846432482E-45"},  // smallest denormal
      {0x000116C2, "9.99994610111476E-41"},  // 1E-40, denormal
      {0x007FFFFF, "1.17549421069244E-38"},  // largest denormal
      {0x00800000, "1.17549435082229E-38"},  // smallest normal
      {0x2EDBE6FF, "1.00000001335143E-10"},
      {0x3727C5AC, "9.99999974737875E-6"},   // 1E-5
      {0x38800000, "6.103515625E-5"},        // decimal exponent -4: exponent form
      {0x38D1B717, "9.99999974737875E-5"},   // 1E-4 is stored just below 0.0001
      {0x38D1B718, "0.000100000004749745"},  // the next single: fixed
      {0x39000000, "0.0001220703125"},       // decimal exponent -3: fixed
      {0x3A83126F, "0.00100000004749745"},
      {0x3DCCCCCD, "0.100000001490116"},
      {0x3F7FFFFF, "0.999999940395355"},
      {0x3F8CCCCD, "1.10000002384186"},
      {0x41480000, "12.5"},
      {0xC1480000, "-12.5"},
      {0xC0490FDB, "-3.14159274101257"},
      {0x47F1205B, "123456.7109375"},
      {0x501502F9, "10000000000"},          // integer digits beyond the significant ones
      {0x58635FA9, "999999986991104"},      // 15 integer digits: fixed
      {0x58635FAA, "1.00000005409997E15"},  // 16 integer digits: exponent form
      {0x60AD78EC, "1.00000002004088E20"},
      {0x7E967699, "9.99999968028569E37"},  // 1E38
      {0x7F7FFFFF, "3.40282346638529E38"},  // largest finite
  };
  for (const Case& c : cases) EXPECT_EQ(floatText(c.bits), c.text) << std::hex << c.bits;
}

TEST(FloatText, RoundsTheFifteenthDigit) {
  const Case cases[] = {
      {0x34800000, "2.38418579101563E-7"},  // 2^-22 = 2.384185791015625E-7 exactly: half goes away from zero
      {0xB4800000, "-2.38418579101563E-7"},
      {0x3F80568B, "1.00264108181"},  // ...180999|97 carries through the nines, zeros dropped
  };
  for (const Case& c : cases) EXPECT_EQ(floatText(c.bits), c.text) << std::hex << c.bits;
}

TEST(FloatText, ZerosInfinitiesAndNotANumbers) {
  const Case cases[] = {
      {0x00000000, "0"},    {0x80000000, "0"},    {0x7F800000, "INF"}, {0xFF800000, "-INF"},
      {0x7FC00000, "NAN"},  {0xFFC00000, "-NAN"}, {0x7F800001, "NAN"},  // signalling
      {0xFFFFFFFF, "-NAN"},
  };
  for (const Case& c : cases) EXPECT_EQ(floatText(c.bits), c.text) << std::hex << c.bits;
}

TEST(FloatText, WritesTheGivenDecimalSeparator) {
  const Case cases[] = {
      {0x41480000, "12,5"},
      {0x38D1B718, "0,000100000004749745"},
      {0x60AD78EC, "1,00000002004088E20"},
      {0x3F800000, "1"},
  };
  for (const Case& c : cases) EXPECT_EQ(floatText(c.bits, ','), c.text) << std::hex << c.bits;
}

}  // namespace
}  // namespace tq
