// Profiles in the real window against the simulator: saved from what Read
// Module read; compared key by key; applied with one question listing the
// frames, only the differences sent, one at a time, the unit count and then
// the RS485 line setting last each after its own question, the read-back
// before the line changes; a faulty file refused whole with nothing sent.
#include <QDir>
#include <QFile>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTreeWidget>

#include "link/link_arbiter.h"
#include "record/profile.h"
#include "sim/launcher.h"
#include "ui/profile_diff_dialog.h"
#include "ui/profiles.h"
#include "ui/read_module.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class ProfileTest : public WindowTest {
 protected:
  ProfileTest() {
    form->setQuestionSink([this](const QString& q) {
      questions.push_back(q.toStdString());
      return true;
    });
    form->setOpenFileNameProvider([this] { return file; });
    form->setSaveFileNameProvider([this] { return file; });
    file = dir.filePath("plant.json");
  }

  void writeFile(const std::string& json) {
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(json.data(), static_cast<qint64>(json.size()));
  }
  std::vector<std::string> sent() const { return sentText(); }
  bool idle() {
    return pumpUntil([this] {
      return !form->profiles().applying() && !form->readModule().reader().running() && !form->link().claimed();
    });
  }
  void trigger(const char* action) { form->findChild<QAction*>(action)->trigger(); }

  QTemporaryDir dir;
  QString file;
  std::vector<std::string> questions;
};

TEST_F(ProfileTest, AppliesOnlyTheDifferencesWithTheLinkSettingsLastAndReadsThemBack) {
  sim::SimProcess sim;
  openPort(sim.path());
  writeFile(R"({"format": "tq580-profile", "version": 1, "settings": {
      "system.baud": "19200", "module.units": "4 Unit", "system.slave_address": "009",
      "system.delay": "0 No Delay", "device0.buffer_clear": "30"}})");
  trigger("actionApplyProfile");
  ASSERT_TRUE(idle());

  std::vector<std::string> sets;
  size_t readBackAt = 0, queries = 0;
  const std::vector<std::string> frames = sent();
  for (size_t i = 0; i < frames.size(); ++i) {
    if (frames[i].starts_with("QQS#")) sets.push_back(frames[i]);
    if (frames[i] == "QQQ#QV#" && ++queries == 2) readBackAt = sets.size();
  }
  // The delay is the module's already; the buffer clear time goes with
  // device 0's other settings as read.
  const std::vector<std::string> expected = {"QQS#ADR:009#", "QQS#HART0:1,1,05,5,030#", "QQS#YB:21#", "QQS#BA1:40#"};
  EXPECT_EQ(sets, expected);
  EXPECT_EQ(readBackAt, 3u);  // after YB, before BA1
  ASSERT_EQ(questions.size(), 3u);
  EXPECT_NE(questions[0].find("QQS#ADR:009#\nQQS#HART0:1,1,05,5,030#"), std::string::npos) << questions[0];
  EXPECT_NE(questions[0].find("QQS#YB:21#\nQQS#BA1:40#"), std::string::npos) << questions[0];
  EXPECT_NE(questions[1].find("QQS#YB:21#"), std::string::npos);
  EXPECT_NE(questions[2].find("QQS#BA1:40#"), std::string::npos);
  ASSERT_FALSE(messages.empty());
  const std::string verdict = messages.front();
  EXPECT_NE(verdict.find("3 settings took, 0 did not"), std::string::npos) << verdict;
  EXPECT_EQ(form->moduleRecord().shown("system.slave_address"), "009");
  EXPECT_EQ(form->moduleRecord().shown("device3.enable").empty(), false);
}

TEST_F(ProfileTest, AFaultyFileIsRefusedWholeAndNothingIsSent) {
  sim::SimProcess sim;
  openPort(sim.path());
  writeFile(R"({"format": "tq580-profile", "version": 1, "settings": {
      "system.slave_address": "009", "relay9.limit": "1.0"}})");
  trigger("actionApplyProfile");
  ASSERT_TRUE(idle());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(file.toStdString()), std::string::npos);
  EXPECT_NE(messages[0].find("relay9.limit"), std::string::npos);
  EXPECT_TRUE(sent().empty());
  EXPECT_TRUE(questions.empty());
}

TEST_F(ProfileTest, SavesWhatWasReadAndComparesItByTheBytesSent) {
  sim::SimProcess sim({"--slave-address", "7"});
  openPort(sim.path());
  trigger("actionReadModule");
  ASSERT_TRUE(idle());
  ASSERT_TRUE(pumpUntil([&] { return !form->statusBar()->currentMessage().isEmpty(); }));
  trigger("actionSaveProfile");
  QFile saved(file);
  ASSERT_TRUE(saved.open(QIODevice::ReadOnly));
  const QByteArray bytes = saved.readAll();
  const record::Profile profile = record::readProfile(bytes.toStdString(), "saved");
  bool address = false;
  for (const auto& [key, value] : profile.settings) {
    address = address || (key == "system.slave_address" && value == "007");
    EXPECT_FALSE(key.starts_with("hart.")) << key;
  }
  EXPECT_TRUE(address);

  writeFile(R"({"format": "tq580-profile", "version": 1, "settings": {
      "system.slave_address": "7", "system.baud": "1200"}})");
  trigger("actionCompareProfile");
  auto* view = form->findChild<QTreeWidget*>("ProfileDiffView");
  ASSERT_NE(view, nullptr);
  ASSERT_EQ(view->topLevelItemCount(), 2);
  EXPECT_EQ(view->topLevelItem(0)->text(0), "system.baud");
  EXPECT_EQ(view->topLevelItem(0)->text(4), "different");
  EXPECT_EQ(view->topLevelItem(1)->text(3), "007");
  EXPECT_EQ(view->topLevelItem(1)->text(4), "same");
}

}  // namespace
}  // namespace tq::ui
