#include "cli/arguments.h"

#include <algorithm>
#include <functional>
#include <map>
#include <string_view>

#include "common/errors.h"
#include "record/key_table.h"
#include "record/profile.h"

namespace tq::cli {

namespace {

// A refusal ends the reading at once.
struct Refused {
  std::string why;
};
[[noreturn]] void refuse(std::string why) { throw Refused{std::move(why)}; }

// The largest line rate the serial link is asked for.
constexpr int64_t kMaxBaud = 4'000'000;
// The MODBUS test frame carries one byte of each number.
constexpr int kMaxModbusByte = 255;
// A date's digits: "YYYY-MM-DD".
constexpr size_t kDateLength = 10;

// Decimal digits only, as a script writes a number; nothing else.
std::optional<int64_t> wholeNumber(std::string_view text) {
  constexpr size_t kMaxDigits = 10;
  if (text.empty() || text.size() > kMaxDigits) return std::nullopt;
  int64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// `what` ("--baud", "SLAVE") as given, with its range.
int64_t numberIn(const std::string& what, const std::string& text, int64_t min, int64_t max) {
  const auto value = wholeNumber(text);
  if (!value || *value < min || *value > max) {
    refuse(what + " " + (text.empty() ? "\"\"" : text) + ": not a whole number from " + std::to_string(min) + " to " +
           std::to_string(max));
  }
  return *value;
}

bool endsWith(std::string_view text, std::string_view end) {
  if (text.size() < end.size()) return false;
  return std::equal(end.rbegin(), end.rend(), text.rbegin(),
                    [](char a, char b) { return a == (b >= 'A' && b <= 'Z' ? static_cast<char>(b - 'A' + 'a') : b); });
}

// The words after the program's name, one at a time; "--name=value" is
// "--name" with its value.
class Words {
 public:
  explicit Words(const std::vector<std::string>& args) {
    for (const std::string& arg : args) {
      const size_t equals = arg.find('=');
      if (arg.starts_with("--") && equals != std::string::npos) {
        words_.push_back({arg.substr(0, equals), arg.substr(equals + 1)});
      } else {
        words_.push_back({arg, std::nullopt});
      }
    }
  }
  bool done() const { return at_ >= words_.size(); }
  const std::string& peek() const { return words_[at_].word; }
  std::string next() { return words_[at_++].word; }
  // The value of the option just taken: joined to it, or the next word.
  std::string value(const std::string& option) {
    if (auto joined = std::move(words_[at_ - 1].joined)) return *joined;
    if (done()) refuse("option " + option + " needs a value");
    return next();
  }
  // An option taken with a value joined to it that it does not take.
  void noValue(const std::string& option) const {
    if (words_[at_ - 1].joined) refuse("option " + option + " takes no value");
  }

 private:
  struct Word {
    std::string word;
    std::optional<std::string> joined;
  };
  std::vector<Word> words_;
  size_t at_ = 0;
};

bool isOption(const std::string& word) { return word.size() > 1 && word[0] == '-'; }

bool isGlobalOption(const std::string& word) {
  static const char* const kGlobal[] = {"-p",        "--port",    "-b",    "--baud",    "--parity",
                                        "--address", "--rts",     "--dtr", "--journal", "--json",
                                        "-v",        "--verbose", "-h",    "--help",    "--version"};
  return std::any_of(std::begin(kGlobal), std::end(kGlobal), [&](const char* o) { return word == o; });
}

// The options before the command.
void readOptions(Words& words, Invocation& out, bool& help, bool& version) {
  while (!words.done() && isOption(words.peek())) {
    const std::string option = words.next();
    if (option == "-p" || option == "--port") {
      out.options.port = words.value(option);
      if (out.options.port.empty()) refuse("option " + option + " needs a port, not an empty name");
    } else if (option == "-b" || option == "--baud") {
      out.options.baud = static_cast<uint32_t>(numberIn(option, words.value(option), 1, kMaxBaud));
    } else if (option == "--parity") {
      const std::string value = words.value(option);
      if (value == "none")
        out.options.parity = Parity::None;
      else if (value == "odd")
        out.options.parity = Parity::Odd;
      else if (value == "even")
        out.options.parity = Parity::Even;
      else
        refuse("--parity " + value + ": not one of none, odd, even");
    } else if (option == "--address") {
      out.options.address = static_cast<int>(numberIn(option, words.value(option), 0, kMaxAddress));
    } else if (option == "--journal") {
      out.options.journal = words.value(option);
      if (!endsWith(out.options.journal, ".txt") && !endsWith(out.options.journal, ".csv")) {
        refuse("--journal " + out.options.journal + ": the journal is saved as .txt or .csv");
      }
    } else if (option == "--rts" || option == "--dtr") {
      words.noValue(option);
      (option == "--rts" ? out.options.rts : out.options.dtr) = true;
    } else if (option == "--json") {
      words.noValue(option);
      out.options.json = true;
    } else if (option == "-v" || option == "--verbose") {
      words.noValue(option);
      out.options.verbose = true;
    } else if (option == "-h" || option == "--help") {
      help = true;
    } else if (option == "--version") {
      version = true;
    } else {
      refuse("unknown option " + option);
    }
  }
}

// A command's own options and its other words.
struct Rest {
  std::vector<std::string> words;
  std::map<std::string, std::string> values;  // options with a value
  std::vector<std::string> flags;
};

// `flags`: the options it takes alone; `valued`: those it takes with a value.
Rest readRest(Words& words, const std::string& command, std::initializer_list<const char*> flags,
              std::initializer_list<const char*> valued) {
  Rest rest;
  auto in = [](std::initializer_list<const char*> list, const std::string& word) {
    return std::any_of(list.begin(), list.end(), [&](const char* o) { return word == o; });
  };
  bool onlyWords = false;  // after "--", every word is an argument
  while (!words.done()) {
    const std::string word = words.next();
    if (onlyWords || !isOption(word)) {
      rest.words.push_back(word);
    } else if (word == "--") {
      onlyWords = true;
    } else if (in(flags, word)) {
      words.noValue(word);
      if (std::find(rest.flags.begin(), rest.flags.end(), word) == rest.flags.end()) rest.flags.push_back(word);
    } else if (in(valued, word)) {
      if (rest.values.count(word)) refuse("option " + word + " is given twice");
      rest.values[word] = words.value(word);
    } else if (isGlobalOption(word)) {
      refuse("option " + word + " must come before the command");
    } else {
      refuse("unknown option " + word + " for " + command);
    }
  }
  return rest;
}

bool has(const Rest& rest, const char* flag) {
  return std::find(rest.flags.begin(), rest.flags.end(), flag) != rest.flags.end();
}

void wordsCount(const Rest& rest, const std::string& command, size_t wanted, const char* what) {
  if (rest.words.size() < wanted) refuse(command + " needs " + what);
  if (rest.words.size() > wanted) {
    refuse(command + (wanted == 0 ? " takes no arguments" : " takes only " + std::string(what)) + ": \"" +
           rest.words[wanted] + "\" is one too many");
  }
}

void readGet(Invocation& out, const Rest& rest) {
  if (rest.words.empty()) refuse("get needs at least one KEY");
  for (const std::string& key : rest.words) {
    if (!record::findKey(key)) refuse("get: the key " + key + " is not a key of the module record");
    out.keys.push_back(key);
  }
}

void readSet(Invocation& out, const Rest& rest) {
  if (rest.words.empty()) refuse("set needs at least one KEY=VALUE");
  for (const std::string& word : rest.words) {
    const size_t equals = word.find('=');
    if (equals == std::string::npos || equals == 0) refuse("set: \"" + word + "\" is not KEY=VALUE");
    std::string key = word.substr(0, equals), value = word.substr(equals + 1);
    if (const auto fault = record::keyFault(key)) refuse("set: " + *fault);
    if (const auto fault = record::valueFault(*record::findKey(key), value)) refuse("set: " + *fault);
    for (const auto& [given, _] : out.settings) {
      if (given == key) refuse("set: the key " + key + " is given twice");
    }
    out.settings.emplace_back(std::move(key), std::move(value));
  }
}

hart::TagDate readDate(const std::string& text) {
  const auto part = [&](size_t from, size_t length) {
    return wholeNumber(std::string_view(text).substr(from, length));
  };
  const bool shaped = text.size() == kDateLength && text[4] == '-' && text[7] == '-';
  const auto year = shaped ? part(0, 4) : std::nullopt, month = shaped ? part(5, 2) : std::nullopt,
             day = shaped ? part(8, 2) : std::nullopt;
  if (!year || !month || !day) refuse("--date " + text + ": not a date written YYYY-MM-DD");
  const hart::TagDate date{static_cast<int>(*year), static_cast<int>(*month), static_cast<int>(*day)};
  if (!hart::isCalendarDay(date)) refuse("--date " + text + ": not a day of the calendar");
  if (date.year < hart::kFirstDateYear || date.year > hart::kLastDateYear) {
    refuse("--date " + text + ": an instrument holds years " + std::to_string(hart::kFirstDateYear) + " to " +
           std::to_string(hart::kLastDateYear));
  }
  return date;
}

// Texts an instrument cannot hold are refused here, before anything is sent.
void checkInstrumentText(const std::string& what, const std::function<void()>& build) {
  try {
    build();
  } catch (const InputRefused& e) {
    refuse(what + ": " + e.what());
  }
}

void readHart(Words& words, Invocation& out) {
  if (words.done()) refuse("hart needs a command: scan, read, write-tag or write-message");
  const std::string sub = words.next();
  if (sub == "scan") {
    const Rest rest = readRest(words, "hart scan", {"--wide"}, {});
    wordsCount(rest, "hart scan", 0, "");
    out.command = Command::HartScan;
    out.wide = has(rest, "--wide");
  } else if (sub == "read") {
    wordsCount(readRest(words, "hart read", {}, {}), "hart read", 0, "");
    out.command = Command::HartRead;
  } else if (sub == "write-tag") {
    const Rest rest = readRest(words, "hart write-tag", {}, {"--descriptor", "--date"});
    wordsCount(rest, "hart write-tag", 1, "TAG");
    out.command = Command::HartWriteTag;
    out.text = rest.words[0];
    if (rest.values.count("--descriptor")) out.descriptor = rest.values.at("--descriptor");
    if (rest.values.count("--date")) out.date = readDate(rest.values.at("--date"));
    const hart::TagDate anyDate{hart::kFirstDateYear, 1, 1};
    checkInstrumentText("hart write-tag " + out.text,
                        [&] { hart::tagDescriptorDateData(out.text, out.descriptor.value_or(""), anyDate); });
  } else if (sub == "write-message") {
    const Rest rest = readRest(words, "hart write-message", {}, {});
    wordsCount(rest, "hart write-message", 1, "TEXT");
    out.command = Command::HartWriteMessage;
    out.text = rest.words[0];
    checkInstrumentText("hart write-message", [&] { hart::messageData(out.text); });
  } else {
    refuse("unknown hart command \"" + sub + "\" (scan, read, write-tag or write-message)");
  }
}

void readProfile(Words& words, Invocation& out) {
  if (words.done()) refuse("profile needs a command: save, diff or apply");
  const std::string sub = words.next();
  if (sub != "save" && sub != "diff" && sub != "apply") {
    refuse("unknown profile command \"" + sub + "\" (save, diff or apply)");
  }
  const std::string command = "profile " + sub;
  const Rest rest =
      sub == "apply" ? readRest(words, command, {"--dry-run", "--yes"}, {}) : readRest(words, command, {}, {});
  wordsCount(rest, command, 1, "FILE");
  out.file = rest.words[0];
  out.command = sub == "save" ? Command::ProfileSave : sub == "diff" ? Command::ProfileDiff : Command::ProfileApply;
  out.dryRun = has(rest, "--dry-run");
  out.yes = has(rest, "--yes");
}

void readCommand(Words& words, Invocation& out) {
  const std::string command = words.next();
  if (command == "ports" || command == "read") {
    wordsCount(readRest(words, command, {}, {}), command, 0, "");
    out.command = command == "ports" ? Command::Ports : Command::Read;
  } else if (command == "find") {
    const Rest rest = readRest(words, command, {"--all"}, {});
    wordsCount(rest, command, 0, "");
    out.command = Command::Find;
    out.all = has(rest, "--all");
  } else if (command == "get") {
    out.command = Command::Get;
    readGet(out, readRest(words, command, {}, {}));
  } else if (command == "set") {
    out.command = Command::Set;
    readSet(out, readRest(words, command, {}, {}));
  } else if (command == "profile") {
    readProfile(words, out);
  } else if (command == "report") {
    Rest rest = readRest(words, command, {}, {"--site", "--loop", "--technician", "--notes"});
    wordsCount(rest, command, 1, "FILE");
    out.command = Command::Report;
    out.file = rest.words[0];
    if (!endsWith(out.file, ".pdf") && !endsWith(out.file, ".html") && !endsWith(out.file, ".htm")) {
      refuse("report " + out.file + ": the report is written as .pdf or .html");
    }
    out.site = rest.values["--site"];
    out.loop = rest.values["--loop"];
    out.technician = rest.values["--technician"];
    out.notes = rest.values["--notes"];
  } else if (command == "hart") {
    readHart(words, out);
  } else if (command == "modbus") {
    if (words.done() || words.peek() != "read") {
      refuse(words.done() ? "modbus needs a command: read" : "unknown modbus command \"" + words.peek() + "\" (read)");
    }
    words.next();
    const Rest rest = readRest(words, "modbus read", {}, {});
    wordsCount(rest, "modbus read", 3, "SLAVE START COUNT");
    out.command = Command::ModbusRead;
    out.slave = static_cast<int>(numberIn("SLAVE", rest.words[0], 0, kMaxModbusByte));
    out.start = static_cast<int>(numberIn("START", rest.words[1], 0, kMaxModbusByte));
    out.count = static_cast<int>(numberIn("COUNT", rest.words[2], 1, kMaxModbusByte));
  } else {
    refuse("unknown command \"" + command + "\"");
  }
}

}  // namespace

bool needsPort(const Invocation& invocation) {
  switch (invocation.command) {
    case Command::Help:
    case Command::Version:
    case Command::Ports:
      return false;
    case Command::Find:
      return !invocation.all;
    default:
      return true;
  }
}

Parsed parseArguments(const std::vector<std::string>& args, const std::optional<std::string>& portVariable) {
  Invocation out;
  bool help = false, version = false;
  try {
    // Help wherever it is asked for: nothing else is read then.
    for (const std::string& arg : args) {
      if (arg == "--") break;
      if (arg == "-h" || arg == "--help") {
        out.command = Command::Help;
        return {out, {}};
      }
    }
    Words words(args);
    readOptions(words, out, help, version);
    if (version) {
      out.command = Command::Version;
      return {out, {}};
    }
    if (words.done()) refuse("no command given");
    readCommand(words, out);
    if (out.options.port.empty() && portVariable && !portVariable->empty()) out.options.port = *portVariable;
    if (needsPort(out) && out.options.port.empty()) {
      refuse("no port given: name it with --port PATH or in " + std::string(kPortVariable) +
             (out.command == Command::Find ? ", or search every port with find --all" : ""));
    }
    if (out.command == Command::ProfileApply && out.dryRun && out.yes) {
      refuse("profile apply: --dry-run sends nothing, --yes sends: give one of them");
    }
    return {out, {}};
  } catch (const Refused& r) {
    return {std::nullopt, r.why};
  }
}

std::string usageText() {
  return R"(Usage: tq580-cli [options] COMMAND [arguments]

Reads and writes a TQ580-N module and the HART instrument behind it over a
serial port, without a window.

Options (before the command):
  -p, --port PATH        serial device, or COMn (/dev/ttyS(n-1)); default: $TQ580_PORT
  -b, --baud N           line rate (default 9600)
      --parity none|odd|even   (default none)
      --address N        HART polling address for the hart commands, 0 to 15 (default 0)
      --rts, --dtr       hold RTS or DTR raised while the port is open (default: both low), for a
                         converter powered from those lines
      --journal FILE     write every exchange, dissected, as the window's journal saves it (.txt or .csv)
      --json             one JSON document on standard output
  -v, --verbose          each frame sent and received on standard error
  -h, --help             this text
      --version          the tool's version

Commands:
  ports                                   the serial ports the window lists
  find [--all]                            try every rate and parity until the module answers
  read                                    read the module and its instrument: every key and value
  get KEY...                              read, then print the named keys
  set KEY=VALUE...                        send those settings, then read them back
  profile save FILE                       read, then write a profile
  profile diff FILE                       read, then compare with a profile
  profile apply FILE [--dry-run] [--yes]  read, then send what differs (YB and BA1 last), read back
  report FILE [--site S] [--loop L] [--technician T] [--notes N]
                                          read, then write the as-left report (.pdf or .html)
  hart scan [--wide]                      instruments at polling addresses 0..15 (0..63)
  hart read                               Read All on the instrument at --address
  hart write-tag TAG [--descriptor D] [--date YYYY-MM-DD]
  hart write-message TEXT
  modbus read SLAVE START COUNT           the MODBUS test request (function 03), answer in hex

Exit status: 0 done; 1 the module or instrument did not answer, or refused;
2 the command line or an input was refused, nothing was sent; 3 the port
could not be opened, or was lost; 130 interrupted (Ctrl-C).
)";
}

}  // namespace tq::cli
