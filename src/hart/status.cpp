#include "hart/status.h"

#include <array>
#include <span>

#include "common/byte_display.h"

namespace tq::hart {

namespace {

struct Named {
  uint8_t code;
  std::string_view name;
};

constexpr Named kCommandNames[] = {
    {0, "Read Unique Identifier"},
    {1, "Read Primary Variable"},
    {2, "Read Loop Current And Percent Of Range"},
    {3, "Read Dynamic Variables And Loop Current"},
    {6, "Write Polling Address"},
    {7, "Read Loop Configuration"},
    {8, "Read Dynamic Variable Classifications"},
    {9, "Read Device Variables With Status"},
    {11, "Read Unique Identifier Associated With Tag"},
    {12, "Read Message"},
    {13, "Read Tag, Descriptor, Date"},
    {14, "Read Primary Variable Transducer Information"},
    {15, "Read Device Information"},
    {16, "Read Final Assembly Number"},
    {17, "Write Message"},
    {18, "Write Tag, Descriptor, Date"},
    {19, "Write Final Assembly Number"},
    {20, "Read Long Tag"},
    {21, "Read Unique Identifier Associated With Long Tag"},
    {22, "Write Long Tag"},
    {34, "Write Primary Variable Damping Value"},
    {35, "Write Primary Variable Range Values"},
    {38, "Reset Configuration Changed Flag"},
    {48, "Read Additional Device Status"},
};

constexpr Named kResponseMeanings[] = {
    {0, "success"},
    {1, "undefined"},
    {2, "invalid selection"},
    {3, "passed parameter too large"},
    {4, "passed parameter too small"},
    {5, "too few data bytes received"},
    {6, "device-specific command error"},
    {7, "in write protect mode"},
    {16, "access restricted"},
    {28, "invalid range units code"},
    {32, "busy"},
    {33, "delayed response initiated"},
    {34, "delayed response running"},
    {35, "delayed response dead"},
    {36, "delayed response conflict"},
    {64, "command not implemented"},
};
constexpr std::string_view kCommandSpecific = "command-specific";
constexpr std::string_view kCommandSpecificWarning = "command-specific warning";
constexpr std::string_view kDeviceSpecificWarning = "device-specific warning";
constexpr uint8_t kFirstDeviceSpecificWarning = 96;
constexpr uint8_t kLastDeviceSpecificWarning = 111;

std::string_view find(std::span<const Named> table, uint8_t code) {
  for (const Named& n : table)
    if (n.code == code) return n.name;
  return {};
}

// Bit names from bit 7 (index 0) down to bit 0; empty: no name.
using BitNames = std::array<std::string_view, 8>;

constexpr BitNames kCommunicationErrorNames = {"",           "parity", "overrun",         "framing",
                                               "check byte", "",       "buffer overflow", ""};
constexpr BitNames kDeviceStatusNames = {"device malfunction",
                                         "configuration changed",
                                         "cold start",
                                         "more status available",
                                         "loop current fixed",
                                         "loop current saturated",
                                         "non-primary variable out of limits",
                                         "primary variable out of limits"};
constexpr BitNames kExtendedStatusNames = {"",
                                           "",
                                           "function check",
                                           "out of specification",
                                           "failure",
                                           "critical power failure",
                                           "device variable alert",
                                           "maintenance required"};

std::vector<std::string> bitNames(uint8_t value, const BitNames& names) {
  std::vector<std::string> set;
  for (int i = 0; i < 8; ++i) {
    const auto bit = static_cast<uint8_t>(0x80 >> i);
    if (!(value & bit)) continue;
    set.push_back(names[i].empty() ? "bit " + hexByte(bit) : std::string(names[i]));
  }
  return set;
}

}  // namespace

std::string_view commandName(uint8_t command) { return find(kCommandNames, command); }

bool isWarning(uint8_t code) {
  return code == 8 || code == 14 || (code >= 24 && code <= 27) || code == 30 || code == 31 ||
         (code >= kFirstDeviceSpecificWarning && code <= kLastDeviceSpecificWarning);
}

std::string_view responseMeaning(uint8_t code) {
  const std::string_view meaning = find(kResponseMeanings, code);
  if (!meaning.empty()) return meaning;
  if (code >= kFirstDeviceSpecificWarning && code <= kLastDeviceSpecificWarning) return kDeviceSpecificWarning;
  return isWarning(code) ? kCommandSpecificWarning : kCommandSpecific;
}

std::string responseText(uint8_t code) {
  return "response " + std::to_string(code) + ": " + std::string(responseMeaning(code));
}

std::vector<std::string> communicationErrors(uint8_t first) {
  return bitNames(first & ~kCommunicationErrorBit, kCommunicationErrorNames);
}

std::vector<std::string> deviceStatusBits(uint8_t second) { return bitNames(second, kDeviceStatusNames); }

std::vector<std::string> extendedStatusBits(uint8_t status) { return bitNames(status, kExtendedStatusNames); }

std::string joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& n : names) text += (text.empty() ? "" : ", ") + n;
  return text;
}

std::string statusSummary(uint8_t first, uint8_t second) {
  if (first & kCommunicationErrorBit) {
    const auto errors = communicationErrors(first);
    return "Communication error " + hexByte(first) + ": the instrument received the request garbled" +
           (errors.empty() ? std::string() : " (" + joined(errors) + ")");
  }
  std::string text =
      "Response " + std::to_string(first) + " (" + std::string(responseMeaning(first)) + "); status " + hexByte(second);
  if (second != 0) text += ": " + joined(deviceStatusBits(second));
  return text;
}

}  // namespace tq::hart
