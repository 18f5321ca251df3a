// Any received text through the system, MODBUS and output reply decoders,
// with any meter type shown: no read beyond the text, and a stop always
// carries the message of the field that caused it.
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "protocol/replies.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const int meterType = static_cast<int8_t>(data[0]);
  // The received text holds at most 255 bytes; the decoders must cope with any.
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  for (const tq::Decoded& d :
       {tq::protocol::decodeCommQueryReply(text), tq::protocol::decodeSystemReply(text),
        tq::protocol::decodeModbusReply(text, meterType), tq::protocol::decodeOutputSettingsReply(text),
        tq::protocol::decodeOutputValuesReply(text)}) {
    if (d.error && d.error->find("is not a valid integer value") == std::string::npos) std::abort();
  }
  return 0;
}
