#include "hart/units.h"

#include <array>

namespace tq::hart {

namespace {

// Grouped by quantity as the combos list them. Texts are shown exactly as
// they stand. Item 55 is metric tons per minute, HART code 77; code 75
// (kilograms per hour) has no item and shows "other".
// clang-format off
constexpr std::array<UnitItem, kUnitItemCount> kUnits = {{
    // Pressure.
    {"inH20 ", 1}, {"inhg  ", 2}, {"FtH20  ", 3}, {"mmH20 ", 4}, {"mmHg   ", 5}, {"psi   ", 6},
    {"bar    ", 7}, {"mbar   ", 8}, {"Pa     ", 11}, {"KPa   ", 12}, {"ATM    ", 14}, {"MPa    ", 237},
    // Temperature: DEGREE CELSIUS U+2103, DEGREE FAHRENHEIT U+2109.
    {"\u2103  ", 32}, {"\u2109  ", 33}, {"R  ", 34}, {"Kelvin ", 35},
    // Volume flow.
    {"CuFt_min ", 15}, {"gal_min  ", 16}, {"l_min   ", 17}, {"CuMtr_hr ", 19}, {"l_s      ", 24},
    {"Cuft_s  ", 26}, {"CuMtr_s  ", 28}, {"CuMtr_min ", 131}, {"gal_hr    ", 136}, {"l_hr      ", 138},
    // Velocity.
    {"ft_s      ", 20}, {"mtr_s    ", 21}, {"in_s      ", 114}, {"in_min    ", 115}, {"ft_min   ", 116},
    {"mtr_hr    ", 120},
    // Volume.
    {"gal      ", 40}, {"liter    ", 41}, {"CuMtr       ", 43}, {"bbl      ", 46}, {"CuYd     ", 111},
    {"CuFt      ", 112}, {"CuIn", 113}, {"bbl_liq      ", 124},
    // Length.
    {"ft        ", 44}, {"M    ", 45}, {"in         ", 47}, {"cm       ", 48}, {"mm       ", 49},
    // Mass.
    {"gram     ", 60}, {"kg        ", 61}, {"MetTon    ", 62}, {"lb       ", 63}, {"ounce     ", 125},
    // Mass flow.
    {"g_s       ", 70}, {"g_min     ", 71}, {"g_hr     ", 72}, {"kg_s     ", 73}, {"kg_min   ", 74},
    {"metTOM_min ", 77}, {"metton_hr  ", 78}, {"lb_s       ", 80}, {"lb_min     ", 81}, {"lb_hr      ", 82},
    // Density.
    {"g_CuCM     ", 91}, {"KG_CuMtr   ", 92}, {"lb_gal    ", 93}, {"lb_Cuft    ", 94}, {"g_ml      ", 95},
    {"kb_l       ", 96}, {"g_l        ", 97},
    // Viscosity.
    {"centi_stokes ", 54}, {"cpoise       ", 55},
    // Torque and energy.
    {"mewtom_meter  ", 69}, {"deka_therm    ", 89}, {"foot_pound_force ", 126}, {"kilo_watt_hour    ", 128},
    {"mega_joule       ", 164}, {"british_thermal_unit ", 165},
    // Percent, and everything else.
    {"%", 57}, {"other", -1},
}};
// clang-format on

static_assert(kUnits[kOtherUnitItem].code == -1);
static_assert(
    [] {
      for (int i = 0; i < kUnitItemCount; ++i) {
        for (int j = i + 1; j < kUnitItemCount; ++j) {
          if (kUnits[i].code >= 0 && kUnits[i].code == kUnits[j].code) return false;
        }
      }
      return true;
    }(),
    "each unit code belongs to one item");

// Code -> item, built once from the list so the two cannot disagree.
constexpr std::array<uint8_t, 256> kItemOfCode = [] {
  std::array<uint8_t, 256> items{};
  items.fill(kOtherUnitItem);
  for (int i = 0; i < kUnitItemCount; ++i) {
    if (kUnits[i].code >= 0) items[kUnits[i].code] = static_cast<uint8_t>(i);
  }
  return items;
}();

}  // namespace

std::span<const UnitItem> unitItems() { return kUnits; }

int unitItem(uint8_t code) { return kItemOfCode[code]; }

}  // namespace tq::hart
