#include "ui/profiles.h"

#include <QDateTime>
#include <QFile>
#include <QSaveFile>

#include "common/errors.h"
#include "engine/transaction_engine.h"
#include "link/link_arbiter.h"
#include "requests/hart_instrument_requests.h"
#include "ui/profile_diff_dialog.h"
#include "ui/read_module.h"

namespace tq::ui {

namespace {

const QString kFilter = QStringLiteral("Profiles (*.json);;All files (*)");

QString text(const std::string& s) { return QString::fromStdString(s); }

// One frame a line, as the question lists them.
QString frameLines(const std::vector<record::PlannedFrame>& frames) {
  QString lines;
  for (const record::PlannedFrame& f : frames) lines += QStringLiteral("\n") + text(requests::frameText(f.frame));
  return lines;
}

}  // namespace

Profiles::Profiles(Host host) : host_(std::move(host)), sender_(host_.link) {}

void Profiles::save() {
  bool any = false;
  for (const record::Key& key : record::keys()) any = any || (key.writer >= 0 && host_.record.read(key.name));
  if (!any) {
    host_.showMessage(QStringLiteral("Nothing to save: the module's settings have not been read. Read them with "
                                     "Tools \u25b8 Read Module first."));
    return;
  }
  const QString path = host_.askSaveFile(QStringLiteral("Save Profile"), kFilter);
  if (path.isEmpty()) return;
  const std::string json = record::profileJson(
      host_.record, QDateTime::currentDateTimeUtc().toString(Qt::ISODate).toStdString());
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly) || file.write(json.data(), static_cast<qint64>(json.size())) < 0 ||
      !file.commit()) {
    host_.showMessage(QStringLiteral("The profile could not be saved to %1: %2.").arg(path, file.errorString()));
    return;
  }
  host_.showStatus(QStringLiteral("Profile saved to %1.").arg(path));
}

std::optional<record::Profile> Profiles::load(const QString& title, QString* path) {
  *path = host_.askOpenFile(title, kFilter);
  if (path->isEmpty()) return std::nullopt;
  QFile file(*path);
  if (!file.open(QIODevice::ReadOnly)) {
    host_.showMessage(QStringLiteral("The profile %1 could not be read: %2. Nothing was sent.").arg(*path, file.errorString()));
    return std::nullopt;
  }
  const QByteArray bytes = file.readAll();
  try {
    return record::readProfile(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())),
                               path->toStdString());
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

void Profiles::withFreshRecord(std::function<void()> then) {
  if (host_.readSinceOpen()) {
    then();
    return;
  }
  const bool started = host_.readModule.startThen([this, then](const requests::ModuleReader::Finished& f) {
    if (f.outcome == requests::ModuleReader::Outcome::Completed) then();
    else ended(QStringLiteral("Apply Profile stopped: the module could not be read first; nothing was sent."));
  });
  if (!started) applying_.reset();
}

void Profiles::apply() {
  if (applying_) return;
  QString path;
  auto profile = load(QStringLiteral("Apply Profile"), &path);
  if (!profile) return;
  if (!host_.link.isOpen()) {
    host_.showMessage(text(requests::kPortClosedMessage));
    return;
  }
  applying_ = Applying{path, std::move(*profile), {}, {}, false};
  withFreshRecord([this] { plan(); });
}

void Profiles::plan() {
  const record::ApplyPlan plan = record::planApply(applying_->profile, host_.record);
  QString unsendable;
  for (const std::string& line : plan.unsendable) unsendable += QStringLiteral("\n") + text(line);
  if (plan.frames.empty()) {
    ended(QStringLiteral("Apply Profile: nothing to send."),
          plan.unsendable.empty()
              ? QStringLiteral("The module already holds every setting of %1 that it has; nothing was sent.")
                    .arg(applying_->file)
              : QStringLiteral("Nothing was sent. These settings of %1 differ but cannot be sent:%2")
                    .arg(applying_->file, unsendable));
    return;
  }
  std::vector<record::PlannedFrame> regular;
  for (const record::PlannedFrame& f : plan.frames) {
    (record::writers()[f.writer].changesLink ? applying_->linkFrames : regular).push_back(f);
  }
  QString question = QStringLiteral("Apply %1 to the module? Only the settings that differ are sent, one frame at a "
                                    "time, each after the module's answer to the one before:\n")
                         .arg(applying_->file) +
                     frameLines(regular);
  if (!applying_->linkFrames.empty()) {
    question += QStringLiteral("\n\nLast, each after its own question, since they change the link:\n") +
                frameLines(applying_->linkFrames);
  }
  if (!plan.unsendable.empty()) question += QStringLiteral("\n\nNot sent:") + unsendable;
  if (!host_.ask(question)) {
    ended(QStringLiteral("Apply Profile: nothing was sent."));
    return;
  }
  if (regular.empty()) {
    sendNextLinkFrame();
    return;
  }
  try {
    sender_.send(regular, [this](const std::vector<requests::ProfileSender::Sent>& sent,
                                 requests::ProfileSender::Outcome outcome, const std::string& why) {
      applying_->sent.insert(applying_->sent.end(), sent.begin(), sent.end());
      if (outcome != requests::ProfileSender::Outcome::Completed) {
        QMetaObject::invokeMethod(
            this, [this, why] { ended(QStringLiteral("Apply Profile stopped: %1").arg(text(why)), text(why)); },
            Qt::QueuedConnection);
        return;
      }
      QMetaObject::invokeMethod(this, [this] { sendNextLinkFrame(); }, Qt::QueuedConnection);
    });
  } catch (const InputRefused& e) {
    ended(QStringLiteral("Apply Profile: nothing was sent."), text(e.what()));
  }
}

// YB before the read-back (the module still hears the port), BA1 after it.
void Profiles::sendNextLinkFrame() {
  if (applying_->linkFrames.empty() ||
      (!applying_->readBack && record::writers()[applying_->linkFrames.front().writer].name == "BA1")) {
    if (!applying_->readBack) {
      readBack();
      return;
    }
    if (applying_->linkFrames.empty()) {
      ended({});  // the verdict is on the status bar
      return;
    }
  }
  const record::PlannedFrame frame = applying_->linkFrames.front();
  applying_->linkFrames.erase(applying_->linkFrames.begin());
  const bool line = record::writers()[frame.writer].name == "BA1";
  const QString sent = text(requests::frameText(frame.frame));
  const QString question =
      line ? QStringLiteral("Send %1? The module then talks at its new RS485 baud rate and parity: the port is closed "
                            "2 s later and must be opened again at that setting.")
                 .arg(sent)
           : QStringLiteral("Send %1? It changes the module's interface type and unit count, and with them its "
                            "register map.")
                 .arg(sent);
  if (!host_.ask(question)) {
    sendNextLinkFrame();
    return;
  }
  sender_.send({frame}, [this, line](const std::vector<requests::ProfileSender::Sent>& sent,
                                     requests::ProfileSender::Outcome, const std::string&) {
    applying_->sent.insert(applying_->sent.end(), sent.begin(), sent.end());
    const bool stored = !sent.empty() && sent.back().stored;
    QMetaObject::invokeMethod(
        this,
        [this, line, stored] {
          if (line) {
            // As "Set" of the RS485 settings leaves it.
            if (stored) host_.engine.closePortLater();
            ended(stored ? QStringLiteral("Apply Profile done: the RS485 line setting was stored; the port closes in "
                                          "2 s. Open it again at the new setting.")
                         : QStringLiteral("Apply Profile done: the module did not store the RS485 line setting."));
            return;
          }
          sendNextLinkFrame();
        },
        Qt::QueuedConnection);
  });
}

void Profiles::readBack() {
  applying_->readBack = true;
  const bool started = host_.readModule.startThen([this](const requests::ModuleReader::Finished&) {
    verdict();
    if (applying_) sendNextLinkFrame();
  });
  if (!started) ended(QStringLiteral("Apply Profile: the settings could not be read back."));
}

void Profiles::verdict() {
  QStringList took, notTaken;
  for (const record::DiffRow& row : record::compareProfile(applying_->profile, host_.record)) {
    bool sent = false;
    for (const requests::ProfileSender::Sent& s : applying_->sent) {
      sent = sent || s.writer == record::writers()[static_cast<size_t>(record::findKey(row.key)->writer)].name;
    }
    if (!sent) continue;
    const QString line = QStringLiteral("%1 (%2): %3").arg(text(row.key), text(row.label), text(row.profileValue));
    if (row.comparison == record::Comparison::Same) took << line;
    else notTaken << line + QStringLiteral(", reads back %1").arg(text(row.moduleValue));
  }
  QString refused;
  for (const requests::ProfileSender::Sent& s : applying_->sent) {
    if (!s.stored) {
      refused += QStringLiteral("\n%1: %2").arg(text(s.writer), s.answered ? text(s.answer) : QStringLiteral("no answer"));
    }
  }
  QString message = QStringLiteral("Applied %1: %2 settings took, %3 did not.")
                        .arg(applying_->file)
                        .arg(took.size())
                        .arg(notTaken.size());
  if (!took.isEmpty()) message += QStringLiteral("\n\nTook:\n") + took.join(QLatin1Char('\n'));
  if (!notTaken.isEmpty()) message += QStringLiteral("\n\nDid not take:\n") + notTaken.join(QLatin1Char('\n'));
  if (!refused.isEmpty()) message += QStringLiteral("\n\nFrames not stored by the module:") + refused;
  host_.showStatus(QStringLiteral("Apply Profile: %1 settings took, %2 did not.").arg(took.size()).arg(notTaken.size()));
  host_.showMessage(message);
}

void Profiles::ended(const QString& status, const QString& message) {
  applying_.reset();
  if (!status.isEmpty()) host_.showStatus(status);
  if (!message.isEmpty()) host_.showMessage(message);
}

}  // namespace tq::ui
