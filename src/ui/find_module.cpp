#include "ui/find_module.h"

#include <QComboBox>
#include <QWidget>
#include <algorithm>

#include "common/int_conversion.h"
#include "common/text.h"
#include "engine/transaction_engine.h"
#include "protocol/replies.h"
#include "serial/comm_types.h"
#include "serial/posix_device.h"
#include "ui/finder_dialog.h"
#include "ui/link_arbiter.h"

namespace tq::ui {

namespace {

constexpr const char* kHolder = "Find Module";
constexpr int kMsPerSecond = 1000;

// Shows `text` in a combo box: its item when it has one, else as typed.
void showChoice(QWidget* root, const char* name, const QString& text) {
  auto* combo = root->findChild<QComboBox*>(QString::fromLatin1(name));
  if (!combo) return;
  const int item = combo->findText(text);
  if (item >= 0) combo->setCurrentIndex(item);
  else combo->setCurrentText(text);
}

// "COM4 at 9600 baud, parity even", as the dialog and the status line say it.
QString settingAt(const engine::LineTry& line) {
  return QString::fromStdString(line.port + " at " + engine::settingText(line.baud, line.parity));
}

std::optional<uint32_t> rateOf(const std::string& text) {
  const std::optional<int32_t> rate = tryParseInt(text);
  return rate && *rate > 0 ? std::optional<uint32_t>(static_cast<uint32_t>(*rate)) : std::nullopt;
}

}  // namespace

// The finder's port: the arbiter's, one setting at a time, with COM_RTS and
// COM_DTR as ticked when the search began.
class FindModule::ArbiterPort : public engine::ModuleFinder::Port {
 public:
  explicit ArbiterPort(LinkArbiter& link) : link_(link) {}
  bool rts = false;
  bool dtr = false;

  Opened open(const engine::LineTry& line, std::string& why) override {
    try {
      link_.openWith({line.port, line.baud, line.parity, dtr, rts});
      return Opened::Yes;
    } catch (const serial::ERateRefused& e) {
      why = e.what();
      return Opened::SettingRefused;
    } catch (const std::exception& e) {
      why = e.what();
      return Opened::Unavailable;
    }
  }
  void close() override { link_.close("by Find Module"); }

 private:
  LinkArbiter& link_;
};

FindModule::FindModule(Window window, LinkArbiter& link, engine::RequestSequencer& sequencer)
    : window_(std::move(window)),
      link_(link),
      sequencer_(sequencer),
      port_(std::make_unique<ArbiterPort>(link)),
      finder_(*port_, sequencer) {}

FindModule::~FindModule() {
  // The window closing under a search: the port is closed, nothing is left.
  finder_.cancel();
  link_.release();
}

engine::FinderPlan FindModule::planFromControls() const {
  const engine::View& view = *window_.view;
  engine::FinderPlan plan;
  std::vector<std::string> names{view.text("SPREALCOM")};
  if (view.checked("FindAllPorts") && window_.allPorts) {
    const std::vector<std::string> all = window_.allPorts();
    names.insert(names.end(), all.begin(), all.end());
  }
  // "COM4" and "/dev/ttyS3" are one port: asked once, under the first name.
  std::vector<std::string> devices;
  for (const std::string& name : names) {
    const std::string device = serial::devicePathFor(name);
    if (name.empty() || std::find(devices.begin(), devices.end(), device) != devices.end()) continue;
    devices.push_back(device);
    plan.ports.push_back(name);
  }
  plan.chosenBaud = rateOf(view.text("ComboBox11"));
  plan.chosenParity = view.selectedIndex("ComboBox10");
  if (auto* rates = window_.root->findChild<QComboBox*>(QStringLiteral("ComboBox11"))) {
    for (int i = 0; i < rates->count(); ++i) {
      if (const auto rate = rateOf(rates->itemText(i).toStdString())) plan.listedBauds.push_back(*rate);
    }
  }
  return plan;
}

void FindModule::start() {
  if (finder_.running() || sequencer_.running()) return;
  const engine::FinderPlan plan = planFromControls();
  if (plan.ports.empty()) {
    window_.showMessage(QStringLiteral("Choose the serial port in Serial Port: first, or tick All ports."));
    return;
  }
  // The search needs the port to itself: an open one is closed first, as
  // Button1 would, and the search opens it anew at each setting.
  if (window_.portOpen()) window_.releasePort();
  port_->rts = window_.view->checked("CheckBox1");
  port_->dtr = window_.view->checked("CheckBox2");

  dialog_ = new FinderDialog(window_.root);
  connect(dialog_, &FinderDialog::cancelRequested, this, &FindModule::cancel);
  link_.claim(kHolder, [this](std::span<const uint8_t> block) { sequencer_.blockReceived(block); });
  dialog_->show();
  const bool started = finder_.start(
      plan, {[this](size_t index, size_t count, const engine::LineTry& line) { onTry(index, count, line); },
             [this](const engine::ModuleFinder::Result& result) { finished(result); }});
  if (!started) {
    link_.release();
    closeDialog();
  }
}

void FindModule::cancel() { finder_.cancel(); }

void FindModule::portLost(const std::string& port) {
  finder_.fail("The serial port " + port +
               " hung up during the search (adapter unplugged, device gone or far end closed).");
}

void FindModule::onTry(size_t index, size_t count, const engine::LineTry& line) {
  if (!dialog_) return;
  const std::vector<engine::LineTry>& tries = finder_.tries();
  const std::vector<engine::LineTry> left(tries.begin() + static_cast<std::ptrdiff_t>(index), tries.end());
  const int64_t leftMs = engine::worstCaseMs(left);
  dialog_->showTry(static_cast<int>(index), static_cast<int>(count), settingAt(line),
                   static_cast<int>((leftMs + kMsPerSecond - 1) / kMsPerSecond));
}

void FindModule::finished(const engine::ModuleFinder::Result& result) {
  // The port is closed already; the line goes back to the engine.
  link_.release();
  closeDialog();
  // The rest runs once the block or tick that ended the search has been
  // handled, not inside the serial component's delivery of it.
  QMetaObject::invokeMethod(
      this,
      [this, result] {
        using Outcome = engine::ModuleFinder::Outcome;
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
      },
      Qt::QueuedConnection);
}

void FindModule::found(const engine::LineTry& line, const std::vector<uint8_t>& answer) {
  const QString setting = settingAt(line);
  showChoice(window_.root, "SPREALCOM", QString::fromStdString(line.port));
  showChoice(window_.root, "ComboBox11", QString::number(line.baud));
  window_.view->apply(Assignment::select("ComboBox10", line.parity));
  window_.openPort();
  if (!window_.portOpen()) {
    window_.showStatus(QStringLiteral("The module answered on %1, but the port could not be opened again.").arg(setting));
    return;
  }
  // As the communication query's reply: the received text is the block's
  // first bytes.
  const std::string text(answer.begin(),
                         answer.begin() + static_cast<std::ptrdiff_t>(std::min(answer.size(), engine::kReceivedTextMax)));
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
