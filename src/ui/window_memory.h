#pragma once
// The window's memory between runs, in the desktop's usual place for
// settings: the port and its line setting (SPREALCOM, ComboBox11,
// ComboBox10, CheckBox1, CheckBox2), the window's size, position and docks,
// the journal's filter and search, the HART page's scan range, the folder
// each file dialog was last in and the report's details. The five pages'
// other controls start as they always did. A store that cannot be read, or
// a value its control cannot take, is passed over with one line in the
// journal; nothing in it can stop the tool from starting.
#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "settings/remembered.h"

class QMainWindow;
class QSettings;

namespace tq::ui {

class WindowMemory {
 public:
  // `store`: desktopStore(), or a file of a test's own.
  explicit WindowMemory(std::unique_ptr<QSettings> store);
  ~WindowMemory();
  static std::unique_ptr<QSettings> desktopStore();

  // Forgets everything remembered (--reset-settings).
  void clear();
  // Sets the window as it was left; `journalEvent` takes the one line that
  // says what could not be taken.
  void restore(QMainWindow& window, const std::function<void(const std::string&)>& journalEvent);
  // Remembers the window as it is now.
  void save(const QMainWindow& window);
  // A port was remembered and restored.
  bool remembersPort() const { return remembered_.port.has_value(); }

  // The folder a file dialog named `dialog` ("journal", "report") starts in:
  // where it was last, else the home folder.
  QString folder(const QString& dialog) const;
  // Remembers the folder of a file chosen in `dialog`.
  void chosen(const QString& dialog, const QString& path);

 private:
  std::unique_ptr<QSettings> store_;
  settings::Remembered remembered_;
};

}  // namespace tq::ui
