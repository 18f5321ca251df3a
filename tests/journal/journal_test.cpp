// The journal's ring: its bounds, the order and timing of its entries, and
// the forms it is saved in.
#include "journal/journal.h"

#include <gtest/gtest.h>

#include <sstream>

#include "journal/export.h"

namespace tq::journal {
namespace {

constexpr int64_t kMs = 1'000'000;  // ns

std::vector<uint8_t> bytesOf(const std::string& text) { return {text.begin(), text.end()}; }

TEST(JournalBounds, TheOldestEntriesGiveWayToEntryAndByteBounds) {
  struct Case {
    const char* name;
    Limits limits;
    std::vector<size_t> blockSizes;
    size_t kept;
    uint64_t dropped;
  };
  const Case cases[] = {
      {"entries", {3, 1000}, {1, 1, 1, 1, 1}, 3, 2},
      {"bytes", {100, 10}, {4, 4, 4}, 2, 1},
      // A block larger than the byte bound alone is kept alone.
      {"one block over the bound", {100, 10}, {4, 20}, 1, 1},
      {"within both", {5, 100}, {10, 10}, 2, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Journal journal(c.limits);
    int64_t t = 0;
    for (size_t size : c.blockSizes) journal.received(std::vector<uint8_t>(size, 'x'), {0, t += kMs});
    EXPECT_EQ(journal.size(), c.kept);
    EXPECT_EQ(journal.dropped(), c.dropped);
    size_t bytes = 0;
    for (size_t i = 0; i < journal.size(); ++i) bytes += journal.at(i).byteCount();
    EXPECT_EQ(journal.bytes(), bytes);
    EXPECT_EQ(journal.at(journal.size() - 1).byteCount(), c.blockSizes.back());
  }
}

TEST(JournalBounds, AClearStartsTheDroppedCountAgainButNeverReusesANumber) {
  Journal journal({2, 1000});
  for (int i = 0; i < 3; ++i) journal.event("e", {});
  EXPECT_EQ(journal.dropped(), 1u);
  journal.clear();
  journal.event("after", {});
  EXPECT_EQ(journal.dropped(), 0u);
  EXPECT_EQ(journal.at(0).number, 4u);
}

TEST(JournalTiming, AnAnswerIsTimedFromTheLastFrameSentToTheEndOfItsBlock) {
  Journal journal;
  journal.received(bytesOf("stale"), {0, 1 * kMs});  // nothing sent yet: no answer time
  journal.portOpened("Port opened", {0, 10 * kMs});
  journal.sent(bytesOf("QQQ#QV#"), {0, 20 * kMs});
  journal.sent(bytesOf("QQQ#QX1#"), {0, 30 * kMs});
  journal.received(bytesOf("QV:20#"), {0, 432 * kMs + kMs / 2});
  journal.event("Time-out: Connection Timeout!", {0, 3030 * kMs});
  journal.portOpened("Port opened", {0, 4000 * kMs});
  journal.received(bytesOf("late"), {0, 4100 * kMs});  // the earlier frames were another session's

  ASSERT_EQ(journal.size(), 8u);
  EXPECT_FALSE(journal.at(0).responseMs);
  EXPECT_EQ(journal.at(0).sinceOpenMs, -1);
  EXPECT_DOUBLE_EQ(*journal.at(4).responseMs, 402.5);  // from the second frame
  EXPECT_EQ(journal.at(4).sinceOpenMs, 422);
  EXPECT_EQ(*journal.at(4).lastSent, bytesOf("QQQ#QX1#"));
  EXPECT_EQ(journal.at(5).direction, Direction::Event);
  EXPECT_EQ(journal.at(5).category, Category::Event);
  EXPECT_FALSE(journal.at(7).responseMs);
  EXPECT_EQ(journal.at(7).sinceOpenMs, 100);
}

TEST(JournalExport, TextAndCsvHoldEveryEntryWhateverTheFilter) {
  Journal journal({3, 1000});
  journal.event("dropped first", {0, 0});
  journal.portOpened("Port /dev/pts/3 opened, 9600 baud, parity none", {0, 0});
  journal.sent(bytesOf("QQQ#QV#"), {0, 5 * kMs});
  journal.event("Message: \"a, b\"", {0, 6 * kMs});

  std::ostringstream text;
  writeText(journal, text, {"1.0", "/dev/pts/3, 9600 baud, parity none, open", 1'765'290'000'123});
  const std::string t = text.str();
  EXPECT_EQ(t.rfind("TQ580-N exchange journal\nTool version: 1.0\nPort: /dev/pts/3, 9600 baud, parity none, open\n"
                    "Saved: " +
                        dateAndTime(1'765'290'000'123) + "\n\n",
                    0),
            0u)
      << t;
  EXPECT_NE(t.find("1 older entries dropped\n"), std::string::npos);
  EXPECT_NE(t.find("\t\u2022\t\tPort /dev/pts/3 opened"), std::string::npos);
  // The frame's bytes under its line, as the send buffer shows hex: the
  // saved journal is complete without the tool that wrote it.
  EXPECT_NE(t.find("\t\u2192\t7\tConfiguration query QV, Communication Query\n    Bytes: 51 51 51 23 51 56 23 \n"),
            std::string::npos)
      << t;

  std::ostringstream csv;
  writeCsv(journal, csv);
  std::istringstream lines(csv.str());
  std::vector<std::string> rows;
  for (std::string line; std::getline(lines, line);) rows.push_back(line);
  ASSERT_EQ(rows.size(), 5u);
  EXPECT_EQ(rows[0], "time,ms since port opened,response ms,direction,byte count,hex,summary");
  EXPECT_EQ(rows[1], ",,,,,,1 older entries dropped");
  EXPECT_EQ(rows[3].substr(23, 32), ",5,,sent,7,51 51 51 23 51 56 23,");
  // A summary holding the separator or a quote is quoted, the quote doubled.
  EXPECT_EQ(rows[4].substr(23), ",6,,event,,,\"Message: \"\"a, b\"\"\"");
}

TEST(JournalExport, AFileIsCsvOnlyWhenItsNameEndsInDotCsvInAnyCase) {
  Journal journal({10, 1000});
  const std::string csvHeader = "time,ms since port opened";
  const struct {
    const char* path;
    bool csv;
  } cases[] = {
      {"/home/op/loop 12.csv", true},  {"JOURNAL.CSV", true},   {"a.Csv", true},      {".csv", true},
      {"/home/op/loop 12.txt", false}, {"/home/op/csv", false}, {"a.csv.txt", false}, {"a.csvx", false},
  };
  for (const auto& c : cases) {
    const std::string text = fileText(journal, c.path, {"1.0", "COM4, 9600 baud, parity none, open", 0});
    EXPECT_EQ(text.rfind(csvHeader, 0) == 0, c.csv) << c.path;
  }
}

TEST(JournalExport, TimesAreLocalWithMilliseconds) {
  EXPECT_EQ(responseText(412.25), "412.2");
  EXPECT_EQ(responseText(std::nullopt), "");
  const std::string t = timeOfDay(1'765'290'000'123);
  ASSERT_EQ(t.size(), 12u);
  EXPECT_EQ(t.substr(8), ".123");
  EXPECT_EQ(dateAndTime(1'765'290'000'007).substr(19), ".007");
}

}  // namespace
}  // namespace tq::journal
