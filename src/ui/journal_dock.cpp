#include "ui/journal_dock.h"

#include <QAction>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTreeView>
#include <QVBoxLayout>
#include <set>

#include "journal/export.h"
#include "ui/journal_model.h"

namespace tq::ui {

namespace {

// Column widths that fit their contents at the window's default font.
constexpr int kTimeColumnWidth = 230;  // also the fields' names
constexpr int kResponseColumnWidth = 70;
constexpr int kDirectionColumnWidth = 36;
constexpr int kBytesColumnWidth = 60;

}  // namespace

JournalDock::JournalDock(journal::Journal& journal, QWidget* parent)
    : QDockWidget(QStringLiteral("Journal"), parent), journal_(journal) {
  setObjectName(QStringLiteral("JournalDock"));
  setAllowedAreas(Qt::AllDockWidgetAreas);

  auto* body = new QWidget(this);
  auto* layout = new QVBoxLayout(body);
  layout->setContentsMargins(4, 4, 4, 4);
  auto* bar = new QHBoxLayout;
  auto* kinds = new QComboBox(body);
  kinds->setObjectName(QStringLiteral("JournalFilter"));
  kinds->addItems({QStringLiteral("All"), QStringLiteral("Configuration"), QStringLiteral("HART"),
                   QStringLiteral("MODBUS"), QStringLiteral("Events")});
  auto* search = new QLineEdit(body);
  search->setObjectName(QStringLiteral("JournalSearch"));
  search->setPlaceholderText(QStringLiteral("Search summaries and bytes (hex)"));
  search->setClearButtonEnabled(true);
  auto* clear = new QPushButton(QStringLiteral("Clear"), body);
  clear->setObjectName(QStringLiteral("JournalClear"));
  bar->addWidget(new QLabel(QStringLiteral("Show:"), body));
  bar->addWidget(kinds);
  bar->addWidget(search, 1);
  bar->addWidget(clear);
  layout->addLayout(bar);

  model_ = new JournalModel(journal_, this);
  filter_ = new JournalFilter(this);
  filter_->setSourceModel(model_);
  view_ = new QTreeView(body);
  view_->setObjectName(QStringLiteral("JournalView"));
  view_->setModel(filter_);
  view_->setUniformRowHeights(true);
  view_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  view_->setAlternatingRowColors(true);
  view_->header()->setStretchLastSection(true);
  view_->setColumnWidth(JournalModel::TimeColumn, kTimeColumnWidth);
  view_->setColumnWidth(JournalModel::ResponseColumn, kResponseColumnWidth);
  view_->setColumnWidth(JournalModel::DirectionColumn, kDirectionColumnWidth);
  view_->setColumnWidth(JournalModel::BytesColumn, kBytesColumnWidth);
  layout->addWidget(view_);
  setWidget(body);

  connect(kinds, &QComboBox::currentIndexChanged, filter_, &JournalFilter::setChoice);
  connect(search, &QLineEdit::textChanged, filter_, &JournalFilter::setSearch);
  connect(clear, &QPushButton::clicked, this, [this] { journal_.clear(); });
  model_->setFollowing(false);  // the panel starts hidden

  // New entries are followed unless the operator scrolled up to read.
  connect(filter_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this](const QModelIndex& parent) {
    if (parent.isValid()) return;
    const QScrollBar* bar = view_->verticalScrollBar();
    followNew_ = bar->value() == bar->maximum();
  });
  connect(filter_, &QAbstractItemModel::rowsInserted, this, [this](const QModelIndex& parent) {
    if (!parent.isValid() && followNew_) view_->scrollToBottom();
  });

  auto* copy = new QAction(QStringLiteral("Copy"), view_);
  copy->setShortcut(QKeySequence::Copy);
  copy->setShortcutContext(Qt::WidgetWithChildrenShortcut);
  connect(copy, &QAction::triggered, this, &JournalDock::copySelection);
  view_->addAction(copy);
  view_->setContextMenuPolicy(Qt::ActionsContextMenu);
}

void JournalDock::setVisible(bool visible) {
  QDockWidget::setVisible(visible);
  // Hidden, the rows do not follow the journal; shown, they catch up.
  model_->setFollowing(visible);
}

QString JournalDock::selectedText() const {
  std::set<int> rows;  // a field selected stands for its entry
  for (const QModelIndex& index : view_->selectionModel()->selectedIndexes()) {
    rows.insert(model_->entryRow(filter_->mapToSource(index)));
  }
  std::string text;
  for (int row : rows) {
    if (model_->isDroppedCountRow(row)) {
      text += journal::droppedText(journal_.dropped()) + "\n";
    } else if (const journal::Entry* entry = model_->entryAt(row)) {
      text += journal::entryText(journal_, *entry);
    }
  }
  return QString::fromStdString(text);
}

void JournalDock::copySelection() const {
  const QString text = selectedText();
  if (!text.isEmpty()) QGuiApplication::clipboard()->setText(text);
}

}  // namespace tq::ui
