// The editors on opening show what the ticked files hold, read on a worker
// while the dialog is already on screen; and fill tags from file names.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include "batch/edit_folder_fixture.h"
#include "dialogs/frmfromname.h"
#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "store/id3v2.h"
#include "support/scripted_prompter.h"

namespace {

class EditorValues : public EditFolder {
  protected:
    static void WaitForValues(TagEditorDialog& dialog) {
        if (!dialog.valuesShown()) {
            QSignalSpy spy(&dialog, &TagEditorDialog::sharedValuesShown);
            ASSERT_TRUE(spy.wait(10000));
        }
    }
    static QString Text(QWidget* input) {
        if (auto* line = qobject_cast<QLineEdit*>(input))
            return line->text();
        if (auto* box = qobject_cast<QPlainTextEdit*>(input))
            return box->toPlainText();
        return qobject_cast<QComboBox*>(input)->currentText();
    }
    static QString Placeholder(QWidget* input) {
        if (auto* line = qobject_cast<QLineEdit*>(input))
            return line->placeholderText();
        if (auto* box = qobject_cast<QPlainTextEdit*>(input))
            return box->placeholderText();
        return qobject_cast<QComboBox*>(input)->placeholderText();
    }

    ScriptedPrompter prompter;
    bool fillListFlag = false;
};

TEST_F(EditorValues, ID3v1EditorShowsSharedValuesAndMarksDifferingOnes) {
    put("a.mp3", Audio(100) + V1Bytes("One", "Band", "Album", "2001", "c", 3, 17));
    put("b.mp3", Audio(100) + V1Bytes("Two", "Band", "Album", "2002", "c", 3, 17));
    frmID3v1Tag dialog(ticked({"a.mp3", "b.mp3"}), fillListFlag, prompter);
    dialog.show();
    WaitForValues(dialog);
    const struct {
        int row;
        const char* text;
        bool mixed;
    } cases[] = {
        {kV1Title, "", true},   {kV1Artist, "Band", false}, {kV1Album, "Album", false},
        {kV1Year, "", true},    {kV1Comment, "c", false},   {kV1Genre, "Rock", false},
        {kV1Track, "3", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.row);
        EXPECT_EQ(Text(dialog.input(c.row)), QString::fromUtf8(c.text));
        EXPECT_EQ(Placeholder(dialog.input(c.row)) == QStringLiteral("（多个值）"), c.mixed);
        // shown, not ticked: nothing is written unless the user ticks the row
        EXPECT_FALSE(dialog.chkEdit(c.row)->isChecked());
        EXPECT_FALSE(dialog.input(c.row)->isEnabled());
    }
    // OK with nothing ticked leaves both files as they were
    const QByteArray before = bytes("a.mp3");
    EXPECT_FALSE(dialog.edit().ticked[kV1Artist]);
    EXPECT_EQ(bytes("a.mp3"), before);
}

TEST_F(EditorValues, ID3v2EditorShowsSharedValuesAndAMixedGenreTakesOtherWhenTicked) {
    put("a.mp3", V2Tag(V2Text("TIT2", "One") + V2Text("TPE1", "Band") + V2Text("TCON", "Rock")) +
                     Audio(100));
    put("b.mp3",
        V2Tag(V2Text("TIT2", "Two") + V2Text("TPE1", "Band") + V2Text("TCON", "Pop")) + Audio(100));
    frmID3v2Tag dialog(ticked({"a.mp3", "b.mp3"}), fillListFlag, prompter);
    dialog.show();
    WaitForValues(dialog);
    const int artist = EditorRowOf("TPE1");
    const int title = EditorRowOf("TIT2");
    const int genre = EditorRowOf("TCON");
    EXPECT_EQ(Text(dialog.input(artist)), QStringLiteral("Band"));
    EXPECT_EQ(Placeholder(dialog.input(title)), QStringLiteral("（多个值）"));
    auto* genres = qobject_cast<QComboBox*>(dialog.input(genre));
    EXPECT_EQ(genres->currentIndex(), -1);
    EXPECT_EQ(genres->placeholderText(), QStringLiteral("（多个值）"));
    dialog.chkEdit2(genre)->click();
    EXPECT_EQ(genres->currentText(), QStringLiteral("Other"));
    EXPECT_EQ(dialog.edit().texts[size_t(genre)], QStringLiteral("Other"));
}

TEST_F(EditorValues, ARowTickedBeforeTheValuesArriveKeepsWhatTheUserGave) {
    put("a.mp3", Audio(100) + V1Bytes("One", "Band"));
    frmID3v1Tag dialog(ticked({"a.mp3"}), fillListFlag, prompter);
    dialog.chkEdit(kV1Artist)->click();
    qobject_cast<QLineEdit*>(dialog.input(kV1Artist))->setText(QStringLiteral("Mine"));
    dialog.show();
    WaitForValues(dialog);
    EXPECT_EQ(Text(dialog.input(kV1Artist)), QStringLiteral("Mine"));
    EXPECT_EQ(Text(dialog.input(kV1Album)), QString());
}

TEST_F(EditorValues, ClosingWhileReadingManyFilesIsSafe) {
    QStringList names;
    for (int i = 0; i < 400; ++i) {
        const QString name = QStringLiteral("%1.mp3").arg(i);
        put(name, Audio(100) + V1Bytes(QByteArray::number(i)));
        names << name;
    }
    for (int round = 0; round < 3; ++round) {
        auto dialog = std::make_unique<frmID3v2Tag>(ticked(names), fillListFlag, prompter);
        dialog->show();
        dialog->reject();
        dialog.reset();  // stops the worker after the file in hand
    }
    QTest::qWait(20);  // a result posted by a worker must not reach a gone dialog
    SUCCEED();
}

TEST_F(EditorValues, FromNameDialogPreviewsEachFileAndMarksNamesThatDoNotFit) {
    put("01 Band - Song.mp3", Audio(100));
    put("no pattern here.mp3", Audio(100));
    frmFromName dialog(ticked({"01 Band - Song.mp3", "no pattern here.mp3"}), TagVersion::V1);
    dialog.txtFromNamePattern()->setText(QStringLiteral("%音轨% %艺术家% - %歌名%"));
    QTest::qWait(300);
    QTreeWidget* preview = dialog.lvwFromNamePreview();
    ASSERT_EQ(preview->topLevelItemCount(), 2);
    ASSERT_EQ(preview->columnCount(), 5);
    EXPECT_EQ(preview->headerItem()->text(1), QStringLiteral("音轨"));
    EXPECT_EQ(preview->headerItem()->text(2), QStringLiteral("艺术家"));
    EXPECT_EQ(preview->headerItem()->text(3), QStringLiteral("歌名"));
    EXPECT_EQ(preview->topLevelItem(0)->text(1), QStringLiteral("1"));
    EXPECT_EQ(preview->topLevelItem(0)->text(2), QStringLiteral("Band"));
    EXPECT_EQ(preview->topLevelItem(0)->text(3), QStringLiteral("Song"));
    EXPECT_TRUE(preview->topLevelItem(1)->text(4).contains(QStringLiteral("跳过")));
    EXPECT_TRUE(dialog.cmdOK()->isEnabled());

    // a placeholder ID3v1 has no field for, named as typed; OK is off
    dialog.txtFromNamePattern()->setText(QStringLiteral("%作曲% - %歌名%"));
    QTest::qWait(300);
    EXPECT_TRUE(dialog.labPatternCheck()->text().contains(QStringLiteral("%作曲%")));
    EXPECT_FALSE(dialog.cmdOK()->isEnabled());
}

TEST_F(EditorValues, FromNameWritesThroughTheEditorAndRemembersThePattern) {
    put("01 Band - Song.mp3", V2Tag(V2Text("TCOM", "Kept")) + Audio(100));
    put("odd.mp3", V2Tag(V2Text("TIT2", "Odd")) + Audio(100));
    const QByteArray odd = bytes("odd.mp3");
    frmID3v2Tag dialog(ticked({"01 Band - Song.mp3", "odd.mp3"}), fillListFlag, prompter);
    dialog.applyFromName(QStringLiteral("%音轨% %艺术家% - %歌名%"));
    EXPECT_TRUE(fillListFlag);
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("文件名与格式不符"));
    const ID3v2Tag tag = ReadID3v2Tag(path("01 Band - Song.mp3"));
    EXPECT_EQ(tag.TIT2, QStringLiteral("Song"));
    EXPECT_EQ(tag.TPE1, QStringLiteral("Band"));
    EXPECT_EQ(tag.TRCK, QStringLiteral("1"));
    EXPECT_EQ(tag.TCOM, QStringLiteral("Kept"));
    EXPECT_EQ(bytes("odd.mp3"), odd);

    frmFromName first(ticked({"odd.mp3"}), TagVersion::V2);
    first.txtFromNamePattern()->setText(QStringLiteral("%歌名%"));
    first.accept();
    frmFromName second(ticked({"odd.mp3"}), TagVersion::V2);
    EXPECT_EQ(second.pattern(), QStringLiteral("%歌名%"));
}

}  // namespace
