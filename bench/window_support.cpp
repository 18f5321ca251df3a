#include "window_support.h"

#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <stdexcept>

#include "bench_support.h"
#include "serial/TComm.h"

namespace tq::bench {

bool runUntil(const std::function<bool()>& done, int boundMs) {
  const int64_t end = nowNs() + int64_t{boundMs} * 1'000'000;
  while (!done()) {
    if (nowNs() > end) return false;
    QApplication::processEvents(QEventLoop::AllEvents, 1);
  }
  return true;
}

void useOffscreenUnlessChosen() {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
}

WindowProbe::WindowProbe(std::unique_ptr<engine::Sleeper> sleeper)
    : form_(std::make_unique<ui::TForm1>(nullptr, std::move(sleeper))) {
  form_->setMessageSink([this](const QString& text) {
    messages_.push_back(text.toStdString());
    moment();
  });
  auto* memo = form_->findChild<QPlainTextEdit*>("Memo10");
  auto* timer2 = form_->findChild<QTimer*>("Timer2");
  if (!memo || !timer2) throw std::runtime_error("the window has no Memo10 or Timer2");
  connect(memo, &QPlainTextEdit::textChanged, this, [this, memo] {
    if (memo->document()->isEmpty()) return;
    shownNs_ = nowNs();
    moment();
  });
  timer2->installEventFilter(this);
  form_->Comm1->installEventFilter(this);
  // Connected after the window's own handler, so this runs once the parse
  // has written its controls.
  connect(timer2, &QTimer::timeout, this, [this] {
    decodedNs_ = nowNs();
    ++decodedCount_;
    moment();
  });
}

WindowProbe::~WindowProbe() = default;

bool WindowProbe::openPort(const std::string& path, std::string* message) {
  form_->findChild<QComboBox*>("SPREALCOM")->setCurrentText(QString::fromStdString(path));
  const size_t before = messages_.size();
  click("Button1");
  if (form_->engine().portOpen()) return true;
  if (message) *message = messages_.size() > before ? messages_.back() : "the port did not open";
  return false;
}

void WindowProbe::click(const char* button) {
  auto* b = form_->findChild<QPushButton*>(button);
  if (!b) throw std::runtime_error(std::string("the window has no ") + button);
  b->click();
}

QString WindowProbe::memo() const { return form_->findChild<QPlainTextEdit*>("Memo10")->toPlainText(); }

bool WindowProbe::waitUntil(const std::function<bool()>& done, int timeoutMs) {
  if (done()) return true;
  QEventLoop loop;
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop_ = &loop;
  done_ = done;
  loop.exec();
  loop_ = nullptr;
  done_ = nullptr;
  return done();
}

bool WindowProbe::eventFilter(QObject* watched, QEvent* event) {
  if (watched == form_->Comm1) {
    // Its reports come under an event type it registered.
    if (event->type() >= QEvent::User) commReportNs_ = nowNs();
  } else if (event->type() == QEvent::Timer) {
    timer2FiredNs_ = nowNs();
  }
  return false;
}

void WindowProbe::moment() {
  if (loop_ && done_ && done_()) loop_->quit();
}

}  // namespace tq::bench
