// At the window's default size no text on any page is cut: every caption,
// button, check box, group title and list item fits its control, and each
// hex entry keeps the longest command it takes in view.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QAction>
#include <QScrollArea>
#include <QScrollBar>
#include <QTreeWidget>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>
#include <QStyleOptionComboBox>
#include <QStyleOptionFrame>
#include <QTabWidget>
#include <map>
#include <memory>
#include <string>

#include "ui/TForm1.h"
#include "ui_mainwindow.h"

namespace {

// Horizontal room QLineEdit keeps free on each side of its text, inside the
// style's contents rectangle.
constexpr int kLineEditTextMargin = 2;

// The longest texts the hex entries take: 14 pairs for a read command, 15
// for a manual HART frame, each pair two digits and a blank between pairs.
QString pairs(int count) {
  QString text;
  for (int i = 0; i < count; ++i) text += i == 0 ? QStringLiteral("FF") : QStringLiteral(" FF");
  return text;
}

const std::map<QString, QString> kLongestEntries = {
    {"Edit4", pairs(14)}, {"Edit5", pairs(14)}, {"Edit10", pairs(15)}, {"Edit7", pairs(4)}};

int textWidth(const QWidget* w, const QString& text) {
  int widest = 0;
  for (const QString& line : text.split('\n')) widest = std::max(widest, w->fontMetrics().horizontalAdvance(line));
  return widest;
}

int lineEditRoom(const QLineEdit* edit) {
  QStyleOptionFrame opt;
  opt.initFrom(edit);
  opt.rect = edit->rect();
  opt.lineWidth = edit->hasFrame() ? edit->style()->pixelMetric(QStyle::PM_DefaultFrameWidth, &opt, edit) : 0;
  const QRect contents = edit->style()->subElementRect(QStyle::SE_LineEditContents, &opt, edit);
  const QMargins margins = edit->textMargins();
  return contents.width() - 2 * kLineEditTextMargin - margins.left() - margins.right();
}

// The width a combo box needs to show each of its first `items` items whole:
// the ink of the widest, as the toolkit sizes a combo box for its items.
int comboNeeds(const QComboBox* combo, int items) {
  int widest = 0;
  for (int i = 0; i < items && i < combo->count(); ++i) {
    widest = std::max(widest, combo->fontMetrics().boundingRect(combo->itemText(i)).width());
  }
  QStyleOptionComboBox opt;
  opt.initFrom(combo);
  opt.editable = combo->isEditable();
  return combo->style()
      ->sizeFromContents(QStyle::CT_ComboBox, &opt, QSize(widest, combo->fontMetrics().height()), combo)
      .width();
}

class WindowAtDefaultSize : public ::testing::Test {
 protected:
  void SetUp() override {
    design_ = std::make_unique<QMainWindow>();
    Ui::TForm1().setupUi(design_.get());
    form_ = std::make_unique<tq::ui::TForm1>();
    form_->show();
    QApplication::processEvents();
  }

  // Items the window description gives a combo box (the port list adds the
  // devices present, which may be longer and are typed over anyway).
  int designItems(const QComboBox* combo) const {
    const auto* described = design_->findChild<QComboBox*>(combo->objectName());
    return described ? described->count() : combo->count();
  }

  // Every control on the current page and below the pages whose text does
  // not fit, by name.
  std::vector<std::string> cutTexts() const {
    std::vector<std::string> cut;
    auto report = [&](const QWidget* w, int needs) {
      if (w->width() < needs) {
        cut.push_back(w->objectName().toStdString() + " is " + std::to_string(w->width()) + " px, needs " +
                      std::to_string(needs));
      }
    };
    for (const QWidget* w : form_->findChildren<QWidget*>()) {
      if (!w->isVisible() || w->objectName().startsWith("qt_")) continue;
      if (const auto* label = qobject_cast<const QLabel*>(w)) {
        if (label->textFormat() != Qt::RichText && !label->text().isEmpty() && !label->wordWrap()) {
          report(label, textWidth(label, label->text()) + 2 * label->frameWidth() + 2 * label->margin());
        }
      } else if (const auto* box = qobject_cast<const QGroupBox*>(w)) {
        report(box, box->minimumSizeHint().width());
      } else if (const auto* check = qobject_cast<const QCheckBox*>(w)) {
        report(check, check->sizeHint().width());
      } else if (const auto* button = qobject_cast<const QPushButton*>(w)) {
        report(button, button->minimumSizeHint().width());
      } else if (const auto* combo = qobject_cast<const QComboBox*>(w)) {
        report(combo, comboNeeds(combo, designItems(combo)));
      } else if (const auto* edit = qobject_cast<const QLineEdit*>(w)) {
        const auto longest = kLongestEntries.find(edit->objectName());
        const QString text = longest != kLongestEntries.end() ? longest->second : edit->text();
        report(edit, edit->width() - lineEditRoom(edit) + textWidth(edit, text));
      }
    }
    return cut;
  }

  std::unique_ptr<QMainWindow> design_;
  std::unique_ptr<tq::ui::TForm1> form_;
};

TEST_F(WindowAtDefaultSize, NoPageCutsAText) {
  auto* pages = form_->findChild<QTabWidget*>("PageControl1");
  ASSERT_NE(pages, nullptr);
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    QApplication::processEvents();
    SCOPED_TRACE(pages->widget(i)->objectName().toStdString());
    const std::vector<std::string> cut = cutTexts();
    EXPECT_TRUE(cut.empty()) << ::testing::PrintToString(cut);
  }
}

// With the journal shown below the pages, the HART Instrument page still
// shows six scan rows and its write boxes without scrolling.
TEST_F(WindowAtDefaultSize, TheHartPageKeepsSixScanRowsAndItsWriteBoxesInViewBesideTheJournal) {
  form_->findChild<QAction*>("actionJournal")->setChecked(true);
  auto* pages = form_->findChild<QTabWidget*>("PageControl1");
  pages->setCurrentWidget(form_->findChild<QWidget*>("TabSheetHart"));
  QApplication::processEvents();
  auto* scroll = form_->findChild<QScrollArea*>("TabSheetHartScroll");
  auto* scan = form_->findChild<QTreeWidget*>("HartScanView");
  ASSERT_TRUE(scroll && scan);
  EXPECT_FALSE(scroll->verticalScrollBar()->isVisible()) << "the page scrolls";
  auto* row = new QTreeWidgetItem(scan, QStringList{QStringLiteral("0")});
  const int rowHeight = scan->visualItemRect(row).height();
  ASSERT_GT(rowHeight, 0);
  EXPECT_GE(scan->viewport()->height() / rowHeight, 6) << "viewport " << scan->viewport()->height();
}

}  // namespace
