// The renaming dialog's tag source, own pattern and Windows names: the
// preview follows each, a typed pattern is checked as it is typed, and the
// pattern and the box are remembered between openings.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTreeWidget>

#include "batch/rename_fixture.h"
#include "dialogs/editor_helpers.h"
#include "dialogs/frmfilename.h"
#include "support/scripted_prompter.h"

namespace {

class RenameRuleDialog : public RenameFolder {
  protected:
    void Put(const QString& name, const QByteArray& bytes) { WriteBytes(Path(name), bytes); }
    static QStringList NewNames(const frmFileName& dialog) {
        QStringList names;
        for (const RenameRow& row : dialog.previewRows()) names << row.newName;
        return names;
    }
    ScriptedPrompter prompter;
    bool fillListFlag = false;
};

TEST_F(RenameRuleDialog, TheSourceChoiceRebuildsThePreviewAndItsNote) {
    Put("a.mp3", V2Tag(V2Text("TIT2", "V2Song") + V2Text("TPE1", "V2Band")) + Audio(50) +
                     V1Bytes("V1Song", "V1Band"));
    Put("b.mp3", V2Tag(V2Text("TIT2", "Only2") + V2Text("TPE1", "Band2")) + Audio(50));
    frmFileName dialog({dir.path(), {"a.mp3", "b.mp3"}}, fillListFlag, prompter);
    QComboBox* source = dialog.comTagSource();
    ASSERT_EQ(source->count(), 3);
    EXPECT_EQ(source->itemText(0), QStringLiteral("ID3v1"));
    EXPECT_EQ(source->itemText(1), QStringLiteral("ID3v2"));
    EXPECT_EQ(source->itemText(2), QStringLiteral("ID3v2 优先（缺少时用 ID3v1）"));
    EXPECT_EQ(source->currentIndex(), 0);
    EXPECT_EQ(dialog.labNote()->text(),
              QStringLiteral("注意： 本工具是根据每个 Mp3 的 ID3v1 标签来修改文件名的。"));

    dialog.optFileNameChangeMode(1)->click();
    EXPECT_EQ(NewNames(dialog), (QStringList{"V1Band-V1Song.mp3", "N/A-N/A.mp3"}));
    source->setCurrentIndex(2);
    EXPECT_EQ(NewNames(dialog), (QStringList{"V2Band-V2Song.mp3", "Band2-Only2.mp3"}));
    EXPECT_TRUE(dialog.labNote()->text().contains(QStringLiteral("ID3v2")));
    for (const RenameRow& row : dialog.previewRows()) EXPECT_TRUE(row.ready);
}

TEST_F(RenameRuleDialog, AnOwnPatternIsCheckedAsTypedPreviewedAndRemembered) {
    Put("a.mp3",
        V2Tag(V2Text("TIT2", "Song") + V2Text("TPE1", "Band") + V2Text("TRCK", "4")) + Audio(50));
    {
        frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
        dialog.show();
        dialog.comTagSource()->setCurrentIndex(1);
        dialog.txtCustomPattern()->setFocus();
        Type(dialog.txtCustomPattern(), QStringLiteral("%音轨%. %歌手%"));
        EXPECT_TRUE(dialog.optFileNameChangeMode(kCustomRenamePattern)->isChecked());
        EXPECT_TRUE(dialog.labPatternCheck()->text().contains(QStringLiteral("%歌手%")))
            << dialog.labPatternCheck()->text().toStdString();
        QTest::qWait(500);
        EXPECT_TRUE(dialog.previewRows().empty());

        dialog.txtCustomPattern()->clear();
        Type(dialog.txtCustomPattern(), QStringLiteral("%艺术家%\\%音轨%. %歌名%"));
        QTest::qWait(600);
        EXPECT_EQ(NewNames(dialog), (QStringList{"Band\\04. Song.mp3"}));
        dialog.chkWindowsNames()->setChecked(true);
        dialog.cmdCancel()->click();
    }
    frmFileName again({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
    EXPECT_EQ(again.txtCustomPattern()->text(), QStringLiteral("%艺术家%\\%音轨%. %歌名%"));
    EXPECT_TRUE(again.chkWindowsNames()->isChecked());
    EXPECT_FALSE(again.optFileNameChangeMode(kCustomRenamePattern)->isChecked());
}

TEST_F(RenameRuleDialog, WindowsNamesTurnABlockedRowReady) {
    Put("a.mp3", Audio(100) + V1Bytes("Why?", "Band"));
    frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
    dialog.optFileNameChangeMode(1)->click();
    ASSERT_EQ(dialog.previewRows().size(), 1u);
    EXPECT_FALSE(dialog.previewRows()[0].ready);
    dialog.chkWindowsNames()->click();
    ASSERT_EQ(dialog.previewRows().size(), 1u);
    EXPECT_EQ(dialog.previewRows()[0].newName, QStringLiteral("Band-Why？.mp3"));
    EXPECT_TRUE(dialog.previewRows()[0].ready);
}

TEST_F(RenameRuleDialog, APlaceholderID3v1LacksBlocksThePreviewWithItsReason) {
    Put("a.mp3", Audio(100) + V1Bytes("Song", "Band"));
    frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
    dialog.txtCustomPattern()->setText(QStringLiteral("%作曲% - %歌名%"));
    dialog.optFileNameChangeMode(kCustomRenamePattern)->click();
    EXPECT_TRUE(dialog.previewRows().empty());
    EXPECT_TRUE(dialog.labPatternCheck()->text().contains(QStringLiteral("ID3v1 标签没有%作曲%")))
        << dialog.labPatternCheck()->text().toStdString();
}

}  // namespace

namespace {

TEST_F(RenameRuleDialog, OkRightAfterTypingRenamesAfterThePatternAsTyped) {
    Put("a.mp3", Audio(100) + V1Bytes("Song", "Band"));
    frmFileName dialog({dir.path(), {"a.mp3"}}, fillListFlag, prompter);
    dialog.show();
    dialog.txtCustomPattern()->setFocus();
    Type(dialog.txtCustomPattern(), QStringLiteral("%歌名% by %艺术家%"));
    prompter.answer(true);
    dialog.cmdModifyID3v1()->click();  // before the preview's pause is over
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("Song by Band.mp3"))));
}

}  // namespace
