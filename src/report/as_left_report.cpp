#include "report/as_left_report.h"

#include <QFileInfo>
#include <QPageLayout>
#include <QPageSize>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextDocument>
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
      .arg(name.toHtmlEscaped(), value.isEmpty() ? QStringLiteral("\u2014") : value.toHtmlEscaped().replace(
                                                                                   QLatin1Char('\n'), QStringLiteral("<br>")));
}

}  // namespace

JournalCounts countJournal(const journal::Journal& journal) {
  JournalCounts c;
  for (size_t i = 0; i < journal.size(); ++i) {
    const journal::Entry& e = journal.at(i);
    if (e.direction == journal::Direction::Sent) ++c.framesSent;
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

QString reportHtml(const record::ModuleRecord& record, const Context& context) {
  using record::Source;
  const Details& d = context.details;
  QString out = QStringLiteral("<html><head><meta charset=\"utf-8\"><title>As-left report</title></head><body>");
  out += QStringLiteral("<h1>TQ580-N as-left report</h1><table cellpadding=\"2\" width=\"100%\">");
  out += detailRow(QStringLiteral("Site"), d.site) + detailRow(QStringLiteral("Loop or tag"), d.loop) +
         detailRow(QStringLiteral("Technician"), d.technician) + detailRow(QStringLiteral("Notes"), d.notes) +
         detailRow(QStringLiteral("Written"), context.written.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss t"))) +
         detailRow(QStringLiteral("Tool version"), context.toolVersion) + detailRow(QStringLiteral("Port"), context.line);
  out += QStringLiteral("</table>");

  out += section(QStringLiteral("Module"),
                 table(record, keysWhere([](const record::Key& k) { return k.source == Source::CommQuery; })));
  out += section(QStringLiteral("System parameters"),
                 table(record, keysWhere([](const record::Key& k) {
                         return k.source == Source::SystemQuery ||
                                (k.source == Source::ModbusQuery && k.device < 0);
                       })));
  for (int device = 0; device < std::max(1, std::min(context.devices, record::kMaxDevices)); ++device) {
    out += section(QStringLiteral("Device %1").arg(device),
                   table(record, keysWhere([device](const record::Key& k) { return k.device == device; })));
  }
  out += section(QStringLiteral("Relays and current outputs"),
                 table(record, keysWhere([](const record::Key& k) {
                         return k.source == Source::OutputSettings || k.source == Source::OutputValues;
                       })));
  out += section(QStringLiteral("HART instrument"),
                 table(record, keysWhere([](const record::Key& k) { return k.source == Source::HartInstrument; })));
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

QString writeReport(const QString& path, const QString& html) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) return file.errorString();
  if (QFileInfo(path).suffix().compare(QStringLiteral("pdf"), Qt::CaseInsensitive) == 0) {
    QPdfWriter pdf(&file);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(15, 15, 15, 15), QPageLayout::Millimeter);
    pdf.setTitle(QStringLiteral("TQ580-N as-left report"));
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
