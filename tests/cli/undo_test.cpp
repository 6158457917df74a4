// tamberlo-cli undo, and the recovery every command starts with.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDir>
#include <QStandardPaths>

#include "batch/edit_folder_fixture.h"
#include "support/cli_run.h"
#include "support/qt_printers.h"

namespace {

class CliUndo : public EditFolder {};

TEST_F(CliUndo, ListsDryRunsAndTakesTheLastBatchBackWithKeepMtime) {
    const QByteArray song = MpegFrames(3) + V1Bytes("Old", "Band");
    put("a.mp3", song);
    put("b.mp3", song);
    const struct timespec old[2] = {{1000000000, 0}, {1000000000, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("a.mp3")).constData(), old, 0), 0);

    const CliRun edit =
        RunCli({"v1", "--artist", "New", "--keep-mtime", path("a.mp3"), path("b.mp3")});
    ASSERT_EQ(edit.status, 0) << qPrintable(edit.err);
    EXPECT_NE(bytes("a.mp3"), song);
    struct stat st;
    ASSERT_EQ(::stat(QFile::encodeName(path("a.mp3")).constData(), &st), 0);
    EXPECT_EQ(st.st_mtim.tv_sec, 1000000000);

    const CliRun list = RunCli({"undo", "--list"});
    EXPECT_EQ(list.status, 0);
    const QStringList lines =
        QString::fromUtf8(list.out).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1) << list.out.constData();  // both files are one batch
    EXPECT_TRUE(lines[0].contains(QStringLiteral("\t撤销：修改 ID3v1 标签，2 个文件，")));

    const CliRun dry = RunCli({"undo", "--dry-run"});
    EXPECT_EQ(dry.status, 0);
    EXPECT_TRUE(QString::fromUtf8(dry.out).startsWith(QStringLiteral("撤销：修改 ID3v1 标签")));
    // File by file, newest first.
    EXPECT_TRUE(QString::fromUtf8(dry.out).endsWith(QStringLiteral("\n恢复：") + path("b.mp3") +
                                                    QStringLiteral("\n恢复：") + path("a.mp3") +
                                                    QLatin1Char('\n')))
        << dry.out.constData();
    EXPECT_NE(bytes("a.mp3"), song);

    const CliRun undo = RunCli({"undo"});
    EXPECT_EQ(undo.status, 0) << undo.out.constData();
    EXPECT_TRUE(QString::fromUtf8(undo.out).contains(QStringLiteral("2 个文件已恢复原样。")));
    EXPECT_EQ(bytes("a.mp3"), song);
    EXPECT_EQ(bytes("b.mp3"), song);

    const CliRun again = RunCli({"undo"});
    EXPECT_EQ(again.status, 1);
    EXPECT_TRUE(QString::fromUtf8(again.out).contains(QStringLiteral("没有可以撤销的修改。")));
    EXPECT_EQ(RunCli({"undo", "--bogus"}).status, 2);
}

TEST_F(CliUndo, ARenameIsUndoneAndAChangedFileIsNamed) {
    put("x.mp3", MpegFrames(2) + V1Bytes("Hello", "Band"));
    put("y.mp3", MpegFrames(2) + V1Bytes("World", "Band"));
    ASSERT_EQ(RunCli({"rename", "--pattern", "6", path("x.mp3"), path("y.mp3")}).status, 0);
    ASSERT_TRUE(QFile::exists(path("Band/Hello.mp3")));
    // The second renamed file goes away meanwhile.
    ASSERT_TRUE(QFile::remove(path("Band/World.mp3")));

    const CliRun dry = RunCli({"undo", "--dry-run"});
    EXPECT_EQ(dry.status, 0);
    const QString plan = QString::fromUtf8(dry.out);
    EXPECT_TRUE(plan.contains(QStringLiteral("不会改动：") + path("Band/World.mp3") +
                              QStringLiteral("：文件已不存在")) &&
                plan.contains(QStringLiteral("改回：") + path("Band/Hello.mp3") +
                              QStringLiteral(" → ") + path("x.mp3")))
        << dry.out.constData();
    EXPECT_TRUE(QFile::exists(path("Band/Hello.mp3")));

    const CliRun undo = RunCli({"undo"});
    EXPECT_EQ(undo.status, 1);
    EXPECT_TRUE(QFile::exists(path("x.mp3")));
    EXPECT_TRUE(QString::fromUtf8(undo.out).contains(QStringLiteral("World.mp3")))
        << undo.out.constData();
}

}  // namespace
