// The repair dialog: its preview of the ticked files, the rows the user
// unticks, and OK writing only the rows left ticked.
#include "dialogs/frmfixencoding.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>

#include "batch/edit_folder_fixture.h"
#include "store/journal.h"
#include "store/programfolder.h"
#include "store/tagvalues.h"
#include "support/scripted_prompter.h"

namespace {

class FixEncodingDialog : public EditFolder {
  protected:
    void SetUp() override {
        EditFolder::SetUp();
        SetJournalFolder(temp_.filePath(QStringLiteral("journal")));
        // 七里香 and 周杰伦 in code page 936, read as Latin-1, saved as UTF-16.
        QByteArray title("\x01\xFF\xFE", 3);
        for (const char c : QByteArray("\xC6\xDF\xC0\xEF\xCF\xE3")) title += c + QByteArray(1, 0);
        QByteArray artist("\x01\xFF\xFE", 3);
        for (const char c : QByteArray("\xD6\xDC\xBD\xDC\xC2\xD7")) artist += c + QByteArray(1, 0);
        put("a.mp3", V2Tag(V2Frame("TIT2", title) + V2Frame("TPE1", artist)) + MpegFrames(4));
        put("b.mp3", V2Tag(V2Text("TIT2", "Yesterday")) + MpegFrames(4));
    }
    void TearDown() override {
        SetJournalFolder({});
        EditFolder::TearDown();
    }
    ScriptedPrompter prompter;
};

}  // namespace

TEST_F(FixEncodingDialog, PreviewsEachFileAndWritesOnlyTheTickedRows) {
    bool fill = false;
    frmFixEncoding dialog(ticked({"a.mp3", "b.mp3"}), fill, prompter);
    auto* tree = dialog.findChild<QTreeWidget*>(QStringLiteral("lvwFixes"));
    ASSERT_NE(tree, nullptr);
    ASSERT_EQ(tree->topLevelItemCount(), 2);
    const QTreeWidgetItem* a = tree->topLevelItem(0);
    ASSERT_EQ(a->childCount(), 2);
    EXPECT_EQ(a->child(0)->text(1), QStringLiteral("ÆßÀïÏã（乱码?）"));
    EXPECT_EQ(a->child(0)->text(2), QStringLiteral("七里香（GBK）"));
    EXPECT_EQ(a->child(0)->checkState(0), Qt::Checked);
    EXPECT_EQ(tree->topLevelItem(1)->childCount(), 0);
    EXPECT_EQ(tree->topLevelItem(1)->text(1), QStringLiteral("没有需要修复或转换的文字"));
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修复乱码 / 转为 Unicode"));

    auto* ok = dialog.findChild<QPushButton*>(QStringLiteral("cmdOK"));
    a->child(0)->setCheckState(0, Qt::Unchecked);
    EXPECT_TRUE(ok->isEnabled());
    a->child(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_FALSE(ok->isEnabled());  // nothing left to write
    a->child(1)->setCheckState(0, Qt::Checked);
    ok->click();
    EXPECT_TRUE(fill);
    const ID3v2Values values = ReadID3v2Values(path("a.mp3"));
    EXPECT_EQ(values.field("TPE1").read, QStringLiteral("周杰伦"));
    EXPECT_EQ(values.field("TIT2").read, QString::fromLatin1("\xC6\xDF\xC0\xEF\xCF\xE3"));
}

TEST_F(FixEncodingDialog, CancelWritesNothing) {
    const QByteArray before = bytes("a.mp3");
    bool fill = true;
    frmFixEncoding dialog(ticked({"a.mp3"}), fill, prompter);
    dialog.findChild<QPushButton*>(QStringLiteral("cmdCancel"))->click();
    EXPECT_FALSE(fill);
    EXPECT_EQ(bytes("a.mp3"), before);
}
