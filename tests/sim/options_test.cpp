// The simulator's command line.
#include "sim/options.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tq::sim {
namespace {

const Options& parsed(const std::variant<Options, std::string>& result) {
  if (const auto* error = std::get_if<std::string>(&result)) ADD_FAILURE() << *error;
  static const Options fallback;
  return std::holds_alternative<Options>(result) ? std::get<Options>(result) : fallback;
}

TEST(Options, Defaults) {
  const auto result = parseOptions({});
  const Options& o = parsed(result);
  EXPECT_EQ(o.link, "/tmp/ttyTQ580");
  EXPECT_FALSE(o.device);
  EXPECT_FALSE(o.sim.pace);
  EXPECT_EQ(o.sim.faults.delayUs, 0);
  EXPECT_LT(o.sim.faults.splitGapUs, 0);
  EXPECT_EQ(o.sim.settings.slaveAddress, 1);
}

TEST(Options, EveryOptionReachesItsSetting) {
  const auto result = parseOptions({"--link", "/tmp/x", "--baud", "15200", "--parity", "even", "--pace", "--delay", "250",
                                    "--split-gap", "120", "--split-at", "3", "--no-reply", "--noise", "4",
                                    "--hangup-after", "2", "--fault-match", "QX1", "--fault-count", "1",
                                    "--slave-address", "17", "--units", "8", "--hart-address", "3",
                                    "--hart-manufacturer", "0x11", "--hart-device-type", "$22", "--hart-device-id", "42",
                                    "--hart-preambles", "7", "--frozen", "12", "-v", "--strict-line",
                                    "--module-baud", "38400"});
  const Options& o = parsed(result);
  EXPECT_EQ(o.link, "/tmp/x");
  EXPECT_EQ(o.line.baud, 15200);
  EXPECT_EQ(o.line.parity, Parity::kEven);
  EXPECT_EQ(o.line.bitsPerChar(), 11);
  EXPECT_TRUE(o.sim.pace);
  EXPECT_EQ(o.sim.faults.delayUs, 250'000);
  EXPECT_EQ(o.sim.faults.splitGapUs, 120'000);
  EXPECT_EQ(o.sim.faults.splitAt, 3);
  EXPECT_TRUE(o.sim.faults.noReply);
  EXPECT_EQ(o.sim.faults.noiseBytes, 4);
  EXPECT_EQ(o.sim.faults.hangUpAfter, 2);
  EXPECT_EQ(o.sim.faults.match, (std::vector<uint8_t>{'Q', 'X', '1'}));
  EXPECT_EQ(o.sim.faults.count, 1);
  EXPECT_EQ(o.sim.settings.slaveAddress, 17);
  EXPECT_EQ(o.sim.settings.unitCountIndex, 2);
  EXPECT_EQ(o.sim.identity.pollingAddress, 3);
  EXPECT_EQ(o.sim.identity.manufacturerId, 0x11);
  EXPECT_EQ(o.sim.identity.deviceType, 0x22);
  EXPECT_EQ(o.sim.identity.deviceId, 42u);
  EXPECT_EQ(o.sim.identity.preambles, 7);
  EXPECT_EQ(o.sim.frozenSeconds, 12.0);
  EXPECT_TRUE(o.verbose);
  EXPECT_TRUE(o.sim.strictLine);
  EXPECT_EQ(o.sim.listenBaud, 38400);
}

TEST(Options, MatchInHex) {
  const auto result = parseOptions({"--fault-match-hex", "01 03"});
  EXPECT_EQ(parsed(result).sim.faults.match, (std::vector<uint8_t>{0x01, 0x03}));
}

struct BadCase {
  std::vector<std::string> args;
  std::string message;
};

TEST(Options, BadCommandLinesSayWhatIsWrong) {
  const std::vector<BadCase> cases = {
      {{"--bogus"}, "unknown option '--bogus' (see --help)"},
      {{"--delay"}, "option --delay needs a value (see --help)"},
      {{"--delay", "soon"}, "option --delay: 'soon' is not a whole number from 0 to 600000"},
      {{"--delay", "-5"}, "option --delay: '-5' is not a whole number from 0 to 600000"},
      {{"--slave-address", "0"}, "option --slave-address: '0' is not a whole number from 1 to 247"},
      {{"--hart-address", "16"}, "option --hart-address: '16' is not a whole number from 0 to 15"},
      {{"--units", "3"}, "option --units: '3' is not 1, 4 or 8"},
      {{"--parity", "mark"}, "option --parity: 'mark' is not none, odd or even"},
      {{"--fault-match-hex", "0 1 3"}, "option --fault-match-hex: '0 1 3' is not hex bytes such as \"01 03\""},
      {{"--fault-match-hex", "zz"}, "option --fault-match-hex: 'zz' is not hex bytes such as \"01 03\""},
      {{"--fault-match", ""}, "option --fault-match: the text is empty"},
      {{"--link", ""}, "option --link: the path is empty"},
  };
  for (const auto& c : cases) {
    const auto result = parseOptions(c.args);
    ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.args[0];
    EXPECT_EQ(std::get<std::string>(result), c.message);
  }
}

TEST(Options, HelpNamesEveryOption) {
  const std::string help = helpText();
  for (const char* option : {"--link", "--device", "--baud", "--parity", "--pace", "--slave-address", "--units",
                             "--hart-address", "--hart-manufacturer", "--hart-device-type", "--hart-device-id",
                             "--hart-preambles", "--frozen", "--verbose", "--fault-match", "--fault-match-hex",
                             "--fault-count", "--delay", "--split-gap", "--split-at", "--no-reply", "--noise",
                             "--hangup-after", "--strict-line", "--module-baud"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_TRUE(parsed(parseOptions({"-h"})).help);
}

}  // namespace
}  // namespace tq::sim
