// tq580-cli end to end against the simulator, run as its own process so
// that its exit statuses and its two output streams are what a script sees.
#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <fstream>
#include <sstream>

#include "run_cli.h"
#include "sim/launcher.h"

namespace tq::cli {
namespace {

using testing::CliRun;
using testing::runCli;

QJsonObject json(const CliRun& run) {
  QJsonParseError error{};
  const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(run.out), &error);
  EXPECT_TRUE(document.isObject()) << error.errorString().toStdString() << "\n" << run.out;
  return document.object();
}

std::string contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos ? std::string() : "\"" + part + "\" is not in:\n" + text;
}

class CliSimTest : public ::testing::Test {
 protected:
  std::string file(const std::string& name, const std::string& text) {
    const std::string path = dir.filePath(QString::fromStdString(name)).toStdString();
    std::ofstream(path) << text;
    return path;
  }
  QTemporaryDir dir;
};

TEST_F(CliSimTest, ReadPrintsTheRecordAsLinesOrOneJsonDocument) {
  sim::SimProcess sim({"--slave-address", "7"});
  const CliRun run = runCli({"--json", "read"}, sim.path());
  ASSERT_EQ(run.status, 0) << run.err;
  const QJsonObject record = json(run);
  EXPECT_EQ(record["format"].toString(), "tq580-record");
  EXPECT_EQ(record["version"].toInt(), 1);
  EXPECT_FALSE(record["read_at"].toString().isEmpty());
  EXPECT_EQ(record["port"].toObject()["path"].toString().toStdString(), sim.path());
  EXPECT_EQ(record["port"].toObject()["baud"].toInt(), 9600);
  EXPECT_EQ(record["port"].toObject()["parity"].toString(), "none");
  const QJsonObject settings = record["settings"].toObject();
  EXPECT_EQ(settings["system.slave_address"].toString(), "007");
  EXPECT_EQ(settings["module.units"].toString(), "1 Unit");
  // One unit: no other device's keys, read or not.
  for (const QString& key : settings.keys()) EXPECT_FALSE(key.startsWith("device1.")) << key.toStdString();
  EXPECT_TRUE(record["not_read"].isArray());
  EXPECT_FALSE(record["hart"].toObject()["tag"].toString().isEmpty());

  const CliRun plain = runCli({"--port", sim.path(), "get", "system.slave_address", "module.units"});
  EXPECT_EQ(plain.status, 0) << plain.err;
  EXPECT_EQ(plain.out, "system.slave_address = 007\nmodule.units = 1 Unit\n");
}

TEST_F(CliSimTest, SetSendsTheSettingsAndReadsThemBack) {
  sim::SimProcess sim;
  const CliRun set = runCli({"--port", sim.path(), "set", "system.slave_address=009", "device0.buffer_clear=30"});
  ASSERT_EQ(set.status, 0) << set.err;
  EXPECT_EQ(contains(set.out, "took: system.slave_address (MODBUS Slave Address): 009"), "");
  EXPECT_EQ(contains(set.out, "took: device0.buffer_clear"), "");
  EXPECT_EQ(runCli({"get", "system.slave_address"}, sim.path()).out, "system.slave_address = 009\n");
  // Already so: nothing is sent.
  const CliRun again = runCli({"set", "system.slave_address=9"}, sim.path());
  EXPECT_EQ(again.status, 0);
  EXPECT_EQ(contains(again.err, "nothing was sent"), "");
}

TEST_F(CliSimTest, ProfileDiffDryRunAndApply) {
  sim::SimProcess sim;
  const std::string profile = file("plant.json", R"({"format": "tq580-profile", "version": 1, "settings": {
      "system.slave_address": "009", "system.delay": "0 No Delay", "module.units": "4 Unit"}})");

  const CliRun diff = runCli({"--json", "profile", "diff", profile}, sim.path());
  ASSERT_EQ(diff.status, 0) << diff.err;
  const QJsonArray differences = json(diff)["differences"].toArray();
  ASSERT_EQ(differences.size(), 2);
  const QJsonObject address = differences[0].toObject();
  EXPECT_EQ(address["key"].toString(), "module.units");
  EXPECT_EQ(differences[1].toObject()["key"].toString(), "system.slave_address");
  EXPECT_EQ(differences[1].toObject()["profile"].toString(), "009");
  EXPECT_EQ(differences[1].toObject()["module"].toString(), "001");

  // The frames, one a line, the unit count last; nothing sent.
  const CliRun dry = runCli({"profile", "apply", profile, "--dry-run"}, sim.path());
  EXPECT_EQ(dry.status, 0) << dry.err;
  EXPECT_EQ(dry.out, "QQS#ADR:009#\nQQS#YB:21#\n");
  // No terminal to ask on: refused before the port is opened.
  const CliRun unasked = runCli({"profile", "apply", profile}, sim.path());
  EXPECT_EQ(unasked.status, 2);
  EXPECT_EQ(contains(unasked.err, "not a terminal"), "");
  EXPECT_EQ(runCli({"get", "system.slave_address"}, sim.path()).out, "system.slave_address = 001\n");

  const CliRun applied = runCli({"profile", "apply", profile, "--yes"}, sim.path());
  EXPECT_EQ(applied.status, 0) << applied.err;
  EXPECT_EQ(contains(applied.out, "took: system.slave_address"), "");
  const CliRun after = runCli({"--json", "profile", "diff", profile}, sim.path());
  EXPECT_EQ(json(after)["differences"].toArray().size(), 0) << after.out;
}

TEST_F(CliSimTest, ABadProfileIsRefusedBeforeThePortIsOpened) {
  const std::string profile = file("bad.json", R"({"format": "tq580-profile", "version": 1,
      "settings": {"relay9.limit": "1.0"}})");
  const CliRun run = runCli({"profile", "diff", profile}, "/dev/tq580-no-such-port");
  EXPECT_EQ(run.status, 2);
  EXPECT_EQ(contains(run.err, "relay9.limit"), "");
}

TEST_F(CliSimTest, ASilentModuleStopsAtTheFirstQueryAndAMissingPortIsSaid) {
  sim::SimProcess sim({"--no-reply"});
  const std::string journal = dir.filePath("journal.txt").toStdString();
  const CliRun silent = runCli({"--journal", journal, "read"}, sim.path());
  EXPECT_EQ(silent.status, 1);
  EXPECT_EQ(contains(silent.err, "communication query \"QQQ#QV#\""), "");
  EXPECT_EQ(contains(silent.err, "--baud"), "");
  EXPECT_EQ(silent.out, "");
  // Only the first query went out; the journal says so.
  std::stringstream saved;
  saved << std::ifstream(journal).rdbuf();
  EXPECT_EQ(contains(saved.str(), "51 51 51 23 51 56 23"), "");
  EXPECT_EQ(saved.str().find("QQQ#QX1#"), std::string::npos);

  const CliRun missing = runCli({"--port", "/dev/tq580-no-such-port", "read"});
  EXPECT_EQ(missing.status, 3);
  EXPECT_EQ(contains(missing.err, "/dev/tq580-no-such-port"), "");
}

TEST_F(CliSimTest, APortLostDuringTheReadEndsWithStatus3) {
  sim::SimProcess sim({"--hangup-after", "3"});
  const CliRun run = runCli({"--json", "read"}, sim.path());
  EXPECT_EQ(run.status, 3);
  EXPECT_EQ(contains(run.err, "hung up"), "");
  EXPECT_EQ(run.out, "");
}

TEST_F(CliSimTest, ProfileSaveReportAndTheInstrumentsTag) {
  sim::SimProcess sim;
  const std::string profile = dir.filePath("saved.json").toStdString();
  ASSERT_EQ(runCli({"profile", "save", profile}, sim.path()).status, 0);
  std::stringstream saved;
  saved << std::ifstream(profile).rdbuf();
  EXPECT_EQ(contains(saved.str(), "\"system.slave_address\": \"001\""), "");

  // The report's PDF is rendered without a display.
  const std::string report = dir.filePath("as-left.pdf").toStdString();
  const CliRun written = runCli({"report", report, "--site", "Plant 3"}, sim.path());
  ASSERT_EQ(written.status, 0) << written.err;
  std::stringstream pdf;
  pdf << std::ifstream(report).rdbuf();
  EXPECT_TRUE(pdf.str().starts_with("%PDF"));

  const CliRun tag = runCli({"hart", "write-tag", "NEWTAG"}, sim.path());
  ASSERT_EQ(tag.status, 0) << tag.err;
  EXPECT_EQ(contains(tag.out, "The instrument now holds the tag \"NEWTAG\""), "");
  const CliRun read = runCli({"--json", "hart", "read"}, sim.path());
  ASSERT_EQ(read.status, 0) << read.err;
  EXPECT_EQ(json(read)["tag"].toString(), "NEWTAG");
}

TEST_F(CliSimTest, HartScanAndModbusRead) {
  // Every address answers: no answer window is waited out.
  sim::SimProcess sim({"--hart-instruments", "0,1,2,3,4,5,6,7,8,9,10,11,12,13,14,15"});
  const CliRun scan = runCli({"--json", "hart", "scan"}, sim.path());
  ASSERT_EQ(scan.status, 0) << scan.err;
  const QJsonArray instruments = json(scan)["instruments"].toArray();
  ASSERT_EQ(instruments.size(), 16);
  EXPECT_EQ(instruments[5].toObject()["address"].toInt(), 5);
  EXPECT_GT(instruments[0].toObject()["preambles"].toInt(), 0);

  const CliRun modbus = runCli({"--json", "modbus", "read", "1", "0", "4"}, sim.path());
  ASSERT_EQ(modbus.status, 0) << modbus.err;
  EXPECT_EQ(json(modbus)["registers"].toArray().size(), 4);
}

TEST_F(CliSimTest, FindTriesTheSettingsUntilTheModuleAnswers) {
  sim::SimProcess sim({"--strict-line", "--module-baud", "19200"});
  // RTS and DTR raised, as a converter powered from them needs.
  const CliRun run = runCli({"--port", sim.path(), "--rts", "--dtr", "find"});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(contains(run.out, "baud = 19200\nparity = none\n"), "");
}

}  // namespace
}  // namespace tq::cli
