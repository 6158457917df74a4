// Tags from file names: what a name gives, and the runs that write it
// (only the fields the pattern names; names that do not fit left alone).
#include "batch/fromname.h"

#include <gtest/gtest.h>

#include "batch/edit_folder_fixture.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "store/id3v2.h"

namespace {

TEST(FromName, PatternsAreCheckedForTheTagTheyFill) {
    const struct {
        const char* pattern;
        TagVersion version;
        const char* named;  // empty: usable
    } cases[] = {
        {"%音轨% %艺术家% - %歌名%", TagVersion::V1, ""},
        {"%作曲% - %歌名%", TagVersion::V1, "%作曲%"},
        {"%作曲% - %歌名%", TagVersion::V2, ""},
        {"%原文件名%", TagVersion::V2, "%原文件名%"},
        {"%歌星%", TagVersion::V2, "%歌星%"},
    };
    for (const auto& c : cases) {
        const QString problem =
            FromNamePatternProblem(ParseNamePattern(QString::fromUtf8(c.pattern)), c.version);
        if (*c.named == '\0')
            EXPECT_TRUE(problem.isEmpty()) << c.pattern << problem.toStdString();
        else
            EXPECT_TRUE(problem.contains(QString::fromUtf8(c.named))) << problem.toStdString();
    }
}

TEST(FromName, ANameGivesItsFieldsOrTheReasonItIsSkipped) {
    const NamePattern pattern = ParseNamePattern(QStringLiteral("%音轨% %艺术家% - %歌名%"));
    const struct {
        const char* name;
        TagVersion version;
        const char* track;  // null: skipped
        const char* reason;
    } cases[] = {
        {"01 周杰伦 - 晴天.mp3", TagVersion::V1, "1", ""},
        {"sub/007 Band - Song.MP3", TagVersion::V2, "7", ""},
        {"Band - Song.mp3", TagVersion::V2, nullptr, "文件名与格式不符"},
        // 31 bytes of GBK do not fit the ID3v1 artist, but do fit ID3v2
        {"01 ABCDEFGHIJKLMNOPQRSTUVWXYZabcde - x.mp3", TagVersion::V1, nullptr, "超过了 ID3v1"},
        {"01 ABCDEFGHIJKLMNOPQRSTUVWXYZabcde - x.mp3", TagVersion::V2, "1", ""},
        {"300 Band - Song.mp3", TagVersion::V1, nullptr, "0～255"},
        {"01 Band - 😀.mp3", TagVersion::V1, nullptr, "GBK"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const FromNameRow row = MatchFileName(pattern, QString::fromUtf8(c.name), c.version);
        EXPECT_EQ(row.matched, c.track != nullptr);
        if (c.track)
            EXPECT_EQ(row.values[size_t(NameField::Track)], QString::fromLatin1(c.track));
        else
            EXPECT_TRUE(row.reason.contains(QString::fromUtf8(c.reason)))
                << row.reason.toStdString();
    }
}

class FromNameRun : public EditFolder {};

TEST_F(FromNameRun, ID3v1RunWritesOnlyTheNamedFieldsAndSkipsNamesThatDoNotFit) {
    put("03 Band - Song.mp3", Audio(100) + V1Bytes("Old", "OldBand", "Album", "1999", "c", 9, 17));
    put("no match.mp3", Audio(100) + V1Bytes("Keep", "Me", "Album", "1999", "c", 9, 17));
    const QByteArray untouched = bytes("no match.mp3");
    ID3v1Edit edit;
    edit.fromNamePattern = QStringLiteral("%音轨% %艺术家% - %歌名%");
    const EditReport report = RunID3v1Edit(ticked({"03 Band - Song.mp3", "no match.mp3"}), edit);
    EXPECT_EQ(report.written, 1);
    ASSERT_EQ(report.unmatched.size(), 1);
    EXPECT_EQ(report.unmatched[0].name, QStringLiteral("no match.mp3"));
    EXPECT_FALSE(report.allHandled());
    EXPECT_EQ(bytes("no match.mp3"), untouched);
    // title, artist, track from the name; album, year, comment, genre kept
    EXPECT_EQ(tail("03 Band - Song.mp3"), V1Bytes("Song", "Band", "Album", "1999", "c", 3, 17));
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].caption, QStringLiteral("文件名与格式不符"));
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("1 个文件的文件名与格式不符，未修改")));
}

TEST_F(FromNameRun, ID3v2RunSetsTheNamedFramesAndKeepsTheOthers) {
    put("2003 - 叶惠美 - 晴天.mp3",
        V2Tag(V2Text("TIT2", "Old") + V2Text("TCOM", "Composer")) + Audio(100));
    ID3v2Edit edit;
    edit.fromNamePattern = QStringLiteral("%年份% - %专辑% - %歌名%");
    const EditReport report = RunID3v2Edit(ticked({"2003 - 叶惠美 - 晴天.mp3"}), edit);
    EXPECT_TRUE(report.allHandled());
    EXPECT_EQ(report.written, 1);
    const ID3v2Tag tag = ReadID3v2Tag(path("2003 - 叶惠美 - 晴天.mp3"));
    EXPECT_EQ(tag.TIT2, QStringLiteral("晴天"));
    EXPECT_EQ(tag.TALB, QStringLiteral("叶惠美"));
    EXPECT_EQ(tag.TYER, QStringLiteral("2003"));
    EXPECT_EQ(tag.TCOM, QStringLiteral("Composer"));
    EXPECT_TRUE(tag.TPE1.isEmpty());
}

}  // namespace

namespace {

TEST_F(FromNameRun, AlbumArtistAndDiscAreFilledFromNames) {
    put("Various - 2 - Song.mp3", Audio(100));
    ID3v2Edit edit;
    edit.fromNamePattern = QStringLiteral("%专辑艺术家% - %碟号% - %歌名%");
    ASSERT_TRUE(
        FromNamePatternProblem(ParseNamePattern(edit.fromNamePattern), TagVersion::V2).isEmpty());
    EXPECT_TRUE(RunID3v2Edit(ticked({"Various - 2 - Song.mp3"}), edit).allHandled());
    const ID3v2Tag tag = ReadID3v2Tag(path("Various - 2 - Song.mp3"));
    EXPECT_EQ(tag.TPE2, QStringLiteral("Various"));
    EXPECT_EQ(tag.TPOS, QStringLiteral("2"));
    EXPECT_EQ(tag.TIT2, QStringLiteral("Song"));
}

}  // namespace
