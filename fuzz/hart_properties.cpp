// Any block through the HART Instrument page's reply reading, and any bytes
// through packed ASCII: no read beyond the block, no data taken from a
// reply that cannot be trusted, and packed texts that go there and back.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "common/errors.h"
#include "hart/packed_ascii.h"
#include "hart/properties.h"

namespace {

void checkReply(std::span<const uint8_t> block, char separator) {
  const auto reply = tq::hart::parseReply(block);
  if (!reply) return;
  const auto rows = tq::hart::describeReply(*reply, separator);
  if (rows.empty() && !reply->data.empty()) std::abort();
  for (const auto& row : rows) {
    if (row.name.empty()) std::abort();
  }
  const bool anyValue = tq::hart::readUniqueIdentifier(*reply) || tq::hart::readTagDescriptorDate(*reply) ||
                        tq::hart::readMessage(*reply);
  if (!reply->usable()) {
    // One row saying why, and nothing read from the data.
    if (rows.size() != 1 || !rows[0].bad || anyValue) std::abort();
  }
}

void checkPackedAscii(std::span<const uint8_t> bytes) {
  const std::string text = tq::hart::unpackAscii(bytes);
  for (char c : text) {
    if (c < 0x20 || c > 0x5F) std::abort();
  }
  const size_t whole = bytes.size() / tq::hart::kPackedGroupBytes;
  const size_t chars = whole * tq::hart::kPackedGroupChars;
  const auto again = tq::hart::packAscii(std::string_view(text).substr(0, chars), chars, "text");
  if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.begin() + static_cast<long>(again.size()))) {
    std::abort();
  }
  // The same bytes as typed text: refused, or packed within the length.
  try {
    const auto packed = tq::hart::packAscii(
        std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), tq::hart::kMessageChars, "message");
    if (packed.size() != tq::hart::packedBytes(tq::hart::kMessageChars)) std::abort();
  } catch (const tq::InputRefused&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char separator = (data[0] & 1) ? ',' : '.';
  const std::span<const uint8_t> block(data + 1, size - 1);
  checkReply(block, separator);
  checkPackedAscii(block);
  return 0;
}
