#pragma once
// The as-left report of a module and its instrument: a header with the
// details the technician gives, the date and time, the tool's version, the
// port and its line settings; the module; its system parameters; each
// device's settings; relays and current outputs with their present values;
// the HART instrument; and the journal's counts for the session. A value
// not read says "not read", never blank or stale.
#include <QDateTime>
#include <QString>
#include <cstdint>

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
  uint64_t timeOuts = 0;   // time-outs shown
  uint64_t faulty = 0;     // blocks with a bad check byte or CRC, cut short or malformed
  uint64_t dropped = 0;    // entries the journal let go
};
JournalCounts countJournal(const journal::Journal& journal);

struct Context {
  Details details;
  QDateTime written;
  QString toolVersion;
  QString line;  // "/dev/ttyUSB0, 9600 baud, parity none", or that the port is closed
  int devices = 1;  // as the unit count read says
  JournalCounts journal;
};

// The report as HTML, the one source both forms are made from.
QString reportHtml(const record::ModuleRecord& record, const Context& context);

// Writes the report to `path`: PDF (A4, real text) when it ends in ".pdf",
// HTML otherwise. An empty string on success, else the reason.
QString writeReport(const QString& path, const QString& html);

}  // namespace tq::report
