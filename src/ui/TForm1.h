#pragma once
// The tool's one window: a thin shell over the transaction engine. Controls
// come from mainwindow.ui under their object names; every control event runs
// its handler through one guard that turns errors into a message box.
#include <QMainWindow>
#include <functional>
#include <memory>
#include <string>

#include "engine/transaction_engine.h"
#include "journal/journal.h"
#include "record/module_record.h"
#include "trend/point_store.h"

class QAction;
class QLabel;

namespace Ui {
class TForm1;
}

namespace tq::serial {
class TComm;
}

namespace tq::link {
class CommPort;
class LinkArbiter;
class ToolkitTimer;
struct LostPort;
}  // namespace tq::link

namespace tq::requests {
class TrendPoller;
class ConfigRequests;
class HartRequests;
class ToolRequests;
class OutputRequests;
}  // namespace tq::requests

namespace tq::ui {

using link::ToolkitTimer;
class WindowView;
class JournalDock;
class FindModule;
class PortBanner;
class HartPage;
class WindowMemory;
class ReadModule;
class Profiles;
class ReportDetailsDialog;
class SaveReport;
class TrendDock;
struct WindowMenus;

class TForm1 : public QMainWindow {
  Q_OBJECT

 public:
  // `sleeper` replaces the real 300 ms pause of the receive handler (tests).
  explicit TForm1(QWidget* parent = nullptr, std::unique_ptr<engine::Sleeper> sleeper = nullptr);
  ~TForm1() override;

  // Messages normally appear in modal boxes; a sink set here receives them
  // instead (tests record them).
  void setMessageSink(std::function<void(const QString&)> sink);
  void showMessage(const QString& text);
  // Yes/No questions likewise: a sink set here answers them instead of the
  // operator (tests script the answer). Each question and its answer are
  // journaled.
  void setQuestionSink(std::function<bool(const QString&)> sink);
  bool askQuestion(const QString& text);

  // Name of the last handler that ran through the guard, e.g. "Button6Click".
  const std::string& lastHandler() const { return lastHandler_; }

  engine::TransactionEngine& engine() { return *engine_; }
  serial::TComm* Comm1 = nullptr;
  // The port as the window uses it: every frame, block and event, and the
  // one way the tool's own sequences get the line.
  link::LinkArbiter& link() { return *link_; }
  journal::Journal& journal() { return journal_; }
  JournalDock& journalDock() { return *journalDock_; }
  FindModule& findModule() { return *findModule_; }
  HartPage& hartPage() { return *hartPage_; }
  // Everything Read Module read last, under the record's keys.
  const record::ModuleRecord& moduleRecord() const { return record_; }
  ReadModule& readModule() { return *readModule_; }
  Profiles& profiles() { return *profiles_; }
  TrendDock& trendDock() { return *trendDock_; }
  requests::TrendPoller& trendPoller() { return *trendPoller_; }
  const trend::PointStore& trendPoints() const { return trendStore_; }
  // The profile actions ask for a file to open here; tests answer it.
  void setOpenFileNameProvider(std::function<QString()> provider) { askOpenFileName_ = std::move(provider); }

  // File ▸ "Save Report…" shows its details dialog through this instead
  // (tests fill ReportDetailsDialog's fields and say whether it was accepted).
  void setReportDetailsProvider(std::function<bool()> provider) { askReportDetails_ = std::move(provider); }

  // File ▸ "Save Journal…" (and the other file actions, TrendExport too) ask for a file name here; tests answer it.
  void setSaveFileNameProvider(std::function<QString()> provider) { askSaveFileName_ = std::move(provider); }
  // Sets the window as the last run left it and remembers it again at
  // close (the tool itself; tests start as on a first run).
  void remember(std::unique_ptr<WindowMemory> memory);

  // The menu bar's actions.
  void saveJournal();
  void showUserGuide();
  void showAbout();

  // Handlers, named after their controls.
  void FormCreate();
  void PageControl1Change();
  void Button1Click();
  void Button6Click();
  void Button26Click();
  // `waitedMs`: how long ago the block ended on the line.
  void Comm1ReceiveData(const uint8_t* Buffer, uint16_t BufferLength, int waitedMs = 0);
  void Comm1ReceiveError(uint32_t EventMask);
  void Timer2Timer();
  void Timer3Timer();
  void Timer4Timer();
  // FindModuleButton and Tools ▸ Find Module….
  void FindModuleClick();
  // Tools ▸ Read Module.
  void ReadModuleClick();
  // The open port hung up: closed already by the link.
  void PortHungUp(const link::LostPort& lost);
  void PortReconnectClick();
  // PortReopenAtNewSetting: the window's rate and parity set to the
  // module's new ones, and the port opened again.
  void PortReopenClick();
  // Settings.
  void Button5Click();
  void Button24Click();
  void Button29Click();
  void Button15Click();
  void Button27Click();
  void Button30Click();
  void Button10Click();
  void Button21Click();
  void Button17Click();
  void Button18Click();
  void Button12Click();
  void Button22Click();
  void Button2Click();
  void Edit14Change();
  void Label8DblClick();
  // Parameter queries.
  void Button23Click();
  void Button31Click();
  void ComboBox41Change();
  void ComboBox17Change();
  void Button3Click();
  void Button9Click();
  // Relay and current outputs.
  void Button61Click();
  void Button62Click();
  void Button63Click();
  void Button64Click();
  void Button41Click();
  void Button42Click();
  void Button45Click();
  void Button77Click();
  void Button33Click();
  void Button34Click();
  void Button19Click();
  void Button25Click();
  void Button8Click();
  void Button11Click();
  // HART pass-through.
  void ComboBox30Change();
  void Button7Click();
  void Button16Click();
  void Button14Click();
  void Button20Click();
  // Diagnostic tools.
  void Button4Click();
  void Button13Click();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  // Runs one handler; conversion, comms and any other error becomes a message.
  void guard(const char* name, const std::function<void()>& body);
  void wireControls();
  void buildMenusAndJournal();
  void buildFinderAndBanner();
  void addHartPage();
  // PortStateLabel: the port, its line setting, open or closed.
  void showPortState();
  void buildRecord();
  // Tools ▸ Trend: the poller, its panel, and what stops or pauses it.
  void buildTrend(QAction* action);
  // LinkStatsLabel: the link's counts since the port opened.
  void showLinkStats();
  // A file to save to: the tests' answer, else what the save dialog gives,
  // opened where the dialog named `dialog` ("journal", "report", "trend")
  // was last and offering `filters` in order; `chosen` gets the filter
  // picked there (left as it is for the tests' answer). The file's folder
  // is remembered for that dialog.
  QString askSavePath(const QString& dialog, const QString& title, const QStringList& filters,
                      QString* chosen = nullptr);
  // The twelve COMn items stay; the devices present now follow them.
  void refreshPortList();

  std::unique_ptr<Ui::TForm1> ui_;
  ToolkitTimer* Timer2 = nullptr;
  ToolkitTimer* Timer3 = nullptr;
  ToolkitTimer* Timer4 = nullptr;
  ToolkitTimer* SequencerTimer = nullptr;
  std::unique_ptr<WindowView> view_;
  journal::Journal journal_;
  std::unique_ptr<link::CommPort> commPort_;
  std::unique_ptr<link::LinkArbiter> link_;
  JournalDock* journalDock_ = nullptr;
  HartPage* hartPage_ = nullptr;
  std::function<QString()> askSaveFileName_;
  std::unique_ptr<WindowMemory> memory_;
  std::unique_ptr<engine::Sleeper> sleeper_;
  std::unique_ptr<engine::TransactionEngine> engine_;
  std::unique_ptr<requests::ConfigRequests> config_;
  std::unique_ptr<requests::HartRequests> hart_;
  std::unique_ptr<requests::ToolRequests> tools_;
  std::unique_ptr<requests::OutputRequests> outputs_;
  std::unique_ptr<FindModule> findModule_;
  record::ModuleRecord record_;
  std::unique_ptr<ReadModule> readModule_;
  std::unique_ptr<Profiles> profiles_;
  ReportDetailsDialog* reportDetails_ = nullptr;
  std::unique_ptr<SaveReport> saveReport_;
  std::function<bool()> askReportDetails_;
  // A Read Module ended since the port was last opened or closed.
  bool readSinceOpen_ = false;
  // The RS485 line setting last sent and not refused, until Timer4 closes
  // the port for it.
  std::optional<LineSetting> lineChange_;
  std::function<QString()> askOpenFileName_;
  PortBanner* portBanner_ = nullptr;
  std::function<void(const QString&)> messageSink_;
  std::function<bool(const QString&)> questionSink_;
  std::string lastHandler_;
  int fixedPortItems_ = 0;
  QLabel* portState_ = nullptr;
  QLabel* linkStats_ = nullptr;
  ToolkitTimer* TrendTimer = nullptr;
  trend::PointStore trendStore_;
  std::unique_ptr<requests::TrendPoller> trendPoller_;
  TrendDock* trendDock_ = nullptr;
  QAction* trendAction_ = nullptr;
};

}  // namespace tq::ui
