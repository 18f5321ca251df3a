#include "cli/session.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDateTime>
#include <QSocketNotifier>
#include <csignal>
#include <iostream>

#include "common/errors.h"
#include "common/save_file.h"
#include "engine/transaction_engine.h"
#include "journal/export.h"
#include "link/comm_port.h"
#include "link/link_arbiter.h"
#include "link/toolkit_timer.h"
#include "protocol/config_frames.h"
#include "requests/hart_instrument_requests.h"
#include "serial/TComm.h"
#include "serial/posix_device.h"

namespace tq::cli {

namespace {

// The engine's receive handler never runs here: nothing sleeps.
class NoSleep : public engine::Sleeper {
 public:
  void sleepMs(int) override {}
};

// Ctrl-C and a terminal closed reach the event loop through a pipe, so the
// run is cancelled, the journal written and the port closed as usual.
int signalPipe[2] = {-1, -1};

void signalled(int) {
  const char byte = 1;
  [[maybe_unused]] const ssize_t n = ::write(signalPipe[1], &byte, 1);
}

// "COM4 (/dev/ttyS3)", or the path as given.
std::string portShown(const std::string& port) {
  const std::string device = serial::devicePathFor(port);
  return device == port ? port : port + " (" + device + ")";
}

}  // namespace

Session::Session(Invocation invocation) : invocation_(std::move(invocation)) {
  progressWanted_ = ::isatty(STDERR_FILENO) == 1;
  comm_ = new serial::TComm(this);
  comm_->setDtrControl(serial::TDtrControl::DtrDisable);
  comm_->setRtsControl(serial::TRtsControl::RtsDisable);
  comm_->setOutx_XonXoffFlow(false);
  comm_->setInx_XonXoffFlow(false);
  port_ = std::make_unique<link::CommPort>(*comm_);
  sequencerTimer_ = new link::ToolkitTimer(this, "SequencerTimer", engine::kSequencerInitialMs);
  timer2_ = new link::ToolkitTimer(this, "Timer2", engine::kTimer2IntervalMs);
  timer3_ = new link::ToolkitTimer(this, "Timer3", engine::kTimer3InitialMs);
  timer4_ = new link::ToolkitTimer(this, "Timer4", engine::kTimer4InitialMs);
  link_ = std::make_unique<link::LinkArbiter>(*port_, journal_, *sequencerTimer_);
  connect(sequencerTimer_, &QTimer::timeout, this, [this] {
    try {
      link_->timerFired();
    } catch (const std::exception& e) {
      say(e.what());
      finish(exit_status::kNoAnswer);
    }
  });
  link_->addHangupListener([this](const link::LostPort& lost) {
    say("The serial port " + lost.line.port + " hung up (adapter unplugged, device gone or far end closed).");
    finish(exit_status::kPort);
  });
  sleeper_ = std::make_unique<NoSleep>();
  engine_ = std::make_unique<engine::TransactionEngine>(view_, *link_, *timer2_, *timer3_, *timer4_, *sleeper_);
  hart_ = std::make_unique<requests::HartInstrumentRequests>(*engine_, view_, *link_, [] { return false; });
  reader_ = std::make_unique<requests::ModuleReader>(*link_, view_, *hart_, record_, [] { return false; });
  reader_->events.onStep = [this](size_t index, size_t count, const std::string& label) {
    progress("Read Module: step " + std::to_string(index + 1) + " of at most " + std::to_string(count) + ": " + label);
  };
  reader_->events.onFinished = [this](const requests::ModuleReader::Finished& f) {
    endProgress();
    readCompleted_ = f.outcome == requests::ModuleReader::Outcome::Completed;
    later([this, f] {
      if (auto then = std::exchange(readThen_, {})) then(f);
    });
  };
  view_.onMessage = [this](const std::string& message) { say(message); };
  if (options().verbose) journal_.setListener(this);
  if (signalPipe[0] < 0 && ::pipe2(signalPipe, O_CLOEXEC | O_NONBLOCK) == 0) {
    struct sigaction action {};
    action.sa_handler = signalled;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGHUP, &action, nullptr);
  }
  if (signalPipe[0] >= 0) {
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(notifier, &QSocketNotifier::activated, this, [this] {
      char byte = 0;
      while (::read(signalPipe[0], &byte, 1) > 0) {
      }
      say("Interrupted: the command was stopped.");
      finish(exit_status::kInterrupted);
    });
  }
}

Session::~Session() {
  journal_.setListener(nullptr);
  reader_->events = {};
  reader_->cancel();
  hart_->events = {};
  hart_->cancel();
  link_->cancelRun();
  link_->close("at the end of the command");
}

bool Session::open() {
  view_.apply(Assignment::setText("SPREALCOM", options().port));
  view_.apply(Assignment::setText("ComboBox11", std::to_string(options().baud)));
  view_.apply(Assignment::select("ComboBox10", parityIndex(options().parity)));
  view_.apply(Assignment::check("CheckBox1", options().rts));  // COM_RTS
  view_.apply(Assignment::check("CheckBox2", options().dtr));  // COM_DTR
  // The instrument Read Module and the HART commands address.
  view_.apply(Assignment::select("ComboBox30", options().address));
  try {
    engine_->Button1Click();
  } catch (const std::exception& e) {
    say("The port " + portShown(options().port) + " (" + settingText(options().baud, options().parity) +
        ") could not be opened: " + e.what() +
        ". Check that it is there (tq580-cli ports), that you may use it (the dialout group) and that no other "
        "program holds it.");
    finish(exit_status::kPort);
    return false;
  }
  return true;
}

void Session::finish(int status) {
  if (finished()) return;
  status_ = status;
  endProgress();
  writeJournal();
  // Queued: a finish before the loop runs still ends it.
  QMetaObject::invokeMethod(
      QCoreApplication::instance(), [status] { QCoreApplication::exit(status); }, Qt::QueuedConnection);
}

void Session::writeJournal() {
  const std::string& path = options().journal;
  if (path.empty()) return;
  const std::string reason =
      saveFile(path, journal::fileText(journal_, path,
                                       {TQ_VERSION, link_->setting().text() + (link_->isOpen() ? ", open" : ", closed"),
                                        QDateTime::currentMSecsSinceEpoch()}));
  if (!reason.empty()) {
    say("The journal could not be saved to " + path + ": " + reason + ".");
    if (status_ == exit_status::kDone) status_ = exit_status::kNoAnswer;
  }
}

void Session::later(std::function<void()> next) {
  QMetaObject::invokeMethod(this, std::move(next), Qt::QueuedConnection);
}

void Session::say(const std::string& text) {
  endProgress();
  std::cerr << "tq580-cli: " << text << '\n' << std::flush;
}

void Session::progress(const std::string& text) {
  if (!progressWanted_) return;
  std::cerr << "\r\033[K" << text << std::flush;
  progressShown_ = true;
}

void Session::endProgress() {
  if (!progressShown_) return;
  std::cerr << "\r\033[K" << std::flush;
  progressShown_ = false;
}

bool Session::ask(const std::string& question) {
  endProgress();
  std::cerr << question << "\nAnswer yes or no [y/N]: " << std::flush;
  std::string answer;
  if (!std::getline(std::cin, answer)) return false;
  return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

bool Session::readModule(std::function<void(const requests::ModuleReader::Finished&)> then) {
  if (reader_->running()) return false;
  try {
    reader_->start();
  } catch (const InputRefused& e) {
    say(e.what());
    finish(exit_status::kNoAnswer);
    return false;
  }
  readThen_ = std::move(then);
  return true;
}

bool Session::readSucceeded(const requests::ModuleReader::Finished& f) {
  using Outcome = requests::ModuleReader::Outcome;
  switch (f.outcome) {
    case Outcome::Completed:
      say(f.status);
      return true;
    case Outcome::Stopped: {
      const protocol::Frame query = protocol::commQueryFrame();
      say("The module did not answer the communication query \"" + std::string(query.begin(), query.end()) +
          "\" within " + std::to_string(engine::kQueryTimeoutMs) + " ms on " + link_->setting().text() +
          ". Nothing more was sent.\nCheck:\n"
          "- the port and its line setting (--port, --baud, --parity) against the module's;\n"
          "- the wiring and the module's power;\n"
          "- or let tq580-cli find look for the module's line setting.");
      finish(exit_status::kNoAnswer);
      return false;
    }
    case Outcome::PortLost:
      finish(exit_status::kPort);
      return false;
    case Outcome::Cancelled:
    case Outcome::Failed:
      say(f.message.empty() ? f.status : f.message);
      finish(exit_status::kNoAnswer);
      return false;
  }
  return false;
}

void Session::changed() {
  // New entries are at the end, numbered in order.
  size_t first = journal_.size();
  while (first > 0 && journal_.at(first - 1).number > shownEntry_) --first;
  for (size_t i = first; i < journal_.size(); ++i) {
    const journal::Entry& e = journal_.at(i);
    endProgress();
    std::cerr << journal::timeOfDay(e.at.wallMs) << ' ' << journal::directionMark(e.direction) << ' ' << e.summary;
    if (e.responseMs) std::cerr << " (" << journal::responseText(e.responseMs) << " ms)";
    std::cerr << '\n';
    shownEntry_ = e.number;
  }
  std::cerr << std::flush;
}

}  // namespace tq::cli
