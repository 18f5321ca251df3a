#include "ui/finder_dialog.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace tq::ui {

namespace {
constexpr int kMinimumWidth = 420;
}

FinderDialog::FinderDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FinderDialog"));
  setWindowTitle(QStringLiteral("Find Module"));
  // The window behind repaints and its timers run, but takes no clicks
  // while the search holds the port.
  setWindowModality(Qt::WindowModal);
  setMinimumWidth(kMinimumWidth);

  auto* layout = new QVBoxLayout(this);
  step_ = new QLabel(this);
  step_->setObjectName(QStringLiteral("FinderStep"));
  step_->setWordWrap(true);
  progress_ = new QProgressBar(this);
  progress_->setObjectName(QStringLiteral("FinderProgress"));
  cancel_ = new QPushButton(QStringLiteral("Cancel"), this);
  cancel_->setObjectName(QStringLiteral("FinderCancel"));
  connect(cancel_, &QPushButton::clicked, this, &FinderDialog::cancelRequested);
  layout->addWidget(step_);
  layout->addWidget(progress_);
  layout->addWidget(cancel_, 0, Qt::AlignRight);
}

void FinderDialog::showTry(int index, int count, const QString& what, int secondsLeftAtMost) {
  step_->setText(QStringLiteral("Trying %1\nSetting %2 of %3; at most %4 s left.")
                     .arg(what)
                     .arg(index + 1)
                     .arg(count)
                     .arg(secondsLeftAtMost));
  progress_->setRange(0, count);
  progress_->setValue(index);
}

}  // namespace tq::ui
