#include "ui/help.h"

#include <QCoreApplication>
#include <QDialog>
#include <QDir>
#include <QFileInfo>
#include <QTextBrowser>
#include <QUrl>
#include <QVBoxLayout>

namespace tq::ui {

namespace {

constexpr const char* kGuideName = "guide.md";
constexpr int kViewerWidth = 900;
constexpr int kViewerHeight = 700;

}  // namespace

QStringList userGuideCandidates() {
  const QString programDir = QCoreApplication::applicationDirPath();
  return {QDir::cleanPath(programDir + QStringLiteral("/../share/doc/tq580/") + kGuideName),
          QStringLiteral(TQ_SOURCE_DIR "/docs/") + kGuideName};
}

QString findUserGuide() {
  for (const QString& path : userGuideCandidates()) {
    if (QFileInfo(path).isReadable()) return path;
  }
  return {};
}

bool showUserGuide(QWidget* parent) {
  const QString path = findUserGuide();
  if (path.isEmpty()) return false;
  // One viewer: asked again, it comes to the front.
  auto* viewer = parent ? parent->findChild<QDialog*>(QStringLiteral("UserGuideViewer")) : nullptr;
  if (!viewer) {
    viewer = new QDialog(parent);
    viewer->setObjectName(QStringLiteral("UserGuideViewer"));
    viewer->setWindowTitle(QStringLiteral("TQ580-N User Guide"));
    viewer->resize(kViewerWidth, kViewerHeight);
    auto* browser = new QTextBrowser(viewer);
    browser->setOpenExternalLinks(true);
    browser->setSource(QUrl::fromLocalFile(path), QTextDocument::MarkdownResource);
    auto* layout = new QVBoxLayout(viewer);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(browser);
  }
  viewer->show();
  viewer->raise();
  viewer->activateWindow();
  return true;
}

QString aboutText() {
  return QStringLiteral(
             "<h3>TQ580-N configuration and test tool</h3>"
             "<p>Version %1, built %2.<br>Qt %3 (built with %4).</p>"
             "<p>Reads and writes the settings of the TQ580-N module over a serial port, talks HART to "
             "the instrument behind it and sends MODBUS RTU test requests.</p>"
             "<p>Licence: proprietary. Use with the TQ580-N module and its simulator.</p>")
      .arg(QStringLiteral(TQ_VERSION), QStringLiteral(__DATE__), QString::fromLatin1(qVersion()),
           QStringLiteral(QT_VERSION_STR));
}

}  // namespace tq::ui
