// Shows the real window and saves each page as <folder>/<n>-<page>.png, so the
// layout can be reviewed without clicking through it.
// Usage: render_pages <folder> [<width>x<height>] [--port PATH] [--hart-port PATH] [--trend-port PATH]
//   A size other than the window's own shows how the pages behave on a
//   smaller screen. With --port (the module simulator's, say) the port is
//   opened first and each page's queries are run before its picture, so the
//   fields show real decoded values. With --hart-port (a simulator with a
//   multidrop loop) the HART Instrument page's picture is taken on that
//   port after a scan of 0 … 63, the first row chosen and Read All. With
//   --port, also the journal and the first page of the as-left report of a
//   Read Module (report.png). With
//   --trend-port (a simulator whose instrument's values move) the trend's
//   panel is shown after polling it for kTrendShotSeconds, the relay page
//   read so its limits are drawn.
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QCheckBox>
#include <QDoubleSpinBox>
#include <QTabWidget>
#include <QAction>
#include <QTreeWidget>
#include <QTimer>
#include <QTreeView>
#include <QFile>
#include <QImage>
#include <QPainter>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTextDocument>
#include <cstdio>
#include <functional>
#include <map>

#include "ui/TForm1.h"
#include "ui/journal_dock.h"
#include "ui/journal_model.h"
#include "ui/hart_page.h"
#include "ui/read_module.h"
#include "ui/trend_dock.h"

namespace {

// Runs the event loop until the request's answer was shown and decoded (or
// a bound passes), as an operator would wait before looking.
void settle(tq::ui::TForm1& form) {
  auto* timer2 = form.findChild<QTimer*>(QStringLiteral("Timer2"));
  auto* timer3 = form.findChild<QTimer*>(QStringLiteral("Timer3"));
  auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("Memo10"));
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < 5000 && (timer3->isActive() || timer2->isActive() || memo->toPlainText().isEmpty())) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

void click(tq::ui::TForm1& form, const char* button) {
  form.findChild<QAbstractButton*>(QString::fromLatin1(button))->click();
  settle(form);
}

// The HART Instrument page's loop, when given.
QString hartPort;
// The unpaced simulator answers within its block's 100 ms of silence; a
// shorter window than the line's keeps its silent addresses from taking
// over a minute.
constexpr int kUnpacedAnswerWindowMs = 400;

void waitForPage(tq::ui::TForm1& form) {
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < 120000 && form.hartPage().requests().running()) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
}

void tourHartPage(tq::ui::TForm1& form) {
  if (hartPort.isEmpty()) return;
  if (form.engine().portOpen()) form.findChild<QAbstractButton*>(QStringLiteral("Button1"))->click();
  form.findChild<QComboBox*>(QStringLiteral("SPREALCOM"))->setCurrentText(hartPort);
  form.findChild<QAbstractButton*>(QStringLiteral("Button1"))->click();
  form.hartPage().requests().setAnswerWindowMs(kUnpacedAnswerWindowMs);
  form.findChild<QCheckBox*>(QStringLiteral("HartScanWide"))->setChecked(true);
  form.findChild<QAbstractButton*>(QStringLiteral("HartScanButton"))->click();
  waitForPage(form);
  auto* rows = form.findChild<QTreeWidget*>(QStringLiteral("HartScanView"));
  if (rows->topLevelItemCount() > 0) rows->setCurrentItem(rows->topLevelItem(0));
  form.hartPage().requests().setAnswerWindowMs(std::nullopt);
  form.findChild<QAbstractButton*>(QStringLiteral("HartReadAll"))->click();
  waitForPage(form);
}

// The requests run before each page's picture, by page object name.
const std::map<QString, std::function<void(tq::ui::TForm1&)>> kPageTours = {
    {"TabSheet1",
     [](tq::ui::TForm1& f) {
       click(f, "Button6");
       click(f, "Button23");
     }},
    {"TabSheet2",
     [](tq::ui::TForm1& f) {
       click(f, "Button7");
       click(f, "Button16");
     }},
    {"TabSheet3",
     [](tq::ui::TForm1& f) {
       emit f.findChild<QComboBox*>(QStringLiteral("ComboBox41"))->activated(0);
       settle(f);
       click(f, "Button23");  // the device choice emptied the slave address the test uses
       f.findChild<QLineEdit*>(QStringLiteral("Edit7"))->setText(QStringLiteral("41 48 00 00"));
       f.findChild<QAbstractButton*>(QStringLiteral("Button13"))->click();
       click(f, "Button4");
     }},
    {"TabSheet4",
     [](tq::ui::TForm1& f) {
       click(f, "Button9");
       click(f, "Button3");
     }},
    {"TabSheetHart", tourHartPage},
};

// The journal shown below the Transparent Mode page after an identity read,
// the instrument's reply opened field by field.
bool journalShot(tq::ui::TForm1& form, QTabWidget& pages, const QString& file) {
  constexpr int kJournalHeight = 420;
  for (int i = 0; i < pages.count(); ++i) {
    if (pages.widget(i)->objectName() == QLatin1String("TabSheet2")) pages.setCurrentIndex(i);
  }
  form.resize(form.width(), form.height() + kJournalHeight);
  form.findChild<QAction*>(QStringLiteral("actionJournal"))->trigger();
  form.resizeDocks({&form.journalDock()}, {kJournalHeight}, Qt::Vertical);
  click(form, "Button7");
  tq::ui::JournalDock& dock = form.journalDock();
  dock.model().catchUp();
  auto* view = dock.findChild<QTreeView*>(QStringLiteral("JournalView"));
  const QAbstractItemModel* rows = view->model();
  for (int row = rows->rowCount() - 1; row >= 0; --row) {
    const QModelIndex index = rows->index(row, tq::ui::JournalModel::SummaryColumn);
    if (!index.data().toString().startsWith(QStringLiteral("HART reply"))) continue;
    view->expand(index.siblingAtColumn(0));
    view->scrollTo(index.siblingAtColumn(0), QAbstractItemView::PositionAtTop);
    view->selectionModel()->select(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    break;
  }
  QApplication::processEvents();
  return form.grab().save(file);
}

// The first page of the as-left report of a Read Module, as File ▸ Save
// Report… writes it (HTML), drawn on an A4 page at 96 dpi.
bool reportShot(tq::ui::TForm1& form, const QString& port, const QString& file) {
  constexpr int kPageWidth = 794;  // A4 at 96 dpi
  constexpr int kPageHeight = 1123;
  constexpr int kMargin = 57;  // 15 mm, as the PDF
  // The module of the pages' shots, not the HART page's loop.
  auto* open = form.findChild<QAbstractButton*>(QStringLiteral("Button1"));
  if (form.engine().portOpen()) open->click();
  form.findChild<QComboBox*>(QStringLiteral("SPREALCOM"))->setCurrentText(port);
  open->click();
  if (!form.engine().portOpen()) return false;
  form.statusBar()->clearMessage();
  form.findChild<QAction*>(QStringLiteral("actionReadModule"))->trigger();
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < 60000 && (form.readModule().reader().running() ||
                                       !form.statusBar()->currentMessage().startsWith(QStringLiteral("Read Module")))) {
    QApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  QTemporaryDir dir;
  const QString html = dir.filePath(QStringLiteral("report.html"));
  form.setReportDetailsProvider([&form] {
    form.findChild<QLineEdit*>(QStringLiteral("ReportSite"))->setText(QStringLiteral("North works, raw water intake"));
    form.findChild<QLineEdit*>(QStringLiteral("ReportLoop"))->setText(QStringLiteral("FT-101"));
    form.findChild<QLineEdit*>(QStringLiteral("ReportTechnician"))->setText(QStringLiteral("A. Rivera"));
    form.findChild<QPlainTextEdit*>(QStringLiteral("ReportNotes"))
        ->setPlainText(QStringLiteral("Loop checked at 4, 12 and 20 mA with the valve open."));
    return true;
  });
  form.setSaveFileNameProvider([html] { return html; });
  form.findChild<QAction*>(QStringLiteral("actionSaveReport"))->trigger();
  QFile written(html);
  if (!written.open(QIODevice::ReadOnly)) return false;
  QTextDocument document;
  document.setHtml(QString::fromUtf8(written.readAll()));
  document.setTextWidth(kPageWidth - 2 * kMargin);
  QImage page(kPageWidth, kPageHeight, QImage::Format_RGB32);
  page.fill(Qt::white);
  QPainter painter(&page);
  painter.translate(kMargin, kMargin);
  document.drawContents(&painter, QRectF(0, 0, kPageWidth - 2 * kMargin, kPageHeight - 2 * kMargin));
  painter.end();
  return page.save(file);
}

// The trend's panel below the pages after polling a moving instrument.
constexpr int kTrendShotSeconds = 45;
constexpr int kTrendHeight = 520;

bool trendShot(tq::ui::TForm1& form, const QString& trendPort, const QString& file) {
  if (form.engine().portOpen()) form.findChild<QAbstractButton*>(QStringLiteral("Button1"))->click();
  form.findChild<QComboBox*>(QStringLiteral("SPREALCOM"))->setCurrentText(trendPort);
  form.findChild<QAbstractButton*>(QStringLiteral("Button1"))->click();
  if (!form.engine().portOpen()) return false;
  click(form, "Button7");  // the identity read addresses the instrument
  click(form, "Button3");  // the relay page: its alarm limits are drawn
  if (form.journalDock().isVisible()) form.findChild<QAction*>(QStringLiteral("actionJournal"))->trigger();
  form.resize(form.width(), form.height() + kTrendHeight);
  form.findChild<QAction*>(QStringLiteral("actionTrend"))->trigger();
  form.resizeDocks({&form.trendDock()}, {kTrendHeight}, Qt::Vertical);
  form.findChild<QComboBox*>(QStringLiteral("TrendSpan"))->setCurrentIndex(0);  // the last minute
  form.findChild<QDoubleSpinBox*>(QStringLiteral("TrendInterval"))->setValue(0.5);
  form.findChild<QAbstractButton*>(QStringLiteral("TrendRunButton"))->click();
  QElapsedTimer elapsed;
  elapsed.start();
  while (elapsed.elapsed() < kTrendShotSeconds * 1000) QApplication::processEvents(QEventLoop::AllEvents, 50);
  form.findChild<QAbstractButton*>(QStringLiteral("TrendRunButton"))->click();
  QApplication::processEvents();
  return form.grab().save(file);
}

}  // namespace

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QStringList args = app.arguments().mid(1);
  QString port;
  if (const qsizetype at = args.indexOf(QStringLiteral("--port")); at >= 0 && at + 1 < args.size()) {
    port = args.at(at + 1);
    args.remove(at, 2);
  }
  if (const qsizetype at = args.indexOf(QStringLiteral("--hart-port")); at >= 0 && at + 1 < args.size()) {
    hartPort = args.at(at + 1);
    args.remove(at, 2);
  }
  QString trendPort;
  if (const qsizetype at = args.indexOf(QStringLiteral("--trend-port")); at >= 0 && at + 1 < args.size()) {
    trendPort = args.at(at + 1);
    args.remove(at, 2);
  }
  const QString folder = args.value(0, QStringLiteral("/tmp/tq580-shots"));
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return 1;
  }

  tq::ui::TForm1 form;
  if (args.size() > 1) {
    const QStringList size = args.at(1).split('x');
    bool okWidth = false;
    bool okHeight = false;
    const int width = size.value(0).toInt(&okWidth);
    const int height = size.value(1).toInt(&okHeight);
    if (size.size() != 2 || !okWidth || !okHeight || width <= 0 || height <= 0) {
      std::fprintf(stderr, "size must read <width>x<height>, e.g. 900x560\n");
      return 2;
    }
    form.resize(width, height);
  }
  int messages = 0;
  form.setMessageSink([&](const QString& text) {
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    ++messages;
  });
  form.show();
  app.processEvents();

  if (!port.isEmpty()) {
    form.findChild<QComboBox*>(QStringLiteral("SPREALCOM"))->setCurrentText(port);
    form.findChild<QAbstractButton*>(QStringLiteral("Button1"))->click();
    if (!form.engine().portOpen()) return 1;
  }

  auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  if (pages == nullptr) {
    std::fprintf(stderr, "PageControl1 missing\n");
    return 1;
  }
  int failures = 0;
  // Names each picture written, or says it could not be.
  auto written = [&failures](bool saved, const QString& file) {
    if (saved) {
      std::printf("%s\n", qPrintable(file));
    } else {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      ++failures;
    }
  };
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    const QString name = pages->widget(i)->objectName();
    const bool toured = name == QLatin1String("TabSheetHart") ? !hartPort.isEmpty() : !port.isEmpty();
    if (toured && kPageTours.count(name)) kPageTours.at(name)(form);
    app.processEvents();
    const QString file = QStringLiteral("%1/%2-%3.png").arg(folder).arg(i + 1).arg(name);
    written(form.grab().save(file), file);
  }
  if (!port.isEmpty()) {
    const QString file = QStringLiteral("%1/journal.png").arg(folder);
    written(journalShot(form, *pages, file), file);
    const QString report = QStringLiteral("%1/report.png").arg(folder);
    written(reportShot(form, port, report), report);
  }
  if (!trendPort.isEmpty()) {
    const QString file = QStringLiteral("%1/trend.png").arg(folder);
    written(trendShot(form, trendPort, file), file);
  }
  std::printf("window %dx%d, smallest %dx%d\n", form.width(), form.height(), form.minimumSizeHint().width(),
              form.minimumSizeHint().height());
  return failures == 0 && messages == 0 ? 0 : 1;
}
