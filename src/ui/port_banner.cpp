#include "ui/port_banner.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QTimer>

namespace tq::ui {

std::vector<Assignment> controlsToReopen(const link::LostPort& lost) {
  return {Assignment::setText("SPREALCOM", lost.watch.reopenName()),
          Assignment::setText("ComboBox11", std::to_string(lost.line.baud)),
          Assignment::select("ComboBox10", parityIndex(lost.line.parity)),
          Assignment::check("CheckBox1", lost.line.rts), Assignment::check("CheckBox2", lost.line.dtr)};
}

std::vector<Assignment> controlsForLine(const LineSetting& line) {
  return {Assignment::setText("ComboBox11", std::to_string(line.baud)),
          Assignment::select("ComboBox10", parityIndex(line.parity))};
}

PortBanner::PortBanner(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("PortBanner"));
  setFrameShape(QFrame::StyledPanel);
  setStyleSheet(QStringLiteral("#PortBanner { background: #fff4ce; border: 1px solid #e0b000; }"));
  auto* layout = new QHBoxLayout(this);
  layout->setContentsMargins(8, 4, 8, 4);
  text_ = new QLabel(this);
  text_->setObjectName(QStringLiteral("PortBannerText"));
  text_->setWordWrap(true);
  reconnect_ = new QPushButton(QStringLiteral("Reconnect"), this);
  reconnect_->setObjectName(QStringLiteral("PortReconnect"));
  layout->addWidget(text_, 1);
  reopen_ = new QPushButton(QStringLiteral("Open At New Settings"), this);
  reopen_->setObjectName(QStringLiteral("PortReopenAtNewSetting"));
  layout->addWidget(reconnect_);
  layout->addWidget(reopen_);
  connect(reconnect_, &QPushButton::clicked, this, &PortBanner::reconnectClicked);
  connect(reopen_, &QPushButton::clicked, this, &PortBanner::reopenClicked);
  watch_ = new QTimer(this);
  watch_->setObjectName(QStringLiteral("PortWatch"));
  watch_->setInterval(kWatchIntervalMs);
  connect(watch_, &QTimer::timeout, this, &PortBanner::poll);
  hide();
}

void PortBanner::showLost(link::LostPort lost, const QTime& at) {
  moved_.reset();
  lost_ = std::move(lost);
  at_ = at;
  showText();
  reconnect_->show();
  reopen_->hide();
  show();
  watch_->start();
}

void PortBanner::showLineChanged(LineSetting line) {
  watch_->stop();
  lost_.reset();
  text_->setText(QStringLiteral("Port closed: the module now talks at %1.")
                     .arg(QString::fromStdString(settingText(line.baud, line.parity))));
  moved_ = std::move(line);
  reconnect_->hide();
  reopen_->show();
  show();
}

void PortBanner::dismiss() {
  watch_->stop();
  lost_.reset();
  moved_.reset();
  hide();
}

void PortBanner::poll() {
  if (!lost_) return;
  const bool wasBack = lost_->watch.back();
  if (lost_->watch.poll() == wasBack) return;
  showText();
  if (!wasBack) emit deviceReturned(QString::fromStdString(lost_->line.port));
}

void PortBanner::showText() {
  if (!lost_) return;
  QString text = QStringLiteral("Serial port %1 disconnected at %2.")
                     .arg(QString::fromStdString(lost_->line.port), at_.toString(QStringLiteral("HH:mm:ss")));
  if (lost_->watch.back()) text += QStringLiteral(" It is back: Reconnect opens it again with the same settings.");
  text_->setText(text);
}

}  // namespace tq::ui
