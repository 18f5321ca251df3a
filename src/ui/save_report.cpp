#include "ui/save_report.h"

#include <QDateTime>

#include "link/link_arbiter.h"
#include "ui/read_module.h"

namespace tq::ui {

SaveReport::SaveReport(Host host) : host_(std::move(host)) {}

void SaveReport::save() {
  const std::optional<report::Details> details = host_.askDetails();
  if (!details) return;
  report::Format type = report::Format::Pdf;
  const QString chosen = host_.askFile(&type);
  if (chosen.isEmpty()) return;
  const QString path = report::reportPath(chosen, type);
  const report::Format format = report::formatOfName(path).value_or(type);

  if (host_.link.isOpen() && !host_.readSinceOpen() &&
      host_.ask(QStringLiteral("The module has not been read since the port was opened. Read it first (Tools "
                               "\u25b8 Read Module), then write the report?\n\nNo writes the report from what the "
                               "tool holds now; a value it has not read says \"not read\"."))) {
    host_.readModule.startThen([this, path, format, details = *details](const requests::ModuleReader::Finished& f) {
      if (f.outcome == requests::ModuleReader::Outcome::Cancelled) {
        host_.showStatus(QStringLiteral("Save Report cancelled with Read Module: no report was written."));
        return;
      }
      // A step or the whole module unanswered: the report says "not read" there.
      write(path, format, details);
    });
    // A Read Module refused has shown its message; no report is written.
    return;
  }
  write(path, format, *details);
}

void SaveReport::write(const QString& path, report::Format format, const report::Details& details) {
  report::Context context;
  context.details = details;
  context.written = QDateTime::currentDateTime();
  context.toolVersion = QStringLiteral(TQ_VERSION);
  context.line = QString::fromStdString(host_.link.setting().text()) +
                 (host_.link.isOpen() ? QStringLiteral(", open") : QStringLiteral(", closed"));
  context.readSinceOpen = host_.readSinceOpen();
  context.journal = report::countJournal(host_.journal);
  const QString reason = report::writeReport(path, report::reportHtml(host_.record, context), format);
  if (!reason.isEmpty()) {
    host_.showMessage(QStringLiteral("The report could not be written to %1: %2.").arg(path, reason));
    return;
  }
  host_.showStatus(QStringLiteral("Report written to %1.").arg(path));
}

}  // namespace tq::ui
