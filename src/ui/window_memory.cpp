#include "ui/window_memory.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QDoubleSpinBox>
#include <QFileInfo>
#include <QLineEdit>
#include <QMainWindow>
#include <QPlainTextEdit>
#include <QSettings>

namespace tq::ui {

namespace {

// The controls the port is opened from, and the pages' own that are remembered.
constexpr const char* kPortCombo = "SPREALCOM";
constexpr const char* kBaudCombo = "ComboBox11";
constexpr const char* kParityCombo = "ComboBox10";
constexpr const char* kRtsCheck = "CheckBox1";
constexpr const char* kDtrCheck = "CheckBox2";
constexpr const char* kJournalFilter = "JournalFilter";
constexpr const char* kJournalSearch = "JournalSearch";
constexpr const char* kHartScanWide = "HartScanWide";
constexpr const char* kTrendInterval = "TrendInterval";
constexpr const char* kTrendSpan = "TrendSpan";
constexpr const char* kTrendAxes = "TrendAxes";
constexpr const char* kTrendAutoscale = "TrendAutoscale";

template <typename T>
T* child(const QMainWindow& window, const char* name) {
  return window.findChild<T*>(QString::fromLatin1(name));
}

std::string text(const QString& s) { return s.toStdString(); }
QString text(const std::string& s) { return QString::fromStdString(s); }

// A detail's text, whether it is a line or a box of lines.
std::optional<std::string> detailText(const QMainWindow& window, const char* name) {
  if (auto* line = child<QLineEdit>(window, name)) return text(line->text());
  if (auto* box = child<QPlainTextEdit>(window, name)) return text(box->toPlainText());
  return std::nullopt;
}

void setDetail(QMainWindow& window, const std::string& name, const std::string& value) {
  if (auto* line = window.findChild<QLineEdit*>(text(name)))
    line->setText(text(value));
  else if (auto* box = window.findChild<QPlainTextEdit*>(text(name)))
    box->setPlainText(text(value));
}

}  // namespace

WindowMemory::WindowMemory(std::unique_ptr<QSettings> store) : store_(std::move(store)) {}
WindowMemory::~WindowMemory() = default;

std::unique_ptr<QSettings> WindowMemory::desktopStore() {
  return std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("TQ580"),
                                     QStringLiteral("tq580"));
}

void WindowMemory::clear() {
  store_->clear();
  store_->sync();
  remembered_ = {};
}

void WindowMemory::restore(QMainWindow& window, const std::function<void(const std::string&)>& journalEvent) {
  store_->sync();
  if (store_->status() != QSettings::NoError) {
    journalEvent("Settings not read from " + text(store_->fileName()) +
                 (store_->status() == QSettings::FormatError ? ": the file is damaged" : ": it cannot be read") +
                 "; the tool starts as on its first run");
    return;
  }
  std::map<std::string, std::string> values;
  for (const QString& key : store_->allKeys()) values[text(key)] = text(store_->value(key).toString());
  std::vector<std::string> ignored;
  remembered_ = settings::readRemembered(values, ignored);
  if (!ignored.empty()) {
    std::string line = "Settings passed over from " + text(store_->fileName()) + ": ";
    for (size_t i = 0; i < ignored.size(); ++i) line += (i ? "; " : "") + ignored[i];
    journalEvent(line);
  }

  const settings::Remembered& r = remembered_;
  if (r.geometry) window.restoreGeometry(QByteArray::fromBase64(QByteArray::fromStdString(*r.geometry)));
  if (r.layout) window.restoreState(QByteArray::fromBase64(QByteArray::fromStdString(*r.layout)));
  if (auto* port = child<QComboBox>(window, kPortCombo); port && r.port) port->setCurrentText(text(*r.port));
  if (auto* baud = child<QComboBox>(window, kBaudCombo); baud && r.baud) baud->setCurrentText(text(*r.baud));
  if (auto* parity = child<QComboBox>(window, kParityCombo); parity && r.parity) parity->setCurrentIndex(*r.parity);
  if (auto* rts = child<QCheckBox>(window, kRtsCheck); rts && r.rts) rts->setChecked(*r.rts);
  if (auto* dtr = child<QCheckBox>(window, kDtrCheck); dtr && r.dtr) dtr->setChecked(*r.dtr);
  if (auto* filter = child<QComboBox>(window, kJournalFilter); filter && r.journalFilter) {
    filter->setCurrentIndex(*r.journalFilter);
  }
  if (auto* search = child<QLineEdit>(window, kJournalSearch); search && r.journalSearch) {
    search->setText(text(*r.journalSearch));
  }
  if (auto* wide = child<QCheckBox>(window, kHartScanWide); wide && r.hartScanWide) wide->setChecked(*r.hartScanWide);
  if (auto* interval = child<QDoubleSpinBox>(window, kTrendInterval); interval && r.trendInterval) {
    interval->setValue(*r.trendInterval);
  }
  if (auto* span = child<QComboBox>(window, kTrendSpan); span && r.trendSpan) span->setCurrentIndex(*r.trendSpan);
  if (auto* axes = child<QComboBox>(window, kTrendAxes); axes && r.trendAxes) axes->setCurrentIndex(*r.trendAxes);
  if (auto* autoscale = child<QCheckBox>(window, kTrendAutoscale); autoscale && r.trendAutoscale) {
    autoscale->setChecked(*r.trendAutoscale);
  }
  for (const auto& [name, value] : r.report) setDetail(window, name, value);
}

void WindowMemory::save(const QMainWindow& window) {
  settings::Remembered& r = remembered_;
  r.geometry = window.saveGeometry().toBase64().toStdString();
  r.layout = window.saveState().toBase64().toStdString();
  if (auto* port = child<QComboBox>(window, kPortCombo); port && !port->currentText().isEmpty()) {
    r.port = text(port->currentText());
  }
  if (auto* baud = child<QComboBox>(window, kBaudCombo)) r.baud = text(baud->currentText());
  if (auto* parity = child<QComboBox>(window, kParityCombo)) r.parity = parity->currentIndex();
  if (auto* rts = child<QCheckBox>(window, kRtsCheck)) r.rts = rts->isChecked();
  if (auto* dtr = child<QCheckBox>(window, kDtrCheck)) r.dtr = dtr->isChecked();
  if (auto* filter = child<QComboBox>(window, kJournalFilter)) r.journalFilter = filter->currentIndex();
  if (auto* search = child<QLineEdit>(window, kJournalSearch)) r.journalSearch = text(search->text());
  if (auto* wide = child<QCheckBox>(window, kHartScanWide)) r.hartScanWide = wide->isChecked();
  if (auto* interval = child<QDoubleSpinBox>(window, kTrendInterval)) r.trendInterval = interval->value();
  if (auto* span = child<QComboBox>(window, kTrendSpan)) r.trendSpan = span->currentIndex();
  if (auto* axes = child<QComboBox>(window, kTrendAxes)) r.trendAxes = axes->currentIndex();
  if (auto* autoscale = child<QCheckBox>(window, kTrendAutoscale)) r.trendAutoscale = autoscale->isChecked();
  for (const char* name : settings::kReportDetails) {
    if (const auto value = detailText(window, name)) r.report[name] = *value;
  }
  // Only what its control can take again is written: a typed rate that is
  // not one stays unsaved rather than refused at the next start.
  std::vector<std::string> unused;
  store_->clear();
  for (const auto& [key, value] :
       settings::writeRemembered(settings::readRemembered(settings::writeRemembered(r), unused))) {
    store_->setValue(text(key), text(value));
  }
  store_->sync();
}

QString WindowMemory::folder(const QString& dialog) const {
  const auto it = remembered_.folders.find(text(dialog));
  if (it != remembered_.folders.end() && QFileInfo(text(it->second)).isDir()) return text(it->second);
  return QDir::homePath();
}

void WindowMemory::chosen(const QString& dialog, const QString& path) {
  remembered_.folders[text(dialog)] = text(QFileInfo(path).absolutePath());
}

}  // namespace tq::ui
