#include "requests/profile_apply.h"

#include "common/errors.h"
#include "link/link_arbiter.h"
#include "requests/hart_instrument_requests.h"

namespace tq::requests {

namespace {

constexpr const char* kLineWriter = "BA1";

const std::string& writerName(const record::PlannedFrame& frame) { return record::writers()[frame.writer].name; }

// One frame a line, as the question lists them.
std::string frameLines(const std::vector<record::PlannedFrame>& frames) {
  std::string lines;
  for (const record::PlannedFrame& f : frames) lines += "\n" + frameText(f.frame);
  return lines;
}

std::string joined(const std::vector<std::string>& lines, const std::string& before) {
  std::string out;
  for (const std::string& line : lines) out += before + line;
  return out;
}

}  // namespace

ApplySteps applySteps(const record::ApplyPlan& plan) {
  ApplySteps steps;
  for (const record::PlannedFrame& f : plan.frames) {
    (record::writers()[f.writer].changesLink ? steps.linkFrames : steps.regular).push_back(f);
  }
  return steps;
}

bool changesLineSetting(const record::PlannedFrame& frame) { return writerName(frame) == kLineWriter; }

std::string applyQuestion(const std::string& file, const record::ApplyPlan& plan) {
  const ApplySteps steps = applySteps(plan);
  std::string question = "Apply " + file +
                         " to the module? Only the settings that differ are sent, one frame at a time, each after the "
                         "module's answer to the one before:\n" +
                         frameLines(steps.regular);
  if (!steps.linkFrames.empty()) {
    question += "\n\nLast, each after its own question, since they change the link:\n" + frameLines(steps.linkFrames);
  }
  if (!plan.unsendable.empty()) question += "\n\nNot sent:" + joined(plan.unsendable, "\n");
  return question;
}

std::string linkFrameQuestion(const record::PlannedFrame& frame) {
  const std::string sent = frameText(frame.frame);
  return changesLineSetting(frame)
             ? "Send " + sent +
                   "? The module then talks at its new RS485 baud rate and parity: the port is closed 2 s later and "
                   "must be opened again at that setting."
             : "Send " + sent +
                   "? It changes the module's interface type and unit count, and with them its register map.";
}

ApplyVerdict applyVerdict(const record::Profile& profile, const record::ModuleRecord& record,
                          const std::vector<ProfileSender::Sent>& sent) {
  ApplyVerdict verdict;
  for (const record::DiffRow& row : record::compareProfile(profile, record)) {
    const std::string& writer = record::writers()[static_cast<size_t>(record::findKey(row.key)->writer)].name;
    bool wasSent = false;
    for (const ProfileSender::Sent& s : sent) wasSent = wasSent || s.writer == writer;
    if (!wasSent) continue;
    const std::string line = row.key + " (" + row.label + "): " + row.profileValue;
    if (row.comparison == record::Comparison::Same)
      verdict.took.push_back(line);
    else
      verdict.notTaken.push_back(line + ", reads back " + row.moduleValue);
  }
  for (const ProfileSender::Sent& s : sent) {
    if (!s.stored) verdict.refused.push_back(s.writer + ": " + (s.answered ? s.answer : std::string("no answer")));
  }
  return verdict;
}

std::string ApplyVerdict::status() const {
  return "Apply Profile: " + std::to_string(took.size()) + " settings took, " + std::to_string(notTaken.size()) +
         " did not.";
}

std::string ApplyVerdict::message(const std::string& file) const {
  std::string message = "Applied " + file + ": " + std::to_string(took.size()) + " settings took, " +
                        std::to_string(notTaken.size()) + " did not.";
  if (!took.empty()) message += "\n\nTook:" + joined(took, "\n");
  if (!notTaken.empty()) message += "\n\nDid not take:" + joined(notTaken, "\n");
  if (!refused.empty()) message += "\n\nFrames not stored by the module:" + joined(refused, "\n");
  return message;
}

ProfileApplier::ProfileApplier(link::LinkArbiter& link, const record::ModuleRecord& record, Host host)
    : link_(link), record_(record), host_(std::move(host)), sender_(link) {}

bool ProfileApplier::start(const std::string& file, record::Profile profile) {
  if (applying_) return false;
  if (!link_.isOpen()) throw InputRefused(kPortClosedMessage);
  applying_ = Applying{file, std::move(profile), {}, {}, false};
  withFreshRecord([this] { plan(); });
  return true;
}

void ProfileApplier::withFreshRecord(std::function<void()> then) {
  if (host_.readSinceOpen()) {
    then();
    return;
  }
  const bool started = host_.readModule([this, then](bool completed) {
    if (completed)
      then();
    else
      ended(End::NotRead, "Apply Profile stopped: the module could not be read first; nothing was sent.");
  });
  // The Read Module refused has shown its message.
  if (!started) ended(End::NotRead, {});
}

void ProfileApplier::plan() {
  const record::ApplyPlan plan = record::planApply(applying_->profile, record_);
  if (plan.frames.empty()) {
    ended(End::NothingToSend, "Apply Profile: nothing to send.",
          plan.unsendable.empty()
              ? "The module already holds every setting of " + applying_->file + " that it has; nothing was sent."
              : "Nothing was sent. These settings of " + applying_->file +
                    " differ but cannot be sent:" + joined(plan.unsendable, "\n"),
          false, plan.unsendable);
    return;
  }
  ApplySteps steps = applySteps(plan);
  applying_->linkFrames = std::move(steps.linkFrames);
  if (!host_.ask(applyQuestion(applying_->file, plan))) {
    ended(End::Declined, "Apply Profile: nothing was sent.");
    return;
  }
  if (steps.regular.empty()) {
    sendNextLinkFrame();
    return;
  }
  try {
    sender_.send(steps.regular, [this](const std::vector<ProfileSender::Sent>& sent, ProfileSender::Outcome outcome,
                                       const std::string& why) {
      applying_->sent.insert(applying_->sent.end(), sent.begin(), sent.end());
      if (outcome != ProfileSender::Outcome::Completed) {
        host_.later([this, why] { ended(End::Stopped, "Apply Profile stopped: " + why, why); });
        return;
      }
      host_.later([this] { sendNextLinkFrame(); });
    });
  } catch (const InputRefused& e) {
    ended(End::Stopped, "Apply Profile: nothing was sent.", e.what());
  }
}

// YB before the read-back (the module still hears the port), BA1 after it.
void ProfileApplier::sendNextLinkFrame() {
  if (applying_->linkFrames.empty() || (!applying_->readBack && changesLineSetting(applying_->linkFrames.front()))) {
    if (!applying_->readBack) {
      readBack();
      return;
    }
    if (applying_->linkFrames.empty()) {
      ended(End::ReadBack, {});  // the verdict has been told
      return;
    }
  }
  const record::PlannedFrame frame = applying_->linkFrames.front();
  applying_->linkFrames.erase(applying_->linkFrames.begin());
  const bool line = changesLineSetting(frame);
  if (!host_.ask(linkFrameQuestion(frame))) {
    sendNextLinkFrame();
    return;
  }
  try {
    sender_.send({frame}, [this, line](const std::vector<ProfileSender::Sent>& sent, ProfileSender::Outcome,
                                       const std::string&) {
      applying_->sent.insert(applying_->sent.end(), sent.begin(), sent.end());
      const bool stored = !sent.empty() && sent.back().stored;
      host_.later([this, line, stored] {
        if (line) {
          if (stored) host_.closePortLater();
          ended(End::LineSet,
                stored ? "Apply Profile done: the RS485 line setting was stored; the port closes in 2 s. Open it again "
                         "at the new setting."
                       : "Apply Profile done: the module did not store the RS485 line setting.",
                {}, stored);
          return;
        }
        sendNextLinkFrame();
      });
    });
  } catch (const InputRefused& e) {
    ended(End::Stopped, "Apply Profile stopped: " + std::string(e.what()), e.what());
  }
}

void ProfileApplier::readBack() {
  applying_->readBack = true;
  const bool started = host_.readModule([this](bool) {
    if (host_.onVerdict) host_.onVerdict(applyVerdict(applying_->profile, record_, applying_->sent), applying_->file);
    if (applying_) sendNextLinkFrame();
  });
  if (!started) ended(End::NotReadBack, "Apply Profile: the settings could not be read back.");
}

void ProfileApplier::ended(End end, const std::string& status, const std::string& message, bool lineStored,
                           std::vector<std::string> unsendable) {
  applying_.reset();
  if (host_.onEnded) host_.onEnded({end, status, message, lineStored, std::move(unsendable)});
}

}  // namespace tq::requests
