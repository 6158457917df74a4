// tamberlo-cli rename --source, --format, --windows-names and v1/v2
// --from-name: the options reach the same plan and runs as the windows.
#include <gtest/gtest.h>

#include <QFile>

#include "batch/rename_fixture.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "support/cli_run.h"

namespace {

class CliRule : public RenameFolder {
  protected:
    void Put(const QString& name, const QByteArray& bytes) { WriteBytes(Path(name), bytes); }
    static QString Out(const CliRun& run) { return QString::fromUtf8(run.out); }
    static QString Err(const CliRun& run) { return run.err; }
};

TEST_F(CliRule, RenameTakesTheSourceAndAnOwnPattern) {
    Put("a.mp3",
        V2Tag(V2Text("TIT2", "Song") + V2Text("TPE1", "Band") + V2Text("TRCK", "2")) + Audio(50));
    const struct {
        QStringList args;
        int status;
        const char* out;  // the new name printed, or a piece of stderr for status 2
    } cases[] = {
        {{"--pattern", "1", "--source", "v2"}, 0, "Band-Song.mp3"},
        {{"--pattern", "1", "--source=v2v1"}, 0, "Band-Song.mp3"},
        {{"--pattern", "1"}, 1, "N/A-N/A.mp3"},
        {{"--format", "%音轨% %歌名%", "--source", "v2"}, 0, "02 Song.mp3"},
        {{"--format=%艺术家%\\%歌名%", "--source", "v2"}, 0, "Band\\\\Song.mp3"},
        {{"--format", "%歌手%", "--source", "v2"}, 2, "%歌手%"},
        {{"--format", "%作曲%", "--source", "v1"}, 2, "ID3v1 标签没有%作曲%"},
        {{"--format", "%歌名%", "--pattern", "1"}, 2, "exclude each other"},
        {{"--pattern", "1", "--source", "v3"}, 2, "v1, v2 or v2v1"},
        {{"--source", "v2"}, 2, "--pattern or --format is required"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.args.join(' ').toStdString());
        const CliRun run =
            RunCli(QStringList{"rename", "--dry-run"} + c.args + QStringList{Path("a.mp3")});
        EXPECT_EQ(run.status, c.status) << run.err.toStdString();
        if (c.status == 2)
            EXPECT_TRUE(Err(run).contains(QString::fromUtf8(c.out))) << run.err.toStdString();
        else
            EXPECT_TRUE(Out(run).contains(QStringLiteral("\t") + QString::fromUtf8(c.out) + "\t"))
                << run.out.toStdString();
    }
}

TEST_F(CliRule, WindowsNamesRenameWhatWouldBeBlocked) {
    Put("a.mp3", Audio(100) + V1Bytes("Why?", "Band"));
    const CliRun run = RunCli({"rename", "--pattern", "1", "--windows-names", Path("a.mp3")});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(QFile::exists(Path(QStringLiteral("Band-Why？.mp3"))));
}

TEST_F(CliRule, FromNameFillsTheNamedFieldsOfEitherTag) {
    Put("03 Band - Song.mp3", Audio(100) + V1Bytes("Old", "Old", "Album"));
    const CliRun v1 =
        RunCli({"v1", "--from-name", "%音轨% %艺术家% - %歌名%", Path("03 Band - Song.mp3")});
    EXPECT_EQ(v1.status, 0) << v1.err.toStdString();
    const ID3v1Tag tag = ReadID3v1Tag(Path("03 Band - Song.mp3"));
    EXPECT_EQ(tag.SongTitle.trimmed(), QStringLiteral("Song"));
    EXPECT_EQ(tag.Album.trimmed(), QStringLiteral("Album"));
    EXPECT_EQ(tag.Track, 3);

    Put("x.mp3", V2Tag(V2Text("TIT2", "Keep")) + Audio(100));
    const CliRun v2 =
        RunCli({"v2", "--from-name=%艺术家% - %歌名%", Path("03 Band - Song.mp3"), Path("x.mp3")});
    EXPECT_EQ(v2.status, 1);  // x.mp3 does not fit and is named
    EXPECT_TRUE(Out(v2).contains(QStringLiteral("文件名与格式不符"))) << v2.out.toStdString();
    EXPECT_EQ(ReadID3v2Tag(Path("03 Band - Song.mp3")).TIT2, QStringLiteral("Song"));
    EXPECT_EQ(ReadID3v2Tag(Path("x.mp3")).TIT2, QStringLiteral("Keep"));

    const struct {
        QStringList args;
        const char* named;
    } refused[] = {
        {{"v1", "--from-name", "%作曲% - %歌名%"}, "%作曲%"},
        {{"v2", "--from-name", "%歌名%", "--from-v1"}, "exclude each other"},
        {{"v2", "--from-name", "%原文件名%"}, "%原文件名%"},
    };
    for (const auto& c : refused) {
        const CliRun run = RunCli(c.args + QStringList{Path("x.mp3")});
        EXPECT_EQ(run.status, 2);
        EXPECT_TRUE(Err(run).contains(QString::fromUtf8(c.named))) << run.err.toStdString();
    }
}

}  // namespace
