#pragma once
// The journal's panel, `JournalDock`: the entries in JournalView, a filter
// by kind (`JournalFilter`), a search (`JournalSearch`) and `JournalClear`.
// It only observes the link: nothing it does reaches the port.
#include <QDockWidget>

#include "journal/export.h"
#include "journal/journal.h"

class QComboBox;
class QLineEdit;
class QPushButton;
class QTreeView;

namespace tq::ui {

class JournalModel;
class JournalFilter;

class JournalDock : public QDockWidget {
  Q_OBJECT

 public:
  JournalDock(journal::Journal& journal, QWidget* parent);

  // The selected entries as text, the same lines a saved journal holds.
  QString selectedText() const;

  JournalModel& model() { return *model_; }
  void setVisible(bool visible) override;

 private:
  void copySelection() const;

  journal::Journal& journal_;
  JournalModel* model_;
  JournalFilter* filter_;
  QTreeView* view_;
  bool followNew_ = true;
};

}  // namespace tq::ui
