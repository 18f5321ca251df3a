// HART unit code -> item of the unit combos (their texts are checked
// against the window's combos in the window tests).
#include "hart/units.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace tq::hart {
namespace {

// The code of every item in item order, from the unit list; item 55
// (metric tons per minute) is code 77.
constexpr int kCodeOfItem[] = {1,   2,   3,  4,  5,   6,   7,   8,  11, 12,  14,  237, 32,  33, 34,  35,  15,  16,  17,
                               19,  24,  26, 28, 131, 136, 138, 20, 21, 114, 115, 116, 120, 40, 41,  43,  46,  111, 112,
                               113, 124, 44, 45, 47,  48,  49,  60, 61, 62,  63,  125, 70,  71, 72,  73,  74,  77,  78,
                               80,  81,  82, 91, 92,  93,  94,  95, 96, 97,  54,  55,  69,  89, 126, 128, 164, 165, 57};
static_assert(std::size(kCodeOfItem) == kOtherUnitItem);

TEST(UnitTable, EveryCodeSelectsItsItemOrOther) {
  ASSERT_EQ(unitItems().size(), static_cast<size_t>(kUnitItemCount));
  EXPECT_EQ(unitItems()[kOtherUnitItem].text, "other");
  for (int code = 0; code < 256; ++code) {
    const auto* listed = std::find(std::begin(kCodeOfItem), std::end(kCodeOfItem), code);
    const int item = listed == std::end(kCodeOfItem) ? kOtherUnitItem : static_cast<int>(listed - kCodeOfItem);
    EXPECT_EQ(unitItem(static_cast<uint8_t>(code)), item) << "code " << code;
  }
  // Kilograms per hour has no item: it must not show as tons per minute.
  for (int code : {0, 9, 10, 13, 18, 75, 250, 255}) EXPECT_EQ(unitItem(static_cast<uint8_t>(code)), kOtherUnitItem);
}

}  // namespace
}  // namespace tq::hart
