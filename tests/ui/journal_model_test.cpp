// The journal panel's model and filter: rows catch up with the ring in
// order, entries the ring let go leave from the top, the dropped-count row
// comes and goes, and the search finds bytes typed as hex in any spacing.
#include <QAbstractItemModelTester>
#include <gtest/gtest.h>

#include "journal/export.h"
#include "journal/journal.h"
#include "ui/journal_model.h"

namespace tq::ui {
namespace {

std::string summaryAt(const QAbstractItemModel& model, int row) {
  return model.data(model.index(row, JournalModel::SummaryColumn)).toString().toStdString();
}

TEST(JournalModel, CatchesUpInOrderDropsFromTheTopAndCountsWhatWent) {
  journal::Journal journal(journal::Limits{3, 1u << 20});
  JournalModel model(journal);
  QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);

  journal.event("one", {});
  journal.event("two", {});
  EXPECT_EQ(model.rowCount(), 0) << "rows follow on the model's own time, not per entry";
  model.catchUp();
  ASSERT_EQ(model.rowCount(), 2);
  EXPECT_EQ(summaryAt(model, 1), "two");

  const std::shared_ptr<const journal::Entry> held = journal.share(0);
  for (const char* text : {"three", "four", "five"}) journal.event(text, {});
  EXPECT_EQ(model.entryAt(0), held.get()) << "a row answers for its entry until the next catch-up";
  model.catchUp();
  // The count row, then the three entries the ring still holds.
  ASSERT_EQ(model.rowCount(), 4);
  EXPECT_TRUE(model.isDroppedCountRow(0));
  EXPECT_EQ(model.entryAt(0), nullptr);
  EXPECT_EQ(summaryAt(model, 0), journal::droppedText(2));
  EXPECT_EQ(summaryAt(model, 1), "three");
  EXPECT_EQ(summaryAt(model, 3), "five");

  journal.clear();
  model.catchUp();
  EXPECT_EQ(model.rowCount(), 0) << "a clear takes the rows and the count row";

  model.setFollowing(false);
  journal.event("six", {});
  EXPECT_EQ(model.rowCount(), 0);
  model.setFollowing(true);
  ASSERT_EQ(model.rowCount(), 1) << "followed again, the rows catch up at once";
  EXPECT_EQ(summaryAt(model, 0), "six");
}

TEST(JournalFilter, SearchesSummariesAsTextAndBytesAsHexPairsInAnySpacing) {
  journal::Journal journal(journal::Limits{2, 1u << 20});
  journal.event("dropped", {});
  journal.event("Port COM4 opened", {});
  const uint8_t frame[] = {0x01, 0xAB, 0xCD, 0x02};
  journal.sent(frame, {});
  JournalModel model(journal);
  JournalFilter filter;
  filter.setSourceModel(&model);
  ASSERT_EQ(model.rowCount(), 3);  // the count row, the event, the frame

  struct Case {
    const char* search;
    int choice;
    int rows;  // the count row always shows
  };
  const Case cases[] = {
      {"", JournalFilter::All, 3},        {"com4", JournalFilter::All, 2},  // text, in any case
      {"ab cd", JournalFilter::All, 2},                                     // bytes, in any case and spacing
      {"ABCD", JournalFilter::All, 2},    {" a bc d ", JournalFilter::All, 2},
      {"abc", JournalFilter::All, 1},    // an odd digit count is text, found nowhere
      {"CD AB", JournalFilter::All, 1},  // bytes in another order
      {"com4", JournalFilter::Events, 2}, {"ab cd", JournalFilter::Events, 1},  // the frame is no event
      {"", JournalFilter::Hart, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.search);
    filter.setChoice(c.choice);
    filter.setSearch(QString::fromLatin1(c.search));
    EXPECT_EQ(filter.rowCount(), c.rows);
  }
}

}  // namespace
}  // namespace tq::ui
