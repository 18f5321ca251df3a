#include "common/raw_dissection.h"

#include <algorithm>
#include <string>

#include "common/byte_display.h"

namespace tq {

namespace {

constexpr char kHexDigits[] = "0123456789ABCDEF";
// Bytes the title shows before it stops.
constexpr size_t kTitleBytes = 8;

char printable(uint8_t b) { return b >= 0x20 && b < 0x7F ? static_cast<char>(b) : '.'; }

// "48 65 6C 6C 6F  Hello", the text column aligned for a short last line;
// written into one buffer, as a block of noise makes 128 of them.
std::string line(std::span<const uint8_t> bytes) {
  char out[kRawLineBytes * 4 + 1];
  char* p = out;
  for (size_t i = 0; i < kRawLineBytes; ++i) {
    if (i < bytes.size()) {
      *p++ = kHexDigits[bytes[i] >> 4];
      *p++ = kHexDigits[bytes[i] & 0x0F];
    } else {
      *p++ = ' ';
      *p++ = ' ';
    }
    *p++ = ' ';
  }
  *p++ = ' ';
  for (const uint8_t b : bytes) *p++ = printable(b);
  return std::string(out, static_cast<size_t>(p - out));
}

}  // namespace

Dissection dissectRaw(std::span<const uint8_t> bytes, bool lines) {
  Dissection d;
  d.protocol = Protocol::Unknown;
  d.title = std::to_string(bytes.size()) + (bytes.size() == 1 ? " byte" : " bytes");
  if (!bytes.empty()) d.title += ":";
  for (size_t i = 0; i < std::min(bytes.size(), kTitleBytes); ++i) {
    d.title += ' ';
    d.title += hexByte(bytes[i]);
  }
  if (bytes.size() > kTitleBytes) d.title += " \u2026";

  if (!lines) return d;
  const size_t shown = std::min(bytes.size(), kRawLineBytes * kRawMaxLines);
  d.fields.reserve(shown / kRawLineBytes + 2);
  for (size_t at = 0; at < shown; at += kRawLineBytes) {
    const size_t n = std::min(kRawLineBytes, shown - at);
    d.add("Data", at, n, line(bytes.subspan(at, n)));
  }
  if (shown < bytes.size()) {
    d.add("More", shown, bytes.size() - shown, std::to_string(bytes.size() - shown) + " more bytes not shown");
  }
  if (bytes.empty()) d.add("Data", 0, 0, "no bytes");
  return d;
}

}  // namespace tq
