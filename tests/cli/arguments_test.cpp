// The command line as tq580-cli reads it: what each accepted line means,
// and each refusal naming what it refused (every refusal exits with 2).
#include <gtest/gtest.h>

#include "cli/arguments.h"

namespace tq::cli {
namespace {

using Args = std::vector<std::string>;

Invocation accepted(const Args& args, std::optional<std::string> variable = std::nullopt) {
  const Parsed parsed = parseArguments(args, variable);
  EXPECT_TRUE(parsed.invocation.has_value()) << parsed.refusal;
  return parsed.invocation.value_or(Invocation{});
}

TEST(Arguments, OptionsBeforeTheCommandSetTheLineAndTheOutput) {
  const Invocation i = accepted({"-p", "/dev/ttyUSB0", "--baud=19200", "--parity", "even", "--address", "3", "--rts",
                                 "--journal", "j.csv", "--json", "-v", "read"});
  EXPECT_EQ(i.command, Command::Read);
  EXPECT_EQ(i.options.port, "/dev/ttyUSB0");
  EXPECT_EQ(i.options.baud, 19200u);
  EXPECT_EQ(i.options.parity, Parity::Even);
  EXPECT_EQ(i.options.address, 3);
  EXPECT_EQ(i.options.journal, "j.csv");
  EXPECT_TRUE(i.options.json);
  EXPECT_TRUE(i.options.verbose);
  EXPECT_TRUE(i.options.rts);
  EXPECT_FALSE(i.options.dtr);

  // As the window starts: 9600 baud, no parity; the port from TQ580_PORT.
  const Invocation d = accepted({"read"}, "COM3");
  EXPECT_EQ(d.options.port, "COM3");
  EXPECT_EQ(d.options.baud, 9600u);
  EXPECT_EQ(d.options.parity, Parity::None);
  // --port wins over the variable.
  EXPECT_EQ(accepted({"--port", "/dev/ttyS0", "read"}, "COM3").options.port, "/dev/ttyS0");
}

TEST(Arguments, EachCommandWithItsArguments) {
  struct Case {
    Args args;
    Command command;
    std::function<void(const Invocation&)> check;
  };
  const Case cases[] = {
      {{"ports"}, Command::Ports, {}},
      {{"--help"}, Command::Help, {}},
      {{"read", "-h"}, Command::Help, {}},
      {{"--version"}, Command::Version, {}},
      {{"find", "--all"}, Command::Find, [](const Invocation& i) { EXPECT_TRUE(i.all); }},
      {{"-p", "COM1", "get", "system.baud", "hart.tag"},
       Command::Get,
       [](const Invocation& i) {
         EXPECT_EQ(i.keys, (std::vector<std::string>{"system.baud", "hart.tag"}));
       }},
      {{"-p", "COM1", "set", "system.slave_address=009", "device0.buffer_clear=30"},
       Command::Set,
       [](const Invocation& i) {
         ASSERT_EQ(i.settings.size(), 2u);
         EXPECT_EQ(i.settings[0], (std::pair<std::string, std::string>{"system.slave_address", "009"}));
       }},
      {{"-p", "COM1", "profile", "apply", "p.json", "--yes"},
       Command::ProfileApply,
       [](const Invocation& i) {
         EXPECT_EQ(i.file, "p.json");
         EXPECT_TRUE(i.yes);
         EXPECT_FALSE(i.dryRun);
       }},
      {{"-p", "COM1", "profile", "diff", "--", "-odd.json"},
       Command::ProfileDiff,
       [](const Invocation& i) { EXPECT_EQ(i.file, "-odd.json"); }},
      {{"-p", "COM1", "report", "r.PDF", "--site", "Plant 3", "--notes=as left"},
       Command::Report,
       [](const Invocation& i) {
         EXPECT_EQ(i.site, "Plant 3");
         EXPECT_EQ(i.notes, "as left");
       }},
      {{"-p", "COM1", "hart", "scan", "--wide"}, Command::HartScan, [](const Invocation& i) { EXPECT_TRUE(i.wide); }},
      {{"-p", "COM1", "hart", "write-tag", "FT-101", "--date", "2024-02-29"},
       Command::HartWriteTag,
       [](const Invocation& i) {
         EXPECT_EQ(i.text, "FT-101");
         EXPECT_FALSE(i.descriptor.has_value());
         EXPECT_EQ(i.date, (hart::TagDate{2024, 2, 29}));
       }},
      {{"-p", "COM1", "modbus", "read", "1", "0", "10"},
       Command::ModbusRead,
       [](const Invocation& i) {
         EXPECT_EQ(i.slave, 1);
         EXPECT_EQ(i.count, 10);
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.args.front() + " " + (c.args.size() > 1 ? c.args[1] : ""));
    const Invocation i = accepted(c.args);
    EXPECT_EQ(i.command, c.command);
    if (c.check) c.check(i);
  }
}

TEST(Arguments, EveryRefusalNamesWhatItRefused) {
  struct Case {
    Args args;
    std::string named;  // the refusal holds it
  };
  const Case cases[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "\"frobnicate\""},
      {{"--speed", "9600", "read"}, "--speed"},
      {{"-p"}, "option -p needs a value"},
      {{"-p", "", "read"}, "-p"},
      {{"-b", "96x0", "read"}, "-b 96x0"},
      {{"--baud", "0", "read"}, "--baud 0"},
      {{"--parity", "mark", "read"}, "--parity mark"},
      {{"--address", "16", "read"}, "--address 16"},
      {{"--journal", "j.log", "read"}, "--journal j.log"},
      {{"--json=yes", "read"}, "--json"},
      {{"--rts=on", "read"}, "--rts"},
      {{"read"}, "no port given"},
      {{"find"}, "find --all"},
      {{"-p", "COM1", "read", "--port", "COM2"}, "--port must come before the command"},
      {{"-p", "COM1", "read", "extra"}, "\"extra\""},
      {{"-p", "COM1", "read", "--all"}, "--all"},
      {{"-p", "COM1", "get"}, "KEY"},
      {{"-p", "COM1", "get", "system.speed"}, "system.speed"},
      {{"-p", "COM1", "set", "system.baud"}, "\"system.baud\" is not KEY=VALUE"},
      {{"-p", "COM1", "set", "relay9.limit=1"}, "relay9.limit"},
      {{"-p", "COM1", "set", "output_a.present=4"}, "output_a.present is read only"},
      {{"-p", "COM1", "set", "system.baud=115200"}, "\"115200\""},
      {{"-p", "COM1", "set", "system.slave_address=1", "system.slave_address=2"}, "given twice"},
      {{"-p", "COM1", "profile"}, "save, diff or apply"},
      {{"-p", "COM1", "profile", "load", "p.json"}, "\"load\""},
      {{"-p", "COM1", "profile", "save"}, "FILE"},
      {{"-p", "COM1", "profile", "diff", "p.json", "--yes"}, "--yes"},
      {{"-p", "COM1", "profile", "apply", "p.json", "--dry-run", "--yes"}, "give one of them"},
      {{"-p", "COM1", "report", "r.doc"}, "r.doc"},
      {{"-p", "COM1", "report", "r.pdf", "--site", "a", "--site", "b"}, "--site is given twice"},
      {{"-p", "COM1", "hart"}, "scan, read"},
      {{"-p", "COM1", "hart", "poll"}, "\"poll\""},
      {{"-p", "COM1", "hart", "write-tag"}, "TAG"},
      {{"-p", "COM1", "hart", "write-tag", "FT-101", "--date", "2023-02-29"}, "2023-02-29"},
      {{"-p", "COM1", "hart", "write-tag", "FT-101", "--date", "29.02.2024"}, "29.02.2024"},
      {{"-p", "COM1", "hart", "write-tag", "FT-101", "--date", "1899-12-31"}, "1899-12-31"},
      {{"-p", "COM1", "hart", "write-tag", "TAG-TOO-LONG"}, "TAG-TOO-LONG"},
      {{"-p", "COM1", "hart", "write-message", "lower case is fine but ~ is not"}, "hart write-message"},
      {{"-p", "COM1", "modbus", "write"}, "\"write\""},
      {{"-p", "COM1", "modbus", "read", "1", "0"}, "SLAVE START COUNT"},
      {{"-p", "COM1", "modbus", "read", "256", "0", "10"}, "SLAVE 256"},
      {{"-p", "COM1", "modbus", "read", "1", "0", "0"}, "COUNT 0"},
  };
  for (const Case& c : cases) {
    std::string line;
    for (const std::string& a : c.args) line += a + " ";
    SCOPED_TRACE(line);
    const Parsed parsed = parseArguments(c.args, std::nullopt);
    EXPECT_FALSE(parsed.invocation.has_value());
    EXPECT_NE(parsed.refusal.find(c.named), std::string::npos) << parsed.refusal;
  }
}

}  // namespace
}  // namespace tq::cli
