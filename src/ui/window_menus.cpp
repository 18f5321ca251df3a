#include "ui/window_menus.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>

namespace tq::ui {

namespace {

QMenu* menu(QMainWindow& window, const char* name, const QString& title) {
  QMenu* m = window.menuBar()->addMenu(title);
  m->setObjectName(QString::fromLatin1(name));
  return m;
}

QAction* action(QMenu* menu, const char* name, const QString& text, const QKeySequence& keys = {}) {
  QAction* a = menu->addAction(text);
  a->setObjectName(QString::fromLatin1(name));
  a->setShortcut(keys);
  return a;
}

}  // namespace

WindowMenus buildWindowMenus(QMainWindow& window) {
  WindowMenus m{};
  m.file = menu(window, "menuFile", QStringLiteral("File"));
  m.view = menu(window, "menuView", QStringLiteral("View"));
  m.tools = menu(window, "menuTools", QStringLiteral("Tools"));
  m.help = menu(window, "menuHelp", QStringLiteral("Help"));
  m.saveJournal =
      action(m.file, "actionSaveJournal", QStringLiteral("Save Journal\u2026"), QKeySequence(Qt::CTRL | Qt::Key_S));
  m.saveProfile = action(m.file, "actionSaveProfile", QStringLiteral("Save Profile\u2026"));
  m.saveReport = action(m.file, "actionSaveReport", QStringLiteral("Save Report\u2026"));
  m.journal = action(m.view, "actionJournal", QStringLiteral("Journal"), QKeySequence(Qt::Key_F12));
  m.journal->setCheckable(true);
  m.findModule = action(m.tools, "actionFindModule", QStringLiteral("Find Module\u2026"));
  m.readModule = action(m.tools, "actionReadModule", QStringLiteral("Read Module"), QKeySequence(Qt::CTRL | Qt::Key_R));
  m.trend = action(m.tools, "actionTrend", QStringLiteral("Trend"), QKeySequence(Qt::CTRL | Qt::Key_T));
  m.trend->setCheckable(true);
  m.compareProfile = action(m.tools, "actionCompareProfile", QStringLiteral("Compare With Profile\u2026"));
  m.applyProfile = action(m.tools, "actionApplyProfile", QStringLiteral("Apply Profile\u2026"));
  m.userGuide = action(m.help, "actionUserGuide", QStringLiteral("User Guide"), QKeySequence(Qt::Key_F1));
  m.about = action(m.help, "actionAbout", QStringLiteral("About"));
  return m;
}

}  // namespace tq::ui
