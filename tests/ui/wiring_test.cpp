// Each control event of the window reaches the handler named after it, and
// only operator actions do: selections made by program raise nothing.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <memory>
#include <string>
#include <vector>

#include "ui/TForm1.h"

namespace {

enum class Event { Click, Activate, SetText, DoubleClick, PageChange };

struct Wire {
  const char* control;
  Event event;
  const char* handler;
};

std::ostream& operator<<(std::ostream& os, const Wire& w) { return os << w.control << " -> " << w.handler; }

const Wire kWiring[] = {
    {"PageControl1", Event::PageChange, "PageControl1Change"},
    {"Button1", Event::Click, "Button1Click"},
    {"Button6", Event::Click, "Button6Click"},
    {"Button26", Event::Click, "Button26Click"},
    {"Button5", Event::Click, "Button5Click"},
    {"Button24", Event::Click, "Button24Click"},
    {"Button29", Event::Click, "Button29Click"},
    {"Button15", Event::Click, "Button15Click"},
    {"Button27", Event::Click, "Button27Click"},
    {"Button30", Event::Click, "Button30Click"},
    {"Button10", Event::Click, "Button10Click"},
    {"Button21", Event::Click, "Button21Click"},
    {"Button17", Event::Click, "Button17Click"},
    {"Button18", Event::Click, "Button18Click"},
    {"Button12", Event::Click, "Button12Click"},
    {"Button22", Event::Click, "Button22Click"},
    {"Button2", Event::Click, "Button2Click"},
    {"Edit14", Event::SetText, "Edit14Change"},
    {"Label8", Event::DoubleClick, "Label8DblClick"},
    {"Button23", Event::Click, "Button23Click"},
    {"Button31", Event::Click, "Button31Click"},
    {"ComboBox41", Event::Activate, "ComboBox41Change"},
    {"ComboBox17", Event::Activate, "ComboBox17Change"},
    {"Button61", Event::Click, "Button61Click"},
    {"Button62", Event::Click, "Button62Click"},
    {"Button63", Event::Click, "Button63Click"},
    {"Button64", Event::Click, "Button64Click"},
    {"Button41", Event::Click, "Button41Click"},
    {"Button42", Event::Click, "Button42Click"},
    {"Button45", Event::Click, "Button45Click"},
    {"Button77", Event::Click, "Button77Click"},
    {"Button33", Event::Click, "Button33Click"},
    {"Button34", Event::Click, "Button34Click"},
    {"Button19", Event::Click, "Button19Click"},
    {"Button25", Event::Click, "Button25Click"},
    {"Button8", Event::Click, "Button8Click"},
    {"Button11", Event::Click, "Button11Click"},
    {"Button3", Event::Click, "Button3Click"},
    {"Button9", Event::Click, "Button9Click"},
    {"ComboBox30", Event::Activate, "ComboBox30Change"},
    {"Button7", Event::Click, "Button7Click"},
    {"Button16", Event::Click, "Button16Click"},
    {"Button14", Event::Click, "Button14Click"},
    {"Button20", Event::Click, "Button20Click"},
    {"Button4", Event::Click, "Button4Click"},
    {"Button13", Event::Click, "Button13Click"},
};

// A window whose message boxes are recorded instead of shown, and whose port
// name points nowhere, so that "Open" cannot reach a real device.
class WiredWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    form_ = std::make_unique<tq::ui::TForm1>();
    form_->setMessageSink([this](const QString& text) { messages_.push_back(text.toStdString()); });
    auto* port = form_->findChild<QComboBox*>("SPREALCOM");
    ASSERT_NE(port, nullptr);
    port->setCurrentText("/nonexistent/tq580-test-port");
  }

  template <typename T>
  T* control(const char* name) {
    T* w = form_->findChild<T*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  void fire(const Wire& wire) {
    switch (wire.event) {
      case Event::Click:
        if (auto* b = control<QPushButton>(wire.control)) b->click();
        break;
      case Event::Activate:
        if (auto* c = control<QComboBox>(wire.control)) emit c->activated(0);
        break;
      case Event::SetText:
        if (auto* e = control<QLineEdit>(wire.control)) e->setText("002");
        break;
      case Event::DoubleClick:
        if (auto* l = control<QLabel>(wire.control)) QTest::mouseDClick(l, Qt::LeftButton);
        break;
      case Event::PageChange:
        if (auto* t = control<QTabWidget>(wire.control)) t->setCurrentIndex(2);
        break;
    }
  }

  std::unique_ptr<tq::ui::TForm1> form_;
  std::vector<std::string> messages_;
};

class WiringTest : public WiredWindow, public ::testing::WithParamInterface<Wire> {};

TEST_P(WiringTest, EventRunsItsHandler) {
  const Wire& wire = GetParam();
  ASSERT_NE(form_->lastHandler(), wire.handler);  // so a silent event cannot pass
  fire(wire);
  EXPECT_EQ(form_->lastHandler(), wire.handler);
}

INSTANTIATE_TEST_SUITE_P(Window, WiringTest, ::testing::ValuesIn(kWiring),
                         [](const ::testing::TestParamInfo<Wire>& info) { return std::string(info.param.control); });

TEST_F(WiredWindow, CreationHandlerRanOnce) { EXPECT_EQ(form_->lastHandler(), "FormCreate"); }

TEST_F(WiredWindow, SelectionsByProgramRaiseNoHandler) {
  for (const char* name : {"ComboBox41", "ComboBox17", "ComboBox30"}) {
    auto* box = control<QComboBox>(name);
    ASSERT_NE(box, nullptr);
    box->setCurrentIndex(box->count() - 1);
    box->setCurrentIndex(-1);
    EXPECT_EQ(form_->lastHandler(), "FormCreate") << name;
  }
}

TEST_F(WiredWindow, ControlsOutsideTheWiringRaiseNoHandler) {
  for (const char* name : {"ComboBox3", "ComboBox13", "FAMOUT1", "ROUT1"}) {
    if (auto* box = control<QComboBox>(name)) emit box->activated(0);
  }
  for (const char* name : {"Edit18", "Edit9", "Edit8"}) {
    if (auto* edit = control<QLineEdit>(name)) edit->setText("7");
  }
  if (auto* label = control<QLabel>("Label41")) QTest::mouseDClick(label, Qt::LeftButton);
  EXPECT_EQ(form_->lastHandler(), "FormCreate");
}

}  // namespace
