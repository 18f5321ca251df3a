#include "requests/hart_instrument_requests.h"

#include <memory>

#include "common/errors.h"
#include "common/int_conversion.h"
#include "common/text.h"
#include "hart/answer_window.h"
#include "hart/decoders.h"
#include "hart/packed_ascii.h"
#include "hart/status.h"
#include "link/link_arbiter.h"

namespace tq::requests {

namespace {

using engine::SequenceStep;
using Next = engine::RequestSequencer::Next;
using Outcome = engine::RequestSequencer::Outcome;
using Action = HartInstrumentRequests::Action;
namespace command = hart::command;

// Who holds the port while a sequence of the page runs, as the journal says it.
constexpr const char* kHolder = "the HART Instrument page";

// What Read All reads, in this order, once the instrument's identity is known.
constexpr uint8_t kReadAllCommands[] = {1, 2, 3, command::kReadMessage, command::kReadTagDescriptorDate, 15, 20, 48};

std::string title(uint8_t command) {
  return "Command " + std::to_string(command) + ": " + std::string(hart::commandName(command));
}

std::string rangeText(int last) { return "0 \u2026 " + std::to_string(last); }

std::string listed(const std::vector<int>& numbers) {
  std::string text;
  for (int n : numbers) text += (text.empty() ? "" : ", ") + std::to_string(n);
  return text;
}

std::string quoted(std::string_view text) { return "\"" + std::string(text) + "\""; }

std::string instrumentText(const hart::DeviceIdentity& instrument) {
  return "the instrument at polling address " + std::to_string(instrument.pollingAddress) + " (manufacturer id " +
         std::to_string(instrument.manufacturerId) + ", device type " + std::to_string(instrument.deviceType) +
         ", device id " + std::to_string(hart::deviceIdNumber(instrument.deviceId)) + ")";
}

// A reply to command 0 from polling address `address` with a good check
// byte: what the scan counts.
bool identifiesAt(std::span<const uint8_t> block, int address) {
  const auto reply = hart::parseReplyTo(block, hart::ReplyTo::shortFrame(address, command::kReadUniqueIdentifier));
  return reply && reply->frame.checkOk() && reply->command && !reply->address.empty();
}

bool sameInstrument(const hart::DeviceIdentity& a, const hart::DeviceIdentity& b) {
  return a.manufacturerId == b.manufacturerId && a.deviceType == b.deviceType && a.deviceId == b.deviceId;
}

}  // namespace

std::span<const uint8_t> readAllCommands() { return kReadAllCommands; }

bool shortReplyFrom(std::span<const uint8_t> block, int address) {
  return hart::parseReplyTo(block, hart::ReplyTo::shortFrame(address, command::kReadUniqueIdentifier)).has_value();
}

bool longReplyFrom(std::span<const uint8_t> block, const hart::DeviceIdentity& instrument, uint8_t command) {
  return hart::parseReplyTo(block, hart::ReplyTo::longFrame(instrument, command)).has_value();
}

HartInstrumentRequests::HartInstrumentRequests(engine::TransactionEngine& engine, engine::View& view,
                                               link::LinkArbiter& link, std::function<bool()> replyAwaited,
                                               char decimalSeparator)
    : engine_(engine),
      view_(view),
      link_(link),
      replyAwaited_(std::move(replyAwaited)),
      decimalSeparator_(decimalSeparator) {}

HartInstrumentRequests::Settings HartInstrumentRequests::checkedSettings() {
  if (!link_.isOpen()) throw InputRefused(kPortClosedMessage);
  // The engine's reply would be taken by the sequence and its time-out box
  // would open in the middle of it.
  if (replyAwaited_ && replyAwaited_()) throw InputRefused(kReplyAwaitedMessage);
  Settings settings{view_.text("Edit9"), view_.selectedIndex("ComboBox42")};
  hart::scanQueryFrame(settings.preambleText, settings.commandMode, 0);  // refuses what no frame can carry
  return settings;
}

std::optional<hart::DeviceIdentity> HartInstrumentRequests::addressed() const {
  const hart::DeviceIdentity identity = hart::readIdentity(engine_.identity());
  const bool known = identity.manufacturerId != 0 || identity.deviceType != 0 || identity.deviceId[0] != 0 ||
                     identity.deviceId[1] != 0 || identity.deviceId[2] != 0;
  if (!known) return std::nullopt;
  return identity;
}

void HartInstrumentRequests::storeIdentity(const hart::DeviceIdentity& identity, uint8_t preamblesRequested,
                                           std::optional<uint8_t> universalRevision) {
  hart::storeIdentity(identity, engine_.identity());
  for (const Assignment& change : hart::identityShown(identity, preamblesRequested)) view_.apply(change);
  known_ = Known{identity, {preamblesRequested, universalRevision}};
}

HartInstrumentRequests::Traits HartInstrumentRequests::traits() const {
  const auto instrument = addressed();
  if (!instrument) return {};
  if (known_ && sameInstrument(known_->identity, *instrument)) return known_->traits;
  // Identified on the Transparent Mode page, which shows what it asked for.
  Traits t;
  try {
    const int32_t shown = parseInt(view_.text("Edit31"));
    if (shown >= 0 && shown <= UINT8_MAX) t.preamblesRequested = static_cast<uint8_t>(shown);
  } catch (const std::exception&) {
    // Not a number: the preamble setting alone counts.
  }
  return t;
}

size_t HartInstrumentRequests::longFramePreambles(const Settings& settings) const {
  return hart::requestPreambles(settings.preambleText,
                                addressed() ? traits().preamblesRequested : hart::kMaxRequestedPreambles);
}

hart::ReplyTo HartInstrumentRequests::replyTo(uint8_t command) const {
  return hart::ReplyTo::longFrame(addressed().value_or(hart::DeviceIdentity{}), command);
}

void HartInstrumentRequests::address(const hart::UniqueIdentifier& instrument) {
  storeIdentity(instrument.identity(), instrument.preamblesRequested, instrument.universalRevision);
  // ComboBox30 offers 0 .. 15: an address above leaves it without a
  // selection, so "HART Device Parameter Query" asks for a choice rather
  // than querying another instrument.
  view_.apply(Assignment::select("ComboBox30", instrument.pollingAddress));
}

HartInstrumentRequests::Group HartInstrumentRequests::group(uint8_t command, bool answered,
                                                            std::span<const uint8_t> answer, int windowMs,
                                                            const hart::ReplyTo& to) const {
  Group g{command, title(command), {}};
  if (!answered) {
    g.rows = {{"Reply", "no answer within " + std::to_string(windowMs) + " ms", "", true}};
  } else if (const auto reply = hart::parseReplyTo(answer, to)) {
    g.rows = hart::describeReply(*reply, decimalSeparator_, traits().universalRevision);
  } else {
    g.rows = {{"Reply", "no HART reply in the block", "", true}};
  }
  return g;
}

void HartInstrumentRequests::run(Action action, std::vector<SequenceStep> steps,
                                 std::function<Next(size_t, bool, std::span<const uint8_t>)> onAnswer,
                                 std::function<Finished(Outcome, const std::string&)> finish) {
  link_.cancelRun();  // its end gives the line back before this one takes it
  if (events.onStarted) events.onStarted(action);
  engine::RequestSequencer::Callbacks callbacks;
  callbacks.onStep = [this](size_t index, size_t count, const std::string& label) {
    if (events.onStep) events.onStep(index, count, label);
  };
  callbacks.onAnswer = std::move(onAnswer);
  callbacks.onFinished = [this, action, finish = std::move(finish)](Outcome outcome, const std::string& why) {
    running_ = false;
    Finished finished = finish(outcome, why);
    finished.action = action;
    finished.outcome = outcome;
    if (events.onFinished) events.onFinished(finished);
  };
  running_ = true;
  link_.run({kHolder, std::move(steps), std::move(callbacks)});
}

void HartInstrumentRequests::cancel() {
  if (running_) link_.cancelRun();
}

size_t HartInstrumentRequests::currentStep() const { return link_.currentStep(); }

void HartInstrumentRequests::scan(bool wide) {
  const Settings settings = checkedSettings();
  const int last = wide ? hart::kMaxScanPollingAddress : hart::kMaxPollingAddress;
  struct Found {
    std::vector<int> instruments;
    std::vector<std::string> withoutIdentity;  // "7 (Response 32 (busy); status 00)"
    int current = 0;                           // the address being tried
  };
  auto found = std::make_shared<Found>();

  std::vector<SequenceStep> steps;
  for (int address = 0; address <= last; ++address) {
    SequenceStep step;
    step.label = "Polling address " + std::to_string(address);
    step.prepare = [found, address] {
      found->current = address;
      return true;
    };
    step.frame = [settings, address] {
      return hart::scanQueryFrame(settings.preambleText, settings.commandMode, address);
    };
    step.accepts = [address](std::span<const uint8_t> block) { return identifiesAt(block, address); };
    step.answerWindowMs = window(hart::scanAnswerWindowMs(hart::requestPreambles(settings.preambleText)));
    steps.push_back(std::move(step));
  }

  auto onAnswer = [this, found](size_t index, bool answered, std::span<const uint8_t> answer) {
    if (!answered) return Next::Continue;
    const auto reply = hart::parseReply(answer);
    if (const auto id = reply ? hart::readUniqueIdentifier(*reply) : std::nullopt) {
      found->instruments.push_back(id->pollingAddress);
      if (events.onFound) events.onFound(*id);
    } else if (reply) {
      found->withoutIdentity.push_back(std::to_string(index) + " (" + hart::statusText(*reply) + ")");
    }
    return Next::Continue;
  };
  auto finish = [found, last](Outcome outcome, const std::string& why) {
    const std::string range = rangeText(last);
    const size_t n = found->instruments.size();
    const std::string count = n == 0   ? std::string("no instrument")
                              : n == 1 ? std::string("1 instrument")
                                       : std::to_string(n) + " instruments";
    const std::string where = n == 0 ? std::string() : " (at " + listed(found->instruments) + ")";
    std::string extra;
    if (!found->withoutIdentity.empty()) {
      extra = " Answered without an identity: ";
      for (size_t i = 0; i < found->withoutIdentity.size(); ++i) extra += (i ? ", " : "") + found->withoutIdentity[i];
      extra += ".";
    }
    const std::string at = "polling address " + std::to_string(found->current);
    Finished f;
    switch (outcome) {
      case Outcome::Completed:
      case Outcome::Stopped:
        f.note = "Polling addresses " + range + " scanned: " + count + " found" + where + "." + extra;
        if (n == 0) {
          f.message = "No instrument answered at polling addresses " + range +
                      ". Check the loop's wiring, that the module works in \"0_Transparent Mode\", and the HART "
                      "command mode and preamble length on the Transparent Mode page." +
                      (last < hart::kMaxScanPollingAddress
                           ? " Instruments at polling addresses above 15 are found with \"0 \u2026 63\"."
                           : "");
        }
        break;
      case Outcome::Cancelled:
        f.note = "Scan cancelled at " + at + " of " + range + ": " + count + " found before" + where + "." + extra;
        break;
      case Outcome::Failed:
      case Outcome::PortLost:
        f.note = "Scan stopped at " + at + ": " + count + " found before" + where + "." + extra;
        f.message = "The scan stopped at " + at + ": " + why;
        break;
    }
    return f;
  };
  run(Action::Scan, std::move(steps), std::move(onAnswer), std::move(finish));
}

SequenceStep HartInstrumentRequests::readStep(const Settings& settings, uint8_t command, std::string label) {
  SequenceStep step;
  step.label = std::move(label);
  // Built when the step starts: a command 0 before it may just have told
  // the identity.
  step.frame = [this, settings, command] {
    return hart::longCommandFrame(settings.preambleText, settings.commandMode, hart::readIdentity(engine_.identity()),
                                  command, {}, traits().preamblesRequested);
  };
  step.accepts = [this, command](std::span<const uint8_t> block) {
    return longReplyFrom(block, hart::readIdentity(engine_.identity()), command);
  };
  step.answerWindowMs = window(hart::readAnswerWindowMs(longFramePreambles(settings)));
  return step;
}

void HartInstrumentRequests::readAll() {
  const Settings settings = checkedSettings();
  struct Progress {
    std::vector<uint8_t> commands;  // of each step
    std::vector<int> answered, warned, refused, unusable, unanswered;
    std::string stopReason;
    size_t current = 0;
  };
  auto progress = std::make_shared<Progress>();
  std::vector<SequenceStep> steps;

  const int pollingAddress = view_.selectedIndex("ComboBox30");
  if (!addressed()) {
    hart::identityQueryFrame(settings.preambleText, settings.commandMode, pollingAddress);  // refuses no selection
    SequenceStep step;
    step.label = title(command::kReadUniqueIdentifier) + " (polling address " + std::to_string(pollingAddress) + ")";
    step.frame = [settings, pollingAddress] {
      return hart::identityQueryFrame(settings.preambleText, settings.commandMode, pollingAddress);
    };
    step.accepts = [pollingAddress](std::span<const uint8_t> block) { return shortReplyFrom(block, pollingAddress); };
    step.answerWindowMs = window(hart::scanAnswerWindowMs(hart::requestPreambles(settings.preambleText)));
    steps.push_back(std::move(step));
    progress->commands.push_back(command::kReadUniqueIdentifier);
  }
  for (uint8_t command : kReadAllCommands) {
    steps.push_back(readStep(settings, command, title(command)));
    progress->commands.push_back(command);
  }
  for (size_t i = 0; i < steps.size(); ++i) {
    steps[i].prepare = [progress, i] {
      progress->current = i;
      return true;
    };
  }

  std::vector<int> windows;
  for (const SequenceStep& step : steps) windows.push_back(step.answerWindowMs);
  auto onAnswer = [this, progress, pollingAddress, windows](size_t index, bool answered,
                                                            std::span<const uint8_t> answer) {
    const uint8_t command = progress->commands[index];
    const int windowMs = windows[index];
    const hart::ReplyTo to = command == command::kReadUniqueIdentifier
                                 ? hart::ReplyTo::shortFrame(pollingAddress, command)
                                 : replyTo(command);
    if (events.onGroup) events.onGroup(group(command, answered, answer, windowMs, to));
    const auto reply = answered ? hart::parseReplyTo(answer, to) : std::nullopt;

    if (command == command::kReadUniqueIdentifier) {
      const auto id = reply ? hart::readUniqueIdentifier(*reply) : std::nullopt;
      if (!id) {
        progress->stopReason =
            !reply ? "No instrument answered command 0 at polling address " + std::to_string(pollingAddress) +
                         " within " + std::to_string(windowMs) +
                         " ms. Scan the loop, or choose the instrument's address in \"HART Address:\" on the "
                         "Transparent Mode page."
                   : "Read All needs the instrument's identity, and the instrument at polling address " +
                         std::to_string(pollingAddress) + " answered command 0 without it (" +
                         hart::statusText(*reply) + ").";
        return Next::Stop;
      }
      // As an identity read leaves it.
      hart::DeviceIdentity identity = id->identity();
      identity.pollingAddress = static_cast<uint8_t>(pollingAddress);
      storeIdentity(identity, id->preamblesRequested, id->universalRevision);
      return Next::Continue;
    }

    if (!reply) {
      progress->unanswered.push_back(command);
    } else if (!reply->usable()) {
      progress->unusable.push_back(command);
    } else if (hart::isWarning(*reply->firstStatus)) {
      progress->warned.push_back(command);  // its data shown as read
    } else if (*reply->firstStatus != hart::kResponseSuccess) {
      progress->refused.push_back(command);
    } else {
      progress->answered.push_back(command);
    }
    if (reply) {
      if (command == command::kReadTagDescriptorDate) {
        if (const auto record = hart::readTagDescriptorDate(*reply); record && events.onTagRead)
          events.onTagRead(*record);
      } else if (command == command::kReadMessage) {
        if (const auto message = hart::readMessage(*reply); message && events.onMessageRead)
          events.onMessageRead(*message);
      }
    }
    return Next::Continue;
  };

  auto finish = [this, progress](Outcome outcome, const std::string& why) {
    const std::string at = "command " + std::to_string(progress->commands[progress->current]);
    Finished f;
    switch (outcome) {
      case Outcome::Completed: {
        std::string text;
        const std::pair<const char*, const std::vector<int>*> parts[] = {{"answered", &progress->answered},
                                                                         {"answered with a warning", &progress->warned},
                                                                         {"refused", &progress->refused},
                                                                         {"not usable", &progress->unusable},
                                                                         {"not answered", &progress->unanswered}};
        for (const auto& [name, commands] : parts) {
          if (commands->empty()) continue;
          text += (text.empty() ? "" : "; ") + std::string(name) + " " + listed(*commands);
        }
        f.note = "Read All: " + text + ".";
        if (progress->answered.empty() && progress->warned.empty() && progress->refused.empty() &&
            progress->unusable.empty()) {
          const auto instrument = addressed();
          f.message = "The addressed instrument answered none of Read All's commands" +
                      (instrument ? " (" + instrumentText(*instrument) + ")" : std::string()) +
                      ". Check that it is still on the loop, or scan the loop again.";
        }
        break;
      }
      case Outcome::Stopped:
        f.note = "Read All stopped at " + at + ".";
        f.message = progress->stopReason;
        break;
      case Outcome::Cancelled:
        f.note = "Read All cancelled at " + at + ".";
        break;
      case Outcome::Failed:
      case Outcome::PortLost:
        f.note = "Read All stopped at " + at + ".";
        f.message = "Read All stopped at " + at + ": " + why;
        break;
    }
    return f;
  };
  run(Action::ReadAll, std::move(steps), std::move(onAnswer), std::move(finish));
}

std::pair<HartInstrumentRequests::Write, HartInstrumentRequests::Settings> HartInstrumentRequests::writeTo(
    Action action) {
  const Settings settings = checkedSettings();
  const auto instrument = addressed();
  if (!instrument) throw InputRefused(kNoInstrumentMessage);
  Write w;
  w.action = action;
  w.instrument = *instrument;
  return {w, settings};
}

namespace {

// The instrument, what will be written, and the command that writes it.
std::string question(const hart::DeviceIdentity& instrument, const std::string& written, bool upperCased,
                     uint8_t command) {
  return "Write to " + instrumentText(instrument) + ":\n\n" + written + "\n\n" +
         (upperCased ? "Lower-case letters are written upper-case. " : "") + "Send command " + std::to_string(command) +
         " (" + std::string(hart::commandName(command)) + ")?";
}

}  // namespace

HartInstrumentRequests::Write HartInstrumentRequests::prepareTagWrite(std::string_view tag, std::string_view descriptor,
                                                                      const hart::TagDate& date) {
  auto [w, settings] = writeTo(Action::WriteTag);
  w.frame = hart::writeTagFrame(settings.preambleText, settings.commandMode, w.instrument, tag, descriptor, date,
                                traits().preamblesRequested);
  const std::string packedTag = hart::packableText(tag, hart::kTagChars, hart::kTagField);
  const std::string packedDescriptor = hart::packableText(descriptor, hart::kDescriptorChars, hart::kDescriptorField);
  w.tag = {withoutTrailingBlanks(packedTag), withoutTrailingBlanks(packedDescriptor), date};
  w.question = question(
      w.instrument,
      "Tag: " + quoted(w.tag.tag) + "\nDescriptor: " + quoted(w.tag.descriptor) + "\nDate: " + hart::dateText(date),
      packedTag != tag || packedDescriptor != descriptor, command::kWriteTagDescriptorDate);
  return w;
}

HartInstrumentRequests::Write HartInstrumentRequests::prepareMessageWrite(std::string_view message) {
  auto [w, settings] = writeTo(Action::WriteMessage);
  w.frame = hart::writeMessageFrame(settings.preambleText, settings.commandMode, w.instrument, message,
                                    traits().preamblesRequested);
  const std::string packed = hart::packableText(message, hart::kMessageChars, hart::kMessageField);
  w.message = withoutTrailingBlanks(packed);
  w.question = question(w.instrument, "Message: " + quoted(w.message), packed != message, command::kWriteMessage);
  return w;
}

void HartInstrumentRequests::write(const Write& w) {
  // The port may have gone, or a reply come to be awaited, while the
  // question was open.
  const Settings settings = checkedSettings();
  const bool tag = w.action == Action::WriteTag;
  const uint8_t writeCommand = tag ? command::kWriteTagDescriptorDate : command::kWriteMessage;
  const uint8_t readCommand = tag ? command::kReadTagDescriptorDate : command::kReadMessage;
  const hart::DeviceIdentity instrument = w.instrument;

  SequenceStep send;
  send.label = title(writeCommand);
  send.frame = [frame = w.frame] { return frame; };
  send.accepts = [instrument, writeCommand](std::span<const uint8_t> block) {
    return longReplyFrom(block, instrument, writeCommand);
  };
  send.answerWindowMs = window(hart::writeAnswerWindowMs(longFramePreambles(settings)));
  SequenceStep readBack;
  readBack.label = title(readCommand) + " (read back)";
  readBack.frame = [settings, instrument, readCommand, preambles = traits().preamblesRequested] {
    return hart::longCommandFrame(settings.preambleText, settings.commandMode, instrument, readCommand, {}, preambles);
  };
  readBack.accepts = [instrument, readCommand](std::span<const uint8_t> block) {
    return longReplyFrom(block, instrument, readCommand);
  };
  readBack.answerWindowMs = window(hart::readAnswerWindowMs(longFramePreambles(settings)));

  struct Replies {
    std::optional<hart::ParsedReply> written, readBack;
  };
  auto replies = std::make_shared<Replies>();
  const int writeWindowMs = send.answerWindowMs;
  const int readWindowMs = readBack.answerWindowMs;
  auto onAnswer = [this, replies, instrument, writeCommand, readCommand, readWindowMs](
                      size_t index, bool answered, std::span<const uint8_t> answer) {
    const hart::ReplyTo to = hart::ReplyTo::longFrame(instrument, index == 0 ? writeCommand : readCommand);
    const auto reply = answered ? hart::parseReplyTo(answer, to) : std::nullopt;
    if (index == 0) {
      replies->written = reply;
    } else {
      replies->readBack = reply;
      if (reply && events.onGroup) events.onGroup(group(readCommand, true, answer, readWindowMs, to));
    }
    return Next::Continue;
  };
  auto finish = [w, replies, writeWindowMs, readWindowMs](Outcome outcome, const std::string& why) {
    Finished f;
    const std::string what = w.action == Action::WriteTag ? "the tag" : "the message";
    switch (outcome) {
      case Outcome::Completed:
      case Outcome::Stopped:
        f.message = writeVerdict(w, replies->written, replies->readBack, writeWindowMs, readWindowMs);
        f.note = f.message.substr(0, f.message.find('\n'));
        break;
      case Outcome::Cancelled:
        f.message = "Cancelled after the write was sent: whether the instrument holds " + what +
                    " is not known. Read All reads what it holds.";
        f.note = f.message;
        break;
      case Outcome::Failed:
      case Outcome::PortLost:
        f.message = "The write stopped: " + why;
        f.note = f.message;
        break;
    }
    return f;
  };
  run(w.action, {send, readBack}, std::move(onAnswer), std::move(finish));
}

std::string writeVerdict(const HartInstrumentRequests::Write& write, const std::optional<hart::ParsedReply>& writeReply,
                         const std::optional<hart::ParsedReply>& readBack, int writeWindowMs, int readWindowMs) {
  const bool tag = write.action == Action::WriteTag;
  const uint8_t writeCommand = tag ? command::kWriteTagDescriptorDate : command::kWriteMessage;
  const uint8_t readCommand = tag ? command::kReadTagDescriptorDate : command::kReadMessage;
  const std::string what = tag ? "the tag, descriptor and date" : "the message";
  const std::string readText = "the read back (command " + std::to_string(readCommand) + ")";

  std::string verdict;
  if (!readBack) {
    verdict = "The instrument did not answer " + readText + " within " + std::to_string(readWindowMs) +
              " ms: whether it holds " + what + " is not known.";
  } else {
    const bool success = readBack->usable() && hart::dataGood(*readBack->firstStatus);
    const std::string unusable = "The reply to " + readText + " cannot be used (" +
                                 (success ? std::string("its data ends early") : hart::statusText(*readBack)) +
                                 "): whether the instrument holds " + what + " is not known.";
    if (tag) {
      const auto held = hart::readTagDescriptorDate(*readBack);
      const auto shown = [](const hart::TagDescriptorDate& r) {
        return "tag " + quoted(r.tag) + ", descriptor " + quoted(r.descriptor) + " and date " + hart::dateText(r.date);
      };
      if (!held)
        verdict = unusable;
      else if (*held == write.tag)
        verdict = "The instrument now holds the " + shown(*held) + ".";
      else
        verdict = "The instrument does not hold what was written: it reads back " + shown(*held) + ".";
    } else {
      const auto held = hart::readMessage(*readBack);
      if (!held)
        verdict = unusable;
      else if (*held == write.message)
        verdict = "The instrument now holds the message " + quoted(*held) + ".";
      else
        verdict = "The instrument does not hold what was written: it reads back the message " + quoted(*held) + ".";
    }
  }
  const std::string command =
      "Command " + std::to_string(writeCommand) + " (" + std::string(hart::commandName(writeCommand)) + ")";
  return verdict + "\n" +
         (writeReply ? command + " was answered: " + hart::statusText(*writeReply) + "."
                     : command + " was not answered within " + std::to_string(writeWindowMs) + " ms.");
}

}  // namespace tq::requests
