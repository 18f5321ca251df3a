#include "config_protocol.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <functional>
#include <vector>

namespace tq::sim {

namespace {

constexpr std::string_view kQueryPrefix = "QQQ#";
constexpr std::string_view kSetPrefix = "QQS#";
constexpr std::string_view kOutputPrefix = "VELKOR#";

constexpr int kMaxSlaveAddress = 247;
constexpr int kMaxThreeDigits = 999;
constexpr int kMaxDelaySeconds = 9999;
constexpr int kLimitWidth = 5;
constexpr int kPresentValueWidth = 9;
constexpr double kMinOutputMa = 3.8;   // below-range saturation
constexpr double kMaxOutputMa = 20.5;  // above-range saturation

// Thrown while reading a frame's fields; the frame is then rejected whole.
struct FrameError {
  std::string_view reason;
};
const FrameError kFormat{"FORMAT"};
const FrameError kRange{"RANGE"};

std::string digits(int value, int width) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%0*d", width, value);
  return buffer;
}

std::string digit(int value) { return std::string(1, static_cast<char>('0' + value)); }

std::optional<double> parseDecimal(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) ++i;
  size_t digitCount = 0;
  bool point = false;
  for (size_t j = i; j < text.size(); ++j) {
    if (text[j] >= '0' && text[j] <= '9')
      ++digitCount;
    else if (text[j] == '.' && !point)
      point = true;
    else
      return std::nullopt;
  }
  if (digitCount == 0) return std::nullopt;
  const size_t start = text[0] == '+' ? 1 : 0;
  double value = 0;
  const auto result = std::from_chars(text.data() + start, text.data() + text.size(), value);
  if (result.ec != std::errc() || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<int> parseWhole(std::string_view text) {
  if (text.empty()) return std::nullopt;
  int value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string hexText(const std::vector<uint8_t>& bytes) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += ' ';
    text += kHex[bytes[i] >> 4];
    text += kHex[bytes[i] & 0x0F];
  }
  return text;
}

// Reads the fixed-width fields of a set frame, left to right.
class FieldReader {
 public:
  explicit FieldReader(std::string_view fields) : fields_(fields) {}

  int digit(int min, int max) {
    const char c = next();
    if (c < '0' || c > '9') throw kFormat;
    return inRange(c - '0', min, max);
  }

  int number(int width, int min, int max) {
    int value = 0;
    for (int i = 0; i < width; ++i) {
      const char c = next();
      if (c < '0' || c > '9') throw kFormat;
      value = value * 10 + (c - '0');
    }
    return inRange(value, min, max);
  }

  void expect(char wanted) {
    if (next() != wanted) throw kFormat;
  }

  std::string_view take(size_t count) {
    if (fields_.size() - position_ < count) throw kFormat;
    const auto part = fields_.substr(position_, count);
    position_ += count;
    return part;
  }

  std::string_view rest() {
    const auto part = fields_.substr(position_);
    position_ = fields_.size();
    return part;
  }

  void end() const {
    if (position_ != fields_.size()) throw kFormat;
  }

  static int inRange(int value, int min, int max) {
    if (value < min || value > max) throw kRange;
    return value;
  }

 private:
  char next() {
    if (position_ >= fields_.size()) throw kFormat;
    return fields_[position_++];
  }

  std::string_view fields_;
  size_t position_ = 0;
};

// The comma-separated, free-width fields of an output frame.
std::vector<std::string_view> splitFields(std::string_view fields) {
  std::vector<std::string_view> parts;
  size_t start = 0;
  while (true) {
    const size_t comma = fields.find(',', start);
    parts.push_back(fields.substr(start, comma == std::string_view::npos ? std::string_view::npos : comma - start));
    if (comma == std::string_view::npos) break;
    start = comma + 1;
  }
  return parts;
}

int wholeField(std::string_view text, int min, int max) {
  const auto value = parseWhole(text);
  if (!value) throw kFormat;
  return FieldReader::inRange(*value, min, max);
}

double limitField(std::string_view text) {
  const auto value = parseDecimal(text);
  if (!value) throw kFormat;
  if (!formatFixedWidth(*value, kLimitWidth)) throw kRange;
  return *value;
}

std::string limitText(double value) { return formatFixedWidth(value, kLimitWidth).value_or("*****"); }

// --- queries ---------------------------------------------------------------

// "QV:" interface type, unit count: "QV:20#"
std::string communicationReply(const ModuleSettings& s) {
  return "QV:" + digit(s.interfaceType) + digit(s.unitCountIndex) + "#";
}

// "QX1#BA1:30#MD:1#ADR:001#XY:0#JTM:010#"
std::string systemReply(const ModuleSettings& s) {
  return "QX1#BA1:" + digit(s.baudIndex) + digit(s.parity) + "#MD:" + digit(s.workingMode) +
         "#ADR:" + digits(s.slaveAddress, 3) + "#XY:" + digit(s.communicationDelay) +
         "#JTM:" + digits(s.instrumentInterval, 3) + "#";
}

// "QQ0#FMW:0,0.001#HART0:1,1,05,5,060#DFO0:00000#ZDY0:8,0000,0000,0000,0000#MD:1#CAMD01:0<00,#CAMD02:0<00,#"
// Each group after its ':' has the layout of its set frame; the read
// commands come back as hex text.
std::string deviceReply(const ModuleSettings& s, int device) {
  const DeviceSettings& d = s.devices[static_cast<size_t>(device)];
  const std::string n = digit(device);
  std::string reply = "QQ" + n + "#FMW:" + digit(s.coefficientMode) + "," + limitText(s.coefficient) + "#";
  reply += "HART" + n + ":" + digit(d.enabled) + "," + digit(d.deviceMode) + "," + digits(d.meterType, 2) + "," +
           digit(d.preambles) + "," + digits(d.bufferClearTime, 3) + "#";
  reply += "DFO" + n + ":";
  for (int format : d.formats) reply += digit(format);
  reply += "#ZDY" + n + ":" + digit(d.addressBits);
  for (const ParseGroup& g : d.parse) reply += "," + digit(g.command) + digits(g.startAddress, 2) + digit(g.length);
  reply += "#MD:" + digit(s.workingMode) + "#";
  for (int k = 0; k < 2; ++k) {
    const ReadCommand& c = d.readCommands[static_cast<size_t>(k)];
    reply += "CAMD" + n + digit(k + 1) + ":" + digit(c.enabled) + "<" + digits(static_cast<int>(c.bytes.size()), 2) +
             "," + hexText(c.bytes) + "#";
  }
  return reply;
}

// "QX2#BTM1:0000#...#AI01:0,100.0,005#...#IA01:0,0.000,100.0#IB01:0,0.000,100.0#"
std::string outputSettingsReply(const ModuleSettings& s) {
  std::string reply = "QX2#";
  for (int r = 0; r < kRelayCount; ++r)
    reply += "BTM" + digit(r + 1) + ":" + digits(s.relays[static_cast<size_t>(r)].delaySeconds, 4) + "#";
  for (int r = 0; r < kRelayCount; ++r) {
    const RelaySettings& relay = s.relays[static_cast<size_t>(r)];
    reply += "AI0" + digit(r + 1) + ":" + digit(relay.alarmEnabled) + "," + limitText(relay.limit) + "," +
             digits(relay.reactionSeconds, 3) + "#";
  }
  for (int o = 0; o < 2; ++o) {
    const CurrentOutputSettings& out = s.outputs[static_cast<size_t>(o)];
    reply += std::string(o == 0 ? "IA01:" : "IB01:") + digit(out.channel) + "," + limitText(out.at4mA) + "," +
             limitText(out.at20mA) + "#";
  }
  return reply;
}

// Nine characters: "%7.4f" and "mA", e.g. "12.3456mA", " 4.0000mA".
std::string presentValue(double milliamperes) {
  char buffer[32];
  std::snprintf(buffer, sizeof buffer, "%7.4fmA", milliamperes);
  std::string text(buffer);
  text.resize(kPresentValueWidth, ' ');
  return text;
}

// "QX3#AVAL: 12.0000mA#BVAL: 0.0000mA#" (values nine characters wide)
std::string outputValuesReply(const ModuleSettings& s, const PolledVariables& variables) {
  return "QX3#AVAL:" + presentValue(outputCurrentMa(s.outputs[0], variables)) +
         "#BVAL:" + presentValue(outputCurrentMa(s.outputs[1], variables)) + "#";
}

std::string handleQuery(const ModuleSettings& s, std::string_view word, const PolledVariables& variables) {
  if (word == "QV") return communicationReply(s);
  if (word == "QX1") return systemReply(s);
  if (word == "QX2") return outputSettingsReply(s);
  if (word == "QX3") return outputValuesReply(s, variables);
  if (word.size() == 3 && word.starts_with("QQ") && word[2] >= '0' && word[2] <= '9')
    return deviceReply(s, word[2] - '0');
  return std::string(kUnknownReply);
}

// --- set frames --------------------------------------------------------------

struct SetCommand {
  std::string_view word;
  bool perDevice;
  // Reads the fields into a copy of the settings; throws FrameError.
  std::function<void(ModuleSettings&, int device, FieldReader&)> apply;
};

const std::vector<SetCommand>& setCommands() {
  // Longer words first: "MDBS" must not be taken for "MD".
  static const std::vector<SetCommand> commands = {
      {"HART", true,
       [](ModuleSettings& s, int n, FieldReader& f) {
         DeviceSettings& d = s.devices[static_cast<size_t>(n)];
         d.enabled = f.digit(0, 1);
         f.expect(',');
         d.deviceMode = f.digit(0, 1);
         f.expect(',');
         d.meterType = f.number(2, 0, 15);
         f.expect(',');
         d.preambles = f.digit(4, 9);
         f.expect(',');
         d.bufferClearTime = f.number(3, 0, kMaxThreeDigits);
       }},
      {"DFOT", true,
       [](ModuleSettings& s, int n, FieldReader& f) {
         DeviceSettings& d = s.devices[static_cast<size_t>(n)];
         d.formats[0] = f.digit(0, 1);
         for (size_t v = 1; v < d.formats.size(); ++v) d.formats[v] = f.digit(0, 3);
       }},
      {"MDBS", true,
       [](ModuleSettings& s, int n, FieldReader& f) {
         DeviceSettings& d = s.devices[static_cast<size_t>(n)];
         d.addressBits = f.digit(3, 9);
         for (ParseGroup& g : d.parse) {
           f.expect(',');
           g.command = f.digit(0, 2);
           g.startAddress = f.number(2, 0, 99);
           g.length = f.digit(0, 1);
         }
       }},
      {"BA1", false,
       [](ModuleSettings& s, int, FieldReader& f) {
         s.baudIndex = f.digit(0, 4);
         s.parity = f.digit(0, 2);
       }},
      {"ADR", false, [](ModuleSettings& s, int, FieldReader& f) { s.slaveAddress = f.number(3, 1, kMaxSlaveAddress); }},
      {"JTM", false,
       [](ModuleSettings& s, int, FieldReader& f) { s.instrumentInterval = f.number(3, 0, kMaxThreeDigits); }},
      {"FMW", false,
       [](ModuleSettings& s, int, FieldReader& f) {
         s.coefficientMode = f.digit(0, 3);
         f.expect(',');
         s.coefficient = limitField(f.rest());
       }},
      {"MD", false, [](ModuleSettings& s, int, FieldReader& f) { s.workingMode = f.digit(0, 4); }},
      {"XY", false, [](ModuleSettings& s, int, FieldReader& f) { s.communicationDelay = f.digit(0, 1); }},
      {"YB", false,
       [](ModuleSettings& s, int, FieldReader& f) {
         s.interfaceType = f.digit(0, 2);
         s.unitCountIndex = f.digit(0, 2);
       }},
  };
  return commands;
}

std::string ok(std::string_view word) { return std::string(word) + ":OK#"; }
std::string rejected(std::string_view word, const FrameError& e) {
  return std::string(word) + ":ERR," + std::string(e.reason) + "#";
}

// "QQS#CAMD" d k ":" e "<" NN "," + N raw bytes, no '#'.
std::string handleReadCommand(ModuleSettings& s, std::string_view frame) {
  const std::string_view afterWord = frame.substr(kSetPrefix.size() + 4);
  if (afterWord.size() < 2 || afterWord[0] < '0' || afterWord[0] > '9' || (afterWord[1] != '1' && afterWord[1] != '2'))
    return std::string(kUnknownReply);
  const std::string word(frame.substr(kSetPrefix.size(), 6));
  try {
    FieldReader f(afterWord.substr(2));
    f.expect(':');
    ReadCommand command;
    command.enabled = f.digit(0, 1);
    f.expect('<');
    const int count = f.number(2, 0, 99);
    f.expect(',');
    const std::string_view raw = f.take(static_cast<size_t>(count));
    f.end();
    if (count < 1 || count > kReadCommandMaxBytes) throw kRange;
    command.bytes.assign(raw.begin(), raw.end());
    s.devices[static_cast<size_t>(afterWord[0] - '0')].readCommands[static_cast<size_t>(afterWord[1] - '1')] = command;
    return ok(word);
  } catch (const FrameError& e) {
    return rejected(word, e);
  }
}

std::string handleSet(ModuleSettings& s, std::string_view frame) {
  std::string_view body = frame.substr(kSetPrefix.size());
  if (body.starts_with("CAMD")) return handleReadCommand(s, frame);
  if (!body.ends_with('#')) return std::string(kIncompleteReply);
  body.remove_suffix(1);
  if (body == "RESET") {
    s = factorySettings();
    return ok("RESET");
  }
  for (const SetCommand& command : setCommands()) {
    if (!body.starts_with(command.word)) continue;
    std::string_view rest = body.substr(command.word.size());
    int device = 0;
    std::string word(command.word);
    if (command.perDevice) {
      if (rest.empty() || rest[0] < '0' || rest[0] > '9') return std::string(kUnknownReply);
      device = rest[0] - '0';
      word += rest[0];
      rest.remove_prefix(1);
    }
    if (rest.empty() || rest[0] != ':') return std::string(kUnknownReply);
    try {
      ModuleSettings changed = s;
      FieldReader fields(rest.substr(1));
      command.apply(changed, device, fields);
      fields.end();
      s = std::move(changed);
      return ok(word);
    } catch (const FrameError& e) {
      return rejected(word, e);
    }
  }
  return std::string(kUnknownReply);
}

// --- output frames -----------------------------------------------------------

std::string handleOutput(ModuleSettings& s, std::string_view frame) {
  std::string_view body = frame.substr(kOutputPrefix.size());
  if (!body.ends_with('#')) return std::string(kIncompleteReply);
  body.remove_suffix(1);
  const size_t colon = body.find(':');
  if (colon == std::string_view::npos) return std::string(kUnknownReply);
  const std::string_view word = body.substr(0, colon);
  const auto fields = splitFields(body.substr(colon + 1));

  // "O0n", "BTMn", "AI0n" for relays 1..4; "IA01", "IB01" for the outputs.
  auto relayNumber = [&](std::string_view head) -> int {
    if (!word.starts_with(head) || word.size() != head.size() + 1) return 0;
    const char c = word.back();
    return c >= '1' && c <= '4' ? c - '0' : 0;
  };
  try {
    ModuleSettings changed = s;
    if (const int r = relayNumber("O0")) {
      if (fields.size() != 1) throw kFormat;
      changed.relays[static_cast<size_t>(r - 1)].testState = wholeField(fields[0], 0, 2);
    } else if (const int r = relayNumber("BTM")) {
      if (fields.size() != 1) throw kFormat;
      changed.relays[static_cast<size_t>(r - 1)].delaySeconds = wholeField(fields[0], 0, kMaxDelaySeconds);
    } else if (const int r = relayNumber("AI0")) {
      if (fields.size() != 3) throw kFormat;
      RelaySettings& relay = changed.relays[static_cast<size_t>(r - 1)];
      relay.alarmEnabled = wholeField(fields[0], 0, 1);
      relay.limit = limitField(fields[1]);
      relay.reactionSeconds = wholeField(fields[2], 0, kMaxThreeDigits);
    } else if (word == "IA01" || word == "IB01") {
      if (fields.size() != 3) throw kFormat;
      CurrentOutputSettings& out = changed.outputs[word == "IA01" ? 0 : 1];
      out.channel = wholeField(fields[0], 0, 4);
      out.at4mA = limitField(fields[1]);
      out.at20mA = limitField(fields[2]);
    } else {
      return std::string(kUnknownReply);
    }
    s = std::move(changed);
    return ok(word);
  } catch (const FrameError& e) {
    return rejected(word, e);
  }
}

}  // namespace

std::optional<std::string> formatFixedWidth(double value, int width) {
  if (!std::isfinite(value)) return std::nullopt;
  for (int decimals = width - 2; decimals >= 0; --decimals) {
    char buffer[64];
    const int length = std::snprintf(buffer, sizeof buffer, "%.*f", decimals, value);
    if (length == width) return std::string(buffer);
    if (length < width && decimals == 0) {
      // Whole numbers too short for a decimal point: pad with zeros after the sign.
      std::string text(buffer);
      const size_t signLength = text[0] == '-' ? 1 : 0;
      text.insert(signLength, static_cast<size_t>(width - length), '0');
      return text;
    }
  }
  return std::nullopt;
}

double outputCurrentMa(const CurrentOutputSettings& output, const PolledVariables& variables) {
  if (output.channel < 1 || output.channel > 4 || !variables) return 0.0;
  const double value = (*variables)[static_cast<size_t>(output.channel - 1)];
  const double span = output.at20mA - output.at4mA;
  if (span == 0.0) return value < output.at4mA ? kMinOutputMa : kMaxOutputMa;
  return std::clamp(4.0 + 16.0 * (value - output.at4mA) / span, kMinOutputMa, kMaxOutputMa);
}

std::string handleConfigFrame(ModuleSettings& settings, std::string_view frame, const PolledVariables& variables) {
  if (frame.starts_with(kQueryPrefix)) {
    std::string_view word = frame.substr(kQueryPrefix.size());
    if (!word.ends_with('#')) return std::string(kIncompleteReply);
    word.remove_suffix(1);
    return handleQuery(settings, word, variables);
  }
  if (frame.starts_with(kSetPrefix)) return handleSet(settings, frame);
  if (frame.starts_with(kOutputPrefix)) return handleOutput(settings, frame);
  return std::string(kUnknownReply);
}

}  // namespace tq::sim
