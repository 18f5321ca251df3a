#pragma once
// Tools ▸ "Compare With Profile…": `ProfileDiffDialog` shows
// `ProfileDiffView`, one row per key of the profile: key, label, profile
// value, module value, and same / different / not read, differences first.
#include <QDialog>
#include <vector>

#include "record/profile.h"

class QTreeWidget;

namespace tq::ui {

class ProfileDiffDialog : public QDialog {
  Q_OBJECT

 public:
  ProfileDiffDialog(const QString& fileName, const std::vector<record::DiffRow>& rows, QWidget* parent = nullptr);
};

}  // namespace tq::ui
