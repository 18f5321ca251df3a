#pragma once
// The commands of tq580-cli on one session: each starts its run on the
// link and finishes the session with its exit status when it ends.
#include <memory>
#include <optional>
#include <vector>

#include "cli/session.h"
#include "hart/properties.h"
#include "record/profile.h"

namespace tq::requests {
class ModuleFinder;
class ProfileApplier;
}  // namespace tq::requests

namespace tq::cli {

// What is checked before the port is opened: a profile is read whole, and
// `profile apply` without --yes needs a terminal to ask on. A refusal is
// said and gives exit status 2.
struct Prepared {
  std::optional<record::Profile> profile;
};
std::optional<Prepared> prepare(const Invocation& invocation, bool stdinIsTerminal, std::string* refusal);

// The commands that need no port and no event loop: their output and status.
int runWithoutPort(const Invocation& invocation);

class Commands {
 public:
  Commands(Session& session, Prepared prepared);
  ~Commands();
  // Starts the command; the session finishes when it ends.
  void start();

 private:
  void find();
  void read();
  void get();
  void set();
  void profileSave();
  void profileDiff();
  void profileApply();
  void report();
  void hartScan();
  void hartRead();
  void hartWrite();
  void modbusRead();
  // Sends `profile` as Apply Profile does; `file` names it in messages.
  void apply(const std::string& file, record::Profile profile, bool askFirst);
  // Reads the module, then runs `then` when the read completed.
  void readThen(std::function<void()> then);
  void printOut(const std::string& text);

  Session& s_;
  Prepared prepared_;
  std::unique_ptr<requests::ModuleFinder> finder_;
  std::unique_ptr<requests::ProfileApplier> applier_;
  std::vector<hart::UniqueIdentifier> found_;
  bool verdictGood_ = true;
};

}  // namespace tq::cli
