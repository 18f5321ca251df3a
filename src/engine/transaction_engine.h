#pragma once
// The transaction engine: one request outstanding at a time. It owns the
// shared send and receive areas, the received text, the pending command code
// and its time-out class, the port-open flag and the three timers' roles.
// Everything runs on the window's thread.
#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/interfaces.h"

namespace tq::engine {

// Shared byte array: HART identity, then the send area, then the receive area.
constexpr size_t kSharedSize = 916;
constexpr size_t kIdentityStart = 0;
constexpr size_t kIdentitySize = 8;
constexpr size_t kSendAreaStart = 8;
constexpr size_t kSendAreaSize = 504;
constexpr size_t kReceiveAreaStart = 512;
constexpr size_t kReceiveAreaSize = 404;
// The received text keeps at most this many bytes of a block.
constexpr size_t kReceivedTextMax = 255;

constexpr int kReceivePauseMs = 300;
// The engine's timers as a front end starts them; the requests set Timer3's
// and Timer4's interval afterwards.
constexpr int kTimer2IntervalMs = 300;
constexpr int kTimer3InitialMs = 1000;
constexpr int kTimer4InitialMs = 1000;
constexpr int kQueryTimeoutMs = 3000;
constexpr int kPortCloseDelayMs = 2000;

// Why the engine closes the port, as the journal's line ends.
inline constexpr const char* kClosedByOperator = "by the operator";
inline constexpr const char* kClosedByTimer4 = "by Timer4, 2000 ms after the module's RS485 settings were changed";

// Pending command codes: which reply is awaited.
namespace code {
constexpr int None = 0;
constexpr int HartIdentity = 100;
constexpr int HartVariables = 103;
constexpr int HartManual = 104;
constexpr int HartPolling = 106;
constexpr int Setting = 200;
constexpr int CommQuery = 201;
constexpr int SystemQuery = 202;
constexpr int OutputParamQuery = 203;
constexpr int OutputValueQuery = 204;
constexpr int ModbusParamQuery = 301;
constexpr int ModbusTest = 302;
}  // namespace code

// Time-out classes: what Timer3 reports when no reply came.
namespace timeout {
constexpr int None = 0;
constexpr int Connection = 1;
constexpr int ParameterQuery = 2;
constexpr int Setup = 3;
}  // namespace timeout

inline constexpr const char* kConnectionTimeoutMessage = "Connection Timeout!";
inline constexpr const char* kParameterTimeoutMessage = "Parameter Query Timeout!";
inline constexpr const char* kSetupTimeoutMessage = "!";
inline constexpr const char* kSetupTimeoutCaption = "Setup Timeout";

// What a reply decoder sees.
struct ReplyInput {
  std::string_view text;                 // the received text (bytes)
  std::span<const uint8_t> receiveArea;  // kReceiveAreaSize bytes
  std::span<uint8_t> identity;           // kIdentitySize bytes, decoders may update it
  const View& view;
};

using Decoder = std::function<Decoded(const ReplyInput&)>;

// Refuses a frame longer than the send area, the most any request puts on
// the line in one write; frames built as text outside the send area are
// held to it as well.
void checkFrameSize(std::span<const uint8_t> frame);

// How the send-buffer field shows a request: as its characters, in the
// byte display, or not at all.
enum class FrameDisplay { Text, Bytes, Hidden };

class TransactionEngine {
 public:
  TransactionEngine(View& view, Port& port, Timer& timer2, Timer& timer3, Timer& timer4, Sleeper& sleeper);

  // The request handlers plug their reply decoders in here (202, 203, 204,
  // 301, 100, 103); the communication query's decoder is built in.
  void setDecoder(int pendingCode, Decoder decoder);

  void FormCreate();
  void Button1Click();
  void Button6Click();
  void Button26Click();
  void PageControl1Change() {}
  // waitedMs: how long the block already waited for the window's thread. A
  // block that waited counts that time against the pause, so a module that
  // keeps sending cannot pile up work faster than the window handles it.
  void Comm1ReceiveData(std::span<const uint8_t> block, int waitedMs = 0);
  void Timer2Timer();
  void Timer3Timer();
  void Timer4Timer();
  // The port went away under the engine (the device hung up, or the port
  // was handed to a sequence of the tool's own): the controls as after
  // Button1 closes it. No reply can come any more, so no time-out is
  // reported for the one awaited, and Timer4 has nothing left to close; a
  // reply already received is still decoded. `reason` says why in the
  // journal when the port was still open ("for Find Module").
  void portLost(const std::string& reason = {});

  // The steps a request handler composes, in this order:
  //   clearDisplays();                    empty Edit8 and Memo10 first, so a
  //                                       refused entry leaves them empty
  //   <build the frame>                   may refuse: nothing sent, codes kept
  //   transmit(frame, FrameDisplay::Text);
  //   await(code, timeoutClass, ms);      only once the frame is on its way
  // Empties Edit8 and Memo10.
  void clearDisplays();
  // Empties Memo10 only.
  void clearReceiveDisplay();
  // Assembles the frame in the send area, shows it in Edit8 and writes it to
  // the port (a closed port sends nothing; the time-out tells the operator).
  // A frame that does not fit the send area is refused before anything
  // changes.
  void transmit(std::span<const uint8_t> frame, FrameDisplay display);
  // For frames built as text outside the send area: show, then write.
  void showFrame(std::span<const uint8_t> frame, FrameDisplay display);
  void write(std::span<const uint8_t> frame);
  // Records the awaited reply and its time-out class and starts Timer3,
  // after giving it `timer3IntervalMs` when set.
  void await(int pendingCode, int timeoutClass, std::optional<int> timer3IntervalMs);
  // Timer4: the port closes itself after the module's line settings changed.
  void closePortLater();
  // RTS on, for converters that switch the RS485 direction with it; it stays
  // on until the next open applies COM_RTS again.
  void enableRts();

  bool portOpen() const { return portOpen_; }
  int pendingCode() const { return pendingCode_; }
  int timeoutClass() const { return timeoutClass_; }
  const std::string& receivedText() const { return receivedText_; }
  std::span<const uint8_t> sendArea() const { return std::span(shared_).subspan(kSendAreaStart, kSendAreaSize); }
  std::span<const uint8_t> receiveArea() const {
    return std::span(shared_).subspan(kReceiveAreaStart, kReceiveAreaSize);
  }
  std::span<uint8_t> identity() { return std::span(shared_).subspan(kIdentityStart, kIdentitySize); }

 private:
  void runDecoder(int pendingCode);
  void showPlain();
  void showBytes();

  View& view_;
  Port& port_;
  Timer& timer2_;
  Timer& timer3_;
  Timer& timer4_;
  Sleeper& sleeper_;
  std::map<int, Decoder> decoders_;

  bool portOpen_ = false;
  int pendingCode_ = code::None;
  int timeoutClass_ = timeout::None;
  std::array<uint8_t, kSharedSize> shared_{};
  std::string receivedText_;
};

}  // namespace tq::engine
