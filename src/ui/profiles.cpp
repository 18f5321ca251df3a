#include "ui/profiles.h"

#include <QDateTime>

#include "common/errors.h"
#include "common/save_file.h"
#include "engine/transaction_engine.h"
#include "ui/profile_diff_dialog.h"
#include "ui/read_module.h"

namespace tq::ui {

namespace {

const QString kFilter = QStringLiteral("Profiles (*.json);;All files (*)");

QString text(const std::string& s) { return QString::fromStdString(s); }

}  // namespace

Profiles::Profiles(Host host)
    : host_(std::move(host)),
      applier_(
          host_.link, host_.record,
          {.readModule =
               [this](std::function<void(bool)> then) {
                 return host_.readModule.startThen([then](const requests::ModuleReader::Finished& f) {
                   then(f.outcome == requests::ModuleReader::Outcome::Completed);
                 });
               },
           .readSinceOpen = [this] { return host_.readSinceOpen(); },
           .ask = [this](const std::string& question) { return host_.ask(text(question)); },
           .later = [this](std::function<void()> next) { QMetaObject::invokeMethod(this, next, Qt::QueuedConnection); },
           .closePortLater = [this] { host_.engine.closePortLater(); },
           .onVerdict =
               [this](const requests::ApplyVerdict& verdict, const std::string& file) {
                 host_.showStatus(text(verdict.status()));
                 host_.showMessage(text(verdict.message(file)));
               },
           .onEnded =
               [this](const requests::ProfileApplier::Ended& ended) {
                 if (!ended.status.empty()) host_.showStatus(text(ended.status));
                 if (!ended.message.empty()) host_.showMessage(text(ended.message));
               }}) {}

void Profiles::save() {
  bool any = false;
  for (const record::Key& key : record::keys()) any = any || (key.writer >= 0 && host_.record.read(key.name));
  if (!any) {
    host_.showMessage(
        QStringLiteral("Nothing to save: the module's settings have not been read. Read them with "
                       "Tools \u25b8 Read Module first."));
    return;
  }
  const QString path = host_.askSaveFile(QStringLiteral("Save Profile"), kFilter);
  if (path.isEmpty()) return;
  const std::string json =
      record::profileJson(host_.record, QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString());
  const std::string reason = saveFile(path.toStdString(), json);
  if (!reason.empty()) {
    host_.showMessage(QStringLiteral("The profile could not be saved to %1: %2.").arg(path, text(reason)));
    return;
  }
  host_.showStatus(QStringLiteral("Profile saved to %1.").arg(path));
}

std::optional<record::Profile> Profiles::load(const QString& title, QString* path) {
  *path = host_.askOpenFile(title, kFilter);
  if (path->isEmpty()) return std::nullopt;
  try {
    return record::readProfileFile(path->toStdString());
  } catch (const InputRefused& e) {
    host_.showMessage(text(e.what()));
    return std::nullopt;
  }
}

void Profiles::compare() {
  QString path;
  const auto profile = load(QStringLiteral("Compare With Profile"), &path);
  if (!profile) return;
  auto* dialog = new ProfileDiffDialog(path, record::compareProfile(*profile, host_.record), host_.window);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  dialog->show();
}

void Profiles::apply() {
  if (applier_.running()) return;
  QString path;
  auto profile = load(QStringLiteral("Apply Profile"), &path);
  if (!profile) return;
  try {
    applier_.start(path.toStdString(), std::move(*profile));
  } catch (const InputRefused& e) {
    host_.showMessage(text(e.what()));
  }
}

}  // namespace tq::ui
