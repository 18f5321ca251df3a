// The diagnostic tools through the window: "MODBUS Comm_Test" against the
// module simulator (the request leaves as shown in Edit8, the slave's answer
// appears in hex, not interpreted), and the calculator in the user's locale.
#include <QComboBox>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStringList>

#include <vector>

#include "sim/launcher.h"
#include "tools/modbus_test.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

TEST(ToolsWithSimulator, ModbusCommTestShowsTheSlavesAnswerInHex) {
  struct Case {
    const char* start;
    const char* quantity;
    QString sent;
    QString replyStart;  // address, function, byte count or exception code
    int replyBytes;
  };
  const Case cases[] = {
      {"00", "10", "01 03 00 00 00 0A C5 CD ", "01 03 14 ", 25},
      {"50", "10", "01 03 00 32 00 0A 64 02 ", "01 83 02 ", 5},  // beyond the map of one unit
  };
  int pauses = 0;
  auto form = quickWindow(&pauses);
  std::vector<std::string> messages;
  form->setMessageSink([&](const QString& m) { messages.push_back(m.toStdString()); });
  sim::SimProcess module({"--units", "1"});
  control<QComboBox>(*form, "SPREALCOM")->setCurrentText(QString::fromStdString(module.path()));
  control<QPushButton>(*form, "Button1")->click();
  ASSERT_TRUE(form->engine().portOpen());

  auto* memo = control<QPlainTextEdit>(*form, "Memo10");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.start);
    control<QLineEdit>(*form, "Edit19")->setText(c.start);
    control<QLineEdit>(*form, "Edit20")->setText(c.quantity);
    control<QPushButton>(*form, "Button4")->click();
    EXPECT_EQ(control<QLineEdit>(*form, "Edit8")->text(), c.sent);
    ASSERT_TRUE(pumpUntil([&] { return !memo->toPlainText().isEmpty(); }));

    const QString shown = memo->toPlainText();
    EXPECT_TRUE(shown.startsWith(c.replyStart)) << shown.toStdString();
    EXPECT_TRUE(shown.endsWith(' '));
    std::vector<uint8_t> reply;
    for (const QString& pair : shown.split(' ', Qt::SkipEmptyParts)) {
      reply.push_back(static_cast<uint8_t>(pair.toUInt(nullptr, 16)));
    }
    ASSERT_EQ(reply.size(), static_cast<size_t>(c.replyBytes));
    const auto crc = tools::crc16Modbus(std::span(reply).first(reply.size() - 2));
    EXPECT_EQ(reply[reply.size() - 2], crc[0]);
    EXPECT_EQ(reply.back(), crc[1]);
    EXPECT_EQ(form->engine().pendingCode(), 302);  // no decoder: the code stays
    EXPECT_TRUE(messages.empty());
  }
}

TEST(ToolsInTheWindow, CalculationWritesTheLocaleDecimalSeparator) {
  struct Case {
    QLocale::Language language;
    QLocale::Territory territory;
    QString shown;
  };
  const Case cases[] = {
      {QLocale::English, QLocale::UnitedStates, "12.5"},
      {QLocale::German, QLocale::Germany, "12,5"},
      {QLocale::Arabic, QLocale::Egypt, "12.5"},  // a separator beyond ASCII: '.'
  };
  const QLocale before;
  for (const Case& c : cases) {
    const QLocale locale(c.language, c.territory);
    SCOPED_TRACE(locale.name().toStdString());
    QLocale::setDefault(locale);
    int pauses = 0;
    auto form = quickWindow(&pauses);
    control<QLineEdit>(*form, "Edit7")->setText("41 48 00 00");
    control<QPushButton>(*form, "Button13")->click();
    EXPECT_EQ(control<QLineEdit>(*form, "Edit22")->text(), c.shown);
  }
  QLocale::setDefault(before);
}

}  // namespace
}  // namespace tq::ui
