// Listing a folder with its sub-folders, the audio columns' cells and the
// numbers value columns sort by, and renames of files listed from
// sub-folders.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "batch/columns.h"
#include "batch/mp3list.h"
#include "batch/rename.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/fileio.h"
#include "store/filerecords.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

class FolderListing : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(program.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    QString path(const QString& relative) const { return dir.filePath(relative); }
    void file(const QString& relative, const QByteArray& bytes = Audio(64)) const {
        ASSERT_TRUE(QDir().mkpath(FolderOf(path(relative))));
        WriteBytes(path(relative), bytes);
    }
    void link(const QString& target, const QString& relative) const {
        ASSERT_EQ(::symlink(target.toUtf8().constData(), path(relative).toUtf8().constData()), 0);
    }

    // artist / album / song, with the traps a real library holds beside it.
    void threeLevelTree() const {
        file(QStringLiteral("b.mp3"));
        file(QStringLiteral("A.MP3"));
        file(QStringLiteral("cover.jpg"));
        file(QStringLiteral("周杰伦/single.mp3"));
        file(QStringLiteral("周杰伦/叶惠美/02 以父之名.mp3"));
        file(QStringLiteral("周杰伦/叶惠美/01 晴天.mp3"));
        file(QStringLiteral("周杰伦/范特西/爱在西元前.mp3"));
        file(QStringLiteral(".hidden/秘密.mp3"));
        file(QStringLiteral("周杰伦/叶惠美/.trash/deleted.mp3"));
        ASSERT_TRUE(QDir().mkpath(path(QStringLiteral("空"))));
        link(dir.path(), QStringLiteral("周杰伦/范特西/loop"));               // back to the top
        link(path(QStringLiteral("周杰伦")), QStringLiteral("artist link"));  // a second way in
        link(path(QStringLiteral("b.mp3")), QStringLiteral("c link.mp3"));    // a file: listed
    }

    QTemporaryDir dir;
    QTemporaryDir program;
};

}  // namespace

TEST_F(FolderListing, SubFoldersAreWalkedOnceWithoutLinksOrHiddenFolders) {
    threeLevelTree();
    const Mp3Listing flat = ListMp3Files(dir.path(), ListOptions{false});
    EXPECT_EQ(flat.names, (QStringList{"A.MP3", "b.mp3", "c link.mp3"}));
    EXPECT_TRUE(flat.folders.isEmpty());

    const Mp3Listing deep = ListMp3Files(dir.path(), ListOptions{true});
    // Each folder's files before its sub-folders, each level in name order.
    EXPECT_EQ(deep.names,
              (QStringList{"A.MP3", "b.mp3", "c link.mp3", QStringLiteral("周杰伦/single.mp3"),
                           QStringLiteral("周杰伦/叶惠美/01 晴天.mp3"),
                           QStringLiteral("周杰伦/叶惠美/02 以父之名.mp3"),
                           QStringLiteral("周杰伦/范特西/爱在西元前.mp3")}));
    EXPECT_EQ(deep.folders, (QStringList{QStringLiteral("周杰伦"), QStringLiteral("周杰伦/叶惠美"),
                                         QStringLiteral("周杰伦/范特西"), QStringLiteral("空")}));
    EXPECT_TRUE(deep.unreadable.isEmpty());
    // The plain listing is the recursive one's first level.
    EXPECT_EQ(ListMp3Files(dir.path()), flat.names);
}

TEST_F(FolderListing, LoadedRowsNameFilesByTheirPathsBelowTheFolder) {
    threeLevelTree();
    const FolderRows loaded = LoadFolderRows(dir.path(), ListOptions{true}, {306, 302});
    ASSERT_EQ(loaded.rows.size(), 7u);
    const Mp3Row& deep = loaded.rows.at(4);
    EXPECT_EQ(deep.name, QStringLiteral("周杰伦/叶惠美/01 晴天.mp3"));
    EXPECT_EQ(deep.cells, (QStringList{QStringLiteral("周杰伦/叶惠美/01 晴天.mp3"), "无"}));
    EXPECT_TRUE(deep.error.isEmpty());
    EXPECT_THROW(LoadFolderRows(path(QStringLiteral("gone")), ListOptions{true}, {306}),
                 StoreError);
}

TEST_F(FolderListing, AudioColumnsShowTheFirstFramesPropertiesAndSortByValue) {
    // 300 frames of MPEG-1 layer III, 128 kbit/s, 44.1 kHz, joint stereo and
    // no VBR header: the length comes from the audio size, 300 * 417 bytes
    // at 128 kbit/s = 7.82 s.
    file(QStringLiteral("cbr.mp3"), V2Tag(V2Text("TIT2", "x")) + MpegFrames(300) + V1Bytes("t"));
    file(QStringLiteral("noise.mp3"), Audio(4000));
    const QList<int> codes = {401, 402, 403, 404, 405, 305, 106, 104, 101};
    const Mp3Row cbr = LoadMp3Row(dir.path(), QStringLiteral("cbr.mp3"), codes);
    EXPECT_EQ(cbr.cells.mid(0, 5), (QStringList{"0:08", "128 kbit/s", "44.1 kHz",
                                                QStringLiteral("联合立体声"), "MPEG-1 Layer III"}));
    ASSERT_EQ(cbr.values.size(), codes.size());
    EXPECT_NEAR(double(cbr.values.at(0)), 7819.0, 2.0);  // milliseconds
    EXPECT_EQ(cbr.values.at(1), 128 * 2);                // CBR before VBR of one figure
    EXPECT_EQ(cbr.values.at(2), 44100);

    // No MPEG frame: empty cells that sort first.
    const Mp3Row noise = LoadMp3Row(dir.path(), QStringLiteral("noise.mp3"), codes);
    EXPECT_EQ(noise.cells.mid(0, 5), QStringList(5, QString()));
    EXPECT_EQ(noise.values.mid(0, 5), QList<qint64>(5, -1));
    EXPECT_EQ(noise.values.at(5), 4000);  // size in bytes, not its text
    EXPECT_EQ(noise.values.at(6), -1);    // no ID3v1 tag: no track, no year
    EXPECT_EQ(noise.values.at(7), -1);
    EXPECT_EQ(noise.values.at(8), 0);  // a text column has no value

    // A file that cannot be read has no values at all.
    EXPECT_TRUE(LoadMp3Row(dir.path(), QStringLiteral("gone.mp3"), codes).values.isEmpty());
    EXPECT_TRUE(NeedsAudio({306, 403}));
    EXPECT_FALSE(NeedsAudio({306, 307, 305}));
}

TEST(CellSortValue, NumberColumnsSortByTheirValue) {
    const struct {
        int code;
        QByteArray year;
        quint8 track;
        qint64 value;
    } cases[] = {
        {104, "1983", 0, 1983}, {104, "83", 0, 83}, {104, "198?", 0, 198}, {104, "", 0, -1},
        {104, "?", 0, -1},      {106, "", 7, 7},    {106, "", 0, 0},       {106, "", 255, 255},
    };
    for (const auto& c : cases) {
        FileRecords records;
        records.v1 = ParseID3v1Tag(V1Bytes("t", {}, {}, c.year, {}, c.track));
        EXPECT_EQ(CellSortValue(c.code, records), c.value) << c.code << " " << c.year.constData();
    }
    FileRecords records;
    records.v1 = ParseID3v1Tag(V10Bytes("t", {}, {}, "2001", QByteArray(30, 'c'), 0));
    EXPECT_EQ(CellSortValue(106, records), -1);  // ID3v1.0: no track byte
    for (const int code : CatalogueCodes())
        EXPECT_EQ(SortsByValue(code), code == 104 || code == 106 || code == 305 || code > 400)
            << code;
}

TEST_F(FolderListing, RenameOfAFileFromASubFolderStaysInItsFolder) {
    file(QStringLiteral("周杰伦/叶惠美/01.mp3"), Audio(300) + V1Bytes("Sunny", "Jay"));
    file(QStringLiteral("周杰伦/02.mp3"), Audio(300) + V1Bytes("Rain", "Jay"));
    const TickedFiles files{
        dir.path(), {QStringLiteral("周杰伦/叶惠美/01.mp3"), QStringLiteral("周杰伦/02.mp3")}};
    std::vector<RenameRow> rows = PlanRename(files, 6);  // artist\title
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].folder, path(QStringLiteral("周杰伦/叶惠美")));
    EXPECT_EQ(rows[0].oldName, QStringLiteral("01.mp3"));
    EXPECT_EQ(ListedName(rows[0], dir.path()), QStringLiteral("周杰伦/叶惠美/01.mp3"));
    EXPECT_TRUE(rows[0].ready && rows[1].ready);
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 2);
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("周杰伦/叶惠美/Jay/Sunny.mp3"))));
    EXPECT_TRUE(QFile::exists(path(QStringLiteral("周杰伦/Jay/Rain.mp3"))));
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("Jay"))));
}

// A sub-folder whose name is not UTF-8 (an archive from Chinese Windows)
// is walked like any other, and its files are read through the exact path.
TEST_F(FolderListing, SubFolderNamedInCodePage936IsListedByItsExactBytes) {
    const QByteArray top = Native(dir.path());
    const QByteArray album("\xC7\xE7\xCC\xEC");  // 晴天 in code page 936
    MakeFolderNative(top + '/' + album);
    WriteNative(top + '/' + album + '/' + kGbkSunny, MpegFrames(20));
    const FolderRows loaded = LoadFolderRows(dir.path(), ListOptions{true}, {306, 403});
    ASSERT_EQ(loaded.rows.size(), 1u);
    const QString name = loaded.rows[0].name;
    EXPECT_EQ(fileio::NativePath(JoinPath(dir.path(), name)), top + '/' + album + '/' + kGbkSunny);
    EXPECT_TRUE(loaded.rows[0].error.isEmpty());
    EXPECT_EQ(loaded.rows[0].cells.at(1), QStringLiteral("44.1 kHz"));
    EXPECT_EQ(loaded.folders, QStringList{fileio::NameFromNative(album)});
    RemoveTreeNative(top + '/' + album);
}

// A file whose legacy text is a close call (營 alone reads in 936 and in
// Big5) follows the code page its own folder's other files were read in,
// in the window's load as in the list of names; another folder votes apart.
TEST_F(FolderListing, ACloseCallFollowsItsOwnFoldersCodePage) {
    const QByteArray close("\xC0\xE7");                 // 營 in Big5, 犁 in 936
    const QByteArray big5("\xA9\x50\xAA\x4E\xAD\xDB");  // 周杰倫
    const QByteArray gbk("\xC6\xDF\xC0\xEF\xCF\xE3");   // 七里香
    for (const char* name : {"tw/1.mp3", "tw/2.mp3", "tw/3.mp3"})
        file(QString::fromLatin1(name), V2Tag(V2Text("TPE1", big5)) + Audio(64));
    file(QStringLiteral("tw/4.mp3"), V2Tag(V2Text("TIT2", close)) + Audio(64));
    for (const char* name : {"cn/1.mp3", "cn/2.mp3", "cn/3.mp3"})
        file(QString::fromLatin1(name), V2Tag(V2Text("TPE1", gbk)) + Audio(64));
    file(QStringLiteral("cn/4.mp3"), V2Tag(V2Text("TIT2", close)) + Audio(64));

    const QList<int> codes = {306, 201, 308};
    const FolderRows loaded = LoadFolderRows(dir.path(), ListOptions{true}, codes);
    const auto rowOf = [&](const QString& name) {
        for (const Mp3Row& row : loaded.rows)
            if (row.name == name)
                return row.cells;
        return QStringList();
    };
    EXPECT_EQ(rowOf(QStringLiteral("tw/4.mp3")).mid(1),
              (QStringList{QStringLiteral("營"), QStringLiteral("Big5")}));
    EXPECT_EQ(rowOf(QStringLiteral("cn/4.mp3")).mid(1).last(), QStringLiteral("GBK"));
    EXPECT_EQ(rowOf(QStringLiteral("cn/4.mp3")).at(1), QStringLiteral("犁"));

    const std::vector<Mp3Row> tw = LoadMp3Rows(
        path(QStringLiteral("tw")),
        {QStringLiteral("1.mp3"), QStringLiteral("2.mp3"), QStringLiteral("4.mp3")}, codes);
    EXPECT_EQ(tw[2].cells.at(1), QStringLiteral("營"));
}
