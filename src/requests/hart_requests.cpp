#include "requests/hart_requests.h"

#include "hart/decoders.h"
#include "hart/frames.h"
#include "common/line_text.h"

namespace tq::requests {

using engine::FrameDisplay;
using engine::kQueryTimeoutMs;
namespace code = engine::code;
namespace timeout = engine::timeout;

static_assert(hart::kMaxFrameBytes == engine::kSendAreaSize, "HART frames are refused where the send area ends");
static_assert(hart::kIdentityBytes == engine::kIdentitySize);

namespace {

// Devices whose registers the labels can name.
constexpr int kLastLabelledDevice = 8;

// The last received block as far as the received text goes.
std::span<const uint8_t> received(const engine::ReplyInput& reply) {
  return reply.receiveArea.first(reply.text.size());
}

}  // namespace

HartRequests::HartRequests(engine::TransactionEngine& engine, engine::View& view, char decimalSeparator)
    : PageRequests(engine, view) {
  engine_.setDecoder(code::HartIdentity, [](const engine::ReplyInput& reply) {
    auto decoded = hart::decodeIdentityReply(received(reply), hart::readIdentity(reply.identity));
    hart::storeIdentity(decoded.identity, reply.identity);
    return decoded.shown;
  });
  engine_.setDecoder(code::HartVariables, [decimalSeparator](const engine::ReplyInput& reply) {
    return hart::decodeVariablesReply(received(reply), decimalSeparator);
  });
}

void HartRequests::Button7Click() {
  engine_.clearDisplays();
  for (const char* field : hart::kIdentityFields) set(Assignment::setText(field, ""));
  const int address = index("ComboBox30");
  const auto frame = hart::identityQueryFrame(text("Edit9"), index("ComboBox42"), address);
  engine_.transmit(frame, FrameDisplay::Bytes);
  // The reply's decoder selects this address in ComboBox27.
  hart::DeviceIdentity queried = identity();
  queried.pollingAddress = static_cast<uint8_t>(address);
  hart::storeIdentity(queried, engine_.identity());
  engine_.await(code::HartIdentity, timeout::Setup, std::nullopt);
}

void HartRequests::Button16Click() {
  engine_.clearDisplays();  // the variables keep their values until the reply
  const auto frame = hart::variablesQueryFrame(text("Edit9"), index("ComboBox42"), identity());
  engine_.transmit(frame, FrameDisplay::Bytes);
  engine_.await(code::HartVariables, timeout::Setup, std::nullopt);
}

void HartRequests::Button14Click() {
  engine_.enableRts();
  engine_.clearDisplays();
  const auto frame = hart::pollingAddressFrame(text("Edit9"), index("ComboBox42"), identity(), index("ComboBox27"));
  engine_.transmit(frame, FrameDisplay::Bytes);
  engine_.await(code::HartPolling, timeout::Setup, kQueryTimeoutMs);
}

void HartRequests::Button20Click() {
  engine_.clearDisplays();
  // The entry is checked completely before the preamble length is looked at.
  const auto typed = typedHexEntry(text("Edit10"), hart::kManualMaxBytes);
  const auto frame = hart::manualFrame(text("Edit9"), typed);
  engine_.transmit(frame, FrameDisplay::Bytes);
  engine_.await(code::HartManual, timeout::Setup, std::nullopt);
}

void HartRequests::ComboBox30Change() {
  // A selection made here does not run ComboBox41's handler: no query.
  set(Assignment::select("ComboBox41", index("ComboBox30")));
  const int device = index("ComboBox41");
  if (device < 0 || device > kLastLabelledDevice) return;
  showRegisterLabels(device);
}

}  // namespace tq::requests
