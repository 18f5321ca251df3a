#pragma once
// The HART master frames the "Transparent Mode" page sends through the
// module: N + 1 preamble bytes 0xFF (N typed in Edit9, -1 giving none), the
// frame from its delimiter on, and the check byte, the XOR of every byte
// from the delimiter through the last data byte.
//
// Each builder converts the preamble text first ("'x' is not a valid integer
// value"), then refuses an N below -1 or one that would not let the frame
// fit the send area, and a selection the frame cannot carry, each with a
// message naming the field (InputRefused). Nothing is built from a refused
// value.
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "hart/identity.h"

namespace tq::hart {

using Frame = std::vector<uint8_t>;

// Every frame fits the engine's send area.
inline constexpr size_t kMaxFrameBytes = 504;
// A manual command carries at most this many typed bytes.
inline constexpr size_t kManualMaxBytes = 15;
// The highest polling address a frame carries.
inline constexpr int kMaxPollingAddress = 15;
// The highest polling address the scan tries (HART 6 on).
inline constexpr int kMaxScanPollingAddress = 63;
// A frame's data: its byte count is one byte.
inline constexpr size_t kMaxDataBytes = 255;

inline constexpr uint8_t kPreambleByte = 0xFF;
inline constexpr uint8_t kShortRequest = 0x02;  // short frame, master to field device
inline constexpr uint8_t kLongRequest = 0x82;   // long frame, master to field device
inline constexpr uint8_t kShortReply = 0x06;    // short frame, field device to master
inline constexpr uint8_t kLongReply = 0x86;     // long frame, field device to master

// The first address byte: the master bit, the burst mode bit, then the
// polling address (short frames) or the manufacturer id's low six bits
// (long frames).
inline constexpr uint8_t kMasterBit = 0x80;
inline constexpr uint8_t kBurstModeBit = 0x40;
inline constexpr uint8_t kAddressLowBits = 0x3F;

// The universal commands the tool sends, by number.
namespace command {
inline constexpr uint8_t kReadUniqueIdentifier = 0;
inline constexpr uint8_t kReadDynamicVariables = 3;
inline constexpr uint8_t kWritePollingAddress = 6;
inline constexpr uint8_t kReadMessage = 12;
inline constexpr uint8_t kReadTagDescriptorDate = 13;
inline constexpr uint8_t kWriteMessage = 17;
inline constexpr uint8_t kWriteTagDescriptorDate = 18;
}  // namespace command

// `commandMode` is ComboBox42's index: 0 "Master Mode" (master bit set),
// 1 "Secondary Master Mode".

// Command 0, read unique identifier, to `pollingAddress` (ComboBox30).
//   FF.. 02 <master|address> 00 00 <check>
Frame identityQueryFrame(std::string_view preambleText, int commandMode, int pollingAddress);

// Command 3, read dynamic variables, to the identified instrument.
//   FF.. 82 <master|manufacturer & 3F> <type> <id id id> 03 00 <check>
Frame variablesQueryFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity);

// Command 6, write polling address `newAddress` (ComboBox27).
//   FF.. 82 <address x5> 06 01 <newAddress> <check>
Frame pollingAddressFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity,
                          int newAddress);

// The typed bytes as they stand (1 .. kManualMaxBytes), between preamble
// and check byte; they need not form a valid HART frame.
Frame manualFrame(std::string_view preambleText, std::span<const uint8_t> typed);

uint8_t checkByte(std::span<const uint8_t> bytes);

// The most preambles an instrument may ask for (HART: 5 to 20).
inline constexpr size_t kMaxRequestedPreambles = 20;

// The preamble bytes a frame built with this preamble setting carries, at
// least `minPreambles` (as longCommandFrame counts them); a setting that
// is not a number counts as none (the builders refuse it).
size_t requestPreambles(std::string_view preambleText, size_t minPreambles = 0);

// Any command with `data` (at most kMaxDataBytes) to the identified
// instrument, as the HART Instrument page reads and writes it. The frame
// carries at least `minPreambles` preambles (what the instrument asked for
// in its command 0 reply, at most kMaxRequestedPreambles), more when the
// preamble setting gives more; the setting is checked as for any frame.
//   FF.. 82 <master|manufacturer & 3F> <type> <id id id> <command> <count> <data> <check>
Frame longCommandFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity, uint8_t command,
                       std::span<const uint8_t> data = {}, size_t minPreambles = 0);

// Command 0 in a short frame to `pollingAddress` 0 .. kMaxScanPollingAddress,
// for the scan of the loop.
//   FF.. 02 <master|address> 00 00 <check>
Frame scanQueryFrame(std::string_view preambleText, int commandMode, int pollingAddress);

// Characters of the packed texts of commands 12/17 and 13/18.
inline constexpr size_t kTagChars = 8;
inline constexpr size_t kDescriptorChars = 16;
inline constexpr size_t kMessageChars = 32;
// As packed-ASCII refusals name the texts: "The tag cannot hold ...".
inline constexpr const char* kTagField = "tag";
inline constexpr const char* kDescriptorField = "descriptor";
inline constexpr const char* kMessageField = "message";
// The date of commands 13/18: day, month, year - 1900.
inline constexpr size_t kDateBytes = 3;
inline constexpr int kFirstDateYear = 1900;
inline constexpr int kLastDateYear = 2155;

struct TagDate {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const TagDate&) const = default;
};
// "2026-12-09", whatever the numbers.
std::string dateText(const TagDate& date);
// Whether the date is a day of the calendar.
bool isCalendarDay(const TagDate& date);

// Command 18's data (21 bytes): tag and descriptor packed and padded, then
// the date. Refused (InputRefused) for a character packed ASCII cannot
// carry, a text too long, a day that is not in the calendar or a year
// outside kFirstDateYear .. kLastDateYear.
std::vector<uint8_t> tagDescriptorDateData(std::string_view tag, std::string_view descriptor, const TagDate& date);
// Command 17's data (24 bytes): the message packed and padded.
std::vector<uint8_t> messageData(std::string_view message);

// Command 18, write tag, descriptor and date; command 17, write message.
// The preamble text is converted first, then the texts are checked, then
// the selection and the preamble range, as the other builders do; at least
// `minPreambles` preambles, as longCommandFrame.
Frame writeTagFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity,
                    std::string_view tag, std::string_view descriptor, const TagDate& date, size_t minPreambles = 0);
Frame writeMessageFrame(std::string_view preambleText, int commandMode, const DeviceIdentity& identity,
                        std::string_view message, size_t minPreambles = 0);

}  // namespace tq::hart
