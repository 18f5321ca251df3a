#pragma once
// Drives the real window in tests: controls by object name, messages recorded
// instead of shown, the event loop run until something holds.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "support/pump.h"
#include "ui/TForm1.h"

namespace tq::ui {

using tq::testing::pumpFor;
using tq::testing::pumpUntil;

template <typename T>
T* control(TForm1& form, const char* name) {
  T* w = form.findChild<T*>(name);
  EXPECT_NE(w, nullptr) << name;
  return w;
}

// The receive handler's 300 ms pause, recorded instead of spent.
class RecordedPause : public engine::Sleeper {
 public:
  explicit RecordedPause(int* count) : count_(count) {}
  void sleepMs(int) override { ++*count_; }

 private:
  int* count_;
};

// A window that spends no real pause on a received block; `pauses` counts
// the pauses it would have taken.
inline std::unique_ptr<TForm1> quickWindow(int* pauses) {
  return std::make_unique<TForm1>(nullptr, std::make_unique<RecordedPause>(pauses));
}

// A quick window with its messages recorded, and the operator's actions on
// it by control name.
class WindowTest : public ::testing::Test {
 protected:
  WindowTest() {
    form->setMessageSink([this](const QString& m) { messages.push_back(m.toStdString()); });
  }

  void openPort(const std::string& path) {
    control<QComboBox>(*form, "SPREALCOM")->setCurrentText(QString::fromStdString(path));
    click("Button1");
    ASSERT_TRUE(form->engine().portOpen()) << lastMessage();
  }
  void click(const char* button) { control<QPushButton>(*form, button)->click(); }
  void choose(const char* combo, int index) { control<QComboBox>(*form, combo)->setCurrentIndex(index); }
  void type(const char* edit, const char* text) { control<QLineEdit>(*form, edit)->setText(text); }
  int index(const char* combo) { return control<QComboBox>(*form, combo)->currentIndex(); }
  QString text(const char* edit) { return control<QLineEdit>(*form, edit)->text(); }
  QString memo() { return control<QPlainTextEdit>(*form, "Memo10")->toPlainText(); }
  QTimer* timer(const char* name) { return form->findChild<QTimer*>(name); }
  std::string lastMessage() const { return messages.empty() ? std::string() : messages.back(); }
  // A query's answer stays pending: wait until it is shown and its parse ran.
  void query(const char* button, const char* marker) {
    click(button);
    ASSERT_TRUE(pumpUntil([&] { return memo().startsWith(marker) && !timer("Timer2")->isActive(); })) << button;
  }

  // The frames sent so far, as the journal holds them, each as text.
  std::vector<std::string> sentText() const {
    std::vector<std::string> frames;
    const journal::Journal& j = form->journal();
    for (size_t i = 0; i < j.size(); ++i) {
      if (j.at(i).direction == journal::Direction::Sent)
        frames.emplace_back(j.at(i).bytes->begin(), j.at(i).bytes->end());
    }
    return frames;
  }

  int pauses = 0;  // receive pauses counted instead of spent
  std::unique_ptr<TForm1> form = quickWindow(&pauses);
  std::vector<std::string> messages;
};

}  // namespace tq::ui
