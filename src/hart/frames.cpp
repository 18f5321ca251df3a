#include "hart/frames.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>

#include "common/errors.h"
#include "common/int_conversion.h"
#include "hart/packed_ascii.h"
#include "protocol/frame_fields.h"

namespace tq::hart {

namespace {

constexpr const char* kPreambleField = "Preamble Length";
constexpr const char* kCommandModeField = "HART Command Mode";
constexpr const char* kAddressField = "HART Address";
constexpr const char* kNewAddressField = "HART Address Configuration";
constexpr const char* kScanAddressField = "Scan address";

[[noreturn]] void refuse(std::string message) { throw InputRefused(std::move(message)); }

// A combo box's index, refused when nothing is selected or when it is
// beyond what its byte carries.
uint8_t selection(int index, int max, const char* field) {
  if (index < 0) refuse(protocol::noSelectionMessage(field));
  if (index > max) refuse(std::string(field) + ": item " + std::to_string(index) + " cannot be sent.");
  return static_cast<uint8_t>(index);
}

uint8_t masterBit(int commandMode) { return selection(commandMode, 1, kCommandModeField) == 0 ? kMasterBit : 0; }

// The preamble setting N as typed and as converted; converted first, before
// any selection is looked at.
struct Preamble {
  std::string_view text;
  int32_t n;
  size_t atLeast = 0;  // preamble bytes the addressed instrument asked for
};
Preamble convertPreamble(std::string_view text, size_t atLeast = 0) { return {text, parseInt(text), atLeast}; }

// N + 1, or as many as the instrument asked for when that is more.
size_t preambleBytes(int32_t n, size_t atLeast) {
  return std::max(static_cast<size_t>(std::max<int64_t>(int64_t{n} + 1, 0)), std::min(atLeast, kMaxRequestedPreambles));
}

// Preamble, body, check byte.
Frame assemble(const Preamble& preamble, std::span<const uint8_t> body) {
  // N + 1 preamble bytes, the body and the check byte must fit.
  const int64_t max = static_cast<int64_t>(kMaxFrameBytes) - static_cast<int64_t>(body.size()) - 2;
  if (preamble.n < -1 || preamble.n > max) {
    refuse(std::string(kPreambleField) + ": '" + std::string(preamble.text) +
           "' is out of range; enter a whole number from -1 to " + std::to_string(max) + ".");
  }
  Frame frame(preambleBytes(preamble.n, preamble.atLeast), kPreambleByte);
  frame.insert(frame.end(), body.begin(), body.end());
  frame.push_back(checkByte(body));
  return frame;
}

Frame longFrame(const Preamble& preamble, int commandMode, const DeviceIdentity& identity, uint8_t command,
                std::span<const uint8_t> data) {
  if (data.size() > kMaxDataBytes) {
    refuse("Command " + std::to_string(command) + ": " + std::to_string(data.size()) +
           " data bytes cannot be sent; a frame carries at most " + std::to_string(kMaxDataBytes) + ".");
  }
  Frame body = {kLongRequest,
                static_cast<uint8_t>(masterBit(commandMode) | (identity.manufacturerId & kAddressLowBits)),
                identity.deviceType,
                identity.deviceId[0],
                identity.deviceId[1],
                identity.deviceId[2],
                command,
                static_cast<uint8_t>(data.size())};
  body.insert(body.end(), data.begin(), data.end());
  return assemble(preamble, body);
}

Frame shortIdentityQuery(std::string_view preambleText, int commandMode, int pollingAddress, int maxAddress,
                         const char* addressField) {
  const Preamble preamble = convertPreamble(preambleText);
  const uint8_t master = masterBit(commandMode);
  const uint8_t address = master | selection(pollingAddress, maxAddress, addressField);
  const uint8_t body[] = {kShortRequest, address, command::kReadUniqueIdentifier, 0};
  return assemble(preamble, body);
}

}  // namespace

uint8_t checkByte(std::span<const uint8_t> bytes) {
  uint8_t check = 0;
  for (uint8_t b : bytes) check ^= b;
  return check;
}

Frame identityQueryFrame(std::string_view preambleText, int commandMode, int pollingAddress) {
  return shortIdentityQuery(preambleText, commandMode, pollingAddress, kMaxPollingAddress, kAddressField);
}

Frame variablesQueryFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity) {
  return longFrame(convertPreamble(preambleText), commandMode, identity, command::kReadDynamicVariables, {});
}

Frame pollingAddressFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity,
                          int newAddress) {
  const Preamble preamble = convertPreamble(preambleText);
  const uint8_t data[] = {selection(newAddress, kMaxPollingAddress, kNewAddressField)};
  return longFrame(preamble, commandMode, identity, command::kWritePollingAddress, data);
}

Frame manualFrame(std::string_view preambleText, std::span<const uint8_t> typed) {
  return assemble(convertPreamble(preambleText), typed);
}

size_t requestPreambles(std::string_view preambleText, size_t minPreambles) {
  try {
    return preambleBytes(parseInt(preambleText), minPreambles);
  } catch (const std::exception&) {
    return preambleBytes(-1, minPreambles);  // no frame carries it: the builders say why
  }
}

Frame longCommandFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity, uint8_t command,
                       std::span<const uint8_t> data, size_t minPreambles) {
  return longFrame(convertPreamble(preambleText, minPreambles), commandMode, identity, command, data);
}

Frame scanQueryFrame(std::string_view preambleText, int commandMode, int pollingAddress) {
  return shortIdentityQuery(preambleText, commandMode, pollingAddress, kMaxScanPollingAddress, kScanAddressField);
}

std::string dateText(const TagDate& date) {
  char text[48];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", date.year, date.month, date.day);
  return text;
}

bool isCalendarDay(const TagDate& date) {
  if (date.month < 1 || date.day < 1) return false;
  return std::chrono::year_month_day{std::chrono::year(date.year),
                                     std::chrono::month(static_cast<unsigned>(date.month)),
                                     std::chrono::day(static_cast<unsigned>(date.day))}
      .ok();
}

std::vector<uint8_t> tagDescriptorDateData(std::string_view tag, std::string_view descriptor, const TagDate& date) {
  std::vector<uint8_t> data = packAscii(tag, kTagChars, kTagField);
  const std::vector<uint8_t> packedDescriptor = packAscii(descriptor, kDescriptorChars, kDescriptorField);
  data.insert(data.end(), packedDescriptor.begin(), packedDescriptor.end());
  if (date.year < kFirstDateYear || date.year > kLastDateYear) {
    refuse("The date's year " + std::to_string(date.year) + " cannot be sent: an instrument holds the years " +
           std::to_string(kFirstDateYear) + " to " + std::to_string(kLastDateYear) + ".");
  }
  if (!isCalendarDay(date)) refuse("The date " + dateText(date) + " is not a day of the calendar.");
  data.push_back(static_cast<uint8_t>(date.day));
  data.push_back(static_cast<uint8_t>(date.month));
  data.push_back(static_cast<uint8_t>(date.year - kFirstDateYear));
  return data;
}

std::vector<uint8_t> messageData(std::string_view message) { return packAscii(message, kMessageChars, kMessageField); }

Frame writeTagFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity,
                    std::string_view tag, std::string_view descriptor, const TagDate& date, size_t minPreambles) {
  const Preamble preamble = convertPreamble(preambleText, minPreambles);
  const std::vector<uint8_t> data = tagDescriptorDateData(tag, descriptor, date);
  return longFrame(preamble, commandMode, identity, command::kWriteTagDescriptorDate, data);
}

Frame writeMessageFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity,
                        std::string_view message, size_t minPreambles) {
  const Preamble preamble = convertPreamble(preambleText, minPreambles);
  const std::vector<uint8_t> data = messageData(message);
  return longFrame(preamble, commandMode, identity, command::kWriteMessage, data);
}

}  // namespace tq::hart
