#pragma once
// The "HART Instrument" page, `TabSheetHart`: the scan of the loop
// (`HartScanButton`, `HartScanWide`, `HartScanView`), Read All
// (`HartReadAll`, `HartPropertiesView`), the last reply's status
// (`HartStatusLabel`) and the tag and message writes. Its exchanges run in
// HartInstrumentRequests, each with the line to itself; while one runs,
// a window-modal progress dialog names the step and cancels it, and the
// window keeps repainting.
#include <QWidget>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <vector>

#include "engine/transaction_engine.h"
#include "hart/properties.h"
#include "requests/hart_instrument_requests.h"

class QDialog;
class QLabel;
class QProgressBar;
class QTreeWidgetItem;

namespace Ui {
class HartPage;
}

namespace tq::link {
class LinkArbiter;
}

namespace tq::ui {

class HartPage : public QWidget {
  Q_OBJECT

 public:
  // What the page uses of the window.
  struct Host {
    link::LinkArbiter& link;
    engine::TransactionEngine& engine;
    engine::View& view;
    std::function<bool()> replyAwaited;  // Timer3 runs
    std::function<void(const QString&)> showMessage;
    std::function<bool(const QString&)> ask;  // a Yes/No question; true: Yes
    char decimalSeparator = '.';
  };

  HartPage(Host host, QWidget* parent = nullptr);
  ~HartPage() override;

  // HartStatusLabel follows every HART reply the link receives, from any
  // page. Blocks without a HART reply leave it as it is.
  void showReplyStatus(std::span<const uint8_t> block);

  requests::HartInstrumentRequests& requests() { return *requests_; }
  // Tests: ends the current step's answer window now, as if it ran out.
  void endAnswerWindow();

  // Handlers, named after their controls.
  void HartScanButtonClick();
  void HartReadAllClick();
  void HartWriteTagClick();
  void HartWriteMessageClick();
  void HartScanViewSelect();

 private:
  void keepScanRowsInView();
  using Action = requests::HartInstrumentRequests::Action;

  // Runs a handler; an error becomes a message.
  void guard(const std::function<void()>& body);
  void wireEvents();
  void started(Action action);
  void stepped(size_t index, size_t count, const std::string& label);
  void found(const hart::UniqueIdentifier& instrument);
  void showGroup(const requests::HartInstrumentRequests::Group& group);
  void finished(const requests::HartInstrumentRequests::Finished& finished);
  void ensureProgress();

  std::unique_ptr<Ui::HartPage> ui_;
  Host host_;
  std::unique_ptr<requests::HartInstrumentRequests> requests_;
  std::vector<hart::UniqueIdentifier> rows_;  // HartScanView's rows in order
  // The instrument the tag, descriptor and date shown were read from.
  std::optional<hart::DeviceIdentity> tagReadFrom_;
  bool filling_ = false;  // rows change by program: no selection handler
  Action running_ = Action::Scan;
  QDialog* progress_ = nullptr;
  QLabel* progressText_ = nullptr;
  QProgressBar* progressBar_ = nullptr;
};

}  // namespace tq::ui
