// The real window's side of the assignments: what a decoder's change does to
// each kind of widget, and that every control name the handlers and the
// reply tables use exists in the window description.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <set>
#include <string>

#include "e2e/window_driver.h"
#include "ui/window_view.h"

namespace tq::ui {
namespace {

struct Change {
  Assignment assignment;
  std::function<QString(TForm1&)> read;
  QString expected;
};

QString comboIndex(TForm1& f, const char* name) { return QString::number(control<QComboBox>(f, name)->currentIndex()); }

QString devices(TForm1& f) {
  auto* list = control<QComboBox>(f, "ComboBox41");
  return QString("%1 items, %2 last, #%3")
      .arg(list->count())
      .arg(list->itemText(list->count() - 1))
      .arg(list->currentIndex());
}

TEST(WindowView, AppliesEachKindOfChangeToTheRealWidgets) {
  TForm1 form;
  form.show();
  std::vector<QString> messages;
  WindowView view(form, [&](const QString& m) { messages.push_back(m); });
  const Change changes[] = {
      {Assignment::select("ComboBox2", 4), [](TForm1& f) { return comboIndex(f, "ComboBox2"); }, "4"},
      // An index beyond the items, or a negative one, leaves no selection.
      {Assignment::select("ComboBox7", 7), [](TForm1& f) { return comboIndex(f, "ComboBox7"); }, "-1"},
      {Assignment::select("ComboBox34", -2), [](TForm1& f) { return comboIndex(f, "ComboBox34"); }, "-1"},
      {Assignment::setText("Edit14", "005"), [](TForm1& f) { return control<QLineEdit>(f, "Edit14")->text(); }, "005"},
      {Assignment::setText("Label19", "40011"), [](TForm1& f) { return control<QLabel>(f, "Label19")->text(); },
       "40011"},
      {Assignment::setText("Button1", "Close"), [](TForm1& f) { return control<QPushButton>(f, "Button1")->text(); },
       "Close"},
      {Assignment::setText("Memo10", "QX1#\xC2\xB5"),
       [](TForm1& f) { return control<QPlainTextEdit>(f, "Memo10")->toPlainText(); },
       QString::fromUtf8("QX1#\xC2\xB5")},
      {Assignment::setText("SPREALCOM", "/dev/ttyUSB3"),
       [](TForm1& f) { return control<QComboBox>(f, "SPREALCOM")->currentText(); }, "/dev/ttyUSB3"},
      {Assignment::enable("Button23", false),
       [](TForm1& f) { return QString::number(control<QPushButton>(f, "Button23")->isEnabled()); }, "0"},
      {Assignment::show("GroupBox13", false),
       [](TForm1& f) { return QString::number(!control<QGroupBox>(f, "GroupBox13")->isHidden()); }, "0"},
      {Assignment::show("GroupBox13", true),
       [](TForm1& f) { return QString::number(!control<QGroupBox>(f, "GroupBox13")->isHidden()); }, "1"},
      {Assignment::check("CheckBox1", true),
       [](TForm1& f) { return QString::number(control<QAbstractButton>(f, "CheckBox1")->isChecked()); }, "1"},
      // A new item list keeps the selection where its item still exists.
      {Assignment::setItems("ComboBox41", {"Device 0", "Device 1", "Device 2", "Device 3"}), devices,
       "4 items, Device 3 last, #0"},
      {Assignment::select("ComboBox41", 3), devices, "4 items, Device 3 last, #3"},
      {Assignment::setItems("ComboBox41", {"Device 0"}), devices, "1 items, Device 0 last, #-1"},
  };
  for (const Change& c : changes) {
    view.apply(c.assignment);
    EXPECT_EQ(c.read(form), c.expected) << c.assignment.control;
  }
  EXPECT_EQ(view.text("Edit14"), "005");
  EXPECT_EQ(view.selectedIndex("ComboBox2"), 4);
  EXPECT_TRUE(view.checked("CheckBox1"));
  view.showMessage("Data eeore!");
  EXPECT_EQ(messages, std::vector<QString>{"Data eeore!"});
}

// Warnings about control names that the window lacks, gathered while the
// window runs every handler and decodes a reply that holds every group.
std::set<std::string>* missingNames = nullptr;
void recordMissing(QtMsgType, const QMessageLogContext&, const QString& text) {
  if (missingNames && text.startsWith("No control named")) missingNames->insert(text.toStdString());
}

TEST(WindowView, EveryControlTheHandlersAndReplyTablesUseExists) {
  std::set<std::string> missing;
  missingNames = &missing;
  const QtMessageHandler previous = qInstallMessageHandler(recordMissing);
  {
    int pauses = 0;
    auto form = quickWindow(&pauses);
    form->setMessageSink([](const QString&) {});
    auto receive = [&](const std::string& reply) {
      form->Comm1ReceiveData(reinterpret_cast<const uint8_t*>(reply.data()), static_cast<uint16_t>(reply.size()));
      form->Timer2Timer();
    };
    for (QPushButton* button : form->findChildren<QPushButton*>()) {
      if (button->objectName() != "Button1") button->click();
    }
    form->Label8DblClick();
    form->ComboBox17Change();
    form->ComboBox41Change();
    form->ComboBox30Change();
    form->Edit14Change();
    form->Button6Click();
    receive("QV:21#");
    form->Button23Click();
    receive("QX1#BA1:30#MD:1#ADR:005#XY:0#JTM:010#");
    form->Button31Click();
    control<QComboBox>(*form, "ComboBox17")->setCurrentIndex(0);
    receive(
        "QQ0#FMW:3,0.001#HART0:1,1,00,5,060#DFO0:00000#ZDY0:8,1031,0000,2051,0000#MD:1#"
        "CAMD01:1<02,01 03#CAMD02:0<00,#");
    form->Button3Click();
    receive(
        "QX2#BTM1:0000#BTM2:0000#BTM3:0000#BTM4:0000#AI01:0,100.0,005#AI02:0,100.0,005#AI03:0,0.000,005#"
        "AI04:0,0.000,005#IA01:0,0.000,100.0#IB01:0,0.000,100.0#");
    form->Button9Click();
    receive("QX3#AVAL: 0.0000mA#BVAL: 0.0000mA#");
  }
  qInstallMessageHandler(previous);
  missingNames = nullptr;
  EXPECT_TRUE(missing.empty()) << *missing.begin();
}

}  // namespace
}  // namespace tq::ui
