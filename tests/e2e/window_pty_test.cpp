// The window against a scripted module on a pty: open the port, send the
// communication query, see the reply decoded.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QMouseEvent>
#include <unistd.h>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <atomic>
#include <mutex>
#include <thread>

#include "serial/TComm.h"
#include "serial/port_discovery.h"
#include "support/pty.h"
#include "ui/TForm1.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

// Answers each communication query with a fixed reply.
class ScriptedModule {
 public:
  ScriptedModule(const testing::Pty& pty, std::string reply) : pty_(pty), reply_(std::move(reply)) {
    thread_ = std::thread([this] {
      std::string seen;
      while (!stop_) {
        seen += pty_.read(1, 50);
        if (seen.find("QQQ#QV#") != std::string::npos) {
          std::lock_guard lock(mutex_);
          received_ = seen;
          seen.clear();
          pty_.write(reply_);
        }
      }
    });
  }
  ~ScriptedModule() {
    stop_ = true;
    thread_.join();
  }
  std::string received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }

 private:
  const testing::Pty& pty_;
  std::string reply_;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::thread thread_;
};

TEST(WindowOverPty, OpenQueryAndDecodedReply) {
  testing::Pty pty;
  int pauses = 0;
  auto window = quickWindow(&pauses);
  TForm1& form = *window;
  std::vector<QString> messages;
  form.setMessageSink([&](const QString& m) { messages.push_back(m); });
  form.show();

  control<QComboBox>(form, "SPREALCOM")->setCurrentText(QString::fromStdString(pty.slavePath()));
  control<QComboBox>(form, "ComboBox11")->setCurrentText("15200");
  auto* open = control<QPushButton>(form, "Button1");
  open->click();
  ASSERT_TRUE(messages.empty()) << messages.front().toStdString();
  EXPECT_EQ(open->text(), "Close");
  ASSERT_TRUE(form.Comm1->isOpen());
  EXPECT_EQ(form.Comm1->BaudRate(), 15200u);

  ScriptedModule module(pty, "QV:21");
  control<QPushButton>(form, "Button6")->click();
  EXPECT_EQ(control<QLineEdit>(form, "Edit8")->text(), "QQQ#QV#");
  ASSERT_TRUE(pumpUntil([&] { return control<QComboBox>(form, "ComboBox13")->currentIndex() == 2; }));
  EXPECT_EQ(module.received(), "QQQ#QV#");
  EXPECT_EQ(control<QComboBox>(form, "ComboBox1")->currentIndex(), 1);
  EXPECT_EQ(control<QPlainTextEdit>(form, "Memo10")->toPlainText(), "QV:21");
  EXPECT_TRUE(control<QPushButton>(form, "Button23")->isEnabled());
  EXPECT_EQ(form.engine().pendingCode(), 0);
  EXPECT_TRUE(messages.empty());

  open->click();
  EXPECT_EQ(open->text(), "Open");
  EXPECT_FALSE(form.Comm1->isOpen());
  EXPECT_FALSE(control<QPushButton>(form, "Button6")->isEnabled());
}

TEST(WindowOverPty, AMissingDeviceIsReportedAndThePortStaysClosed) {
  TForm1 form;
  std::vector<QString> messages;
  form.setMessageSink([&](const QString& m) { messages.push_back(m); });
  control<QComboBox>(form, "SPREALCOM")->setCurrentText("/dev/tq580-not-here");
  control<QPushButton>(form, "Button1")->click();
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0], "Error opening serial port");
  EXPECT_EQ(control<QPushButton>(form, "Button1")->text(), "Open");
  EXPECT_FALSE(form.engine().portOpen());
}

TEST(WindowPortList, OpeningTheListOffersDevicesThatAppearedAfterStart) {
  const char* link = serial::kSimulatorLink;
  if (QFileInfo::exists(link) || QFileInfo(link).isSymLink()) GTEST_SKIP() << link << " is in use";
  TForm1 form;
  auto* ports = control<QComboBox>(form, "SPREALCOM");
  ASSERT_EQ(ports->findText(link), -1);
  ports->setCurrentText("/dev/ttyUSB7");  // what the operator typed stays

  testing::Pty pty;
  ASSERT_EQ(::symlink(pty.slavePath().c_str(), link), 0);
  struct RemoveLink {
    const char* path;
    ~RemoveLink() { ::unlink(path); }
  } removeLink{link};
  QMouseEvent press(QEvent::MouseButtonPress, QPointF(ports->width() - 5, 5),
                    ports->mapToGlobal(QPointF(ports->width() - 5, 5)), Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
  QCoreApplication::sendEvent(ports, &press);
  ports->hidePopup();
  EXPECT_GE(ports->findText(link), 12);
  EXPECT_EQ(ports->itemText(3), "COM4");
  EXPECT_EQ(ports->currentText(), "/dev/ttyUSB7");

  ::unlink(link);
  QCoreApplication::sendEvent(ports, &press);
  ports->hidePopup();
  EXPECT_EQ(ports->findText(link), -1);
}

}  // namespace
}  // namespace tq::ui
