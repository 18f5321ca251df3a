// File ▸ Save Report… in the real window against the simulator: the
// details, the file, and the offer of a Read Module when the module was not
// read since the port opened; the status bar names the file written; a file
// that cannot be written gets one message naming it.
#include <QFile>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QStatusBar>
#include <QTemporaryDir>

#include "link/link_arbiter.h"
#include "sim/launcher.h"
#include "ui/read_module.h"
#include "window_driver.h"

namespace tq::ui {
namespace {

class ReportTest : public WindowTest {
 protected:
  ReportTest() { answerDialogs(); }

  // The details filled in, the file and the question answered as the case says.
  void answerDialogs() {
    form->setQuestionSink([this](const QString& q) {
      questions.push_back(q.toStdString());
      return answer;
    });
    form->setSaveFileNameProvider([this] { return file; });
    form->setReportDetailsProvider([this] {
      control<QLineEdit>(*form, "ReportSite")->setText("North works");
      control<QPlainTextEdit>(*form, "ReportNotes")->setPlainText("Valve open");
      return true;
    });
  }

  std::string status() { return form->statusBar()->currentMessage().toStdString(); }
  size_t framesSent() const {
    size_t n = 0;
    for (size_t i = 0; i < form->journal().size(); ++i)
      n += form->journal().at(i).direction == journal::Direction::Sent;
    return n;
  }
  QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }

  QTemporaryDir dir;
  QString file;
  bool answer = true;
  std::vector<std::string> questions;
};

TEST_F(ReportTest, OffersAReadWritesTheFileItsExtensionNamesAndSaysSoOnTheStatusBar) {
  struct Case {
    const char* chosen;
    bool readFirst;       // the answer to the offer of a Read Module
    const char* written;  // the file that comes of it
    const char* opens;
    const char* holds;  // a value the report shows
  };
  const Case cases[] = {
      {"loop.html", true, "loop.html", "<html>", "FT-101"},  // read by the Read Module offered
      {"loop", false, "loop.pdf", "%PDF-", nullptr},         // no extension: the type chosen (PDF)
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.chosen);
    form = quickWindow(&pauses);
    form->setMessageSink([this](const QString& m) { messages.push_back(m.toStdString()); });
    answerDialogs();
    questions.clear();
    sim::SimProcess sim({"--units", "4"});
    openPort(sim.path());
    file = dir.filePath(c.chosen);
    answer = c.readFirst;
    form->findChild<QAction*>("actionSaveReport")->trigger();
    const QString written = dir.filePath(c.written);
    ASSERT_TRUE(pumpUntil([&] { return status().starts_with("Report written"); }, 15000)) << status();
    EXPECT_EQ(status(), "Report written to " + written.toStdString() + ".");
    ASSERT_EQ(questions.size(), 1u);
    EXPECT_NE(questions[0].find("not been read since the port was opened"), std::string::npos);
    EXPECT_EQ(framesSent() > 0, c.readFirst) << "a Read Module only when asked for";
    const QByteArray bytes = contents(written);
    EXPECT_TRUE(bytes.startsWith(c.opens));
    if (c.holds) {
      EXPECT_TRUE(bytes.contains(c.holds));
      EXPECT_TRUE(bytes.contains("North works"));
      EXPECT_TRUE(bytes.contains("<h2>Device 3</h2>"));
      EXPECT_FALSE(bytes.contains("<h2>Device 4</h2>"));
    }
    EXPECT_TRUE(messages.empty()) << lastMessage();
  }
}

TEST_F(ReportTest, ReadSinceTheOpenItIsWrittenWithoutAQuestionAndAFileThatCannotBeWrittenGetsOneMessage) {
  sim::SimProcess sim;
  openPort(sim.path());
  form->findChild<QAction*>("actionReadModule")->trigger();
  ASSERT_TRUE(pumpUntil([&] { return status().starts_with("Read Module:"); }, 15000)) << status();
  const std::string before = status();
  file = dir.filePath("gone/loop.pdf");
  form->findChild<QAction*>("actionSaveReport")->trigger();
  EXPECT_TRUE(questions.empty());
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_TRUE(lastMessage().starts_with("The report could not be written to " + file.toStdString() + ": "))
      << lastMessage();
  EXPECT_EQ(status(), before);
  // Cancelled details: nothing asked, nothing written.
  form->setReportDetailsProvider([] { return false; });
  file = dir.filePath("loop.pdf");
  form->findChild<QAction*>("actionSaveReport")->trigger();
  EXPECT_FALSE(QFile::exists(file));
  EXPECT_EQ(messages.size(), 1u);
}

}  // namespace
}  // namespace tq::ui
