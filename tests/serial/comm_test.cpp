#include <gtest/gtest.h>
#include <sys/file.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <cstdio>
#include <functional>
#include <numeric>
#include <thread>

#include "serial/TComm.h"
#include "serial/line_settings.h"
#include "support/process_stats.h"
#include "support/pty.h"
#include "support/pump.h"

namespace tq::serial {
namespace {

using tq::testing::Pty;

using tq::testing::pumpFor;
using tq::testing::pumpUntil;

struct Events {
  std::vector<std::string> blocks;
  int hangups = 0;
  int sendEmpty = 0;
  std::string received() const { return std::accumulate(blocks.begin(), blocks.end(), std::string()); }
};

class CommTest : public ::testing::Test {
 protected:
  void SetUp() override {
    comm.CommName = pty.slavePath();
    // As the window runs it: every byte value is data, none is flow control.
    comm.setOutx_XonXoffFlow(false);
    comm.setInx_XonXoffFlow(false);
    comm.OnReceiveData = [this](TComm* sender, const uint8_t* buffer, uint16_t length) {
      EXPECT_EQ(sender, &comm);
      EXPECT_EQ(buffer[length], 0);  // the block is followed by a zero byte
      events.blocks.emplace_back(reinterpret_cast<const char*>(buffer), length);
    };
    comm.OnRequestHangup = [this](TComm*) { ++events.hangups; };
    comm.OnSendDataEmpty = [this](TComm*) { ++events.sendEmpty; };
  }
  bool writeText(const std::string& s) {
    return comm.WriteData(reinterpret_cast<const uint8_t*>(s.data()), static_cast<uint16_t>(s.size()));
  }

  Pty pty;
  TComm comm;
  Events events;
};

TEST_F(CommTest, OpensClosesAndReopens) {
  EXPECT_FALSE(comm.isOpen());
  comm.ClosePort();  // closing a closed port does nothing
  for (int i = 0; i < 3; ++i) {
    comm.OpenPort();
    EXPECT_TRUE(comm.isOpen());
    comm.ClosePort();
    EXPECT_FALSE(comm.isOpen());
  }
}

TEST_F(CommTest, OpenFailuresRaiseTheirMessageAndLeaveThePortClosed) {
  char regular[] = "/tmp/tq580-regular-XXXXXX";
  const int fileFd = ::mkstemp(regular);
  ASSERT_GE(fileFd, 0);
  ::close(fileFd);

  TComm holder;  // another opener holding the device
  holder.CommName = pty.slavePath();

  struct Case {
    const char* what;
    std::function<void()> arrange;
    std::string name;
    const char* message;
    bool rateRefused = false;  // another rate may open it (the module finder goes on)
  };
  const Case cases[] = {
      {"missing device", [] {}, "/dev/tq580-no-such-port", "Error opening serial port"},
      {"COM name without a device", [] {}, "COM200", "Error opening serial port"},
      {"regular file", [] {}, regular, "File handle is not a comm handle "},
      {"baud rate 0", [&] { comm.setBaudRate(0); }, pty.slavePath(), "Baud rate 0 is not supported by this serial port",
       true},
      {"held by another opener", [&] { holder.OpenPort(); }, pty.slavePath(), "Error opening serial port"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const int fds = tq::testing::openDescriptors();
    c.arrange();
    const int fdsBefore = tq::testing::openDescriptors();
    comm.CommName = c.name;
    try {
      comm.OpenPort();
      ADD_FAILURE() << "opened";
    } catch (const ECommsError& e) {
      EXPECT_STREQ(e.what(), c.message);
      EXPECT_EQ(dynamic_cast<const ERateRefused*>(&e) != nullptr, c.rateRefused);
    }
    EXPECT_FALSE(comm.isOpen());
    EXPECT_EQ(tq::testing::openDescriptors(), fdsBefore);  // the attempt released what it took
    holder.ClosePort();
    comm.setBaudRate(9600);
    EXPECT_EQ(tq::testing::openDescriptors(), fds);
  }
  // After failures, an open starts from the closed state.
  comm.CommName = pty.slavePath();
  comm.OpenPort();
  EXPECT_TRUE(comm.isOpen());
  try {
    comm.OpenPort();
    ADD_FAILURE() << "opened twice";
  } catch (const ECommsError& e) {
    EXPECT_STREQ(e.what(), "This serial port already opened");
  }
  EXPECT_TRUE(comm.isOpen());  // the open port is untouched
  pty.write("still here");
  EXPECT_TRUE(pumpUntil([&] { return events.received() == "still here"; }));
  ::unlink(regular);
}

TEST_F(CommTest, TheRequestedBaudRateReachesTheDeviceEvenWhenItIsNotAStandardOne) {
  for (uint32_t baud : {9600u, 15200u, 57600u, 1200u}) {
    comm.setBaudRate(baud);
    comm.OpenPort();
    uint32_t actual = 0;
    ASSERT_EQ(readBaudRate(pty.master(), actual), 0);
    EXPECT_EQ(actual, baud);
    comm.ClosePort();
  }
}

TEST_F(CommTest, LineSettingsAreReappliedOnlyWhenAValueChangesOnAnOpenPort) {
  comm.setBaudRate(19200);  // closed: stored only
  EXPECT_EQ(comm.lineSettingsApplied(), 0);
  comm.OpenPort();
  const int atOpen = comm.lineSettingsApplied();
  EXPECT_EQ(atOpen, 1);
  comm.setBaudRate(19200);
  comm.setDtrControl(comm.DtrControl());
  comm.Parity = TParity::Even;  // a plain store
  comm.CommName = "/dev/elsewhere";
  EXPECT_EQ(comm.lineSettingsApplied(), atOpen);
  comm.setBaudRate(38400);
  comm.setRtsControl(TRtsControl::RtsDisable);
  EXPECT_EQ(comm.lineSettingsApplied(), atOpen + 2);
  uint32_t actual = 0;
  ASSERT_EQ(readBaudRate(pty.master(), actual), 0);
  EXPECT_EQ(actual, 38400u);
}

TEST_F(CommTest, WriteRefusesEmptyFramesAndClosedPorts) {
  EXPECT_FALSE(writeText("QQQ#QV#"));  // closed
  comm.OpenPort();
  EXPECT_FALSE(comm.WriteData(reinterpret_cast<const uint8_t*>("x"), 0));
  EXPECT_TRUE(writeText("QQQ#QV#"));
  EXPECT_EQ(pty.read(7), "QQQ#QV#");
  comm.ClosePort();
  EXPECT_FALSE(writeText("QQQ#QV#"));
}

TEST_F(CommTest, ABurstArrivesAsOneBlock) {
  comm.OpenPort();
  pty.write("QV:12 and the rest of a reply#");
  ASSERT_TRUE(pumpUntil([&] { return !events.blocks.empty(); }));
  // The threads joined, every block they read is in the queue: nothing
  // can follow the ones delivered now.
  comm.ClosePort();
  QCoreApplication::processEvents();
  EXPECT_EQ(events.blocks, std::vector<std::string>{"QV:12 and the rest of a reply#"});
}

TEST_F(CommTest, ASilenceLongerThanTheIntervalSplitsAReply) {
  comm.OpenPort();
  QElapsedTimer sinceWrite;
  sinceWrite.start();
  pty.write("QX1:first");
  // The second part follows only once the first has been delivered, so the
  // silence between them is longer than the interval however slow the
  // machine is.
  ASSERT_TRUE(pumpUntil([&] { return !events.blocks.empty(); }));
  EXPECT_GE(sinceWrite.elapsed(), comm.ReadIntervalTimeout());  // the silence ended the block
  pty.write("second");
  ASSERT_TRUE(pumpUntil([&] { return events.blocks.size() >= 2; }));
  comm.ClosePort();  // as above: nothing can follow
  QCoreApplication::processEvents();
  EXPECT_EQ(events.blocks, (std::vector<std::string>{"QX1:first", "second"}));
}

TEST_F(CommTest, MoreThan2048BytesArriveAsSeveralBlocksWithNothingLost) {
  comm.OpenPort();
  std::string flood(7000, '\0');
  for (size_t i = 0; i < flood.size(); ++i) flood[i] = static_cast<char>(i * 7 % 256);
  pty.write(flood);
  ASSERT_TRUE(pumpUntil([&] { return events.received().size() >= flood.size(); }))
      << events.received().size() << " in " << events.blocks.size();
  EXPECT_EQ(events.received(), flood);
  EXPECT_GE(events.blocks.size(), 4u);
  for (const auto& b : events.blocks) EXPECT_LE(b.size(), 2048u);
}

TEST_F(CommTest, LineSettingsDecideWhichBytesReachTheApplication) {
  struct Case {
    const char* what;
    bool xonXoff;
    bool ignoreNull;
    std::string sent;
    std::string delivered;
  };
  const Case cases[] = {
      {"raw", false, false, std::string("a\x11\x13\0b", 5), std::string("a\x11\x13\0b", 5)},
      {"xon/xoff", true, false, std::string("a\x11\x13\0b", 5), std::string("a\0b", 3)},
      {"null bytes ignored", false, true, std::string("a\x11\x13\0b", 5),
       std::string("a\x11\x13"
                   "b")},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    events.blocks.clear();
    comm.setOutx_XonXoffFlow(c.xonXoff);
    comm.setInx_XonXoffFlow(c.xonXoff);
    comm.setIgnoreNullChar(c.ignoreNull);
    comm.OpenPort();
    pty.write(c.sent);
    EXPECT_TRUE(pumpUntil([&] { return !events.blocks.empty(); }));
    EXPECT_EQ(events.received(), c.delivered);
    comm.ClosePort();
  }
}

TEST_F(CommTest, AFloodWhileTheOwnerIsBusyIsBoundedCountedAndReceptionGoesOn) {
  int overruns = 0;
  comm.OnReceiveError = [&](TComm*, uint32_t errors) {
    EXPECT_EQ(errors, line_error::kReceiveQueueOverflow);
    ++overruns;
  };
  comm.OpenPort();
  // The owner's thread handles no events while the far end floods. The
  // write returns once the reader has taken all but the pty's own buffer,
  // far less than the flood: the rest had to be dropped.
  const size_t total = 8 * TComm::kMaxReceiveBacklog * BlockFramer::kBlockSize;
  pty.write(std::string(total, 'f'));
  QElapsedTimer waited;
  waited.start();
  while (comm.receiveBacklog() < TComm::kMaxReceiveBacklog && waited.elapsed() < 5000)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(comm.receiveBacklog(), TComm::kMaxReceiveBacklog);

  // Every byte is either delivered or counted as dropped.
  ASSERT_TRUE(pumpUntil([&] { return events.received().size() + comm.receiveOverrunBytes() == total; }))
      << events.received().size() << " delivered, " << comm.receiveOverrunBytes() << " dropped";
  EXPECT_GT(comm.receiveOverrunBytes(), 0u);
  EXPECT_GT(overruns, 0);

  // Once the flood is over, a reply comes through whole.
  events.blocks.clear();
  pty.write("QV:12#");
  ASSERT_TRUE(pumpUntil([&] { return !events.blocks.empty(); }));
  EXPECT_EQ(events.blocks.back(), "QV:12#");
  EXPECT_EQ(comm.receiveBacklog(), 0);
}

TEST_F(CommTest, EventsOfOtherSendersAreNotTakenForTheComponentsOwn) {
  int raised = 0;
  comm.OnReceiveData = [&](TComm*, const uint8_t*, uint16_t) { ++raised; };
  comm.OnReceiveError = [&](TComm*, uint32_t) { ++raised; };
  comm.OnRequestHangup = [&](TComm*) { ++raised; };
  comm.OnModemStateChange = [&](TComm*, uint32_t) { ++raised; };
  comm.OnSendDataEmpty = [&](TComm*) { ++raised; };
  for (int n = 0; n <= 8; ++n)
    QCoreApplication::postEvent(&comm, new QEvent(static_cast<QEvent::Type>(QEvent::User + n)));
  QCoreApplication::postEvent(&comm, new QEvent(static_cast<QEvent::Type>(QEvent::registerEventType())));
  QCoreApplication::sendPostedEvents(&comm);
  EXPECT_EQ(raised, 0);
}

TEST_F(CommTest, ABlockReadBeforeACloseIsDeliveredAfterItAsOneOfAnEarlierOpen) {
  std::vector<bool> fromThisOpen;
  comm.OnReceiveData = [this, &fromThisOpen](TComm*, const uint8_t* buffer, uint16_t length) {
    events.blocks.emplace_back(reinterpret_cast<const char*>(buffer), length);
    fromThisOpen.push_back(comm.deliveredBlockFromThisOpen());
  };
  comm.OpenPort();
  pty.write("late answer");
  // Read and posted, not yet taken by this thread.
  QElapsedTimer waited;
  waited.start();
  while (comm.receiveBacklog() == 0 && waited.elapsed() < 5000)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_EQ(comm.receiveBacklog(), 1);
  comm.ClosePort();
  comm.OpenPort();
  pty.write("answer");
  ASSERT_TRUE(pumpUntil([&] { return events.blocks.size() == 2; }));
  EXPECT_EQ(events.blocks, (std::vector<std::string>{"late answer", "answer"}));
  EXPECT_EQ(fromThisOpen, (std::vector<bool>{false, true}));
}

TEST_F(CommTest, FramesWrittenBackToBackArriveInOrder) {
  comm.OpenPort();
  std::string expected;
  for (int i = 0; i < 200; ++i) {
    const std::string frame = "F" + std::to_string(i) + std::string(static_cast<size_t>(i % 37), '.') + "#";
    ASSERT_TRUE(writeText(frame));
    expected += frame;
  }
  EXPECT_EQ(pty.read(expected.size()), expected);
  EXPECT_TRUE(pumpUntil([&] { return comm.sendDataEmpty() && events.sendEmpty > 0; }));
}

TEST_F(CommTest, ClosingDuringAPendingWriteEndsAtOnceWithoutAHangup) {
  comm.OpenPort();
  // Nobody reads the far end: the driver's queue fills and the write waits.
  const std::string chunk(60000, 'w');
  for (int i = 0; i < 4; ++i) ASSERT_TRUE(writeText(chunk));
  // Only gives the write thread time to reach its blocked write; a write
  // blocked in the kernel cannot be seen from here. The close must end the
  // thread at whatever point it has reached, so no outcome hangs on it.
  pumpFor(100);
  EXPECT_FALSE(comm.sendDataEmpty());
  comm.ClosePort();
  EXPECT_FALSE(comm.isOpen());
  QCoreApplication::processEvents();  // the threads joined: all they posted is delivered now
  EXPECT_EQ(events.hangups, 0);
}

TEST_F(CommTest, APeerHangingUpIsReportedAndEndsTheReceiveThreadWithoutSpinning) {
  const int threadsBefore = tq::testing::threads();
  comm.OpenPort();
  EXPECT_EQ(tq::testing::threads(), threadsBefore + 2);
  pty.write("last words");
  ASSERT_TRUE(pumpUntil([&] { return events.received() == "last words"; }));
  pty.closeMaster();
  ASSERT_TRUE(pumpUntil([&] { return events.hangups > 0; }));
  // The receive thread has ended rather than looping on the dead device.
  EXPECT_TRUE(pumpUntil([&] { return tq::testing::threads() == threadsBefore + 1; }));
  EXPECT_TRUE(comm.isOpen());  // the component never closes itself
  // A write to the dead device ends the transmit thread with its own report.
  EXPECT_TRUE(writeText("anyone?"));
  EXPECT_TRUE(pumpUntil([&] { return events.hangups == 2 && tq::testing::threads() == threadsBefore; }));
  comm.ClosePort();
  EXPECT_FALSE(comm.isOpen());
  EXPECT_EQ(tq::testing::threadsSettledAt(threadsBefore), threadsBefore);
}

TEST_F(CommTest, NoDescriptorOrThreadIsLeftAfterManyOpenCloseCycles) {
  const int fds = tq::testing::openDescriptors();
  const int threads = tq::testing::threads();
  for (int i = 0; i < 200; ++i) {
    comm.OpenPort();
    if (i % 20 == 0) writeText("cycle");  // some cycles close with output queued
    comm.ClosePort();
  }
  EXPECT_EQ(tq::testing::openDescriptors(), fds);
  EXPECT_EQ(tq::testing::threadsSettledAt(threads), threads);
}

TEST_F(CommTest, DestroyingAnOpenComponentStopsItsThreads) {
  const int threads = tq::testing::threads();
  {
    TComm other;
    other.CommName = pty.slavePath();
    other.OpenPort();
    EXPECT_EQ(tq::testing::threads(), threads + 2);
  }
  EXPECT_EQ(tq::testing::threadsSettledAt(threads), threads);
}

}  // namespace
}  // namespace tq::serial

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  // A thread sanitizer starts a helper thread of its own with the first
  // thread of the process; started here, it is part of every test's baseline
  // thread count.
  std::thread([] {}).join();
  ::testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
