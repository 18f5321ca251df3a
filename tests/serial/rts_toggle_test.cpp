// The RS485 toggle mode (RTS raised only while sending) against a driver
// that has one. A pty has none, so this program stands in for the driver:
// it answers the RS485 requests of every descriptor itself and passes every
// other request on.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <linux/serial.h>
#include <sys/ioctl.h>

#include <QCoreApplication>
#include <cstdarg>
#include <cstring>
#include <functional>
#include <mutex>

#include "serial/TComm.h"
#include "support/pty.h"

namespace {

struct FakeRs485Driver {
  std::mutex mutex;
  serial_rs485 record{};
};

FakeRs485Driver& driver() {
  static FakeRs485Driver d;
  return d;
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) __THROW {
  va_list args;
  va_start(args, request);
  void* arg = va_arg(args, void*);
  va_end(args);
  if (request == TIOCGRS485 || request == TIOCSRS485) {
    std::lock_guard lock(driver().mutex);
    if (request == TIOCGRS485)
      std::memcpy(arg, &driver().record, sizeof(serial_rs485));
    else
      std::memcpy(&driver().record, arg, sizeof(serial_rs485));
    return 0;
  }
  using Real = int (*)(int, unsigned long, ...);
  static const auto real = reinterpret_cast<Real>(::dlsym(RTLD_NEXT, "ioctl"));
  return real(fd, request, arg);
}

namespace tq::serial {
namespace {

serial_rs485 driverRecord() {
  std::lock_guard lock(driver().mutex);
  return driver().record;
}

TEST(RtsToggle, IsOnOnlyWhileAskedForAndLeavesTheDriverAsItWas) {
  // What the driver held before the tool came: its own delays and flags.
  serial_rs485 before{};
  before.flags = SER_RS485_RTS_AFTER_SEND | SER_RS485_RX_DURING_TX;
  before.delay_rts_before_send = 7;
  {
    std::lock_guard lock(driver().mutex);
    driver().record = before;
  }
  tq::testing::Pty pty;
  TComm comm;
  comm.CommName = pty.slavePath();

  struct Step {
    const char* what;
    std::function<void()> act;
    bool toggleOn;
  };
  const Step steps[] = {
      {"opened in toggle mode",
       [&] {
         comm.setRtsControl(TRtsControl::RtsTransmissionAvailable);
         comm.OpenPort();
       },
       true},
      {"RTS raised instead", [&] { comm.setRtsControl(TRtsControl::RtsEnable); }, false},
      {"toggle mode again", [&] { comm.setRtsControl(TRtsControl::RtsTransmissionAvailable); }, true},
      {"another line setting changed", [&] { comm.setBaudRate(19200); }, true},
      {"closed", [&] { comm.ClosePort(); }, false},
      {"reopened with RTS low",
       [&] {
         comm.setRtsControl(TRtsControl::RtsDisable);
         comm.OpenPort();
       },
       false},
  };
  for (const Step& step : steps) {
    SCOPED_TRACE(step.what);
    step.act();
    const serial_rs485 now = driverRecord();
    if (step.toggleOn) {
      EXPECT_EQ(now.flags & (SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND | SER_RS485_RTS_AFTER_SEND),
                uint32_t{SER_RS485_ENABLED | SER_RS485_RTS_ON_SEND});
      EXPECT_EQ(now.flags & SER_RS485_RX_DURING_TX, uint32_t{SER_RS485_RX_DURING_TX});
      EXPECT_EQ(now.delay_rts_before_send, 7u);
    } else {
      EXPECT_EQ(std::memcmp(&now, &before, sizeof now), 0) << "flags " << now.flags;
    }
  }
}

}  // namespace
}  // namespace tq::serial

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
