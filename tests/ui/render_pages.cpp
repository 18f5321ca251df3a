// Shows the real window and saves each page as <folder>/<n>-<page>.png, so the
// layout can be reviewed without clicking through it.
// Usage: render_pages <folder> [<width>x<height>]   (a size other than the
// window's own shows how the pages behave on a smaller screen)
#include <QApplication>
#include <QDir>
#include <QTabWidget>
#include <cstdio>

#include "ui/TForm1.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("/tmp/tq580-shots");
  if (!QDir().mkpath(folder)) {
    std::fprintf(stderr, "cannot create %s\n", qPrintable(folder));
    return 1;
  }

  tq::ui::TForm1 form;
  if (argc > 2) {
    const QStringList size = QString::fromLocal8Bit(argv[2]).split('x');
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
  form.setMessageSink([](const QString& text) { std::fprintf(stderr, "message: %s\n", qPrintable(text)); });
  form.show();
  app.processEvents();

  auto* pages = form.findChild<QTabWidget*>(QStringLiteral("PageControl1"));
  if (pages == nullptr) {
    std::fprintf(stderr, "PageControl1 missing\n");
    return 1;
  }
  int failures = 0;
  for (int i = 0; i < pages->count(); ++i) {
    pages->setCurrentIndex(i);
    app.processEvents();
    const QString file =
        QStringLiteral("%1/%2-%3.png").arg(folder).arg(i + 1).arg(pages->widget(i)->objectName());
    if (form.grab().save(file)) {
      std::printf("%s\n", qPrintable(file));
    } else {
      std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
      ++failures;
    }
  }
  std::printf("window %dx%d, smallest %dx%d\n", form.width(), form.height(), form.minimumSizeHint().width(),
              form.minimumSizeHint().height());
  return failures == 0 ? 0 : 1;
}
