#include "ui/journal_model.h"

#include <QApplication>
#include <QColor>
#include <QPalette>
#include <algorithm>

#include "journal/export.h"

namespace tq::ui {

namespace {

// Dissections kept for rows that were opened; beyond this they are made again.
constexpr size_t kKeptDissections = 256;
constexpr quintptr kTopLevel = 0;

QString fromUtf8(const std::string& text) { return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size())); }

// A fault stands out against the window's own colours, light or dark.
QColor warningColor() {
  const bool dark = QApplication::palette().color(QPalette::Base).lightness() < 128;
  return dark ? QColor(0xFF, 0x7B, 0x72) : QColor(0xC0, 0x1C, 0x28);
}

}  // namespace

JournalModel::JournalModel(journal::Journal& journal, QObject* parent) : QAbstractItemModel(parent), journal_(journal) {
  journal_.setListener(this);
}

JournalModel::~JournalModel() { journal_.setListener(nullptr); }

const journal::Entry* JournalModel::entryAt(int row) const {
  const int position = row - bannerRows();
  if (position < 0 || position >= static_cast<int>(journal_.size())) return nullptr;
  return &journal_.at(static_cast<size_t>(position));
}

int JournalModel::entryRow(const QModelIndex& index) const {
  if (!index.isValid()) return -1;
  return index.internalId() == kTopLevel ? index.row() : parent(index).row();
}

const Dissection& JournalModel::dissectionOf(const journal::Entry& entry) const {
  auto it = dissections_.find(entry.number);
  if (it != dissections_.end()) return it->second;
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
  if (!child.isValid() || child.internalId() == kTopLevel || journal_.size() == 0) return {};
  const uint64_t first = journal_.at(0).number;
  const uint64_t number = child.internalId();
  if (number < first || number - first >= journal_.size()) return {};
  return createIndex(bannerRows() + static_cast<int>(number - first), 0, kTopLevel);
}

int JournalModel::rowCount(const QModelIndex& parent) const {
  if (!parent.isValid()) return bannerRows() + static_cast<int>(journal_.size());
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
    const journal::Entry* entry = entryAt(index.row());
    if (!entry) {  // the dropped-count row
      if (role == Qt::DisplayRole && index.column() == SummaryColumn) return fromUtf8(journal::droppedText(journal_.dropped()));
      return {};
    }
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

// The ring tells the model before and after each change, so rows come and
// go one change at a time and open rows stay open.
void JournalModel::beforeDrop(size_t count) {
  bannerBeforeDrop_ = journal_.dropped() > 0;
  const int first = bannerRows();
  beginRemoveRows({}, first, first + static_cast<int>(count) - 1);
}

void JournalModel::afterDrop() {
  endRemoveRows();
  if (!bannerBeforeDrop_) {
    beginInsertRows({}, 0, 0);
    endInsertRows();
  } else {
    emit dataChanged(index(0, 0), index(0, ColumnCount - 1));
  }
}

void JournalModel::beforeAppend(size_t position) {
  const int row = bannerRows() + static_cast<int>(position);
  beginInsertRows({}, row, row);
}

void JournalModel::afterAppend() { endInsertRows(); }

void JournalModel::beforeClear() { beginResetModel(); }

void JournalModel::afterClear() {
  dissections_.clear();
  endResetModel();
}

void JournalFilter::setChoice(int choice) {
  choice_ = choice;
  invalidateRowsFilter();
}

void JournalFilter::setSearch(const QString& text) {
  search_ = text.trimmed();
  searchBytes_.clear();
  QString hex = search_;
  hex.remove(QLatin1Char(' '));
  bool isHex = !hex.isEmpty() && hex.size() % 2 == 0;
  for (int i = 0; isHex && i < hex.size(); i += 2) {
    bool ok = false;
    searchBytes_.push_back(static_cast<uint8_t>(hex.mid(i, 2).toUInt(&ok, 16)));
    isHex = ok;
  }
  if (!isHex) searchBytes_.clear();
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
