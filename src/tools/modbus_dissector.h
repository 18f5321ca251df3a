#pragma once
// The exchange journal's view of MODBUS RTU: a request and its answer taken
// apart field by field, the CRC checked, a frame cut short said as such.
// Any bytes are safe: nothing is read beyond the span and nothing throws.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "common/dissection.h"

namespace tq::tools {

// "Read Holding Registers" for 0x03; empty for a function this tool does not know.
std::string_view modbusFunctionName(uint8_t function);
// "illegal data address" for 0x02; empty for a code this tool does not know.
std::string_view modbusExceptionName(uint8_t code);

// A request: slave, function and its name, start address and count (or
// the value written), the data of a write-multiple, and the CRC verdict.
Dissection dissectModbusRequest(std::span<const uint8_t> bytes);

// An answer: slave, function and its name, byte count, each register in
// hex, unsigned and signed, each register pair as an IEEE 754 single in
// both word orders; an exception answer as "exception 02: illegal data
// address"; the CRC verdict. `request` is the frame sent last (empty when
// unknown): it numbers the registers from its start address, and an answer
// from another slave, to another function or of another length than asked
// is said to be so.
Dissection dissectModbusAnswer(std::span<const uint8_t> bytes, std::span<const uint8_t> request = {});

// Whether the bytes are exactly one request (answer) of a function this
// tool knows, with a good CRC: how the journal tells MODBUS from other
// bytes without knowing what was sent.
bool isModbusRequest(std::span<const uint8_t> bytes);
bool isModbusAnswer(std::span<const uint8_t> bytes);

// Where the answer to `request` starts in `bytes`: at once, or after a few
// bytes of noise such as an RS485 line turning round leaves. An answer is
// from the request's slave and to its function (or an exception to it), or
// too short to tell. Nothing when it is not there or `request` is empty.
std::optional<size_t> modbusAnswerStart(std::span<const uint8_t> bytes, std::span<const uint8_t> request);

}  // namespace tq::tools
