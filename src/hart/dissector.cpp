#include "hart/dissector.h"

namespace tq::hart {

std::optional<Dissection> dissectHart(std::span<const uint8_t>) { return std::nullopt; }

}  // namespace tq::hart
