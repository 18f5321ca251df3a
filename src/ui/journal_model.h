#pragma once
// The journal as a tree for JournalView: one row per entry (Time, +ms, Dir,
// Bytes, Summary) with its dissection as child rows, one per field. The
// model reads the journal in place; a first row counts the entries that
// gave way to newer ones. Dissections are made when a row is opened, and a
// few hundred of them are kept.
//
// The model follows the journal at most every kFollowIntervalMs and only
// while it is followed (the panel shown): a block costs the window's thread
// its dissection and a place in the ring, and a flood of them costs the view
// one change per interval, however full the journal. Its rows hold their
// entries, so a row the journal let go still answers until the next
// catch-up removes it.
#include <QAbstractItemModel>
#include <QSortFilterProxyModel>
#include <QTimer>
#include <deque>
#include <memory>
#include <unordered_map>

#include "journal/journal.h"

namespace tq::ui {

class JournalModel : public QAbstractItemModel, private journal::Journal::Listener {
  Q_OBJECT

 public:
  enum Column { TimeColumn, ResponseColumn, DirectionColumn, BytesColumn, SummaryColumn, ColumnCount };
  // Roles the filter reads.
  enum Role { CategoryRole = Qt::UserRole + 1, EntryPositionRole };

  explicit JournalModel(journal::Journal& journal, QObject* parent = nullptr);
  ~JournalModel() override;

  QModelIndex index(int row, int column, const QModelIndex& parent = {}) const override;
  QModelIndex parent(const QModelIndex& child) const override;
  int rowCount(const QModelIndex& parent = {}) const override;
  int columnCount(const QModelIndex& parent = {}) const override;
  bool hasChildren(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
  QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

  const journal::Journal& journal() const { return journal_; }
  // Followed, the rows catch up with the journal shortly after it changes;
  // not followed, they wait (and catch up at once when followed again).
  void setFollowing(bool following);
  // Brings the rows up to the journal now.
  void catchUp();
  // The entry a top-level row stands for; nullptr for the dropped-count row.
  const journal::Entry* entryAt(int row) const;
  bool isDroppedCountRow(int row) const { return bannerShown_ && row == 0; }
  // The top-level row of `index` (itself, or its entry's for a field).
  int entryRow(const QModelIndex& index) const;

 private:
  void changed() override;

  int bannerRows() const { return bannerShown_ ? 1 : 0; }
  const Dissection& dissectionOf(const journal::Entry& entry) const;

  journal::Journal& journal_;
  QTimer follow_;
  bool following_ = true;
  // The rows' entries, oldest first, numbered without gaps; after the
  // dropped-count row when it shows.
  std::deque<std::shared_ptr<const journal::Entry>> rows_;
  bool bannerShown_ = false;
  mutable std::unordered_map<uint64_t, Dissection> dissections_;
};

// The journal's filter: a category and a search text over the entries'
// summaries and bytes (hex). Fields always show under their entry.
class JournalFilter : public QSortFilterProxyModel {
  Q_OBJECT

 public:
  // Items of the JournalFilter combo box, in order.
  enum Choice { All, Configuration, Hart, Modbus, Events };

  using QSortFilterProxyModel::QSortFilterProxyModel;
  void setChoice(int choice);
  void setSearch(const QString& text);

 protected:
  bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;

 private:
  int choice_ = All;
  QString search_;
  std::vector<uint8_t> searchBytes_;  // the search text read as hex pairs, when it is that
};

}  // namespace tq::ui
