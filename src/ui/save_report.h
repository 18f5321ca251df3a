#pragma once
// File ▸ "Save Report…" (`actionSaveReport`): the details
// (ReportDetailsDialog), then the file (its extension chooses PDF or HTML),
// then, when the module was not read since the port was opened, a question
// offering a Read Module first; then the as-left report is written. The
// status bar names the file written; a file that cannot be written gets one
// message naming it and the reason.
#include <QObject>
#include <QString>
#include <functional>

#include "report/as_left_report.h"

class QWidget;

namespace tq::journal {
class Journal;
}

namespace tq::link {
class LinkArbiter;
}

namespace tq::ui {

class ReadModule;

class SaveReport : public QObject {
  Q_OBJECT

 public:
  struct Host {
    link::LinkArbiter& link;
    const journal::Journal& journal;
    ReadModule& readModule;
    const record::ModuleRecord& record;
    std::function<bool()> readSinceOpen;  // a Read Module ended since the port was opened
    // The details asked for; nullopt: the operator cancelled.
    std::function<std::optional<report::Details>()> askDetails;
    // The file chosen (empty: cancelled) and the type chosen with it.
    std::function<QString(report::Format* type)> askFile;
    std::function<bool(const QString&)> ask;
    std::function<void(const QString&)> showMessage;
    std::function<void(const QString&)> showStatus;
  };

  explicit SaveReport(Host host);

  void save();

 private:
  void write(const QString& path, report::Format format, const report::Details& details);

  Host host_;
};

}  // namespace tq::ui
