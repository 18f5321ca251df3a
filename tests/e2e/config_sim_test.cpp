// The system and MODBUS pages against the module simulator: every setting
// written, then read back into the same controls; the device choice that
// relabels, blanks and queries; the port that closes after a line change.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <map>

#include "sim/launcher.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class ConfigPagesWithSimulator : public WindowTest {
 protected:
  // A setting's answer ends the wait for it.
  void set(const char* button) {
    click(button);
    ASSERT_EQ(form->engine().pendingCode(), 200) << button << ": " << lastMessage();
    ASSERT_TRUE(pumpUntil([&] { return form->engine().pendingCode() == 0; })) << button;
    EXPECT_TRUE(memo().endsWith(":OK#")) << button << " answered " << memo().toStdString();
  }

  sim::SimProcess module;
};

TEST_F(ConfigPagesWithSimulator, SystemSettingsWrittenAreReadBack) {
  openPort(module.path());
  choose("ComboBox7", 3);
  set("Button24");
  type("Edit14", "17");
  set("Button29");
  choose("ComboBox12", 1);
  set("Button15");
  type("Edit6", "$19");
  set("Button27");
  for (const char* combo : {"ComboBox7", "ComboBox12"}) choose(combo, 0);
  type("Edit14", "");
  type("Edit6", "");

  query("Button23", "QX1");
  EXPECT_EQ(index("ComboBox7"), 3);
  EXPECT_EQ(text("Edit14"), "017");
  EXPECT_EQ(text("Edit18"), "017");  // the MODBUS test follows the module's address
  EXPECT_EQ(index("ComboBox12"), 1);
  EXPECT_EQ(text("Edit6"), "025");
  EXPECT_TRUE(messages.empty()) << messages.front();
  EXPECT_GT(pauses, 0);
}

TEST_F(ConfigPagesWithSimulator, ASettingTheModuleRefusesIsNamedInTheStatusBarAsWellAsInTheMemo) {
  openPort(module.path());
  type("Edit14", "0");  // no slave has address 0
  click("Button29");
  ASSERT_TRUE(pumpUntil([&] { return form->engine().pendingCode() == 0; }));
  EXPECT_EQ(memo().toStdString(), "ADR:ERR,RANGE#");
  EXPECT_EQ(form->statusBar()->currentMessage().toStdString(), "The module refused ADR: ERR,RANGE");
  type("Edit14", "17");
  set("Button29");
  EXPECT_TRUE(form->statusBar()->currentMessage().isEmpty()) << "a setting that took ends the refusal's notice";
}

TEST_F(ConfigPagesWithSimulator, TheRs485LineSettingClosesThePortAndIsReadBackAfterReopening) {
  openPort(module.path());
  choose("ComboBox2", 4);
  choose("ComboBox4", 2);
  click("Button5");
  EXPECT_EQ(control<QLineEdit>(*form, "Edit8")->text(), "QQS#BA1:42#");
  auto* timer4 = timer("Timer4");
  ASSERT_TRUE(timer4->isActive());
  EXPECT_EQ(timer4->interval(), 2000);
  ASSERT_TRUE(pumpUntil([&] { return memo() == "BA1:OK#"; }));
  timer4->setInterval(20);  // run the 2000 ms fast; a new interval restarts the running timer
  ASSERT_TRUE(pumpUntil([&] { return !form->engine().portOpen(); }));
  EXPECT_EQ(control<QPushButton>(*form, "Button1")->text(), "Open");
  EXPECT_FALSE(control<QPushButton>(*form, "Button6")->isEnabled());
  // The banner says why the port closed, and opens it at the module's new settings.
  auto* banner = form->findChild<QWidget*>("PortBanner");
  ASSERT_TRUE(banner->isVisibleTo(form.get()));
  EXPECT_EQ(control<QLabel>(*form, "PortBannerText")->text().toStdString(),
            "Port closed: the module now talks at 19200 baud, parity even.");
  EXPECT_FALSE(form->findChild<QWidget*>("PortReconnect")->isVisibleTo(form.get()));
  click("PortReopenAtNewSetting");
  EXPECT_TRUE(form->engine().portOpen());
  EXPECT_EQ(control<QComboBox>(*form, "ComboBox11")->currentText(), "19200");
  EXPECT_EQ(index("ComboBox10"), 2);
  EXPECT_FALSE(banner->isVisibleTo(form.get()));

  choose("ComboBox2", 0);
  choose("ComboBox4", 0);
  query("Button23", "QX1");
  EXPECT_EQ(index("ComboBox2"), 4);
  EXPECT_EQ(index("ComboBox4"), 2);
}

TEST_F(ConfigPagesWithSimulator, DeviceSettingsWrittenAreReadBackAfterChoosingTheDevice) {
  openPort(module.path());
  const std::map<const char*, int> combos = {
      {"ComboBox6", 1},  {"ComboBox16", 0}, {"ComboBox17", 0}, {"ComboBox34", 3}, {"FAMOUT1", 1}, {"FAMOUT3", 2},
      {"FAMOUT5", 3},    {"FAMOUT7", 1},    {"FAMOUT9", 0},    {"ComboBox15", 2}, {"RADCOM1", 1}, {"READLG1", 1},
      {"RADCOM3", 2},    {"READLG3", 0},    {"RADCOM5", 0},    {"READLG5", 0},    {"RADCOM7", 1}, {"READLG7", 1},
      {"ComboBox28", 1}, {"ComboBox29", 1}, {"ComboBox18", 1}, {"ComboBox14", 2}};
  for (const auto& [combo, i] : combos) choose(combo, i);
  const std::map<const char*, const char*> edits = {{"Edit1", "120"},   {"READADR1", "12"}, {"READADR3", "7"},
                                                    {"READADR5", "0"},  {"READADR7", "99"}, {"Edit4", "01 03 00 00"},
                                                    {"Edit5", "0A FF"}, {"Beilv", "2.5"}};
  for (const auto& [edit, t] : edits) type(edit, t);
  for (const char* button : {"Button10", "Button21", "Button12", "Button17", "Button18", "Button2", "Button22"}) {
    SCOPED_TRACE(button);
    set(button);
  }

  // Choosing the device blanks its controls and asks the module at once.
  emit control<QComboBox>(*form, "ComboBox41")->activated(0);
  EXPECT_EQ(control<QLineEdit>(*form, "Edit8")->text(), "QQQ#QQ0#");
  EXPECT_EQ(control<QLabel>(*form, "Label19")->text(), "40001");
  EXPECT_EQ(text("Edit1"), "");
  EXPECT_EQ(text("Edit18"), "");
  ASSERT_TRUE(pumpUntil([&] { return memo().startsWith("QQ0") && !timer("Timer2")->isActive(); }));
  for (const auto& [combo, i] : combos) EXPECT_EQ(index(combo), i) << combo;
  EXPECT_EQ(index("ComboBox7"), 2);
  const std::map<const char*, const char*> readBack = {
      {"Edit1", "120"},         {"READADR1", "12"}, {"READADR3", "07"}, {"READADR5", "00"}, {"READADR7", "99"},
      {"Edit4", "01 03 00 00"}, {"Edit5", "0A FF"}, {"Beilv", "2.500"}};  // the module writes its own five characters
  for (const auto& [edit, t] : readBack) EXPECT_EQ(text(edit), t) << edit;
  EXPECT_FALSE(control<QWidget>(*form, "GroupBox13")->isHidden());
  EXPECT_TRUE(messages.empty()) << messages.front();
}

TEST_F(ConfigPagesWithSimulator, ChoosingADeviceWithThePortClosedDoesNothing) {
  type("Edit14", "005");
  emit control<QComboBox>(*form, "ComboBox41")->activated(0);
  EXPECT_EQ(control<QLabel>(*form, "Label19")->text(), "40001:");
  EXPECT_EQ(text("Edit14"), "005");
  EXPECT_EQ(form->engine().pendingCode(), 0);
}

}  // namespace
}  // namespace tq::ui
