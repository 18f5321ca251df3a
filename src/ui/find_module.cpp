#include "ui/find_module.h"

#include <QComboBox>
#include <QWidget>
#include <algorithm>

#include "common/int_conversion.h"
#include "common/text.h"
#include "engine/transaction_engine.h"
#include "link/link_arbiter.h"
#include "protocol/replies.h"
#include "ui/finder_dialog.h"

namespace tq::ui {

namespace {

constexpr int kMsPerSecond = 1000;

// Shows `text` in a combo box: its item when it has one, else as typed.
void showChoice(QWidget* root, const char* name, const QString& text) {
  auto* combo = root->findChild<QComboBox*>(QString::fromLatin1(name));
  if (!combo) return;
  const int item = combo->findText(text);
  if (item >= 0)
    combo->setCurrentIndex(item);
  else
    combo->setCurrentText(text);
}

// "COM4 at 9600 baud, parity even", as the dialog and the status line say it.
QString settingAt(const LineSetting& line) {
  return QString::fromStdString(line.port + " at " + settingText(line.baud, line.parity));
}

std::optional<uint32_t> rateOf(const std::string& text) {
  const std::optional<int32_t> rate = tryParseInt(text);
  return rate && *rate > 0 ? std::optional<uint32_t>(static_cast<uint32_t>(*rate)) : std::nullopt;
}

}  // namespace

FindModule::FindModule(Window window, link::LinkArbiter& link)
    : window_(std::move(window)), link_(link), finder_(link) {}

// The window closing under a search: the port is closed, nothing is left.
FindModule::~FindModule() { finder_.cancel(); }

requests::FinderPlan FindModule::planFromControls() const {
  const engine::View& view = *window_.view;
  requests::FinderPlan plan;
  std::vector<std::string> names{view.text("SPREALCOM")};
  if (view.checked("FindAllPorts") && window_.allPorts) {
    const std::vector<std::string> all = window_.allPorts();
    names.insert(names.end(), all.begin(), all.end());
  }
  plan.ports = requests::distinctPorts(names);
  plan.chosenBaud = rateOf(view.text("ComboBox11"));
  plan.chosenParity = parityFromIndex(view.selectedIndex("ComboBox10"));
  plan.rts = view.checked("CheckBox1");
  plan.dtr = view.checked("CheckBox2");
  if (auto* rates = window_.root->findChild<QComboBox*>(QStringLiteral("ComboBox11"))) {
    for (int i = 0; i < rates->count(); ++i) {
      if (const auto rate = rateOf(rates->itemText(i).toStdString())) plan.listedBauds.push_back(*rate);
    }
  }
  return plan;
}

void FindModule::start() {
  if (finder_.running() || link_.claimed()) return;
  const requests::FinderPlan plan = planFromControls();
  if (plan.ports.empty()) {
    window_.showMessage(QStringLiteral("Choose the serial port in Serial Port: first, or tick All ports."));
    return;
  }
  // The search needs the port to itself: an open one is closed first, as
  // Button1 would, and the search opens it anew at each setting.
  if (window_.portOpen()) window_.releasePort();

  dialog_ = new FinderDialog(window_.root);
  connect(dialog_, &FinderDialog::cancelRequested, this, &FindModule::cancel);
  dialog_->show();
  const bool started =
      finder_.start(plan, {[this](size_t index, size_t count, const LineSetting& line) { onTry(index, count, line); },
                           [this](const requests::ModuleFinder::Result& result) { finished(result); }});
  if (!started) {
    closeDialog();
    if (window_.ended) window_.ended();
  }
}

void FindModule::cancel() { finder_.cancel(); }

void FindModule::onTry(size_t index, size_t count, const LineSetting& line) {
  if (!dialog_) return;
  const std::vector<LineSetting>& tries = finder_.tries();
  const std::vector<LineSetting> left(tries.begin() + static_cast<std::ptrdiff_t>(index), tries.end());
  const int64_t leftMs = requests::worstCaseMs(left);
  dialog_->showTry(static_cast<int>(index), static_cast<int>(count), settingAt(line),
                   static_cast<int>((leftMs + kMsPerSecond - 1) / kMsPerSecond));
}

void FindModule::finished(const requests::ModuleFinder::Result& result) {
  // The port is closed already and the line back with the engine.
  closeDialog();
  // The rest runs once the block or tick that ended the search has been
  // handled, not inside the serial component's delivery of it.
  QMetaObject::invokeMethod(
      this,
      [this, result] {
        using Outcome = requests::ModuleFinder::Outcome;
        switch (result.outcome) {
          case Outcome::Found:
            found(*result.found, result.answer);
            break;
          case Outcome::NothingAnswered:
            window_.showMessage(QString::fromStdString(result.message));
            break;
          case Outcome::Failed:
            window_.showMessage(QStringLiteral("Find Module stopped: %1").arg(QString::fromStdString(result.message)));
            break;
          case Outcome::Cancelled:
            break;
        }
        if (window_.ended) window_.ended();
      },
      Qt::QueuedConnection);
}

void FindModule::found(const LineSetting& line, const std::vector<uint8_t>& answer) {
  const QString setting = settingAt(line);
  showChoice(window_.root, "SPREALCOM", QString::fromStdString(line.port));
  showChoice(window_.root, "ComboBox11", QString::number(line.baud));
  window_.view->apply(Assignment::select("ComboBox10", parityIndex(line.parity)));
  window_.openPort();
  if (!window_.portOpen()) {
    window_.showStatus(
        QStringLiteral("The module answered on %1, but the port could not be opened again.").arg(setting));
    return;
  }
  // As the communication query's reply: the received text is the block's
  // first bytes.
  const std::string text(
      answer.begin(), answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), engine::kReceivedTextMax)));
  const Decoded decoded = protocol::decodeCommQueryReply(text);
  for (const Assignment& change : decoded.assignments) window_.view->apply(change);
  if (decoded.error) {
    window_.showStatus(QStringLiteral("Module found on %1; its answer could not be read.").arg(setting));
    window_.showMessage(QString::fromStdString(*decoded.error));
    return;
  }
  window_.showStatus(QStringLiteral("Module found on %1: %2, %3.")
                         .arg(setting, QString::fromStdString(window_.view->text("ComboBox13")),
                              QString::fromStdString(window_.view->text("ComboBox1"))));
}

void FindModule::closeDialog() {
  if (!dialog_) return;
  dialog_->hide();
  dialog_->deleteLater();
  dialog_ = nullptr;
}

}  // namespace tq::ui
