#include "module_settings.h"

namespace tq::sim {

ModuleSettings factorySettings() {
  ModuleSettings settings;
  settings.devices[0].enabled = 1;
  // Relays 3 and 4 watch a low limit.
  settings.relays[2].limit = 0.0;
  settings.relays[3].limit = 0.0;
  return settings;
}

int deviceCount(const ModuleSettings& settings) {
  switch (settings.unitCountIndex) {
    case 1:
      return 4;
    case 2:
      return 8;
    default:
      return 1;
  }
}

}  // namespace tq::sim
