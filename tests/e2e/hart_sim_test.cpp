// The Transparent Mode page against the simulator's HART instrument:
// identify it, read its variables by its unique address, move its polling
// address and find it there.
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>

#include "sim/launcher.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

TEST(HartWithSimulator, IdentifyReadVariablesThenMoveThePollingAddress) {
  int pauses = 0;
  auto form = quickWindow(&pauses);
  std::vector<std::string> messages;
  form->setMessageSink([&](const QString& m) { messages.push_back(m.toStdString()); });
  auto click = [&](const char* name) { control<QPushButton>(*form, name)->click(); };
  auto text = [&](const char* name) { return control<QLineEdit>(*form, name)->text(); };
  auto index = [&](const char* name) { return control<QComboBox>(*form, name)->currentIndex(); };
  auto parsed = [&] { return pumpUntil([&] { return form->engine().pendingCode() == 0; }); };

  sim::SimProcess module({"--hart-manufacturer", "26", "--hart-device-type", "137", "--hart-device-id", "2188095"});
  control<QComboBox>(*form, "SPREALCOM")->setCurrentText(QString::fromStdString(module.path()));
  click("Button1");
  ASSERT_TRUE(form->engine().portOpen());

  click("Button7");
  ASSERT_TRUE(parsed());
  EXPECT_EQ(QStringList({text("Edit28"), text("Edit29"), text("Edit31"), text("Edit32")}),
            QStringList({"26", "137", "5", "2188095"}));

  click("Button16");
  EXPECT_EQ(text("Edit8"), "FF FF FF FF FF FF FF 82 9A 89 21 63 3F 03 00 EF ");
  ASSERT_TRUE(parsed());
  // Flow in m3/h, temperature in degrees Celsius, pressure in bar, total in m3.
  const char* rows[][3] = {{"Edit25", "HLabel2", "ComboBox3"},
                           {"Edit26", "HLabel3", "ComboBox31"},
                           {"Edit27", "HLabel4", "ComboBox32"},
                           {"Edit30", "HLabel5", "ComboBox33"}};
  const int units[] = {19, 12, 6, 34};
  for (int i = 0; i < 4; ++i) {
    EXPECT_GT(text(rows[i][0]).replace(',', '.').toDouble(), 1.0) << rows[i][0];
    EXPECT_EQ(control<QLabel>(*form, rows[i][1])->text(), text(rows[i][0]));
    EXPECT_EQ(index(rows[i][2]), units[i]) << rows[i][2];
  }

  control<QComboBox>(*form, "ComboBox27")->setCurrentIndex(3);
  click("Button14");
  auto* memo = control<QPlainTextEdit>(*form, "Memo10");
  ASSERT_TRUE(pumpUntil([&] { return !memo->toPlainText().isEmpty(); }));
  EXPECT_TRUE(memo->toPlainText().startsWith("FF FF FF FF FF 86 9A 89 21 63 3F 06 03 00 40 03 "));
  EXPECT_EQ(form->engine().pendingCode(), 106);  // shown, not decoded

  auto* address = control<QComboBox>(*form, "ComboBox30");
  address->setCurrentIndex(3);
  emit address->activated(3);
  click("Button7");
  EXPECT_EQ(text("Edit8"), "FF FF FF FF FF FF FF 02 83 00 00 81 ");
  ASSERT_TRUE(parsed());
  EXPECT_EQ(text("Edit32"), "2188095");
  EXPECT_EQ(index("ComboBox27"), 3);
  EXPECT_TRUE(messages.empty()) << messages.front();
}

}  // namespace
}  // namespace tq::ui
