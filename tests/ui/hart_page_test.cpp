// The "HART Instrument" page as the window holds it: after "Product
// Selection", its controls under their names with their captions, and the
// scan's and the properties' columns.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QLineEdit>
#include <QTabWidget>
#include <QTreeWidget>

#include "ui/TForm1.h"

namespace {

struct Control {
  const char* name;
  const char* cls;
  const char* text;  // button or label text; for an edit, its caption's
};

const Control kControls[] = {
    {"HartScanButton", "QPushButton", "Scan Addresses"},
    {"HartScanWide", "QCheckBox", "0 \u2026 63"},
    {"HartScanView", "QTreeWidget", ""},
    {"HartReadAll", "QPushButton", "Read All"},
    {"HartPropertiesView", "QTreeWidget", ""},
    {"HartStatusLabel", "QLabel", "No HART reply received yet."},
    {"HartTagEdit", "QLineEdit", "Tag:"},
    {"HartDescriptorEdit", "QLineEdit", "Descriptor:"},
    {"HartDateEdit", "QDateEdit", "Date:"},
    {"HartWriteTag", "QPushButton", "Write Tag\u2026"},
    {"HartMessageEdit", "QLineEdit", "Message:"},
    {"HartWriteMessage", "QPushButton", "Write Message\u2026"},
};

QStringList headers(const QTreeWidget* view) {
  QStringList texts;
  for (int i = 0; i < view->columnCount(); ++i) texts << view->headerItem()->text(i);
  return texts;
}

TEST(HartPage, ItsControlsSitOnItUnderTheirNamesWithTheirCaptions) {
  tq::ui::TForm1 form;
  auto* pages = form.findChild<QTabWidget*>("PageControl1");
  ASSERT_NE(pages, nullptr);
  QWidget* page = form.findChild<QWidget*>("TabSheetHart");
  ASSERT_NE(page, nullptr);
  EXPECT_EQ(pages->indexOf(page), pages->indexOf(form.findChild<QWidget*>("TabSheet7")) + 1);
  for (const Control& c : kControls) {
    SCOPED_TRACE(c.name);
    const auto found = form.findChildren<QWidget*>(c.name);
    ASSERT_EQ(found.size(), 1);
    QWidget* w = found.front();
    EXPECT_TRUE(page->isAncestorOf(w));
    EXPECT_STREQ(w->metaObject()->className(), c.cls);
    QString shown;
    if (auto* button = qobject_cast<QAbstractButton*>(w)) shown = button->text();
    if (auto* label = qobject_cast<QLabel*>(w)) shown = label->text();
    for (const QLabel* caption : page->findChildren<QLabel*>()) {
      if (caption->buddy() == w) shown = caption->text();
    }
    EXPECT_EQ(shown, QString::fromUtf8(c.text));
  }
  EXPECT_FALSE(form.findChild<QCheckBox*>("HartScanWide")->isChecked());
  EXPECT_EQ(headers(form.findChild<QTreeWidget*>("HartScanView")),
            QStringList({"Address", "Manufacturer id", "Device type", "Device id", "Revision", "Preambles"}));
  EXPECT_EQ(headers(form.findChild<QTreeWidget*>("HartPropertiesView")), QStringList({"Name", "Value", "Unit"}));
  auto* date = form.findChild<QDateEdit*>("HartDateEdit");
  EXPECT_EQ(date->displayFormat(), "yyyy-MM-dd");
  EXPECT_EQ(date->minimumDate(), QDate(1900, 1, 1));
  EXPECT_EQ(date->maximumDate(), QDate(2155, 12, 31));
}

}  // namespace
