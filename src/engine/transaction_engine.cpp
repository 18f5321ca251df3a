#include "engine/transaction_engine.h"

#include <algorithm>
#include <cstring>

#include "common/byte_display.h"
#include "common/errors.h"
#include "common/int_conversion.h"
#include "common/text.h"
#include "protocol/config_frames.h"
#include "protocol/replies.h"

namespace tq::engine {

namespace {

// Combo boxes and edits brought to their start state when the window opens.
constexpr const char* kSelectionsClearedAtStart[] = {"ComboBox6", "RADCOM1", "RADCOM3", "RADCOM5", "RADCOM7",
                                                     "READLG1",   "READLG3", "READLG5", "READLG7", "FAMOUT1",
                                                     "FAMOUT3",   "FAMOUT5", "FAMOUT7", "FAMOUT9"};
constexpr const char* kEditsEmptiedAtStart[] = {"READADR1", "READADR3", "READADR5", "READADR7"};

// How the receive handler treats a block for each pending code.
enum class OnBlock { PlainAndParse, BytesAndParse, BytesOnly, PlainAndReset };

OnBlock blockRule(int pendingCode) {
  switch (pendingCode) {
    case code::CommQuery:
    case code::SystemQuery:
    case code::OutputParamQuery:
    case code::OutputValueQuery:
    case code::ModbusParamQuery:
      return OnBlock::PlainAndParse;
    case code::HartIdentity:
    case code::HartVariables:
      return OnBlock::BytesAndParse;
    case code::HartManual:
    case code::HartPolling:
    case code::ModbusTest:
      return OnBlock::BytesOnly;
    default:
      return OnBlock::PlainAndReset;
  }
}

}  // namespace

TransactionEngine::TransactionEngine(View& view, Port& port, Timer& timer2, Timer& timer3, Timer& timer4,
                                     Sleeper& sleeper)
    : view_(view), port_(port), timer2_(timer2), timer3_(timer3), timer4_(timer4), sleeper_(sleeper) {
  decoders_[code::CommQuery] = [](const ReplyInput& reply) { return protocol::decodeCommQueryReply(reply.text); };
}

void TransactionEngine::setDecoder(int pendingCode, Decoder decoder) { decoders_[pendingCode] = std::move(decoder); }

void TransactionEngine::FormCreate() {
  view_.apply(Assignment::enable("Button6"));
  timer2_.stop();
  timer3_.stop();
  timer4_.stop();
  view_.apply(Assignment::setText("Edit1", ""));
  for (const char* combo : kSelectionsClearedAtStart) view_.apply(Assignment::select(combo, -1));
  for (const char* edit : kEditsEmptiedAtStart) view_.apply(Assignment::setText(edit, ""));
  view_.apply(Assignment::select("ComboBox28", -1));
  view_.apply(Assignment::select("ComboBox29", -1));
  view_.apply(Assignment::setText("Edit4", ""));
  view_.apply(Assignment::setText("Edit5", ""));
}

void TransactionEngine::Button1Click() {
  if (portOpen_) {
    portOpen_ = false;
    view_.apply(Assignment::setText("Button1", "Open"));
    view_.apply(Assignment::enable("Button6", false));
    port_.closePort(kClosedByOperator);
    return;
  }
  port_.closePort(kClosedByOperator);
  const std::string baudText = view_.text("ComboBox11");
  const int32_t baud = parseInt(baudText);
  if (baud <= 0) throw EConvertError("'" + baudText + "' is not a valid baud rate");
  port_.setBaudRate(static_cast<uint32_t>(baud));
  port_.setParity(parityFromIndex(view_.selectedIndex("ComboBox10")));
  port_.setCommName(view_.text("SPREALCOM"));
  port_.disableXonXoff();
  port_.openPort();  // a failure ends the handler here with its message
  port_.setDtr(view_.checked("CheckBox2"));
  port_.setRts(view_.checked("CheckBox1"));
  portOpen_ = true;
  view_.apply(Assignment::setText("Button1", "Close"));
  view_.apply(Assignment::enable("Button6"));
}

void TransactionEngine::Button6Click() {
  clearDisplays();
  transmit(protocol::commQueryFrame(), FrameDisplay::Text);
  await(code::CommQuery, timeout::Connection, kQueryTimeoutMs);
}

void TransactionEngine::Button26Click() { clearReceiveDisplay(); }

void TransactionEngine::clearDisplays() {
  view_.apply(Assignment::setText("Edit8", ""));
  clearReceiveDisplay();
}

void TransactionEngine::clearReceiveDisplay() { view_.apply(Assignment::setText("Memo10", "")); }

void checkFrameSize(std::span<const uint8_t> frame) {
  if (frame.size() > kSendAreaSize) {
    throw InputRefused("The frame is " + std::to_string(frame.size()) + " bytes long; at most " +
                       std::to_string(kSendAreaSize) + " bytes can be sent.");
  }
}

void TransactionEngine::transmit(std::span<const uint8_t> frame, FrameDisplay display) {
  checkFrameSize(frame);
  std::copy(frame.begin(), frame.end(), shared_.begin() + kSendAreaStart);
  const auto assembled = std::span<const uint8_t>(shared_).subspan(kSendAreaStart, frame.size());
  showFrame(assembled, display);
  write(assembled);
}

void TransactionEngine::showFrame(std::span<const uint8_t> frame, FrameDisplay display) {
  switch (display) {
    case FrameDisplay::Text:
      view_.apply(Assignment::setText(
          "Edit8", latin1ToUtf8(std::string_view(reinterpret_cast<const char*>(frame.data()), frame.size()))));
      break;
    case FrameDisplay::Bytes:
      view_.apply(Assignment::setText("Edit8", bytesDisplay(frame)));
      break;
    case FrameDisplay::Hidden:
      break;
  }
}

void TransactionEngine::write(std::span<const uint8_t> frame) {
  port_.writeData(frame);  // a closed port sends nothing; the time-out tells the operator
}

void TransactionEngine::await(int pendingCode, int timeoutClass, std::optional<int> timer3IntervalMs) {
  pendingCode_ = pendingCode;
  timeoutClass_ = timeoutClass;
  if (timer3IntervalMs) timer3_.setInterval(*timer3IntervalMs);
  timer3_.start();
}

void TransactionEngine::closePortLater() {
  timer4_.setInterval(kPortCloseDelayMs);
  timer4_.start();
}

void TransactionEngine::enableRts() { port_.setRts(true); }

void TransactionEngine::Comm1ReceiveData(std::span<const uint8_t> block, int waitedMs) {
  if (waitedMs < kReceivePauseMs) sleeper_.sleepMs(kReceivePauseMs - std::max(waitedMs, 0));

  // Each block replaces the last one; a block longer than the receive area
  // keeps only what fits.
  receivedText_.assign(reinterpret_cast<const char*>(block.data()), std::min(block.size(), kReceivedTextMax));
  std::copy_n(block.begin(), std::min(block.size(), kReceiveAreaSize), shared_.begin() + kReceiveAreaStart);

  switch (blockRule(pendingCode_)) {
    case OnBlock::PlainAndParse:
      timer2_.start();
      timer3_.stop();
      showPlain();
      break;
    case OnBlock::BytesAndParse:
      showBytes();
      timer3_.stop();
      timer2_.start();
      break;
    case OnBlock::BytesOnly:
      showBytes();
      timer3_.stop();
      break;
    case OnBlock::PlainAndReset:
      showPlain();
      pendingCode_ = code::None;
      timer3_.stop();
      break;
  }
}

void TransactionEngine::showPlain() {
  // The text box shows the received text up to its first zero byte.
  const std::string_view text(receivedText_.data(), strnlen(receivedText_.data(), receivedText_.size()));
  view_.apply(Assignment::setText("Memo10", latin1ToUtf8(text)));
}

void TransactionEngine::showBytes() {
  view_.apply(Assignment::setText("Memo10", bytesDisplay(receiveArea().first(receivedText_.size()))));
}

void TransactionEngine::Timer2Timer() {
  timer2_.stop();
  const int parsed = pendingCode_;
  switch (parsed) {
    case code::HartIdentity:
    case code::HartVariables:
      pendingCode_ = code::None;
      timer3_.stop();
      break;
    case code::CommQuery:
      pendingCode_ = code::None;
      timeoutClass_ = timeout::None;
      break;
    case code::SystemQuery:
    case code::OutputParamQuery:
    case code::OutputValueQuery:
    case code::ModbusParamQuery:
      break;  // these stay pending: every later block is decoded again
    default:
      return;
  }
  runDecoder(parsed);
}

void TransactionEngine::runDecoder(int pendingCode) {
  const auto it = decoders_.find(pendingCode);
  if (it == decoders_.end()) return;
  const Decoded decoded = it->second(ReplyInput{receivedText_, receiveArea(), identity(), view_});
  // Groups decoded before a bad field keep their new values.
  for (const Assignment& change : decoded.assignments) view_.apply(change);
  if (decoded.error) throw EConvertError(*decoded.error);
}

void TransactionEngine::Timer3Timer() {
  timer3_.stop();
  switch (timeoutClass_) {
    case timeout::Connection:
      view_.showMessage(kConnectionTimeoutMessage);
      break;
    case timeout::ParameterQuery:
      view_.apply(Assignment::setText("Label68", ""));
      view_.showMessage(kParameterTimeoutMessage);
      break;
    case timeout::Setup:
      view_.apply(Assignment::setText("Label68", kSetupTimeoutCaption));
      view_.showMessage(kSetupTimeoutMessage);
      break;
    default:
      return;
  }
  timer3_.stop();
}

void TransactionEngine::Timer4Timer() {
  timer4_.stop();
  portOpen_ = false;
  view_.apply(Assignment::setText("Button1", "Open"));
  view_.apply(Assignment::enable("Button6", false));
  port_.closePort(kClosedByTimer4);
}

void TransactionEngine::portLost(const std::string& reason) {
  timer3_.stop();
  timer4_.stop();
  portOpen_ = false;
  view_.apply(Assignment::setText("Button1", "Open"));
  view_.apply(Assignment::enable("Button6", false));
  port_.closePort(reason);
}

}  // namespace tq::engine
