#pragma once
// Tools ▸ "Read Module" (`actionReadModule`, Ctrl+R): the module reader's
// run with a cancellable progress window (`ReadModuleProgress`) that names
// the step, the summary on the status bar and, when the module did not
// answer at all, one message.
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "requests/module_reader.h"

class QProgressDialog;
class QWidget;

namespace tq::ui {

class ReadModule : public QObject {
  Q_OBJECT

 public:
  struct Host {
    QWidget* window;
    link::LinkArbiter& link;
    engine::View& view;
    requests::HartInstrumentRequests& hart;
    record::ModuleRecord& record;
    std::function<bool()> replyAwaited;
    std::function<void(const QString&)> showMessage;
    std::function<void(const QString&)> showStatus;
  };

  explicit ReadModule(Host host);
  ~ReadModule() override;

  // Refused with a message (port closed, a reply awaited, a sequence running).
  void start();
  // Starts and, once the run has ended and been told, runs `next` once
  // with how it ended. False (and `next` dropped) when refused.
  bool startThen(std::function<void(const requests::ModuleReader::Finished&)> next);
  requests::ModuleReader& reader() { return reader_; }
  // Tells each run's end, after the status bar and any message.
  std::function<void(const requests::ModuleReader::Finished&)> onFinished;

 private:
  void stepped(size_t index, size_t count, const std::string& label);
  void finished(const requests::ModuleReader::Finished& f);

  Host host_;
  requests::ModuleReader reader_;
  QPointer<QProgressDialog> progress_;
  std::function<void(const requests::ModuleReader::Finished&)> next_;
};

}  // namespace tq::ui
