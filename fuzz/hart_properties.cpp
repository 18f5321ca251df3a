// Any block through the HART Instrument page's reply reading (the first
// reply, and the reply to a given request, by any universal revision), and
// any bytes through packed ASCII: no read beyond the block, no data taken
// from a reply that cannot be trusted or that answers another request, and
// packed texts that go there and back.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/errors.h"
#include "hart/packed_ascii.h"
#include "hart/properties.h"
#include "hart/status.h"

namespace {

void checkRows(const tq::hart::ParsedReply& reply, char separator, std::optional<uint8_t> revision) {
  const auto rows = tq::hart::describeReply(reply, separator, revision);
  if (rows.empty() && !reply.data.empty()) std::abort();
  for (const auto& row : rows) {
    if (row.name.empty()) std::abort();
  }
  const bool anyValue =
      tq::hart::readUniqueIdentifier(reply) || tq::hart::readTagDescriptorDate(reply) || tq::hart::readMessage(reply);
  if (!reply.usable()) {
    // One row saying why, and nothing read from the data.
    if (rows.size() != 1 || !rows[0].bad || anyValue) std::abort();
  } else if (!tq::hart::dataGood(*reply.firstStatus) && anyValue) {
    std::abort();  // an error's data are never the instrument's values
  }
}

// The reply taken for a request answers it: the same kind of address, the
// address and the command as far as they arrived.
void checkReplyTo(std::span<const uint8_t> block, const tq::hart::ReplyTo& to, char separator,
                  std::optional<uint8_t> revision) {
  const auto reply = tq::hart::parseReplyTo(block, to);
  if (!reply) return;
  if (reply->frame.longAddress() != to.longAddress) std::abort();
  if (reply->command && *reply->command != to.command) std::abort();
  for (size_t i = 0; i < reply->address.size(); ++i) {
    const uint8_t got = i == 0 ? reply->address[0] & tq::hart::kAddressLowBits : reply->address[i];
    if (got != to.address[i]) std::abort();
  }
  checkRows(*reply, separator, revision);
}

void checkReply(std::span<const uint8_t> block, char separator, std::optional<uint8_t> revision) {
  const auto reply = tq::hart::parseReply(block);
  if (!reply) return;
  checkRows(*reply, separator, revision);
  // The request the first reply answers, as far as it arrived, and two
  // fixed ones.
  tq::hart::ReplyTo first;
  first.longAddress = reply->frame.longAddress();
  for (size_t i = 0; i < reply->address.size() && i < first.address.size(); ++i) {
    first.address[i] = i == 0 ? reply->address[0] & tq::hart::kAddressLowBits : reply->address[i];
  }
  first.command = reply->command.value_or(0);
  checkReplyTo(block, first, separator, revision);
  checkReplyTo(block, tq::hart::ReplyTo::shortFrame(0, 0), separator, revision);
  checkReplyTo(block, tq::hart::ReplyTo::longFrame({0x26, 0x06, {0x12, 0x34, 0x56}, 0}, 48), separator, revision);
}

void checkPackedAscii(std::span<const uint8_t> bytes) {
  const std::string text = tq::hart::unpackAscii(bytes);
  for (char c : text) {
    if (c < 0x20 || c > 0x5F) std::abort();
  }
  const size_t whole = bytes.size() / tq::hart::kPackedGroupBytes;
  const size_t chars = whole * tq::hart::kPackedGroupChars;
  const auto again = tq::hart::packAscii(std::string_view(text).substr(0, chars), chars, "text");
  if (!std::equal(again.begin(), again.end(), bytes.begin(), bytes.begin() + static_cast<long>(again.size()))) {
    std::abort();
  }
  // The same bytes as typed text: refused, or packed within the length.
  try {
    const auto packed = tq::hart::packAscii(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()),
                                            tq::hart::kMessageChars, "message");
    if (packed.size() != tq::hart::packedBytes(tq::hart::kMessageChars)) std::abort();
  } catch (const tq::InputRefused&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const char separator = (data[0] & 1) ? ',' : '.';
  // The instrument's universal revision: not known, 5, 6 or 7.
  const int pick = (data[0] >> 1) & 3;
  const std::optional<uint8_t> revision = pick == 0 ? std::nullopt : std::optional<uint8_t>(4 + pick);
  const std::span<const uint8_t> block(data + 1, size - 1);
  checkReply(block, separator, revision);
  checkPackedAscii(block);
  return 0;
}
