// The rename run over real folders, and its report.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <cerrno>

#include "batch/rename.h"
#include "batch/rename_fixture.h"
#include "batch/text.h"
#include "store/faultyio.h"
#include "store/safewrite.h"

namespace {

const QString kRenamedLine = QStringLiteral(" 个 Mp3 文件的文件名转换成功！");
const QString kBlockedLine =
    QStringLiteral(" 个 Mp3 文件的文件名因为文件只读、新文件名不符合规范等原因无法修改！");
const QString kClashLine =
    QStringLiteral(" 个 Mp3 文件的文件名因为新文件与已有文件重名，无法修改！");
const QString kRefusedLine =
    QStringLiteral(" 个 Mp3 文件的文件名因为文件已不存在、被占用或无权访问等原因无法修改！");

class RenameRun : public RenameFolder {
  protected:
    std::vector<RenameRow> Plan(const QStringList& names, int pattern) {
        return PlanRename({dir.path(), names}, pattern);
    }
    static void ExpectCountsAddUp(const RenameReport& report, size_t rows) {
        EXPECT_EQ(size_t(report.renamed + report.blocked + report.clash + report.refused), rows);
        EXPECT_EQ(report.rows.size(), rows);
    }
};

TEST_F(RenameRun, ReadyReadOnlyAndClashingRowsAndTheirReport) {
    const QByteArray one = Mp3("1.mp3", V1Bytes("One", "Band"));
    const QByteArray two = Mp3("2.mp3", V1Bytes("Two", "Band"));
    const QByteArray three = Mp3("3.mp3", V1Bytes("Three", "Band"));
    Mp3("ro.mp3", V1Bytes("Four", "Band"));
    SetReadOnly(Path("ro.mp3"), true);
    Mp3("5.mp3", V1Bytes("Five", "Band"));
    const QByteArray standing = Mp3("Band-Five.mp3", V1Bytes("Other"));

    const auto rows = Plan({"1.mp3", "2.mp3", "ro.mp3", "5.mp3", "3.mp3"}, 1);
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 3);
    EXPECT_EQ(report.blocked, 1);
    EXPECT_EQ(report.clash, 1);
    EXPECT_EQ(report.refused, 0);
    ExpectCountsAddUp(report, rows.size());
    EXPECT_EQ(report.rows[2].outcome, RenameOutcome::Blocked);
    EXPECT_EQ(report.rows[3].outcome, RenameOutcome::Clash);

    EXPECT_EQ(ReadBytes(Path("Band-One.mp3")), one);
    EXPECT_EQ(ReadBytes(Path("Band-Two.mp3")), two);
    EXPECT_EQ(ReadBytes(Path("Band-Three.mp3")), three);
    EXPECT_EQ(ReadBytes(Path("Band-Five.mp3")), standing);
    EXPECT_TRUE(QFile::exists(Path("ro.mp3")));
    EXPECT_TRUE(QFile::exists(Path("5.mp3")));
    EXPECT_FALSE(QFile::exists(Path("1.mp3")));

    EXPECT_EQ(RenameReportText(report), QStringLiteral("3") + kRenamedLine + "\n\r\n\r" + "1" +
                                            kBlockedLine + "\n\r\n\r" + "1" + kClashLine +
                                            "\n\r\n\r");
}

TEST_F(RenameRun, ReportShowsOnlyTheLinesAboveZeroInTheirOrder) {
    const auto report = [](int renamed, int blocked, int clash, int refused) {
        RenameReport r;
        r.renamed = renamed;
        r.blocked = blocked;
        r.clash = clash;
        r.refused = refused;
        return RenameReportText(r);
    };
    EXPECT_EQ(report(0, 0, 0, 0), "0" + kRenamedLine + kMessageBreak);
    EXPECT_EQ(report(12, 0, 0, 0), "12" + kRenamedLine + kMessageBreak);
    EXPECT_EQ(report(0, 0, 2, 0),
              "0" + kRenamedLine + kMessageBreak + "2" + kClashLine + kMessageBreak);
    EXPECT_EQ(report(1, 2, 3, 4), "1" + kRenamedLine + kMessageBreak + "2" + kBlockedLine +
                                      kMessageBreak + "3" + kClashLine + kMessageBreak + "4" +
                                      kRefusedLine + kMessageBreak);
    EXPECT_EQ(kMessageBreak, QString::fromLatin1("\x0a\x0d\x0a\x0d"));
}

TEST_F(RenameRun, OfTwoFilesWithOneNewNameTheFirstInOrderWins) {
    const QByteArray a = Mp3("a.mp3", V1Bytes("Same"));
    const QByteArray b = Mp3("b.mp3", V1Bytes("Same"));
    auto rows = Plan({"a.mp3", "b.mp3"}, 4);
    RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 1);
    EXPECT_EQ(report.blocked, 1);  // the plan saw the second take the first's name
    EXPECT_EQ(report.rows[1].reason, QStringLiteral("与第 1 行的新文件名相同"));
    EXPECT_EQ(ReadBytes(Path("Same.mp3")), a);
    EXPECT_EQ(ReadBytes(Path("b.mp3")), b);

    // The other order, as after sorting the preview the other way.
    ASSERT_TRUE(QFile::rename(Path("Same.mp3"), Path("a.mp3")));
    rows = Plan({"a.mp3", "b.mp3"}, 4);
    std::reverse(rows.begin(), rows.end());
    MarkSameTargets(rows);
    report = RunRename(rows);
    EXPECT_EQ(report.rows[0].outcome, RenameOutcome::Renamed);
    EXPECT_EQ(report.rows[1].outcome, RenameOutcome::Blocked);
    EXPECT_EQ(ReadBytes(Path("Same.mp3")), b);
    EXPECT_EQ(ReadBytes(Path("a.mp3")), a);

    // Rows not checked as a batch still never share a target.
    ASSERT_TRUE(QFile::rename(Path("Same.mp3"), Path("b.mp3")));
    rows = {PlanRenameRow(dir.path(), "a.mp3", 4), PlanRenameRow(dir.path(), "b.mp3", 4)};
    report = RunRename(rows);
    EXPECT_EQ(report.rows[1].outcome, RenameOutcome::Clash);
    EXPECT_EQ(ReadBytes(Path("Same.mp3")), a);
}

TEST_F(RenameRun, TwoFilesOfOneAlbumMoveIntoOneNewFolder) {
    const QByteArray one = Mp3("1.mp3", V1Bytes("One", {}, "Album"));
    const QByteArray two = Mp3("2.mp3", V1Bytes("Two", {}, "Album"));
    const auto rows = Plan({"1.mp3", "2.mp3"}, 7);
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 2);
    EXPECT_TRUE(QFileInfo(Path("Album")).isDir());
    EXPECT_EQ(ReadBytes(Path("Album/One.mp3")), one);
    EXPECT_EQ(ReadBytes(Path("Album/Two.mp3")), two);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot),
              QStringList{"Album"});
}

TEST_F(RenameRun, PlainFileBearingTheArtistsNameRefusesTheMove) {
    const QByteArray song = Mp3("s.mp3", V1Bytes("Hello", "Band"));
    WriteBytes(Path("Band"), "not a folder");
    const auto rows = Plan({"s.mp3"}, 6);
    ASSERT_TRUE(rows[0].ready);
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.refused, 1);
    ExpectCountsAddUp(report, 1);
    EXPECT_FALSE(report.rows[0].reason.isEmpty());
    EXPECT_EQ(ReadBytes(Path("s.mp3")), song);
    EXPECT_EQ(ReadBytes(Path("Band")), "not a folder");
    EXPECT_TRUE(RenameReportText(report).endsWith("1" + kRefusedLine + kMessageBreak));
}

TEST_F(RenameRun, AnythingStandingAtTheTargetIsAClashAndStaysUntouched) {
    // A hidden file (title ".Hello"), a folder, and the file's own name.
    const QByteArray hiddenSong = Mp3("h.mp3", V1Bytes(".Hello"));
    WriteBytes(Path(".Hello.mp3"), "hidden");
    const QByteArray folderSong = Mp3("f.mp3", V1Bytes("Folder"));
    ASSERT_TRUE(QDir(dir.path()).mkdir("Folder.mp3"));
    const QByteArray same = Mp3("Same.mp3", V1Bytes("Same"));

    const auto rows = Plan({"h.mp3", "f.mp3", "Same.mp3"}, 4);
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.clash, 3);
    ExpectCountsAddUp(report, 3);
    EXPECT_EQ(ReadBytes(Path(".Hello.mp3")), "hidden");
    EXPECT_EQ(ReadBytes(Path("h.mp3")), hiddenSong);
    EXPECT_EQ(ReadBytes(Path("f.mp3")), folderSong);
    EXPECT_TRUE(QFileInfo(Path("Folder.mp3")).isDir());
    EXPECT_EQ(ReadBytes(Path("Same.mp3")), same);
}

TEST_F(RenameRun, CaseOnlyChangeIsARealRename) {
    const QByteArray song = Mp3("hello.mp3", V1Bytes("Hello"));
    const RenameReport report = RunRename(Plan({"hello.mp3"}, 4));
    EXPECT_EQ(report.renamed, 1);
    EXPECT_EQ(ReadBytes(Path("Hello.mp3")), song);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"Hello.mp3"});
}

TEST_F(RenameRun, FileRemovedAfterThePreviewIsRefusedAndOthersStillRename) {
    Mp3("1.mp3", V1Bytes("One"));
    Mp3("gone.mp3", V1Bytes("Gone", {}, "Album"));
    Mp3("3.mp3", V1Bytes("Three"));
    auto rows = Plan({"1.mp3", "gone.mp3", "3.mp3"}, 4);
    rows[1] = PlanRename({dir.path(), {"gone.mp3"}}, 7)[0];  // a folder pattern
    ASSERT_TRUE(QFile::remove(Path("gone.mp3")));
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 2);
    EXPECT_EQ(report.refused, 1);
    EXPECT_EQ(report.rows[1].outcome, RenameOutcome::Refused);
    EXPECT_FALSE(QFileInfo::exists(Path("Album")));  // no folder left for a file that is gone
    EXPECT_TRUE(QFile::exists(Path("One.mp3")));
    EXPECT_TRUE(QFile::exists(Path("Three.mp3")));
}

TEST_F(RenameRun, SubFolderMadeForARefusedRenameIsRemovedAgain) {
    // The artist "AC\\DC" asks for two levels; the run makes the first only,
    // so the move is refused and the new, empty "AC" goes again.
    const QByteArray song = Mp3("s.mp3", V1Bytes("Hello", "AC\\DC"));
    const RenameReport report = RunRename(Plan({"s.mp3"}, 6));
    EXPECT_EQ(report.refused, 1);
    EXPECT_FALSE(QFileInfo::exists(Path("AC")));
    EXPECT_EQ(ReadBytes(Path("s.mp3")), song);

    // A folder that was there before stays, even when it is empty.
    ASSERT_TRUE(QDir(dir.path()).mkdir("AC"));
    EXPECT_EQ(RunRename(Plan({"s.mp3"}, 6)).refused, 1);
    EXPECT_TRUE(QFileInfo(Path("AC")).isDir());
    EXPECT_EQ(ReadBytes(Path("s.mp3")), song);
}

TEST_F(RenameRun, ExistingSubFolderIsUsedAndBlockedRowsAreNotTouched) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("Band"));
    Mp3("s.mp3", V1Bytes("Hello", "Band"));
    Mp3("bad.mp3", V1Bytes("Why?", "Band"));
    int calls = 0;
    const RenameReport report =
        RunRename(Plan({"s.mp3", "bad.mp3"}, 6), {.progress = [&](int done, int total) {
                      EXPECT_EQ(done, ++calls);
                      EXPECT_EQ(total, 2);
                  }});
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(report.renamed, 1);
    EXPECT_EQ(report.blocked, 1);
    EXPECT_TRUE(QFile::exists(Path("Band/Hello.mp3")));
    EXPECT_TRUE(QFile::exists(Path("bad.mp3")));
}

TEST_F(RenameRun, BothWaysOfMovingNeverReplaceTheTarget) {
    // The no-replace rename, and the link-then-unlink a file system that
    // refuses the flag gets instead.
    for (const bool flagRefused : {false, true}) {
        SCOPED_TRACE(flagRefused);
        sysio::FaultyIO io;
        if (flagRefused)
            io.failFrom(sysio::Call::RenameNoReplace, 1, EINVAL);
        const QByteArray song = Mp3("s.mp3", V1Bytes("Hello"));
        WriteBytes(Path("taken.mp3"), "taken");
        const auto move = [&](const QString& to) {
            struct stat st;
            RenameChange change;
            change.from = Path("s.mp3");
            change.to = to;
            if (::lstat(QFile::encodeName(change.from).constData(), &st) == 0) {
                change.device = st.st_dev;
                change.inode = st.st_ino;
            }
            return ApplyRename(io, change).status;
        };
        EXPECT_EQ(move(Path("taken.mp3")), ApplyStatus::Refused);
        EXPECT_EQ(ReadBytes(Path("taken.mp3")), "taken");
        EXPECT_EQ(ReadBytes(Path("s.mp3")), song);

        ASSERT_TRUE(QDir(dir.path()).mkpath("sub"));
        EXPECT_EQ(move(Path("sub/new.mp3")), ApplyStatus::Written);
        EXPECT_EQ(ReadBytes(Path("sub/new.mp3")), song);
        EXPECT_FALSE(QFile::exists(Path("s.mp3")));
        EXPECT_EQ(move(Path("again.mp3")), ApplyStatus::Refused);
        ASSERT_TRUE(QFile::remove(Path("sub/new.mp3")));
    }
}

TEST_F(RenameRun, HiddenSubFolderNameIsNotSeenButNeverOverwritten) {
    // ".band" is hidden: the folder test does not see it, creating it finds
    // it there, and the rename then decides.
    ASSERT_TRUE(QDir(dir.path()).mkdir(".band"));
    Mp3("s.mp3", V1Bytes("Hello", ".band"));
    EXPECT_EQ(RunRename(Plan({"s.mp3"}, 6)).renamed, 1);
    EXPECT_TRUE(QFile::exists(Path(".band/Hello.mp3")));

    WriteBytes(Path(".solo"), "hidden file");
    const QByteArray song = Mp3("t.mp3", V1Bytes("Hello", ".solo"));
    EXPECT_EQ(RunRename(Plan({"t.mp3"}, 6)).refused, 1);
    EXPECT_EQ(ReadBytes(Path(".solo")), "hidden file");
    EXPECT_EQ(ReadBytes(Path("t.mp3")), song);
}

TEST_F(RenameRun, EmptyPlanReportsZero) {
    const RenameReport report = RunRename({});
    ExpectCountsAddUp(report, 0);
    EXPECT_EQ(RenameReportText(report), "0" + kRenamedLine + kMessageBreak);
}

}  // namespace
