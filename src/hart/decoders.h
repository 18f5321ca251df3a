#pragma once
// Decoders of the instrument's replies to commands 0 and 3. Each works on
// the last received block as far as the received text goes (its L bytes):
// the receive area beyond them still holds older blocks, which are never
// shown or remembered. A reply is found by its start marker, the last
// preamble byte 0xFF followed by the reply delimiter, tested at positions
// 0 .. L - 5; every field is read at a fixed offset from that 0xFF.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "common/assignment.h"
#include "hart/identity.h"

namespace tq::hart {

// "HART Device Basic Parameters": manufacturer, device type, preambles,
// device identification.
inline constexpr const char* kIdentityFields[] = {"Edit28", "Edit29", "Edit31", "Edit32"};

// Position of the first marker 0xFF `delimiter`, if any.
std::optional<size_t> findReplyStart(std::span<const uint8_t> received, uint8_t delimiter);

struct IdentityReply {
  Decoded shown;
  DeviceIdentity identity;  // `current` with the reply's identification
};

// Command 0: manufacturer (Edit28), device type (Edit29), preambles asked
// for (Edit31), device identification (Edit32), and ComboBox27 on the
// polling address the query went to. No marker, or a reply that ends
// before the device identification: the four fields are emptied and the
// identity stays `current`.
IdentityReply decodeIdentityReply(std::span<const uint8_t> received, const DeviceIdentity& current);

// What an identity read shows of `identity` and the preambles it asked
// for: Edit28, Edit29, Edit31, ComboBox27 on its polling address (none
// above 8) and Edit32. A row chosen in the scan shows the same.
std::vector<Assignment> identityShown(const DeviceIdentity& identity, uint8_t preamblesRequested);

// Command 3: each variable's value into its edit and the MODBUS page's
// live-value label, its unit into its combo. Variable 1 always; variables
// 2, 3 and 4 from byte counts 12, 17 and 22 on; only those whose five-byte
// slot lies inside the block. No marker: nothing changes.
Decoded decodeVariablesReply(std::span<const uint8_t> received, char decimalSeparator);

// Four bytes of a single, most significant first, as the window shows it:
// "00000000" when the first byte is 0x7F, else the float text cut to 9
// characters.
std::string valueText(std::span<const uint8_t, 4> bytes, char decimalSeparator);

}  // namespace tq::hart
