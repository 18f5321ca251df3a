#include "options.h"

#include <cctype>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>
#include <set>

#include "common/int_conversion.h"
#include "common/text.h"
#include "packed_ascii.h"

namespace tq::sim {

namespace {

constexpr int kMillisToMicros = 1000;

std::optional<std::vector<uint8_t>> parseHex(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
    digits += c;
  }
  if (digits.empty() || digits.size() % 2 != 0) return std::nullopt;
  for (size_t i = 0; i < digits.size(); i += 2)
    bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return bytes;
}

std::vector<std::string> split(const std::string& text, char separator) {
  std::vector<std::string> parts;
  size_t from = 0;
  while (true) {
    const size_t at = text.find(separator, from);
    parts.push_back(text.substr(from, at == std::string::npos ? std::string::npos : at - from));
    if (at == std::string::npos) return parts;
    from = at + 1;
  }
}

std::optional<long> integerIn(const std::string& text, long min, long max) {
  const auto value = tq::tryParseInt(text);
  if (!value || *value < min || *value > max) return std::nullopt;
  return *value;
}

// "13,15": command numbers 0..255.
std::optional<std::vector<uint8_t>> commandList(const std::string& text) {
  std::vector<uint8_t> commands;
  for (const std::string& part : split(text, ',')) {
    const auto command = integerIn(part, 0, 255);
    if (!command) return std::nullopt;
    commands.push_back(static_cast<uint8_t>(*command));
  }
  return commands;
}

// One byte in hex, as the status bytes are written: "40", "0x40".
std::optional<uint8_t> hexByte(std::string text) {
  if (text.starts_with("0x") || text.starts_with("0X")) text = text.substr(2);
  if (text.empty() || text.size() > 2) return std::nullopt;
  for (char c : text)
    if (!std::isxdigit(static_cast<unsigned char>(c))) return std::nullopt;
  return static_cast<uint8_t>(std::stoi(text, nullptr, 16));
}

// A number a single holds; the whole text.
std::optional<float> singleValue(const std::string& text) {
  if (text.empty() || std::isspace(static_cast<unsigned char>(text[0]))) return std::nullopt;
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  if (end != text.c_str() + text.size() || !std::isfinite(value) ||
      std::fabs(value) > std::numeric_limits<float>::max())
    return std::nullopt;
  return static_cast<float>(value);
}

constexpr int kFirstHartYear = 1900;
constexpr int kLastHartYear = kFirstHartYear + 255;

// "YYYY-MM-DD", a day that exists, in the years a date byte holds.
std::optional<HartDate> hartDate(const std::string& text) {
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  for (size_t i : {0, 1, 2, 3, 5, 6, 8, 9})
    if (!std::isdigit(static_cast<unsigned char>(text[i]))) return std::nullopt;
  const int year = std::stoi(text.substr(0, 4));
  const int month = std::stoi(text.substr(5, 2));
  const int day = std::stoi(text.substr(8, 2));
  if (year < kFirstHartYear || year > kLastHartYear || month < 1 || month > 12) return std::nullopt;
  const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
  constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (day < 1 || day > kDays[month - 1] + (month == 2 && leap ? 1 : 0)) return std::nullopt;
  return HartDate{static_cast<uint8_t>(day), static_cast<uint8_t>(month), static_cast<uint8_t>(year - kFirstHartYear)};
}

// `text` with its last number counted up by `step`, in as many digits
// (past all nines it wraps): "FT-101" gives "FT-102", "FT-103", ...
std::string countedUp(std::string text, size_t step) {
  const size_t last = text.find_last_of("0123456789");
  if (last == std::string::npos || step == 0) return text;
  const size_t first = text.find_last_not_of("0123456789", last) + 1;  // npos + 1 == 0
  size_t carry = step;
  for (size_t i = last + 1; i-- > first && carry > 0;) {
    const size_t digit = static_cast<size_t>(text[i] - '0') + carry;
    text[i] = static_cast<char>('0' + digit % 10);
    carry = digit / 10;
  }
  return text;
}

// One entry of --hart-instruments.
struct HartDrop {
  uint8_t pollingAddress;
  std::optional<uint32_t> deviceId;
};

constexpr uint32_t kMaxDeviceId = 0xFFFFFF;

// "0,5,20" or "0,5:1193100,20".
std::optional<std::vector<HartDrop>> hartDrops(const std::string& text) {
  std::vector<HartDrop> drops;
  for (const std::string& entry : split(text, ',')) {
    const auto parts = split(entry, ':');
    if (parts.size() > 2) return std::nullopt;
    const auto address = integerIn(parts[0], 0, kHartMaxPollingAddressWide);
    if (!address) return std::nullopt;
    HartDrop drop{static_cast<uint8_t>(*address), std::nullopt};
    if (parts.size() == 2) {
      const auto id = integerIn(parts[1], 0, kMaxDeviceId);
      if (!id) return std::nullopt;
      drop.deviceId = static_cast<uint32_t>(*id);
    }
    drops.push_back(drop);
  }
  return drops;
}

// The instruments of a loop: the k-th (from 0) takes its own polling
// address, its own device id (given, or the first one's + k), the last
// number of the tag and long tag counted up by k, and with more than one
// instrument its loop current parked.
std::variant<std::vector<HartInstrumentSetup>, std::string> planLoop(const SimConfig& sim,
                                                                     const std::vector<HartDrop>& drops) {
  const std::string prefix = "option --hart-instruments: ";
  std::vector<HartInstrumentSetup> loop;
  std::set<uint8_t> addresses;
  std::set<uint32_t> ids;
  for (size_t k = 0; k < drops.size(); ++k) {
    const HartDrop& drop = drops[k];
    if (!addresses.insert(drop.pollingAddress).second)
      return prefix + "polling address " + std::to_string(drop.pollingAddress) + " is given twice";
    if (sim.identity.universalRevision < kHartRevision6 && drop.pollingAddress > kHartMaxPollingAddress)
      return prefix + "polling address " + std::to_string(drop.pollingAddress) +
             " is beyond 15, the last one up to HART 5 (--hart-revision 5)";
    const uint64_t id = drop.deviceId ? *drop.deviceId : uint64_t{sim.identity.deviceId} + k;
    if (id > kMaxDeviceId)
      return prefix + "the device id of the instrument at " + std::to_string(drop.pollingAddress) + " would be " +
             std::to_string(id) + ", beyond 16777215";
    if (!ids.insert(static_cast<uint32_t>(id)).second)
      return prefix + "device id " + std::to_string(id) + " is given to two instruments";
    HartInstrumentSetup setup{sim.identity, sim.hart};
    setup.identity.pollingAddress = drop.pollingAddress;
    setup.identity.deviceId = static_cast<uint32_t>(id);
    setup.properties.tag = countedUp(sim.hart.tag, k);
    setup.properties.longTag = countedUp(sim.hart.longTag, k);
    if (drops.size() > 1) setup.properties.loopCurrentEnabled = false;
    loop.push_back(std::move(setup));
  }
  return loop;
}

}  // namespace

std::variant<Options, std::string> parseOptions(const std::vector<std::string>& args) {
  Options o;
  FaultOptions& f = o.sim.faults;
  std::string error;

  // Integer option with an accepted range; sets `error` otherwise.
  auto integer = [&](const std::string& name, const std::string& text, long min, long max) -> long {
    const auto value = tq::tryParseInt(text);
    if (!value || *value < min || *value > max) {
      error = "option " + name + ": '" + text + "' is not a whole number from " + std::to_string(min) + " to " +
              std::to_string(max);
      return min;
    }
    return *value;
  };

  // Packed ASCII text of at most `characters`.
  auto packedText = [&](const std::string& name, const std::string& text, size_t characters) {
    if (const auto refusal = packedAsciiRefusal(text, characters))
      error = "option " + name + ": '" + text + "' " + *refusal;
    return text;
  };
  std::optional<std::vector<HartDrop>> drops;
  bool hartAddressGiven = false;

  using Handler = std::function<void(const std::string& name, const std::string& value)>;
  const std::map<std::string, Handler> withValue = {
      {"--link", [&](auto&, auto& v) { o.link = v; }},
      {"--device", [&](auto&, auto& v) { o.device = v; }},
      {"--baud", [&](auto& n, auto& v) { o.line.baud = static_cast<int>(integer(n, v, 50, 4000000)); }},
      {"--parity",
       [&](auto& n, auto& v) {
         if (v == "none")
           o.line.parity = Parity::kNone;
         else if (v == "odd")
           o.line.parity = Parity::kOdd;
         else if (v == "even")
           o.line.parity = Parity::kEven;
         else
           error = "option " + n + ": '" + v + "' is not none, odd or even";
       }},
      {"--module-baud", [&](auto& n, auto& v) { o.sim.listenBaud = static_cast<int>(integer(n, v, 50, 4000000)); }},
      {"--delay", [&](auto& n, auto& v) { f.delayUs = integer(n, v, 0, 600000) * kMillisToMicros; }},
      {"--split-gap", [&](auto& n, auto& v) { f.splitGapUs = integer(n, v, 0, 600000) * kMillisToMicros; }},
      {"--split-at", [&](auto& n, auto& v) { f.splitAt = static_cast<int>(integer(n, v, 1, 4096)); }},
      {"--noise", [&](auto& n, auto& v) { f.noiseBytes = static_cast<int>(integer(n, v, 1, 4096)); }},
      {"--hangup-after", [&](auto& n, auto& v) { f.hangUpAfter = static_cast<int>(integer(n, v, 1, 1000000)); }},
      {"--fault-count", [&](auto& n, auto& v) { f.count = static_cast<int>(integer(n, v, 1, 1000000)); }},
      {"--fault-match",
       [&](auto& n, auto& v) {
         if (v.empty()) error = "option " + n + ": the text is empty";
         f.match.assign(v.begin(), v.end());
       }},
      {"--fault-match-hex",
       [&](auto& n, auto& v) {
         if (auto bytes = parseHex(v))
           f.match = *bytes;
         else
           error = "option " + n + ": '" + v + "' is not hex bytes such as \"01 03\"";
       }},
      {"--slave-address",
       [&](auto& n, auto& v) { o.sim.settings.slaveAddress = static_cast<int>(integer(n, v, 1, 247)); }},
      {"--units",
       [&](auto& n, auto& v) {
         const long units = integer(n, v, 1, 8);
         if (units == 1)
           o.sim.settings.unitCountIndex = 0;
         else if (units == 4)
           o.sim.settings.unitCountIndex = 1;
         else if (units == 8)
           o.sim.settings.unitCountIndex = 2;
         else
           error = "option " + n + ": '" + v + "' is not 1, 4 or 8";
       }},
      {"--hart-address",
       [&](auto& n, auto& v) {
         o.sim.identity.pollingAddress = static_cast<uint8_t>(integer(n, v, 0, kHartMaxPollingAddress));
         hartAddressGiven = true;
       }},
      {"--hart-manufacturer",
       [&](auto& n, auto& v) { o.sim.identity.manufacturerId = static_cast<uint8_t>(integer(n, v, 0, 255)); }},
      {"--hart-device-type",
       [&](auto& n, auto& v) { o.sim.identity.deviceType = static_cast<uint8_t>(integer(n, v, 0, 255)); }},
      {"--hart-device-id",
       [&](auto& n, auto& v) { o.sim.identity.deviceId = static_cast<uint32_t>(integer(n, v, 0, 0xFFFFFF)); }},
      {"--hart-preambles",
       [&](auto& n, auto& v) { o.sim.identity.preambles = static_cast<uint8_t>(integer(n, v, 2, 20)); }},
      {"--hart-revision",
       [&](auto& n, auto& v) {
         o.sim.identity.universalRevision = static_cast<uint8_t>(integer(n, v, kHartRevision5, kHartRevision7));
       }},
      {"--hart-tag", [&](auto& n, auto& v) { o.sim.hart.tag = packedText(n, v, kHartTagChars); }},
      {"--hart-descriptor", [&](auto& n, auto& v) { o.sim.hart.descriptor = packedText(n, v, kHartDescriptorChars); }},
      {"--hart-message", [&](auto& n, auto& v) { o.sim.hart.message = packedText(n, v, kHartMessageChars); }},
      {"--hart-date",
       [&](auto& n, auto& v) {
         if (const auto date = hartDate(v))
           o.sim.hart.date = *date;
         else
           error = "option " + n + ": '" + v + "' is not a date YYYY-MM-DD from 1900-01-01 to 2155-12-31";
       }},
      {"--hart-long-tag",
       [&](auto& n, auto& v) {
         const auto latin1 = tq::utf8ToLatin1(v);
         if (!latin1)
           error = "option " + n + ": '" + v + "' holds a character beyond Latin-1";
         else if (latin1->size() > kHartLongTagBytes)
           error = "option " + n + ": '" + v + "' is longer than 32 characters";
         else
           o.sim.hart.longTag = *latin1;
       }},
      {"--hart-range",
       [&](auto& n, auto& v) {
         const auto parts = split(v, ',');
         const auto lower = parts.size() == 2 ? singleValue(parts[0]) : std::nullopt;
         const auto upper = parts.size() == 2 ? singleValue(parts[1]) : std::nullopt;
         if (!lower || !upper || *lower == *upper) {
           error = "option " + n + ": '" + v + "' is not two different numbers LOWER,UPPER such as 0,100";
           return;
         }
         o.sim.hart.lowerRange = *lower;
         o.sim.hart.upperRange = *upper;
       }},
      {"--hart-damping",
       [&](auto& n, auto& v) {
         const auto seconds = singleValue(v);
         if (!seconds || *seconds < 0)
           error = "option " + n + ": '" + v + "' is not a number of seconds, 0 or more";
         else
           o.sim.hart.dampingSeconds = *seconds;
       }},
      {"--hart-alarm",
       [&](auto& n, auto& v) { o.sim.hart.alarmSelection = static_cast<uint8_t>(integer(n, v, 0, 255)); }},
      {"--hart-transfer-function",
       [&](auto& n, auto& v) { o.sim.hart.transferFunction = static_cast<uint8_t>(integer(n, v, 0, 255)); }},
      {"--hart-extended-status",
       [&](auto& n, auto& v) {
         if (const auto bits = hexByte(v))
           o.sim.hart.extendedStatus = *bits;
         else
           error = "option " + n + ": '" + v + "' is not a byte in hex such as 01";
       }},
      {"--hart-instruments",
       [&](auto& n, auto& v) {
         drops = hartDrops(v);
         if (!drops)
           error = "option " + n + ": '" + v +
                   "' is not a list of polling addresses 0..63, each with its device id if wished, such as 0,5,20 or "
                   "0,5:1193100";
       }},
      {"--hart-response",
       [&](auto& n, auto& v) {
         const auto parts = split(v, ':');
         const auto code = parts.size() <= 2 ? integerIn(parts[0], 1, 255) : std::nullopt;
         const auto commands = parts.size() == 2 ? commandList(parts[1]) : std::nullopt;
         if (!code || (parts.size() == 2 && !commands)) {
           error = "option " + n + ": '" + v +
                   "' is not a response code 1..255, with the commands it is for if wished, such as 64 or 64:13,15";
           return;
         }
         o.sim.hartFaults.response = static_cast<uint8_t>(*code);
         o.sim.hartFaults.responseOn = commands ? HartCommandSet{false, *commands} : HartCommandSet{true, {}};
       }},
      {"--hart-status",
       [&](auto& n, auto& v) {
         if (const auto bits = hexByte(v))
           o.sim.hartFaults.statusBits = *bits;
         else
           error = "option " + n + ": '" + v + "' is not a byte in hex such as 80";
       }},
      {"--hart-bad-check-on",
       [&](auto& n, auto& v) {
         if (const auto commands = commandList(v))
           o.sim.hartFaults.badCheckOn = {false, *commands};
         else
           error = "option " + n + ": '" + v + "' is not a list of commands 0..255 such as 13,15";
       }},
      {"--frozen", [&](auto& n, auto& v) { o.sim.frozenSeconds = static_cast<double>(integer(n, v, 0, 100000000)); }},
  };

  for (size_t i = 0; i < args.size() && error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h")
      o.help = true;
    else if (arg == "--verbose" || arg == "-v")
      o.verbose = true;
    else if (arg == "--pace")
      o.sim.pace = true;
    else if (arg == "--strict-line")
      o.sim.strictLine = true;
    else if (arg == "--no-reply")
      f.noReply = true;
    else if (arg == "--hart-write-protect")
      o.sim.hart.writeProtected = true;
    else if (arg == "--hart-bad-check")
      o.sim.hartFaults.badCheckOn = {true, {}};
    else if (const auto it = withValue.find(arg); it != withValue.end()) {
      if (i + 1 >= args.size()) return "option " + arg + " needs a value (see --help)";
      it->second(arg, args[++i]);
    } else {
      return "unknown option '" + arg + "' (see --help)";
    }
  }
  if (!error.empty()) return error;
  if (o.link.empty()) return std::string("option --link: the path is empty");
  if (drops) {
    if (hartAddressGiven)
      return std::string("option --hart-address: with --hart-instruments, the list gives the polling addresses");
    auto loop = planLoop(o.sim, *drops);
    if (auto* refusal = std::get_if<std::string>(&loop)) return *refusal;
    o.sim.loop = std::move(std::get<std::vector<HartInstrumentSetup>>(loop));
  }
  return o;
}

std::string helpText() {
  return R"(Usage: tq580-sim [options]

Simulates a TQ580-N module with a HART instrument behind it (or several on
one loop), on a pseudo terminal (default) or on a real serial port. On start
it prints one line:
  tq580-sim: listening on /dev/pts/N (linked at /tmp/ttyTQ580)
and runs until interrupted (Ctrl-C, SIGTERM).

Line:
  --link PATH          symlink to the pty (default /tmp/ttyTQ580); a stale link
                       is replaced, the link is removed on exit
  --device PATH        use this serial port instead of a pty
  --baud N             rate of --device, and of pacing before a pty reports
                       one (default 9600)
  --parity none|odd|even  parity of --device (default none)
  --pace               send answers one character time per byte at the line's
                       rate (on a pty: the rate the tool set), so block timing
                       is as on a real line
  --strict-line        (pty) ignore input sent at another rate than the
                       module's RS485 setting ("QQS#BA1:..."), as a real module
                       would only hear garbage; after changing it, the tool
                       must reopen its port at the new rate. A pty does not
                       carry parity, so parity is not compared
  --module-baud N      (with --strict-line) the module listens at N baud until
                       its RS485 rate is next set or reset: a rate its setting
                       cannot name, such as 38400

Module and instrument (start values; the tool can change them):
  --slave-address N    MODBUS slave address, 1..247 (default 1)
  --units 1|4|8        unit count (default 1)
  --hart-address N     instrument polling address, 0..15 (default 0; for
                       16..63 give --hart-instruments N)
  --hart-manufacturer N  manufacturer id (default 38 = 0x26)
  --hart-device-type N   device type (default 6)
  --hart-device-id N     24-bit device id (default 1193046 = 0x123456)
  --hart-preambles N     preambles the instrument asks for and sends (default 5)
  --hart-revision 5|6|7  universal command revision (default 7); 5: the
                       12-byte identity reply, polling addresses 0..15 and
                       no command 20
  --hart-instruments LIST  several instruments on the loop (multidrop), one
                       per polling address 0..63, e.g. 0,5,20; the k-th
                       (from 0) has device id --hart-device-id + k unless
                       given as ADDRESS:ID (e.g. 0,5:1193100,20), and the
                       last number of its tag and long tag counted up by k
                       (FT-101, FT-102, ...). With more than one, every loop
                       current is parked at 4 mA. Replaces --hart-address
  --hart-tag TEXT      tag, up to 8 packed ASCII characters (default FT-101)
  --hart-descriptor TEXT  up to 16 packed ASCII characters
                       (default "RAW WATER INLET")
  --hart-message TEXT  up to 32 packed ASCII characters
                       (default "FLOW METER CALIBRATED 0-100 M3/H")
                       Packed ASCII: blank to underscore (0x20..0x5F); lower
                       case is stored upper case
  --hart-date YYYY-MM-DD  date, 1900-01-01 .. 2155-12-31 (default 2024-06-12)
  --hart-long-tag TEXT  up to 32 Latin-1 characters
                       (default "Raw water inlet flow FT-101")
  --hart-range LOWER,UPPER  range values of the flow, m3/h (default 0,100):
                       the loop current spans them; beyond, it is held at
                       3.8 or 20.5 mA and the status shows 14 (loop current
                       saturated, more status available)
  --hart-damping S     damping in seconds (default 2)
  --hart-alarm CODE    alarm selection code (default 0, high)
  --hart-transfer-function CODE  transfer function code (default 0, linear)
  --hart-write-protect  write protected: commands 6, 17 and 18 answer 7
  --hart-extended-status HEX  extended device status (default 00), e.g. 01
                       maintenance required
  --frozen SECONDS     hold the instrument's clock: values stop moving
  --verbose, -v        log every frame and answer on standard error

Faults (applied to every request, or only to those matching):
  --fault-match TEXT   only requests containing TEXT, e.g. "QX1" or "QQS#ADR"
  --fault-match-hex HEX  only requests containing these bytes, e.g. "01 03"
  --fault-count N      only the first N matching requests
  --delay MS           answer MS milliseconds late
  --split-gap MS       send the answer in two blocks, MS ms of silence between
  --split-at N         bytes in the first block (default half the answer)
  --no-reply           do not answer
  --noise N            send N garbage bytes right before the answer
  --hangup-after N     hang up after the N-th matching request has been
                       answered: close the pty master or the port and exit

HART faults (every instrument on the loop):
  --hart-response CODE[:COMMANDS]  first status byte CODE (1..255) on every
                       reply, or only on the commands listed, e.g. 64:13,15.
                       A warning (8, 14, 24..27, 30, 31) keeps the reply's
                       data and the command is carried out; any other code
                       is an error: nothing is done and the byte count is 2.
                       128..255 report a communication error (second byte 0)
  --hart-status HEX    field device status bits added to every reply, e.g.
                       80 device malfunction, 10 more status available
  --hart-bad-check     a wrong check byte on every reply
  --hart-bad-check-on COMMANDS  a wrong check byte on replies to these
                       commands only, e.g. 13,15

Answers:
  "QQQ#QV#"            "QV:" interface digit, unit digit, "#"   e.g. QV:20#
  "QQQ#QX1#"           QX1#BA1:30#MD:1#ADR:001#XY:0#JTM:010#
  "QQQ#QQd#"           QQ0#FMW:0,0.001#HART0:1,1,05,5,060#DFO0:00000#
                       ZDY0:8,0000,0000,0000,0000#MD:1#CAMD01:0<00,#CAMD02:0<00,#
                       (one line on the wire)
  "QQQ#QX2#"           QX2#BTM1:0000#..#AI01:0,100.0,005#..#IA01:0,0.000,100.0#IB01:..#
  "QQQ#QX3#"           QX3#AVAL: 0.0000mA#BVAL: 0.0000mA#  (nine characters each)
  set frame "QQS#..."  "<word>:OK#" when stored, e.g. ADR:OK#, HART0:OK#, CAMD01:OK#
  output "VELKOR#..."  "<word>:OK#" when stored, e.g. O01:OK#, BTM2:OK#, IA01:OK#
  value out of range   "<word>:ERR,RANGE#"  (nothing is stored)
  malformed fields     "<word>:ERR,FORMAT#" (nothing is stored)
  unknown command word "ERR:UNKNOWN#"
  frame cut short      "ERR:INCOMPLETE#" after 50 ms of silence without its end
  "QQS#RESET#"         RESET:OK#, every setting back to its factory value
  Decimal values (limits, 4/20 mA values, coefficient) are stored as numbers
  and reported in five characters with as many decimals as fit.
  Current outputs follow variables 1..4 of device 0 (0 mA when closed).
  Module settings that act: ADR (MODBUS address), YB (unit count: the
  register map), HART enable, DFOT formats, FMW coefficient on variable 1,
  XY = 1 (every answer 100 ms late), JTM (register values and current
  outputs change only every JTM x 10 ms), BA1 (with --strict-line).
  HART frames          passed to the instruments; each answers its polling
                       address (short frames) and its unique address (long
                       frames); another address gets no answer, a wrong
                       check byte a communication error (first status byte
                       88) and no data. Commands 0 (identity; from revision
                       6 with bytes 12..16: preambles, last device variable
                       3, configuration change counter, extended device
                       status; revision 7 adds 17..21: manufacturer and
                       private label distributor in 16 bits, device profile
                       1), 1, 2, 3, 6 (polling address; a second byte
                       sets the loop current mode), 12 (message), 13 (tag,
                       descriptor, date), 15 (alarm selection, transfer
                       function, range units 19, upper and lower range,
                       damping, write protect, 250, analog channel flags 0),
                       17 and 18 (store what they carry and echo it; they,
                       and 6, set "configuration changed", status 40, for
                       both masters and count the change counter up), 20
                       (long tag), 38 (clears "configuration changed" for
                       the master that sends it; a change counter sent with
                       it must match, else response 9) and 48 (revision 5:
                       6 device-specific bytes; from 6: 14 bytes, extended
                       device status at 6, analog channel saturated at 10);
                       others: response code 64, no data. Too few
                       data bytes: response 5. Variables: flow (m3/h, a
                       60 s wave), temperature (degC, 300 s), pressure (bar,
                       45 s) and total (m3, never falling); loop current
                       4..20 mA over the range, parked at 4 mA in multidrop:
                       at a polling address other than 0 (or as command 6's
                       loop current mode byte says) and with
                       --hart-instruments listing more than one
  MODBUS RTU           function 3 at the slave address: registers 10n..10n+9
                       of device n (n below the unit count) hold its current
                       and variables 1..4 in the formats set by DFOT; the
                       device reads zero unless it is enabled and the
                       instrument sits at polling address n. Addresses beyond
                       the map: exception 2; count 0 or above 125: exception
                       3; other functions: exception 1; bad CRC, other slave
                       or broadcast: no answer
  Other bytes          dropped as line noise, no answer
)";
}

}  // namespace tq::sim
