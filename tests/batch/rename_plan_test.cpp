// The rename plan: what the preview shows for each ticked file.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>

#include "batch/rename.h"
#include "batch/rename_fixture.h"

namespace {

class RenamePlan : public RenameFolder {
  protected:
    RenameRow Plan(const QString& name, int pattern) {
        return PlanRenameRow(dir.path(), name, pattern);
    }
};

TEST_F(RenamePlan, EveryPatternOnAFullTag) {
    // title 你好 (GBK), artist Band, album Best, track 7; upper-case extension
    Mp3("a.MP3", V1Bytes(Gbk(QStringLiteral("你好")), "Band", "Best", "2004", "c", 7));
    const struct {
        int pattern;
        const char* name;
    } cases[] = {
        {1, "Band-你好.mp3"},  {2, "Band-Best-你好.mp3"}, {3, "Best-你好.mp3"},
        {4, "你好.mp3"},       {5, "07-你好.mp3"},        {6, "Band\\你好.mp3"},
        {7, "Best\\你好.mp3"}, {8, "Best\\07-你好.mp3"},  {9, "Band\\Best-你好.mp3"},
    };
    ASSERT_EQ(std::size(cases), size_t(kLastRenamePattern));
    for (const auto& c : cases) {
        const RenameRow row = Plan(QStringLiteral("a.MP3"), c.pattern);
        EXPECT_EQ(row.newName, QString::fromUtf8(c.name)) << "pattern " << c.pattern;
        EXPECT_TRUE(row.ready) << "pattern " << c.pattern;
        EXPECT_EQ(row.oldName, QStringLiteral("a.MP3"));
        EXPECT_EQ(row.folder, dir.path());
        EXPECT_TRUE(row.problem.isEmpty());
    }
}

TEST_F(RenamePlan, CaptionsUseFullWidthDashAndSpacedBackslash) {
    EXPECT_EQ(RenamePatternCaption(0), QStringLiteral("不修改文件名"));
    EXPECT_EQ(RenamePatternCaption(2), QStringLiteral("艺术家－专辑－歌名.mp3"));
    EXPECT_EQ(RenamePatternCaption(8), QStringLiteral("专辑 \\ 曲目编号－歌名.mp3"));
    QStringList all;
    for (int k = 0; k <= kLastRenamePattern; ++k) all << RenamePatternCaption(k);
    EXPECT_EQ(all.removeDuplicates(), 0);
    EXPECT_FALSE(all.contains(QString()));
}

TEST_F(RenamePlan, TrackTextHasAtLeastTwoDigits) {
    for (const auto& [track, prefix] :
         {std::pair{0, "00-"}, {7, "07-"}, {12, "12-"}, {255, "255-"}}) {
        Mp3("t.mp3", V1Bytes("Song", {}, {}, {}, {}, quint8(track)));
        EXPECT_EQ(Plan(QStringLiteral("t.mp3"), 5).newName,
                  QString::fromLatin1(prefix) + "Song.mp3");
    }
}

TEST_F(RenamePlan, AnID3v10TagHasNoTrackSoItsCommentGivesNone) {
    // The comment's last two bytes sit where an ID3v1.1 tag keeps 0 and the
    // track; "9" there must not become track 57.
    Mp3("old.mp3", V10Bytes("Song", "Band", "Best", "2004", "abcdefghijklmnopqrstuvwxyz0189", 0));
    EXPECT_EQ(Plan(QStringLiteral("old.mp3"), 5).newName, QStringLiteral("00-Song.mp3"));
    EXPECT_EQ(Plan(QStringLiteral("old.mp3"), 8).newName, QStringLiteral("Best\\00-Song.mp3"));
}

TEST_F(RenamePlan, FieldsAreCutAtNulAndTrimmedOfBlanksOnly) {
    // title "word" NUL-padded; artist "ab" NUL "cd"; album with blanks around
    // and inside, and a tab that is not a blank
    Mp3("n.mp3", V1Bytes("word", QByteArray("ab\0cd", 5), "  two  words\t ", {}, {}, 0, 0, '\0'));
    EXPECT_EQ(Plan(QStringLiteral("n.mp3"), 2).newName, QStringLiteral("ab-two  words\t-word.mp3"));
    Mp3("s.mp3", V1Bytes("   word", "Band"));  // space padded
    EXPECT_EQ(Plan(QStringLiteral("s.mp3"), 1).newName, QStringLiteral("Band-word.mp3"));
}

TEST_F(RenamePlan, FileWithoutTagIsBlockedByTheSlashOfNA) {
    Mp3("none.mp3", {});
    for (int k = kFirstRenamePattern; k <= kLastRenamePattern; ++k) {
        const RenameRow row = Plan(QStringLiteral("none.mp3"), k);
        EXPECT_TRUE(row.newName.contains(QStringLiteral("N/A"))) << k;
        EXPECT_FALSE(row.ready) << k;
    }
    EXPECT_EQ(Plan(QStringLiteral("none.mp3"), 5).newName, QStringLiteral("00-N/A.mp3"));
}

TEST_F(RenamePlan, EmptyArtistStillGivesAReadyName) {
    Mp3("e.mp3", V1Bytes("Hello"));
    const RenameRow row = Plan(QStringLiteral("e.mp3"), 1);
    EXPECT_EQ(row.newName, QStringLiteral("-Hello.mp3"));
    EXPECT_TRUE(row.ready);
}

TEST_F(RenamePlan, ForbiddenCharacterBlocksButTheNameIsShownInFull) {
    Mp3("c.mp3", V1Bytes("Hello", {}, "Live: Tokyo"));
    const RenameRow row = Plan(QStringLiteral("c.mp3"), 3);
    EXPECT_EQ(row.newName, QStringLiteral("Live: Tokyo-Hello.mp3"));
    EXPECT_FALSE(row.ready);
    EXPECT_EQ(PreviewNewNameText(row), row.newName);
}

TEST_F(RenamePlan, ReadOnlyFileIsBlockedWithItsName) {
    Mp3("r.mp3", V1Bytes("Hello", "Band"));
    SetReadOnly(dir.filePath("r.mp3"), true);
    const RenameRow row = Plan(QStringLiteral("r.mp3"), 1);
    EXPECT_EQ(row.newName, QStringLiteral("Band-Hello.mp3"));
    EXPECT_FALSE(row.ready);

    Mp3("rn.mp3", {});
    SetReadOnly(dir.filePath("rn.mp3"), true);
    const std::vector<RenameRow> rows = PlanRename({dir.path(), {QStringLiteral("rn.mp3")}}, 4);
    ASSERT_EQ(rows.size(), 1u);  // blocked for both reasons, listed once
    EXPECT_FALSE(rows[0].ready);
}

TEST_F(RenamePlan, BackslashInAFieldIsKeptAndAllowed) {
    Mp3("b.mp3", V1Bytes("Hello", "AC\\DC"));
    const RenameRow row = Plan(QStringLiteral("b.mp3"), 6);
    EXPECT_EQ(row.newName, QStringLiteral("AC\\DC\\Hello.mp3"));
    EXPECT_TRUE(row.ready);
}

TEST_F(RenamePlan, FolderPartsThatLeaveTheFolderAreBlocked) {
    // An empty artist, "." or ".." under a folder pattern would put the file
    // into its own or its parent folder rather than a sub-folder.
    for (const QByteArray& artist : {QByteArray(), QByteArray(".."), QByteArray(".")}) {
        Mp3("d.mp3", V1Bytes("Hello", artist));
        const RenameRow row = Plan(QStringLiteral("d.mp3"), 6);
        EXPECT_EQ(row.newName, QString::fromLatin1(artist) + "\\Hello.mp3");
        EXPECT_FALSE(row.ready) << artist.constData();
    }
    EXPECT_TRUE(NamesPlaceBelowFolder(QStringLiteral("..a\\b.mp3")));
    EXPECT_FALSE(NamesPlaceBelowFolder(QStringLiteral("a\\\\b.mp3")));
}

TEST_F(RenamePlan, VanishedOrNonRegularFileGivesABlockedRowSayingWhy) {
    const RenameRow gone = Plan(QStringLiteral("gone.mp3"), 1);
    EXPECT_FALSE(gone.ready);
    EXPECT_TRUE(gone.newName.isEmpty());
    EXPECT_EQ(PreviewNewNameText(gone), QStringLiteral("（文件已不存在）"));

    // Neither a folder nor a FIFO is opened (a FIFO would wait for a writer).
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.filePath("fifo.mp3")).constData(), 0644), 0);
    for (const QString& name : {QStringLiteral("folder.mp3"), QStringLiteral("fifo.mp3")}) {
        const RenameRow row = Plan(name, 1);
        EXPECT_FALSE(row.ready);
        EXPECT_EQ(PreviewNewNameText(row), QStringLiteral("（不是普通文件）"));
    }
}

TEST_F(RenamePlan, RowsFollowTheGivenOrderAndAreReadAfresh) {
    Mp3("b.mp3", V1Bytes("Two"));
    Mp3("a.mp3", V1Bytes("One"));
    const TickedFiles files{dir.path(), {QStringLiteral("b.mp3"), QStringLiteral("a.mp3")}};
    int calls = 0;
    std::vector<RenameRow> rows = PlanRename(files, 4, [&](int done, int total) {
        ++calls;
        EXPECT_EQ(total, 2);
        EXPECT_EQ(done, calls);
    });
    EXPECT_EQ(calls, 2);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].newName, QStringLiteral("Two.mp3"));
    EXPECT_EQ(rows[1].newName, QStringLiteral("One.mp3"));

    Mp3("b.mp3", V1Bytes("Three"));
    rows = PlanRename(files, 4);
    EXPECT_EQ(rows[0].newName, QStringLiteral("Three.mp3"));
}

}  // namespace
