#pragma once
// What every dissection must be, whatever the bytes: a title, at least one
// field, fields that lie inside the block, and a verdict on every field
// judged bad.
#include <cstdlib>

#include "common/dissection.h"

namespace tq::fuzz {

inline void checkDissection(const Dissection& d, size_t blockSize) {
  if (d.title.empty() || d.fields.empty()) std::abort();
  for (const DissectedField& f : d.fields) {
    if (f.offset > blockSize || f.length > blockSize - f.offset) std::abort();
    if (f.bad && f.verdict.empty()) std::abort();
  }
}

}  // namespace tq::fuzz
