// The edit runs over files they must not write: too short, not MP3, not
// writable by this process, links out of the folder; and the list's and the
// details' word on such files.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "batch/columns.h"
#include "batch/edit_folder_fixture.h"
#include "batch/fileinfo.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/mp3list.h"
#include "batch/rename.h"
#include "store/filecontent.h"
#include "store/programfolder.h"
#include "support/frame_rows.h"

namespace {

using ContentRun = EditFolder;

ID3v1Edit ArtistV1() {
    ID3v1Edit edit;
    edit.ticked[kV1Artist] = true;
    edit.artist = QStringLiteral("歌手");
    return edit;
}

ID3v2Edit ArtistV2() {
    ID3v2Edit edit;
    edit.ticked[kV2TPE1] = true;
    edit.texts[kV2TPE1] = QStringLiteral("歌手");
    return edit;
}

QString NotMp3(const QString& format) {
    return QStringLiteral("不是 MP3 文件（看起来是 ") + format + QStringLiteral("）");
}

}  // namespace

// ---- Point 5 ----

TEST_F(ContentRun, FilesNotWrittenAreFailuresWithTheirReasonNeverWritten) {
    const ForeignFile& png = ForeignFiles().front();
    const QList<std::pair<QString, QByteArray>> files = {
        {"empty.mp3", {}},          {"three.mp3", "abc"},
        {"picture.mp3", png.bytes}, {"tagged picture.mp3", V2Tag(V2Text("TIT2", "t")) + png.bytes},
        {"notes.mp3", TextFile()},  {"song.mp3", MpegFrames(3)},
    };
    // A file of a few bytes has no room for the ID3v1 tag; to the ID3v2
    // writer it is a file without audio.
    const auto expected = [&](bool v2) {
        const QString shortFile = v2 ? QStringLiteral("不是 MP3 文件（找不到音频帧）")
                                     : QStringLiteral("文件太短，不足 128 字节");
        return QList<EditFailure>{
            {"empty.mp3", shortFile},
            {"three.mp3", shortFile},
            {"picture.mp3", NotMp3(png.format)},
            {"tagged picture.mp3", NotMp3(png.format)},
            {"notes.mp3", QStringLiteral("不是 MP3 文件（找不到音频帧）")},
        };
    };
    QStringList names;
    for (const auto& [name, content] : files) names << name;

    for (const bool v2 : {false, true}) {
        for (const auto& [name, content] : files) put(name, content);
        const EditReport report =
            v2 ? RunID3v2Edit(ticked(names), ArtistV2()) : RunID3v1Edit(ticked(names), ArtistV1());
        EXPECT_EQ(report.written, 1) << v2;
        EXPECT_EQ(report.readOnly, 0) << v2;
        EXPECT_EQ(report.failures, expected(v2)) << v2;
        for (int i = 0; i < 5; ++i)
            EXPECT_EQ(bytes(files[i].first), files[i].second) << files[i].first.toStdString();
        EXPECT_NE(bytes("song.mp3"), MpegFrames(3));
        const QList<ReportMessage> messages = ReportMessages(report);
        ASSERT_EQ(messages.size(), 1);
        EXPECT_TRUE(
            messages[0].text.contains(QStringLiteral("picture.mp3：") + NotMp3(png.format)));
    }
}

TEST_F(ContentRun, TheContentColumnMarksFilesThatAreNotMp3) {
    const QList<int> codes = {306, kContentColumn};
    put("song.mp3", V2Tag(V2Text("TIT2", "t")) + MpegFrames(2));
    put("notes.mp3", TextFile());
    for (const ForeignFile& f : ForeignFiles()) {
        put(QStringLiteral("x.mp3"), f.bytes);
        EXPECT_EQ(LoadMp3Row(folder(), QStringLiteral("x.mp3"), codes).cells.at(1),
                  QStringLiteral("不是 MP3（") + f.format + QStringLiteral("）"))
            << f.label;
    }
    EXPECT_EQ(LoadMp3Row(folder(), QStringLiteral("song.mp3"), codes).cells.at(1), QString());
    EXPECT_EQ(LoadMp3Row(folder(), QStringLiteral("notes.mp3"), codes).cells.at(1),
              QStringLiteral("不是 MP3（找不到音频帧）"));
    EXPECT_EQ(ColumnHeaderText(kContentColumn), QStringLiteral("文件内容"));
}

TEST_F(ContentRun, TheDetailsSayWhatTheFileHolds) {
    put("song.mp3", MpegFrames(2));
    put("picture.mp3", ForeignFiles().front().bytes);
    const FileInfo song = ReadFileInfo(folder(), QStringLiteral("song.mp3"));
    EXPECT_EQ(song.Content, QStringLiteral("MP3 音频"));
    EXPECT_TRUE(song.ContentProblem.isEmpty());
    const FileInfo picture = ReadFileInfo(folder(), QStringLiteral("picture.mp3"));
    EXPECT_EQ(picture.Content, NotMp3(QStringLiteral("PNG 图片")));
    EXPECT_TRUE(picture.ContentProblem.startsWith(picture.Content));
}

// ---- Point 11 ----

TEST_F(ContentRun, AFileTheProcessMayNotWriteIsReadOnlyForEveryOperation) {
    put("locked.mp3", MpegFrames(2));
    if (!SetImmutable(path("locked.mp3"), true))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    const EditReport v1 = RunID3v1Edit(ticked({"locked.mp3"}), ArtistV1());
    const EditReport v2 = RunID3v2Edit(ticked({"locked.mp3"}), ArtistV2());
    const RenameRow plan = PlanRenameRow(folder(), QStringLiteral("locked.mp3"), 1);
    ASSERT_TRUE(SetImmutable(path("locked.mp3"), false));

    EXPECT_EQ(v1.readOnly, 1);
    EXPECT_EQ(v2.readOnly, 1);
    EXPECT_TRUE(v1.failures.isEmpty() && v2.failures.isEmpty());
    EXPECT_FALSE(plan.ready);
    EXPECT_EQ(bytes("locked.mp3"), MpegFrames(2));
}

// The report's case: a user's ID3v2 edit of root's 644 file in a folder the
// user may write. Run as "nobody" in a child process.
TEST_F(ContentRun, AnotherUsersFileIsNotReplacedByTheID3v2Edit) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to act as another user";
    put("root.mp3", MpegFrames(2));
    for (const QString& d : {temp_.path(), folder(), temp_.filePath(QStringLiteral("program"))})
        ASSERT_EQ(::chmod(QFile::encodeName(d).constData(), 0777), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::setgid(65534) != 0 || ::setuid(65534) != 0)
            ::_exit(9);
        // The journal of the test run is root's; nobody keeps one of its own.
        SetJournalFolder(temp_.filePath(QStringLiteral("program")) + QStringLiteral("/journal"));
        const EditReport report = RunID3v2Edit(ticked({"root.mp3"}), ArtistV2());
        ::_exit(report.readOnly == 1 && report.written == 0 ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1: not counted read-only, 9: could not become nobody";
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path("root.mp3")).constData(), &st), 0);
    EXPECT_EQ(st.st_uid, 0u);
    EXPECT_EQ(bytes("root.mp3"), MpegFrames(2));
}

TEST_F(ContentRun, ALinkOutOfTheFolderIsNotWrittenThrough) {
    const QString outside = temp_.filePath(QStringLiteral("outside.mp3"));
    WriteBytes(outside, MpegFrames(2));
    ASSERT_TRUE(QDir(folder()).mkdir(QStringLiteral("sub")));
    put("sub/inside.mp3", MpegFrames(2));
    ASSERT_EQ(::symlink("../outside.mp3", QFile::encodeName(path("out.mp3")).constData()), 0);
    ASSERT_EQ(::symlink("sub/inside.mp3", QFile::encodeName(path("in.mp3")).constData()), 0);

    for (const bool v2 : {false, true}) {
        const EditReport report = v2 ? RunID3v2Edit(ticked({"out.mp3", "in.mp3"}), ArtistV2())
                                     : RunID3v1Edit(ticked({"out.mp3", "in.mp3"}), ArtistV1());
        EXPECT_EQ(report.written, 1) << v2;
        ASSERT_EQ(report.failures.size(), 1) << v2;
        EXPECT_EQ(report.failures[0].name, QStringLiteral("out.mp3"));
        EXPECT_TRUE(report.failures[0].reason.contains(QStringLiteral("符号链接"))) << v2;
        EXPECT_EQ(ReadBytes(outside), MpegFrames(2)) << v2;
        EXPECT_NE(bytes("sub/inside.mp3"), MpegFrames(2)) << v2;
        EXPECT_TRUE(QFileInfo(path("in.mp3")).isSymLink()) << v2;
    }
}
