#pragma once
// File ▸ "Save Profile…" (`actionSaveProfile`), Tools ▸ "Compare With
// Profile…" (`actionCompareProfile`) and Tools ▸ "Apply Profile…"
// (`actionApplyProfile`). A profile file is checked whole before anything
// is done with it. Applying sends only the settings that differ, after one
// question listing every frame, one frame at a time; the unit count (YB)
// and the RS485 line setting (BA1) go last, each after its own question,
// and what was written is read back (a Read Module) before the line
// setting changes.
#include <QObject>
#include <QString>
#include <functional>
#include <optional>

#include "record/profile.h"
#include "requests/profile_sender.h"

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
  requests::ProfileSender& sender() { return sender_; }
  bool applying() const { return applying_.has_value(); }

 private:
  struct Applying {
    QString file;
    record::Profile profile;
    std::vector<record::PlannedFrame> linkFrames;  // YB, BA1: each after its own question
    std::vector<requests::ProfileSender::Sent> sent;
    bool readBack = false;
  };
  // The profile read and checked, or a message shown and nullopt.
  std::optional<record::Profile> load(const QString& title, QString* file);
  // Runs `then` once the record is this open's, reading the module first.
  void withFreshRecord(std::function<void()> then);
  void plan();
  void sendNextLinkFrame();
  void readBack();
  void verdict();
  void ended(const QString& status, const QString& message = {});

  Host host_;
  requests::ProfileSender sender_;
  std::optional<Applying> applying_;
};

}  // namespace tq::ui
