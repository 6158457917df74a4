// tamberlo-cli and the window agree on files that are not MP3, too short,
// not writable by the process, or links out of their folder.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>

#include "batch/edit_folder_fixture.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/mp3list.h"

namespace {

struct CliRun {
    int status = -1;
    QString out;
    QString err;
};

class CliContent : public EditFolder {
  protected:
    void SetUp() override {
        EditFolder::SetUp();
        cli_ = temp_.filePath(QStringLiteral("program/tamberlo-cli"));
        ASSERT_TRUE(QFile::copy(qEnvironmentVariable("TAMBERLO_CLI"), cli_));
    }
    CliRun run(const QStringList& args) const {
        QProcess process;
        process.start(cli_, args);
        EXPECT_TRUE(process.waitForFinished(60000));
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }
    // The files of every case, in list order.
    QStringList putCases() {
        put("a song.mp3", V2Tag(V2Text("TIT2", "t")) + MpegFrames(3));
        put("b picture.mp3", ForeignFiles().front().bytes);
        put("c notes.mp3", TextFile());
        put("d short.mp3", "ID3");
        return {"a song.mp3", "b picture.mp3", "c notes.mp3", "d short.mp3"};
    }
    QString cli_;
};

}  // namespace

TEST_F(CliContent, ListShowsTheContentColumnAsTheWindowDoes) {
    const QStringList names = putCases();
    const CliRun listed = run({"list", "--columns", "306,307", folder()});
    EXPECT_EQ(listed.status, 0) << listed.err.toStdString();
    QString expected = QStringLiteral("文件名\t文件内容\n");
    for (const QString& name : names)
        expected += LoadMp3Row(folder(), name, {306, kContentColumn}).cells.join('\t') + '\n';
    EXPECT_EQ(listed.out, expected);
    EXPECT_TRUE(listed.out.contains(QStringLiteral("b picture.mp3\t不是 MP3（PNG 图片）\n")));
    EXPECT_TRUE(listed.out.contains(QStringLiteral("a song.mp3\t\n")));
}

TEST_F(CliContent, ShowSaysWhatEachFileHolds) {
    putCases();
    const CliRun shown = run({"show", path("a song.mp3"), path("b picture.mp3")});
    EXPECT_EQ(shown.status, 0);
    const QJsonArray files = QJsonDocument::fromJson(shown.out.toUtf8()).array();
    ASSERT_EQ(files.size(), 2);
    EXPECT_EQ(files[0].toObject()["Content"].toString(), QStringLiteral("MP3 音频"));
    EXPECT_EQ(files[1].toObject()["Content"].toString(),
              QStringLiteral("不是 MP3 文件（看起来是 PNG 图片）"));
}

TEST_F(CliContent, EditsReportEveryFileNotWrittenAndExitOne) {
    const QStringList names = putCases();
    QStringList paths;
    for (const QString& name : names) paths << path(name);

    const CliRun v1 = run(QStringList{"v1", "--artist", "x"} + paths);
    EXPECT_EQ(v1.status, 1);
    EXPECT_TRUE(v1.out.contains(path("b picture.mp3") +
                                QStringLiteral("：不是 MP3 文件（看起来是 PNG 图片）")))
        << v1.out.toStdString();
    EXPECT_TRUE(
        v1.out.contains(path("c notes.mp3") + QStringLiteral("：不是 MP3 文件（找不到音频帧）")));
    EXPECT_TRUE(v1.out.contains(path("d short.mp3") + QStringLiteral("：文件太短，不足 128 字节")));
    EXPECT_TRUE(v1.out.contains(QStringLiteral("有 3 个文件无法修改标签")));

    const CliRun v2 = run(QStringList{"v2", "--TPE1", "x"} + paths.mid(1));
    EXPECT_EQ(v2.status, 1);
    EXPECT_TRUE(v2.out.contains(QStringLiteral("有 3 个文件无法修改标签")));
    EXPECT_EQ(bytes("b picture.mp3"), ForeignFiles().front().bytes);
    EXPECT_EQ(bytes("c notes.mp3"), TextFile());
    EXPECT_EQ(bytes("d short.mp3"), QByteArray("ID3"));
}

TEST_F(CliContent, ALinkOutOfItsFolderAndALockedFileAreRefusedAsInTheWindow) {
    const QString outside = temp_.filePath(QStringLiteral("outside.mp3"));
    WriteBytes(outside, MpegFrames(2));
    ASSERT_EQ(::symlink("../outside.mp3", QFile::encodeName(path("link.mp3")).constData()), 0);
    const CliRun linked = run({"v1", "--artist", "x", path("link.mp3")});
    EXPECT_EQ(linked.status, 1);
    EXPECT_TRUE(linked.out.contains(
        RunID3v1Edit(ticked({"link.mp3"}), ID3v1Edit{}).failures.value(0).reason))
        << linked.out.toStdString();
    EXPECT_EQ(ReadBytes(outside), MpegFrames(2));

    put("locked.mp3", MpegFrames(2));
    if (!SetImmutable(path("locked.mp3"), true))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    const CliRun locked = run({"v2", "--TPE1", "x", path("locked.mp3")});
    ASSERT_TRUE(SetImmutable(path("locked.mp3"), false));
    EXPECT_EQ(locked.status, 1);
    EXPECT_TRUE(locked.out.contains(QStringLiteral("碰到只读文件"))) << locked.out.toStdString();
    EXPECT_EQ(bytes("locked.mp3"), MpegFrames(2));
}
