#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>

#include "batch/edit_folder_fixture.h"
#include "dialogs/editor_helpers.h"
#include "dialogs/frmid3v1tag.h"
#include "dialogs/frmid3v2tag.h"
#include "store/id3v2.h"
#include "support/frame_rows.h"
#include "support/scripted_prompter.h"

namespace {

// Runs tamberlo-cli v1 / v2 from a copy inside the test's folder, so that its
// program folder (and the scratch file tempv2) is there too.
class CliEdit : public EditFolder {
  protected:
    void SetUp() override {
        EditFolder::SetUp();
        const QString cli = qEnvironmentVariable("TAMBERLO_CLI");
        ASSERT_FALSE(cli.isEmpty()) << "TAMBERLO_CLI is not set";
        ASSERT_TRUE(QFile::copy(cli, program()));
        QDir(temp_.path()).mkdir(QStringLiteral("window"));
    }
    QString program() const { return temp_.filePath(QStringLiteral("program/tamberlo-cli")); }
    QString window(const QString& name) const {
        return temp_.filePath(QStringLiteral("window/") + name);
    }

    // Exit status; stdout into `out`, stderr into `err`.
    int run(const QStringList& args, QString* out = nullptr, QString* err = nullptr) {
        QProcess process;
        process.start(program(), args);
        EXPECT_TRUE(process.waitForFinished(30000));
        if (out)
            *out = QString::fromUtf8(process.readAllStandardOutput());
        if (err)
            *err = QString::fromUtf8(process.readAllStandardError());
        return process.exitCode();
    }

    // Puts each file into the command line's folder and a copy into the window's.
    void putBoth(const QString& name, const QByteArray& bytes) {
        put(name, bytes);
        WriteBytes(window(name), bytes);
    }
    TickedFiles windowFiles(const QStringList& names) const {
        return {temp_.filePath(QStringLiteral("window")), names};
    }
    QStringList paths(const QStringList& names) const {
        QStringList result;
        for (const QString& name : names) result << path(name);
        return result;
    }
    void expectSameBytes(const QStringList& names) {
        for (const QString& name : names) {
            EXPECT_EQ(bytes(name), ReadBytes(window(name))) << name.toStdString();
        }
    }
};

// Files in every state the runs meet: an ID3v1 tag (space and NUL padded),
// an ID3v2 tag, both, neither.
QStringList PutMixedFiles(const std::function<void(const QString&, const QByteArray&)>& put) {
    put("v1.mp3", Audio(300) + V1Bytes("Title", "Artist", "Album", "1999", "c", 3, 255));
    put("nul.mp3", Audio(300) + V1Bytes("Nul", "A", "", "", "", 1, 0, '\0'));
    put("v2.mp3", V2Tag(V2Text("TIT2", "t2") + V2Text("TCOM", "comp"), 30) + Audio(300));
    put("both.mp3", V2Tag(V2Text("TPE1", Gbk("歌手"))) + Audio(300) + V1Bytes(Gbk("歌名")));
    put("bare 01.mp3", Audio(300));
    put("v10.mp3",
        Audio(300) + V10Bytes("Old", "", "", "", QByteArray(27, 'c') + Gbk("段") + "!", 3));
    return {"v1.mp3", "nul.mp3", "v2.mp3", "both.mp3", "bare 01.mp3", "v10.mp3"};
}

// The files of PutMixedFiles without an ID3v1 tag.
const QStringList kWithoutID3v1 = {"v2.mp3", "bare 01.mp3"};

TEST_F(CliEdit, V1GivesTheSameBytesAsTheWindow) {
    const QStringList names =
        PutMixedFiles([this](const QString& n, const QByteArray& b) { putBoth(n, b); });

    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(windowFiles(names), flag, prompter);
    dialog.chkFileName2Title()->click();
    for (int row : {kV1Artist, kV1Year, kV1Comment, kV1Genre, kV1Track}) {
        dialog.chkEdit(row)->click();
    }
    Type(dialog.findChild<QLineEdit*>("txtArtist"), QStringLiteral("新歌手"));
    Type(dialog.findChild<QLineEdit*>("txtYear"), QStringLiteral("2024"));
    Type(dialog.findChild<QPlainTextEdit*>("txtComment"), QStringLiteral("注释 note"));
    dialog.findChild<QComboBox*>("comGenre")->setCurrentIndex(17);
    Type(dialog.findChild<QLineEdit*>("txtTrackID"), QStringLiteral("7"));
    dialog.findChild<QPushButton*>("cmdModifyID3v1")->click();
    ASSERT_TRUE(prompter.shown.isEmpty());

    EXPECT_EQ(run(QStringList{"v1", "--title-from-name", "--artist", "新歌手", "--year", "2024",
                              "--comment", "注释 note", "--genre", "17", "--track", "7"} +
                  paths(names)),
              0);
    expectSameBytes(names);
    // a new tag holds what was given and blanks, never a placeholder
    EXPECT_EQ(bytes("bare 01.mp3"),
              Audio(300) + V1Bytes("bare 01", Gbk("新歌手"), "", "2024", Gbk("注释 note"), 7, 17));
}

TEST_F(CliEdit, V1OnlyArtistGivesAFileWithoutTagBlankFields) {
    putBoth("bare.mp3", Audio(300));
    bool flag = false;
    ScriptedPrompter prompter;
    frmID3v1Tag dialog(windowFiles({"bare.mp3"}), flag, prompter);
    dialog.chkEdit(kV1Artist)->click();
    Type(dialog.findChild<QLineEdit*>("txtArtist"), QStringLiteral("Someone"));
    dialog.findChild<QPushButton*>("cmdModifyID3v1")->click();

    EXPECT_EQ(run({"v1", "--artist", "Someone", path("bare.mp3")}), 0);
    expectSameBytes({"bare.mp3"});
    EXPECT_EQ(bytes("bare.mp3"), Audio(300) + V1Bytes("", "Someone", "", "", "", 0, 255));
}

TEST_F(CliEdit, V2GivesTheSameBytesAsTheWindow) {
    const QStringList names =
        PutMixedFiles([this](const QString& n, const QByteArray& b) { putBoth(n, b); });

    for (const bool fromV1 : {false, true}) {
        SCOPED_TRACE(fromV1 ? "from v1" : "typed");
        bool flag = false;
        ScriptedPrompter prompter;
        frmID3v2Tag dialog(windowFiles(names), flag, prompter);
        QStringList args = {"v2"};
        if (fromV1) {
            dialog.chkFromv1()->click();
            args << "--from-v1";
        } else {
            dialog.chkFileName2TitleV2()->click();
            dialog.chkEdit2(kV2TPE1)->click();
            Type(dialog.input(kV2TPE1), QStringLiteral(" 艺术家 "));
            dialog.chkEdit2(kV2TCON)->click();
            qobject_cast<QComboBox*>(dialog.input(kV2TCON))->setCurrentIndex(0);
            args << "--title-from-name"
                 << "--TPE1"
                 << " 艺术家 "
                 << "--TCON"
                 << "0";
        }
        dialog.chkEdit2(kV2WXXX)->click();
        Type(dialog.input(kV2WXXX), QStringLiteral("http://example.org/"));
        args << "--WXXX"
             << "http://example.org/";
        dialog.findChild<QPushButton*>("cmdModifyID3v2")->click();
        QString out;
        if (fromV1) {
            // The copy takes nothing from the files without an ID3v1 tag;
            // both name them and the command line exits 1.
            ASSERT_EQ(prompter.shown.size(), 1);
            EXPECT_EQ(prompter.shown[0].text, WithoutID3v1Message(kWithoutID3v1).text);
            EXPECT_EQ(run(args + paths(names), &out), 1);
            const ReportMessage message = WithoutID3v1Message(paths(kWithoutID3v1));
            EXPECT_EQ(out, message.caption + "\n" + message.text + "\n");
        } else {
            ASSERT_TRUE(prompter.shown.isEmpty());
            EXPECT_EQ(run(args + paths(names)), 0);
        }
        expectSameBytes(names);
        EXPECT_TRUE(bytes("bare 01.mp3").startsWith("ID3"));
    }
    // the copy kept the title of the file without an ID3v1 tag
    EXPECT_EQ(ReadID3v2Tag(path("v2.mp3")).TIT2, QStringLiteral("v2"));
}

TEST_F(CliEdit, V2CopyWithoutId3v1TagTouchesNothingElseAndExitsOne) {
    const QByteArray v2only = V2Tag(V2Text("TIT2", "mine") + V2Text("TRCK", "4")) + Audio(300);
    put("a.mp3", v2only);
    QString out;

    EXPECT_EQ(run({"v2", "--from-v1", path("a.mp3")}, &out), 1);

    EXPECT_EQ(bytes("a.mp3"), v2only);
    EXPECT_TRUE(out.contains(QStringLiteral("1 个文件没有 ID3v1 标签，未复制\n\r\n\r") +
                             path("a.mp3") + "\n"));
}

TEST_F(CliEdit, ReportsPrintTheWindowsTextsAndExitOne) {
    put("a.mp3", Audio(300));
    put("ro.mp3", Audio(300));
    SetReadOnly(path("ro.mp3"), true);
    QString out;

    EXPECT_EQ(run({"v2", "--TENC", "x", path("a.mp3"), path("ro.mp3"), path("gone.mp3")}, &out), 1);

    const ReportMessage readOnly = ReadOnlyMessage(1);
    EXPECT_TRUE(out.startsWith(readOnly.caption + "\n" + readOnly.text + "\n"));
    EXPECT_TRUE(out.contains(QStringLiteral("无法修改的文件\n")));
    EXPECT_TRUE(out.contains(path("gone.mp3") + QStringLiteral("：")));
    EXPECT_EQ(ReadBytes(path("ro.mp3")), Audio(300));
}

TEST_F(CliEdit, V1RefusesTextsTheTagCannotHoldBeforeTouchingAnyFile) {
    put("a.mp3", Audio(300));
    put("b.mp3", Audio(300) + V1Bytes("b"));
    const struct {
        QStringList options;
        QString problem;
    } cases[] = {
        {{"--year", "二〇〇四"}, QStringLiteral("年份有 8 字节，超过了 ID3v1 标签的 4 字节。")},
        {{"--artist", "ok", "--comment", "가"},
         QStringLiteral("备注中的“가”不能保存在 ID3v1 标签里（只能保存 GBK 字符）。")},
        {{"--album", QString(31, QLatin1Char('x'))},
         QStringLiteral("专辑有 31 字节，超过了 ID3v1 标签的 30 字节。")},
    };
    for (const auto& c : cases) {
        QString out, err;
        EXPECT_EQ(run(QStringList{"v1"} + c.options + paths({"a.mp3", "b.mp3"}), &out, &err), 2);
        const ReportMessage refused = RefusedID3v1EditMessage({c.problem});
        EXPECT_EQ(err, refused.caption + "\n" + refused.text + "\n");
        EXPECT_EQ(out, QString());
    }
    EXPECT_EQ(bytes("a.mp3"), Audio(300));
    EXPECT_EQ(bytes("b.mp3"), Audio(300) + V1Bytes("b"));
}

TEST_F(CliEdit, UsageErrorsTouchNoFile) {
    put("a.mp3", Audio(300));
    put("b.mp3", Audio(300));
    const QStringList both = paths({"a.mp3", "b.mp3"});
    const QList<QStringList> cases = {
        QStringList{"v1", "--title", "x"} + both,  // the window disables the title row here
        QStringList{"v1", "--title", "x", "--title-from-name", path("a.mp3")},
        QStringList{"v1", "--genre", "80", path("a.mp3")},
        QStringList{"v1", "--track", "1x", path("a.mp3")},
        QStringList{"v1", "--artist"},
        QStringList{"v1", "--artist", "x"},
        QStringList{"v2", "--TIT2", "x"} + both,
        QStringList{"v2", "--from-v1", "--TALB", "x", path("a.mp3")},
        QStringList{"v2", "--TCON", "Rocky", path("a.mp3")},
        QStringList{"v2", "--TXXX", "x", path("a.mp3")},
    };
    for (const QStringList& args : cases) {
        EXPECT_EQ(run(args), 2) << args.join(' ').toStdString();
    }
    EXPECT_EQ(bytes("a.mp3"), Audio(300));
    EXPECT_EQ(bytes("b.mp3"), Audio(300));
}

}  // namespace
