#include "ui/TForm1.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QScrollBar>
#include <QCloseEvent>
#include <QEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QLineEdit>
#include <QDateTime>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTabWidget>
#include <QVBoxLayout>
#include <QThread>
#include <QTime>

#include "common/save_file.h"
#include "journal/export.h"
#include "link/comm_port.h"
#include "link/link_arbiter.h"
#include "link/toolkit_timer.h"
#include "protocol/replies.h"
#include "requests/config_requests.h"
#include "requests/hart_requests.h"
#include "requests/tool_requests.h"
#include "requests/output_requests.h"
#include "requests/trend_poller.h"
#include "serial/TComm.h"
#include "serial/comm_threads.h"
#include "serial/port_discovery.h"
#include "ui/find_module.h"
#include "ui/hart_page.h"
#include "ui/help.h"
#include "ui/journal_dock.h"
#include "ui/pictures.h"
#include "ui/port_banner.h"
#include "ui/profiles.h"
#include "ui/read_module.h"
#include "ui/report_details_dialog.h"
#include "ui/save_report.h"
#include "ui/trend_dock.h"
#include "ui/window_memory.h"
#include "ui/window_menus.h"
#include "ui/window_view.h"
#include "ui_mainwindow.h"

namespace tq::ui {

namespace {

// A refusal named in the status bar is cut here: a noisy answer is no longer.
constexpr size_t kShownRefusalMax = 60;

// The user's decimal separator; one that is not a single ASCII character
// (as in some Arabic locales) falls back to '.' rather than reaching the
// value texts as a broken byte.
char localeDecimalSeparator() {
  const QString point = QLocale().decimalPoint();
  return point.size() == 1 && point[0].unicode() < 0x80 ? point[0].toLatin1() : '.';
}

// What the operator sees when Timer3 ends a wait, by time-out class.
const char* timeoutShown(int timeoutClass) {
  switch (timeoutClass) {
    case engine::timeout::Connection:
      return engine::kConnectionTimeoutMessage;
    case engine::timeout::ParameterQuery:
      return engine::kParameterTimeoutMessage;
    case engine::timeout::Setup:
      return engine::kSetupTimeoutCaption;
  }
  return nullptr;
}

// A message or question as one journal line: the saved journal keeps an
// entry to a line.
std::string oneLine(QString text) {
  return text.replace(QStringLiteral("\n\n"), QStringLiteral(" "))
      .replace(QLatin1Char('\n'), QLatin1Char(' '))
      .toStdString();
}

}  // namespace

class ThreadSleeper : public engine::Sleeper {
 public:
  void sleepMs(int ms) override { QThread::msleep(static_cast<unsigned long>(ms)); }
};

TForm1::TForm1(QWidget* parent, std::unique_ptr<engine::Sleeper> sleeper)
    : QMainWindow(parent), ui_(std::make_unique<Ui::TForm1>()), sleeper_(std::move(sleeper)) {
  ui_->setupUi(this);
  loadWindowPictures(findChild<QLabel*>("Image1"), findChild<QLabel*>("Image2"));

  // The serial port with the window's design values.
  Comm1 = new serial::TComm(this);
  Comm1->setObjectName("Comm1");
  Comm1->CommName = "COM2";
  Comm1->setDtrControl(serial::TDtrControl::DtrDisable);
  Comm1->setRtsControl(serial::TRtsControl::RtsDisable);
  Comm1->setOutx_XonXoffFlow(false);
  Comm1->setInx_XonXoffFlow(false);
  // Every frame, block and port event passes the link, which journals it;
  // the tool's own sequences (Find Module, the HART page) run there too,
  // their steps timed by SequencerTimer.
  SequencerTimer = new ToolkitTimer(this, "SequencerTimer", engine::kSequencerInitialMs);
  commPort_ = std::make_unique<link::CommPort>(*Comm1);
  link_ = std::make_unique<link::LinkArbiter>(*commPort_, journal_, *SequencerTimer);
  link_->onEngineBlock = [this](std::span<const uint8_t> block, int ageMs) {
    Comm1ReceiveData(block.data(), static_cast<uint16_t>(block.size()), ageMs);
  };
  link_->onReceiveError = [this](uint32_t errors) { Comm1ReceiveError(errors); };
  link_->onOpenChanged = [this] {
    showPortState();
    if (trendPoller_) trendPoller_->portChanged();
    // Another open may be another module: its relays are read anew.
    if (trendDock_ && link_->isOpen()) trendDock_->setRelayLimits({});
  };
  link_->onStatsChanged = [this] { showLinkStats(); };
  // A page's frame held while a trend poll was out has just gone: its
  // time-out counts from now, as it would have from the click.
  link_->onHeldWriteSent = [this] {
    if (!Timer3->isActive()) return;
    Timer3->stop();
    Timer3->start();
  };
  link_->addHangupListener([this](const link::LostPort& lost) { PortHungUp(lost); });
  connect(SequencerTimer, &QTimer::timeout, this, [this] { guard("SequencerTimer", [this] { link_->timerFired(); }); });

  Timer2 = new ToolkitTimer(this, "Timer2", engine::kTimer2IntervalMs);
  Timer3 = new ToolkitTimer(this, "Timer3", engine::kTimer3InitialMs);
  Timer4 = new ToolkitTimer(this, "Timer4", engine::kTimer4InitialMs);
  Timer2->start();
  Timer3->start();
  Timer4->start();

  if (auto* ports = findChild<QComboBox*>("SPREALCOM")) {
    fixedPortItems_ = ports->count();
    refreshPortList();
    ports->installEventFilter(this);  // adapters plugged in later show up when the list opens
  }

  view_ = std::make_unique<WindowView>(*this, [this](const QString& text) { showMessage(text); });
  if (!sleeper_) sleeper_ = std::make_unique<ThreadSleeper>();
  engine_ = std::make_unique<engine::TransactionEngine>(*view_, *link_, *Timer2, *Timer3, *Timer4, *sleeper_);
  config_ = std::make_unique<requests::ConfigRequests>(*engine_, *view_);
  hart_ = std::make_unique<requests::HartRequests>(*engine_, *view_, localeDecimalSeparator());
  tools_ = std::make_unique<requests::ToolRequests>(*engine_, *view_, localeDecimalSeparator());
  outputs_ = std::make_unique<requests::OutputRequests>(*engine_, *view_);

  linkStats_ = new QLabel(this);
  linkStats_->setObjectName(QStringLiteral("LinkStatsLabel"));
  // Never wider than the status bar leaves: the window's width is the pages'.
  linkStats_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  statusBar()->addPermanentWidget(linkStats_, 1);
  showLinkStats();
  portState_ = new QLabel(this);
  portState_->setObjectName(QStringLiteral("PortStateLabel"));
  statusBar()->addPermanentWidget(portState_);
  showPortState();

  wireControls();
  buildMenusAndJournal();
  buildFinderAndBanner();
  addHartPage();
  buildRecord();
  buildTrend(trendAction_);
  FormCreate();
}

// A search still running ends first, while the port and the window it uses
// are there; the HART page uses the link and the engine, and the journal's
// panel reads the journal, a member: they go next.
TForm1::~TForm1() {
  // A poll out ends first and gives the line back.
  delete trendDock_;
  trendPoller_.reset();
  findModule_.reset();
  profiles_.reset();
  saveReport_.reset();
  readModule_.reset();
  link_->onAnyBlock = nullptr;
  delete hartPage_;
  delete journalDock_;
}

void TForm1::setMessageSink(std::function<void(const QString&)> sink) { messageSink_ = std::move(sink); }

void TForm1::showMessage(const QString& text) {
  link_->journalEvent("Message: " + oneLine(text));
  if (messageSink_) {
    messageSink_(text);
    return;
  }
  QMessageBox::information(this, windowTitle(), text);
}

void TForm1::setQuestionSink(std::function<bool(const QString&)> sink) { questionSink_ = std::move(sink); }

bool TForm1::askQuestion(const QString& text) {
  const bool yes = questionSink_ ? questionSink_(text)
                                 : QMessageBox::question(this, windowTitle(), text, QMessageBox::Yes | QMessageBox::No,
                                                         QMessageBox::No) == QMessageBox::Yes;
  link_->journalEvent("Question: " + oneLine(text) + (yes ? " Yes" : " No"));
  return yes;
}

void TForm1::guard(const char* name, const std::function<void()>& body) {
  lastHandler_ = name;
  try {
    body();
  } catch (const std::exception& e) {
    showMessage(QString::fromStdString(e.what()));
  } catch (...) {
    showMessage(QStringLiteral("Unexpected error"));
  }
}

void TForm1::wireControls() {
  enum class On { Click, Select, TextChange, PageChange, DoubleClick };
  struct Wire {
    const char* control;
    On event;
    void (TForm1::*handler)();
  };
// clang-format off
#define TQ_WIRE(control, event, handler) Wire{control, On::event, &TForm1::handler}
  static const Wire kWiring[] = {
      TQ_WIRE("PageControl1", PageChange, PageControl1Change),
      TQ_WIRE("Button1", Click, Button1Click), TQ_WIRE("Button6", Click, Button6Click),
      TQ_WIRE("Button26", Click, Button26Click),
      TQ_WIRE("Button5", Click, Button5Click), TQ_WIRE("Button24", Click, Button24Click),
      TQ_WIRE("Button29", Click, Button29Click), TQ_WIRE("Button15", Click, Button15Click),
      TQ_WIRE("Button27", Click, Button27Click), TQ_WIRE("Button30", Click, Button30Click),
      TQ_WIRE("Button10", Click, Button10Click), TQ_WIRE("Button21", Click, Button21Click),
      TQ_WIRE("Button17", Click, Button17Click), TQ_WIRE("Button18", Click, Button18Click),
      TQ_WIRE("Button12", Click, Button12Click), TQ_WIRE("Button22", Click, Button22Click),
      TQ_WIRE("Button2", Click, Button2Click),
      TQ_WIRE("Edit14", TextChange, Edit14Change), TQ_WIRE("Label8", DoubleClick, Label8DblClick),
      TQ_WIRE("Button23", Click, Button23Click), TQ_WIRE("Button31", Click, Button31Click),
      TQ_WIRE("ComboBox41", Select, ComboBox41Change), TQ_WIRE("ComboBox17", Select, ComboBox17Change),
      TQ_WIRE("Button61", Click, Button61Click), TQ_WIRE("Button62", Click, Button62Click),
      TQ_WIRE("Button63", Click, Button63Click), TQ_WIRE("Button64", Click, Button64Click),
      TQ_WIRE("Button41", Click, Button41Click), TQ_WIRE("Button42", Click, Button42Click),
      TQ_WIRE("Button45", Click, Button45Click), TQ_WIRE("Button77", Click, Button77Click),
      TQ_WIRE("Button33", Click, Button33Click), TQ_WIRE("Button34", Click, Button34Click),
      TQ_WIRE("Button19", Click, Button19Click), TQ_WIRE("Button25", Click, Button25Click),
      TQ_WIRE("Button8", Click, Button8Click), TQ_WIRE("Button11", Click, Button11Click),
      TQ_WIRE("Button3", Click, Button3Click), TQ_WIRE("Button9", Click, Button9Click),
      TQ_WIRE("ComboBox30", Select, ComboBox30Change),
      TQ_WIRE("Button7", Click, Button7Click), TQ_WIRE("Button16", Click, Button16Click),
      TQ_WIRE("Button14", Click, Button14Click), TQ_WIRE("Button20", Click, Button20Click),
      TQ_WIRE("Button4", Click, Button4Click), TQ_WIRE("Button13", Click, Button13Click),
  };
#undef TQ_WIRE
  // clang-format on

  for (const Wire& wire : kWiring) {
    QWidget* control = findChild<QWidget*>(wire.control);
    if (!control) {
      qWarning("No control named %s to wire", wire.control);
      continue;
    }
    const auto handler = wire.handler;
    auto run = [this, handler] { (this->*handler)(); };
    switch (wire.event) {
      case On::Click:
        connect(qobject_cast<QAbstractButton*>(control), &QAbstractButton::clicked, this, run);
        break;
      case On::Select:  // operator choices only: program selections raise nothing
        connect(qobject_cast<QComboBox*>(control), &QComboBox::activated, this, run);
        break;
      case On::TextChange:  // program changes too, so a decoded address reaches its copy
        connect(qobject_cast<QLineEdit*>(control), &QLineEdit::textChanged, this, run);
        break;
      case On::PageChange:
        connect(qobject_cast<QTabWidget*>(control), &QTabWidget::currentChanged, this, run);
        break;
      case On::DoubleClick:
        control->installEventFilter(this);
        break;
    }
  }
  connect(Timer2, &QTimer::timeout, this, &TForm1::Timer2Timer);
  connect(Timer3, &QTimer::timeout, this, &TForm1::Timer3Timer);
  connect(Timer4, &QTimer::timeout, this, &TForm1::Timer4Timer);
}

void TForm1::buildMenusAndJournal() {
  const WindowMenus menus = buildWindowMenus(*this);
  journalDock_ = new JournalDock(journal_, this);
  addDockWidget(Qt::BottomDockWidgetArea, journalDock_);
  journalDock_->hide();
  connect(menus.journal, &QAction::toggled, journalDock_, &QWidget::setVisible);
  connect(journalDock_, &QDockWidget::visibilityChanged, menus.journal, [this, action = menus.journal](bool) {
    // A floating or closed dock says itself whether it shows.
    action->setChecked(!journalDock_->isHidden());
  });
  connect(menus.saveJournal, &QAction::triggered, this, &TForm1::saveJournal);
  connect(menus.findModule, &QAction::triggered, this, &TForm1::FindModuleClick);
  trendAction_ = menus.trend;
  connect(menus.readModule, &QAction::triggered, this, &TForm1::ReadModuleClick);
  connect(menus.saveProfile, &QAction::triggered, this,
          [this] { guard("SaveProfile", [this] { profiles_->save(); }); });
  connect(menus.saveReport, &QAction::triggered, this,
          [this] { guard("SaveReport", [this] { saveReport_->save(); }); });
  connect(menus.compareProfile, &QAction::triggered, this,
          [this] { guard("CompareProfile", [this] { profiles_->compare(); }); });
  connect(menus.applyProfile, &QAction::triggered, this,
          [this] { guard("ApplyProfile", [this] { profiles_->apply(); }); });
  connect(menus.userGuide, &QAction::triggered, this, &TForm1::showUserGuide);
  connect(menus.about, &QAction::triggered, this, &TForm1::showAbout);
}

void TForm1::buildFinderAndBanner() {
  FindModule::Window window;
  window.root = this;
  window.view = view_.get();
  window.portOpen = [this] { return engine_->portOpen(); };
  window.releasePort = [this] {
    if (trendPoller_) trendPoller_->suspend("Find Module");
    guard("FindModuleClick", [this] { engine_->portLost("for Find Module"); });
  };
  window.ended = [this] {
    if (trendPoller_) trendPoller_->resume();
  };
  window.openPort = [this] { Button1Click(); };
  window.allPorts = [this] {
    refreshPortList();
    std::vector<std::string> names;
    if (auto* ports = findChild<QComboBox*>("SPREALCOM")) {
      for (int i = 0; i < ports->count(); ++i) names.push_back(ports->itemText(i).toStdString());
    }
    return names;
  };
  window.showMessage = [this](const QString& text) { showMessage(text); };
  window.showStatus = [this](const QString& text) { statusBar()->showMessage(text); };
  findModule_ = std::make_unique<FindModule>(std::move(window), *link_);
  if (auto* button = findChild<QAbstractButton*>("FindModuleButton")) {
    connect(button, &QAbstractButton::clicked, this, &TForm1::FindModuleClick);
  }

  // Above the send and receive buffers.
  portBanner_ = new PortBanner(centralWidget());
  if (auto* column = qobject_cast<QVBoxLayout*>(centralWidget()->layout())) {
    column->insertWidget(column->indexOf(findChild<QWidget*>("bufferArea")), portBanner_);
  }
  connect(portBanner_, &PortBanner::reconnectClicked, this, &TForm1::PortReconnectClick);
  connect(portBanner_, &PortBanner::reopenClicked, this, &TForm1::PortReopenClick);
  connect(portBanner_, &PortBanner::deviceReturned, this,
          [this](const QString& name) { link_->journalEvent("Port " + name.toStdString() + " is present again"); });
}

// The "HART Instrument" page after "Product Selection"; its status label
// follows every block the link receives.
void TForm1::addHartPage() {
  auto* pages = findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  hartPage_ = new HartPage({*link_, *engine_, *view_, [this] { return Timer3->isActive(); },
                            [this](const QString& text) { showMessage(text); },
                            [this](const QString& text) { return askQuestion(text); }, localeDecimalSeparator()},
                           pages);
  pages->insertTab(pages->indexOf(findChild<QWidget*>(QStringLiteral("TabSheet7"))) + 1, hartPage_,
                   QStringLiteral("HART Instrument"));
  link_->onAnyBlock = [this](std::span<const uint8_t> block) { hartPage_->showReplyStatus(block); };
}

// "Open · COM4, 9600 baud, parity none" at the status bar's right end.
void TForm1::showPortState() {
  if (!link_->isOpen() && link_->lastOpened().name.empty()) {
    portState_->setText(QStringLiteral("Port closed"));
    return;
  }
  portState_->setText((link_->isOpen() ? QStringLiteral("Open \u00b7 ") : QStringLiteral("Closed \u00b7 ")) +
                      QString::fromStdString(link_->setting().text()));
}

void TForm1::remember(std::unique_ptr<WindowMemory> memory) {
  memory_ = std::move(memory);
  memory_->restore(*this, [this](const std::string& line) { link_->journalEvent(line); });
  // On a first run with only the simulator present, its port is the one to open.
  auto* ports = findChild<QComboBox*>("SPREALCOM");
  if (memory_->remembersPort() || !ports) return;
  if (const auto port = serial::startingPort(serial::listSerialDevices())) {
    ports->setCurrentText(QString::fromStdString(*port));
  }
}

void TForm1::closeEvent(QCloseEvent* event) {
  if (memory_) memory_->save(*this);
  QMainWindow::closeEvent(event);
}

void TForm1::buildRecord() {
  readModule_ = std::make_unique<ReadModule>(
      ReadModule::Host{this, *link_, *view_, hartPage_->requests(), record_, [this] { return Timer3->isActive(); },
                       [this](const QString& text) { showMessage(text); },
                       [this](const QString& text) { statusBar()->showMessage(text); }});
  readModule_->onFinished = [this](const requests::ModuleReader::Finished& f) {
    readSinceOpen_ = f.outcome == requests::ModuleReader::Outcome::Completed;
    if (!readSinceOpen_) return;
    trendDock_->setRelayLimits(trend::relayLimits([this](int relay, bool limit) {
      const std::string key = "relay" + std::to_string(relay) + (limit ? ".limit" : ".alarm_enable");
      const record::Value* value = record_.value(key);
      return value ? value->text : std::string();
    }));
  };
  profiles_ = std::make_unique<Profiles>(Profiles::Host{
      this, *link_, *engine_, *readModule_, record_, [this] { return readSinceOpen_; },
      [this](const QString& title, const QString& filter) {
        return askSaveFileName_ ? askSaveFileName_() : QFileDialog::getSaveFileName(this, title, QString(), filter);
      },
      [this](const QString& title, const QString& filter) {
        return askOpenFileName_ ? askOpenFileName_() : QFileDialog::getOpenFileName(this, title, QString(), filter);
      },
      [this](const QString& text) { return askQuestion(text); }, [this](const QString& text) { showMessage(text); },
      [this](const QString& text) { statusBar()->showMessage(text); }});
  // One details dialog for the window's life: the details stay for the next
  // report, and the window's memory finds them among its children.
  reportDetails_ = new ReportDetailsDialog(this);
  saveReport_ = std::make_unique<SaveReport>(SaveReport::Host{
      *link_, journal_, *readModule_, record_, [this] { return readSinceOpen_; },
      [this]() -> std::optional<report::Details> {
        const bool accepted = askReportDetails_ ? askReportDetails_() : reportDetails_->exec() == QDialog::Accepted;
        if (!accepted) return std::nullopt;
        return reportDetails_->details();
      },
      [this](report::Format* type) {
        const QString pdf = QStringLiteral("PDF (*.pdf)");
        const QString html = QStringLiteral("HTML (*.html *.htm)");
        QString chosen;
        const QString path = askSavePath(QStringLiteral("report"), QStringLiteral("Save Report"), {pdf, html}, &chosen);
        if (!chosen.isEmpty()) *type = chosen == html ? report::Format::Html : report::Format::Pdf;
        return path;
      },
      [this](const QString& text) { return askQuestion(text); }, [this](const QString& text) { showMessage(text); },
      [this](const QString& text) { statusBar()->showMessage(text); }});
}

void TForm1::buildTrend(QAction* action) {
  TrendTimer = new ToolkitTimer(this, "TrendTimer", 1000);
  connect(TrendTimer, &QTimer::timeout, this, [this] { guard("TrendTimer", [this] { trendPoller_->timerFired(); }); });
  trendPoller_ = std::make_unique<requests::TrendPoller>(
      requests::TrendPoller::Host{*link_, *view_, [this] { return hartPage_->requests().addressed(); },
                                  [this] { return Timer3->isActive(); }, *TrendTimer,
                                  [] { return serial::monotonicNs() / 1'000'000; },
                                  [] { return QDateTime::currentMSecsSinceEpoch(); },
                                  [this] { return size_t{hartPage_->requests().traits().preamblesRequested}; }},
      trendStore_);
  link_->addHangupListener([this](const link::LostPort&) { trendPoller_->hungUp(); });
  trendDock_ = new TrendDock(*trendPoller_, trendStore_,
                             {[this](const QString& text) { showMessage(text); },
                              [this] {
                                QString path = askSavePath(QStringLiteral("trend"), QStringLiteral("Export Trend"),
                                                           {QStringLiteral("CSV (*.csv)")});
                                if (!path.isEmpty() && QFileInfo(path).suffix().isEmpty())
                                  path += QStringLiteral(".csv");
                                return path;
                              }},
                             this);
  addDockWidget(Qt::BottomDockWidgetArea, trendDock_);
  trendDock_->hide();
  connect(action, &QAction::toggled, trendDock_, &QWidget::setVisible);
  connect(trendDock_, &QDockWidget::visibilityChanged, action,
          [this, action](bool) { action->setChecked(!trendDock_->isHidden()); });
}

void TForm1::showLinkStats() {
  const link::LinkStats& stats = link_->stats();
  linkStats_->setText(QString::fromStdString(stats.text()));
  linkStats_->setToolTip(QStringLiteral("Since the port was opened, by protocol:\n") +
                         QString::fromStdString(stats.byProtocol()));
}

QString TForm1::askSavePath(const QString& dialog, const QString& title, const QStringList& filters, QString* chosen) {
  QString path;
  if (askSaveFileName_) {
    path = askSaveFileName_();
  } else {
    QString type = filters.front();
    path = QFileDialog::getSaveFileName(this, title, memory_ ? memory_->folder(dialog) : QString(),
                                        filters.join(QStringLiteral(";;")), &type);
    if (chosen) *chosen = type;
  }
  if (!path.isEmpty() && memory_) memory_->chosen(dialog, path);
  return path;
}

void TForm1::saveJournal() {
  const QString csv = QStringLiteral("CSV (*.csv)");
  QString type;
  QString path = askSavePath(QStringLiteral("journal"), QStringLiteral("Save Journal"),
                             {QStringLiteral("Text (*.txt)"), csv}, &type);
  if (path.isEmpty()) return;
  // The type chosen names the file when the name has no extension of its own.
  if (!type.isEmpty() && QFileInfo(path).suffix().isEmpty()) path += type == csv ? ".csv" : ".txt";
  const std::string reason =
      saveFile(path.toStdString(),
               journal::fileText(journal_, path.toStdString(),
                                 {TQ_VERSION, link_->setting().text() + (link_->isOpen() ? ", open" : ", closed"),
                                  QDateTime::currentMSecsSinceEpoch()}));
  if (!reason.empty()) {
    showMessage(QStringLiteral("The journal could not be saved to %1: %2. The journal is kept.")
                    .arg(path, QString::fromStdString(reason)));
  }
}

void TForm1::showUserGuide() {
  if (ui::showUserGuide(this)) return;
  showMessage(QStringLiteral("The user guide was not found. It is installed as %1.")
                  .arg(userGuideCandidates().join(QStringLiteral(" or "))));
}

void TForm1::showAbout() { QMessageBox::about(this, QStringLiteral("About TQ580-N"), aboutText()); }

void TForm1::refreshPortList() {
  auto* ports = findChild<QComboBox*>("SPREALCOM");
  if (!ports) return;
  const QString typed = ports->currentText();
  while (ports->count() > fixedPortItems_) ports->removeItem(ports->count() - 1);
  for (const std::string& device : serial::listSerialDevices()) ports->addItem(QString::fromStdString(device));
  ports->setCurrentText(typed);
  // The list opens wide enough for a whole /dev/serial/by-id/ name, however
  // narrow the box; the box itself shows the name's end as typed.
  ports->view()->setMinimumWidth(ports->view()->sizeHintForColumn(0) +
                                 ports->view()->verticalScrollBar()->sizeHint().width());
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  if (watched->objectName() == QLatin1String("SPREALCOM") &&
      (event->type() == QEvent::MouseButtonPress ||
       (event->type() == QEvent::KeyPress && (static_cast<QKeyEvent*>(event)->key() == Qt::Key_F4 ||
                                              (static_cast<QKeyEvent*>(event)->key() == Qt::Key_Down &&
                                               static_cast<QKeyEvent*>(event)->modifiers() & Qt::AltModifier))))) {
    refreshPortList();
    return false;
  }
  if (event->type() == QEvent::MouseButtonDblClick && watched->objectName() == QLatin1String("Label8")) {
    Label8DblClick();
    return true;
  }
  return QMainWindow::eventFilter(watched, event);
}

// Handlers of the transaction spine.
void TForm1::FormCreate() {
  guard("FormCreate", [this] { engine_->FormCreate(); });
}
void TForm1::PageControl1Change() {
  guard("PageControl1Change", [this] { engine_->PageControl1Change(); });
}
void TForm1::Button1Click() {
  readSinceOpen_ = false;  // another open, or none: what was read may not be this module's
  guard("Button1Click", [this] { engine_->Button1Click(); });
  portBanner_->dismiss();
}
void TForm1::Button6Click() {
  guard("Button6Click", [this] { engine_->Button6Click(); });
}
void TForm1::Button26Click() {
  guard("Button26Click", [this] { engine_->Button26Click(); });
}
void TForm1::Comm1ReceiveData(const uint8_t* Buffer, uint16_t BufferLength, int waitedMs) {
  const bool settingAnswer = engine_->pendingCode() == engine::code::Setting;
  guard("Comm1ReceiveData", [&] { engine_->Comm1ReceiveData(std::span(Buffer, BufferLength), waitedMs); });
  if (!settingAnswer) return;
  // Memo10 shows the answer as always; a refusal is also said where it is
  // seen at a glance, until a setting takes.
  const QString refusedPrefix = QStringLiteral("The module refused ");
  const auto refusal = protocol::settingRefusal(std::string_view(reinterpret_cast<const char*>(Buffer), BufferLength));
  if (refusal) {
    lineChange_.reset();
    const std::string shown = refusal->substr(0, kShownRefusalMax);
    statusBar()->showMessage(refusedPrefix + QString::fromLatin1(shown.data(), static_cast<qsizetype>(shown.size())));
  } else if (statusBar()->currentMessage().startsWith(refusedPrefix)) {
    statusBar()->clearMessage();
  }
}
// Bytes lost on the way in are said in the status line, not in a box: a
// box coming back for as long as a flood goes on would keep the operator
// from closing the port. Other line errors are not shown.
void TForm1::Comm1ReceiveError(uint32_t EventMask) {
  if ((EventMask & serial::line_error::kReceiveQueueOverflow) == 0) return;
  const QString when = QTime::currentTime().toString(QStringLiteral("HH:mm:ss"));
  const uint64_t dropped = link_->receiveOverrunBytes();
  statusBar()->showMessage(
      dropped > 0
          ? QStringLiteral("Receive overrun at %1: %2 bytes dropped since the port was opened").arg(when).arg(dropped)
          : QStringLiteral("Receive overrun at %1: the serial driver lost bytes").arg(when));
}
void TForm1::Timer2Timer() {
  const bool relayPage = engine_->pendingCode() == engine::code::OutputParamQuery;
  guard("Timer2Timer", [this] { engine_->Timer2Timer(); });
  // The relay page was read: the trend draws the limits it shows now.
  if (relayPage) {
    trendDock_->setRelayLimits(trend::relayLimits(
        [this](int relay, bool limit) { return view_->text("AD" + std::to_string(relay) + (limit ? "BH" : "COM")); }));
  }
}
void TForm1::Timer3Timer() {
  guard("Timer3Timer", [this] {
    if (const char* shown = timeoutShown(engine_->timeoutClass())) {
      link_->journalEvent(std::string("Time-out: ") + shown);
      link_->answerTimedOut();
    }
    engine_->Timer3Timer();
  });
}
void TForm1::Timer4Timer() {
  const bool wasOpen = link_->isOpen();
  guard("Timer4Timer", [this] { engine_->Timer4Timer(); });
  // The close was silent: the banner says why, and offers the new settings.
  if (wasOpen && !link_->isOpen() && lineChange_) portBanner_->showLineChanged(*lineChange_);
  lineChange_.reset();
}

void TForm1::FindModuleClick() {
  guard("FindModuleClick", [this] { findModule_->start(); });
}
void TForm1::ReadModuleClick() {
  guard("ReadModuleClick", [this] { readModule_->start(); });
}

// No box: the banner says what happened and offers to reconnect, so a
// pulled adapter costs the operator no click and no restart. A port the
// engine did not have open (Find Module's) has its own message.
void TForm1::PortHungUp(const link::LostPort& lost) {
  readSinceOpen_ = false;
  if (!engine_->portOpen()) return;
  guard("PortHungUp", [this] { engine_->portLost(); });
  portBanner_->showLost(lost, QTime::currentTime());
}

// Opens the lost port again with the settings it had, as Button1 opens it.
void TForm1::PortReconnectClick() {
  if (!portBanner_->lost() || engine_->portOpen()) {
    portBanner_->dismiss();
    return;
  }
  for (const Assignment& change : controlsToReopen(*portBanner_->lost())) view_->apply(change);
  guard("PortReconnectClick", [this] { engine_->Button1Click(); });
  if (engine_->portOpen()) portBanner_->dismiss();
}

void TForm1::PortReopenClick() {
  if (!portBanner_->lineChanged() || engine_->portOpen()) {
    portBanner_->dismiss();
    return;
  }
  for (const Assignment& change : controlsForLine(*portBanner_->lineChanged())) view_->apply(change);
  readSinceOpen_ = false;
  guard("PortReopenClick", [this] { engine_->Button1Click(); });
  if (engine_->portOpen()) portBanner_->dismiss();
}

// The RS485 line setting: what the module will talk at once Timer4 closed
// the port, unless it refuses.
void TForm1::Button5Click() {
  guard("Button5Click", [this] { config_->Button5Click(); });
  lineChange_.reset();
  auto* rates = findChild<QComboBox*>("ComboBox2");
  auto* parities = findChild<QComboBox*>("ComboBox4");
  const bool sent = engine_->portOpen() && engine_->pendingCode() == engine::code::Setting;
  if (!sent || !rates || !parities) return;
  LineSetting line = link_->setting();
  line.baud = rates->currentText().toUInt();
  line.parity = parityFromIndex(parities->currentIndex());
  lineChange_ = line;
}

// Handlers of the pages, each run by its page's requests.
#define TQ_HANDLER(name, requests)              \
  void TForm1::name() {                         \
    guard(#name, [this] { requests->name(); }); \
  }
TQ_HANDLER(Button24Click, config_)
TQ_HANDLER(Button29Click, config_)
TQ_HANDLER(Button15Click, config_)
TQ_HANDLER(Button27Click, config_)
TQ_HANDLER(Button30Click, config_)
TQ_HANDLER(Button10Click, config_)
TQ_HANDLER(Button21Click, config_)
TQ_HANDLER(Button17Click, config_)
TQ_HANDLER(Button18Click, config_)
TQ_HANDLER(Button12Click, config_)
TQ_HANDLER(Button22Click, config_)
TQ_HANDLER(Button2Click, config_)
TQ_HANDLER(Edit14Change, config_)
TQ_HANDLER(Label8DblClick, config_)
TQ_HANDLER(Button23Click, config_)
TQ_HANDLER(Button31Click, config_)
TQ_HANDLER(ComboBox41Change, config_)
TQ_HANDLER(ComboBox17Change, config_)
TQ_HANDLER(ComboBox30Change, hart_)
TQ_HANDLER(Button7Click, hart_)
TQ_HANDLER(Button16Click, hart_)
TQ_HANDLER(Button14Click, hart_)
TQ_HANDLER(Button20Click, hart_)
TQ_HANDLER(Button4Click, tools_)
TQ_HANDLER(Button13Click, tools_)
TQ_HANDLER(Button3Click, outputs_)
TQ_HANDLER(Button9Click, outputs_)
TQ_HANDLER(Button61Click, outputs_)
TQ_HANDLER(Button62Click, outputs_)
TQ_HANDLER(Button63Click, outputs_)
TQ_HANDLER(Button64Click, outputs_)
TQ_HANDLER(Button41Click, outputs_)
TQ_HANDLER(Button42Click, outputs_)
TQ_HANDLER(Button45Click, outputs_)
TQ_HANDLER(Button77Click, outputs_)
TQ_HANDLER(Button33Click, outputs_)
TQ_HANDLER(Button34Click, outputs_)
TQ_HANDLER(Button19Click, outputs_)
TQ_HANDLER(Button25Click, outputs_)
TQ_HANDLER(Button8Click, outputs_)
TQ_HANDLER(Button11Click, outputs_)
#undef TQ_HANDLER

}  // namespace tq::ui
