// The as-left report: each section and the values read in its text, "not
// read" where nothing came, the file's form chosen by its extension, a PDF
// written as one, and a file that cannot be written named with its reason.
#include "report/as_left_report.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

namespace tq::report {
namespace {

const record::Clock::time_point kReadAt = record::Clock::time_point(std::chrono::seconds(1'718'000'000));

// A module of four units read in part, its instrument with them.
record::ModuleRecord sampleRecord() {
  record::ModuleRecord r;
  const std::pair<const char*, const char*> values[] = {
      {"module.interface", "RS485"},
      {"module.units", "4 Unit"},
      {"system.slave_address", "007"},
      {"modbus.coefficient", "0.001"},
      {"device3.buffer_clear", "060"},
      {"relay2.limit", "012.5"},
      {"output_a.present", "12.34"},
      {"hart.tag", "FT-101"},
      {"hart.descriptor", "RAW WATER"},
      {"hart.upper_range_value", "250 m3/h"},
      {"hart.damping", "0.5 s"},
      {"hart.primary_variable", "42.5 m3/h"},
      {"hart.device_status", "configuration changed"},
      {"hart.extended_device_status", "maintenance required"},
      {"hart.analog_channel_saturated", "01"},
  };
  for (const auto& [key, text] : values) r.set(key, text, kReadAt);
  return r;
}

Context sampleContext() {
  Context c;
  c.details = {"North works", "FT-101", "A. Rivera", "Valve open\nchecked twice"};
  c.written = QDateTime(QDate(2024, 6, 12), QTime(10, 30));
  c.toolVersion = "1.0";
  c.line = "/dev/ttyUSB0, 9600 baud, parity none, open";
  c.journal = {.framesSent = 17, .blocksReceived = 16, .timeOuts = 1, .faulty = 2};
  return c;
}

// The text of a table row: label cell, then value cell.
QString row(const QString& label, const QString& value) {
  return QStringLiteral("%1</td><td>%2</td>").arg(label, value);
}

TEST(AsLeftReport, HoldsEverySectionTheDetailsAndTheValuesReadAndSaysNotReadElsewhere) {
  const QString html = reportHtml(sampleRecord(), sampleContext());
  const QString expected[] = {
      // The header.
      "<h1>TQ580-N as-left report</h1>",
      "North works",
      "A. Rivera",
      "Valve open<br>checked twice",
      "2024-06-12 10:30:00",
      "/dev/ttyUSB0, 9600 baud, parity none, open",
      ">1.0<",
      // Each section, and a value read in it.
      "<h2>Module</h2>",
      row("Interface Type", "RS485"),
      "<h2>System parameters</h2>",
      row("MODBUS Slave Address", "007"),
      "<h2>Device 0</h2>",
      "<h2>Device 3</h2>",
      row("Buffer Clear Time", "060"),
      "<h2>Relays and current outputs</h2>",
      row("IADOUT present value", "12.34"),
      "<h2>HART instrument</h2>",
      "<h3>Identity</h3>",
      "<h3>Variables</h3>",
      row("Primary variable", "42.5 m3/h"),
      "<h3>Tag, descriptor, date and message</h3>",
      row("Tag", "FT-101"),
      row("Descriptor", "RAW WATER"),
      "<h3>Range, damping and units</h3>",
      row("Upper range value", "250 m3/h"),
      row("Damping", "0.5 s"),
      "<h3>Status</h3>",
      row("Device status", "configuration changed"),
      row("Extended device status", "maintenance required"),
      row("Analog channel saturated", "01"),
      // Values not read, never blank.
      row("Message", "<i>not read</i>"),
      row("Device id", "<i>not read</i>"),
      // The journal's counts.
      "<h2>Exchanges this session</h2>",
      row("<b>Frames sent</b>", "17"),
      row("<b>Time-outs</b>", "1"),
      row("<b>Bad check bytes, CRCs or cut-short frames</b>", "2"),
  };
  for (const QString& text : expected) EXPECT_TRUE(html.contains(text)) << text.toStdString();
  // As many devices as the unit count read says.
  EXPECT_FALSE(html.contains("<h2>Device 4</h2>"));
  EXPECT_TRUE(html.contains("Module read</b></td><td>2024-06-10")) << "the time read";
}

TEST(AsLeftReport, SaysWhenTheValuesWereReadAndWhetherSinceThePortOpened) {
  Context c = sampleContext();
  EXPECT_TRUE(reportHtml({}, c).contains(row("<b>Module read</b>", "not read")));
  c.readSinceOpen = false;
  EXPECT_TRUE(reportHtml(sampleRecord(), c).contains("it may be another module"));
  // Text a technician types is text, never markup.
  c.details.site = "<b>Plant</b> & co";
  EXPECT_TRUE(reportHtml({}, c).contains("&lt;b&gt;Plant&lt;/b&gt; &amp; co"));
}

TEST(AsLeftReport, ShowsTheDevicesTheUnitCountSaysOrUpToTheLastRead) {
  struct Case {
    const char* units;  // nullptr: not read
    const char* deviceRead;
    int devices;
  };
  const Case cases[] = {{"8 Unit", nullptr, 8},
                        {"1 Unit", nullptr, 1},
                        {nullptr, "device2.enable", 3},
                        {nullptr, nullptr, 1},
                        {"", "device5.enable", 6}};  // "": an item the list lacks
  for (const Case& c : cases) {
    record::ModuleRecord r;
    if (c.units) r.set("module.units", c.units, kReadAt);
    if (c.deviceRead) r.set(c.deviceRead, "Close", kReadAt);
    EXPECT_EQ(reportedDevices(r), c.devices) << (c.units ? c.units : "not read");
  }
}

TEST(AsLeftReport, TheExtensionChoosesTheFormAndTheTypeChosenNamesAFileWithoutOne) {
  struct Case {
    const char* chosen;
    Format type;
    const char* path;
    Format format;
  };
  const Case cases[] = {
      {"/r/pump.pdf", Format::Html, "/r/pump.pdf", Format::Pdf},
      {"/r/pump.HTML", Format::Pdf, "/r/pump.HTML", Format::Html},
      {"/r/pump.htm", Format::Pdf, "/r/pump.htm", Format::Html},
      {"/r/pump", Format::Html, "/r/pump.html", Format::Html},
      {"/r/pump", Format::Pdf, "/r/pump.pdf", Format::Pdf},
      {"/r/loop 3.1", Format::Pdf, "/r/loop 3.1.pdf", Format::Pdf},  // a dot in the name is no extension
  };
  for (const Case& c : cases) {
    const QString path = reportPath(c.chosen, c.type);
    EXPECT_EQ(path, c.path);
    EXPECT_EQ(formatOfName(path), c.format) << c.chosen;
  }
}

TEST(AsLeftReport, WritesPdfAndHtmlAndNamesTheReasonWhenAFileCannotBeWritten) {
  QTemporaryDir dir;
  const QString html = reportHtml(sampleRecord(), sampleContext());
  struct Case {
    const char* name;
    Format format;
    const char* opens;
  };
  for (const Case& c : {Case{"r.pdf", Format::Pdf, "%PDF-"}, Case{"r.html", Format::Html, "<html>"}}) {
    const QString path = dir.filePath(c.name);
    ASSERT_EQ(writeReport(path, html, c.format), QString()) << c.name;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    EXPECT_TRUE(bytes.startsWith(c.opens)) << c.name;
    if (c.format == Format::Html) EXPECT_TRUE(bytes.contains("FT-101"));
    // Text set in a font with its characters' map: selectable and searchable, not a picture.
    else
      EXPECT_TRUE(bytes.contains("/ToUnicode"));
    // A folder that does not exist: the reason, and no file.
    const QString nowhere = dir.filePath(QStringLiteral("gone/") + c.name);
    EXPECT_FALSE(writeReport(nowhere, html, c.format).isEmpty());
    EXPECT_FALSE(QFile::exists(nowhere));
  }
}

TEST(AsLeftReport, CountsTheJournalsExchangesTimeOutsAndFaultyBlocks) {
  journal::Journal j;
  const uint8_t request[] = {0xFF, 0xFF, 0x02, 0x80, 0x00, 0x00, 0x82};
  const uint8_t badReply[] = {0xFF, 0xFF, 0x06, 0x80, 0x00, 0x02, 0x00, 0x00, 0x00};  // check byte 00, not 84
  const uint8_t goodReply[] = {0xFF, 0xFF, 0x06, 0x80, 0x00, 0x02, 0x00, 0x00, 0x84};
  j.sent(request, {});
  j.received(badReply, {});
  j.sent(request, {});
  j.received(goodReply, {});
  j.sent(request, {});
  j.event("Time-out: Connection Timeout", {});
  j.event("Port /dev/ttyUSB0 closed", {});
  const JournalCounts c = countJournal(j);
  EXPECT_EQ(c.framesSent, 3u);
  EXPECT_EQ(c.blocksReceived, 2u);
  EXPECT_EQ(c.timeOuts, 1u);
  EXPECT_EQ(c.faulty, 1u);
}

}  // namespace
}  // namespace tq::report
