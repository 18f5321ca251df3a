// Any block as the trend's answer to command 3, and any texts as the
// relays' limits: a point holds only finite values of the five variables
// and none from a reply that cannot be trusted; the store, the reduced
// line, the figures and the CSV take whatever came.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <sstream>
#include <string>

#include "hart/reply.h"
#include "requests/trend_poller.h"
#include "trend/csv.h"
#include "trend/plot_line.h"
#include "trend/relay_limits.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> block(data, size);
  const tq::trend::Point p = tq::requests::pointFromAnswer(block, 1000);
  if (p.present >> tq::trend::kVariableCount) std::abort();
  for (size_t v = 0; v < tq::trend::kVariableCount; ++v) {
    if (p.has(v) && !std::isfinite(p.values[v])) std::abort();
  }
  const auto reply = tq::hart::parseReply(block);
  if ((!reply || !reply->usable()) && !p.gap()) std::abort();

  tq::trend::PointStore store;
  store.add(p);
  store.add(tq::trend::Point::gapAt(1500, tq::trend::Missing::NoAnswer));
  store.add(tq::requests::pointFromAnswer(block, 2000));
  for (size_t v = 0; v < tq::trend::kVariableCount; ++v) {
    const auto unit = tq::trend::lastUnit(store, 0, store.size(), v);
    if (!unit) continue;
    const auto line = tq::trend::plotLine(store, 0, store.size(), v, *unit, 0, 3000, 1);
    if (line.points() > 2 * store.size()) std::abort();
    tq::trend::statsOf(store, 0, store.size(), v, *unit);
  }
  std::ostringstream csv;
  tq::trend::writeCsv(
      csv, store, 0, store.size(), [](int64_t ms) { return std::to_string(ms); },
      [](uint8_t unit) { return std::to_string(unit); });

  const std::string text(reinterpret_cast<const char*>(data), size);
  const std::string limitTexts[] = {text, text.substr(0, size / 2), "", text};
  const std::string enableTexts[] = {text, "1", "0", ""};
  const auto limits = tq::trend::relayLimits(
      [&](int relay, bool limit) { return (limit ? limitTexts : enableTexts)[static_cast<size_t>(relay - 1)]; });
  for (const auto& limit : limits) {
    if (!std::isfinite(limit.value) || limit.relay < 1 || limit.relay > 4) std::abort();
  }
  return 0;
}
