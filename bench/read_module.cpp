// Read Module and the as-left report through the real window, offscreen,
// against tq580-sim paced at the line's rate (--pace, 9600 baud) with a
// module of four units and its instrument at polling address 0:
//   Read Module: from the action to its end, against the sum of the answer
//   times its steps must wait for (each from its frame written to the end
//   of its answer's block, as the journal measures it: the line, the
//   module and the block's closing silence); what is left is the tool's own
//   time between steps
//   Save Report as PDF and as HTML: from the action to the file written
//     read_module [runs]      default 5
#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QFileInfo>
#include <QStatusBar>
#include <QTemporaryDir>
#include <cstdio>

#include "bench_support.h"
#include "journal/journal.h"
#include "sim/launcher.h"
#include "ui/read_module.h"
#include "window_support.h"

using namespace tq;
using namespace tq::bench;

namespace {

constexpr int kBoundMs = 60'000;

struct Run {
  double totalMs = 0;
  double waitedMs = 0;  // the answers' times, summed
  size_t frames = 0;
  size_t answers = 0;
};

}  // namespace

int main(int argc, char** argv) {
  useOffscreenUnlessChosen();
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  QApplication app(argc, argv);
  std::printf("Read Module and the as-left report against tq580-sim paced at 9600 baud, 4 units, one instrument\n");
  std::printf("machine: %s\nstart: %s\n\n", machineNote().c_str(), loadNote().c_str());

  sim::SimProcess module({"--pace", "--units", "4"});
  WindowProbe probe(std::make_unique<NoPause>());
  ui::TForm1& form = probe.form();
  std::string failure;
  if (!probe.openPort(module.path(), &failure)) {
    std::printf("cannot open the simulator's pty: %s\n", failure.c_str());
    return 1;
  }
  auto status = [&] { return form.statusBar()->currentMessage().toStdString(); };
  requests::ModuleReader& reader = form.readModule().reader();
  const journal::Journal& journal = form.journal();

  std::vector<Run> done;
  for (int i = 0; i < runs; ++i) {
    form.statusBar()->clearMessage();
    const uint64_t firstEntry = journal.size() == 0 ? 1 : journal.at(journal.size() - 1).number + 1;
    const int64_t start = nowNs();
    form.findChild<QAction*>("actionReadModule")->trigger();
    if (!runUntil([&] { return !reader.running() && !status().empty(); }, kBoundMs)) {
      std::printf("Read Module did not end within %d ms\n", kBoundMs);
      return 1;
    }
    Run r;
    r.totalMs = (nowNs() - start) / 1e6;
    for (size_t e = 0; e < journal.size(); ++e) {
      const journal::Entry& entry = journal.at(e);
      if (entry.number < firstEntry) continue;
      if (entry.direction == journal::Direction::Sent) ++r.frames;
      if (entry.direction == journal::Direction::Received && entry.responseMs) {
        ++r.answers;
        r.waitedMs += *entry.responseMs;
      }
    }
    done.push_back(r);
    std::printf("run %d: %s\n", i + 1, status().c_str());
  }
  std::vector<double> totals, waited, ratios, overheadPerStep;
  for (const Run& r : done) {
    totals.push_back(r.totalMs);
    waited.push_back(r.waitedMs);
    ratios.push_back(r.totalMs / r.waitedMs);
    overheadPerStep.push_back((r.totalMs - r.waitedMs) / static_cast<double>(r.frames));
  }
  std::printf("\nRead Module, 4 units and the instrument: %zu frames, %zu answers a run, %d runs\n", done[0].frames,
              done[0].answers, runs);
  std::printf("  total, action to end          %s  %s\n", summary(totals, "ms", 0).c_str(), loadNote().c_str());
  std::printf("  answer times waited for, sum  %s\n", summary(waited, "ms", 0).c_str());
  std::printf("  total / sum                   %s\n", summary(ratios, "", 3).c_str());
  std::printf("  the tool's own time per step  %s\n", summary(overheadPerStep, "ms", 1).c_str());
  std::fflush(stdout);

  // The report of what was read, written by the action as the operator
  // runs it (details and file answered).
  QTemporaryDir dir;
  QString file;
  form.setReportDetailsProvider([] { return true; });
  form.setSaveFileNameProvider([&] { return file; });
  form.setQuestionSink([](const QString&) { return false; });
  for (const char* extension : {"pdf", "html"}) {
    std::vector<double> written;
    qint64 bytes = 0;
    for (int i = 0; i < 10; ++i) {
      file = dir.filePath(QStringLiteral("report-%1.%2").arg(i).arg(QLatin1String(extension)));
      form.statusBar()->clearMessage();
      const int64_t start = nowNs();
      form.findChild<QAction*>("actionSaveReport")->trigger();
      if (!status().starts_with("Report written")) {
        std::printf("the report was not written: %s %s\n", status().c_str(),
                    probe.messages().empty() ? "" : probe.messages().back().c_str());
        return 1;
      }
      written.push_back((nowNs() - start) / 1e6);
      bytes = QFileInfo(file).size();
    }
    std::printf("Save Report as %-4s (%lld bytes)   %s  %s\n", extension, static_cast<long long>(bytes),
                summary(written, "ms", 1).c_str(), loadNote().c_str());
  }
  std::printf("messages: %zu\n", probe.messages().size());
  return 0;
}
