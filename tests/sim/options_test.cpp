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
  // clang-format off
  const auto result = parseOptions({"--link", "/tmp/x", "--baud", "15200", "--parity", "even", "--pace", "--delay", "250",
                                    "--split-gap", "120", "--split-at", "3", "--no-reply", "--noise", "4",
                                    "--hangup-after", "2", "--fault-match", "QX1", "--fault-count", "1",
                                    "--slave-address", "17", "--units", "8", "--hart-address", "3",
                                    "--hart-manufacturer", "0x11", "--hart-device-type", "$22", "--hart-device-id", "42",
                                    "--hart-preambles", "7", "--frozen", "12", "-v", "--strict-line",
                                    "--module-baud", "38400"});
  // clang-format on
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
  for (const char* option : {"--link",
                             "--device",
                             "--baud",
                             "--parity",
                             "--pace",
                             "--slave-address",
                             "--units",
                             "--hart-address",
                             "--hart-manufacturer",
                             "--hart-device-type",
                             "--hart-device-id",
                             "--hart-preambles",
                             "--frozen",
                             "--verbose",
                             "--fault-match",
                             "--fault-match-hex",
                             "--fault-count",
                             "--delay",
                             "--split-gap",
                             "--split-at",
                             "--no-reply",
                             "--noise",
                             "--hangup-after",
                             "--strict-line",
                             "--module-baud"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
  EXPECT_TRUE(parsed(parseOptions({"-h"})).help);
}

}  // namespace
}  // namespace tq::sim

namespace tq::sim {
namespace {

TEST(HartOptions, EveryOneReachesTheInstrument) {
  const auto result = parseOptions({"--hart-tag",
                                    "lt-9",
                                    "--hart-descriptor",
                                    "SPARE",
                                    "--hart-message",
                                    "CHECKED 2025",
                                    "--hart-date",
                                    "2024-02-29",
                                    "--hart-long-tag",
                                    "Zulauf \xC3\x98"
                                    "200",
                                    "--hart-range",
                                    "-10,250.5",
                                    "--hart-damping",
                                    "0.25",
                                    "--hart-alarm",
                                    "239",
                                    "--hart-transfer-function",
                                    "1",
                                    "--hart-write-protect",
                                    "--hart-extended-status",
                                    "0x21",
                                    "--hart-revision",
                                    "5",
                                    "--hart-response",
                                    "64:13,15",
                                    "--hart-status",
                                    "80",
                                    "--hart-bad-check-on",
                                    "12"});
  const Options& o = parsed(result);
  const HartProperties& h = o.sim.hart;
  EXPECT_EQ(h.tag, "lt-9");  // stored upper case when packed
  EXPECT_EQ(h.descriptor, "SPARE");
  EXPECT_EQ(h.message, "CHECKED 2025");
  EXPECT_EQ((std::vector<int>{h.date.day, h.date.month, h.date.yearSince1900}), (std::vector<int>{29, 2, 124}));
  EXPECT_EQ(h.longTag,
            "Zulauf \xD8"
            "200");  // Latin-1
  EXPECT_EQ(h.lowerRange, -10.0f);
  EXPECT_EQ(h.upperRange, 250.5f);
  EXPECT_EQ(h.dampingSeconds, 0.25f);
  EXPECT_EQ(h.alarmSelection, 239);
  EXPECT_EQ(h.transferFunction, 1);
  EXPECT_TRUE(h.writeProtected);
  EXPECT_EQ(h.extendedStatus, 0x21);
  EXPECT_EQ(o.sim.identity.universalRevision, 5);
  EXPECT_EQ(o.sim.hartFaults.response, 64);
  EXPECT_FALSE(o.sim.hartFaults.responseOn.all);
  EXPECT_EQ(o.sim.hartFaults.responseOn.listed, (std::vector<uint8_t>{13, 15}));
  EXPECT_EQ(o.sim.hartFaults.statusBits, 0x80);
  EXPECT_EQ(o.sim.hartFaults.badCheckOn.listed, (std::vector<uint8_t>{12}));
  EXPECT_TRUE(o.sim.loop.empty());

  const auto allResult = parseOptions({"--hart-response", "8", "--hart-bad-check"});
  const Options& all = parsed(allResult);
  EXPECT_TRUE(all.sim.hartFaults.responseOn.all);
  EXPECT_TRUE(all.sim.hartFaults.badCheckOn.all);
  const auto noneResult = parseOptions({});
  const Options& none = parsed(noneResult);
  EXPECT_EQ(none.sim.hartFaults.response, 0);
  EXPECT_FALSE(none.sim.hartFaults.badCheckOn.contains(0));
}

struct LoopCase {
  std::vector<std::string> args;
  std::vector<int> addresses;
  std::vector<uint32_t> deviceIds;
  std::vector<std::string> tags;
  std::vector<std::string> longTags;
  std::optional<bool> loopCurrent;
};

TEST(HartOptions, TheLoopGivesEachInstrumentItsOwnAddressIdAndTag) {
  const std::vector<LoopCase> cases = {
      {{"--hart-instruments", "0,5,20"},
       {0, 5, 20},
       {0x123456, 0x123457, 0x123458},
       {"FT-101", "FT-102", "FT-103"},
       {"Raw water inlet flow FT-101", "Raw water inlet flow FT-102", "Raw water inlet flow FT-103"},
       false},
      // An id of its own; the others count by position. The last number
      // counts up, in as many digits.
      {{"--hart-instruments", "3,63:0x200000,7", "--hart-tag", "PT-99", "--hart-long-tag", "Line 4"},
       {3, 63, 7},
       {0x123456, 0x200000, 0x123458},
       {"PT-99", "PT-00", "PT-01"},
       {"Line 4", "Line 5", "Line 6"},
       false},
      {{"--hart-instruments", "1,2", "--hart-tag", "INLET"},
       {1, 2},
       {0x123456, 0x123457},
       {"INLET", "INLET"},
       {"Raw water inlet flow FT-101", "Raw water inlet flow FT-102"},
       false},
      // One instrument: HART's rule by polling address decides the current.
      {{"--hart-instruments", "20"}, {20}, {0x123456}, {"FT-101"}, {"Raw water inlet flow FT-101"}, std::nullopt},
  };
  for (const auto& c : cases) {
    const auto result = parseOptions(c.args);
    const Options& o = parsed(result);
    ASSERT_EQ(o.sim.loop.size(), c.addresses.size()) << c.args[1];
    for (size_t k = 0; k < o.sim.loop.size(); ++k) {
      const HartInstrumentSetup& s = o.sim.loop[k];
      EXPECT_EQ(s.identity.pollingAddress, c.addresses[k]) << c.args[1] << " " << k;
      EXPECT_EQ(s.identity.deviceId, c.deviceIds[k]) << c.args[1] << " " << k;
      EXPECT_EQ(s.properties.tag, c.tags[k]) << c.args[1] << " " << k;
      EXPECT_EQ(s.properties.longTag, c.longTags[k]) << c.args[1] << " " << k;
      EXPECT_EQ(s.properties.loopCurrentEnabled, c.loopCurrent) << c.args[1] << " " << k;
    }
  }
}

TEST(HartOptions, BadValuesSayWhatIsWrong) {
  const std::vector<BadCase> cases = {
      {{"--hart-tag", "FT~101"}, "option --hart-tag: 'FT~101' holds '~', which packed ASCII cannot carry"},
      {{"--hart-tag", "FT-101-XY"}, "option --hart-tag: 'FT-101-XY' is longer than 8 characters"},
      {{"--hart-descriptor",
        "\xC3\x98"
        "200"},
       "option --hart-descriptor: '\xC3\x98"
       "200' holds '\xC3\x98', which packed ASCII cannot carry"},
      {{"--hart-message", std::string(33, 'A')},
       "option --hart-message: '" + std::string(33, 'A') + "' is longer than 32 characters"},
      {{"--hart-date", "2023-02-29"},
       "option --hart-date: '2023-02-29' is not a date YYYY-MM-DD from 1900-01-01 to 2155-12-31"},
      {{"--hart-date", "1899-12-31"},
       "option --hart-date: '1899-12-31' is not a date YYYY-MM-DD from 1900-01-01 to 2155-12-31"},
      {{"--hart-date", "24-06-12"},
       "option --hart-date: '24-06-12' is not a date YYYY-MM-DD from 1900-01-01 to 2155-12-31"},
      {{"--hart-long-tag", "5 \xE2\x82\xAC"},
       "option --hart-long-tag: '5 \xE2\x82\xAC' holds a character beyond Latin-1"},
      {{"--hart-long-tag", std::string(33, 'a')},
       "option --hart-long-tag: '" + std::string(33, 'a') + "' is longer than 32 characters"},
      {{"--hart-range", "100,100"},
       "option --hart-range: '100,100' is not two different numbers LOWER,UPPER such as 0,100"},
      {{"--hart-range", "0,1e39"},
       "option --hart-range: '0,1e39' is not two different numbers LOWER,UPPER such as 0,100"},
      {{"--hart-damping", "-1"}, "option --hart-damping: '-1' is not a number of seconds, 0 or more"},
      {{"--hart-revision", "4"}, "option --hart-revision: '4' is not a whole number from 5 to 7"},
      {{"--hart-status", "zz"}, "option --hart-status: 'zz' is not a byte in hex such as 80"},
      {{"--hart-response", "0"},
       "option --hart-response: '0' is not a response code 1..255, with the commands it is for if wished, such as 64 "
       "or 64:13,15"},
      {{"--hart-response", "64:13,256"},
       "option --hart-response: '64:13,256' is not a response code 1..255, with the commands it is for if wished, such "
       "as 64 or "
       "64:13,15"},
      {{"--hart-bad-check-on", "13,"},
       "option --hart-bad-check-on: '13,' is not a list of commands 0..255 such as 13,15"},
      {{"--hart-instruments", "0,64"},
       "option --hart-instruments: '0,64' is not a list of polling addresses 0..63, each with its device id if wished, "
       "such as "
       "0,5,20 or 0,5:1193100"},
      {{"--hart-instruments", "0,5:1:2"},
       "option --hart-instruments: '0,5:1:2' is not a list of polling addresses 0..63, each with its device id if "
       "wished, such "
       "as 0,5,20 or 0,5:1193100"},
      {{"--hart-instruments", "0,5,0"}, "option --hart-instruments: polling address 0 is given twice"},
      {{"--hart-instruments", "0,5:1193046"},
       "option --hart-instruments: device id 1193046 is given to two instruments"},
      {{"--hart-device-id", "16777215", "--hart-instruments", "0,1"},
       "option --hart-instruments: the device id of the instrument at 1 would be 16777216, beyond 16777215"},
      {{"--hart-instruments", "0,20", "--hart-revision", "5"},
       "option --hart-instruments: polling address 20 is beyond 15, the last one up to HART 5 (--hart-revision 5)"},
      {{"--hart-instruments", "0,5", "--hart-address", "3"},
       "option --hart-address: with --hart-instruments, the list gives the polling addresses"},
  };
  for (const auto& c : cases) {
    const auto result = parseOptions(c.args);
    ASSERT_TRUE(std::holds_alternative<std::string>(result)) << c.args[0] << " " << c.args[1];
    EXPECT_EQ(std::get<std::string>(result), c.message);
  }
}

TEST(HartOptions, HelpNamesEveryOne) {
  const std::string help = helpText();
  for (const char* option :
       {"--hart-revision", "--hart-instruments", "--hart-tag", "--hart-descriptor", "--hart-message", "--hart-date",
        "--hart-long-tag", "--hart-range", "--hart-damping", "--hart-alarm", "--hart-transfer-function",
        "--hart-write-protect", "--hart-extended-status", "--hart-response", "--hart-status", "--hart-bad-check",
        "--hart-bad-check-on"})
    EXPECT_NE(help.find(option), std::string::npos) << option;
}

}  // namespace
}  // namespace tq::sim
