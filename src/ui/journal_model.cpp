#include "ui/journal_model.h"

#include <algorithm>

#include "common/hex_entry.h"
#include "journal/export.h"
#include "ui/warning_color.h"

namespace tq::ui {

namespace {

// Dissections kept for rows that were opened; beyond this they are made again.
constexpr size_t kKeptDissections = 256;
constexpr quintptr kTopLevel = 0;
// How soon the rows follow a change of the journal.
constexpr int kFollowIntervalMs = 50;

QString fromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

JournalModel::JournalModel(journal::Journal& journal, QObject* parent) : QAbstractItemModel(parent), journal_(journal) {
  follow_.setSingleShot(true);
  follow_.setInterval(kFollowIntervalMs);
  connect(&follow_, &QTimer::timeout, this, &JournalModel::catchUp);
  journal_.setListener(this);
  catchUp();
}

JournalModel::~JournalModel() { journal_.setListener(nullptr); }

void JournalModel::changed() {
  if (following_ && !follow_.isActive()) follow_.start();
}

void JournalModel::setFollowing(bool following) {
  following_ = following;
  if (following_) {
    catchUp();
    return;
  }
  // Not followed, the rows would only hold entries the journal let go.
  follow_.stop();
  beginResetModel();
  rows_.clear();
  bannerShown_ = false;
  dissections_.clear();
  endResetModel();
}

void JournalModel::catchUp() {
  follow_.stop();
  // Entries that went since the rows were made are always the oldest ones
  // (all of them after a clear): the first rows.
  const uint64_t journalFirst = journal_.size() > 0 ? journal_.at(0).number : UINT64_MAX;
  int gone = 0;
  while (gone < static_cast<int>(rows_.size()) && rows_[static_cast<size_t>(gone)]->number < journalFirst) ++gone;
  if (gone > 0) {
    beginRemoveRows({}, bannerRows(), bannerRows() + gone - 1);
    for (int i = 0; i < gone; ++i) {
      dissections_.erase(rows_.front()->number);
      rows_.pop_front();
    }
    endRemoveRows();
  }
  const bool wantBanner = journal_.dropped() > 0;
  if (wantBanner != bannerShown_) {
    if (wantBanner) {
      beginInsertRows({}, 0, 0);
      bannerShown_ = true;
      endInsertRows();
    } else {
      beginRemoveRows({}, 0, 0);
      bannerShown_ = false;
      endRemoveRows();
    }
  } else if (bannerShown_) {
    emit dataChanged(index(0, 0), index(0, ColumnCount - 1));
  }
  if (journal_.size() == 0) return;
  // The journal's entries after the last row, in order.
  const uint64_t next = rows_.empty() ? journalFirst : rows_.back()->number + 1;
  const size_t from = static_cast<size_t>(std::max(next, journalFirst) - journalFirst);
  if (from >= journal_.size()) return;
  const int added = static_cast<int>(journal_.size() - from);
  const int at = bannerRows() + static_cast<int>(rows_.size());
  beginInsertRows({}, at, at + added - 1);
  for (size_t i = from; i < journal_.size(); ++i) rows_.push_back(journal_.share(i));
  endInsertRows();
}

const journal::Entry* JournalModel::entryAt(int row) const {
  const int position = row - bannerRows();
  if (position < 0 || position >= static_cast<int>(rows_.size())) return nullptr;
  return rows_[static_cast<size_t>(position)].get();
}

int JournalModel::entryRow(const QModelIndex& index) const {
  if (!index.isValid()) return -1;
  return index.internalId() == kTopLevel ? index.row() : parent(index).row();
}

const Dissection& JournalModel::dissectionOf(const journal::Entry& entry) const {
  auto it = dissections_.find(entry.number);
  if (it != dissections_.end()) return it->second;
  // Made again when asked for after this: a few hundred open rows at most.
  if (dissections_.size() >= kKeptDissections) dissections_.clear();
  return dissections_.emplace(entry.number, journal_.dissect(entry)).first->second;
}

QModelIndex JournalModel::index(int row, int column, const QModelIndex& parent) const {
  if (row < 0 || column < 0 || column >= ColumnCount) return {};
  if (!parent.isValid()) return row < rowCount() ? createIndex(row, column, kTopLevel) : QModelIndex();
  if (parent.internalId() != kTopLevel) return {};
  const journal::Entry* entry = entryAt(parent.row());
  if (!entry || row >= rowCount(parent)) return {};
  return createIndex(row, column, static_cast<quintptr>(entry->number));
}

QModelIndex JournalModel::parent(const QModelIndex& child) const {
  if (!child.isValid() || child.internalId() == kTopLevel) return {};
  const uint64_t number = child.internalId();
  if (rows_.empty() || number < rows_.front()->number || number - rows_.front()->number >= rows_.size()) return {};
  return createIndex(bannerRows() + static_cast<int>(number - rows_.front()->number), 0, kTopLevel);
}

int JournalModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return bannerRows() + static_cast<int>(rows_.size());
  if (parent.internalId() != kTopLevel || parent.column() != 0) return 0;
  const journal::Entry* entry = entryAt(parent.row());
  if (!entry || !entry->bytes) return 0;
  return static_cast<int>(dissectionOf(*entry).fields.size());
}

int JournalModel::columnCount(const QModelIndex&) const { return ColumnCount; }

bool JournalModel::hasChildren(const QModelIndex& parent) const {
  if (!parent.isValid()) return true;
  if (parent.internalId() != kTopLevel || parent.column() != 0) return false;
  const journal::Entry* entry = entryAt(parent.row());
  return entry && entry->bytes && !entry->bytes->empty();  // known without taking it apart
}

QVariant JournalModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid()) return {};
  if (index.internalId() == kTopLevel) {
    if (isDroppedCountRow(index.row())) {
      if (role == Qt::DisplayRole && index.column() == SummaryColumn)
        return fromUtf8(journal::droppedText(journal_.dropped()));
      return {};
    }
    const journal::Entry* entry = entryAt(index.row());
    if (!entry) return {};
    switch (role) {
      case Qt::DisplayRole:
        switch (index.column()) {
          case TimeColumn:
            return fromUtf8(journal::timeOfDay(entry->at.wallMs));
          case ResponseColumn:
            return fromUtf8(journal::responseText(entry->responseMs));
          case DirectionColumn:
            return fromUtf8(journal::directionMark(entry->direction));
          case BytesColumn:
            return entry->bytes ? QVariant(static_cast<qulonglong>(entry->byteCount())) : QVariant();
          case SummaryColumn:
            return fromUtf8(entry->summary);
        }
        return {};
      case Qt::ToolTipRole:
        return index.column() == SummaryColumn ? fromUtf8(entry->summary) : QVariant();
      case Qt::ForegroundRole:
        return entry->bad ? QVariant(warningColor()) : QVariant();
      case Qt::TextAlignmentRole:
        return index.column() == ResponseColumn || index.column() == BytesColumn
                   ? QVariant(Qt::AlignRight | Qt::AlignVCenter)
                   : QVariant();
      case CategoryRole:
        return static_cast<int>(entry->category);
      case EntryPositionRole:
        return index.row() - bannerRows();
    }
    return {};
  }

  const QModelIndex owner = parent(index);
  const journal::Entry* entry = entryAt(owner.row());
  if (!entry) return {};
  const Dissection& d = dissectionOf(*entry);
  if (index.row() >= static_cast<int>(d.fields.size())) return {};
  const DissectedField& field = d.fields[static_cast<size_t>(index.row())];
  switch (role) {
    case Qt::DisplayRole:
      switch (index.column()) {
        case TimeColumn:
          return fromUtf8(field.name);
        case BytesColumn:
          return fromUtf8(journal::byteRange(field));
        case SummaryColumn:
          return fromUtf8(field.verdict.empty() ? field.value : field.value + "  \u2014 " + field.verdict);
      }
      return {};
    case Qt::ToolTipRole:
      return fromUtf8(field.name + ": " + field.value + (field.verdict.empty() ? "" : " \u2014 " + field.verdict));
    case Qt::ForegroundRole:
      return field.bad ? QVariant(warningColor()) : QVariant();
    case Qt::TextAlignmentRole:
      return index.column() == BytesColumn ? QVariant(Qt::AlignRight | Qt::AlignVCenter) : QVariant();
  }
  return {};
}

QVariant JournalModel::headerData(int section, Qt::Orientation orientation, int role) const {
  if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
  static const char* const kTitles[] = {"Time", "+ms", "Dir", "Bytes", "Summary"};
  return section >= 0 && section < ColumnCount ? QString::fromUtf8(kTitles[section]) : QVariant();
}

void JournalFilter::setChoice(int choice) {
  choice_ = choice;
  invalidateRowsFilter();
}

void JournalFilter::setSearch(const QString& text) {
  search_ = text.trimmed();
  const QByteArray latin1 = search_.toLatin1();  // a character beyond Latin-1 is no hex digit
  searchBytes_ = searchBytes(std::string_view(latin1.constData(), static_cast<size_t>(latin1.size())))
                     .value_or(std::vector<uint8_t>{});
  invalidateRowsFilter();
}

bool JournalFilter::filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const {
  if (sourceParent.isValid()) return true;  // a field shows with its entry
  const auto* model = static_cast<const JournalModel*>(sourceModel());
  const journal::Entry* entry = model->entryAt(sourceRow);
  if (!entry) return true;  // the dropped-count row
  using journal::Category;
  switch (choice_) {
    case Configuration:
      if (entry->category != Category::Configuration) return false;
      break;
    case Hart:
      if (entry->category != Category::Hart) return false;
      break;
    case Modbus:
      if (entry->category != Category::Modbus) return false;
      break;
    case Events:
      if (entry->category != Category::Event) return false;
      break;
    default:
      break;
  }
  if (search_.isEmpty()) return true;
  if (QString::fromUtf8(entry->summary.data(), static_cast<qsizetype>(entry->summary.size()))
          .contains(search_, Qt::CaseInsensitive)) {
    return true;
  }
  if (searchBytes_.empty() || !entry->bytes) return false;
  const auto& bytes = *entry->bytes;
  return std::search(bytes.begin(), bytes.end(), searchBytes_.begin(), searchBytes_.end()) != bytes.end();
}

}  // namespace tq::ui
