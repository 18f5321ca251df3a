#pragma once
// Types of the serial port component that do not need the window toolkit.
#include <cstdint>
#include <stdexcept>

#include "common/line_setting.h"

namespace tq::serial {

using TParity = tq::Parity;
enum class TStopBits { _1, _1_5, _2 };
enum class TByteSize { _5, _6, _7, _8 };
enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };

// Every failure to open the port; the message is what the operator reads.
class ECommsError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
// The device opened but refused the rate asked for: another rate may do.
class ERateRefused : public ECommsError {
 public:
  using ECommsError::ECommsError;
};

// Line-error flags reported with OnReceiveError.
namespace line_error {
constexpr uint32_t kReceiveQueueOverflow = 0x0001;
constexpr uint32_t kOverrun = 0x0002;
constexpr uint32_t kParity = 0x0004;
constexpr uint32_t kFraming = 0x0008;
constexpr uint32_t kBreak = 0x0010;
}  // namespace line_error

// Modem events reported with OnModemStateChange.
namespace modem_event {
constexpr uint32_t kRing = 4;
constexpr uint32_t kCarrierChange = 8;
}  // namespace modem_event

}  // namespace tq::serial
