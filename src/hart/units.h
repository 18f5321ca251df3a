#pragma once
// The engineering units list of the four unit combos (ComboBox3, ComboBox31,
// ComboBox32, ComboBox33) and the HART unit code each item stands for.
#include <cstdint>
#include <span>
#include <string_view>

namespace tq::hart {

inline constexpr int kUnitItemCount = 77;
// The catch-all item for every code the list does not name.
inline constexpr int kOtherUnitItem = 76;

struct UnitItem {
  std::string_view text;  // UTF-8, trailing blanks included
  int code;               // HART unit code; -1 for "other"
};

// Items in index order.
std::span<const UnitItem> unitItems();

// The item that shows `code`; kOtherUnitItem for an unlisted code.
int unitItem(uint8_t code);

}  // namespace tq::hart
