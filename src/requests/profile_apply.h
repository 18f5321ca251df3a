#pragma once
// Applying a profile, as the window's Apply Profile… and the command line's
// `profile apply` and `set` both do it: the module read first (unless what
// was read is this open's), then, after one question listing every frame,
// the frames of the settings that differ, one at a time; the unit count (YB)
// and the RS485 line setting (BA1) last, each after its own question; what
// was written read back (a Read Module) before the line setting changes,
// and each setting sent judged by the read-back. The front end asks the
// questions and shows the messages; nothing here knows a window.
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "record/profile.h"
#include "requests/profile_sender.h"

namespace tq::link {
class LinkArbiter;
}

namespace tq::requests {

// The frames of a plan in the order they go: those that leave the link as
// it is, then YB and BA1, each after its own question.
struct ApplySteps {
  std::vector<record::PlannedFrame> regular;
  std::vector<record::PlannedFrame> linkFrames;
};
ApplySteps applySteps(const record::ApplyPlan& plan);

// The question before anything is sent, listing every frame one a line.
std::string applyQuestion(const std::string& file, const record::ApplyPlan& plan);
// The question before YB or BA1.
std::string linkFrameQuestion(const record::PlannedFrame& frame);
// BA1: after it the module talks at another rate or parity.
bool changesLineSetting(const record::PlannedFrame& frame);

// What the read-back says of the settings sent.
struct ApplyVerdict {
  std::vector<std::string> took;      // "system.slave_address (Slave address): 009"
  std::vector<std::string> notTaken;  // "…: 009, reads back 007"
  std::vector<std::string> refused;   // a frame the module did not store: "ADR: ADR:ERR,RANGE#", "ADR: no answer"
  bool good() const { return notTaken.empty() && refused.empty(); }
  // "Apply Profile: 5 settings took, 1 did not."
  std::string status() const;
  // "Applied pump-3.json: 5 settings took, 1 did not." with the lists.
  std::string message(const std::string& file) const;
};
ApplyVerdict applyVerdict(const record::Profile& profile, const record::ModuleRecord& record,
                          const std::vector<ProfileSender::Sent>& sent);

class ProfileApplier {
 public:
  enum class End {
    NotRead,        // the module could not be read first; nothing was sent
    NothingToSend,  // the module holds the profile, or what differs cannot be sent
    Declined,       // the first question was answered no; nothing was sent
    Stopped,        // a frame could not be sent or the run ended early
    ReadBack,       // done: the verdict was told
    NotReadBack,    // the settings could not be read back
    LineSet,        // BA1 was sent last: stored or not (lineStored)
  };
  // How it ended, with what the window shows on its status bar and in a
  // message box (either may be empty).
  struct Ended {
    End end = End::NothingToSend;
    std::string status;
    std::string message;
    bool lineStored = false;
    // NothingToSend: settings that differ but cannot be sent, and why.
    std::vector<std::string> unsendable;
  };

  struct Host {
    // Starts a Read Module; `then` once it has ended and been told, with
    // whether it completed. False when it was refused (its message shown).
    std::function<bool(std::function<void(bool completed)> then)> readModule;
    // A Read Module completed since the port was opened.
    std::function<bool()> readSinceOpen;
    std::function<bool(const std::string& question)> ask;
    // Runs `next` once the block or tick that ended a run has been handled.
    std::function<void(std::function<void()> next)> later;
    // BA1 stored: the port closes 2 s later, as "Set" of the RS485 settings leaves it.
    std::function<void()> closePortLater;
    // The read-back's verdict on the profile `file` (the window shows its
    // status and message).
    std::function<void(const ApplyVerdict&, const std::string& file)> onVerdict;
    std::function<void(const Ended&)> onEnded;
  };

  ProfileApplier(link::LinkArbiter& link, const record::ModuleRecord& record, Host host);

  // Refused (InputRefused, nothing sent) with the port closed; false while
  // one runs. `file` names the profile in the questions and messages.
  bool start(const std::string& file, record::Profile profile);
  bool running() const { return applying_.has_value(); }
  ProfileSender& sender() { return sender_; }

 private:
  struct Applying {
    std::string file;
    record::Profile profile;
    std::vector<record::PlannedFrame> linkFrames;
    std::vector<ProfileSender::Sent> sent;
    bool readBack = false;
  };
  void withFreshRecord(std::function<void()> then);
  void plan();
  void sendNextLinkFrame();
  void readBack();
  void ended(End end, const std::string& status, const std::string& message = {}, bool lineStored = false,
             std::vector<std::string> unsendable = {});

  link::LinkArbiter& link_;
  const record::ModuleRecord& record_;
  Host host_;
  ProfileSender sender_;
  std::optional<Applying> applying_;
};

}  // namespace tq::requests
