#include "tools/modbus_dissector.h"

#include <algorithm>
#include <bit>
#include <charconv>
#include <cmath>
#include <optional>
#include <string>

#include "common/byte_display.h"
#include "common/float_text.h"
#include "tools/modbus_test.h"

namespace tq::tools {

namespace {

constexpr uint8_t kReadCoils = 0x01;
constexpr uint8_t kReadDiscreteInputs = 0x02;
constexpr uint8_t kReadInputRegisters = 0x04;
constexpr uint8_t kWriteSingleCoil = 0x05;
constexpr uint8_t kWriteSingleRegister = 0x06;
constexpr uint8_t kWriteMultipleCoils = 0x0F;
constexpr uint8_t kWriteMultipleRegisters = 0x10;
constexpr uint8_t kExceptionFlag = 0x80;
constexpr uint8_t kBroadcast = 0;

constexpr size_t kCrcSize = 2;
constexpr size_t kShortestFrame = 4;       // slave, function, CRC
constexpr size_t kFixedFrame = 8;          // slave, function, two words, CRC
constexpr size_t kExceptionFrame = 5;      // slave, function | 0x80, code, CRC
constexpr size_t kAnswerByteCountAt = 2;   // read answers: slave, function, byte count
constexpr size_t kRequestByteCountAt = 6;  // write-multiple requests: after address and count
constexpr size_t kBitsPerByte = 8;
// The classic register numbers ("40001") have five digits.
constexpr uint32_t kLastClassicOffset = 9998;
constexpr uint16_t kCoilOn = 0xFF00;

constexpr char kHexDigits[] = "0123456789ABCDEF";

// A start address, or none known: then registers and bits are numbered
// within the answer.
constexpr int32_t kNoStart = -1;

struct Name {
  uint8_t code;
  std::string_view name;
};

constexpr Name kFunctions[] = {
    {kReadCoils, "Read Coils"},
    {kReadDiscreteInputs, "Read Discrete Inputs"},
    {kReadHoldingRegisters, "Read Holding Registers"},
    {kReadInputRegisters, "Read Input Registers"},
    {kWriteSingleCoil, "Write Single Coil"},
    {kWriteSingleRegister, "Write Single Register"},
    {kWriteMultipleCoils, "Write Multiple Coils"},
    {kWriteMultipleRegisters, "Write Multiple Registers"},
};

constexpr Name kExceptions[] = {
    {0x01, "illegal function"},
    {0x02, "illegal data address"},
    {0x03, "illegal data value"},
    {0x04, "server device failure"},
    {0x05, "acknowledge"},
    {0x06, "server device busy"},
    {0x07, "negative acknowledge"},
    {0x08, "memory parity error"},
    {0x0A, "gateway path unavailable"},
    {0x0B, "gateway target device failed to respond"},
};

std::string_view lookup(std::span<const Name> names, uint8_t code) {
  for (const Name& n : names) {
    if (n.code == code) return n.name;
  }
  return {};
}

std::string hex4(uint16_t v) {
  return "0x" + hexByte(static_cast<uint8_t>(v >> 8)) + hexByte(static_cast<uint8_t>(v & 0xFF));
}

uint16_t word(std::span<const uint8_t> bytes, size_t at) {
  return static_cast<uint16_t>(bytes[at] << 8 | bytes[at + 1]);
}

bool isRead(uint8_t f) { return f >= kReadCoils && f <= kReadInputRegisters; }
bool readsBits(uint8_t f) { return f == kReadCoils || f == kReadDiscreteInputs; }
bool isWriteMultiple(uint8_t f) { return f == kWriteMultipleCoils || f == kWriteMultipleRegisters; }
bool isKnown(uint8_t f) { return !modbusFunctionName(f).empty(); }

std::string functionText(uint8_t f) {
  const std::string_view name = modbusFunctionName(f);
  return hexByte(f) + (name.empty() ? " (a function this tool does not know)" : " " + std::string(name));
}

enum class Kind { Request, Answer };

// The frame's whole length from what it holds so far, or the least it can
// be while the byte that tells has not come.
struct Length {
  size_t bytes;
  bool known;
};

Length frameLength(Kind kind, std::span<const uint8_t> bytes) {
  if (bytes.size() < 2) return {kShortestFrame, false};
  const uint8_t f = bytes[1];
  if (kind == Kind::Answer) {
    if (f & kExceptionFlag) return {kExceptionFrame, true};
    if (isRead(f)) {
      if (bytes.size() <= kAnswerByteCountAt) return {kAnswerByteCountAt + 1 + kCrcSize, false};
      return {kAnswerByteCountAt + 1 + bytes[kAnswerByteCountAt] + kCrcSize, true};
    }
  } else if (isWriteMultiple(f)) {
    if (bytes.size() <= kRequestByteCountAt) return {kRequestByteCountAt + 1 + kCrcSize, false};
    return {kRequestByteCountAt + 1 + bytes[kRequestByteCountAt] + kCrcSize, true};
  }
  if (isKnown(f)) return {kFixedFrame, true};
  // Nothing says where an unknown function's frame ends: the block does.
  return {std::max(bytes.size(), kShortestFrame), bytes.size() >= kShortestFrame};
}

// What the answer is checked against: the request sent last, as far as it
// goes.
struct Asked {
  std::optional<uint8_t> slave;
  std::optional<uint8_t> function;
  std::optional<uint16_t> start;
  std::optional<uint16_t> count;
};

Asked asked(std::span<const uint8_t> request) {
  Asked a;
  if (request.size() >= 1) a.slave = request[0];
  if (request.size() >= 2) a.function = request[1];
  if (request.size() >= 4) a.start = word(request, 2);
  if (request.size() >= 6 && a.function && (isRead(*a.function) || isWriteMultiple(*a.function)))
    a.count = word(request, 4);
  return a;
}

void appendNumber(std::string& out, uint32_t n) {
  char digits[16];
  out.append(digits, std::to_chars(digits, std::end(digits), n).ptr);
}

// A register's number: "40001" from the start address ("at 10000" beyond
// the classic numbers), "#1" within the answer without one. Appended in
// place: an answer names up to 125 registers and 62 pairs.
void appendRegisterNumber(std::string& out, uint8_t f, int32_t start, size_t index, bool sayAt = true) {
  if (start == kNoStart) {
    out += '#';
    appendNumber(out, static_cast<uint32_t>(index + 1));
    return;
  }
  const uint32_t offset = static_cast<uint32_t>(start) + static_cast<uint32_t>(index);
  if (offset > kLastClassicOffset) {
    if (sayAt) out += "at ";
    appendNumber(out, offset);
    return;
  }
  appendNumber(out, (f == kReadInputRegisters ? 30001 : 40001) + offset);
}

std::string registerName(uint8_t f, int32_t start, size_t index) {
  std::string name = "Register ";
  appendRegisterNumber(name, f, start, index);
  return name;
}

std::string addressText(uint8_t f, uint16_t address) {
  std::string text = hex4(address) + " = " + std::to_string(address);
  if (address > kLastClassicOffset) return text;
  switch (f) {
    case kReadCoils:
    case kWriteSingleCoil:
    case kWriteMultipleCoils:
      return text + ", coil " + std::to_string(address + 1);
    case kReadDiscreteInputs:
      return text + ", input " + std::to_string(10001 + address);
    case kReadInputRegisters:
      return text + ", register " + std::to_string(30001 + address);
    default:
      return text + ", register " + std::to_string(40001 + address);
  }
}

// "0x5A00 = 23040, signed 23040", in one buffer: an answer holds up to 125.
std::string registerText(uint16_t v) {
  char text[40] = {'0',
                   'x',
                   kHexDigits[v >> 12],
                   kHexDigits[(v >> 8) & 0x0F],
                   kHexDigits[(v >> 4) & 0x0F],
                   kHexDigits[v & 0x0F],
                   ' ',
                   '=',
                   ' '};
  char* p = std::to_chars(text + 9, std::end(text), unsigned{v}).ptr;
  constexpr std::string_view kSigned = ", signed ";
  p = std::copy(kSigned.begin(), kSigned.end(), p);
  p = std::to_chars(p, std::end(text), int{static_cast<int16_t>(v)}).ptr;
  return std::string(text, p);
}

// The shortest text that reads back as the same single ("0.1", not the
// calculator's "0.100000001490116"): a 125-register answer has 62 pairs to
// show twice, and the window's thread pays for each. Written as the
// calculator writes exponents and specials ("1E20", "INF", "NAN").
std::string singleText(uint32_t bits) {
  const float value = std::bit_cast<float>(bits);
  const char* sign = (bits >> 31) != 0 ? "-" : "";
  if (std::isnan(value)) return std::string(sign) + "NAN";
  if (std::isinf(value)) return std::string(sign) + "INF";
  char buffer[32];
  const auto result = std::to_chars(buffer, buffer + sizeof buffer, value);
  std::string text(buffer, result.ptr);
  const size_t e = text.find('e');
  if (e == std::string::npos) return text == "-0" ? "0" : text;
  std::string exponent = text.substr(e + 1);
  if (exponent[0] == '+') exponent.erase(0, 1);
  const size_t digits = exponent[0] == '-' ? 1 : 0;
  while (exponent.size() > digits + 1 && exponent[digits] == '0') exponent.erase(digits, 1);
  return text.substr(0, e) + "E" + exponent;
}

std::string bitsText(uint8_t b) {
  std::string text = "0x" + hexByte(b) + ":";
  for (size_t bit = 0; bit < kBitsPerByte; ++bit) text += (b >> bit) & 1 ? " 1" : " 0";
  return text;
}

// Registers from `at` for `count` bytes, each on its own and each pair as a
// single in both word orders.
// `count` is short of the byte count when the block ends early.
void registers(std::span<const uint8_t> frame, size_t at, size_t count, bool complete, uint8_t f, int32_t start,
               Dissection& d) {
  const size_t n = count / 2;
  for (size_t i = 0; i < n; ++i) {
    d.add(registerName(f, start, i), at + 2 * i, 2, registerText(word(frame, at + 2 * i)));
  }
  for (size_t i = 0; i + 1 < n; i += 2) {
    const size_t p = at + 2 * i;
    const uint32_t highFirst = singleBits(frame[p], frame[p + 1], frame[p + 2], frame[p + 3]);
    const uint32_t lowFirst = singleBits(frame[p + 2], frame[p + 3], frame[p], frame[p + 1]);
    std::string name = registerName(f, start, i);
    name += " + ";
    appendRegisterNumber(name, f, start, i + 1, false);
    name += " as float";
    std::string value = "high word first ";
    value.reserve(64);
    value += singleText(highFirst);
    value += ", low word first ";
    value += singleText(lowFirst);
    d.add(std::move(name), p, 4, std::move(value));
  }
  if (complete && count % 2 != 0) {
    DissectedField& odd = d.add("Last byte", at + count - 1, 1, "0x" + hexByte(frame[at + count - 1]));
    odd.verdict = "an odd byte count for registers";
    odd.bad = true;
  }
}

// Coils or inputs, one byte of eight at a time, the first bit first.
void bits(std::span<const uint8_t> frame, size_t at, size_t count, uint8_t f, int32_t start, Dissection& d) {
  const char* what = f == kReadDiscreteInputs ? "Inputs " : "Coils ";
  const uint32_t first = start == kNoStart ? 1 : static_cast<uint32_t>(start) + 1;
  for (size_t i = 0; i < count; ++i) {
    const uint32_t from = first + static_cast<uint32_t>(i * kBitsPerByte);
    d.add(what + std::to_string(from) + "-" + std::to_string(from + kBitsPerByte - 1) +
              (start == kNoStart ? " of the answer" : ""),
          at + i, 1, bitsText(frame[at + i]));
  }
}

Dissection dissect(Kind kind, std::span<const uint8_t> bytes, std::span<const uint8_t> request) {
  Dissection d;
  d.protocol = Protocol::Modbus;
  const Asked a = asked(kind == Kind::Answer ? request : std::span<const uint8_t>{});
  std::string title = kind == Kind::Request ? "MODBUS request" : "MODBUS answer";
  const Length length = frameLength(kind, bytes);
  auto cut = [&] {
    judge(d.add("Frame", bytes.size(), 0, ""), cutShort(bytes.size(), length.bytes, !length.known));
    d.title = std::move(title);
    return d;
  };

  if (bytes.empty()) return cut();
  const uint8_t slave = bytes[0];
  DissectedField& slaveField =
      d.add("Slave address", 0, 1, std::to_string(slave) + (slave == kBroadcast ? " (broadcast)" : ""));
  if (a.slave && *a.slave != slave) judge(slaveField, "the request went to slave " + std::to_string(*a.slave));
  title += (kind == Kind::Request ? " to slave " : " from slave ") + std::to_string(slave);
  if (bytes.size() < 2) return cut();

  const uint8_t f = bytes[1];
  const bool exception = kind == Kind::Answer && (f & kExceptionFlag);
  const uint8_t base = exception ? static_cast<uint8_t>(f & ~kExceptionFlag) : f;
  DissectedField& functionField =
      d.add("Function", 1, 1, exception ? hexByte(f) + ": exception to " + functionText(base) : functionText(f));
  if (a.function && *a.function != base) judge(functionField, "the request was function " + functionText(*a.function));
  title += exception ? ": exception to " + functionText(base) : ": " + functionText(f);
  // Registers are numbered from the start address asked for, when the
  // answer is to that request.
  const int32_t start = kind == Kind::Request || !a.function || *a.function != f || !a.start ? kNoStart : *a.start;

  if (!length.known) return cut();
  const size_t total = length.bytes;
  const size_t whole = std::min(bytes.size(), total);  // fields are read only where both frame and block hold them
  auto has = [&](size_t at, size_t n) { return at + n <= whole && at + n <= total - kCrcSize; };

  if (exception) {
    if (has(2, 1)) {
      const uint8_t code = bytes[2];
      const std::string_view name = modbusExceptionName(code);
      const std::string text = hexByte(code) + (name.empty() ? "" : ": " + std::string(name));
      judge(d.add("Exception code", 2, 1, text), "exception " + text);
    }
  } else if (kind == Kind::Answer && isRead(f)) {
    const size_t count = bytes[kAnswerByteCountAt];
    DissectedField& countField = d.add("Byte count", kAnswerByteCountAt, 1, std::to_string(count));
    if (start != kNoStart && a.count) {
      const size_t expected =
          readsBits(f) ? (size_t{*a.count} + kBitsPerByte - 1) / kBitsPerByte : size_t{*a.count} * 2;
      if (count != expected) {
        judge(countField, "expected " + std::to_string(expected) + " for the " + std::to_string(*a.count) +
                              (readsBits(f) ? " bits asked" : " registers asked"));
      }
    }
    const size_t data = kAnswerByteCountAt + 1;
    const size_t present = std::min(count, whole > data ? whole - data : 0);
    d.fields.reserve(d.fields.size() + present + present / 4 + 2);  // registers, pairs, CRC and a remark
    if (readsBits(f)) {
      bits(bytes, data, present, f, start, d);
      title += ", " + std::to_string(count) + (count == 1 ? " byte" : " bytes");
    } else {
      registers(bytes, data, present, present == count, f, start, d);
      title += ", " + std::to_string(count / 2) + (count / 2 == 1 ? " register" : " registers");
    }
  } else if (isKnown(f)) {
    // Address, then a count or the value written.
    if (has(2, 2))
      d.add(f == kWriteSingleCoil || f == kWriteSingleRegister ? "Address" : "Start address", 2, 2,
            addressText(f, word(bytes, 2)));
    if (has(4, 2)) {
      const uint16_t v = word(bytes, 4);
      if (f == kWriteSingleCoil) {
        DissectedField& value = d.add("Value", 4, 2, hex4(v) + (v == kCoilOn ? " on" : v == 0 ? " off" : ""));
        if (v != kCoilOn && v != 0) judge(value, "a coil is written 0xFF00 (on) or 0x0000 (off)");
      } else if (f == kWriteSingleRegister) {
        d.add("Value", 4, 2, registerText(v));
      } else {
        const bool bitCount = readsBits(f) || f == kWriteMultipleCoils;
        d.add("Count", 4, 2,
              std::to_string(v) + (bitCount ? (v == 1 ? " bit" : " bits") : (v == 1 ? " register" : " registers")));
        if (kind == Kind::Request && isRead(f)) {
          title += ", " + std::to_string(v) + (bitCount ? " bits" : " registers") + " from address " +
                   std::to_string(word(bytes, 2));
        }
      }
    }
    if (kind == Kind::Request && isWriteMultiple(f) && bytes.size() > kRequestByteCountAt) {
      const size_t count = bytes[kRequestByteCountAt];
      d.add("Byte count", kRequestByteCountAt, 1, std::to_string(count));
      const size_t data = kRequestByteCountAt + 1;
      const size_t present = std::min(count, whole > data ? whole - data : 0);
      const int32_t first = has(2, 2) ? word(bytes, 2) : kNoStart;
      if (f == kWriteMultipleRegisters)
        registers(bytes, data, present, present == count, f, first, d);
      else
        bits(bytes, data, present, f, first, d);
    }
  } else if (whole > 2 + kCrcSize) {
    d.add("Data", 2, whole - 2 - kCrcSize, std::to_string(whole - 2 - kCrcSize) + " bytes");
  }

  d.title = std::move(title);
  if (bytes.size() < total) {
    judge(d.add("Frame", bytes.size(), 0, ""), cutShort(bytes.size(), total, false));
    return d;
  }
  const auto crc = crc16Modbus(bytes.first(total - kCrcSize));
  const uint8_t got0 = bytes[total - 2];
  const uint8_t got1 = bytes[total - 1];
  DissectedField& crcField = d.add("CRC", total - kCrcSize, kCrcSize, hexByte(got0) + " " + hexByte(got1));
  if (crc[0] == got0 && crc[1] == got1) {
    crcField.verdict = "CRC OK";
  } else {
    judge(crcField,
          "CRC " + hexByte(got0) + " " + hexByte(got1) + ", expected " + hexByte(crc[0]) + " " + hexByte(crc[1]));
  }
  if (bytes.size() > total) {
    const size_t extra = bytes.size() - total;
    judge(d.add("After the frame", total, extra, std::to_string(extra) + (extra == 1 ? " byte" : " bytes")),
          std::to_string(extra) + (extra == 1 ? " byte" : " bytes") + " after the frame's end");
  }
  return d;
}

bool wholeFrameChecks(Kind kind, std::span<const uint8_t> bytes) {
  if (bytes.size() < kShortestFrame) return false;
  const uint8_t f = bytes[1];
  if (!isKnown(kind == Kind::Answer ? static_cast<uint8_t>(f & ~kExceptionFlag) : f)) return false;
  const Length length = frameLength(kind, bytes);
  if (!length.known || length.bytes != bytes.size()) return false;
  const auto crc = crc16Modbus(bytes.first(bytes.size() - kCrcSize));
  return crc[0] == bytes[bytes.size() - 2] && crc[1] == bytes[bytes.size() - 1];
}

}  // namespace

std::string_view modbusFunctionName(uint8_t function) { return lookup(kFunctions, function); }
std::string_view modbusExceptionName(uint8_t code) { return lookup(kExceptions, code); }

Dissection dissectModbusRequest(std::span<const uint8_t> bytes) { return dissect(Kind::Request, bytes, {}); }

Dissection dissectModbusAnswer(std::span<const uint8_t> bytes, std::span<const uint8_t> request) {
  return dissect(Kind::Answer, bytes, request);
}

bool isModbusRequest(std::span<const uint8_t> bytes) { return wholeFrameChecks(Kind::Request, bytes); }
bool isModbusAnswer(std::span<const uint8_t> bytes) { return wholeFrameChecks(Kind::Answer, bytes); }

std::optional<size_t> modbusAnswerStart(std::span<const uint8_t> bytes, std::span<const uint8_t> request) {
  constexpr size_t kMaxNoiseBeforeAnswer = 4;
  if (request.size() < 2) return std::nullopt;
  auto answers = [&](std::span<const uint8_t> from) {
    if (from.empty() || from[0] != request[0]) return false;
    return from.size() < 2 || (from[1] & ~kExceptionFlag) == request[1];
  };
  for (size_t at = 0; at < std::min(bytes.size(), kMaxNoiseBeforeAnswer + 1); ++at) {
    if (answers(bytes.subspan(at))) return at;
  }
  return std::nullopt;
}

}  // namespace tq::tools
