#pragma once

#include <QAbstractTableModel>
#include <QList>
#include <QSet>
#include <QStringList>
#include <vector>

#include "batch/mp3list.h"

// The rows of lvwMp3List: one per MP3 file of the current folder, a check
// box in the first column, one text cell per configured column code.
//
// The model keeps the number of ticked rows itself, so the count can never
// drift from the ticks. Sorting happens in the model (no proxy), so the
// model's row order is the order the user sees and the order the batch
// dialogs walk. One sort order serves the whole list and survives reloads.
class Mp3ListModel : public QAbstractTableModel {
    Q_OBJECT
  public:
    explicit Mp3ListModel(const QList<int>& columnCodes, QObject* parent = nullptr);

    const QList<int>& columnCodes() const { return codes_; }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The user's click on a check box: Qt::CheckStateRole in column 0.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    // Sorts the rows by `column` and keeps that order for later reloads.
    // Number columns (SortsByValue) compare their values; the others their
    // texts in natural order ("2" before "10", "第2集" before "第10集"),
    // Chinese by pinyin, letter case ignored. Rows that compare equal stand
    // in file-name order (the same collation), whichever the direction.
    void sort(int column, Qt::SortOrder order = Qt::AscendingOrder) override;

    // Replaces every row (one model reset); the rows whose names are in
    // `ticked` come ticked, the others unticked and, once the list has been
    // sorted, all in the current sort order.
    void setRows(std::vector<Mp3Row> rows, const QSet<QString>& ticked = {});

    int checkedCount() const { return checkedCount_; }
    bool isChecked(int row) const { return rows_.at(size_t(row)).checked; }
    QString fileName(int row) const { return rows_.at(size_t(row)).row.name; }
    const Mp3Row& rowAt(int row) const { return rows_.at(size_t(row)).row; }
    // The names of the ticked rows, first row to last.
    QStringList checkedNames() const;
    // The row of the file `name`; -1 when the list does not hold it.
    int rowOf(const QString& name) const;

    // Ticking by the program's own operations; each emits one ranged
    // dataChanged (when there are rows to change) and ticksChanged.
    void setChecked(int row, bool checked);
    // Ticks or unticks every row of `rows` in one go.
    void setCheckedRows(const QList<int>& rows, bool checked);
    // Ticks the rows of the files named in `names`; other rows keep their
    // ticks, names the list does not hold are passed over. Returns how many
    // of the names were found.
    int checkNames(const QStringList& names);
    void toggle(int row);
    void checkAll();
    void clearAll();
    void invertAll();

    // -1 until the first sort.
    int sortColumn() const { return sortColumn_; }
    Qt::SortOrder sortOrder() const { return sortOrder_; }

  signals:
    // After every tick operation, even one that changed nothing.
    void ticksChanged();

  private:
    struct Entry {
        Mp3Row row;
        bool checked = false;
        // Place in file-name order; -1 until a sort needs it.
        int nameRank = -1;
    };

    void emitTicksChanged(int first, int last);
    // The new order of rows_ (old row numbers) for the current sort.
    std::vector<int> sortedOrder() const;
    // Puts rows_ in `order`; returns the new row number of each old row.
    std::vector<int> reorder(const std::vector<int>& order);
    // Gives every row its nameRank, once per set of rows.
    void rankNames();

    QList<int> codes_;
    std::vector<Entry> rows_;
    int checkedCount_ = 0;
    bool namesRanked_ = false;
    int sortColumn_ = -1;
    Qt::SortOrder sortOrder_ = Qt::AscendingOrder;
};
