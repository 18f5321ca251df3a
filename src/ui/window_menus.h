#pragma once
// The main window's menu bar and its actions, named and bound to their keys
// in one place: File, View, Tools, Help.
class QAction;
class QMainWindow;
class QMenu;

namespace tq::ui {

struct WindowMenus {
  QMenu* file;              // menuFile
  QMenu* view;              // menuView
  QMenu* tools;             // menuTools
  QMenu* help;              // menuHelp
  QAction* saveJournal;     // actionSaveJournal, Ctrl+S
  QAction* saveProfile;     // actionSaveProfile
  QAction* saveReport;      // actionSaveReport
  QAction* journal;         // actionJournal, F12, checkable
  QAction* findModule;      // actionFindModule
  QAction* readModule;      // actionReadModule, Ctrl+R
  QAction* trend;           // actionTrend, Ctrl+T, checkable
  QAction* compareProfile;  // actionCompareProfile
  QAction* applyProfile;    // actionApplyProfile
  QAction* userGuide;       // actionUserGuide, F1
  QAction* about;           // actionAbout
};

WindowMenus buildWindowMenus(QMainWindow& window);

}  // namespace tq::ui
