// The renaming dialog driven headless: patterns, preview, sorting, OK and Cancel.
#include "dialogs/frmfilename.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "batch/rename_fixture.h"
#include "batch/text.h"
#include "support/scripted_prompter.h"
#include "ui/marks.h"

namespace {

class FileNameDialog : public RenameFolder {
  protected:
    static QStringList Column(const QTreeWidget* list, int column) {
        QStringList texts;
        for (int i = 0; i < list->topLevelItemCount(); ++i) {
            texts << list->topLevelItem(i)->text(column);
        }
        return texts;
    }
    static bool HasMark(const QTreeWidgetItem* item, const QPixmap& mark) {
        return item->icon(0).pixmap(16, 16).toImage() == mark.toImage();
    }
    static void ClickHeader(QTreeWidget* list, int column) {
        QHeaderView* header = list->header();
        const QPoint at(header->sectionViewportPosition(column) + 10, header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    }

    ScriptedPrompter prompter;
    bool fillListFlag = false;
};

TEST_F(FileNameDialog, OpensWithItsFaceAndNoVisiblePatternChosen) {
    frmFileName dialog({dir.path(), {"a.mp3", "b.mp3", "c.mp3"}}, fillListFlag, prompter);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改文件名"));
    EXPECT_EQ(dialog.labPrompt()->text(),
              QStringLiteral("您选定了 3 个 Mp3 文件，要修改它们的文件名。"));
    EXPECT_TRUE(dialog.optFileNameChangeMode(0)->isChecked());
    EXPECT_FALSE(dialog.optFileNameChangeMode(0)->isVisible());
    for (int k = 1; k <= 9; ++k) {
        EXPECT_TRUE(dialog.optFileNameChangeMode(k)->isVisible()) << k;
        EXPECT_FALSE(dialog.optFileNameChangeMode(k)->isChecked()) << k;
    }
    // Two columns: 1..5 on the left; 6, 9, 7, (0), 8 on the right, level.
    const auto y = [&](int k) { return dialog.optFileNameChangeMode(k)->geometry().top(); };
    const auto x = [&](int k) { return dialog.optFileNameChangeMode(k)->geometry().left(); };
    EXPECT_EQ(y(6), y(1));
    EXPECT_EQ(y(9), y(2));
    EXPECT_EQ(y(7), y(3));
    EXPECT_EQ(y(8), y(5));
    EXPECT_LT(y(3), y(4));
    EXPECT_LT(x(1), x(6));
    EXPECT_EQ(x(1), x(5));

    EXPECT_EQ(dialog.lvwFileNamePreview()->topLevelItemCount(), 0);
    EXPECT_EQ(dialog.lvwFileNamePreview()->headerItem()->text(0), QStringLiteral("原文件名"));
    EXPECT_EQ(dialog.lvwFileNamePreview()->headerItem()->text(1), QStringLiteral("修改后文件名"));
    EXPECT_EQ(dialog.lvwFileNamePreview()->headerItem()->text(2), QStringLiteral("原因"));
    EXPECT_NEAR(dialog.lvwFileNamePreview()->columnWidth(0),
                dialog.lvwFileNamePreview()->columnWidth(1), 1);
    EXPECT_GT(dialog.lvwFileNamePreview()->columnWidth(2), 0);
    EXPECT_EQ(dialog.cmdModifyID3v1()->text(), QStringLiteral("确定（&O）"));
    EXPECT_EQ(dialog.cmdCancel()->text(), QStringLiteral("取消（&C）"));
    EXPECT_EQ(dialog.focusWidget(), dialog.cmdCancel());
}

TEST_F(FileNameDialog, PatternClickBuildsThePreviewWithMarks) {
    Mp3("b.mp3", V1Bytes("Hello", "Band"));
    Mp3("a.mp3", V1Bytes("Why?", "Band"));
    frmFileName dialog({dir.path(), {"b.mp3", "a.mp3"}}, fillListFlag, prompter);
    QTreeWidget* list = dialog.lvwFileNamePreview();

    dialog.optFileNameChangeMode(4)->click();
    EXPECT_EQ(Column(list, 0), (QStringList{"b.mp3", "a.mp3"}));
    EXPECT_EQ(Column(list, 1), (QStringList{"Hello.mp3", "Why?.mp3"}));
    EXPECT_TRUE(HasMark(list->topLevelItem(0), ReadyMarkPixmap()));
    EXPECT_TRUE(HasMark(list->topLevelItem(1), BlockedMarkPixmap()));

    // A second pattern replaces the rows, read afresh from disk.
    Mp3("b.mp3", V1Bytes("Hello", "Other"));
    dialog.optFileNameChangeMode(6)->click();
    EXPECT_EQ(Column(list, 1), (QStringList{"Other\\Hello.mp3", "Band\\Why?.mp3"}));
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(FileNameDialog, HeaderClicksFlipTheOrderAndTheRunFollowsIt) {
    Mp3("a.mp3", V1Bytes("Same"));
    Mp3("b.mp3", V1Bytes("Same"));
    frmFileName dialog({dir.path(), {"a.mp3", "b.mp3"}}, fillListFlag, prompter);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QTreeWidget* list = dialog.lvwFileNamePreview();
    dialog.optFileNameChangeMode(4)->click();
    const QString same = QStringLiteral("与第 1 行的新文件名相同");
    EXPECT_EQ(Column(list, 2), (QStringList{"", same}));

    ClickHeader(list, 0);
    EXPECT_EQ(Column(list, 0), (QStringList{"a.mp3", "b.mp3"}));
    ClickHeader(list, 0);
    EXPECT_EQ(Column(list, 0), (QStringList{"b.mp3", "a.mp3"}));
    // The batch is checked again in the order shown: now b comes first.
    EXPECT_EQ(Column(list, 2), (QStringList{"", same}));
    EXPECT_TRUE(HasMark(list->topLevelItem(0), ReadyMarkPixmap()));
    EXPECT_TRUE(HasMark(list->topLevelItem(1), BlockedMarkPixmap()));
    ClickHeader(list, 1);  // the direction flips whichever column is clicked
    EXPECT_EQ(dialog.lvwFileNamePreview()->header()->sortIndicatorOrder(), Qt::AscendingOrder);
    ClickHeader(list, 0);
    EXPECT_EQ(Column(list, 0), (QStringList{"b.mp3", "a.mp3"}));
    EXPECT_TRUE(HasMark(list->topLevelItem(0), ReadyMarkPixmap()));
    // Once sorted, a new pattern's rows come sorted the same way.
    dialog.optFileNameChangeMode(1)->click();
    EXPECT_EQ(Column(list, 0), (QStringList{"b.mp3", "a.mp3"}));
    dialog.optFileNameChangeMode(4)->click();
    EXPECT_EQ(Column(list, 2), (QStringList{"", same}));

    prompter.answer(true);
    dialog.cmdModifyID3v1()->click();
    // The lower name came first, so it took the new name.
    EXPECT_EQ(ReadBytes(Path("Same.mp3")).left(5), "b.mp3");
    EXPECT_TRUE(QFile::exists(Path("a.mp3")));
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[1].text,
              QStringLiteral("1 个 Mp3 文件的文件名转换成功！") + kMessageBreak +
                  QStringLiteral("1 个 Mp3 文件的文件名因为文件只读、新文件名不符合规范等原因无法"
                                 "修改！") +
                  kMessageBreak);
    EXPECT_EQ(prompter.shown[1].details, QStringLiteral("a.mp3：") + same);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_TRUE(fillListFlag);
}

TEST_F(FileNameDialog, BlockedRowsSayWhyInTheirTooltipsAndTheThirdColumn) {
    Mp3("ok.mp3", V1Bytes("Hello", "Band"));
    Mp3("why.mp3", V1Bytes("Why?", "Band"));
    Mp3("none.mp3", {});
    Mp3("ro.mp3", V1Bytes("Read", "Only"));
    SetReadOnly(Path("ro.mp3"), true);
    frmFileName dialog({dir.path(), {"ok.mp3", "why.mp3", "none.mp3", "ro.mp3", "gone.mp3"}},
                       fillListFlag, prompter);
    QTreeWidget* list = dialog.lvwFileNamePreview();
    dialog.optFileNameChangeMode(1)->click();
    const QStringList reasons = {"", QStringLiteral("新文件名含有不允许的字符“?”"),
                                 QStringLiteral("文件没有 ID3v1 标签"), QStringLiteral("文件只读"),
                                 QStringLiteral("文件已不存在")};
    EXPECT_EQ(Column(list, 2), reasons);
    EXPECT_EQ(Column(list, 1), (QStringList{"Band-Hello.mp3", "Band-Why?.mp3", "N/A-N/A.mp3",
                                            "Only-Read.mp3", QStringLiteral("（文件已不存在）")}));
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* item = list->topLevelItem(i);
        EXPECT_EQ(HasMark(item, ReadyMarkPixmap()), i == 0) << i;
        for (int column = 0; column < 3; ++column) {
            EXPECT_TRUE(item->toolTip(column).contains(reasons[i])) << i << " " << column;
            EXPECT_TRUE(item->toolTip(column).contains(item->text(column))) << i << " " << column;
        }
    }

    prompter.answer(true);
    dialog.cmdModifyID3v1()->click();
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(
        prompter.shown[1].details.split('\n'),
        (QStringList{
            QStringLiteral("why.mp3：") + reasons[1], QStringLiteral("none.mp3：") + reasons[2],
            QStringLiteral("ro.mp3：") + reasons[3], QStringLiteral("gone.mp3：") + reasons[4]}));
    EXPECT_TRUE(QFile::exists(Path("Band-Hello.mp3")));
}

TEST_F(FileNameDialog, CancelInTheConfirmationKeepsDialogPreviewAndFiles) {
    Mp3("a.mp3", V1Bytes("Hello"));
    frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    dialog.optFileNameChangeMode(4)->click();

    prompter.answer(false);
    dialog.cmdModifyID3v1()->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].question);
    EXPECT_EQ(prompter.shown[0].text, QStringLiteral("您确认要修改这些文件的文件名吗？"));
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("确认"));
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_FALSE(fillListFlag);
    EXPECT_EQ(Column(dialog.lvwFileNamePreview(), 1), QStringList{"Hello.mp3"});
    EXPECT_TRUE(QFile::exists(Path("a.mp3")));

    // A later OK still runs.
    prompter.answer(true);
    dialog.cmdModifyID3v1()->click();
    EXPECT_TRUE(QFile::exists(Path("Hello.mp3")));
    EXPECT_EQ(prompter.shown.last().caption, QStringLiteral("文件名转换完成"));
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_TRUE(fillListFlag);
}

TEST_F(FileNameDialog, EmptyPreviewStillConfirmsReportsZeroAndReloads) {
    Mp3("a.mp3", V1Bytes("Hello"));
    frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
    prompter.answer(true);
    dialog.cmdModifyID3v1()->click();
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_EQ(prompter.shown[1].text,
              QStringLiteral("0 个 Mp3 文件的文件名转换成功！") + kMessageBreak);
    EXPECT_TRUE(fillListFlag);
    EXPECT_TRUE(QFile::exists(Path("a.mp3")));
}

TEST_F(FileNameDialog, CancelButtonClearsTheFlagAndCloseBoxLeavesIt) {
    {
        fillListFlag = true;
        frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
        dialog.show();
        dialog.cmdCancel()->click();
        EXPECT_FALSE(fillListFlag);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
    }
    {
        fillListFlag = true;
        frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
        dialog.show();
        dialog.close();
        EXPECT_TRUE(fillListFlag);
    }
    EXPECT_TRUE(prompter.shown.isEmpty());
}

}  // namespace

// Files listed from sub-folders: the preview names them by their paths,
// each is renamed in its own folder, and the dialog tells the window the
// names they have afterwards.
TEST_F(FileNameDialog, FilesFromSubFoldersAreRenamedWhereTheyLie) {
    ASSERT_TRUE(QDir().mkpath(Path("专辑/CD1")));
    WriteBytes(Path("专辑/CD1/01.mp3"), Audio(200) + V1Bytes("Sunny", "Jay"));
    WriteBytes(Path("top.mp3"), Audio(200) + V1Bytes("Rain", "Jay"));
    Mp3("ro.mp3", V1Bytes("Stays", "Jay"));
    SetReadOnly(Path("ro.mp3"), true);
    frmFileName dialog({dir.path(), {QStringLiteral("专辑/CD1/01.mp3"), "top.mp3", "ro.mp3"}},
                       fillListFlag, prompter);
    dialog.optFileNameChangeMode(6)->click();  // artist\title
    EXPECT_EQ(Column(dialog.lvwFileNamePreview(), 0),
              (QStringList{QStringLiteral("专辑/CD1/01.mp3"), "top.mp3", "ro.mp3"}));
    EXPECT_TRUE(dialog.namesAfterRun().isEmpty());
    prompter.answer(true);
    dialog.cmdModifyID3v1()->click();
    EXPECT_TRUE(QFile::exists(Path("专辑/CD1/Jay/Sunny.mp3")));
    EXPECT_TRUE(QFile::exists(Path("Jay/Rain.mp3")));
    EXPECT_EQ(dialog.namesAfterRun(),
              (QStringList{QStringLiteral("专辑/CD1/Jay/Sunny.mp3"), "Jay/Rain.mp3", "ro.mp3"}));
}
