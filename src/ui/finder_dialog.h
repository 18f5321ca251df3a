#pragma once
// The module finder's progress: which port, rate and parity is being tried,
// how far the search is, and a Cancel that ends it at once. A thin view:
// the search runs on its own, the dialog only shows it and asks to cancel.
#include <QDialog>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tq::ui {

class FinderDialog : public QDialog {
  Q_OBJECT

 public:
  explicit FinderDialog(QWidget* parent);

  // Try `index` (from 0) of `count` begins; `what` names its setting.
  void showTry(int index, int count, const QString& what, int secondsLeftAtMost);

 signals:
  // Cancel, Esc or the window's close button.
  void cancelRequested();

 protected:
  void reject() override { emit cancelRequested(); }

 private:
  QLabel* step_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QPushButton* cancel_ = nullptr;
};

}  // namespace tq::ui
