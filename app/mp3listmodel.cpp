#include "app/mp3listmodel.h"

#include <QBrush>
#include <QCollator>
#include <QColor>
#include <QLocale>
#include <algorithm>

#include "batch/columns.h"
#include "store/fileio.h"
#include "ui/marks.h"

Mp3ListModel::Mp3ListModel(const QList<int>& columnCodes, QObject* parent)
    : QAbstractTableModel(parent), codes_(columnCodes) {}

int Mp3ListModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(rows_.size());
}

int Mp3ListModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(codes_.size());
}

QVariant Mp3ListModel::data(const QModelIndex& index, int role) const {
    if (!checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return {};
    const Entry& entry = rows_[size_t(index.row())];
    switch (role) {
        case Qt::DisplayRole:
            return entry.row.cells.value(index.column());
        case Qt::CheckStateRole:
            if (index.column() == 0)
                return int(entry.checked ? Qt::Checked : Qt::Unchecked);
            return {};
        case Qt::ForegroundRole: {
            static const QBrush darkGreen(QColor(0, 64, 0));
            return darkGreen;
        }
        case Qt::ToolTipRole:
            if (!entry.row.error.isEmpty())
                return QStringLiteral("无法读取此文件：") + entry.row.error;
            // The mark of a name that is not UTF-8 comes last, where a
            // narrow column cuts it off.
            if (codes_.value(index.column()) == 306 && fileio::HasEscapedBytes(entry.row.name))
                return entry.row.cells.value(index.column());
            return {};
        case Qt::DecorationRole:
            if (index.column() == 0 && !entry.row.error.isEmpty())
                return BlockedMark();
            return {};
        default:
            return {};
    }
}

QVariant Mp3ListModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 ||
        section >= codes_.size())
        return {};
    return ColumnHeaderText(codes_.at(section));
}

Qt::ItemFlags Mp3ListModel::flags(const QModelIndex& index) const {
    if (!index.isValid())
        return Qt::NoItemFlags;
    Qt::ItemFlags result = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    if (index.column() == 0)
        result |= Qt::ItemIsUserCheckable;
    return result;
}

bool Mp3ListModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::CheckStateRole || index.column() != 0 ||
        !checkIndex(index, CheckIndexOption::IndexIsValid | CheckIndexOption::ParentIsInvalid))
        return false;
    setChecked(index.row(), value.toInt() == Qt::Checked);
    return true;
}

void Mp3ListModel::emitTicksChanged(int first, int last) {
    if (first <= last && !codes_.isEmpty())
        emit dataChanged(index(first, 0), index(last, 0), {Qt::CheckStateRole});
    emit ticksChanged();
}

void Mp3ListModel::setChecked(int row, bool checked) {
    Entry& entry = rows_.at(size_t(row));
    if (entry.checked != checked) {
        entry.checked = checked;
        checkedCount_ += checked ? 1 : -1;
    }
    emitTicksChanged(row, row);
}

void Mp3ListModel::toggle(int row) {
    setChecked(row, !isChecked(row));
}

void Mp3ListModel::checkAll() {
    for (Entry& entry : rows_) entry.checked = true;
    checkedCount_ = int(rows_.size());
    emitTicksChanged(0, int(rows_.size()) - 1);
}

void Mp3ListModel::clearAll() {
    for (Entry& entry : rows_) entry.checked = false;
    checkedCount_ = 0;
    emitTicksChanged(0, int(rows_.size()) - 1);
}

void Mp3ListModel::invertAll() {
    for (Entry& entry : rows_) entry.checked = !entry.checked;
    checkedCount_ = int(rows_.size()) - checkedCount_;
    emitTicksChanged(0, int(rows_.size()) - 1);
}

QStringList Mp3ListModel::checkedNames() const {
    QStringList names;
    names.reserve(checkedCount_);
    for (const Entry& entry : rows_)
        if (entry.checked)
            names.append(entry.row.name);
    return names;
}

std::vector<int> Mp3ListModel::sortedOrder() const {
    std::vector<int> order(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    if (sortColumn_ < 0 || sortColumn_ >= codes_.size())
        return order;

    // Sort keys turn each comparison into a byte compare: a sort of tens of
    // thousands of rows would otherwise collate every text again and again.
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows_.size());
    for (const Entry& entry : rows_)
        keys.push_back(collator.sortKey(entry.row.cells.value(sortColumn_)));

    const bool ascending = sortOrder_ == Qt::AscendingOrder;
    std::stable_sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = keys[size_t(a)].compare(keys[size_t(b)]);
        return ascending ? c < 0 : c > 0;
    });
    return order;
}

std::vector<int> Mp3ListModel::reorder(const std::vector<int>& order) {
    std::vector<int> newRowOf(rows_.size());
    std::vector<Entry> moved;
    moved.reserve(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) {
        newRowOf[size_t(order[i])] = int(i);
        moved.push_back(std::move(rows_[size_t(order[i])]));
    }
    rows_ = std::move(moved);
    return newRowOf;
}

void Mp3ListModel::sort(int column, Qt::SortOrder order) {
    if (column < 0 || column >= codes_.size())
        return;
    sortColumn_ = column;
    sortOrder_ = order;

    const std::vector<int> newOrder = sortedOrder();
    emit layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);

    const std::vector<int> newRowOf = reorder(newOrder);

    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(newRowOf[size_t(index.row())], index.column()));
    changePersistentIndexList(before, after);

    emit layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void Mp3ListModel::setRows(std::vector<Mp3Row> rows) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(rows.size());
    for (Mp3Row& row : rows) rows_.push_back(Entry{std::move(row), false});
    checkedCount_ = 0;
    if (sortColumn_ >= 0)
        reorder(sortedOrder());
    endResetModel();
    emit ticksChanged();
}
