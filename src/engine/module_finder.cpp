#include "engine/module_finder.h"

#include <algorithm>
#include <iterator>
#include <ostream>
#include <string_view>

#include "protocol/config_frames.h"

namespace tq::engine {

namespace {

constexpr int64_t kMsPerSecond = 1000;

// "a", "a and b", "a, b and c".
std::string listed(const std::vector<std::string>& items) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += i + 1 == items.size() ? " and " : ", ";
    out += items[i];
  }
  return out;
}

template <typename T>
void addOnce(std::vector<T>& to, const T& value) {
  if (std::find(to.begin(), to.end(), value) == to.end()) to.push_back(value);
}

// "9600, 19200 and 38400 baud, parity none, even and odd".
std::string settingsText(const std::vector<LineTry>& tries) {
  std::vector<std::string> rates, parities;
  for (const LineTry& t : tries) {
    addOnce(rates, std::to_string(t.baud));
    addOnce(parities, std::string(parityName(t.parity)));
  }
  return listed(rates) + " baud, parity " + listed(parities);
}

}  // namespace

std::vector<LineTry> finderTries(const FinderPlan& plan) {
  std::vector<uint32_t> rates(kFinderRates.begin(), kFinderRates.end());
  for (uint32_t r : plan.listedBauds) {
    if (r > 0) addOnce(rates, r);
  }
  const std::optional<uint32_t> chosen = plan.chosenBaud && *plan.chosenBaud > 0 ? plan.chosenBaud : std::nullopt;
  // A rate typed into the baud entry is in no list: its other parities
  // come last.
  if (chosen) addOnce(rates, *chosen);
  const int chosenParity =
      plan.chosenParity == parity::Odd || plan.chosenParity == parity::Even ? plan.chosenParity : parity::None;

  std::vector<std::string> ports;
  for (const std::string& p : plan.ports) {
    if (!p.empty()) addOnce(ports, p);
  }
  std::vector<LineTry> tries;
  for (const std::string& port : ports) {
    if (chosen) tries.push_back({port, *chosen, chosenParity});
    for (uint32_t rate : rates) {
      for (int p : kFinderParities) addOnce(tries, LineTry{port, rate, p});
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

int64_t worstCaseMs(const std::vector<LineTry>& tries) {
  int64_t total = 0;
  for (const LineTry& t : tries) total += answerWindowMs(t.baud);
  return total;
}

bool holdsModuleAnswer(std::span<const uint8_t> block) {
  const std::string_view text(reinterpret_cast<const char*>(block.data()), block.size());
  return text.find(kModuleAnswerMarker) != std::string_view::npos;
}

const char* parityName(int parityIndex) {
  static constexpr const char* kNames[] = {"none", "odd", "even", "mark", "space"};
  return parityIndex >= 0 && parityIndex < static_cast<int>(std::size(kNames)) ? kNames[parityIndex] : "none";
}

std::string settingText(uint32_t baud, int parityIndex) {
  return std::to_string(baud) + " baud, parity " + parityName(parityIndex);
}

std::string tryText(const LineTry& line) { return line.port + ", " + settingText(line.baud, line.parity); }

void PrintTo(const LineTry& line, std::ostream* out) { *out << tryText(line); }

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
  if (running_ || sequencer_.running()) return false;
  std::vector<LineTry> tries = finderTries(plan);
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
    step.label = tryText(tries_[i]);
    step.prepare = [this, i] { return prepare(i); };
    step.frame = [] { return protocol::commQueryFrame(); };
    step.accepts = holdsModuleAnswer;
    step.answerWindowMs = answerWindowMs(tries_[i].baud);
    steps.push_back(std::move(step));
  }
  sequencer_.start(std::move(steps),
                   {[this](size_t index, size_t count, const std::string&) {
                      if (callbacks_.onTry) callbacks_.onTry(index, count, tries_[index]);
                    },
                    [this](size_t index, bool answered, std::span<const uint8_t> answer) {
                      if (!answered) return RequestSequencer::Next::Continue;
                      answeredAt_ = index;
                      answer_.assign(answer.begin(), answer.end());
                      return RequestSequencer::Next::Stop;
                    },
                    [this](RequestSequencer::Outcome outcome, const std::string& why) { finished(outcome, why); }});
  return true;
}

// Each try opens the port afresh at its setting; a port that cannot be
// opened at all is not asked again, a setting it refuses is passed over.
bool ModuleFinder::prepare(size_t index) {
  const LineTry& line = tries_[index];
  port_.close();
  FinderLog::PortLog& seen = log_.port(line.port);
  if (!seen.unavailable.empty()) return false;
  std::string why;
  switch (port_.open(line, why)) {
    case Port::Opened::Yes:
      seen.heard.push_back(line);
      return true;
    case Port::Opened::SettingRefused:
      seen.refused.push_back(line);
      return false;
    case Port::Opened::Unavailable:
      seen.unavailable = why.empty() ? "it could not be opened" : why;
      return false;
  }
  return false;
}

void ModuleFinder::cancel() {
  if (running_) sequencer_.cancel();
}

void ModuleFinder::fail(const std::string& why) {
  if (running_) sequencer_.fail(why);
}

void ModuleFinder::finished(RequestSequencer::Outcome outcome, const std::string& why) {
  port_.close();
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
  }
  // Taken out first: the callback may start the next search.
  Callbacks callbacks = std::move(callbacks_);
  callbacks_ = {};
  if (callbacks.onFinished) callbacks.onFinished(result);
}

}  // namespace tq::engine
