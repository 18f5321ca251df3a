// What a settings store may hold and what the window takes from it: a value
// its control cannot take is passed over and named, never applied.
#include "settings/remembered.h"

#include <gtest/gtest.h>

namespace tq::settings {
namespace {

TEST(Remembered, EachValueIsTakenOnlyWhenItsControlCanTakeIt) {
  struct Case {
    const char* key;
    const char* value;
    bool taken;
  };
  const Case cases[] = {
      {kPort, "/dev/serial/by-id/usb-FTDI_FT232R-if00-port0", true},
      {kPort, "COM4", true},
      {kPort, "", false},
      {kPort, "COM4\n", false},  // a control character would reach the port's name
      {kBaud, "19200", true},
      {kBaud, "15200", true},
      {kBaud, "96O0", false},
      {kBaud, "0", false},
      {kBaud, "-9600", false},
      {kBaud, "99999999999", false},
      {kParity, "2", true},
      {kParity, "3", false},  // the list holds none, odd, even
      {kParity, "-1", false},
      {kParity, "1 ", false},
      {kRts, "true", true},
      {kRts, "1", false},
      {kJournalFilter, "4", true},
      {kJournalFilter, "5", false},
      {kTrendInterval, "2.5", true},
      {kTrendInterval, "3600", true},
      {kTrendInterval, "0.4", false},  // faster than a poll and its window
      {kTrendInterval, "nan", false},
      {kTrendInterval, "2.5s", false},
      {kTrendSpan, "3", true},
      {kTrendSpan, "4", false},
      {kTrendAxes, "2", false},
      {kTrendAutoscale, "false", true},
      {kGeometry, "AdnQywADAAA=", true},
      {kGeometry, "not base64!", false},
      {"folders/journal", "/home/op/records", true},
      {"folders/journal", "records", false},  // never relative to wherever the tool started
      {"report/ReportNotes", "Loop checked\nwith the valve open", true},
      {"report/ReportSite", "North\x01", false},
      {"report/ReportTechnician", "A. Rivera", true},
      {"report/ReportLoop", "FT-101\nFT-102", false},  // only the notes run over lines
      {"report/Edit14", "005", false},                 // never another control of the window
      {"report/JournalSearch", "51", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.key) + " = " + c.value);
    std::vector<std::string> ignored;
    const Remembered r = readRemembered({{c.key, c.value}}, ignored);
    EXPECT_EQ(ignored.size(), c.taken ? 0u : 1u);
    EXPECT_EQ(!writeRemembered(r).empty(), c.taken);
    if (!c.taken) {
      ASSERT_FALSE(ignored.empty());
      EXPECT_EQ(ignored[0].rfind(std::string(c.key) + ": \"", 0), 0u) << ignored[0];
    }
  }
}

TEST(Remembered, WhatIsWrittenReadsBackTheSameAndUnknownKeysAreHarmless) {
  Remembered r;
  r.port = "/tmp/ttyTQ580";
  r.baud = "38400";
  r.parity = 2;
  r.rts = true;
  r.dtr = false;
  r.layout = "AAAA/w==";
  r.journalFilter = 2;
  r.journalSearch = "51 51";
  r.hartScanWide = true;
  r.trendInterval = 0.7;  // no exact binary fraction: written so that it reads back the same
  r.trendSpan = 0;
  r.trendAutoscale = false;
  r.folders["journal"] = "/tmp";
  r.report["ReportLoop"] = "FT-101";
  std::map<std::string, std::string> values = writeRemembered(r);
  values["later/feature"] = "anything";
  std::vector<std::string> ignored;
  EXPECT_EQ(readRemembered(values, ignored), r);
  EXPECT_TRUE(ignored.empty());
}

}  // namespace
}  // namespace tq::settings
