#include "requests/module_reader.h"

#include <algorithm>
#include <memory>

#include "common/errors.h"
#include "common/text.h"
#include "hart/answer_window.h"
#include "hart/decoders.h"
#include "hart/frames.h"
#include "hart/properties.h"
#include "hart/status.h"
#include "link/link_arbiter.h"
#include "protocol/config_frames.h"
#include "protocol/output_frames.h"
#include "protocol/replies.h"
#include "protocol/reply_tables.h"
#include "requests/module_finder.h"

namespace tq::requests {

namespace {

using engine::SequenceStep;
using Next = engine::RequestSequencer::Next;
using Outcome = engine::RequestSequencer::Outcome;
using record::Source;
namespace command = hart::command;

constexpr const char* kHolder = "Read Module";
constexpr const char* kDeviceList = "ComboBox41";

std::string quoted(const protocol::Frame& frame) { return "\"" + std::string(frame.begin(), frame.end()) + "\""; }

// The received text as the engine's decoders take it: the block's first bytes.
std::string receivedText(std::span<const uint8_t> block) {
  return std::string(block.begin(),
                     block.begin() + static_cast<std::ptrdiff_t>(std::min(block.size(), engine::kReceivedTextMax)));
}

}  // namespace

struct ModuleReader::Run {
  struct Step {
    Source source = Source::CommQuery;
    int device = -1;      // ModbusQuery: the device asked
    uint8_t command = 0;  // HartInstrument: the command sent
    std::string label;
    int windowMs = 0;
  };
  std::vector<Step> steps;
  std::vector<bool> skipped;
  size_t current = 0;
  int devices = 1;        // as the unit count tells
  int chosenDevice = -1;  // the MODBUS page's device when Read Module began
  int pollingAddress = 0;
  bool instrument = false;  // command 0 answered with an identity
  std::string hartNotSent;  // why no HART frame could be built
  size_t ran = 0, answered = 0;
  std::vector<std::string> notRead, notUnderstood;
  std::string firstQuery;  // the frame of the first step, for its message
};

ModuleReader::ModuleReader(link::LinkArbiter& link, engine::View& view, HartInstrumentRequests& hart,
                           record::ModuleRecord& record, std::function<bool()> replyAwaited,
                           std::function<record::Clock::time_point()> now)
    : link_(link),
      view_(view),
      hart_(hart),
      record_(record),
      replyAwaited_(std::move(replyAwaited)),
      now_(now ? std::move(now) : [] { return record::Clock::now(); }) {}

SequenceStep ModuleReader::moduleStep(std::string label, protocol::Frame frame, std::string_view marker) {
  SequenceStep step;
  step.label = std::move(label);
  step.frame = [frame] { return frame; };
  step.accepts = [marker = std::string(marker)](std::span<const uint8_t> block) {
    const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
    return text.find(marker) != std::string_view::npos;
  };
  step.answerWindowMs = window(engine::kQueryTimeoutMs);
  return step;
}

void ModuleReader::start() {
  if (!link_.isOpen()) throw InputRefused(kPortClosedMessage);
  if (replyAwaited_ && replyAwaited_()) throw InputRefused(kReplyAwaitedMessage);
  if (running_ || link_.claimed()) {
    throw InputRefused("Another sequence (Find Module or the HART Instrument page) holds the port; nothing was sent.");
  }
  auto run = std::make_shared<Run>();
  std::vector<SequenceStep> steps;
  auto add = [&](SequenceStep step, Source source, int device = -1, uint8_t command = 0) {
    run->steps.push_back({source, device, command, step.label, step.answerWindowMs});
    steps.push_back(std::move(step));
  };

  const protocol::Frame first = protocol::commQueryFrame();
  run->firstQuery = quoted(first);
  add(moduleStep("Communication Query", first, kModuleAnswerMarker), Source::CommQuery);
  add(moduleStep("System Parameters", protocol::systemQueryFrame(), protocol::kSystemReplyMarker), Source::SystemQuery);
  // Every device a module can carry; those beyond the unit count the first
  // answer tells are passed over.
  for (int d = 0; d < record::kMaxDevices; ++d) {
    add(moduleStep("MODBUS Parameter Query, Device " + std::to_string(d), protocol::modbusQueryFrame(d),
                   std::string(protocol::kModbusReplyMarker) + std::to_string(d)),
        Source::ModbusQuery, d);
  }
  add(moduleStep("Relay and current output settings", protocol::outputSettingsQueryFrame(),
                 protocol::kOutputSettingsReplyMarker),
      Source::OutputSettings);
  add(moduleStep("Current output values", protocol::outputValuesQueryFrame(), protocol::kOutputValuesReplyMarker),
      Source::OutputValues);

  // The instrument, with the Transparent Mode page's preamble length,
  // command mode and polling address; settings no frame can carry leave it
  // unread rather than the module.
  const std::string preamble = view_.text("Edit9");
  const int mode = view_.selectedIndex("ComboBox42");
  run->pollingAddress = view_.selectedIndex("ComboBox30");
  try {
    hart::identityQueryFrame(preamble, mode, run->pollingAddress);
  } catch (const std::exception& e) {
    run->hartNotSent = e.what();
  }
  if (run->hartNotSent.empty()) {
    SequenceStep identity;
    identity.label = "HART command 0 (polling address " + std::to_string(run->pollingAddress) + ")";
    identity.frame = [preamble, mode, address = run->pollingAddress] {
      return hart::identityQueryFrame(preamble, mode, address);
    };
    identity.accepts = [address = run->pollingAddress](std::span<const uint8_t> block) {
      return shortReplyFrom(block, address);
    };
    identity.answerWindowMs = window(hart::scanAnswerWindowMs(hart::requestPreambles(preamble)));
    // The reads' frames carry what command 0 asks for, up to the most an
    // instrument may ask for; their windows allow that much.
    const int readWindowMs =
        window(hart::readAnswerWindowMs(hart::requestPreambles(preamble, hart::kMaxRequestedPreambles)));
    add(std::move(identity), Source::HartInstrument, -1, command::kReadUniqueIdentifier);
    for (uint8_t c : readAllCommands()) {
      SequenceStep read;
      read.label = "HART command " + std::to_string(c) + " (" + std::string(hart::commandName(c)) + ")";
      // Built when the step starts, for the instrument command 0 found.
      read.frame = [this, preamble, mode, c] {
        return hart::longCommandFrame(preamble, mode, hart_.addressed().value_or(hart::DeviceIdentity{}), c, {},
                                      hart_.traits().preamblesRequested);
      };
      read.accepts = [this, c](std::span<const uint8_t> block) {
        return longReplyFrom(block, hart_.addressed().value_or(hart::DeviceIdentity{}), c);
      };
      read.answerWindowMs = readWindowMs;
      add(std::move(read), Source::HartInstrument, -1, c);
    }
  }
  run->skipped.assign(steps.size(), false);
  for (size_t i = 0; i < steps.size(); ++i) {
    steps[i].prepare = [run, i] {
      run->current = i;
      const Run::Step& step = run->steps[i];
      const bool wanted = step.source == Source::ModbusQuery ? step.device < run->devices
                          : step.source == Source::HartInstrument && step.command != command::kReadUniqueIdentifier
                              ? run->instrument
                              : true;
      run->skipped[i] = !wanted;
      return wanted;
    };
  }

  // Nothing stale: what this run does not read says "not read".
  record_.clear();
  run->chosenDevice = view_.selectedIndex(kDeviceList);
  engine::RequestSequencer::Callbacks callbacks;
  callbacks.onStep = [this](size_t index, size_t count, const std::string& label) {
    if (events.onStep) events.onStep(index, count, label);
  };
  callbacks.onAnswer = [this, run](size_t index, bool answered, std::span<const uint8_t> answer) {
    return this->answered(*run, index, answered, answer);
  };
  callbacks.onFinished = [this, run](Outcome outcome, const std::string& why) {
    running_ = false;
    const Finished finished = finish(*run, outcome, why);
    if (events.onFinished) events.onFinished(finished);
  };
  running_ = true;
  link_.run({kHolder, std::move(steps), std::move(callbacks)});
}

void ModuleReader::cancel() {
  if (running_) link_.cancelRun();
}

void ModuleReader::apply(const Decoded& decoded) {
  for (const Assignment& change : decoded.assignments) view_.apply(change);
}

Next ModuleReader::answered(Run& run, size_t index, bool answered, std::span<const uint8_t> answer) {
  if (run.skipped[index]) return Next::Continue;
  const Run::Step& step = run.steps[index];
  ++run.ran;
  if (!answered) {
    if (index == 0) return Next::Stop;  // no module on the line: nothing more is asked
    run.notRead.push_back(step.label);
    if (step.source == Source::HartInstrument && step.command == command::kReadUniqueIdentifier) {
      if (hart_.events.onGroup) {
        hart_.events.onGroup(hart_.group(step.command, false, answer, step.windowMs,
                                         hart::ReplyTo::shortFrame(run.pollingAddress, step.command)));
      }
    }
    return Next::Continue;
  }
  ++run.answered;
  const auto at = now_();
  const std::string text = receivedText(answer);
  Decoded decoded;
  switch (step.source) {
    case Source::CommQuery: {
      decoded = protocol::decodeCommQueryReply(text);
      for (const Assignment& change : decoded.assignments) {
        if (change.kind == Assignment::Kind::SetItems && change.control == kDeviceList) {
          run.devices = static_cast<int>(change.items.size());
        }
      }
      apply(decoded);
      break;
    }
    case Source::SystemQuery:
      decoded = protocol::decodeSystemReply(text);
      apply(decoded);
      break;
    case Source::ModbusQuery:
      // As a change of device leaves the page: no meter type shown yet.
      decoded = protocol::decodeModbusReply(text, -1);
      // The page ends on the device the operator had chosen.
      if (step.device == run.chosenDevice) apply(decoded);
      break;
    case Source::OutputSettings:
      decoded = protocol::decodeOutputSettingsReply(text);
      apply(decoded);
      break;
    case Source::OutputValues:
      decoded = protocol::decodeOutputValuesReply(text);
      apply(decoded);
      break;
    case Source::HartInstrument: {
      const hart::ReplyTo to = step.command == command::kReadUniqueIdentifier
                                   ? hart::ReplyTo::shortFrame(run.pollingAddress, step.command)
                                   : hart_.replyTo(step.command);
      const auto group = hart_.group(step.command, true, answer, step.windowMs, to);
      if (hart_.events.onGroup) hart_.events.onGroup(group);
      record::recordHartRows(record_, group.rows, at);
      const auto reply = hart::parseReplyTo(answer, to);
      if (reply) record::recordHartStatus(record_, *reply, at);
      if (step.command == command::kReadUniqueIdentifier) {
        const auto id = reply ? hart::readUniqueIdentifier(*reply) : std::nullopt;
        run.instrument = id.has_value();
        if (id) {
          hart_.address(*id);  // as an identity read leaves it: the long frames address it
        } else {
          --run.answered;
          run.notRead.push_back(step.label + (reply ? ", answered " + hart::statusText(*reply) : std::string()));
        }
      } else if (reply && step.command == command::kReadTagDescriptorDate) {
        if (const auto tag = hart::readTagDescriptorDate(*reply); tag && hart_.events.onTagRead)
          hart_.events.onTagRead(*tag);
      } else if (reply && step.command == command::kReadMessage) {
        if (const auto message = hart::readMessage(*reply); message && hart_.events.onMessageRead) {
          hart_.events.onMessageRead(*message);
        }
      }
      return Next::Continue;
    }
  }
  record::recordDecoded(record_, decoded, step.source, step.device, at);
  if (decoded.error) run.notUnderstood.push_back(step.label + " (" + *decoded.error + ")");
  return Next::Continue;
}

ModuleReader::Finished ModuleReader::finish(Run& run, Outcome outcome, const std::string& why) {
  Finished f;
  f.outcome = outcome;
  f.steps = run.ran;
  f.answered = run.answered;
  f.notRead = run.notRead;
  const std::string at = run.steps[std::min(run.current, run.steps.size() - 1)].label;
  const std::string count = std::to_string(run.answered) + " of " + std::to_string(run.ran) + " steps answered";
  switch (outcome) {
    case Outcome::Completed: {
      f.status = run.notRead.empty() ? "Read Module: all " + std::to_string(run.ran) + " steps answered."
                                     : "Read Module: " + count + "; not read: " + listed(run.notRead) + ".";
      if (!run.notUnderstood.empty()) f.status += " Not understood: " + listed(run.notUnderstood) + ".";
      if (!run.hartNotSent.empty()) f.status += " HART instrument not read: " + run.hartNotSent;
      break;
    }
    case Outcome::Stopped:
      f.status = "Read Module stopped: the module did not answer.";
      f.message = "The module did not answer the communication query " + run.firstQuery + " within " +
                  std::to_string(run.steps.front().windowMs) + " ms on " + link_.setting().text() +
                  ". Read Module stopped; nothing more was sent.\n\nCheck:\n"
                  "- the port and its line settings (Serial Port:, Baud Rate:, Parity:) against the module's;\n"
                  "- the wiring and the module's power;\n"
                  "- or let Tools \u25b8 Find Module\u2026 find the module's line settings.";
      break;
    case Outcome::Cancelled:
      f.status = "Read Module cancelled at " + at + ": " + count + ".";
      break;
    case Outcome::Failed:
      f.status = "Read Module stopped at " + at + ": " + count + ".";
      f.message = "Read Module stopped at " + at + ": " + why;
      break;
    case Outcome::PortLost:
      // The banner is the operator's notice of a lost port.
      f.status = "Read Module stopped at " + at + ": " + why;
      break;
  }
  return f;
}

}  // namespace tq::requests
