// Any block through the journal's HART dissector: every field inside the
// block, a whole frame judged by its check byte, a frame cut short always a
// fault, and the same frame found as the reply parser finds it.
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>

#include "hart/dissector.h"
#include "hart/reply.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Exactly the block, so ASan sees any read beyond it.
  const std::span<const uint8_t> block(data, size);
  const auto d = tq::hart::dissectHart(block);
  const auto frame = tq::hart::findFrame(block);
  if (d.has_value() != frame.has_value()) std::abort();
  if (!d) return 0;
  if (d->protocol != tq::Protocol::Hart || d->title.rfind("HART ", 0) != 0) std::abort();
  bool judged = false;
  for (const tq::DissectedField& f : d->fields) {
    if (f.offset > size || f.length > size - f.offset) std::abort();
    if (f.name == "Check byte" || f.name == "Frame") judged = true;
    if (f.bad && f.verdict.empty()) std::abort();
  }
  if (!judged) std::abort();
  if (!frame->whole() && d->firstFault() == nullptr) std::abort();
  if (frame->whole() && !frame->checkOk() && d->firstFault() == nullptr) std::abort();
  return 0;
}
