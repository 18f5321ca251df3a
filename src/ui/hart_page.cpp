#include "ui/hart_page.h"

#include <QCheckBox>
#include <QDate>
#include <QDateEdit>
#include <QDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "common/byte_display.h"
#include "hart/answer_window.h"
#include "hart/reply.h"
#include "link/link_arbiter.h"
#include "ui/warning_color.h"
#include "ui_hart_page.h"

namespace tq::ui {

namespace {

constexpr int kCommandRole = Qt::UserRole;
constexpr int kProgressMinimumWidth = 420;
constexpr int kNameColumnWidth = 175;
constexpr int kValueColumnWidth = 215;
// Scan rows the page shows without scrolling, also with the journal below.
constexpr int kScanRowsInView = 6;

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

HartPage::HartPage(Host host, QWidget* parent)
    : QWidget(parent), ui_(std::make_unique<Ui::HartPage>()), host_(std::move(host)) {
  ui_->setupUi(this);
  ui_->HartDateEdit->setDate(QDate::currentDate());
  ui_->HartPropertiesView->setColumnWidth(0, kNameColumnWidth);
  ui_->HartPropertiesView->setColumnWidth(1, kValueColumnWidth);
  ui_->HartScanView->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  keepScanRowsInView();

  requests_ = std::make_unique<requests::HartInstrumentRequests>(host_.engine, host_.view, host_.link,
                                                                 host_.replyAwaited, host_.decimalSeparator);
  auto& events = requests_->events;
  events.onStarted = [this](Action action) { started(action); };
  events.onStep = [this](size_t index, size_t count, const std::string& label) { stepped(index, count, label); };
  events.onFound = [this](const hart::UniqueIdentifier& instrument) { found(instrument); };
  events.onGroup = [this](const requests::HartInstrumentRequests::Group& group) { showGroup(group); };
  events.onTagRead = [this](const hart::TagDescriptorDate& record) {
    ui_->HartTagEdit->setText(text(record.tag));
    ui_->HartDescriptorEdit->setText(text(record.descriptor));
    // A date the instrument holds but the calendar lacks (day 0) leaves the edit as it is.
    const QDate date(record.date.year, record.date.month, record.date.day);
    if (date.isValid()) ui_->HartDateEdit->setDate(date);
    tagReadFrom_ = requests_->addressed();
  };
  events.onMessageRead = [this](const std::string& message) { ui_->HartMessageEdit->setText(text(message)); };
  events.onFinished = [this](const requests::HartInstrumentRequests::Finished& f) { finished(f); };
  wireEvents();
}

// The scan list is tall enough for kScanRowsInView rows, and the page as
// tall as its contents: a dock below the pages (the journal) takes only the
// room that leaves, never the scan list's or the write boxes'.
void HartPage::keepScanRowsInView() {
  QTreeWidget* scan = ui_->HartScanView;
  auto* probe = new QTreeWidgetItem(scan, QStringList{QStringLiteral("0")});
  const int row = scan->sizeHintForRow(0);
  delete probe;
  const int header = scan->header()->sizeHint().height();
  const int scrollBar = scan->horizontalScrollBar()->sizeHint().height();
  scan->setMinimumHeight(header + kScanRowsInView * row + scrollBar + 2 * scan->frameWidth());
  ui_->TabSheetHartScroll->setMinimumHeight(ui_->TabSheetHartContents->minimumSizeHint().height());
}

HartPage::~HartPage() {
  // A sequence still running gives the engine its line back.
  if (requests_ && requests_->running()) requests_->cancel();
}

void HartPage::wireEvents() {
  connect(ui_->HartScanButton, &QPushButton::clicked, this, [this] { HartScanButtonClick(); });
  connect(ui_->HartReadAll, &QPushButton::clicked, this, [this] { HartReadAllClick(); });
  connect(ui_->HartWriteTag, &QPushButton::clicked, this, [this] { HartWriteTagClick(); });
  connect(ui_->HartWriteMessage, &QPushButton::clicked, this, [this] { HartWriteMessageClick(); });
  connect(ui_->HartScanView, &QTreeWidget::itemSelectionChanged, this, [this] { HartScanViewSelect(); });
  // A click on the row already chosen addresses it again (after another
  // page's identity read moved the identity elsewhere).
  connect(ui_->HartScanView, &QTreeWidget::itemClicked, this, [this] { HartScanViewSelect(); });
}

void HartPage::guard(const std::function<void()>& body) {
  try {
    body();
    return;
  } catch (const std::exception& e) {
    host_.showMessage(text(e.what()));
  } catch (...) {
    host_.showMessage(QStringLiteral("Unexpected error"));
  }
}

void HartPage::endAnswerWindow() {
  guard([this] { host_.link.timerFired(); });
}

void HartPage::showReplyStatus(std::span<const uint8_t> block) {
  const auto reply = hart::parseReply(block);
  // An instrument's reply comes with its preambles; a bare frame is more
  // likely a MODBUS or module answer that happens to look like one.
  if (!reply || reply->frame.preambles() == 0) return;
  ui_->HartStatusLabel->setText(text(hart::statusText(*reply)));
}

void HartPage::HartScanButtonClick() {
  guard([this] { requests_->scan(ui_->HartScanWide->isChecked()); });
}

void HartPage::HartReadAllClick() {
  guard([this] { requests_->readAll(); });
}

void HartPage::HartWriteTagClick() {
  guard([this] {
    const QDate date = ui_->HartDateEdit->date();
    const auto write = requests_->prepareTagWrite(ui_->HartTagEdit->text().toStdString(),
                                                  ui_->HartDescriptorEdit->text().toStdString(),
                                                  {date.year(), date.month(), date.day()});
    // Command 18 writes all three: say so when two of them were typed or
    // left as they were rather than read from this instrument.
    QString question = text(write.question);
    if (!tagReadFrom_ || tagReadFrom_ != requests_->addressed()) {
      question += QStringLiteral(
          "\n\nThe descriptor and date were not read from this instrument (Read All reads them): they are "
          "written as shown here.");
    }
    if (!host_.ask(question)) {
      ui_->HartNote->setText(QStringLiteral("Write Tag declined: nothing was sent."));
      return;
    }
    requests_->write(write);
  });
}

void HartPage::HartWriteMessageClick() {
  guard([this] {
    const auto write = requests_->prepareMessageWrite(ui_->HartMessageEdit->text().toStdString());
    if (!host_.ask(text(write.question))) {
      ui_->HartNote->setText(QStringLiteral("Write Message declined: nothing was sent."));
      return;
    }
    requests_->write(write);
  });
}

void HartPage::HartScanViewSelect() {
  if (filling_) return;
  guard([this] {
    const auto selected = ui_->HartScanView->selectedItems();
    if (selected.isEmpty()) return;
    const int row = ui_->HartScanView->indexOfTopLevelItem(selected.front());
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return;
    const hart::UniqueIdentifier& instrument = rows_[static_cast<size_t>(row)];
    const auto before = requests_->addressed();
    requests_->address(instrument);
    // What is shown was read from another instrument.
    if (!before || *before != instrument.identity()) ui_->HartPropertiesView->clear();
    ui_->HartNote->setText(
        QStringLiteral("Polling address %1 addressed (device id %2): Read All and the writes go to it.")
            .arg(instrument.pollingAddress)
            .arg(instrument.deviceIdNumber()));
  });
}

void HartPage::ensureProgress() {
  if (progress_) return;
  progress_ = new QDialog(this);
  progress_->setObjectName(QStringLiteral("HartProgress"));
  progress_->setWindowTitle(QStringLiteral("HART Instrument"));
  // Window-modal and shown, never exec'd: the window keeps its event loop
  // and repaints, and nothing else reaches the line meanwhile.
  progress_->setWindowModality(Qt::WindowModal);
  progress_->setMinimumWidth(kProgressMinimumWidth);
  auto* layout = new QVBoxLayout(progress_);
  progressText_ = new QLabel(progress_);
  progressText_->setObjectName(QStringLiteral("HartProgressText"));
  progressText_->setWordWrap(true);
  layout->addWidget(progressText_);
  progressBar_ = new QProgressBar(progress_);
  progressBar_->setObjectName(QStringLiteral("HartProgressBar"));
  layout->addWidget(progressBar_);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch();
  auto* cancel = new QPushButton(QStringLiteral("Cancel"), progress_);
  cancel->setObjectName(QStringLiteral("HartProgressCancel"));
  buttons->addWidget(cancel);
  layout->addLayout(buttons);
  connect(cancel, &QPushButton::clicked, progress_, &QDialog::reject);
  // Cancel, Escape or closing the dialog.
  connect(progress_, &QDialog::rejected, this, [this] { guard([this] { requests_->cancel(); }); });
}

void HartPage::started(Action action) {
  running_ = action;
  switch (action) {
    case Action::Scan:
      filling_ = true;
      ui_->HartScanView->clear();
      rows_.clear();
      filling_ = false;
      ui_->HartNote->setText(QStringLiteral("Scanning\u2026"));
      break;
    case Action::ReadAll:
      ui_->HartPropertiesView->clear();
      ui_->HartNote->setText(QStringLiteral("Reading\u2026"));
      break;
    case Action::WriteTag:
    case Action::WriteMessage:
      ui_->HartNote->setText(QStringLiteral("Writing\u2026"));
      break;
  }
  ensureProgress();
  progressText_->clear();
  progressBar_->setValue(0);
  progress_->show();
}

void HartPage::stepped(size_t index, size_t count, const std::string& label) {
  QString headline;
  switch (running_) {
    case Action::Scan:
      headline = QStringLiteral("Scanning polling addresses 0 \u2026 %1 for HART instruments.").arg(count - 1);
      break;
    case Action::ReadAll:
      headline = QStringLiteral("Reading the addressed instrument.");
      break;
    case Action::WriteTag:
    case Action::WriteMessage:
      headline = QStringLiteral("Writing to the addressed instrument, then reading it back.");
      break;
  }
  QString line = QStringLiteral("%1 (%2 of %3)").arg(text(label)).arg(index + 1).arg(count);
  if (running_ == Action::Scan) line += QStringLiteral("; %1 found so far").arg(rows_.size());
  progressText_->setText(headline + QLatin1Char('\n') + line);
  progressBar_->setRange(0, static_cast<int>(count));
  progressBar_->setValue(static_cast<int>(index));
}

void HartPage::found(const hart::UniqueIdentifier& instrument) {
  filling_ = true;
  auto* item = new QTreeWidgetItem(ui_->HartScanView);
  item->setText(0, QString::number(instrument.pollingAddress));
  item->setText(1, text(numberWithHex(instrument.manufacturerId, 1)));
  item->setText(2, text(numberWithHex(instrument.deviceType, 1)));
  item->setText(3, text(numberWithHex(instrument.deviceIdNumber(), 3)));
  item->setText(4, QString::number(instrument.universalRevision));
  item->setText(5, QString::number(instrument.preamblesRequested));
  rows_.push_back(instrument);
  filling_ = false;
}

void HartPage::showGroup(const requests::HartInstrumentRequests::Group& group) {
  QTreeWidget* view = ui_->HartPropertiesView;
  QTreeWidgetItem* header = nullptr;
  for (int i = 0; i < view->topLevelItemCount(); ++i) {
    if (view->topLevelItem(i)->data(0, kCommandRole).toInt() == group.command) header = view->topLevelItem(i);
  }
  if (header) {
    qDeleteAll(header->takeChildren());
  } else {
    header = new QTreeWidgetItem(view);
    header->setData(0, kCommandRole, group.command);
    header->setFirstColumnSpanned(true);
    QFont bold = header->font(0);
    bold.setBold(true);
    header->setFont(0, bold);
  }
  header->setText(0, text(group.title));
  for (const hart::PropertyRow& row : group.rows) {
    auto* item = new QTreeWidgetItem(header, {text(row.name), text(row.value), text(row.unit)});
    item->setToolTip(1, text(row.value));
    if (row.bad) {
      for (int column = 0; column < 3; ++column) item->setForeground(column, warningColor());
    }
  }
  header->setExpanded(true);
}

void HartPage::finished(const requests::HartInstrumentRequests::Finished& f) {
  if (progress_) progress_->hide();
  // A hang-up is told by the banner above the buffers: the page says it on
  // its note line only.
  const bool quiet = f.outcome == requests::HartInstrumentRequests::Outcome::PortLost && !f.message.empty();
  ui_->HartNote->setText(text(quiet ? f.message : f.note));
  if (!f.message.empty() && !quiet) host_.showMessage(text(f.message));
}

}  // namespace tq::ui
