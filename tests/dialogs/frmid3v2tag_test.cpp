#include "dialogs/frmid3v2tag.h"

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <limits>

#include "batch/edit_folder_fixture.h"
#include "dialogs/editor_helpers.h"
#include "store/id3v2.h"
#include "store/id3v2picture.h"
#include "support/fixtures.h"
#include "support/frame_rows.h"
#include "support/scripted_prompter.h"

namespace {

TEST(FrmID3v2TagFace, LoadStateCaptionsAndTabOrder) {
    bool flag = true;
    ScriptedPrompter prompter;
    frmID3v2Tag dialog(Names(1), flag, prompter);

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改 Mp3 标签第二版（ID3v2）"));
    EXPECT_EQ(dialog.findChild<QLabel*>("labPrompt")->text(),
              QStringLiteral("您选定了 1 个 Mp3 文件，要修改它们的 ID3v2 标签。"));
    EXPECT_EQ(dialog.chkFromv1()->text(), QStringLiteral("从 ID3v1 标签复制相同内容"));
    const char* captions[] = {"歌    名", "艺 术 家", "专    辑",   "年    份", "类    别",
                              "备    注", "曲目编号", "作    曲",   "原    创", "版    权",
                              "链    接", "编 码 者", "专辑艺术家", "碟    号", "歌    词"};
    // Frame texts take any length; only the year and the track boxes are short.
    const int any = std::numeric_limits<int>::max();
    const int limits[] = {any, any, any, 4, 0, 0, 2, any, any, any, any, any, any, any, 0};
    for (int i = 0; i < kID3v2RowCount; ++i) {
        EXPECT_EQ(dialog.chkEdit2(i)->text(), QString::fromUtf8(captions[i])) << i;
        EXPECT_TRUE(dialog.chkEdit2(i)->isEnabled()) << i;  // one file ticked
        EXPECT_FALSE(dialog.chkEdit2(i)->isChecked()) << i;
        EXPECT_FALSE(dialog.input(i)->isEnabled()) << i;
        if (auto* line = qobject_cast<QLineEdit*>(dialog.input(i))) {
            EXPECT_EQ(line->maxLength(), limits[i]) << i;
            EXPECT_EQ(line->objectName(), "txt" + ID3v2RowFrameIds()[size_t(i)]);
        }
    }
    auto* genre = dialog.findChild<QComboBox*>("combTCON");
    EXPECT_EQ(genre, dialog.input(kV2TCON));
    EXPECT_EQ(genre->currentText(), QStringLiteral("Other"));
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("txtCOMM"), dialog.input(kV2COMM));
    EXPECT_EQ(dialog.findChild<QPlainTextEdit*>("txtUSLT"), dialog.input(kV2USLT));

    const QStringList order = TabOrder(dialog.chkFromv1());
    EXPECT_EQ(order.mid(0, 6), QStringList({"chkFromv1", "chkFileName2TitleV2", "chkEdit20",
                                            "txtTIT2", "chkEdit21", "txtTPE1"}));
    EXPECT_EQ(order.mid(10, 6), QStringList({"chkEdit24", "combTCON", "chkEdit26", "txtTRCK",
                                             "chkEdit25", "txtCOMM"}));
    EXPECT_EQ(order.mid(order.size() - 2), QStringList({"cmdModifyID3v2", "cmdCancel"}));
}

// Clicks: "v1" chkFromv1, "fn" the file-name box, a number the chkEdit2 of that index.
struct ClickCase {
    const char* what;
    int files;
    QStringList clicks;
    QList<int> tickedRows;
    QList<int> disabledRows;
    QList<int> enabledInputs;
    bool fileNameBoxEnabled, flag;
};

TEST(FrmID3v2TagRules, ClickSequences) {
    const QList<int> seven = {0, 1, 2, 3, 4, 5, 6};
    const ClickCase cases[] = {
        {"rows govern their inputs", 1, {"7", "11", "5", "5"}, {7, 11}, {}, {7, 11}, true, false},
        {"copy ticks and locks rows 0..6",
         1,
         {"1", "9", "v1"},
         seven + QList<int>{9},
         seven,
         {9},
         false,
         false},
        {"unticking the copy frees rows 0..6", 1, {"v1", "v1"}, {}, {}, {}, true, false},
        {"several files: row 0 stays locked after the copy",
         3,
         {"v1", "v1"},
         {},
         {0},
         {},
         true,
         false},
        {"file name locks row 0", 1, {"fn"}, {0}, {0}, {}, true, true},
        {"leftover: copy over file name keeps the flag",
         1,
         {"fn", "v1", "v1"},
         {},
         {},
         {},
         true,
         true},
        {"several files: file name then untick", 2, {"fn", "fn"}, {}, {0}, {}, true, false},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.what);
        bool flag = true;
        ScriptedPrompter prompter;
        frmID3v2Tag dialog(Names(c.files), flag, prompter);
        for (const QString& click : c.clicks) {
            if (click == QLatin1String("v1")) {
                dialog.chkFromv1()->click();
            } else if (click == QLatin1String("fn")) {
                dialog.chkFileName2TitleV2()->click();
            } else {
                dialog.chkEdit2(click.toInt())->click();
            }
        }
        for (int i = 0; i < kID3v2RowCount; ++i) {
            EXPECT_EQ(dialog.chkEdit2(i)->isChecked(), c.tickedRows.contains(i)) << i;
            EXPECT_EQ(dialog.chkEdit2(i)->isEnabled(), !c.disabledRows.contains(i)) << i;
            EXPECT_EQ(dialog.input(i)->isEnabled(), c.enabledInputs.contains(i)) << i;
        }
        EXPECT_EQ(dialog.chkFileName2TitleV2()->isEnabled(), c.fileNameBoxEnabled);
        EXPECT_EQ(dialog.FileName2TitleFlag(), c.flag);
        EXPECT_EQ(dialog.edit().titleFromFileName, c.flag);
    }
}

TEST(FrmID3v2TagRules, FrameTextsTakeAnyLengthAndGenreIsAName) {
    bool flag = true;
    ScriptedPrompter prompter;
    frmID3v2Tag dialog(Names(1), flag, prompter);
    for (int i : {kV2TPE1, kV2COMM, kV2TCON, kV2TYER, kV2TRCK}) dialog.chkEdit2(i)->click();
    Type(dialog.input(kV2TPE1), QString(31, QChar(0x4E2D)));
    Type(dialog.input(kV2COMM), QString(29, QChar(0x4E2D)));
    // A paste of a long comment is taken whole, never dropped.
    const QString pasted = QString(300, QLatin1Char('p')) + QStringLiteral("\n第二行");
    QGuiApplication::clipboard()->setText(pasted);
    auto* comment = qobject_cast<QPlainTextEdit*>(dialog.input(kV2COMM));
    comment->moveCursor(QTextCursor::End);
    comment->paste();
    Type(dialog.input(kV2TYER), QStringLiteral("20245"));
    Type(dialog.input(kV2TRCK), QStringLiteral("123"));
    qobject_cast<QComboBox*>(dialog.input(kV2TCON))->setCurrentIndex(0);

    const ID3v2Edit edit = dialog.edit();
    EXPECT_EQ(edit.texts[kV2TPE1], QString(31, QChar(0x4E2D)));
    EXPECT_EQ(edit.texts[kV2COMM], QString(29, QChar(0x4E2D)) + pasted);
    EXPECT_EQ(edit.texts[kV2TYER], QStringLiteral("2024"));
    EXPECT_EQ(edit.texts[kV2TRCK], QStringLiteral("12"));
    EXPECT_EQ(edit.texts[kV2TCON], QStringLiteral("Blues"));
    EXPECT_TRUE(edit.ticked[kV2TCON]);
}

using FrmID3v2TagRun = EditFolder;

TEST_F(FrmID3v2TagRun, OkWritesTheTickedFramesAndSetsTheFlag) {
    put("a.mp3", V2Tag(V2Text("TIT2", "keep")) + Audio(100));
    put("b.mp3", Audio(100));
    QFile::remove(path("b.mp3"));  // vanished since the list was loaded
    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v2Tag dialog(ticked({"a.mp3", "b.mp3"}), flag, prompter);
    dialog.chkEdit2(kV2TCOM)->click();
    Type(dialog.input(kV2TCOM), QStringLiteral(" 作曲 "));

    dialog.findChild<QPushButton*>("cmdModifyID3v2")->click();

    EXPECT_TRUE(flag);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    const ID3v2Tag tag = ReadID3v2Tag(path("a.mp3"));
    EXPECT_EQ(tag.TIT2, QStringLiteral("keep"));
    EXPECT_EQ(tag.TCOM, QStringLiteral("作曲"));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("无法修改的文件"));
    EXPECT_TRUE(prompter.shown[0].text.contains(QStringLiteral("b.mp3：")));
}

TEST_F(FrmID3v2TagRun, ALongPastedCommentIsWrittenWhole) {
    put("a.mp3", V2Tag(V2Text("TIT2", "keep")) + Audio(100));
    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v2Tag dialog(ticked({"a.mp3"}), flag, prompter);
    dialog.chkEdit2(kV2COMM)->click();
    const QString comment = QString(120, QChar(0x4E2D)) + QStringLiteral(" — liner notes");
    QGuiApplication::clipboard()->setText(comment);
    qobject_cast<QPlainTextEdit*>(dialog.input(kV2COMM))->paste();

    dialog.findChild<QPushButton*>("cmdModifyID3v2")->click();

    EXPECT_TRUE(prompter.shown.isEmpty());
    EXPECT_EQ(ReadID3v2Tag(path("a.mp3")).COMM, comment);
}

TEST_F(FrmID3v2TagRun, CancelAndCloseBox) {
    put("a.mp3", V2Tag(V2Text("TIT2", "keep")) + Audio(100));
    const QByteArray before = bytes("a.mp3");
    for (const bool useCancel : {true, false}) {
        bool flag = true;
        ScriptedPrompter prompter;
        frmID3v2Tag dialog(ticked({"a.mp3"}), flag, prompter);
        dialog.show();
        dialog.chkFromv1()->click();
        if (useCancel) {
            dialog.findChild<QPushButton*>("cmdCancel")->click();
        } else {
            dialog.close();
        }
        EXPECT_EQ(flag, !useCancel);
        EXPECT_EQ(dialog.result(), QDialog::Rejected);
        EXPECT_TRUE(prompter.shown.isEmpty());
    }
    EXPECT_EQ(bytes("a.mp3"), before);
}

}  // namespace

namespace {

// A real PNG image, as an image program saves it.
QByteArray PngFile(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(QColor(200, 40, 40));
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return bytes;
}

}  // namespace

TEST_F(FrmID3v2TagRun, AlbumArtistDiscLyricsAndTheCoverGoToEveryTickedFile) {
    const QByteArray artistPicture = ApicPayload("image/png", 8, PngStart(8, 8));
    put("a.mp3", V2Tag(V2Frame("APIC", ApicPayload("image/png", 3, PngStart(5, 5))) +
                       V2Frame("APIC", artistPicture)) +
                     Audio(100));
    put("b.mp3", Audio(100));
    put("not-an-image.jpg", TextFile());
    const QByteArray png = PngFile(60, 40);
    put("cover.png", png);
    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v2Tag dialog(ticked({"a.mp3", "b.mp3"}), flag, prompter);
    dialog.chkEdit2(kV2TPE2)->click();
    Type(dialog.input(kV2TPE2), QStringLiteral("群星"));
    dialog.chkEdit2(kV2TPOS)->click();
    Type(dialog.input(kV2TPOS), QStringLiteral("1/2"));
    dialog.chkEdit2(kV2USLT)->click();
    qobject_cast<QPlainTextEdit*>(dialog.input(kV2USLT))
        ->setPlainText(QStringLiteral("第一行\n第二行"));
    dialog.chkEdit2(frmID3v2Tag::kCoverRow)->click();

    // OK with the cover row ticked but no image: told, nothing written.
    dialog.findChild<QPushButton*>("cmdModifyID3v2")->click();
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(prompter.shown[0].text.contains(QStringLiteral("删除封面")));
    EXPECT_FALSE(flag);
    EXPECT_EQ(bytes("b.mp3"), Audio(100));

    // A text file named .jpg is refused by its content, with the reason.
    EXPECT_FALSE(dialog.chooseCoverFile(path("not-an-image.jpg")));
    ASSERT_EQ(prompter.shown.size(), 2);
    EXPECT_TRUE(prompter.shown[1].text.contains(QStringLiteral("不是 JPEG 或 PNG 图片")));
    EXPECT_TRUE(dialog.txtCover()->text().isEmpty());
    ASSERT_TRUE(dialog.chooseCoverFile(path("cover.png")));
    EXPECT_TRUE(dialog.txtCover()->text().contains(QStringLiteral("60×40")));

    dialog.findChild<QPushButton*>("cmdModifyID3v2")->click();
    EXPECT_TRUE(flag);
    for (const QString name : {"a.mp3", "b.mp3"}) {
        SCOPED_TRACE(name.toStdString());
        const ID3v2Tag tag = ReadID3v2Tag(path(name));
        EXPECT_EQ(tag.TPE2, QStringLiteral("群星"));
        EXPECT_EQ(tag.TPOS, QStringLiteral("1/2"));
        EXPECT_EQ(tag.USLT, QStringLiteral("第一行\n第二行"));
        const CoverPicture cover = ReadCover(path(name));
        EXPECT_EQ(cover.type, kFrontCover);
        EXPECT_EQ(cover.image, png);
        EXPECT_EQ(cover.mime, QByteArray("image/png"));
    }
    // The artist's picture stays; the old front cover is replaced.
    QList<QByteArray> pictures;
    for (const ID3v2Frame& f : ParseID3v2Contents(bytes("a.mp3")).frames)
        if (f.id == "APIC")
            pictures << f.payload;
    ASSERT_EQ(pictures.size(), 2);
    EXPECT_EQ(pictures[1], artistPicture);

    // "删除封面" removes the front cover of every ticked file.
    bool again = false;
    frmID3v2Tag remover(ticked({"a.mp3", "b.mp3"}), again, prompter);
    remover.chkEdit2(frmID3v2Tag::kCoverRow)->click();
    remover.chkRemoveCover()->click();
    EXPECT_FALSE(remover.cmdChooseCover()->isEnabled());
    EXPECT_EQ(remover.edit().cover.action, CoverEdit::Action::Remove);
    remover.findChild<QPushButton*>("cmdModifyID3v2")->click();
    EXPECT_FALSE(ReadCover(path("b.mp3")).present);
    EXPECT_EQ(ReadCover(path("a.mp3")).type, 8);  // the other picture is all that is left
    EXPECT_EQ(ReadID3v2Tag(path("a.mp3")).TPE2, QStringLiteral("群星"));
}
