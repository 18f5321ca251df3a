// Any bytes as a configuration frame and as a reply: fields inside the
// block, and a block taken for a reply without context is one the reply
// dissector takes too.
#include <cstdint>
#include <cstdlib>
#include <span>

#include "dissection_checks.h"
#include "protocol/dissector.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> block(data, size);
  if (const auto frame = tq::protocol::dissectConfigFrame(block)) tq::fuzz::checkDissection(*frame, size);
  const auto reply = tq::protocol::dissectConfigReply(block);
  if (reply) tq::fuzz::checkDissection(*reply, size);
  if (tq::protocol::looksLikeConfigReply(block) && !reply) std::abort();
  return 0;
}
