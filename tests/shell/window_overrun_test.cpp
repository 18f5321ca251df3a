// The window under a flood it cannot keep up with: what was dropped is said
// in the status line, no box stops the operator, and the port stays usable.
#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStatusBar>
#include <thread>

#include "e2e/window_driver.h"
#include "serial/TComm.h"
#include "serial/block_framer.h"
#include "support/pty.h"

namespace tq::ui {
namespace {

class WindowOverrun : public WindowTest {};

TEST_F(WindowOverrun, DroppedBytesAreShownInTheStatusLineAndTheWindowStaysUsable) {
  testing::Pty pty;
  size_t delivered = 0;
  auto handler = form->Comm1->OnReceiveData;
  form->Comm1->OnReceiveData = [&](serial::TComm* sender, const uint8_t* buffer, uint16_t length) {
    delivered += length;
    handler(sender, buffer, length);
  };
  openPort(pty.slavePath());
  ASSERT_TRUE(form->Comm1->isOpen());

  // The window's thread is busy elsewhere while the line floods.
  const size_t total = 8 * serial::TComm::kMaxReceiveBacklog * serial::BlockFramer::kBlockSize;
  pty.write(std::string(total, 'f'));
  ASSERT_TRUE(pumpUntil([&] { return delivered + form->Comm1->receiveOverrunBytes() == total; }));

  const QRegularExpression shown(
      QStringLiteral("^Receive overrun at \\d\\d:\\d\\d:\\d\\d: (\\d+) bytes dropped since the port was opened$"));
  const auto match = shown.match(form->statusBar()->currentMessage());
  ASSERT_TRUE(match.hasMatch()) << form->statusBar()->currentMessage().toStdString();
  EXPECT_EQ(match.captured(1).toULongLong(), form->Comm1->receiveOverrunBytes());
  EXPECT_GT(form->Comm1->receiveOverrunBytes(), 0u);
  EXPECT_TRUE(messages.empty());

  click("Button6");
  pty.write("QV:21");
  EXPECT_TRUE(pumpUntil([&] { return index("ComboBox13") == 2; }));
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace tq::ui
