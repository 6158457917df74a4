// The texts of the details dialog, and what it learns about a file it
// cannot read.
#include "batch/fileinfo.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/qt_printers.h"

namespace {

TEST(FileInfoTexts, ComeFromTheRecordsWithoutReadingTheFile) {
    FileRecords records;
    records.v1 = NoID3v1Tag();
    records.v1.Marker = QStringLiteral("TAG");
    records.v1.SongTitle = FixedWidth(QStringLiteral("  夜来香"), kTitleWidth);
    records.v1.Comment = QStringLiteral("a") + QChar(0) + QStringLiteral("b ");
    records.v1.Track = 255;
    records.v1.Genre = GenreCharacter(200);
    records.v2.Present = true;
    records.v2.TIT2 = QStringLiteral(" 夜来香 ");
    records.v2.WXXX = QChar(0) + QStringLiteral("http://x/");
    records.facts = {true, 0, true, false};

    const FileInfo info =
        FileInfoFromRecords(QStringLiteral("/"), QStringLiteral("a.mp3"), records);

    EXPECT_EQ(info.FullPath, QStringLiteral("/a.mp3"));
    EXPECT_EQ(info.SongTitle, QStringLiteral("夜来香"));
    EXPECT_EQ(info.Comment, QStringLiteral("a"));
    EXPECT_EQ(info.TrackID, QStringLiteral("255"));
    EXPECT_EQ(info.Genre, QStringLiteral("Other"));
    EXPECT_EQ(info.Frames[size_t(FrameIndex("TIT2"))], QStringLiteral(" 夜来香 "));
    EXPECT_EQ(info.Frames[size_t(FrameIndex("WXXX"))],
              QString());  // shown up to its first NUL, as the list shows it
    EXPECT_EQ(info.FileSize, QStringLiteral("0 字节"));
    EXPECT_EQ(info.ReadOnly, QStringLiteral("是"));
    EXPECT_EQ(info.Archive, QStringLiteral("是"));
    EXPECT_TRUE(info.TagsProblem.isEmpty());
    EXPECT_TRUE(info.FactsProblem.isEmpty());
}

class UnreadableFileInfo : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
    }
    void TearDown() override { SetProgramFolder({}); }
    QTemporaryDir dir;
};

TEST_F(UnreadableFileInfo, VanishedFileKeepsNameAndFolderAndSaysWhy) {
    FileInfo info;
    ASSERT_NO_THROW(info = ReadFileInfo(dir.path(), QStringLiteral("gone.mp3")));
    EXPECT_EQ(info.FileName, QStringLiteral("gone.mp3"));
    EXPECT_EQ(info.Path, dir.path());
    EXPECT_FALSE(info.HasID3v1);
    EXPECT_FALSE(info.HasID3v2);
    EXPECT_TRUE(info.FileSize.isEmpty());
    EXPECT_TRUE(info.TagsProblem.startsWith(QStringLiteral("这个文件无法读取，标签无法显示。")));
    EXPECT_TRUE(info.FactsProblem.startsWith(QStringLiteral("这个文件无法读取，文件大小和属性")));
    EXPECT_TRUE(info.TagsProblem.contains(QStringLiteral("原因：")));
}

TEST_F(UnreadableFileInfo, FolderNamedLikeAnMp3ShowsItsFactsButNoTags) {
    // Stands in for a file whose status can be read but whose content
    // cannot (as root, permissions never stop reading).
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    FileInfo info;
    ASSERT_NO_THROW(info = ReadFileInfo(dir.path(), QStringLiteral("folder.mp3")));
    EXPECT_FALSE(info.TagsProblem.isEmpty());
    EXPECT_TRUE(info.FactsProblem.isEmpty());
    EXPECT_TRUE(info.FileSize.endsWith(QStringLiteral(" 字节")));
    EXPECT_EQ(info.ReadOnly, QStringLiteral("否"));
}

}  // namespace
