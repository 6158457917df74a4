// The rename plan checked as a whole batch, the reason of every blocked row,
// sub-folders that lead outside the listed folder, and the list of files not
// renamed that the report carries.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include "batch/rename.h"
#include "batch/rename_fixture.h"
#include "support/qt_printers.h"

namespace {

class RenameBatch : public RenameFolder {
  protected:
    std::vector<RenameRow> Plan(const QStringList& names, int pattern) {
        return PlanRename({dir.path(), names}, pattern);
    }
    static QStringList Reasons(const std::vector<RenameRow>& rows) {
        QStringList reasons;
        for (const RenameRow& row : rows) reasons << RenameRowReason(row);
        return reasons;
    }
    void Link(const QString& target, const QString& name) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(),
                            QFile::encodeName(Path(name)).constData()),
                  0);
    }
};

TEST_F(RenameBatch, LaterRowsTakingAnEarlierRowsTargetAreBlocked) {
    Mp3("a.mp3", V1Bytes("Same"));
    Mp3("b.mp3", V1Bytes("Other"));
    Mp3("c.mp3", V1Bytes("Same"));
    Mp3("d.mp3", V1Bytes("Same"));
    Mp3("e.mp3", V1Bytes("same"));  // another name on a file system that tells case
    std::vector<RenameRow> rows = Plan({"a.mp3", "b.mp3", "c.mp3", "d.mp3", "e.mp3"}, 4);
    const QString same = QStringLiteral("与第 1 行的新文件名相同");
    EXPECT_EQ(Reasons(rows), (QStringList{"", "", same, same, ""}));
    EXPECT_TRUE(rows[0].ready);
    EXPECT_FALSE(rows[2].ready);
    EXPECT_EQ(rows[3].sameTargetAs, 1);
    EXPECT_TRUE(rows[4].ready);
    EXPECT_EQ(PreviewNewNameText(rows[2]), QStringLiteral("Same.mp3"));

    // Another order is checked again: the first row shown keeps the name.
    std::reverse(rows.begin(), rows.end());
    MarkSameTargets(rows);
    const QString sameAs2 = QStringLiteral("与第 2 行的新文件名相同");
    EXPECT_EQ(Reasons(rows), (QStringList{"", "", sameAs2, "", sameAs2}));

    // A blocked row takes no name; the folder patterns compare whole paths.
    Mp3("ro.mp3", V1Bytes("Same"));
    SetReadOnly(Path("ro.mp3"), true);
    rows = Plan({"ro.mp3", "a.mp3"}, 4);
    EXPECT_EQ(Reasons(rows), (QStringList{QStringLiteral("文件只读"), ""}));
    Mp3("f.mp3", V1Bytes("Song", "Band"));
    Mp3("g.mp3", V1Bytes("Song", "Band"));
    Mp3("h.mp3", V1Bytes("Song", "Band2"));
    rows = Plan({"f.mp3", "h.mp3", "g.mp3"}, 6);
    EXPECT_EQ(Reasons(rows), (QStringList{"", "", same}));
}

TEST_F(RenameBatch, EveryBlockedRowSaysWhy) {
    const struct {
        const char* what;
        QByteArray tag;
        int pattern;
        QString reason;
    } cases[] = {
        {"no tag", {}, 1, QStringLiteral("文件没有 ID3v1 标签")},
        {"forbidden", V1Bytes("Why?", "A:B"), 1, QStringLiteral("新文件名含有不允许的字符“:”“?”")},
        // 0x81 before a space is a character in none of the legacy code pages.
        {"undecodable byte",
         V1Bytes("\x81 "
                 "abc"),
         4, QStringLiteral("标签含有无法解码的字节 0x81")},
        {"tab and escape", V1Bytes("a\tb\x1B"), 4,
         QStringLiteral("新文件名含有控制字符 U+0009、U+001B")},
        {"line feed", V1Bytes("a\nb"), 4, QStringLiteral("新文件名含有控制字符 U+000A")},
        {"parent folder", V1Bytes("Song", ".."), 6,
         QStringLiteral("新文件名中的文件夹名为空或为“.”“..”")},
        {"several faults", V1Bytes("a|\x01"), 4,
         QStringLiteral("新文件名含有不允许的字符“|”；新文件名含有控制字符 U+0001")},
    };
    for (const auto& c : cases) {
        Mp3("x.mp3", c.tag);
        const RenameRow row = PlanRenameRow(dir.path(), "x.mp3", c.pattern);
        EXPECT_FALSE(row.ready) << c.what;
        EXPECT_EQ(RenameRowReason(row), c.reason) << c.what;
    }
    // A read-only file without a tag is blocked for both reasons.
    Mp3("x.mp3", {});
    SetReadOnly(Path("x.mp3"), true);
    EXPECT_EQ(RenameRowReason(PlanRenameRow(dir.path(), "x.mp3", 4)),
              QStringLiteral("文件只读；文件没有 ID3v1 标签"));
    EXPECT_EQ(RenameRowReason(PlanRenameRow(dir.path(), "gone.mp3", 4)),
              QStringLiteral("文件已不存在"));

    // A lone surrogate names no bytes; a pair is a character.
    EXPECT_EQ(NewNameProblems(QStringLiteral("a") + QChar(0xD800) + QStringLiteral(".mp3")),
              QStringList{QStringLiteral("新文件名含有无效的字符 U+D800")});
    EXPECT_EQ(NewNameProblems(QString::fromUcs4(U"\U0001F3B5.mp3")), QStringList());
    EXPECT_EQ(NewNameProblems(QStringLiteral("Band\\晴天.mp3")), QStringList());
}

TEST_F(RenameBatch, SubFolderLinkedOutsideTheFolderIsRefused) {
    QTemporaryDir outside;
    ASSERT_TRUE(QDir(dir.path()).mkdir("Real"));
    Link(outside.path(), "Away");
    Link(Path("Real"), "Near");
    Mp3("a.mp3", V1Bytes("Song", "Away"));
    Mp3("b.mp3", V1Bytes("Song", "Near"));
    Mp3("c.mp3", V1Bytes("Song", "Real\\Away2"));
    Link(outside.path(), "Real/Away2");

    std::vector<RenameRow> rows = Plan({"a.mp3", "b.mp3", "c.mp3"}, 6);
    EXPECT_EQ(Reasons(rows),
              (QStringList{QStringLiteral("文件夹“Away”是指向所列文件夹之外的符号链接"), "",
                           QStringLiteral("文件夹“Real\\Away2”是指向所列文件夹之外的符号链接")}));
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 1);
    EXPECT_TRUE(QFile::exists(Path("Real/Song.mp3")));  // through the link that stays inside
    EXPECT_TRUE(QDir(outside.path()).isEmpty());

    // A link made after the preview is found by the run.
    Mp3("d.mp3", V1Bytes("Song", "Later"));
    rows = Plan({"d.mp3"}, 6);
    ASSERT_TRUE(rows[0].ready);
    Link(outside.path(), "Later");
    const RenameReport late = RunRename(rows);
    EXPECT_EQ(late.refused, 1);
    EXPECT_EQ(late.rows[0].reason, QStringLiteral("文件夹“Later”是指向所列文件夹之外的符号链接"));
    EXPECT_TRUE(QFile::exists(Path("d.mp3")));
    EXPECT_TRUE(QDir(outside.path()).isEmpty());
}

TEST_F(RenameBatch, DetailsListEveryFileNotRenamedWithItsReason) {
    Mp3("1.mp3", V1Bytes("One"));
    Mp3("2.mp3", V1Bytes("One"));
    Mp3("3.mp3", V1Bytes("Taken"));
    WriteBytes(Path("Taken.mp3"), "standing");
    Mp3("4.mp3", V1Bytes("Four", "Band"));
    WriteBytes(Path("Band"), "a file, not a folder");
    std::vector<RenameRow> rows = Plan({"1.mp3", "2.mp3", "3.mp3", "gone.mp3"}, 4);
    rows.push_back(PlanRenameRow(dir.path(), "4.mp3", 6));
    const RenameReport report = RunRename(rows);
    EXPECT_EQ(report.renamed, 1);
    const QStringList lines =
        RenameDetailsText({"1.mp3", "2.mp3", "3.mp3", "gone.mp3", "4.mp3"}, report).split('\n');
    ASSERT_EQ(lines.size(), 4);
    EXPECT_EQ(lines[0], QStringLiteral("2.mp3：与第 1 行的新文件名相同"));
    EXPECT_EQ(lines[1], QStringLiteral("3.mp3：已有同名的文件或文件夹“Taken.mp3”"));
    EXPECT_EQ(lines[2], QStringLiteral("gone.mp3：文件已不存在"));
    EXPECT_TRUE(lines[3].startsWith(QStringLiteral("4.mp3：重命名“"))) << lines[3].toStdString();
    EXPECT_TRUE(lines[3].contains(QStringLiteral("路径中有一部分不是文件夹")));

    RenameReport none;
    none.rows = {{RenameOutcome::Renamed, {}}};
    EXPECT_EQ(RenameDetailsText({"a.mp3"}, none), QString());
}

}  // namespace
