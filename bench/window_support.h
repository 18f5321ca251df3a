#pragma once
// The real window for benchmarks: offscreen, driven by control names, with
// the moments an operator sees (the reply shown in Memo10, the reply
// decoded, a message) stamped on the window's thread as they happen.
#include <QEventLoop>
#include <QObject>
#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "ui/TForm1.h"

namespace tq::bench {

// Benchmarks run without a display unless the caller chose a platform.
void useOffscreenUnlessChosen();

// Runs the window's event loop until `done` holds, looking every ms; false
// when `boundMs` passed first.
bool runUntil(const std::function<bool()>& done, int boundMs);

// The receive handler's 300 ms pause, not spent (the soak's cycles).
class NoPause : public engine::Sleeper {
 public:
  void sleepMs(int) override {}
};

class WindowProbe : public QObject {
 public:
  // `sleeper` as for TForm1: none gives the real 300 ms pause.
  explicit WindowProbe(std::unique_ptr<engine::Sleeper> sleeper = nullptr);
  ~WindowProbe() override;

  ui::TForm1& form() { return *form_; }
  // Opens the port through SPREALCOM and Button1; false with the message.
  bool openPort(const std::string& path, std::string* message = nullptr);
  void click(const char* button);
  QString memo() const;

  // When the last non-empty Memo10 text appeared, and when the last parse
  // finished (Timer2's handler has run), on nowNs(); 0 before any.
  int64_t shownNs() const { return shownNs_; }
  int64_t decodedNs() const { return decodedNs_; }
  // When the serial component's last report (a block, or the end of a
  // write) and the last Timer2 tick reached the window, before their
  // handlers ran.
  int64_t commReportNs() const { return commReportNs_; }
  int64_t timer2FiredNs() const { return timer2FiredNs_; }
  int decodedCount() const { return decodedCount_; }
  const std::vector<std::string>& messages() const { return messages_; }

  // Runs the window's event loop until `done` holds (it is looked at after
  // each stamped moment) or timeoutMs pass; the loop sleeps in between, so
  // the stamps carry no polling delay.
  bool waitUntil(const std::function<bool()>& done, int timeoutMs);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void moment();

  std::unique_ptr<ui::TForm1> form_;
  int64_t shownNs_ = 0;
  int64_t decodedNs_ = 0;
  int64_t timer2FiredNs_ = 0;
  int64_t commReportNs_ = 0;
  int decodedCount_ = 0;
  std::vector<std::string> messages_;
  QEventLoop* loop_ = nullptr;
  std::function<bool()> done_;
};

}  // namespace tq::bench
