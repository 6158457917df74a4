#include "store/filechange.h"

#include <gtest/gtest.h>

#include <map>

namespace {

// A file in memory, read as ClassifyFile reads one.
struct Image {
    FileIdentity id;
    QByteArray bytes;

    RangeReader reader() const {
        return [this](qint64 at, qint64 n) { return bytes.mid(at, n); };
    }
};

QByteArray Pattern(char base, qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    for (qsizetype i = 0; i < n; ++i) b[i] = char(base + i % 7);
    return b;
}

// An in-place change of [offset, offset + old.size()) in a 4096-byte file,
// in the journal's form (old whole, new by digest) or whole on both sides.
FileChange RegionChange(const QByteArray& file, qint64 offset, const QByteArray& newBytes,
                        bool journalForm) {
    FileChange c;
    c.path = QStringLiteral("/x.mp3");
    c.before = {1, 2, file.size(), 3};
    c.splices = {{offset, WholeSide(file.mid(offset, newBytes.size())), WholeSide(newBytes)}};
    return journalForm ? WithSides(c, true, false) : c;
}

QByteArray Applied(const QByteArray& file, const FileChange& c) {
    QByteArray out = file;
    for (auto it = c.splices.crbegin(); it != c.splices.crend(); ++it)
        out.replace(it->offset, it->before.length, it->after.bytes);
    return out;
}

}  // namespace

TEST(DiffSplices, KeepsOnlyTheRunsThatChange) {
    const QByteArray old = Pattern('a', 3000);
    struct Case {
        const char* what;
        std::map<qsizetype, char> edits;
        QList<std::pair<qint64, qint64>> expected;  // offset, length
    };
    const Case cases[] = {
        {"nothing changed", {}, {}},
        {"one byte", {{100, '#'}}, {{1100, 1}}},
        {"two runs far apart", {{10, '#'}, {2000, '#'}}, {{1010, 1}, {3000, 1}}},
        {"two runs close together merge", {{10, '#'}, {300, '#'}}, {{1010, 291}}},
        {"the last byte", {{2999, '#'}}, {{3999, 1}}},
    };
    for (const Case& c : cases) {
        QByteArray now = old;
        for (auto [at, ch] : c.edits) now[at] = ch;
        const QList<Splice> splices = DiffSplices(1000, old, now);
        ASSERT_EQ(splices.size(), c.expected.size()) << c.what;
        for (qsizetype i = 0; i < splices.size(); ++i) {
            EXPECT_EQ(splices[i].offset, c.expected[i].first) << c.what;
            EXPECT_EQ(splices[i].before.bytes,
                      old.mid(c.expected[i].first - 1000, c.expected[i].second))
                << c.what;
            EXPECT_EQ(splices[i].after.length, c.expected[i].second) << c.what;
        }
    }
    const QList<Splice> grown = DiffSplices(0, old, old + "xyz");
    ASSERT_EQ(grown.size(), 1);
    EXPECT_EQ(grown[0].before.length, 3000);
    EXPECT_EQ(grown[0].after.length, 3003);
}

TEST(InverseChange, TakesTheFileBackWithOffsetsOfTheNewFile) {
    const QByteArray file = Pattern('a', 600);
    FileChange c;
    c.method = WriteMethod::Beside;
    c.before = {1, 2, file.size(), 0};
    c.splices = {{0, WholeSide(file.left(50)), WholeSide(QByteArray(80, 'N'))},
                 {400, WholeSide(file.mid(400, 10)), WholeSide("short")}};
    ASSERT_TRUE(IsWellFormed(c));
    const QByteArray changed = Applied(file, c);
    EXPECT_EQ(c.sizeAfter(), changed.size());
    FileChange back = InverseChange(c);
    back.before = {1, 3, changed.size(), 0};
    ASSERT_TRUE(IsWellFormed(back));
    EXPECT_EQ(back.splices[1].offset, 430);
    EXPECT_EQ(Applied(changed, back), file);
}

TEST(ClassifyInPlace, JudgesEachPieceOldOrNew) {
    const QByteArray file = Pattern('a', 4096);
    const QByteArray newBytes = Pattern('K', 2048);  // covers pieces 1..4 from offset 300
    for (bool journalForm : {true, false}) {
        const FileChange c = RegionChange(file, 300, newBytes, journalForm);
        const QByteArray fresh = Applied(file, RegionChange(file, 300, newBytes, false));
        const auto judge = [&](const QByteArray& bytes, FileIdentity id) {
            id.size = bytes.size();
            Image image{id, bytes};
            return ClassifyFile(c, image.id, image.reader());
        };
        const FileIdentity same = c.before;
        QByteArray torn = file;  // the first two pieces (300..1024) written, the rest not
        torn.replace(300, 724, fresh.mid(300, 724));
        // A tear inside a 512-byte piece is not one of ours (the kernel and
        // the disk tear at sector and page boundaries): someone else wrote.
        QByteArray tornMidPiece = file;
        tornMidPiece.replace(300, 600, fresh.mid(300, 600));
        QByteArray foreign = fresh;
        foreign[2000] = '!';
        QByteArray outside = fresh;  // a byte outside the region changed: still New
        outside[4000] = '!';
        FileIdentity otherInode = same;
        otherInode.inode = 77;
        EXPECT_EQ(judge(file, same), ChangeState::Old) << journalForm;
        EXPECT_EQ(judge(fresh, same), ChangeState::New) << journalForm;
        EXPECT_EQ(judge(outside, same), ChangeState::New) << journalForm;
        EXPECT_EQ(judge(torn, same), ChangeState::Mixed) << journalForm;
        EXPECT_EQ(judge(tornMidPiece, same), ChangeState::Foreign) << journalForm;
        EXPECT_EQ(judge(foreign, same), ChangeState::Foreign) << journalForm;
        EXPECT_EQ(judge(fresh, otherInode), ChangeState::Foreign) << journalForm;
        EXPECT_EQ(judge(fresh + "x", same), ChangeState::Foreign) << journalForm;
    }
}

TEST(ClassifyInPlace, AnAppendCutShortIsOursAndALongerFileIsNot) {
    const QByteArray audio = Pattern('a', 1000);
    const QByteArray tag = Pattern('T', 128);
    FileChange c;
    c.before = {1, 2, audio.size(), 3};
    c.splices = {{1000, WholeSide({}), DigestSide(tag, 1000)}};
    ASSERT_TRUE(IsWellFormed(c));
    const auto judge = [&](const QByteArray& bytes) {
        FileIdentity id = c.before;
        id.size = bytes.size();
        Image image{id, bytes};
        return ClassifyFile(c, id, image.reader());
    };
    EXPECT_EQ(judge(audio), ChangeState::Old);
    EXPECT_EQ(judge(audio + tag), ChangeState::New);
    EXPECT_EQ(judge(audio + tag.left(40)), ChangeState::Mixed);
    EXPECT_EQ(judge(audio + QByteArray(128, '\0')), ChangeState::Mixed);  // size grew, data lost
    EXPECT_EQ(judge(audio + tag + "more"), ChangeState::Foreign);
    QByteArray audioChanged = audio + tag.left(40);
    audioChanged[10] = '!';  // outside the region: not judged
    EXPECT_EQ(judge(audioChanged), ChangeState::Mixed);
}

TEST(ClassifyBeside, TheOldInodeHoldsOldBytesAnyOtherTheNew) {
    const QByteArray file = Pattern('a', 3000);
    FileChange c;
    c.method = WriteMethod::Beside;
    c.before = {1, 2, file.size(), 3};
    c.splices = {{0, WholeSide(file.left(100)), WholeSide(Pattern('N', 700))}};
    const QByteArray fresh = Applied(file, c);
    c = WithSides(c, true, false);
    const auto judge = [&](const QByteArray& bytes, quint64 inode) {
        const FileIdentity id{1, inode, bytes.size(), 9};
        Image image{id, bytes};
        return ClassifyFile(c, id, image.reader());
    };
    EXPECT_EQ(judge(file, 2), ChangeState::Old);
    EXPECT_EQ(judge(fresh, 5), ChangeState::New);
    EXPECT_EQ(judge(file, 6), ChangeState::Old);  // put back by a rewrite of its own
    QByteArray edited = fresh;
    edited[50] = '!';
    EXPECT_EQ(judge(edited, 5), ChangeState::Foreign);
}

TEST(ClassifyRename, FindsTheFileByNameAndInode) {
    const RenameChange c{QStringLiteral("/m/a"), QStringLiteral("/m/b"), {}, {}, 1, 2};
    struct Case {
        const char* what;
        std::map<QString, quint64> names;  // name -> inode
        ChangeState expected;
    };
    const Case cases[] = {
        {"not yet moved", {{"/m/a", 2}}, ChangeState::Old},
        {"moved", {{"/m/b", 2}}, ChangeState::New},
        {"linked, old name not removed", {{"/m/a", 2}, {"/m/b", 2}}, ChangeState::Mixed},
        {"gone", {}, ChangeState::Foreign},
        {"another file at the new name", {{"/m/b", 3}}, ChangeState::Foreign},
    };
    for (const Case& k : cases) {
        const auto lstat = [&](const QString& p, struct stat* st) {
            const auto it = k.names.find(p);
            if (it == k.names.end())
                return false;
            st->st_dev = 1;
            st->st_ino = it->second;
            return true;
        };
        EXPECT_EQ(ClassifyRename(c, lstat), k.expected) << k.what;
    }
}
