#include "ui/read_module.h"

#include <QProgressDialog>
#include <QTreeWidget>
#include <QWidget>
#include <utility>

#include "common/errors.h"

namespace tq::ui {

ReadModule::ReadModule(Host host)
    : host_(std::move(host)), reader_(host_.link, host_.view, host_.hart, host_.record, host_.replyAwaited) {
  reader_.events.onStep = [this](size_t index, size_t count, const std::string& label) {
    stepped(index, count, label);
  };
  reader_.events.onFinished = [this](const requests::ModuleReader::Finished& f) { finished(f); };
}

// The window closing under a run: the port is given back, nothing is left.
ReadModule::~ReadModule() {
  reader_.events = {};
  reader_.cancel();
}

void ReadModule::start() { startThen({}); }

bool ReadModule::startThen(std::function<void(const requests::ModuleReader::Finished&)> next) {
  if (reader_.running()) return false;
  try {
    reader_.start();
  } catch (const InputRefused& e) {
    host_.showMessage(QString::fromStdString(e.what()));
    return false;
  }
  next_ = std::move(next);
  // The instrument's rows are this run's, or none.
  if (auto* rows = host_.window->findChild<QTreeWidget*>(QStringLiteral("HartPropertiesView"))) rows->clear();
  if (!progress_) {
    progress_ = new QProgressDialog(host_.window);
    progress_->setObjectName(QStringLiteral("ReadModuleProgress"));
    progress_->setWindowTitle(QStringLiteral("Read Module"));
    progress_->setWindowModality(Qt::WindowModal);
    progress_->setAutoClose(false);
    progress_->setAutoReset(false);
    progress_->setMinimumDuration(0);
    connect(progress_, &QProgressDialog::canceled, this, [this] { reader_.cancel(); });
  }
  progress_->setLabelText(QStringLiteral("Reading the module\u2026"));
  progress_->setValue(0);
  progress_->show();
  return true;
}

void ReadModule::stepped(size_t index, size_t count, const std::string& label) {
  if (!progress_) return;
  progress_->setMaximum(static_cast<int>(count));
  progress_->setValue(static_cast<int>(index));
  progress_->setLabelText(
      QStringLiteral("%1 (step %2 of at most %3)").arg(QString::fromStdString(label)).arg(index + 1).arg(count));
}

void ReadModule::finished(const requests::ModuleReader::Finished& f) {
  if (progress_) progress_->hide();
  // The rest runs once the block or tick that ended the run has been
  // handled, not inside its delivery.
  QMetaObject::invokeMethod(
      this,
      [this, f] {
        host_.showStatus(QString::fromStdString(f.status));
        if (!f.message.empty()) host_.showMessage(QString::fromStdString(f.message));
        if (onFinished) onFinished(f);
        if (auto next = std::exchange(next_, {})) next(f);
      },
      Qt::QueuedConnection);
}

}  // namespace tq::ui
