#pragma once
// File ▸ "Save Profile…" (`actionSaveProfile`), Tools ▸ "Compare With
// Profile…" (`actionCompareProfile`) and Tools ▸ "Apply Profile…"
// (`actionApplyProfile`). A profile file is checked whole before anything
// is done with it. Applying is requests::ProfileApplier's: the window asks
// its questions in boxes and shows its messages.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "record/profile.h"
#include "requests/profile_apply.h"

class QWidget;

namespace tq::engine {
class TransactionEngine;
}

namespace tq::ui {

class ReadModule;

class Profiles : public QObject {
  Q_OBJECT

 public:
  struct Host {
    QWidget* window;
    link::LinkArbiter& link;
    engine::TransactionEngine& engine;
    ReadModule& readModule;
    const record::ModuleRecord& record;
    std::function<bool()> readSinceOpen;  // a Read Module ended since the port was opened
    std::function<QString(const QString& title, const QString& filter)> askSaveFile;
    std::function<QString(const QString& title, const QString& filter)> askOpenFile;
    std::function<bool(const QString&)> ask;
    std::function<void(const QString&)> showMessage;
    std::function<void(const QString&)> showStatus;
  };

  explicit Profiles(Host host);

  void save();
  void compare();
  void apply();
  requests::ProfileSender& sender() { return applier_.sender(); }
  bool applying() const { return applier_.running(); }

 private:
  // The profile read and checked, or a message shown and nullopt.
  std::optional<record::Profile> load(const QString& title, QString* file);

  Host host_;
  requests::ProfileApplier applier_;
};

}  // namespace tq::ui
