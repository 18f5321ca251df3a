#pragma once
// How long the tool's own HART sequences (the scan, Read All, the writes)
// wait for a reply through the module before they take an address or a
// command as unanswered.
//
// A request and its reply each cross two lines: the serial line between
// the PC and the module (the tool's port, at its slowest 1200 baud, with a
// parity bit: 11-bit characters) and the HART loop (1200 bit/s, 11-bit
// characters: start, 8 data, odd parity, stop; 9.17 ms each). The module is
// taken to forward a frame only once it holds it whole, so the crossings
// add up rather than overlap:
//
//   request on the serial line + request on the loop
//   + the instrument's turnaround: HART lets a field device take up to 28
//     character times (256.7 ms) before its reply starts
//   + reply on the loop + reply on the serial line
//   + the module's communication delay, when set ("1 100ms Delay")
//   + the 100 ms of silence that end a block at the tool's port
//
// Command 0 to one polling address, with the default preamble setting (6:
// seven preambles) and a HART 7 instrument sending five preambles:
//   request 7 + 5 = 12 characters, reply 5 + 4 + 2 + 22 + 1 = 34,
//   2 x (12 + 34) x 9.17 = 843.3 ms, + 256.7 + 100 + 100 = 1300 ms.
// The simulator paced at 1200 baud (10-bit characters, no loop, no
// turnaround) takes 242 ms from the request to the last byte of that reply,
// 342 ms to the end of its block: an instrument that answers ends its step
// long before the window does; only silent addresses wait it out.
//
// A request with more preambles than the default (a higher preamble
// setting, or an instrument that asked for up to 20 in its command 0 reply)
// takes 18.3 ms longer per preamble (both lines), and its window grows by
// as much; fewer preambles never shorten a window. The turnaround allowed
// is the protocol's limit, and instruments usually answer well inside it.
#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace tq::hart {

inline constexpr int64_t kLineBitsPerSecond = 1200;
inline constexpr int64_t kBitsPerCharacter = 11;
inline constexpr int64_t kSlaveTimeOutCharacters = 28;
inline constexpr int64_t kModuleDelayMs = 100;
inline constexpr int64_t kBlockSilenceMs = 100;
inline constexpr int64_t kWindowStepMs = 100;  // windows are rounded up to this

// Characters of the frames the windows are made for.
inline constexpr size_t kDefaultRequestPreambles = 7;  // Edit9's default 6, plus one
inline constexpr size_t kReplyPreambles = 5;           // what HART recommends and instruments send
inline constexpr size_t kShortHeader = 1 + 1 + 1 + 1;  // delimiter, address, command, byte count
inline constexpr size_t kLongHeader = 1 + 5 + 1 + 1;
inline constexpr size_t kCheck = 1;
inline constexpr size_t kReplyStatus = 2;

constexpr size_t requestCharacters(size_t header, size_t data, size_t preambles = kDefaultRequestPreambles) {
  return std::max(preambles, kDefaultRequestPreambles) + header + data + kCheck;
}
constexpr size_t replyCharacters(size_t header, size_t data) {
  return kReplyPreambles + header + kReplyStatus + data + kCheck;
}

// The window for a request and its reply of these many characters, rounded
// up to kWindowStepMs.
constexpr int answerWindowMs(size_t requestChars, size_t replyChars) {
  const int64_t crossings = 2 * static_cast<int64_t>(requestChars + replyChars) + kSlaveTimeOutCharacters;
  const int64_t lineUs = (crossings * kBitsPerCharacter * 1'000'000 + kLineBitsPerSecond - 1) / kLineBitsPerSecond;
  const int64_t ms = (lineUs + 999) / 1000 + kModuleDelayMs + kBlockSilenceMs;
  return static_cast<int>((ms + kWindowStepMs - 1) / kWindowStepMs * kWindowStepMs);
}

// The scan: command 0 in a short frame; the HART 7 identity is 22 bytes.
constexpr int scanAnswerWindowMs(size_t preambles) {
  return answerWindowMs(requestCharacters(kShortHeader, 0, preambles), replyCharacters(kShortHeader, 22));
}
// Read All: long frames without data; the longest reply is the long tag
// (command 20, 32 bytes): 16 + 48 characters, 1630 ms.
constexpr int readAnswerWindowMs(size_t preambles) {
  return answerWindowMs(requestCharacters(kLongHeader, 0, preambles), replyCharacters(kLongHeader, 32));
}
// The writes: the message (command 17, 24 bytes) there and echoed back:
// 40 + 40 characters, 1923 ms.
constexpr int writeAnswerWindowMs(size_t preambles) {
  return answerWindowMs(requestCharacters(kLongHeader, 24, preambles), replyCharacters(kLongHeader, 24));
}
// The trend's poll: command 3 in a long frame; the loop current and four
// variables are 24 bytes: 16 + 40 characters, 1484 ms.
constexpr int pollAnswerWindowMs(size_t preambles) {
  return answerWindowMs(requestCharacters(kLongHeader, 0, preambles), replyCharacters(kLongHeader, 24));
}

inline constexpr int kScanAnswerWindowMs = scanAnswerWindowMs(kDefaultRequestPreambles);
inline constexpr int kPollAnswerWindowMs = pollAnswerWindowMs(kDefaultRequestPreambles);
inline constexpr int kReadAnswerWindowMs = readAnswerWindowMs(kDefaultRequestPreambles);
inline constexpr int kWriteAnswerWindowMs = writeAnswerWindowMs(kDefaultRequestPreambles);

static_assert(kScanAnswerWindowMs == 1300);
static_assert(kPollAnswerWindowMs == 1500);
static_assert(kReadAnswerWindowMs == 1700);
static_assert(kWriteAnswerWindowMs == 2000);
// The most an instrument may ask for: 13 more, 238 ms more.
static_assert(readAnswerWindowMs(20) == 1900);

}  // namespace tq::hart
