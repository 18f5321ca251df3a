// The window as the last run left it: the port and its line setting, the
// journal's filter, the HART page's scan range and the report's details
// come back; a damaged or unreadable store starts the window as on a first
// run, with one line in the journal.
#include "ui/window_memory.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QDockWidget>
#include <QDoubleSpinBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QSettings>
#include <QTemporaryDir>

#include "journal/journal.h"
#include "requests/trend_poller.h"
#include "ui/TForm1.h"

namespace tq::ui {
namespace {

std::unique_ptr<QSettings> storeAt(const QString& path) {
  return std::make_unique<QSettings>(path, QSettings::IniFormat);
}

template <typename T>
T* control(TForm1& form, const char* name) {
  return form.findChild<T*>(QString::fromLatin1(name));
}

std::vector<std::string> journalLines(TForm1& form) {
  std::vector<std::string> lines;
  for (size_t i = 0; i < form.journal().size(); ++i) lines.push_back(form.journal().at(i).summary);
  return lines;
}

TEST(WindowMemory, ThePortTheJournalAndTheScanRangeComeBackAsLeft) {
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("tq580.conf"));
  {
    TForm1 form;
    form.remember(std::make_unique<WindowMemory>(storeAt(path)));
    control<QComboBox>(form, "SPREALCOM")->setCurrentText(QStringLiteral("/tmp/ttyTQ580"));
    control<QComboBox>(form, "ComboBox11")->setCurrentText(QStringLiteral("38400"));
    control<QComboBox>(form, "ComboBox10")->setCurrentIndex(2);
    control<QCheckBox>(form, "CheckBox1")->setChecked(true);
    control<QComboBox>(form, "JournalFilter")->setCurrentIndex(2);
    control<QLineEdit>(form, "JournalSearch")->setText(QStringLiteral("51 51"));
    control<QCheckBox>(form, "HartScanWide")->setChecked(true);
    control<QLineEdit>(form, "ReportSite")->setText(QStringLiteral("North works"));
    control<QPlainTextEdit>(form, "ReportNotes")->setPlainText(QStringLiteral("Valve open\nchecked twice"));
    form.findChild<QAction*>(QStringLiteral("actionTrend"))->trigger();  // the trend's panel stays where it was
    control<QDoubleSpinBox>(form, "TrendInterval")->setValue(2.5);
    control<QComboBox>(form, "TrendSpan")->setCurrentIndex(3);
    control<QComboBox>(form, "TrendAxes")->setCurrentIndex(1);
    control<QCheckBox>(form, "TrendAutoscale")->setChecked(false);
    form.close();
  }
  TForm1 form;
  form.remember(std::make_unique<WindowMemory>(storeAt(path)));
  EXPECT_EQ(control<QComboBox>(form, "SPREALCOM")->currentText(), "/tmp/ttyTQ580");
  EXPECT_EQ(control<QComboBox>(form, "ComboBox11")->currentText(), "38400");
  EXPECT_EQ(control<QComboBox>(form, "ComboBox10")->currentIndex(), 2);
  EXPECT_TRUE(control<QCheckBox>(form, "CheckBox1")->isChecked());
  EXPECT_FALSE(control<QCheckBox>(form, "CheckBox2")->isChecked());
  EXPECT_EQ(control<QComboBox>(form, "JournalFilter")->currentIndex(), 2);
  EXPECT_EQ(control<QLineEdit>(form, "JournalSearch")->text(), "51 51");
  EXPECT_TRUE(control<QCheckBox>(form, "HartScanWide")->isChecked());
  EXPECT_EQ(control<QLineEdit>(form, "ReportSite")->text(), "North works");
  EXPECT_EQ(control<QPlainTextEdit>(form, "ReportNotes")->toPlainText(), "Valve open\nchecked twice");
  EXPECT_TRUE(control<QDockWidget>(form, "TrendDock")->isVisibleTo(&form));
  EXPECT_EQ(control<QDoubleSpinBox>(form, "TrendInterval")->value(), 2.5);
  EXPECT_EQ(form.trendPoller().intervalMs(), 2500) << "the poller takes the interval shown";
  EXPECT_EQ(control<QComboBox>(form, "TrendSpan")->currentIndex(), 3);
  EXPECT_EQ(control<QComboBox>(form, "TrendAxes")->currentIndex(), 1);
  EXPECT_FALSE(control<QCheckBox>(form, "TrendAutoscale")->isChecked());
  // The five pages' other controls start as they always did.
  EXPECT_EQ(control<QComboBox>(form, "ComboBox6")->currentIndex(), -1);
  EXPECT_TRUE(journalLines(form).empty());
}

TEST(WindowMemory, ADamagedStoreOrABadValueStartsAsOnAFirstRunWithOneLineInTheJournal) {
  struct Case {
    const char* name;
    QByteArray contents;
    const char* line;       // the journal's one line starts so
    const char* portAfter;  // SPREALCOM's text afterwards; null: as at start
  };
  const Case cases[] = {
      {"not a settings file", QByteArray("[port\nname=\x01\x02\x03\n\xff\xfe", 18), "Settings not read from ", nullptr},
      {"a value its control cannot take", "[port]\nname=/dev/ttyUSB0\nbaud=96O0\nparity=7\n",
       "Settings passed over from ", "/dev/ttyUSB0"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tq580.conf"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.contents);
    file.close();
    TForm1 form;
    const QString portBefore = control<QComboBox>(form, "SPREALCOM")->currentText();
    const QString baudBefore = control<QComboBox>(form, "ComboBox11")->currentText();
    const int parityBefore = control<QComboBox>(form, "ComboBox10")->currentIndex();
    form.remember(std::make_unique<WindowMemory>(storeAt(path)));
    const std::vector<std::string> lines = journalLines(form);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].rfind(c.line, 0), 0u) << lines[0];
    EXPECT_EQ(control<QComboBox>(form, "ComboBox11")->currentText(), baudBefore);
    EXPECT_EQ(control<QComboBox>(form, "ComboBox10")->currentIndex(), parityBefore);
    EXPECT_EQ(control<QComboBox>(form, "SPREALCOM")->currentText(), c.portAfter ? QString(c.portAfter) : portBefore);
  }
}

}  // namespace
}  // namespace tq::ui
