#include "protocol/frame_fields.h"

#include <algorithm>

#include "common/errors.h"
#include "common/int_conversion.h"
#include "common/text.h"

namespace tq::protocol {

namespace {

[[noreturn]] void refuse(std::string message) { throw InputRefused(std::move(message)); }

bool isUnsignedDecimal(std::string_view text) {
  const auto digits = std::count_if(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
  const auto points = std::count(text.begin(), text.end(), '.');
  return digits > 0 && points <= 1 && static_cast<size_t>(digits + points) == text.size();
}

}  // namespace

std::string noSelectionMessage(std::string_view field) {
  return std::string(field) + ": nothing is selected. Choose a value and try again.";
}

FrameBuilder& FrameBuilder::fixed(std::string_view text) {
  frame_.insert(frame_.end(), text.begin(), text.end());
  return *this;
}

FrameBuilder& FrameBuilder::offsetDigit(int index, char first, std::string_view field) {
  if (index < 0) refuse(noSelectionMessage(field));
  if (index > '9' - first)
    refuse(std::string(field) + ": item " + std::to_string(index) + " cannot be sent as one digit.");
  frame_.push_back(static_cast<uint8_t>(first + index));
  return *this;
}

FrameBuilder& FrameBuilder::twoDigitIndex(int index, std::string_view field) {
  if (index < 0) refuse(noSelectionMessage(field));
  if (index > 99) refuse(std::string(field) + ": item " + std::to_string(index) + " cannot be sent as two digits.");
  frame_.push_back(static_cast<uint8_t>('0' + index / 10));
  frame_.push_back(static_cast<uint8_t>('0' + index % 10));
  return *this;
}

FrameBuilder& FrameBuilder::decimal(std::string_view text, int digits, std::string_view field) {
  const int32_t value = parseInt(text);
  const int32_t max = digits == 3 ? 999 : 99;
  if (value < 0 || value > max) {
    refuse(std::string(field) + ": '" + std::string(text) + "' is out of range; enter a whole number from 0 to " +
           std::to_string(max) + ".");
  }
  for (int32_t scale = digits == 3 ? 100 : 10; scale > 0; scale /= 10) {
    frame_.push_back(static_cast<uint8_t>('0' + value / scale % 10));
  }
  return *this;
}

FrameBuilder& FrameBuilder::fixedText(std::string_view text, size_t width, std::string_view field) {
  const std::string_view sent = text.substr(0, width);
  // A ',' or '#' would end the field or the frame early ("0,001" as 0 and a
  // setting 001), as in the relay and current-output commands.
  if (sent.find_first_of(",#") != std::string_view::npos) {
    refuse(std::string(field) + ": '" + latin1ToUtf8(sent) +
           "' holds ',' or '#', which would split the command; use '.' as the decimal point.");
  }
  if (text.size() >= width) return fixed(sent);
  if (!isUnsignedDecimal(text)) {
    refuse(std::string(field) + ": '" + latin1ToUtf8(text) + "' is too short; enter " + std::to_string(width) +
           " characters or a number that is not negative, such as 0.001.");
  }
  frame_.insert(frame_.end(), width - text.size(), '0');
  return fixed(text);
}

FrameBuilder& FrameBuilder::countAndBytes(std::span<const uint8_t> bytes, std::string_view field) {
  if (bytes.size() > 99) refuse(std::string(field) + ": at most 99 bytes can be sent.");
  frame_.push_back(static_cast<uint8_t>('0' + bytes.size() / 10));
  frame_.push_back(static_cast<uint8_t>('0' + bytes.size() % 10));
  frame_.push_back(',');
  frame_.insert(frame_.end(), bytes.begin(), bytes.end());
  return *this;
}

size_t fieldWidth(const FieldLayout& field) {
  switch (field.encoding) {
    case Encoding::IndexDigit:
    case Encoding::OffsetDigit:
      return 1;
    case Encoding::TwoDigitIndex:
    case Encoding::TwoDigitDecimal:
      return 2;
    case Encoding::ThreeDigitDecimal:
      return 3;
    case Encoding::FixedText:
      return field.width;
    case Encoding::CountAndBytes:
      return 3;
  }
  return 0;
}

FrameBuilder& FrameBuilder::field(const FieldLayout& layout, const FieldValue& value) {
  fixed(layout.before);
  switch (layout.encoding) {
    case Encoding::IndexDigit:
      return indexDigit(std::get<int>(value.value), layout.name);
    case Encoding::OffsetDigit:
      return offsetDigit(std::get<int>(value.value), layout.first, layout.name);
    case Encoding::TwoDigitIndex:
      return twoDigitIndex(std::get<int>(value.value), layout.name);
    case Encoding::TwoDigitDecimal:
      return twoDigitDecimal(std::get<std::string_view>(value.value), layout.name);
    case Encoding::ThreeDigitDecimal:
      return threeDigitDecimal(std::get<std::string_view>(value.value), layout.name);
    case Encoding::FixedText:
      return fixedText(std::get<std::string_view>(value.value), layout.width, layout.name);
    case Encoding::CountAndBytes:
      return countAndBytes(std::get<std::span<const uint8_t>>(value.value), layout.name);
  }
  return *this;
}

}  // namespace tq::protocol
