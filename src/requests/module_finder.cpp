#include "requests/module_finder.h"

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string_view>

#include "common/text.h"
#include "link/link_arbiter.h"
#include "protocol/config_frames.h"
#include "serial/comm_types.h"
#include "serial/posix_device.h"

namespace tq::requests {

using engine::RequestSequencer;
using engine::SequenceStep;

namespace {

constexpr int64_t kMsPerSecond = 1000;
constexpr const char* kHolder = "Find Module";
constexpr const char* kClosedBy = "by Find Module";

template <typename T>
void addOnce(std::vector<T>& to, const T& value) {
  if (std::find(to.begin(), to.end(), value) == to.end()) to.push_back(value);
}

// "9600, 19200 and 38400 baud, parity none, even and odd".
std::string settingsText(const std::vector<LineSetting>& tries) {
  std::vector<std::string> rates, parities;
  for (const LineSetting& t : tries) {
    addOnce(rates, std::to_string(t.baud));
    addOnce(parities, std::string(parityName(t.parity)));
  }
  return listed(rates) + " baud, parity " + listed(parities);
}

}  // namespace

std::vector<std::string> distinctPorts(const std::vector<std::string>& names) {
  std::vector<std::string> devices, ports;
  for (const std::string& name : names) {
    const std::string device = serial::devicePathFor(name);
    if (name.empty() || std::find(devices.begin(), devices.end(), device) != devices.end()) continue;
    devices.push_back(device);
    ports.push_back(name);
  }
  return ports;
}

std::vector<LineSetting> finderTries(const FinderPlan& plan) {
  std::vector<uint32_t> rates(kFinderRates.begin(), kFinderRates.end());
  for (uint32_t r : plan.listedBauds) {
    if (r > 0) addOnce(rates, r);
  }
  const std::optional<uint32_t> chosen = plan.chosenBaud && *plan.chosenBaud > 0 ? plan.chosenBaud : std::nullopt;
  // A rate typed into the baud entry is in no list: its other parities
  // come last.
  if (chosen) addOnce(rates, *chosen);
  const Parity chosenParity =
      plan.chosenParity == Parity::Odd || plan.chosenParity == Parity::Even ? plan.chosenParity : Parity::None;

  std::vector<std::string> ports;
  for (const std::string& p : plan.ports) {
    if (!p.empty()) addOnce(ports, p);
  }
  std::vector<LineSetting> tries;
  for (const std::string& port : ports) {
    if (chosen) tries.push_back({port, *chosen, chosenParity, plan.rts, plan.dtr});
    for (uint32_t rate : rates) {
      for (Parity p : kFinderParities) addOnce(tries, LineSetting{port, rate, p, plan.rts, plan.dtr});
    }
  }
  return tries;
}

int answerWindowMs(uint32_t baud) {
  if (baud == 0) return kMinAnswerWindowMs;
  const int64_t bits = int64_t{kQueryChars + kAnswerChars} * kBitsPerCharWithParity;
  const int frameMs = static_cast<int>((bits * kMsPerSecond + baud - 1) / baud);
  return std::max(kMinAnswerWindowMs, kModuleAnswerMs + kBlockSilenceMs + kDeliveryMarginMs + frameMs);
}

int64_t worstCaseMs(const std::vector<LineSetting>& tries) {
  int64_t total = 0;
  for (const LineSetting& t : tries) total += answerWindowMs(t.baud);
  return total;
}

bool holdsModuleAnswer(std::span<const uint8_t> block) {
  const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  return text.find(kModuleAnswerMarker) != std::string_view::npos;
}

void PrintTo(const LineSetting& line, std::ostream* out) { *out << line.text(); }

FinderLog::PortLog& FinderLog::port(const std::string& name) {
  addOnce(order, name);
  return ports[name];
}

std::string nothingAnsweredMessage(const FinderLog& log) {
  std::string tried;
  bool anyHeard = false;
  for (const std::string& name : log.order) {
    const FinderLog::PortLog& p = log.ports.at(name);
    std::string line = name + ": ";
    if (!p.unavailable.empty()) {
      line += "could not be opened (" + p.unavailable + ")";
    } else {
      if (!p.heard.empty()) {
        anyHeard = true;
        line += settingsText(p.heard);
      }
      if (!p.refused.empty()) {
        if (!p.heard.empty()) line += "; ";
        line += "refused by the port: " + settingsText(p.refused);
      }
    }
    tried += "\n" + line;
  }
  std::string message = anyHeard ? "No module answered the communication query \"QQQ#QV#\"."
                                 : "The communication query could not be sent: no port could be opened.";
  message += "\n\nTried, with 8 data bits and 1 stop bit:" + tried;
  message +=
      "\n\nCheck:\n"
      "- the wiring: TX and RX (or RS485 A and B) swapped or loose;\n"
      "- the converter: powered, and COM_RTS ticked if it switches the RS485 direction with RTS;\n"
      "- the module: powered;\n"
      "- another program holding the port.";
  return message;
}

bool ModuleFinder::start(const FinderPlan& plan, Callbacks callbacks) {
  if (running_ || link_.claimed()) return false;
  std::vector<LineSetting> tries = finderTries(plan);
  if (tries.empty()) return false;
  tries_ = std::move(tries);
  callbacks_ = std::move(callbacks);
  log_ = {};
  answeredAt_.reset();
  answer_.clear();
  running_ = true;

  std::vector<SequenceStep> steps;
  steps.reserve(tries_.size());
  for (size_t i = 0; i < tries_.size(); ++i) {
    SequenceStep step;
    step.label = tries_[i].text();
    step.prepare = [this, i] { return prepare(i); };
    step.frame = [] { return protocol::commQueryFrame(); };
    step.accepts = holdsModuleAnswer;
    step.answerWindowMs = answerWindowMs(tries_[i].baud);
    steps.push_back(std::move(step));
  }
  link_.run({kHolder,
             std::move(steps),
             {[this](size_t index, size_t count, const std::string&) {
                if (callbacks_.onTry) callbacks_.onTry(index, count, tries_[index]);
              },
              [this](size_t index, bool answered, std::span<const uint8_t> answer) {
                if (!answered) return RequestSequencer::Next::Continue;
                answeredAt_ = index;
                answer_.assign(answer.begin(), answer.end());
                return RequestSequencer::Next::Stop;
              },
              [this](RequestSequencer::Outcome outcome, const std::string& why) { finished(outcome, why); }}});
  return true;
}

// Each try opens the port afresh at its setting; a port that cannot be
// opened at all is not asked again, a setting it refuses is passed over.
bool ModuleFinder::prepare(size_t index) {
  const LineSetting& line = tries_[index];
  link_.close(kClosedBy);
  FinderLog::PortLog& seen = log_.port(line.port);
  if (!seen.unavailable.empty()) return false;
  try {
    link_.openWith(line);
  } catch (const serial::ERateRefused&) {
    seen.refused.push_back(line);
    return false;
  } catch (const std::exception& e) {
    seen.unavailable = *e.what() ? e.what() : "it could not be opened";
    return false;
  }
  seen.heard.push_back(line);
  return true;
}

void ModuleFinder::cancel() {
  if (running_) link_.cancelRun();
}

void ModuleFinder::finished(RequestSequencer::Outcome outcome, const std::string& why) {
  link_.close(kClosedBy);
  running_ = false;
  Result result;
  switch (outcome) {
    case RequestSequencer::Outcome::Stopped:
      result.outcome = Outcome::Found;
      result.found = tries_[*answeredAt_];
      result.answer = std::move(answer_);
      break;
    case RequestSequencer::Outcome::Completed:
      result.outcome = Outcome::NothingAnswered;
      result.message = nothingAnsweredMessage(log_);
      break;
    case RequestSequencer::Outcome::Cancelled:
      result.outcome = Outcome::Cancelled;
      break;
    case RequestSequencer::Outcome::Failed:
      result.outcome = Outcome::Failed;
      result.message = why;
      break;
    case RequestSequencer::Outcome::PortLost:
      result.outcome = Outcome::Failed;
      result.message = "The serial port " + tries_[link_.currentStep()].port +
                       " hung up during the search (adapter unplugged, device gone or far end closed).";
      break;
  }
  // Taken out first: the callback may start the next search.
  Callbacks callbacks = std::move(callbacks_);
  callbacks_ = {};
  if (callbacks.onFinished) callbacks.onFinished(result);
}

}  // namespace tq::requests
