// The status label's text and the names the dissector and the page share.
#include "hart/status.h"

#include <gtest/gtest.h>

namespace tq::hart {
namespace {

TEST(StatusSummary, SaysTheResponseAndEveryStatusBit) {
  const struct {
    uint8_t first, second;
    std::string text;
  } cases[] = {
      {0, 0x00, "Response 0 (success); status 00"},
      {0, 0x40, "Response 0 (success); status 40: configuration changed"},
      {0, 0x14, "Response 0 (success); status 14: more status available, loop current saturated"},
      {0, 0xFF,
       "Response 0 (success); status FF: device malfunction, configuration changed, cold start, more status "
       "available, loop current fixed, loop current saturated, non-primary variable out of limits, primary "
       "variable out of limits"},
      {64, 0x00, "Response 64 (command not implemented); status 00"},
      {7, 0x80, "Response 7 (in write protect mode); status 80: device malfunction"},
      {9, 0x00, "Response 9 (command-specific); status 00"},
      {127, 0x01, "Response 127 (command-specific); status 01: primary variable out of limits"},
      // Warnings: the data came with them.
      {8, 0x00, "Response 8 (command-specific warning); status 00"},
      {31, 0x00, "Response 31 (command-specific warning); status 00"},
      {96, 0x00, "Response 96 (device-specific warning); status 00"},
      {111, 0x00, "Response 111 (device-specific warning); status 00"},
      {112, 0x00, "Response 112 (command-specific); status 00"},
      {28, 0x00, "Response 28 (invalid range units code); status 00"},
      // Bit 7 set: the byte holds communication errors and the second byte
      // is no status.
      {0xA8, 0x40, "Communication error A8: the instrument received the request garbled (overrun, check byte)"},
      {0xFF, 0x00,
       "Communication error FF: the instrument received the request garbled (parity, overrun, framing, check "
       "byte, bit 04, buffer overflow, bit 01)"},
      {0x80, 0x00, "Communication error 80: the instrument received the request garbled"},
  };
  for (const auto& c : cases) EXPECT_EQ(statusSummary(c.first, c.second), c.text) << int{c.first};
}

TEST(StatusNames, ExtendedStatusAndCommandNames) {
  EXPECT_EQ(joined(extendedStatusBits(0x3F)),
            "function check, out of specification, failure, critical power failure, device variable alert, "
            "maintenance required");
  EXPECT_EQ(joined(extendedStatusBits(0xC1)), "bit 80, bit 40, maintenance required");
  const struct {
    uint8_t command;
    std::string_view name;
  } names[] = {{0, "Read Unique Identifier"},
               {3, "Read Dynamic Variables And Loop Current"},
               {13, "Read Tag, Descriptor, Date"},
               {22, "Write Long Tag"},
               {35, "Write Primary Variable Range Values"},
               {38, "Reset Configuration Changed Flag"},
               {48, "Read Additional Device Status"},
               {4, ""},
               {23, ""},
               {130, ""},
               {255, ""}};
  for (const auto& n : names) EXPECT_EQ(commandName(n.command), n.name) << int{n.command};
  EXPECT_EQ(responseText(64), "response 64: command not implemented");
  EXPECT_EQ(responseText(0), "response 0: success");
}

}  // namespace
}  // namespace tq::hart
