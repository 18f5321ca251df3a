#pragma once
// The field encodings of the module's set frames, written once. Each one
// appends its characters or refuses the value with a message that names the
// field; a frame is only complete when every field was accepted, so a
// refused value never reaches the line.
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace tq::protocol {

using Frame = std::vector<uint8_t>;

// How one field of a set frame goes on the line. The frame tables beside the
// builders are made of these, and the exchange journal's dissector reads the
// frames with the same tables.
enum class Encoding {
  IndexDigit,         // '0' + a combo box's selected index
  OffsetDigit,        // `first` + the index: the item's own value ("4" .. "9")
  TwoDigitIndex,      // the index as tens and units ("00" .. "15")
  TwoDigitDecimal,    // an edit's whole number, 0 .. 99
  ThreeDigitDecimal,  // an edit's whole number, 0 .. 999
  FixedText,          // `width` characters of a typed text
  CountAndBytes,      // N as two decimal digits, ',' and the N bytes as they are
};

struct FieldLayout {
  std::string_view before;  // fixed characters in front of the field: ":" or ","
  Encoding encoding;
  std::string_view name;     // as the operator finds it in the window; the builder's messages use it
  std::string_view control;  // the control the value comes from, and that a reply writes back
  char first = '0';          // OffsetDigit only
  size_t width = 0;          // FixedText only
};

// Characters of the field on the line; for CountAndBytes the count and its
// ',' (the bytes follow).
size_t fieldWidth(const FieldLayout& field);

// A value for a field: a selected index, a typed text, or raw bytes.
struct FieldValue {
  FieldValue(int index) : value(index) {}
  FieldValue(std::string_view text) : value(text) {}
  FieldValue(const std::string& text) : value(std::string_view(text)) {}
  FieldValue(std::span<const uint8_t> bytes) : value(bytes) {}
  std::variant<int, std::string_view, std::span<const uint8_t>> value;
};

class FrameBuilder {
 public:
  // The fixed start of a frame: "QQS#ADR:".
  explicit FrameBuilder(std::string_view head) { fixed(head); }

  // Characters that are always the same ("#", ",", "<").
  FrameBuilder& fixed(std::string_view text);
  // '0' + a combo box's selected index.
  FrameBuilder& indexDigit(int index, std::string_view field) { return offsetDigit(index, '0', field); }
  // `first` + the selected index: the item's own value for lists that start
  // at `first` ("4" .. "9", "3" .. "9").
  FrameBuilder& offsetDigit(int index, char first, std::string_view field);
  // The selected index as tens and units digit ("00" .. "15").
  FrameBuilder& twoDigitIndex(int index, std::string_view field);
  // An edit's number as zero-padded decimal of 3 digits (0 .. 999) or 2
  // digits (0 .. 99). A text that is not an integer gives the conversion
  // message.
  FrameBuilder& threeDigitDecimal(std::string_view text, std::string_view field) { return decimal(text, 3, field); }
  FrameBuilder& twoDigitDecimal(std::string_view text, std::string_view field) { return decimal(text, 2, field); }
  // The first `width` characters of a typed text (one byte per character).
  // A shorter text is taken when it is a non-negative decimal number,
  // left-padded with zeros ("0.5" -> "000.5"); any other short text is
  // refused.
  FrameBuilder& fixedText(std::string_view text, size_t width, std::string_view field);
  // N as two decimal digits, ',' and then the N bytes as they are.
  FrameBuilder& countAndBytes(std::span<const uint8_t> bytes, std::string_view field);

  // Its `before` characters and the value in the field's encoding. The
  // value's kind must be the encoding's (index, text or bytes).
  FrameBuilder& field(const FieldLayout& layout, const FieldValue& value);

  Frame frame() const { return frame_; }

 private:
  FrameBuilder& decimal(std::string_view text, int digits, std::string_view field);
  Frame frame_;
};

// The message for a combo box left without a selection.
std::string noSelectionMessage(std::string_view field);

}  // namespace tq::protocol
