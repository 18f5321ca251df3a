#pragma once
// One run of tq580-cli on the shared core, as the window builds it: the
// serial port behind the link arbiter, the journal every exchange passes,
// the transaction engine that opens the port as "Open" does, the HART
// Instrument page's requests and Read Module, on the controls of a
// headless view. Qt Core only: its event loop carries the blocks and
// timer ticks. Messages and progress go to standard error; results, to
// standard output, are the commands' own.
#include <QObject>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>

#include "cli/arguments.h"
#include "cli/headless_view.h"
#include "journal/journal.h"
#include "record/module_record.h"
#include "requests/module_reader.h"

namespace tq::serial {
class TComm;
}
namespace tq::engine {
class TransactionEngine;
}
namespace tq::link {
class CommPort;
class LinkArbiter;
class ToolkitTimer;
}  // namespace tq::link
namespace tq::requests {
class HartInstrumentRequests;
}

namespace tq::cli {

class Session : public QObject, private journal::Journal::Listener {
 public:
  explicit Session(Invocation invocation);
  ~Session() override;

  const Invocation& invocation() const { return invocation_; }
  const Options& options() const { return invocation_.options; }

  // Opens the port with the options' line setting, as the window's "Open"
  // does. False when it could not be opened: said, and the run ends with
  // exit status 3.
  bool open();

  // Ends the run with `status` (the first call counts): the journal is
  // written when asked for, and the event loop left.
  void finish(int status);
  bool finished() const { return status_ >= 0; }
  int status() const { return status_; }

  // Runs `next` once the block or tick being delivered has been handled.
  void later(std::function<void()> next);

  // "tq580-cli: <text>" on standard error.
  void say(const std::string& text);
  // A progress line on standard error, only when it is a terminal.
  void progress(const std::string& text);
  void endProgress();
  // Asks on the terminal (standard error, answered on standard input).
  bool ask(const std::string& question);

  // Starts Read Module; `then` once it has ended, outside the delivery that
  // ended it. False when it was refused (said, status 1).
  bool readModule(std::function<void(const requests::ModuleReader::Finished&)> then);
  // A Read Module completed on this open.
  bool readCompleted() const { return readCompleted_; }
  // The run's end as the command line says it: true when it completed;
  // otherwise said and the run finished (1, or 3 with the port lost).
  bool readSucceeded(const requests::ModuleReader::Finished& f);

  HeadlessView& view() { return view_; }
  journal::Journal& journal() { return journal_; }
  link::LinkArbiter& link() { return *link_; }
  engine::TransactionEngine& engine() { return *engine_; }
  requests::HartInstrumentRequests& hart() { return *hart_; }
  record::ModuleRecord& record() { return record_; }

 private:
  void changed() override;  // the journal, for --verbose
  void writeJournal();

  Invocation invocation_;
  HeadlessView view_;
  journal::Journal journal_;
  serial::TComm* comm_ = nullptr;  // owned as a child
  std::unique_ptr<link::CommPort> port_;
  link::ToolkitTimer* sequencerTimer_ = nullptr;
  link::ToolkitTimer* timer2_ = nullptr;
  link::ToolkitTimer* timer3_ = nullptr;
  link::ToolkitTimer* timer4_ = nullptr;
  std::unique_ptr<link::LinkArbiter> link_;
  std::unique_ptr<engine::Sleeper> sleeper_;
  std::unique_ptr<engine::TransactionEngine> engine_;
  std::unique_ptr<requests::HartInstrumentRequests> hart_;
  record::ModuleRecord record_;
  std::unique_ptr<requests::ModuleReader> reader_;
  std::function<void(const requests::ModuleReader::Finished&)> readThen_;
  bool readCompleted_ = false;
  int status_ = -1;
  uint64_t shownEntry_ = 0;  // --verbose: the last journal entry written
  bool progressShown_ = false;
  bool progressWanted_ = false;  // standard error is a terminal
};

}  // namespace tq::cli
