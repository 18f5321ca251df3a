#include "simulator.h"

#include <algorithm>
#include <string_view>

#include "common/byte_display.h"

namespace tq::sim {

std::string describeBytes(std::span<const uint8_t> bytes) {
  const bool printable = std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b >= 0x20 && b < 0x7F; });
  if (printable && !bytes.empty()) return std::string(bytes.begin(), bytes.end());
  return tq::bytesDisplay(bytes);
}

namespace {

// The first kLoggedNoiseBytes in the byte display, then how many there were.
std::string shownBytes(std::span<const uint8_t> shown, size_t length) {
  std::string text = tq::bytesDisplay(shown);
  if (length > shown.size()) text += "... (" + std::to_string(length) + " bytes) ";
  return text;
}

}  // namespace

int moduleBaud(const ModuleSettings& settings) {
  static constexpr int kRates[] = {1200, 2400, 4800, 9600, 19200};
  return settings.baudIndex >= 0 && settings.baudIndex < 5 ? kRates[settings.baudIndex] : 0;
}

std::vector<HartInstrument> loopInstruments(const SimConfig& config) {
  std::vector<HartInstrument> instruments;
  for (const HartInstrumentSetup& setup : config.loop)
    instruments.emplace_back(setup.identity, setup.properties, config.hartFaults);
  if (instruments.empty()) instruments.emplace_back(config.identity, config.hart, config.hartFaults);
  return instruments;
}

bool storesLineRate(std::span<const uint8_t> answer) {
  const std::string_view text(reinterpret_cast<const char*>(answer.data()), answer.size());
  return text.starts_with("BA1:OK#") || text.starts_with("RESET:OK#");
}

Simulator::Simulator(SimConfig config, Micros start)
    : config_(std::move(config)),
      module_(config_.settings, loopInstruments(config_)),
      start_(start),
      lastInput_(start),
      lineFreeAt_(start),
      listenBaud_(config_.listenBaud) {}

double Simulator::instrumentSeconds(Micros now) const {
  if (config_.frozenSeconds) return *config_.frozenSeconds;
  return static_cast<double>(now - start_) / 1e6;
}

bool Simulator::matches(std::span<const uint8_t> frame) const {
  const auto& m = config_.faults.match;
  if (m.empty()) return true;
  return std::search(frame.begin(), frame.end(), m.begin(), m.end()) != frame.end();
}

void Simulator::receive(std::span<const uint8_t> bytes, Micros now) {
  if (bytes.empty()) return;
  if (config_.strictLine && timing_.baud != listeningBaud()) {
    log("<- garbled " + shownBytes(bytes.first(std::min(bytes.size(), kLoggedNoiseBytes)), bytes.size()) + "(line at " +
        std::to_string(timing_.baud) + " baud; the module listens at " + std::to_string(listeningBaud()) + " baud)");
    return;
  }
  input_.insert(input_.end(), bytes.begin(), bytes.end());
  lastInput_ = now;
  scan(now, false);
}

void Simulator::scan(Micros now, bool final) {
  // Frames and noise are consumed from the front by an offset and erased
  // once, so a long run of noise costs time in proportion to its length.
  size_t start = 0;
  while (start < input_.size()) {
    const std::span<const uint8_t> rest = std::span<const uint8_t>(input_).subspan(start);
    const ScanResult result = scanFrame(rest, final);
    if (result.status == ScanStatus::kNeedMore) break;
    const std::span<const uint8_t> frame = rest.first(result.length);
    start += result.length;
    if (result.status == ScanStatus::kNoise) {
      logNoise(frame);
    } else {
      log("<- " + describeBytes(frame));
      const bool faulty = matches(frame);
      auto reply = module_.answer(result, frame, instrumentSeconds(now));
      if (reply && storesLineRate(*reply)) listenBaud_ = 0;
      if (faulty) ++matchingRequests_;
      const bool applyFaults = faulty && (config_.faults.count < 0 || faultsApplied_ < config_.faults.count);
      if (applyFaults) ++faultsApplied_;
      if (reply)
        schedule(std::move(*reply), applyFaults, now);
      else
        log("   (no answer)");
      if (faulty && config_.faults.hangUpAfter > 0 && matchingRequests_ == config_.faults.hangUpAfter)
        hangUpArmed_ = true;
    }
  }
  input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(start));
}

void Simulator::log(std::string line) {
  endNoise();
  if (log_.size() == kMaxLogLines) {
    log_.pop_front();
    ++droppedLogLines_;
  }
  log_.push_back(std::move(line));
}

void Simulator::logNoise(std::span<const uint8_t> bytes) {
  const size_t room = kLoggedNoiseBytes - noiseShown_.size();
  noiseShown_.insert(noiseShown_.end(), bytes.begin(),
                     bytes.begin() + static_cast<std::ptrdiff_t>(std::min(room, bytes.size())));
  noiseLength_ += bytes.size();
}

// One line per run of noise, not per byte.
void Simulator::endNoise() {
  if (noiseLength_ == 0) return;
  const std::string line = "<- noise " + shownBytes(noiseShown_, noiseLength_);
  noiseShown_.clear();
  noiseLength_ = 0;
  log(line);
}

void Simulator::schedule(std::vector<uint8_t> reply, bool faulty, Micros now) {
  const FaultOptions& f = config_.faults;
  if (faulty && f.noReply) {
    log("   (answer withheld: " + describeBytes(reply) + ")");
    return;
  }
  log("-> " + describeBytes(reply));
  if (faulty && f.noiseBytes > 0) {
    std::vector<uint8_t> noise;
    for (int i = 0; i < f.noiseBytes; ++i) {
      noiseState_ = noiseState_ * 1664525u + 1013904223u;  // fixed sequence: runs are repeatable
      noise.push_back(static_cast<uint8_t>(noiseState_ >> 24));
    }
    reply.insert(reply.begin(), noise.begin(), noise.end());
  }
  const Micros moduleDelay = module_.settings().communicationDelay ? kCommunicationDelayUs : 0;
  Micros start = std::max(now + moduleDelay + (faulty ? f.delayUs : 0), lineFreeAt_);
  if (faulty && f.splitGapUs >= 0 && reply.size() > 1) {
    const size_t at =
        f.splitAt < 0 ? reply.size() / 2 : std::clamp<size_t>(static_cast<size_t>(f.splitAt), 1, reply.size() - 1);
    std::vector<uint8_t> second(reply.begin() + static_cast<std::ptrdiff_t>(at), reply.end());
    reply.resize(at);
    enqueue(std::move(reply), start);
    enqueue(std::move(second), lineFreeAt_ + f.splitGapUs);
    return;
  }
  enqueue(std::move(reply), start);
}

void Simulator::enqueue(std::vector<uint8_t> bytes, Micros start) {
  start = std::max(start, lineFreeAt_);
  if (!config_.pace) {
    queue_.push_back({start, std::move(bytes)});
    lineFreeAt_ = start;
    return;
  }
  const Micros charTime = timing_.charTimeUs();
  for (size_t i = 0; i < bytes.size(); ++i) queue_.push_back({start + static_cast<Micros>(i) * charTime, {bytes[i]}});
  lineFreeAt_ = start + static_cast<Micros>(bytes.size()) * charTime;
}

std::vector<uint8_t> Simulator::poll(Micros now) {
  if (!input_.empty() && now - lastInput_ >= kFrameSilenceUs) scan(now, true);
  std::vector<uint8_t> due;
  while (!queue_.empty() && queue_.front().due <= now) {
    due.insert(due.end(), queue_.front().bytes.begin(), queue_.front().bytes.end());
    queue_.pop_front();
  }
  return due;
}

std::optional<Micros> Simulator::nextDeadline() const {
  std::optional<Micros> deadline;
  if (!queue_.empty()) deadline = queue_.front().due;
  if (!input_.empty()) {
    const Micros giveUp = lastInput_ + kFrameSilenceUs;
    deadline = deadline ? std::min(*deadline, giveUp) : giveUp;
  }
  return deadline;
}

std::vector<std::string> Simulator::takeLog() {
  endNoise();
  std::vector<std::string> lines;
  lines.reserve(log_.size() + 1);
  if (droppedLogLines_ > 0) lines.push_back("(" + std::to_string(droppedLogLines_) + " earlier lines dropped)");
  lines.insert(lines.end(), std::make_move_iterator(log_.begin()), std::make_move_iterator(log_.end()));
  log_.clear();
  droppedLogLines_ = 0;
  return lines;
}

}  // namespace tq::sim
