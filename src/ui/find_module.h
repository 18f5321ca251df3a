#pragma once
// Find Module in the window: reads the port, rate and parity chosen now,
// runs the module finder on the link (which holds the line for it the whole
// search, so nothing else reaches it), shows its progress, and
// on success puts the setting found into the controls, opens the port with
// it as Button1 does and decodes the answer as the communication query's.
#include <QObject>
#include <QPointer>
#include <functional>
#include <string>
#include <vector>

#include "engine/interfaces.h"
#include "requests/module_finder.h"
#include "ui/finder_dialog.h"

class QWidget;

namespace tq::link {
class LinkArbiter;
}

namespace tq::ui {

class FindModule : public QObject {
  Q_OBJECT

 public:
  // What the finder needs of the window beside its controls.
  struct Window {
    QWidget* root = nullptr;         // the controls' parent, and the dialog's
    engine::View* view = nullptr;    // the controls by name
    std::function<bool()> portOpen;  // the engine's port-open flag
    // The engine gives its port up: closed, the controls as after Button1
    // closes it, nothing awaited any more.
    std::function<void()> releasePort;
    // Button1's open, through the window's handler (its message on failure).
    std::function<void()> openPort;
    // The port list, brought up to date.
    std::function<std::vector<std::string>()> allPorts;
    std::function<void(const QString&)> showMessage;
    std::function<void(const QString&)> showStatus;
    // The search is over and its outcome shown (the port open again when
    // the module was found); also when it could not start after the port
    // was given up.
    std::function<void()> ended;
  };

  FindModule(Window window, link::LinkArbiter& link);
  ~FindModule() override;

  // FindModuleButton and Tools ▸ Find Module…; does nothing while a search runs.
  void start();
  // The dialog's Cancel: nothing more is sent, the port is closed, no
  // control changes.
  void cancel();
  bool running() const { return finder_.running(); }
  FinderDialog* dialog() const { return dialog_; }

 private:
  requests::FinderPlan planFromControls() const;
  void onTry(size_t index, size_t count, const LineSetting& line);
  void finished(const requests::ModuleFinder::Result& result);
  void found(const LineSetting& line, const std::vector<uint8_t>& answer);
  void closeDialog();

  Window window_;
  link::LinkArbiter& link_;
  requests::ModuleFinder finder_;
  QPointer<FinderDialog> dialog_;
};

}  // namespace tq::ui
