#pragma once
// The details an as-left report opens with (`ReportDetailsDialog`): site
// (`ReportSite`), loop or tag (`ReportLoop`), technician
// (`ReportTechnician`) and notes (`ReportNotes`, several lines). One dialog
// lives as long as the window, so what was typed for one report is there
// for the next, and the window's memory keeps it between runs.
#include <QDialog>

#include "report/as_left_report.h"

class QLineEdit;
class QPlainTextEdit;

namespace tq::ui {

class ReportDetailsDialog : public QDialog {
  Q_OBJECT

 public:
  explicit ReportDetailsDialog(QWidget* parent);
  report::Details details() const;

 private:
  QLineEdit* site_;
  QLineEdit* loop_;
  QLineEdit* technician_;
  QPlainTextEdit* notes_;
};

}  // namespace tq::ui
