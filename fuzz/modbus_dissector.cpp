// Any answer after any request: fields inside the block, and a block taken
// for a whole frame without context is dissected with no fault but the
// slave's exception.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "dissection_checks.h"
#include "tools/modbus_dissector.h"

namespace {

bool onlyExceptionFaults(const tq::Dissection& d) {
  for (const tq::DissectedField& f : d.fields) {
    if (f.bad && f.name != "Exception code") return false;
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  // The request's length, then the request, then the answer; each in a
  // buffer of its own size so ASan sees a read beyond either.
  const size_t split = std::min<size_t>(data[0], size - 1);
  const std::vector<uint8_t> request(data + 1, data + 1 + split);
  const std::vector<uint8_t> answer(data + 1 + split, data + size);

  const tq::Dissection a = tq::tools::dissectModbusAnswer(answer, request);
  tq::fuzz::checkDissection(a, answer.size());
  const tq::Dissection alone = tq::tools::dissectModbusAnswer(answer);
  tq::fuzz::checkDissection(alone, answer.size());
  if (tq::tools::isModbusAnswer(answer) && !onlyExceptionFaults(alone)) std::abort();

  const tq::Dissection r = tq::tools::dissectModbusRequest(request);
  tq::fuzz::checkDissection(r, request.size());
  if (tq::tools::isModbusRequest(request) && r.firstFault()) std::abort();
  return 0;
}
