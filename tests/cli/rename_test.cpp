// tamberlo-cli rename: the plan printed, the run and its report, exit codes.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QProcess>

#include "batch/rename_fixture.h"
#include "batch/text.h"

namespace {

struct Result {
    int status;
    QString out;
    QString err;
};

Result Cli(const QStringList& args) {
    QProcess process;
    process.start(qEnvironmentVariable("TAMBERLO_CLI"), QStringList{"rename"} + args);
    EXPECT_TRUE(process.waitForFinished(30000));
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

using CliRename = RenameFolder;

TEST_F(CliRename, DryRunPrintsThePlanInTheGivenOrderAndTouchesNothing) {
    Mp3("b.mp3", V1Bytes("Hello", "Band"));
    Mp3("a.mp3", V1Bytes("Why?", "Band"));
    const Result r = Cli({"--pattern", "6", "--dry-run", Path("b.mp3"), Path("a.mp3")});
    EXPECT_EQ(r.status, 1);  // one row is blocked
    // Fields are escaped as `list` escapes cells: the backslash doubled.
    EXPECT_EQ(r.out,
              Path("b.mp3") + "\tBand\\\\Hello.mp3\tready\n" + Path("a.mp3") +
                  QStringLiteral("\tBand\\\\Why?.mp3\tblocked\t新文件名含有不允许的字符“?”\n"));
    EXPECT_TRUE(QFile::exists(Path("b.mp3")));
    EXPECT_FALSE(QFile::exists(Path("Band")));

    EXPECT_EQ(Cli({"--pattern=4", "--dry-run", Path("b.mp3")}).status, 0);
}

TEST_F(CliRename, RunRenamesAndPrintsTheWindowsReport) {
    const QByteArray song = Mp3("s.mp3", V1Bytes("Hello", "Band"));
    const Result r = Cli({"--pattern", "1", Path("s.mp3")});
    EXPECT_EQ(r.status, 0);
    EXPECT_TRUE(r.out.endsWith(QStringLiteral("1 个 Mp3 文件的文件名转换成功！") + kMessageBreak));
    EXPECT_EQ(ReadBytes(Path("Band-Hello.mp3")), song);
}

TEST_F(CliRename, EveryFileNotRenamedIsNamedWithItsReasonAndExitOne) {
    Mp3("a.mp3", V1Bytes("Same"));
    Mp3("b.mp3", V1Bytes("Same"));
    Mp3("c.mp3", V1Bytes("Taken"));
    WriteBytes(Path("Taken.mp3"), "standing");
    const Result r =
        Cli({"--pattern", "4", Path("b.mp3"), Path("a.mp3"), Path("gone.mp3"), Path("c.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(ReadBytes(Path("Same.mp3")).left(5), "b.mp3");  // first given wins
    EXPECT_TRUE(r.out.contains(Path("a.mp3") +
                               QStringLiteral("\tSame.mp3\tblocked\t与第 1 行的新文件名相同\n")));
    EXPECT_TRUE(r.out.contains(QStringLiteral("（文件已不存在）\tblocked\t文件已不存在\n")));
    EXPECT_TRUE(r.out.endsWith(
        QStringLiteral("1 个 Mp3 文件的文件名转换成功！") + kMessageBreak +
        QStringLiteral("2 个 Mp3 文件的文件名因为文件只读、新文件名不符合规范等原因无法修改！") +
        kMessageBreak +
        QStringLiteral("1 个 Mp3 文件的文件名因为新文件与已有文件重名，无法修改！") +
        kMessageBreak));
    EXPECT_EQ(r.err, QStringLiteral("tamberlo-cli rename: ") + Path("a.mp3") +
                         QStringLiteral("：与第 1 行的新文件名相同\n") +
                         QStringLiteral("tamberlo-cli rename: ") + Path("gone.mp3") +
                         QStringLiteral("：文件已不存在\n") +
                         QStringLiteral("tamberlo-cli rename: ") + Path("c.mp3") +
                         QStringLiteral("：已有同名的文件或文件夹“Taken.mp3”\n"));
}

TEST_F(CliRename, TabsAndLineBreaksInPathsAreEscaped) {
    ASSERT_TRUE(QDir(dir.path()).mkdir("a\tb"));
    Mp3("a\tb/x\ny.mp3", V1Bytes("Tab\there"));
    const Result r = Cli({"--pattern", "4", "--dry-run", Path("a\tb/x\ny.mp3")});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, dir.path() + QStringLiteral("/a\\tb/x\\ny.mp3\tTab\\there.mp3\tblocked\t"
                                                 "新文件名含有控制字符 U+0009\n"));
    EXPECT_EQ(r.out.count('\n'), 1);
}

TEST_F(CliRename, UsageErrorsExitTwo) {
    Mp3("s.mp3", V1Bytes("Hello"));
    for (const QStringList& args :
         {QStringList{Path("s.mp3")}, QStringList{"--pattern", "0", Path("s.mp3")},
          QStringList{"--pattern", "10", Path("s.mp3")},
          QStringList{"--pattern", "x", Path("s.mp3")}, QStringList{"--pattern"},
          QStringList{"--pattern", "1"}, QStringList{"--pattern", "1", "--bogus", Path("s.mp3")}}) {
        const Result r = Cli(args);
        EXPECT_EQ(r.status, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(r.out.isEmpty());
        EXPECT_TRUE(r.err.contains("usage:"));
    }
    EXPECT_TRUE(QFile::exists(Path("s.mp3")));
}

}  // namespace
