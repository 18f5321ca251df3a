#include "options.h"

#include <cctype>
#include <functional>
#include <map>

#include "common/int_conversion.h"

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
  for (size_t i = 0; i < digits.size(); i += 2) bytes.push_back(static_cast<uint8_t>(std::stoi(digits.substr(i, 2), nullptr, 16)));
  return bytes;
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
      error = "option " + name + ": '" + text + "' is not a whole number from " + std::to_string(min) + " to " + std::to_string(max);
      return min;
    }
    return *value;
  };

  using Handler = std::function<void(const std::string& name, const std::string& value)>;
  const std::map<std::string, Handler> withValue = {
      {"--link", [&](auto&, auto& v) { o.link = v; }},
      {"--device", [&](auto&, auto& v) { o.device = v; }},
      {"--baud", [&](auto& n, auto& v) { o.line.baud = static_cast<int>(integer(n, v, 50, 4000000)); }},
      {"--parity",
       [&](auto& n, auto& v) {
         if (v == "none") o.line.parity = Parity::kNone;
         else if (v == "odd") o.line.parity = Parity::kOdd;
         else if (v == "even") o.line.parity = Parity::kEven;
         else error = "option " + n + ": '" + v + "' is not none, odd or even";
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
         if (auto bytes = parseHex(v)) f.match = *bytes;
         else error = "option " + n + ": '" + v + "' is not hex bytes such as \"01 03\"";
       }},
      {"--slave-address", [&](auto& n, auto& v) { o.sim.settings.slaveAddress = static_cast<int>(integer(n, v, 1, 247)); }},
      {"--units",
       [&](auto& n, auto& v) {
         const long units = integer(n, v, 1, 8);
         if (units == 1) o.sim.settings.unitCountIndex = 0;
         else if (units == 4) o.sim.settings.unitCountIndex = 1;
         else if (units == 8) o.sim.settings.unitCountIndex = 2;
         else error = "option " + n + ": '" + v + "' is not 1, 4 or 8";
       }},
      {"--hart-address", [&](auto& n, auto& v) { o.sim.identity.pollingAddress = static_cast<uint8_t>(integer(n, v, 0, 15)); }},
      {"--hart-manufacturer", [&](auto& n, auto& v) { o.sim.identity.manufacturerId = static_cast<uint8_t>(integer(n, v, 0, 255)); }},
      {"--hart-device-type", [&](auto& n, auto& v) { o.sim.identity.deviceType = static_cast<uint8_t>(integer(n, v, 0, 255)); }},
      {"--hart-device-id", [&](auto& n, auto& v) { o.sim.identity.deviceId = static_cast<uint32_t>(integer(n, v, 0, 0xFFFFFF)); }},
      {"--hart-preambles", [&](auto& n, auto& v) { o.sim.identity.preambles = static_cast<uint8_t>(integer(n, v, 2, 20)); }},
      {"--frozen", [&](auto& n, auto& v) { o.sim.frozenSeconds = static_cast<double>(integer(n, v, 0, 100000000)); }},
  };

  for (size_t i = 0; i < args.size() && error.empty(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") o.help = true;
    else if (arg == "--verbose" || arg == "-v") o.verbose = true;
    else if (arg == "--pace") o.sim.pace = true;
    else if (arg == "--strict-line") o.sim.strictLine = true;
    else if (arg == "--no-reply") f.noReply = true;
    else if (const auto it = withValue.find(arg); it != withValue.end()) {
      if (i + 1 >= args.size()) return "option " + arg + " needs a value (see --help)";
      it->second(arg, args[++i]);
    } else {
      return "unknown option '" + arg + "' (see --help)";
    }
  }
  if (!error.empty()) return error;
  if (o.link.empty()) return std::string("option --link: the path is empty");
  return o;
}

std::string helpText() {
  return R"(Usage: tq580-sim [options]

Simulates a TQ580-N module with one HART instrument behind it, on a pseudo
terminal (default) or on a real serial port. On start it prints one line:
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
  --hart-address N     instrument polling address, 0..15 (default 0)
  --hart-manufacturer N  manufacturer id (default 38 = 0x26)
  --hart-device-type N   device type (default 6)
  --hart-device-id N     24-bit device id (default 1193046 = 0x123456)
  --hart-preambles N     preambles the instrument asks for and sends (default 5)
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
  HART frames          passed to the instrument: commands 0, 1, 2, 3 and 6
                       (others: response code 64); a wrong check byte or
                       another address gets no answer. Its variables: flow
                       (m3/h, a 60 s wave), temperature (degC, 300 s),
                       pressure (bar, 45 s) and total (m3, never falling);
                       loop current 4..20 mA for 0..100 m3/h, parked at 4 mA
                       at a polling address other than 0
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
