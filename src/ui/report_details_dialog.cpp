#include "ui/report_details_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace tq::ui {

namespace {

// Longer than any site, loop or name; the window's memory keeps no more.
constexpr int kMaxLineChars = 200;

QLineEdit* line(QWidget* parent, const char* name) {
  auto* edit = new QLineEdit(parent);
  edit->setObjectName(QString::fromLatin1(name));
  edit->setMaxLength(kMaxLineChars);
  return edit;
}

}  // namespace

ReportDetailsDialog::ReportDetailsDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("ReportDetailsDialog"));
  setWindowTitle(QStringLiteral("Save Report"));
  site_ = line(this, "ReportSite");
  loop_ = line(this, "ReportLoop");
  technician_ = line(this, "ReportTechnician");
  notes_ = new QPlainTextEdit(this);
  notes_->setObjectName(QStringLiteral("ReportNotes"));
  notes_->setTabChangesFocus(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Site:"), site_);
  form->addRow(QStringLiteral("Loop or tag:"), loop_);
  form->addRow(QStringLiteral("Technician:"), technician_);
  form->addRow(QStringLiteral("Notes:"), notes_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("Choose File\u2026"));
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  auto* intro =
      new QLabel(QStringLiteral("The report opens with these details; they are kept for the next report."), this);
  intro->setWordWrap(true);
  layout->addWidget(intro);
  layout->addLayout(form);
  layout->addWidget(buttons);
  resize(460, 320);
}

report::Details ReportDetailsDialog::details() const {
  return {site_->text().trimmed(), loop_->text().trimmed(), technician_->text().trimmed(),
          notes_->toPlainText().trimmed()};
}

}  // namespace tq::ui
