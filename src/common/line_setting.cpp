#include "common/line_setting.h"

#include <iterator>

namespace tq {

namespace {
constexpr const char* kParityNames[] = {"none", "odd", "even", "mark", "space"};
}

Parity parityFromIndex(int index) {
  return index >= 0 && index < static_cast<int>(std::size(kParityNames)) ? static_cast<Parity>(index) : Parity::None;
}

int parityIndex(Parity parity) { return static_cast<int>(parity); }

const char* parityName(Parity parity) { return kParityNames[parityIndex(parity)]; }

std::string settingText(uint32_t baud, Parity parity) {
  return std::to_string(baud) + " baud, parity " + parityName(parity);
}

std::string LineSetting::text() const { return port + ", " + settingText(baud, parity); }

}  // namespace tq
