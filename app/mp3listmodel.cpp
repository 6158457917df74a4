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

namespace {

// Natural order in Chinese (pinyin) collation, letter case ignored.
QCollator ListCollator() {
    QCollator collator(QLocale(QLocale::Chinese, QLocale::China));
    collator.setCaseSensitivity(Qt::CaseInsensitive);
    collator.setNumericMode(true);
    return collator;
}

}  // namespace

void Mp3ListModel::rankNames() {
    if (namesRanked_)
        return;
    // Sort keys turn each comparison into a byte compare: a sort of tens of
    // thousands of rows would otherwise collate every text again and again.
    const QCollator collator = ListCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows_.size());
    for (const Entry& entry : rows_) keys.push_back(collator.sortKey(entry.row.name));
    std::vector<int> order(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    std::stable_sort(order.begin(), order.end(),
                     [&](int a, int b) { return keys[size_t(a)].compare(keys[size_t(b)]) < 0; });
    for (size_t i = 0; i < order.size(); ++i) rows_[size_t(order[i])].nameRank = int(i);
    namesRanked_ = true;
}

std::vector<int> Mp3ListModel::sortedOrder() const {
    std::vector<int> order(rows_.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = int(i);
    if (sortColumn_ < 0 || sortColumn_ >= codes_.size())
        return order;

    const bool ascending = sortOrder_ == Qt::AscendingOrder;
    const auto tie = [this](int a, int b) {
        return rows_[size_t(a)].nameRank < rows_[size_t(b)].nameRank;
    };
    if (SortsByValue(codes_.at(sortColumn_))) {
        std::vector<qint64> values;
        values.reserve(rows_.size());
        for (const Entry& entry : rows_) values.push_back(entry.row.values.value(sortColumn_, -1));
        std::sort(order.begin(), order.end(), [&](int a, int b) {
            const qint64 x = values[size_t(a)];
            const qint64 y = values[size_t(b)];
            if (x != y)
                return ascending ? x < y : x > y;
            return tie(a, b);
        });
        return order;
    }

    const QCollator collator = ListCollator();
    std::vector<QCollatorSortKey> keys;
    keys.reserve(rows_.size());
    for (const Entry& entry : rows_)
        keys.push_back(collator.sortKey(entry.row.cells.value(sortColumn_)));
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        const int c = keys[size_t(a)].compare(keys[size_t(b)]);
        if (c != 0)
            return ascending ? c < 0 : c > 0;
        return tie(a, b);
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
    rankNames();

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

void Mp3ListModel::setRows(std::vector<Mp3Row> rows, const QSet<QString>& ticked) {
    beginResetModel();
    rows_.clear();
    rows_.reserve(rows.size());
    checkedCount_ = 0;
    for (Mp3Row& row : rows) {
        const bool checked = !ticked.isEmpty() && ticked.contains(row.name);
        checkedCount_ += checked ? 1 : 0;
        rows_.push_back(Entry{std::move(row), checked});
    }
    namesRanked_ = false;
    if (sortColumn_ >= 0) {
        rankNames();
        reorder(sortedOrder());
    }
    endResetModel();
    emit ticksChanged();
}

int Mp3ListModel::rowOf(const QString& name) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].row.name == name)
            return int(i);
    return -1;
}

void Mp3ListModel::setCheckedRows(const QList<int>& rows, bool checked) {
    int first = int(rows_.size());
    int last = -1;
    for (const int row : rows) {
        Entry& entry = rows_.at(size_t(row));
        if (entry.checked != checked) {
            entry.checked = checked;
            checkedCount_ += checked ? 1 : -1;
        }
        first = std::min(first, row);
        last = std::max(last, row);
    }
    emitTicksChanged(first, last);
}

int Mp3ListModel::checkNames(const QStringList& names) {
    const QSet<QString> wanted(names.begin(), names.end());
    QList<int> rows;
    for (size_t i = 0; i < rows_.size(); ++i)
        if (wanted.contains(rows_[i].row.name))
            rows.append(int(i));
    setCheckedRows(rows, true);
    return int(rows.size());
}
