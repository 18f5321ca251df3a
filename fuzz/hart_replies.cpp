// Any receive area and received length through both HART decoders: nothing
// read beyond the block, and the identity changes only when the block holds
// a whole identity reply.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "hart/decoders.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  // The received length (at most the 255 bytes of the received text), then
  // the block; the decoders get exactly the received bytes, so ASan sees any
  // read beyond them.
  const size_t length = std::min<size_t>({data[0], size - 1, 255});
  const std::span<const uint8_t> received(data + 1, length);
  const tq::hart::DeviceIdentity before{0x11, 0x22, {0x33, 0x44, 0x55}, 3};

  const auto identity = tq::hart::decodeIdentityReply(received, before);
  const auto start = tq::hart::findReplyStart(received, 0x06);
  if (!start && !(identity.identity == before)) std::abort();
  if (identity.shown.error) std::abort();

  const tq::Decoded variables = tq::hart::decodeVariablesReply(received, ',');
  if (variables.error) std::abort();
  for (const tq::Assignment& a : variables.assignments) {
    if (a.kind == tq::Assignment::Kind::SetText && a.text.size() > 9) std::abort();
  }
  return 0;
}
