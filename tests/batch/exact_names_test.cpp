// Names that are not UTF-8 through the batch layer: the list, both edit
// runs, the rename, the details texts and the folder tree's lossy paths. Each
// reaches the named file and never its look-alike.
#include <gtest/gtest.h>

#include <QFile>

#include "batch/editreport.h"
#include "batch/fileinfo.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/mp3list.h"
#include "batch/rename.h"
#include "store/id3v2.h"
#include "support/exact_names_fixture.h"
#include "support/frame_rows.h"
#include "support/qt_printers.h"

namespace {

using ExactNameBatch = ExactNameFolder;

TEST_F(ExactNameBatch, TheListHoldsBothFilesAsThemselves) {
    const QStringList names = ListMp3Files(folder);
    ASSERT_EQ(names.size(), 2);
    QList<QByteArray> bytes;
    for (const QString& name : names) bytes << fileio::NativePath(name);
    std::sort(bytes.begin(), bytes.end());
    EXPECT_EQ(bytes, (QList<QByteArray>{kGbkSunny, kFffdName}));

    const std::vector<Mp3Row> rows = LoadMp3Rows(folder, {gbkName, fffdName}, {306, 101, 102});
    EXPECT_EQ(rows[0].name, gbkName);
    EXPECT_TRUE(rows[0].error.isEmpty()) << rows[0].error.toStdString();
    EXPECT_EQ(rows[0].cells, (QStringList{gbkShown, QStringLiteral("晴天"), "Jay"}));
    EXPECT_EQ(rows[1].cells, (QStringList{QStringLiteral("����.mp3"), "Other", "Someone"}));
}

TEST_F(ExactNameBatch, EditsReachOnlyTheNamedFile) {
    ID3v1Edit v1;
    v1.ticked[kV1Artist] = true;
    v1.artist = QStringLiteral("周杰伦");
    EditReport report = RunID3v1Edit({folder, {gbkName}}, v1);
    EXPECT_EQ(report.written, 1);
    EXPECT_TRUE(report.allHandled());
    EXPECT_EQ(ReadNative(Bytes(kGbkSunny)).right(128).mid(33, 6), Gbk(QStringLiteral("周杰伦")));
    ExpectFffdUntouched();

    // The title from a name that is not UTF-8 is the name's code page 936
    // text, whose bytes are the name's own.
    ID3v2Edit v2;
    v2.titleFromFileName = true;
    v2.ticked[kV2TIT2] = true;
    report = RunID3v2Edit({folder, {gbkName}}, v2);
    EXPECT_EQ(report.written, 1);
    EXPECT_TRUE(report.allHandled());
    EXPECT_EQ(ReadID3v2Tag(folder + "/" + gbkName).TIT2, QStringLiteral("晴天"));
    ExpectFffdUntouched();
    EXPECT_EQ(TitleFromFileName(fileio::NameFromNative("\xC7\xE7\xFF.mp3")),
              QStringLiteral("晴") + QChar(0xF7FF));
}

TEST_F(ExactNameBatch, FailuresAndDetailsShowTheDisplayForm) {
    const QString gone = fileio::NameFromNative(Gbk(QStringLiteral("七里香")) + ".mp3");
    ID3v1Edit edit;
    edit.ticked[kV1Artist] = true;
    const EditReport report = RunID3v1Edit({folder, {gone}}, edit);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].name, gone);
    EXPECT_TRUE(FailureMessage(report.failures)
                    .text.contains(QStringLiteral("七里香.mp3（非 UTF-8 文件名）：")));

    const FileInfo info = ReadFileInfo(folder, gbkName);
    EXPECT_TRUE(info.TagsProblem.isEmpty()) << info.TagsProblem.toStdString();
    EXPECT_EQ(info.FileName, gbkShown);
    EXPECT_EQ(info.Path, DisplayFileName(folder));
    EXPECT_TRUE(info.Path.endsWith(QStringLiteral("/旧歌（非 UTF-8 文件名）")));
    EXPECT_EQ(info.Artist, QStringLiteral("Jay"));
}

TEST_F(ExactNameBatch, RenameMovesOnlyTheNamedFile) {
    std::vector<RenameRow> rows = PlanRename({folder, {gbkName}}, 1);
    ASSERT_TRUE(rows[0].ready) << RenameRowReason(rows[0]).toStdString();
    EXPECT_EQ(rows[0].newName, QStringLiteral("Jay-晴天.mp3"));
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 1);
    EXPECT_EQ(ReadNative(Bytes("Jay-\xE6\x99\xB4\xE5\xA4\xA9.mp3")), gbkSong);
    ExpectFffdUntouched({"Jay-\xE6\x99\xB4\xE5\xA4\xA9.mp3"});
}

TEST_F(ExactNameBatch, TreePathsShownWithUFFFDResolveOnlyWhenOneFolderMatches) {
    // The tree shows Qt's decoding of each folder name.
    const QString shown = QFile::decodeName(folderBytes);
    ASSERT_TRUE(shown.contains(QChar::ReplacementCharacter));
    EXPECT_EQ(FolderFromShownPath(shown), folder);
    EXPECT_EQ(FolderFromShownPath(QStringLiteral("/tmp")), QStringLiteral("/tmp"));

    // 晴天 in code page 936 and a literal ���� look the same in the tree.
    const QByteArray gbkSub = folderBytes + "/" + Gbk(QStringLiteral("晴天"));
    const QByteArray fffdSub = folderBytes + "/\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD";
    MakeFolderNative(fffdSub);
    EXPECT_EQ(FolderFromShownPath(QFile::decodeName(fffdSub)), fileio::NameFromNative(fffdSub));
    MakeFolderNative(gbkSub);
    ASSERT_EQ(QFile::decodeName(gbkSub), QFile::decodeName(fffdSub));
    EXPECT_EQ(FolderFromShownPath(QFile::decodeName(gbkSub)), std::nullopt);
}

}  // namespace
