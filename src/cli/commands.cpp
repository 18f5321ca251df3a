#include "cli/commands.h"

#include <QDateTime>
#include <algorithm>
#include <iostream>
#include <map>

#include "cli/output.h"
#include "common/byte_display.h"
#include "common/errors.h"
#include "common/save_file.h"
#include "engine/transaction_engine.h"
#include "hart/frames.h"
#include "link/link_arbiter.h"
#include "protocol/replies.h"
#include "report/as_left_report.h"
#include "requests/hart_instrument_requests.h"
#include "requests/module_finder.h"
#include "requests/profile_apply.h"
#include "serial/port_discovery.h"
#include "tools/modbus_dissector.h"
#include "tools/modbus_test.h"

namespace tq::cli {

namespace {

using requests::HartInstrumentRequests;
using requests::ProfileApplier;
using Outcome = engine::RequestSequencer::Outcome;

// What the write's verdict says when the read-back shows what was written.
constexpr std::string_view kWriteHeld = "The instrument now holds";
// A MODBUS answer: slave, function, byte count, the registers, CRC.
constexpr size_t kModbusHeader = 3;
constexpr size_t kCrcBytes = 2;

// The settings given, in key-table order, as a profile.
record::Profile profileOf(const std::vector<std::pair<std::string, std::string>>& settings) {
  record::Profile profile;
  for (const record::Key& key : record::keys()) {
    for (const auto& [name, value] : settings) {
      if (name == key.name) profile.settings.emplace_back(name, value);
    }
  }
  return profile;
}

std::string lines(const std::vector<std::string>& items, const std::string& before = {}) {
  std::string out;
  for (const std::string& item : items) out += before + item + "\n";
  return out;
}

}  // namespace

std::optional<Prepared> prepare(const Invocation& invocation, bool stdinIsTerminal, std::string* refusal) {
  Prepared prepared;
  if (invocation.command == Command::ProfileDiff || invocation.command == Command::ProfileApply) {
    try {
      prepared.profile = record::readProfileFile(invocation.file);
    } catch (const InputRefused& e) {
      *refusal = e.what();
      return std::nullopt;
    }
  }
  if (invocation.command == Command::ProfileApply && !invocation.dryRun && !invocation.yes && !stdinIsTerminal) {
    *refusal =
        "profile apply: standard input is not a terminal to ask on, so nothing was sent. Give --yes to apply without "
        "asking, or --dry-run to see the frames.";
    return std::nullopt;
  }
  return prepared;
}

int runWithoutPort(const Invocation& invocation) {
  switch (invocation.command) {
    case Command::Help:
      std::cout << usageText();
      break;
    case Command::Version:
      std::cout << "tq580-cli " << TQ_VERSION << "\n";
      break;
    case Command::Ports:
      std::cout << (invocation.options.json ? jsonObject({{"ports", serial::portChoices()}})
                                            : lines(serial::portChoices()));
      break;
    default:
      return exit_status::kUsage;
  }
  std::cout << std::flush;
  return exit_status::kDone;
}

Commands::Commands(Session& session, Prepared prepared) : s_(session), prepared_(std::move(prepared)) {}

// A run still going (Ctrl-C) ends before what its callbacks reach goes.
Commands::~Commands() {
  s_.hart().events = {};
  if (finder_) finder_->cancel();
  if (applier_) applier_->sender().cancel();
  s_.link().cancelRun();
}

void Commands::printOut(const std::string& text) { std::cout << text << std::flush; }

void Commands::start() {
  if (s_.invocation().command == Command::Find) {
    find();
    return;
  }
  if (!s_.open()) return;
  switch (s_.invocation().command) {
    case Command::Read:
      read();
      break;
    case Command::Get:
      get();
      break;
    case Command::Set:
      set();
      break;
    case Command::ProfileSave:
      profileSave();
      break;
    case Command::ProfileDiff:
      profileDiff();
      break;
    case Command::ProfileApply:
      profileApply();
      break;
    case Command::Report:
      report();
      break;
    case Command::HartScan:
      hartScan();
      break;
    case Command::HartRead:
      hartRead();
      break;
    case Command::HartWriteTag:
    case Command::HartWriteMessage:
      hartWrite();
      break;
    case Command::ModbusRead:
      modbusRead();
      break;
    default:
      s_.finish(exit_status::kUsage);
      break;
  }
}

void Commands::readThen(std::function<void()> then) {
  s_.readModule([this, then](const requests::ModuleReader::Finished& f) {
    if (s_.readSucceeded(f)) then();
  });
}

void Commands::find() {
  const Options& o = s_.options();
  std::vector<std::string> names;
  if (!o.port.empty()) names.push_back(o.port);
  if (s_.invocation().all) {
    for (std::string& name : serial::portChoices()) names.push_back(std::move(name));
  }
  requests::FinderPlan plan;
  plan.ports = requests::distinctPorts(names);
  plan.chosenBaud = o.baud;
  plan.chosenParity = o.parity;
  plan.rts = o.rts;
  plan.dtr = o.dtr;
  finder_ = std::make_unique<requests::ModuleFinder>(s_.link());
  const bool started = finder_->start(
      plan, {[this](size_t index, size_t count, const LineSetting& line) {
               s_.progress("Find Module: " + line.text() + " (" + std::to_string(index + 1) + " of " +
                           std::to_string(count) + ")");
             },
             [this](const requests::ModuleFinder::Result& result) {
               s_.later([this, result] {
                 using FinderOutcome = requests::ModuleFinder::Outcome;
                 if (result.outcome != FinderOutcome::Found) {
                   s_.say(result.outcome == FinderOutcome::NothingAnswered ? result.message
                                                                           : "Find Module stopped: " + result.message);
                   s_.finish(exit_status::kNoAnswer);
                   return;
                 }
                 // The answer as the communication query's.
                 const std::string text(result.answer.begin(),
                                        result.answer.begin() + static_cast<std::ptrdiff_t>(std::min(
                                                                    result.answer.size(), engine::kReceivedTextMax)));
                 record::ModuleRecord module;
                 record::recordDecoded(module, protocol::decodeCommQueryReply(text), record::Source::CommQuery, -1,
                                       record::Clock::now());
                 printOut(foundText(*result.found, module, s_.options().json));
                 s_.finish(exit_status::kDone);
               });
             }});
  if (!started) {
    s_.say("Find Module has no port to try: name one with --port, or search every port with find --all.");
    s_.finish(exit_status::kUsage);
  }
}

void Commands::read() {
  readThen([this] {
    const bool json = s_.options().json;
    printOut(json ? recordJson(s_.record(), s_.link().setting(), isoNow())
                  : recordText(s_.record(), shownKeys(s_.record())));
    s_.finish(exit_status::kDone);
  });
}

void Commands::get() {
  readThen([this] {
    const std::vector<std::string>& keys = s_.invocation().keys;
    printOut(keysText(s_.record(), keys, s_.options().json));
    bool all = true;
    for (const std::string& key : keys) all = all && s_.record().read(key);
    s_.finish(all ? exit_status::kDone : exit_status::kNoAnswer);
  });
}

void Commands::set() { apply("the settings given", profileOf(s_.invocation().settings), false); }

void Commands::profileSave() {
  readThen([this] {
    bool any = false;
    for (const record::Key& key : record::keys()) any = any || (key.writer >= 0 && s_.record().read(key.name));
    if (!any) {
      s_.say("Nothing to save: the module's settings were not read.");
      s_.finish(exit_status::kNoAnswer);
      return;
    }
    const std::string& file = s_.invocation().file;
    const std::string reason = saveFile(file, record::profileJson(s_.record(), isoNow()));
    if (!reason.empty()) {
      s_.say("The profile could not be saved to " + file + ": " + reason + ".");
      s_.finish(exit_status::kNoAnswer);
      return;
    }
    s_.say("Profile saved to " + file + ".");
    s_.finish(exit_status::kDone);
  });
}

void Commands::profileDiff() {
  readThen([this] {
    const auto rows = record::compareProfile(*prepared_.profile, s_.record());
    printOut(differencesText(rows, s_.options().json));
    const bool agree =
        std::all_of(rows.begin(), rows.end(), [](const auto& r) { return r.comparison == record::Comparison::Same; });
    if (agree) s_.say("The module holds every setting of " + s_.invocation().file + ".");
    s_.finish(exit_status::kDone);
  });
}

void Commands::profileApply() {
  const Invocation& inv = s_.invocation();
  if (!inv.dryRun) {
    apply(inv.file, *prepared_.profile, !inv.yes);
    return;
  }
  readThen([this] {
    const record::ApplyPlan plan = record::planApply(*prepared_.profile, s_.record());
    std::vector<std::string> frames;
    for (const record::PlannedFrame& f : plan.frames) frames.push_back(requests::frameText(f.frame));
    if (s_.options().json) {
      printOut(jsonObject({{"frames", frames}, {"not_sent", plan.unsendable}}));
    } else {
      printOut(lines(frames));
      for (const std::string& line : plan.unsendable) s_.say("not sent: " + line);
    }
    s_.say(plan.frames.empty() ? "Dry run: the module holds the profile's settings; nothing would be sent."
                               : "Dry run: nothing was sent.");
    s_.finish(exit_status::kDone);
  });
}

void Commands::apply(const std::string& file, record::Profile profile, bool askFirst) {
  ProfileApplier::Host host;
  host.readModule = [this](std::function<void(bool)> then) {
    return s_.readModule([this, then](const requests::ModuleReader::Finished& f) {
      const bool completed = f.outcome == requests::ModuleReader::Outcome::Completed;
      if (!completed) s_.readSucceeded(f);  // said, and the run ends
      then(completed);
    });
  };
  host.readSinceOpen = [this] { return s_.readCompleted(); };
  // Nothing more is sent once the run has ended (a read-back that failed).
  host.ask = [this, askFirst](const std::string& question) {
    if (s_.finished()) return false;
    return askFirst ? s_.ask(question) : true;
  };
  host.later = [this](std::function<void()> next) { s_.later(std::move(next)); };
  // The run ends here; the port closes with it.
  host.closePortLater = [] {};
  host.onVerdict = [this](const requests::ApplyVerdict& verdict, const std::string&) {
    verdictGood_ = verdict.good();
    if (s_.options().json) {
      printOut(
          jsonObject({{"took", verdict.took}, {"did_not_take", verdict.notTaken}, {"not_stored", verdict.refused}}));
    } else {
      printOut(lines(verdict.took, "took: ") + lines(verdict.notTaken, "did not take: ") +
               lines(verdict.refused, "not stored by the module: "));
    }
  };
  host.onEnded = [this](const ProfileApplier::Ended& ended) {
    using End = ProfileApplier::End;
    switch (ended.end) {
      case End::NotRead:
        s_.finish(exit_status::kNoAnswer);
        return;
      case End::NothingToSend:
        if (ended.unsendable.empty()) {
          s_.say("The module already holds those settings; nothing was sent.");
          s_.finish(exit_status::kDone);
        } else {
          s_.say("Nothing was sent. These settings differ but cannot be sent:\n" + lines(ended.unsendable));
          s_.finish(exit_status::kNoAnswer);
        }
        return;
      case End::Declined:
        s_.say("Nothing was sent.");
        s_.finish(exit_status::kNoAnswer);
        return;
      case End::Stopped:
      case End::NotReadBack:
        s_.say(ended.message.empty() ? ended.status : ended.message);
        s_.finish(exit_status::kNoAnswer);
        return;
      case End::ReadBack:
        s_.finish(verdictGood_ ? exit_status::kDone : exit_status::kNoAnswer);
        return;
      case End::LineSet:
        s_.say(ended.lineStored ? "The module stored its new RS485 line setting and now talks at it: give its rate "
                                  "and parity with --baud and --parity from now on."
                                : "The module did not store the RS485 line setting.");
        s_.finish(ended.lineStored && verdictGood_ ? exit_status::kDone : exit_status::kNoAnswer);
        return;
    }
  };
  applier_ = std::make_unique<ProfileApplier>(s_.link(), s_.record(), std::move(host));
  try {
    applier_->start(file, std::move(profile));
  } catch (const InputRefused& e) {
    s_.say(e.what());
    s_.finish(exit_status::kNoAnswer);
  }
}

void Commands::report() {
  readThen([this] {
    const Invocation& inv = s_.invocation();
    report::Context context;
    context.details = {QString::fromStdString(inv.site), QString::fromStdString(inv.loop),
                       QString::fromStdString(inv.technician), QString::fromStdString(inv.notes)};
    context.written = QDateTime::currentDateTime();
    context.toolVersion = QStringLiteral(TQ_VERSION);
    context.line = QString::fromStdString(s_.link().setting().text() + ", open");
    context.readSinceOpen = true;  // read just now
    context.journal = report::countJournal(s_.journal());
    const QString path = QString::fromStdString(inv.file);
    const QString reason = report::writeReport(path, report::reportHtml(s_.record(), context),
                                               report::formatOfName(path).value_or(report::Format::Pdf));
    if (!reason.isEmpty()) {
      s_.say("The report could not be written to " + inv.file + ": " + reason.toStdString() + ".");
      s_.finish(exit_status::kNoAnswer);
      return;
    }
    s_.say("Report written to " + inv.file + ".");
    s_.finish(exit_status::kDone);
  });
}

// A HART run's end: the note said, the message when there is one; false
// (and the run finished) when it did not complete.
namespace {
bool hartEnded(Session& s, const HartInstrumentRequests::Finished& f) {
  if (f.outcome == Outcome::PortLost) {
    s.finish(exit_status::kPort);
    return false;
  }
  if (!f.message.empty() && f.outcome != Outcome::Completed) {
    s.say(f.message);
    s.finish(exit_status::kNoAnswer);
    return false;
  }
  return true;
}
}  // namespace

void Commands::hartScan() {
  HartInstrumentRequests& hart = s_.hart();
  hart.events = {};
  hart.events.onStep = [this](size_t index, size_t count, const std::string& label) {
    s_.progress("HART scan: " + label + " (" + std::to_string(index + 1) + " of " + std::to_string(count) + ")");
  };
  hart.events.onFound = [this](const hart::UniqueIdentifier& id) { found_.push_back(id); };
  hart.events.onFinished = [this](const HartInstrumentRequests::Finished& f) {
    s_.later([this, f] {
      if (!hartEnded(s_, f)) return;
      printOut(instrumentsText(found_, s_.options().json));
      s_.say(f.note);
      if (found_.empty() && !f.message.empty()) s_.say(f.message);
      s_.finish(found_.empty() ? exit_status::kNoAnswer : exit_status::kDone);
    });
  };
  try {
    hart.scan(s_.invocation().wide);
  } catch (const InputRefused& e) {
    s_.say(e.what());
    s_.finish(exit_status::kUsage);
  }
}

void Commands::hartRead() {
  HartInstrumentRequests& hart = s_.hart();
  auto groups = std::make_shared<std::map<uint8_t, HartInstrumentRequests::Group>>();
  hart.events = {};
  hart.events.onStep = [this](size_t index, size_t count, const std::string& label) {
    s_.progress("Read All: " + label + " (" + std::to_string(index + 1) + " of " + std::to_string(count) + ")");
  };
  hart.events.onGroup = [groups](const HartInstrumentRequests::Group& group) { (*groups)[group.command] = group; };
  hart.events.onFinished = [this, groups](const HartInstrumentRequests::Finished& f) {
    s_.later([this, groups, f] {
      if (!hartEnded(s_, f)) return;
      record::ModuleRecord instrument;
      std::string text;
      for (const auto& [command, group] : *groups) {
        record::recordHartRows(instrument, group.rows, record::Clock::now());
        text += "# " + group.title + "\n";
        for (const hart::PropertyRow& row : group.rows) {
          text += row.name + " = " + row.value + (row.unit.empty() ? "" : " " + row.unit) + "\n";
        }
      }
      if (s_.options().json) {
        std::vector<JsonMember> members;
        for (const record::Key& key : record::keys()) {
          if (key.source == record::Source::HartInstrument && instrument.read(key.name)) {
            members.push_back({key.name.substr(std::string_view("hart.").size()), {instrument.shown(key.name)}, false});
          }
        }
        printOut(jsonObject(members));
      } else {
        printOut(text);
      }
      s_.say(f.note);
      if (!f.message.empty()) s_.say(f.message);
      s_.finish(f.message.empty() ? exit_status::kDone : exit_status::kNoAnswer);
    });
  };
  try {
    hart.readAll();
  } catch (const InputRefused& e) {
    s_.say(e.what());
    s_.finish(exit_status::kUsage);
  }
}

// Read All first: it addresses the instrument at --address and reads what
// it holds, so a descriptor or date not given is written back as read.
void Commands::hartWrite() {
  HartInstrumentRequests& hart = s_.hart();
  auto held = std::make_shared<std::optional<hart::TagDescriptorDate>>();
  hart.events = {};
  hart.events.onStep = [this](size_t index, size_t count, const std::string& label) {
    s_.progress(label + " (" + std::to_string(index + 1) + " of " + std::to_string(count) + ")");
  };
  hart.events.onTagRead = [held](const hart::TagDescriptorDate& tag) { *held = tag; };
  hart.events.onFinished = [this, held](const HartInstrumentRequests::Finished& f) {
    s_.later([this, held, f] {
      HartInstrumentRequests& hart = s_.hart();
      if (!hartEnded(s_, f)) return;
      if (f.action == HartInstrumentRequests::Action::ReadAll) {
        const Invocation& inv = s_.invocation();
        const bool tag = inv.command == Command::HartWriteTag;
        if (!hart.addressed()) {
          s_.say(f.message.empty() ? f.note : f.message);
          s_.finish(exit_status::kNoAnswer);
          return;
        }
        if (tag && !*held && (!inv.descriptor || !inv.date)) {
          s_.say(
              "The instrument's descriptor and date were not read (command 13): give them with --descriptor and "
              "--date; nothing was written.");
          s_.finish(exit_status::kNoAnswer);
          return;
        }
        try {
          const auto write =
              tag ? hart.prepareTagWrite(inv.text, inv.descriptor ? *inv.descriptor : (*held)->descriptor,
                                         inv.date ? *inv.date : (*held)->date)
                  : hart.prepareMessageWrite(inv.text);
          s_.say(write.question.substr(0, write.question.rfind("\n\n")));
          hart.write(write);
        } catch (const InputRefused& e) {
          s_.say(e.what());
          s_.finish(exit_status::kUsage);
        }
        return;
      }
      printOut(f.message + "\n");
      s_.finish(f.message.starts_with(kWriteHeld) ? exit_status::kDone : exit_status::kNoAnswer);
    });
  };
  try {
    hart.readAll();
  } catch (const InputRefused& e) {
    s_.say(e.what());
    s_.finish(exit_status::kUsage);
  }
}

void Commands::modbusRead() {
  const Invocation& inv = s_.invocation();
  const auto sent = tools::modbusTestFrame(inv.slave, inv.start, inv.count);
  const std::vector<uint8_t> frame(sent.begin(), sent.end());
  auto answer = std::make_shared<std::vector<uint8_t>>();
  engine::SequenceStep step;
  step.label = "MODBUS test";
  step.frame = [frame] { return frame; };
  step.accepts = [frame](std::span<const uint8_t> block) { return tools::modbusAnswerStart(block, frame).has_value(); };
  step.answerWindowMs = engine::kQueryTimeoutMs;
  engine::RequestSequencer::Callbacks callbacks;
  callbacks.onAnswer = [answer](size_t, bool answered, std::span<const uint8_t> block) {
    if (answered) answer->assign(block.begin(), block.end());
    return engine::RequestSequencer::Next::Continue;
  };
  callbacks.onFinished = [this, answer, frame](Outcome outcome, const std::string& why) {
    s_.later([this, answer, frame, outcome, why] {
      if (outcome == Outcome::PortLost) {
        s_.finish(exit_status::kPort);
        return;
      }
      if (outcome != Outcome::Completed) {
        s_.say("The MODBUS test stopped: " + why);
        s_.finish(exit_status::kNoAnswer);
        return;
      }
      if (answer->empty()) {
        s_.say("Slave " + std::to_string(frame[0]) + " did not answer the MODBUS test request " + hexBytes(frame) +
               " within " + std::to_string(engine::kQueryTimeoutMs) +
               " ms. Check the slave address, that the module works in a MODBUS mode, and the line setting.");
        s_.finish(exit_status::kNoAnswer);
        return;
      }
      // As the page shows it: the bytes in hex.
      const std::span<const uint8_t> bytes(*answer);
      const size_t at = *tools::modbusAnswerStart(bytes, frame);
      const auto reply = bytes.subspan(at);
      std::vector<unsigned> registers;
      std::string problem;
      if (reply.size() >= 2 && (reply[1] & 0x80) != 0) {
        problem = "the slave answered with exception " + std::to_string(reply.size() > 2 ? reply[2] : 0) + ".";
      } else if (reply.size() < kModbusHeader + kCrcBytes || reply.size() < kModbusHeader + reply[2] + kCrcBytes) {
        problem = "the answer was cut short.";
      } else {
        const size_t end = kModbusHeader + reply[2];
        const auto crc = tools::crc16Modbus(reply.first(end));
        if (crc[0] != reply[end] || crc[1] != reply[end + 1]) {
          problem = "the answer's CRC is wrong.";
        } else {
          for (size_t i = kModbusHeader; i + 1 < end; i += 2) {
            registers.push_back(unsigned{reply[i]} << 8 | reply[i + 1]);
          }
        }
      }
      printOut(modbusText(hexBytes(bytes), s_.invocation().start, registers, s_.options().json));
      if (!problem.empty()) s_.say("Slave " + std::to_string(frame[0]) + ": " + problem);
      s_.finish(problem.empty() ? exit_status::kDone : exit_status::kNoAnswer);
    });
  };
  if (!s_.link().run({"MODBUS test", {std::move(step)}, std::move(callbacks)})) {
    s_.say("Another sequence holds the port; nothing was sent.");
    s_.finish(exit_status::kNoAnswer);
  }
}

}  // namespace tq::cli
