// The record's key table against the window: every key's control is there
// under its name, and a key's list is the control's own list, item for item.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QLineEdit>

#include "record/key_table.h"
#include "ui/TForm1.h"

namespace {

TEST(RecordKeys, EveryKeysControlIsInTheWindowWithTheSameList) {
  tq::ui::TForm1 window;
  for (const tq::record::Key& key : tq::record::keys()) {
    SCOPED_TRACE(key.name);
    QWidget* control = window.findChild<QWidget*>(QString::fromStdString(key.control));
    ASSERT_NE(control, nullptr) << key.control;
    if (key.source == tq::record::Source::HartInstrument) continue;
    if (key.items.empty()) {
      EXPECT_NE(qobject_cast<QLineEdit*>(control), nullptr) << key.control;
      continue;
    }
    auto* combo = qobject_cast<QComboBox*>(control);
    ASSERT_NE(combo, nullptr) << key.control;
    QStringList items;
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    QStringList expected;
    for (const std::string& item : key.items) expected << QString::fromStdString(item);
    EXPECT_EQ(items, expected) << key.control;
  }
}

}  // namespace
