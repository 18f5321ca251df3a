#pragma once
// The as-left report of a module and its instrument: a header with the
// details the technician gives, the date and time, the tool's version, the
// port and its line settings and when the module was read; the module; its
// system parameters; each device's settings; relays and current outputs
// with their present values; the HART instrument (identity, variables, tag
// and texts, device information, status); and the journal's counts for the
// session. A value not read says "not read", never blank or stale.
#include <QDateTime>
#include <QString>
#include <cstdint>
#include <optional>

#include "journal/journal.h"
#include "record/module_record.h"

namespace tq::report {

struct Details {
  QString site;
  QString loop;  // loop or tag
  QString technician;
  QString notes;
};

// What the journal holds of the session (of the entries it still keeps).
struct JournalCounts {
  uint64_t framesSent = 0;
  uint64_t blocksReceived = 0;
  uint64_t timeOuts = 0;  // time-outs shown
  uint64_t faulty = 0;    // blocks with a bad check byte or CRC, cut short or malformed
  uint64_t dropped = 0;   // entries the journal let go
};
JournalCounts countJournal(const journal::Journal& journal);

struct Context {
  Details details;
  QDateTime written;
  QString toolVersion;
  QString line;  // "/dev/ttyUSB0, 9600 baud, parity none", and whether the port is open
  // Whether the record was read since the port was last opened: when not,
  // the header says its values may be of another module.
  bool readSinceOpen = true;
  JournalCounts journal;
};

// The devices the report shows: as many as the unit count read says, else
// up to the last device with a value read, at least one.
int reportedDevices(const record::ModuleRecord& record);

// The report as HTML, the one source both forms are made from.
QString reportHtml(const record::ModuleRecord& record, const Context& context);

enum class Format { Pdf, Html };
// The format a file's extension names: ".pdf" PDF, ".html" or ".htm" HTML
// (any case); nullopt for any other or none.
std::optional<Format> formatOfName(const QString& path);
// The file a report goes to: `chosen` when its extension names a format,
// else `chosen` with the extension of the type chosen in the file dialog.
QString reportPath(const QString& chosen, Format chosenType);

// Writes the report to `path` as `format`: PDF (A4, its text real text) or
// HTML (UTF-8). An older file of that name is replaced only once the new one
// is whole. An empty string on success, else the reason.
QString writeReport(const QString& path, const QString& html, Format format);

}  // namespace tq::report
