#include "report/as_left_report.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
#include <algorithm>
#include <chrono>
#include <map>
#include <vector>

namespace tq::report {

namespace {

QString html(const std::string& text) { return QString::fromStdString(text).toHtmlEscaped(); }

// Key-table order: the keys of one section, with their labels.
std::vector<const record::Key*> keysWhere(const std::function<bool(const record::Key&)>& wanted) {
  std::vector<const record::Key*> out;
  for (const record::Key& key : record::keys()) {
    if (wanted(key)) out.push_back(&key);
  }
  return out;
}

QString table(const record::ModuleRecord& record, const std::vector<const record::Key*>& keys) {
  QString out = QStringLiteral("<table border=\"1\" cellspacing=\"0\" cellpadding=\"3\" width=\"100%\">");
  for (const record::Key* key : keys) {
    const bool read = record.read(key->name);
    out += QStringLiteral("<tr><td width=\"45%\">%1</td><td>%2</td></tr>")
               .arg(html(key->label), read ? html(record.shown(key->name))
                                           : QStringLiteral("<i>%1</i>").arg(html(std::string(record::kNotRead))));
  }
  return out + QStringLiteral("</table>");
}

QString section(const QString& title, const QString& body) {
  return QStringLiteral("<h2>%1</h2>%2").arg(title.toHtmlEscaped(), body);
}

QString detailRow(const QString& name, const QString& value) {
  return QStringLiteral("<tr><td width=\"30%\"><b>%1</b></td><td>%2</td></tr>")
      .arg(name.toHtmlEscaped(), value.isEmpty()
                                     ? QStringLiteral("\u2014")
                                     : value.toHtmlEscaped().replace(QLatin1Char('\n'), QStringLiteral("<br>")));
}

QString dateTime(record::Clock::time_point at) {
  return QDateTime::fromMSecsSinceEpoch(
             std::chrono::duration_cast<std::chrono::milliseconds>(at.time_since_epoch()).count())
      .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// When the record's values were read: from the first to the last, and a
// word when that was before the port was last opened or closed.
QString readWhen(const record::ModuleRecord& record, bool readSinceOpen) {
  std::optional<record::Clock::time_point> first, last;
  for (const record::Key& key : record::keys()) {
    const record::Value* v = record.value(key.name);
    if (!v) continue;
    if (!first || v->readAt < *first) first = v->readAt;
    if (!last || v->readAt > *last) last = v->readAt;
  }
  if (!first) return QString::fromUtf8(record::kNotRead.data(), static_cast<qsizetype>(record::kNotRead.size()));
  QString when = dateTime(*first);
  if (*last != *first) when += QStringLiteral(" to ") + dateTime(*last);
  if (!readSinceOpen) when += QStringLiteral(" (before the port was last opened or closed: it may be another module)");
  return when;
}

}  // namespace

JournalCounts countJournal(const journal::Journal& journal) {
  JournalCounts c;
  for (size_t i = 0; i < journal.size(); ++i) {
    const journal::Entry& e = journal.at(i);
    if (e.direction == journal::Direction::Sent)
      ++c.framesSent;
    else if (e.direction == journal::Direction::Received) {
      ++c.blocksReceived;
      c.faulty += e.bad;
    } else if (e.summary.starts_with("Time-out")) {
      ++c.timeOuts;
    }
  }
  c.dropped = journal.dropped();
  return c;
}

int reportedDevices(const record::ModuleRecord& record) {
  if (const record::Value* units = record.value("module.units")) {
    // "1 Unit", "4 Unit", "8 Unit"; an item the list does not hold selects nothing.
    bool ok = false;
    const int n = QString::fromStdString(units->text).section(QLatin1Char(' '), 0, 0).toInt(&ok);
    if (ok && n >= 1 && n <= record::kMaxDevices) return n;
  }
  int devices = 1;
  for (const record::Key& key : record::keys()) {
    if (key.device >= 0 && record.read(key.name)) devices = std::max(devices, key.device + 1);
  }
  return devices;
}

QString reportHtml(const record::ModuleRecord& record, const Context& context) {
  using record::Source;
  const Details& d = context.details;
  QString out = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>As-left report</title></head><body>");
  out += QStringLiteral("<h1>TQ580-N as-left report</h1><table cellpadding=\"2\" width=\"100%\">");
  out += detailRow(QStringLiteral("Site"), d.site) + detailRow(QStringLiteral("Loop or tag"), d.loop) +
         detailRow(QStringLiteral("Technician"), d.technician) + detailRow(QStringLiteral("Notes"), d.notes) +
         detailRow(QStringLiteral("Written"), context.written.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))) +
         detailRow(QStringLiteral("Tool version"), context.toolVersion) +
         detailRow(QStringLiteral("Port"), context.line) +
         detailRow(QStringLiteral("Module read"), readWhen(record, context.readSinceOpen));
  out += QStringLiteral("</table>");

  out += section(QStringLiteral("Module"),
                 table(record, keysWhere([](const record::Key& k) { return k.source == Source::CommQuery; })));
  out += section(QStringLiteral("System parameters"), table(record, keysWhere([](const record::Key& k) {
                                                              return k.source == Source::SystemQuery ||
                                                                     (k.source == Source::ModbusQuery && k.device < 0);
                                                            })));
  const int devices = reportedDevices(record);
  for (int device = 0; device < devices; ++device) {
    out += section(QStringLiteral("Device %1").arg(device),
                   table(record, keysWhere([device](const record::Key& k) { return k.device == device; })));
  }
  out += section(QStringLiteral("Relays and current outputs"), table(record, keysWhere([](const record::Key& k) {
                                                                       return k.source == Source::OutputSettings ||
                                                                              k.source == Source::OutputValues;
                                                                     })));

  // The instrument, a table per part, by the command that reads it.
  struct Part {
    const char* title;
    std::initializer_list<uint8_t> commands;
  };
  const Part parts[] = {{"Identity", {0}},
                        {"Variables", {1, 2, 3}},
                        {"Tag, descriptor, date and message", {12, 13, 20}},
                        {"Range, damping and units", {15}},
                        {"Status", {48}}};
  QString hart;
  for (const Part& part : parts) {
    hart += QStringLiteral("<h3>%1</h3>").arg(QLatin1String(part.title)) +
            table(record, keysWhere([&part](const record::Key& k) {
                    return k.source == Source::HartInstrument &&
                           std::find(part.commands.begin(), part.commands.end(), k.hartCommand) != part.commands.end();
                  }));
  }
  out += section(QStringLiteral("HART instrument"), hart);

  const JournalCounts& j = context.journal;
  QString counts = QStringLiteral("<table cellpadding=\"2\">");
  counts += detailRow(QStringLiteral("Frames sent"), QString::number(j.framesSent)) +
            detailRow(QStringLiteral("Blocks received"), QString::number(j.blocksReceived)) +
            detailRow(QStringLiteral("Time-outs"), QString::number(j.timeOuts)) +
            detailRow(QStringLiteral("Bad check bytes, CRCs or cut-short frames"), QString::number(j.faulty));
  if (j.dropped > 0) {
    counts += detailRow(QStringLiteral("Older entries no longer kept"), QString::number(j.dropped));
  }
  out += section(QStringLiteral("Exchanges this session"), counts + QStringLiteral("</table>"));
  return out + QStringLiteral("</body></html>");
}

std::optional<Format> formatOfName(const QString& path) {
  const QString suffix = QFileInfo(path).suffix().toLower();
  if (suffix == QLatin1String("pdf")) return Format::Pdf;
  if (suffix == QLatin1String("html") || suffix == QLatin1String("htm")) return Format::Html;
  return std::nullopt;
}

QString reportPath(const QString& chosen, Format chosenType) {
  if (formatOfName(chosen)) return chosen;
  return chosen + (chosenType == Format::Pdf ? QStringLiteral(".pdf") : QStringLiteral(".html"));
}

QString writeReport(const QString& path, const QString& html, Format format) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (format == Format::Pdf) {
    QPdfWriter pdf(&file);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    pdf.setTitle(QStringLiteral("TQ580-N as-left report"));
    pdf.setCreator(QStringLiteral("TQ580-N configuration tool"));
    QTextDocument document;
    document.setHtml(html);
    // Text stays text: the document is printed, not painted as a picture.
    document.print(&pdf);
  } else if (file.write(html.toUtf8()) < 0) {
    return file.errorString();
  }
  if (!file.commit()) return file.errorString();
  return {};
}

}  // namespace tq::report
