#include "ui/profile_diff_dialog.h"

#include <QDialogButtonBox>
#include <QHeaderView>
#include <QLabel>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "ui/warning_color.h"

namespace tq::ui {

namespace {

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

ProfileDiffDialog::ProfileDiffDialog(const QString& fileName, const std::vector<record::DiffRow>& rows, QWidget* parent)
    : QDialog(parent) {
  setObjectName(QStringLiteral("ProfileDiffDialog"));
  setWindowTitle(QStringLiteral("Compare With Profile"));
  size_t different = 0, notRead = 0;
  for (const record::DiffRow& row : rows) {
    different += row.comparison == record::Comparison::Different;
    notRead += row.comparison == record::Comparison::NotRead;
  }
  auto* summary = new QLabel(QStringLiteral("%1: %2 settings, %3 different, %4 not read on the module.")
                                 .arg(fileName)
                                 .arg(rows.size())
                                 .arg(different)
                                 .arg(notRead),
                             this);
  summary->setWordWrap(true);
  auto* view = new QTreeWidget(this);
  view->setObjectName(QStringLiteral("ProfileDiffView"));
  view->setRootIsDecorated(false);
  view->setHeaderLabels({QStringLiteral("Key"), QStringLiteral("Label"), QStringLiteral("Profile"),
                         QStringLiteral("Module"), QStringLiteral("Comparison")});
  for (const record::DiffRow& row : rows) {
    auto* item =
        new QTreeWidgetItem(view, {text(row.key), text(row.label), text(row.profileValue), text(row.moduleValue),
                                   text(std::string(record::comparisonText(row.comparison)))});
    if (row.comparison == record::Comparison::Different) {
      for (int column = 0; column < 5; ++column) item->setForeground(column, warningColor());
    }
  }
  view->header()->setSectionResizeMode(QHeaderView::ResizeToContents);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* column = new QVBoxLayout(this);
  column->addWidget(summary);
  column->addWidget(view);
  column->addWidget(buttons);
  resize(760, 480);
}

}  // namespace tq::ui
