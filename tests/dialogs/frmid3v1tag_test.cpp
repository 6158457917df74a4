#include "dialogs/frmid3v1tag.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include "batch/edit_folder_fixture.h"
#include "dialogs/editor_helpers.h"
#include "support/scripted_prompter.h"

namespace {

TEST(FrmID3v1TagFace, LoadStateCaptionsAndTabOrder) {
    bool flag = true;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(Names(3), flag, prompter);

    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("修改 Mp3 标签第一版（ID3v1）"));
    EXPECT_EQ(dialog.findChild<QLabel*>("labPrompt")->text(),
              QStringLiteral("您选定了 3 个 Mp3 文件，要修改它们的 ID3v1 标签。"));
    EXPECT_EQ(dialog.chkFileName2Title()->text(),
              QStringLiteral("用文件名填写 Mp3 标签的“歌名”字段"));
    const char* captions[] = {"歌    名", "艺 术 家", "专    辑", "年    份",
                              "类   别",  "备    注", "曲目编号"};
    for (int i = 0; i < kID3v1RowCount; ++i) {
        EXPECT_EQ(dialog.chkEdit(i)->text(), QString::fromUtf8(captions[i])) << i;
        EXPECT_EQ(dialog.chkEdit(i)->objectName(), QStringLiteral("chkEdit"));
        EXPECT_FALSE(dialog.chkEdit(i)->isChecked()) << i;
        EXPECT_EQ(dialog.chkEdit(i)->isEnabled(), i != kV1Title) << i;  // three files ticked
        EXPECT_FALSE(dialog.input(i)->isEnabled()) << i;
    }
    auto* genre = dialog.findChild<QComboBox*>("comGenre");
    EXPECT_EQ(genre->count(), 80);
    EXPECT_EQ(genre->currentIndex(), 12);
    EXPECT_FALSE(genre->isEditable());
    EXPECT_EQ(dialog.findChild<QPushButton*>("cmdModifyID3v1")->text(),
              QStringLiteral("确定（&O）"));
    EXPECT_EQ(dialog.findChild<QPushButton*>("cmdCancel")->text(), QStringLiteral("取消（&C）"));
    EXPECT_EQ(dialog.findChild<QLineEdit*>("txtYear")->maxLength(), 4);
    EXPECT_EQ(dialog.findChild<QLineEdit*>("txtTrackID")->maxLength(), 2);
    EXPECT_FALSE(dialog.FileName2TitleFlag());
    EXPECT_FALSE(dialog.windowFlags() & Qt::WindowMinMaxButtonsHint);
    EXPECT_EQ(dialog.minimumSize(), dialog.maximumSize());

    EXPECT_EQ(TabOrder(dialog.chkFileName2Title()),
              QStringList({"chkFileName2Title", "chkEdit0", "txtSongTitle", "chkEdit1", "txtArtist",
                           "chkEdit2", "txtAlbum", "chkEdit3", "txtYear", "chkEdit5", "txtComment",
                           "chkEdit4", "comGenre", "chkEdit6", "txtTrackID", "cmdFromName",
                           "cmdModifyID3v1", "cmdCancel"}));
}

// Clicks: "fn" the file-name box, a digit the chkEdit of that index.
struct ClickCase {
    const char* what;
    int files;
    QStringList clicks;
    bool titleTicked, titleEnabled, flag;
    QList<int> enabledInputs;
};

void Click(frmID3v1Tag& dialog, const QString& what) {
    if (what == QLatin1String("fn")) {
        dialog.chkFileName2Title()->click();
    } else {
        dialog.chkEdit(what.toInt())->click();
    }
}

TEST(FrmID3v1TagRules, ClickSequences) {
    const ClickCase cases[] = {
        {"one file: title row enables its box", 1, {"0"}, true, true, false, {0}},
        {"rows govern their inputs", 1, {"1", "4", "5", "6", "6"}, false, true, false, {1, 4, 5}},
        {"file name ticks and locks row 0", 1, {"0", "fn"}, true, false, true, {}},
        {"file name unticked frees row 0 for one file", 1, {"fn", "fn"}, false, true, false, {}},
        {"several files: row 0 stays locked", 2, {"fn", "fn"}, false, false, false, {}},
        {"several files: clicking row 0 does nothing", 2, {"0", "3"}, false, false, false, {3}},
    };
    for (const ClickCase& c : cases) {
        SCOPED_TRACE(c.what);
        bool flag = true;
        ScriptedPrompter prompter;
        frmID3v1Tag dialog(Names(c.files), flag, prompter);
        for (const QString& click : c.clicks) Click(dialog, click);
        EXPECT_EQ(dialog.chkEdit(kV1Title)->isChecked(), c.titleTicked);
        EXPECT_EQ(dialog.chkEdit(kV1Title)->isEnabled(), c.titleEnabled);
        EXPECT_EQ(dialog.FileName2TitleFlag(), c.flag);
        for (int i = 0; i < kID3v1RowCount; ++i) {
            EXPECT_EQ(dialog.input(i)->isEnabled(), c.enabledInputs.contains(i)) << i;
        }
    }
}

TEST(FrmID3v1TagRules, InputLimitsCountCodePage936Bytes) {
    bool flag = true;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(Names(1), flag, prompter);
    for (int i : {kV1Artist, kV1Year, kV1Comment, kV1Track}) dialog.chkEdit(i)->click();

    auto* artist = dialog.findChild<QLineEdit*>("txtArtist");
    Type(artist, QStringLiteral("abc") + QString(20, QChar(0x4E2D)));               // 中
    EXPECT_EQ(artist->text(), QStringLiteral("abc") + QString(13, QChar(0x4E2D)));  // 29 bytes

    auto* year = dialog.findChild<QLineEdit*>("txtYear");
    Type(year, QStringLiteral("年份x"));
    EXPECT_EQ(year->text(), QStringLiteral("年份"));

    auto* comment = dialog.findChild<QPlainTextEdit*>("txtComment");
    const QString zhong13(13, QChar(0x4E2D));
    Type(comment, zhong13 + QStringLiteral("abc"));  // 26 + 2 bytes fit, "c" does not
    EXPECT_EQ(comment->toPlainText(), zhong13 + QStringLiteral("ab"));
    QTest::keyClick(comment, Qt::Key_Home);
    Type(comment, QStringLiteral("z"));
    EXPECT_EQ(comment->toPlainText(), zhong13 + QStringLiteral("ab"));
    QTest::keyClick(comment, Qt::Key_Delete);  // the caret stayed at the start
    Type(comment, QStringLiteral("z"));
    EXPECT_EQ(comment->toPlainText(), QStringLiteral("z") + zhong13.mid(1) + QStringLiteral("ab"));

    auto* track = dialog.findChild<QLineEdit*>("txtTrackID");
    Type(track, QStringLiteral("a1b23"));
    EXPECT_EQ(track->text(), QStringLiteral("12"));
    EXPECT_EQ(dialog.edit().track, 12);
    track->clear();
    EXPECT_EQ(dialog.edit().track, 0);
}

TEST(FrmID3v1TagRules, TheByteCountLineNamesWhatTheTagCannotHold) {
    bool flag = true;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(Names(1), flag, prompter);
    auto* line = dialog.findChild<QLabel*>("labByteCount");
    ASSERT_NE(line, nullptr);
    const QString widths = line->text();  // before any text: the widths of the fields
    EXPECT_TRUE(widths.contains(QStringLiteral("年份 4 字节"))) << widths.toStdString();
    dialog.chkEdit(kV1Artist)->click();
    dialog.chkEdit(kV1Comment)->click();

    Type(dialog.findChild<QLineEdit*>("txtArtist"), QStringLiteral("周杰伦"));
    EXPECT_EQ(line->text(), QStringLiteral("艺术家：已用 6 / 30 字节"));
    // as an input method hands over a character beyond the BMP: whole
    dialog.findChild<QPlainTextEdit*>("txtComment")->insertPlainText(QStringLiteral("好😀"));
    EXPECT_EQ(line->text(),
              QStringLiteral("备注中的“😀”不能保存在 ID3v1 标签里（只能保存 GBK 字符）。"));
    EXPECT_EQ(line->palette().color(QPalette::WindowText), QColor(192, 0, 0));
    // An unticked row does not count.
    dialog.chkEdit(kV1Comment)->click();
    EXPECT_EQ(line->text(), widths);
}

using FrmID3v1TagRun = EditFolder;

TEST_F(FrmID3v1TagRun, OkRefusesTextsTheTagCannotHoldAndTouchesNoFile) {
    put("a.mp3", Audio(200) + V1Bytes("a", "old"));
    const QByteArray before = bytes("a.mp3");
    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(ticked({"a.mp3"}), flag, prompter);
    dialog.chkEdit(kV1Artist)->click();
    Type(dialog.findChild<QLineEdit*>("txtArtist"), QStringLiteral("가수"));

    dialog.findChild<QPushButton*>("cmdModifyID3v1")->click();

    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("无法写入 ID3v1 标签"));
    EXPECT_EQ(prompter.shown[0].text,
              QStringLiteral("艺术家中的“가”不能保存在 ID3v1 标签里（只能保存 GBK 字符）。\n\r\n\r"
                             "请修改后再试。没有修改任何文件。"));
    EXPECT_EQ(bytes("a.mp3"), before);
    EXPECT_FALSE(flag);
    EXPECT_NE(dialog.result(), QDialog::Accepted);

    // Put right, the same dialog goes ahead.
    auto* artist = dialog.findChild<QLineEdit*>("txtArtist");
    artist->clear();
    Type(artist, QStringLiteral("歌手"));
    dialog.findChild<QPushButton*>("cmdModifyID3v1")->click();
    EXPECT_EQ(prompter.shown.size(), 1);
    EXPECT_TRUE(flag);
    EXPECT_EQ(tail("a.mp3"), V1Bytes("a", Gbk(QStringLiteral("歌手"))));
}

TEST_F(FrmID3v1TagRun, OkWritesTicksReportsReadOnlyAndSetsTheFlag) {
    put("a.mp3", Audio(200) + V1Bytes("a", "old", "alb"));
    put("b.mp3", Audio(200) + V1Bytes("b", "old", "alb"));
    SetReadOnly(path("b.mp3"), true);
    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(ticked({"a.mp3", "b.mp3"}), flag, prompter);
    dialog.chkEdit(kV1Artist)->click();
    Type(dialog.findChild<QLineEdit*>("txtArtist"), QStringLiteral("歌手"));
    dialog.chkFileName2Title()->click();

    dialog.findChild<QPushButton*>("cmdModifyID3v1")->click();

    EXPECT_TRUE(flag);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(tail("a.mp3"), V1Bytes("a", Gbk("歌手"), "alb"));
    EXPECT_EQ(tail("b.mp3"), V1Bytes("b", "old", "alb"));
    ASSERT_EQ(prompter.shown.size(), 1);
    EXPECT_EQ(prompter.shown[0].caption, QStringLiteral("碰到只读文件"));
    EXPECT_EQ(prompter.shown[0].text, ReadOnlyMessage(1).text);
}

TEST_F(FrmID3v1TagRun, CancelTouchesNothingAndClearsTheFlag) {
    put("a.mp3", Audio(200) + V1Bytes("a", "old"));
    const QByteArray before = bytes("a.mp3");
    bool flag = true;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(ticked({"a.mp3"}), flag, prompter);
    dialog.chkEdit(kV1Artist)->click();
    Type(dialog.findChild<QLineEdit*>("txtArtist"), QStringLiteral("new"));

    dialog.findChild<QPushButton*>("cmdCancel")->click();

    EXPECT_FALSE(flag);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    EXPECT_EQ(bytes("a.mp3"), before);
    EXPECT_TRUE(prompter.shown.isEmpty());
}

TEST_F(FrmID3v1TagRun, CloseBoxAndEscapeLeaveTheFlagAsItWas) {
    put("a.mp3", Audio(200) + V1Bytes("a", "old"));
    const QByteArray before = bytes("a.mp3");
    for (const bool start : {true, false}) {
        for (const bool escape : {false, true}) {
            bool flag = start;
            ScriptedPrompter prompter;
            frmID3v1Tag dialog(ticked({"a.mp3"}), flag, prompter);
            dialog.show();
            dialog.chkEdit(kV1Album)->click();
            if (escape) {
                QTest::keyClick(&dialog, Qt::Key_Escape);
            } else {
                dialog.close();
            }
            EXPECT_EQ(flag, start);
            EXPECT_FALSE(dialog.isVisible());
        }
    }
    EXPECT_EQ(bytes("a.mp3"), before);
}

}  // namespace
