// The "HART Instrument" page in the real window against the simulator's
// loop: the scan finds every instrument and only them, a row addresses its
// instrument as an identity read would, Read All shows each command's
// rows whatever the instrument answers, and a write is confirmed, sent and
// read back, or refused and declined with nothing sent. The engine's state
// and the port are as before every sequence.
#include <QCheckBox>
#include <QDateEdit>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <set>

#include "common/byte_display.h"
#include "sim/launcher.h"
#include "ui/hart_page.h"
#include "link/link_arbiter.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

// Long enough never to end a step by itself: the tests end silent
// addresses' windows and wait for the answers that come.
constexpr int kUnendingWindowMs = 600'000;

class HartPageTest : public WindowTest {
 protected:
  HartPageTest() {
    form->setQuestionSink([this](const QString& q) {
      questions.push_back(q.toStdString());
      return answerYes;
    });
  }

  HartPage& page() { return form->hartPage(); }
  bool running() { return page().requests().running(); }
  bool finished() {
    return pumpUntil([this] { return !running(); });
  }
  QTreeWidget* view(const char* name) { return control<QTreeWidget>(*form, name); }
  std::string note() { return control<QLabel>(*form, "HartNote")->text().toStdString(); }
  std::string status() { return control<QLabel>(*form, "HartStatusLabel")->text().toStdString(); }

  // Frames the window has sent, in order.
  std::vector<std::vector<uint8_t>> sent() const {
    std::vector<std::vector<uint8_t>> frames;
    const journal::Journal& j = form->journal();
    for (size_t i = 0; i < j.size(); ++i) {
      if (j.at(i).direction == journal::Direction::Sent) frames.push_back(*j.at(i).bytes);
    }
    return frames;
  }

  // Scans, ending the window of every address without an instrument at
  // once and waiting for the answer of each one with.
  void scanWide(const std::set<size_t>& instruments, size_t cancelAt = SIZE_MAX) {
    page().requests().setAnswerWindowMs(kUnendingWindowMs);
    control<QCheckBox>(*form, "HartScanWide")->setChecked(true);
    click("HartScanButton");
    while (running()) {
      const size_t step = page().requests().currentStep();
      if (step == cancelAt) {
        control<QPushButton>(*form, "HartProgressCancel")->click();
      } else if (instruments.count(step)) {
        ASSERT_TRUE(pumpUntil([&] { return !running() || page().requests().currentStep() != step; })) << step;
      } else {
        page().endAnswerWindow();
      }
    }
  }

  // The Transparent Mode page's identity read addresses the instrument.
  void identify() {
    click("Button7");
    ASSERT_TRUE(pumpUntil([this] { return form->engine().pendingCode() == 0; }));
    ASSERT_EQ(text("Edit32"), "1193046");
  }

  // As before any sequence: nothing pending, the port open and given back.
  void expectEngineAsBefore() {
    EXPECT_FALSE(running());
    EXPECT_FALSE(form->link().claimed());
    EXPECT_TRUE(form->engine().portOpen());
    EXPECT_TRUE(form->link().isOpen());
    EXPECT_EQ(form->engine().pendingCode(), 0);
    EXPECT_FALSE(timer("Timer3")->isActive());
    EXPECT_FALSE(timer("SequencerTimer")->isActive());
    EXPECT_EQ(text("Edit8"), "");
    EXPECT_EQ(memo(), "");
    EXPECT_FALSE(form->findChild<QWidget*>("HartProgress")->isVisible());
  }

  std::vector<QStringList> rows(const char* name) {
    std::vector<QStringList> out;
    QTreeWidget* tree = view(name);
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      QStringList row;
      for (int c = 0; c < tree->columnCount(); ++c) row << tree->topLevelItem(i)->text(c);
      out.push_back(row);
    }
    return out;
  }

  // The properties view's group of `command`: its rows as name | value | unit.
  std::vector<QString> group(int command) {
    std::vector<QString> out;
    QTreeWidget* tree = view("HartPropertiesView");
    for (int i = 0; i < tree->topLevelItemCount(); ++i) {
      QTreeWidgetItem* header = tree->topLevelItem(i);
      if (!header->text(0).startsWith(QStringLiteral("Command %1:").arg(command))) continue;
      for (int r = 0; r < header->childCount(); ++r) {
        out.push_back(header->child(r)->text(0) + " | " + header->child(r)->text(1) + " | " +
                      header->child(r)->text(2));
      }
    }
    return out;
  }

  bool answerYes = true;
  std::vector<std::string> questions;
};

TEST_F(HartPageTest, TheScanListsEveryInstrumentAndARowAddressesItAsAnIdentityReadWould) {
  sim::SimProcess loop({"--hart-instruments", "0,5,20"});
  openPort(loop.path());
  scanWide({0, 5, 20});

  const auto frames = sent();
  ASSERT_EQ(frames.size(), 64u);
  EXPECT_EQ(frames[0], std::vector<uint8_t>({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82}));
  EXPECT_EQ(frames[63], std::vector<uint8_t>({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0xBF, 0x00, 0x00, 0xBD}));
  EXPECT_EQ(rows("HartScanView"),
            (std::vector<QStringList>{{"0", "38 (0x26)", "6 (0x06)", "1193046 (0x123456)", "7", "5"},
                                      {"5", "38 (0x26)", "6 (0x06)", "1193047 (0x123457)", "7", "5"},
                                      {"20", "38 (0x26)", "6 (0x06)", "1193048 (0x123458)", "7", "5"}}));
  EXPECT_EQ(note(), "Polling addresses 0 \u2026 63 scanned: 3 instruments found (at 0, 5, 20).");
  EXPECT_EQ(status(), "Response 0 (success); status 00");
  EXPECT_TRUE(messages.empty()) << lastMessage();
  expectEngineAsBefore();

  // Above 15 ComboBox30 and ComboBox27 have no item for it; at 5 both do.
  struct Case {
    int row;
    int comboBox30;
    int comboBox27;
    const char* deviceId;
    std::vector<uint8_t> address;  // of the next long frame
  };
  for (const Case& c : {Case{2, -1, -1, "1193048", {0xA6, 0x06, 0x12, 0x34, 0x58}},
                        Case{1, 5, 5, "1193047", {0xA6, 0x06, 0x12, 0x34, 0x57}}}) {
    view("HartScanView")->setCurrentItem(view("HartScanView")->topLevelItem(c.row));
    EXPECT_EQ(index("ComboBox30"), c.comboBox30) << c.row;
    EXPECT_EQ(index("ComboBox27"), c.comboBox27) << c.row;
    EXPECT_EQ(QStringList({text("Edit28"), text("Edit29"), text("Edit31"), text("Edit32")}),
              QStringList({"38", "6", "5", c.deviceId}));
    click("Button16");  // command 3 goes to the chosen instrument
    EXPECT_TRUE(text("Edit8").startsWith(QStringLiteral("FF FF FF FF FF FF FF 82 ") +
                                         QString::fromStdString(bytesDisplay(c.address))))
        << text("Edit8").toStdString();
    ASSERT_TRUE(pumpUntil([this] { return form->engine().pendingCode() == 0; }));
  }
  EXPECT_TRUE(messages.empty()) << lastMessage();
}

TEST_F(HartPageTest, ACancelledScanKeepsWhatItFoundAndLeavesNothingPending) {
  sim::SimProcess loop({"--hart-instruments", "0,5,20"});
  openPort(loop.path());
  scanWide({0, 5, 20}, 7);

  EXPECT_EQ(sent().size(), 8u);  // addresses 0 .. 7, nothing after the cancel
  EXPECT_EQ(rows("HartScanView").size(), 2u);
  EXPECT_EQ(note(), "Scan cancelled at polling address 7 of 0 \u2026 63: 2 instruments found before (at 0, 5).");
  EXPECT_TRUE(messages.empty()) << lastMessage();
  expectEngineAsBefore();
  // The engine has its line back: the communication query is answered.
  query("Button6", "QV:");
  EXPECT_TRUE(messages.empty()) << lastMessage();
}

TEST_F(HartPageTest, ASilentLoopSaysSoOnceAndLeavesNothingPending) {
  sim::SimProcess silent({"--no-reply"});
  openPort(silent.path());
  // Nothing can come: any window shows the same.
  page().requests().setAnswerWindowMs(10);
  click("HartScanButton");
  ASSERT_TRUE(finished());
  EXPECT_EQ(sent().size(), 16u);
  EXPECT_TRUE(rows("HartScanView").empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].rfind("No instrument answered at polling addresses 0 \u2026 15. ", 0), 0u) << messages[0];
  expectEngineAsBefore();
}

TEST_F(HartPageTest, ReadAllShowsEachCommandWhateverTheAnswerAndUsesNoDataOfABadReply) {
  sim::SimProcess instrument({"--hart-response", "64:15", "--hart-bad-check-on", "13", "--frozen", "30"});
  openPort(instrument.path());
  click("HartReadAll");
  ASSERT_TRUE(finished());

  QStringList titles;
  for (int i = 0; i < view("HartPropertiesView")->topLevelItemCount(); ++i) {
    titles << view("HartPropertiesView")->topLevelItem(i)->text(0).section(':', 0, 0);
  }
  EXPECT_EQ(titles, QStringList({"Command 0", "Command 1", "Command 2", "Command 3", "Command 12", "Command 13",
                                 "Command 15", "Command 20", "Command 48"}));
  EXPECT_EQ(group(15), std::vector<QString>{"Response | 64: command not implemented | "});
  ASSERT_EQ(group(13).size(), 1u);
  EXPECT_TRUE(group(13)[0].startsWith("Reply | check byte ")) << group(13)[0].toStdString();
  EXPECT_TRUE(group(13)[0].endsWith("; its data is not used | ")) << group(13)[0].toStdString();
  EXPECT_EQ(group(20), std::vector<QString>{"Long tag | Raw water inlet flow FT-101 | "});
  EXPECT_EQ(note(), "Read All: answered 1, 2, 3, 12, 20, 48; refused 15; not usable 13.");
  // The message was read; the tag's reply was not usable and fills nothing.
  EXPECT_EQ(text("HartMessageEdit"), "FLOW METER CALIBRATED 0-100 M3/H");
  EXPECT_EQ(text("HartTagEdit"), "");
  // Command 0 went first and left the identity as an identity read does.
  EXPECT_EQ(QStringList({text("Edit28"), text("Edit29"), text("Edit31"), text("Edit32")}),
            QStringList({"38", "6", "5", "1193046"}));
  EXPECT_EQ(index("ComboBox27"), 0);
  EXPECT_EQ(sent().size(), 9u);
  EXPECT_TRUE(messages.empty()) << lastMessage();
  expectEngineAsBefore();
}

TEST_F(HartPageTest, TheStatusLabelFollowsTheLastHartReplyOfAnyPage) {
  sim::SimProcess instrument({"--hart-status", "40"});
  openPort(instrument.path());
  click("Button7");  // the Transparent Mode page's identity read
  ASSERT_TRUE(pumpUntil([this] { return form->engine().pendingCode() == 0; }));
  EXPECT_EQ(status(), "Response 0 (success); status 40: configuration changed");
  query("Button6", "QV:");  // a module reply, not HART: the label keeps the last HART one
  EXPECT_EQ(status(), "Response 0 (success); status 40: configuration changed");
}

// Refused before anything is sent, whatever the page was asked to do.
struct Refusal {
  const char* name;
  const char* button;
  bool portOpen;        // else closed
  const char* message;  // shown
};

std::ostream& operator<<(std::ostream& os, const Refusal& r) { return os << r.name; }

class HartPageRefusal : public HartPageTest, public ::testing::WithParamInterface<Refusal> {};

TEST_P(HartPageRefusal, NothingIsSentAndTheMessageSaysWhy) {
  const Refusal& r = GetParam();
  sim::SimProcess module({"--no-reply"});
  size_t before = 0;
  if (r.portOpen) {
    openPort(module.path());
    click("Button6");  // its reply is awaited: Timer3 runs
    ASSERT_TRUE(timer("Timer3")->isActive());
    before = sent().size();
  }
  type("HartTagEdit", "FT-101");
  type("HartMessageEdit", "CHECKED");
  click(r.button);
  EXPECT_EQ(sent().size(), before);
  EXPECT_EQ(messages, std::vector<std::string>{r.message});
  EXPECT_TRUE(questions.empty());
  EXPECT_FALSE(running());
  EXPECT_FALSE(form->link().claimed());
}

INSTANTIATE_TEST_SUITE_P(
    Page, HartPageRefusal,
    ::testing::Values(Refusal{"ScanClosed", "HartScanButton", false, requests::kPortClosedMessage},
                      Refusal{"ReadAllClosed", "HartReadAll", false, requests::kPortClosedMessage},
                      Refusal{"WriteTagClosed", "HartWriteTag", false, requests::kPortClosedMessage},
                      Refusal{"WriteMessageClosed", "HartWriteMessage", false, requests::kPortClosedMessage},
                      Refusal{"ScanAwaiting", "HartScanButton", true, requests::kReplyAwaitedMessage},
                      Refusal{"ReadAllAwaiting", "HartReadAll", true, requests::kReplyAwaitedMessage},
                      Refusal{"WriteTagAwaiting", "HartWriteTag", true, requests::kReplyAwaitedMessage},
                      Refusal{"WriteMessageAwaiting", "HartWriteMessage", true, requests::kReplyAwaitedMessage}),
    [](const ::testing::TestParamInfo<Refusal>& info) { return std::string(info.param.name); });

// A write whose text cannot be sent, or that the operator declines.
struct Unsent {
  const char* name;
  const char* edit;
  const char* typed;
  const char* button;
  bool answer;          // to the question, when one is asked
  const char* message;  // shown; empty: none
  const char* note;     // empty: not looked at
};

std::ostream& operator<<(std::ostream& os, const Unsent& u) { return os << u.name; }

class HartPageUnsentWrite : public HartPageTest, public ::testing::WithParamInterface<Unsent> {};

TEST_P(HartPageUnsentWrite, SendsNothing) {
  const Unsent& u = GetParam();
  sim::SimProcess instrument;
  openPort(instrument.path());
  identify();
  const size_t before = sent().size();
  type("HartTagEdit", "FT-101");
  type("HartMessageEdit", "CHECKED");
  type(u.edit, u.typed);
  answerYes = u.answer;
  click(u.button);
  // A frame is journaled as it is handed to the port, within the click.
  QCoreApplication::processEvents();
  EXPECT_EQ(sent().size(), before);
  EXPECT_EQ(messages, *u.message ? std::vector<std::string>{u.message} : std::vector<std::string>{});
  EXPECT_EQ(questions.size(), *u.message ? 0u : 1u);
  if (*u.note) {
    EXPECT_EQ(note(), u.note);
  }
  if (!questions.empty() && std::string(u.button) == "HartWriteTag") {
    // Identified but not read: the descriptor and date go as the edits show them.
    EXPECT_NE(questions[0].find("The descriptor and date were not read from this instrument"), std::string::npos);
  }
  EXPECT_FALSE(form->link().claimed());
}

INSTANTIATE_TEST_SUITE_P(
    Page, HartPageUnsentWrite,
    ::testing::Values(
        Unsent{"TagCharacter", "HartTagEdit", "FT~101", "HartWriteTag", true,
               "The tag cannot hold '~': packed ASCII carries only A\u2013Z (lower-case letters are upper-cased), "
               "0\u20139, blank and !\"#$%&'()*+,-./:;<=>?@[\\]^_.",
               ""},
        Unsent{"TagTooLong", "HartTagEdit", "FT-1010101", "HartWriteTag", true,
               "The tag holds at most 8 characters; 'FT-1010101' has 10.", ""},
        Unsent{"DescriptorCharacter", "HartDescriptorEdit", "RAW WATER {IN}", "HartWriteTag", true,
               "The descriptor cannot hold '{': packed ASCII carries only A\u2013Z (lower-case letters are "
               "upper-cased), 0\u20139, blank and !\"#$%&'()*+,-./:;<=>?@[\\]^_.",
               ""},
        Unsent{"MessageTooLong", "HartMessageEdit", "FLOW METER CALIBRATED 0-100 M3/H!", "HartWriteMessage", true,
               "The message holds at most 32 characters; 'FLOW METER CALIBRATED 0-100 M3/H!' has 33.", ""},
        Unsent{"TagDeclined", "HartTagEdit", "FT-202", "HartWriteTag", false, "",
               "Write Tag declined: nothing was sent."},
        Unsent{"MessageDeclined", "HartMessageEdit", "CHECKED 2025", "HartWriteMessage", false, "",
               "Write Message declined: nothing was sent."}),
    [](const ::testing::TestParamInfo<Unsent>& info) { return std::string(info.param.name); });

// A confirmed write, read back: the operator is told whether the
// instrument now holds it, never only that a reply came.
struct Confirmed {
  const char* name;
  std::vector<std::string> simArgs;
  const char* verdict;  // the message's first line
};

std::ostream& operator<<(std::ostream& os, const Confirmed& c) { return os << c.name; }

class HartPageConfirmedWrite : public HartPageTest, public ::testing::WithParamInterface<Confirmed> {};

TEST_P(HartPageConfirmedWrite, IsReadBackAndSaysWhatTheInstrumentHolds) {
  const Confirmed& c = GetParam();
  sim::SimProcess instrument(c.simArgs);
  openPort(instrument.path());
  click("HartReadAll");
  ASSERT_TRUE(finished());
  // The edits hold what was read: only the tag is changed.
  EXPECT_EQ(text("HartTagEdit"), "FT-101");
  EXPECT_EQ(text("HartDescriptorEdit"), "RAW WATER INLET");
  EXPECT_EQ(control<QDateEdit>(*form, "HartDateEdit")->date(), QDate(2024, 6, 12));
  type("HartTagEdit", "ft-202");
  const size_t before = sent().size();
  click("HartWriteTag");
  ASSERT_TRUE(finished());

  ASSERT_EQ(questions.size(), 1u);
  EXPECT_EQ(questions[0],
            "Write to the instrument at polling address 0 (manufacturer id 38, device type 6, device id 1193046):\n\n"
            "Tag: \"FT-202\"\nDescriptor: \"RAW WATER INLET\"\nDate: 2024-06-12\n\n"
            "Lower-case letters are written upper-case. Send command 18 (Write Tag, Descriptor, Date)?");
  const auto frames = sent();
  ASSERT_EQ(frames.size(), before + 2);
  EXPECT_EQ(frames[before][7 + 6], 18);  // then the read back
  EXPECT_EQ(frames[before + 1][7 + 6], 13);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_EQ(messages[0].substr(0, messages[0].find('\n')), c.verdict);
  EXPECT_EQ(messages[0]
                .substr(messages[0].find('\n') + 1)
                .rfind("Command 18 (Write Tag, Descriptor, Date) was answered: ", 0),
            0u)
      << messages[0];
  expectEngineAsBefore();
}

INSTANTIATE_TEST_SUITE_P(
    Page, HartPageConfirmedWrite,
    ::testing::Values(
        Confirmed{"Held",
                  {},
                  "The instrument now holds the tag \"FT-202\", descriptor \"RAW WATER INLET\" and date 2024-06-12."},
        Confirmed{"WriteProtected",
                  {"--hart-write-protect"},
                  "The instrument does not hold what was written: it reads back tag \"FT-101\", descriptor \"RAW "
                  "WATER INLET\" and date 2024-06-12."}),
    [](const ::testing::TestParamInfo<Confirmed>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tq::ui
