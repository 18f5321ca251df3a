// The line settings as they reach the kernel's termios2 record. A pty drops
// parity and stop bits, so this is where they are checked.
#include "serial/termios2_mapping.h"

#include <gtest/gtest.h>

#include <cstring>

namespace tq::serial {
namespace {

// A record as a device in some other program's hands might have it: every
// bit set, so any bit the mapping forgets to clear shows.
termios2 everythingSet() {
  termios2 tio;
  std::memset(&tio, 0xFF, sizeof tio);
  return tio;
}

LineSettings with(void (*change)(LineSettings&)) {
  LineSettings s;
  change(s);
  return s;
}

struct MappingCase {
  const char* name;
  LineSettings settings;
  tcflag_t cflagMask, cflag;
  tcflag_t iflagMask, iflag;
};
void PrintTo(const MappingCase& c, std::ostream* os) { *os << c.name; }

constexpr tcflag_t kParityBits = PARENB | PARODD | CMSPAR;
constexpr tcflag_t kFlowIn = IXON | IXOFF | IXANY;

class TermiosMapping : public ::testing::TestWithParam<MappingCase> {};

TEST_P(TermiosMapping, SetsTheLineAsAskedAndTheRestRaw) {
  const MappingCase& c = GetParam();
  const termios2 tio = withLineSettings(everythingSet(), c.settings);
  EXPECT_EQ(tio.c_cflag & c.cflagMask, c.cflag);
  EXPECT_EQ(tio.c_iflag & c.iflagMask, c.iflag);
  // Whatever the case, the line is raw and reads return from one byte.
  EXPECT_EQ(tio.c_lflag & (ECHO | ECHONL | ICANON | ISIG | IEXTEN), 0u);
  EXPECT_EQ(tio.c_oflag & OPOST, 0u);
  EXPECT_EQ(tio.c_iflag & (IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IGNPAR), 0u);
  EXPECT_EQ(tio.c_cflag & (CREAD | CLOCAL), tcflag_t{CREAD | CLOCAL});
  EXPECT_EQ(tio.c_cflag & (CBAUD | (CBAUD << IBSHIFT)), tcflag_t{BOTHER | (BOTHER << IBSHIFT)});
  EXPECT_EQ(tio.c_ispeed, c.settings.baudRate);
  EXPECT_EQ(tio.c_ospeed, c.settings.baudRate);
  EXPECT_EQ(tio.c_cc[VMIN], 1);
  EXPECT_EQ(tio.c_cc[VTIME], 0);
  EXPECT_EQ(tio.c_cc[VSTART], c.settings.xonChar);
  EXPECT_EQ(tio.c_cc[VSTOP], c.settings.xoffChar);
}

INSTANTIATE_TEST_SUITE_P(Settings, TermiosMapping,
                         ::testing::Values(
                             // Parity: none, odd, even, mark, space; checked on input only when asked and there is one.
                             MappingCase{"ParityNone", with([](auto& s) {
                                           s.parity = Parity::None;
                                           s.parityCheck = true;
                                         }),
                                         kParityBits, 0, INPCK, 0},
                             MappingCase{"ParityOdd", with([](auto& s) {
                                           s.parity = Parity::Odd;
                                           s.parityCheck = true;
                                         }),
                                         kParityBits, PARENB | PARODD, INPCK, INPCK},
                             MappingCase{"ParityEven", with([](auto& s) {
                                           s.parity = Parity::Even;
                                           s.parityCheck = true;
                                         }),
                                         kParityBits, PARENB, INPCK, INPCK},
                             MappingCase{"ParityMark", with([](auto& s) { s.parity = Parity::Mark; }), kParityBits,
                                         PARENB | CMSPAR | PARODD, INPCK, 0},
                             MappingCase{"ParitySpace", with([](auto& s) { s.parity = Parity::Space; }), kParityBits,
                                         PARENB | CMSPAR, INPCK, 0},
                             // Data bits.
                             MappingCase{"FiveDataBits", with([](auto& s) { s.dataBits = 5; }), CSIZE, CS5, 0, 0},
                             MappingCase{"SixDataBits", with([](auto& s) { s.dataBits = 6; }), CSIZE, CS6, 0, 0},
                             MappingCase{"SevenDataBits", with([](auto& s) { s.dataBits = 7; }), CSIZE, CS7, 0, 0},
                             MappingCase{"EightDataBits", with([](auto& s) { s.dataBits = 8; }), CSIZE, CS8, 0, 0},
                             // Stop bits: one; one and a half and two both ask for the longer stop.
                             MappingCase{"OneStopBit", with([](auto& s) { s.stopBits = 0; }), CSTOPB, 0, 0, 0},
                             MappingCase{"OneAndAHalfStopBits", with([](auto& s) {
                                           s.stopBits = 1;
                                           s.dataBits = 5;
                                         }),
                                         CSTOPB | CSIZE, CSTOPB | CS5, 0, 0},
                             MappingCase{"TwoStopBits", with([](auto& s) { s.stopBits = 2; }), CSTOPB, CSTOPB, 0, 0},
                             // Flow control: none at all, hardware, software each way.
                             MappingCase{"NoFlowControl", with([](auto&) {}), CRTSCTS, 0, kFlowIn, 0},
                             MappingCase{"HardwareFlow", with([](auto& s) { s.ctsFlow = true; }), CRTSCTS, CRTSCTS,
                                         kFlowIn, 0},
                             MappingCase{"XonXoffOut", with([](auto& s) {
                                           s.xonXoffOut = true;
                                           s.xonChar = 0x21;
                                           s.xoffChar = 0x23;
                                         }),
                                         CRTSCTS, 0, kFlowIn, IXON},
                             MappingCase{"XonXoffIn", with([](auto& s) {
                                           s.xonXoffIn = true;
                                           s.baudRate = 15200;
                                         }),
                                         CRTSCTS, 0, kFlowIn, IXOFF}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tq::serial
