// The list model: ticks and their count, sorting by text, reloads.
#include "app/mp3listmodel.h"

#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QBrush>
#include <QSignalSpy>

namespace {

// Rows named by their first cell; a cell that reads as a number gives that
// number (in hundredths) as its sort value, as a loaded size column would.
std::vector<Mp3Row> Rows(const QList<QStringList>& cells) {
    std::vector<Mp3Row> rows;
    for (const QStringList& row : cells) {
        QList<qint64> values;
        for (QString cell : row) {
            bool ok = false;
            const double number = cell.remove(QLatin1Char(',')).toDouble(&ok);
            values << (ok ? qint64(number * 100) : 0);
        }
        rows.push_back(Mp3Row{row.value(0), row, {}, values});
    }
    return rows;
}

QStringList Column(const Mp3ListModel& model, int column) {
    QStringList texts;
    for (int row = 0; row < model.rowCount(); ++row)
        texts << model.data(model.index(row, column)).toString();
    return texts;
}

class Mp3ListModelTest : public ::testing::Test {
  protected:
    Mp3ListModel model{{306, 305}};
    QAbstractItemModelTester tester{&model, QAbstractItemModelTester::FailureReportingMode::Fatal};
};

}  // namespace

TEST_F(Mp3ListModelTest, RowsShowTheirCellsInDarkGreenWithACheckBoxFirst) {
    model.setRows(Rows({{"a.mp3", "1.00"}}));
    const QModelIndex first = model.index(0, 0);
    const QModelIndex second = model.index(0, 1);
    EXPECT_EQ(model.data(second).toString(), QStringLiteral("1.00"));
    EXPECT_EQ(model.data(first, Qt::CheckStateRole).toInt(), int(Qt::Unchecked));
    EXPECT_FALSE(model.data(second, Qt::CheckStateRole).isValid());
    EXPECT_TRUE(model.flags(first) & Qt::ItemIsUserCheckable);
    EXPECT_FALSE(model.flags(second) & Qt::ItemIsUserCheckable);
    EXPECT_EQ(model.data(second, Qt::ForegroundRole).value<QBrush>().color(), QColor(0, 64, 0));
    EXPECT_EQ(model.headerData(0, Qt::Horizontal).toString(), QStringLiteral("文件名"));
    EXPECT_EQ(model.headerData(1, Qt::Horizontal).toString(), QStringLiteral("文件大小(K)"));
}

TEST_F(Mp3ListModelTest, UnreadableRowSaysWhyInItsTooltip) {
    model.setRows(
        {Mp3Row{"bad.mp3", {"bad.mp3", ""}, "Permission denied", {}}, Rows({{"ok.mp3"}})[0]});
    EXPECT_TRUE(
        model.data(model.index(0, 1), Qt::ToolTipRole).toString().contains("Permission denied"));
    EXPECT_FALSE(model.data(model.index(0, 0), Qt::DecorationRole).isNull());
    EXPECT_FALSE(model.data(model.index(1, 0), Qt::ToolTipRole).isValid());
}

TEST_F(Mp3ListModelTest, BulkTickOperationsKeepTheCountAndSignalOneRange) {
    model.setRows(Rows({{"a"}, {"b"}, {"c"}, {"d"}}));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy ticks(&model, &Mp3ListModel::ticksChanged);

    model.checkAll();
    EXPECT_EQ(model.checkedCount(), 4);
    ASSERT_EQ(changed.size(), 1);
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(0, 0));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(3, 0));

    model.setChecked(1, false);
    model.setChecked(1, false);  // no change, no double count
    EXPECT_EQ(model.checkedCount(), 3);
    model.invertAll();
    EXPECT_EQ(model.checkedCount(), 1);
    EXPECT_TRUE(model.isChecked(1));
    EXPECT_EQ(model.checkedNames(), QStringList{"b"});
    model.clearAll();
    EXPECT_EQ(model.checkedCount(), 0);
    EXPECT_EQ(ticks.size(), 5);
}

TEST_F(Mp3ListModelTest, RowsAndNamesTickInOneGoAndCountOnce) {
    model.setRows(Rows({{"a"}, {"b"}, {"c"}, {"d"}, {"e"}}));
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy ticks(&model, &Mp3ListModel::ticksChanged);
    model.setCheckedRows({3, 1}, true);
    EXPECT_EQ(model.checkedNames(), (QStringList{"b", "d"}));
    ASSERT_EQ(changed.size(), 1);  // one range over the rows concerned
    EXPECT_EQ(changed[0][0].toModelIndex(), model.index(1, 0));
    EXPECT_EQ(changed[0][1].toModelIndex(), model.index(3, 0));
    model.setCheckedRows({1, 2}, false);
    EXPECT_EQ(model.checkedCount(), 1);
    // Names the list does not hold are passed over; ticks elsewhere stay.
    EXPECT_EQ(model.checkNames({"e", "a", "renamed away"}), 2);
    EXPECT_EQ(model.checkedNames(), (QStringList{"a", "d", "e"}));
    EXPECT_EQ(model.checkNames({"a"}), 1);
    EXPECT_EQ(model.checkedCount(), 3);
    EXPECT_EQ(ticks.size(), 4);
    EXPECT_EQ(model.rowOf("c"), 2);
    EXPECT_EQ(model.rowOf("z"), -1);
}

TEST_F(Mp3ListModelTest, TickOperationsOnAnEmptyListStillReport) {
    QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
    QSignalSpy ticks(&model, &Mp3ListModel::ticksChanged);
    model.checkAll();
    model.invertAll();
    model.clearAll();
    EXPECT_EQ(model.checkedCount(), 0);
    EXPECT_EQ(changed.size(), 0);
    EXPECT_EQ(ticks.size(), 3);
}

TEST_F(Mp3ListModelTest, CheckBoxEditCountsOnce) {
    model.setRows(Rows({{"a"}, {"b"}}));
    EXPECT_TRUE(model.setData(model.index(1, 0), int(Qt::Checked), Qt::CheckStateRole));
    EXPECT_EQ(model.checkedCount(), 1);
    EXPECT_FALSE(model.setData(model.index(1, 1), int(Qt::Unchecked), Qt::CheckStateRole));
    EXPECT_FALSE(model.setData(model.index(1, 0), QStringLiteral("x"), Qt::EditRole));
    EXPECT_EQ(model.checkedCount(), 1);
}

TEST_F(Mp3ListModelTest, NumberColumnsSortByValueWithTiesInNameOrderBothWays) {
    model.setRows(Rows({{"d", "9.00"}, {"b", "1,010.00"}, {"a", "9.00"}, {"c", "100.00"}}));
    model.sort(1, Qt::AscendingOrder);
    EXPECT_EQ(Column(model, 1), (QStringList{"9.00", "9.00", "100.00", "1,010.00"}));
    EXPECT_EQ(Column(model, 0), (QStringList{"a", "d", "c", "b"}));
    model.sort(1, Qt::DescendingOrder);
    EXPECT_EQ(Column(model, 0), (QStringList{"b", "c", "a", "d"}));  // ties stay a, d
}

TEST(Mp3ListModelSort, TextColumnsSortNaturallyAndByPinyin) {
    const struct {
        int code;
        QStringList shuffled;
        QStringList sorted;
    } cases[] = {
        {206, {"10", "2", "1", "02"}, {"1", "2", "02", "10"}},
        {201,
         {QStringLiteral("第10集"), QStringLiteral("第2集"), QStringLiteral("第1集")},
         {QStringLiteral("第1集"), QStringLiteral("第2集"), QStringLiteral("第10集")}},
        {202,
         {QStringLiteral("周杰伦"), QStringLiteral("阿杜"), QStringLiteral("邓丽君"), "Beyond"},
         // Chinese collation puts Han characters before Latin letters.
         {QStringLiteral("阿杜"), QStringLiteral("邓丽君"), QStringLiteral("周杰伦"), "Beyond"}},
        {306,
         {"Track 10.mp3", "track 9.mp3", "Track 1.mp3"},
         {"Track 1.mp3", "track 9.mp3", "Track 10.mp3"}},
    };
    for (const auto& c : cases) {
        Mp3ListModel model({c.code, 306});
        std::vector<Mp3Row> rows;
        for (int i = 0; i < c.shuffled.size(); ++i)
            rows.push_back(Mp3Row{QString::number(i), {c.shuffled.at(i), QString::number(i)}, {}});
        model.setRows(std::move(rows));
        model.sort(0, Qt::AscendingOrder);
        EXPECT_EQ(Column(model, 0), c.sorted) << c.code;
    }
}

TEST_F(Mp3ListModelTest, SortIgnoresLetterCaseAndOrdersChineseByPinyin) {
    model.setRows(Rows({{"b"}, {"A"}, {QStringLiteral("中")}, {QStringLiteral("安")}, {"a"}}));
    model.sort(0, Qt::AscendingOrder);
    const QStringList order = Column(model, 0);
    EXPECT_LT(order.indexOf("A"), order.indexOf("b"));
    EXPECT_LT(order.indexOf("a"), order.indexOf("b"));
    EXPECT_LT(order.indexOf(QStringLiteral("安")),
              order.indexOf(QStringLiteral("中")));  // an < zhong
}

TEST_F(Mp3ListModelTest, TicksAndSelectionFollowTheirRowsThroughASort) {
    model.setRows(Rows({{"a", "3"}, {"b", "1"}, {"c", "2"}}));
    model.setChecked(0, true);
    const QPersistentModelIndex a(model.index(0, 1));
    model.sort(1, Qt::AscendingOrder);
    EXPECT_EQ(a.row(), 2);
    EXPECT_TRUE(model.isChecked(2));
    EXPECT_EQ(model.checkedNames(), QStringList{"a"});
}

TEST_F(Mp3ListModelTest, ReloadClearsTicksAndTakesTheSortOrder) {
    model.setRows(Rows({{"a", "2"}, {"b", "1"}}));
    model.sort(1, Qt::DescendingOrder);
    model.checkAll();
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    model.setRows(Rows({{"a", "2"}, {"b", "1"}, {"new", "3"}}));
    EXPECT_EQ(reset.size(), 1);
    EXPECT_EQ(model.checkedCount(), 0);
    EXPECT_EQ(Column(model, 0), (QStringList{"new", "a", "b"}));
    EXPECT_EQ(model.sortColumn(), 1);
    // A refresh gives the ticks back by name, wherever the rows now stand.
    model.setRows(Rows({{"b", "1"}, {"gone?", "5"}, {"a", "2"}}), {"a", "gone"});
    EXPECT_EQ(model.checkedCount(), 1);
    EXPECT_EQ(model.checkedNames(), QStringList{"a"});
    EXPECT_EQ(model.sortOrder(), Qt::DescendingOrder);
}

TEST(Mp3ListModelColumns, NoColumnsStillHoldsAndTicksRows) {
    Mp3ListModel model({});
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Fatal);
    model.setRows(Rows({{}, {}}));
    EXPECT_EQ(model.rowCount(), 2);
    EXPECT_EQ(model.columnCount(), 0);
    model.checkAll();
    EXPECT_EQ(model.checkedCount(), 2);
    model.sort(0);
    EXPECT_EQ(model.sortColumn(), -1);
}
