#include "batch/id3v2edit.h"

#include <gtest/gtest.h>

#include <QFileInfo>

#include "batch/edit_folder_fixture.h"
#include "batch/mp3list.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "support/frame_rows.h"

namespace {

using Id3v2Run = EditFolder;

// A tag with all twelve frames, each text prefixed with `p`.
QByteArray FullV2Tag(const QByteArray& p) {
    return V2Tag(
        V2Text("TIT2", p + "title") + V2Text("TPE1", p + "artist") + V2Text("TALB", p + "album") +
            V2Text("TYER", p + "yr") + V2Text("TCON", p + "genre") + V2Text("TRCK", p + "1") +
            V2Frame("COMM", QByteArray("\0eng\0", 5) + p + "comment") +
            V2Text("TCOM", p + "composer") + V2Text("TOPE", p + "orig") +
            V2Text("TCOP", p + "copy") + V2Text("WXXX", p + "link") + V2Text("TENC", p + "enc"),
        20);
}

ID3v2Edit Ticking(std::initializer_list<std::pair<int, const char*>> rows) {
    ID3v2Edit edit;
    for (const auto& [row, text] : rows) {
        edit.ticked[row] = true;
        edit.texts[row] = QString::fromUtf8(text);
    }
    return edit;
}

TEST_F(Id3v2Run, ComposerOnlyKeepsEachFilesElevenOtherFrames) {
    const QByteArray v1 = V1Bytes("v1 title", "v1 artist");
    put("a.mp3", FullV2Tag("a-") + Audio(1000) + v1);
    put("b.mp3", FullV2Tag("b-") + Audio(700));
    ID3v2Tag wantA = ReadID3v2Tag(path("a.mp3"));
    ID3v2Tag wantB = ReadID3v2Tag(path("b.mp3"));
    const ID3v2Edit edit = Ticking({{kV2TCOM, "作曲家"}});

    const EditReport report = RunID3v2Edit(ticked({"a.mp3", "b.mp3"}), edit);

    EXPECT_EQ(report.written, 2);
    for (auto* want : {&wantA, &wantB}) want->TCOM = QStringLiteral("作曲家");
    ID3v2Tag gotA = ReadID3v2Tag(path("a.mp3"));
    ID3v2Tag gotB = ReadID3v2Tag(path("b.mp3"));
    EXPECT_EQ(gotA.TCOM, wantA.TCOM);
    for (int row = 0; row < kID3v2RowCount; ++row) {
        EXPECT_EQ(ID3v2RowField(gotA, row), ID3v2RowField(wantA, row)) << row;
        EXPECT_EQ(ID3v2RowField(gotB, row), ID3v2RowField(wantB, row)) << row;
    }
    // the audio and the ID3v1 tag follow the new tag unchanged
    EXPECT_TRUE(bytes("a.mp3").endsWith(Audio(1000) + v1));
    EXPECT_TRUE(bytes("b.mp3").endsWith(Audio(700)));
    EXPECT_EQ(bytes("b.mp3").size(), 10 + gotB.Size + 700);
}

TEST_F(Id3v2Run, FileWithoutTagGetsTickedFramesAndEmptyOthers) {
    put("bare.mp3", Audio(300));
    const ID3v2Edit edit = Ticking({{kV2TPE1, "  Singer  "}, {kV2TCON, "Rock"}, {kV2TYER, ""}});

    RunID3v2Edit(ticked({"bare.mp3"}), edit);

    // TIT2 TPE1 TALB TYER TCON TRCK COMM TCOM TCOP TENC TOPE WXXX, blanks trimmed
    const QByteArray frames = V2Text("TIT2", "") + V2Text("TPE1", "Singer") + V2Text("TALB", "") +
                              V2Text("TYER", "") + V2Text("TCON", "Rock") + V2Text("TRCK", "") +
                              V2Frame("COMM", QByteArray(5, '\0')) + V2Text("TCOM", "") +
                              V2Text("TCOP", "") + V2Text("TENC", "") + V2Text("TOPE", "") +
                              V2Frame("WXXX", QByteArray(2, '\0'));  // enc, empty description
    // A new tag leaves 2 KiB of padding, so the next edit fits in place.
    EXPECT_EQ(bytes("bare.mp3"), V2Tag(frames, 2048) + Audio(300));
}

TEST_F(Id3v2Run, TypedTextsLoseBlanksButNotOtherWhiteSpace) {
    ID3v2Tag read;
    const ID3v2Edit edit = Ticking({{kV2TPE1, " lead"}, {kV2COMM, " a\nb\t "}});
    const ID3v2Tag tag = EditedID3v2Tag(edit, read, {}, QStringLiteral("x.mp3"));
    EXPECT_EQ(tag.TPE1, QStringLiteral("lead"));
    EXPECT_EQ(tag.COMM, QStringLiteral("a\nb\t"));
}

TEST_F(Id3v2Run, CopyFromId3v1) {
    const struct {
        const char* what;
        QByteArray v1;  // the file's last 128 bytes, or none
        // TIT2 TPE1 TALB TYER TCON COMM TRCK
        std::array<QString, kID3v2FromV1Rows> want;
    } cases[] = {
        {"genre 255 is Other, year untrimmed, track decimal",
         V1Bytes(" Title ", "Artist", "Album", "99", "Note", 7, 255),
         {"Title", "Artist", "Album", "99  ", "Other", "Note", "7"}},
        {"genre 0 is Blues, track 0 is \"0\"",
         V1Bytes("t", "", "", "2000", " c", 0, 0),
         {"t", "", "", "2000", "Blues", "c", "0"}},
        {"an ID3v1.0 tag gives its whole comment and no track",
         V10Bytes("t", "", "", "", "abcdefghijklmnopqrstuvwxyz0" + Gbk(QStringLiteral("段")) + "!",
                  17),
         {"t", "", "", "    ", "Rock", QStringLiteral("abcdefghijklmnopqrstuvwxyz0段!"), ""}},
        {"NUL padding is copied, and reads back as the terminator it is",
         V1Bytes("Hi", "", "", "", "", 12, 17, '\0'),
         {"Hi", "", "", "", "Rock", "", "12"}},
    };
    QStringList names;
    for (size_t i = 0; i < std::size(cases); ++i) {
        names << QStringLiteral("%1.mp3").arg(i);
        put(names.last(), V2Tag(V2Text("TCOM", "keep")) + Audio(200) + cases[i].v1);
    }
    ID3v2Edit edit = Ticking({{kV2TIT2, "typed"}, {kV2TOPE, " typed orig "}});
    edit.fromV1 = true;
    edit.titleFromFileName = true;  // not applied with the copy

    const EditReport report = RunID3v2Edit(ticked(names), edit);

    EXPECT_EQ(report.written, int(std::size(cases)));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(cases[i].what);
        ID3v2Tag got = ReadID3v2Tag(path(names[i]));
        for (int row = 0; row < kID3v2FromV1Rows; ++row) {
            EXPECT_EQ(ID3v2RowField(got, row), cases[i].want[size_t(row)]) << row;
        }
        EXPECT_EQ(got.TCOM, QStringLiteral("keep"));
        EXPECT_EQ(got.TOPE, QStringLiteral("typed orig"));
        EXPECT_TRUE(bytes(names[i]).endsWith(Audio(200) + cases[i].v1));  // ID3v1 not written
    }
}

// ---- The copy from ID3v1 on a file without an ID3v1 tag takes nothing ----

TEST_F(Id3v2Run, CopyFromId3v1KeepsTheSevenFramesOfAFileWithoutId3v1Tag) {
    put("v2only.mp3", FullV2Tag("own-") + Audio(400));
    // "tag" in lower case is no tag
    put("lower.mp3", FullV2Tag("s-") + Audio(100) + V1Bytes("T").replace(0, 3, "tag"));
    put("v1.mp3", FullV2Tag("x-") + Audio(400) + V1Bytes("T1", "A1", "", "", "", 4, 17));
    ID3v2Tag before = ReadID3v2Tag(path("v2only.mp3"));
    // Texts typed before the copy was ticked stay in the disabled boxes.
    ID3v2Edit edit = Ticking({{kV2TIT2, "typed"}, {kV2TALB, "typed"}, {kV2TENC, "enc"}});
    edit.fromV1 = true;
    for (int row = 0; row < kID3v2FromV1Rows; ++row) edit.ticked[size_t(row)] = true;

    const EditReport report = RunID3v2Edit(ticked({"v2only.mp3", "lower.mp3", "v1.mp3"}), edit);

    EXPECT_EQ(report.written, 3);  // TENC was written to all three
    EXPECT_EQ(report.withoutID3v1, (QStringList{"v2only.mp3", "lower.mp3"}));
    EXPECT_FALSE(report.allHandled());
    ID3v2Tag after = ReadID3v2Tag(path("v2only.mp3"));
    for (int row = 0; row < kID3v2FromV1Rows; ++row) {
        EXPECT_EQ(ID3v2RowField(after, row), ID3v2RowField(before, row)) << row;
    }
    EXPECT_EQ(after.TENC, QStringLiteral("enc"));
    EXPECT_EQ(ReadID3v2Tag(path("lower.mp3")).TIT2, QStringLiteral("s-title"));
    EXPECT_EQ(ReadID3v2Tag(path("v1.mp3")).TIT2, QStringLiteral("T1"));
    EXPECT_EQ(ReadID3v2Tag(path("v1.mp3")).TALB, QString());  // the ID3v1 album, blank

    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].caption, QStringLiteral("没有 ID3v1 标签的文件"));
    EXPECT_TRUE(messages[0].text.startsWith(
        QStringLiteral("2 个文件没有 ID3v1 标签，未复制\n\r\n\rv2only.mp3\nlower.mp3\n\r\n\r")));
}

TEST_F(Id3v2Run, CopyAloneLeavesAFileWithoutId3v1TagUnwritten) {
    const QByteArray bare = Audio(300);
    const QByteArray v22 = V2TagOf(2, 0, V22Frame("TT2", QByteArray("\0old", 4))) + Audio(300);
    put("bare.mp3", bare);
    put("v22.mp3", v22);
    ID3v2Edit edit;
    edit.fromV1 = true;
    for (int row = 0; row < kID3v2FromV1Rows; ++row) edit.ticked[size_t(row)] = true;

    const EditReport report = RunID3v2Edit(ticked({"bare.mp3", "v22.mp3"}), edit);

    EXPECT_EQ(report.written, 0);
    EXPECT_EQ(report.withoutID3v1, (QStringList{"bare.mp3", "v22.mp3"}));
    EXPECT_EQ(bytes("bare.mp3"), bare);
    EXPECT_EQ(bytes("v22.mp3"), v22);
}

// ---- Rows not ticked: their frames stay, and the comment shown stays ----

TEST_F(Id3v2Run, ComposerEditKeepsTheCommentColumnAndAddsNoFrame) {
    const QByteArray v1Comment =
        V2Frame("COMM", QByteArray("\0eng", 4) + "ID3v1 Comment" + QByteArray(1, '\0') +
                            Gbk(QStringLiteral("好歌")));
    const QByteArray itunes = V2Frame(
        "COMM", QByteArray("\0eng", 4) + "iTunNORM" + QByteArray(1, '\0') + " 0000021C 000001F1");
    const QByteArray link = V2Frame("WXXX", QByteArray("\0home\0http://a/", 17));
    const struct {
        const char* what;
        QByteArrayList frames;
        QString comment;  // the comment column, before and after
    } cases[] = {
        {"a described comment only", {V2Text("TIT2", "t"), v1Comment}, QStringLiteral("好歌")},
        {"machine data only", {V2Text("TIT2", "t"), itunes}, QString()},
        {"machine data before a described comment", {itunes, v1Comment}, QStringLiteral("好歌")},
        {"a described link", {link, v1Comment}, QStringLiteral("好歌")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put("a.mp3", V2Tag(c.frames.join()) + Audio(200));
        EXPECT_EQ(LoadMp3Row(folder(), "a.mp3", {207}).cells, QStringList{c.comment});

        RunID3v2Edit(ticked({"a.mp3"}), Ticking({{kV2TCOM, "作曲"}}));

        EXPECT_EQ(LoadMp3Row(folder(), "a.mp3", {207, 208}).cells,
                  (QStringList{c.comment, QStringLiteral("作曲")}));
        const QByteArray after = bytes("a.mp3");
        for (const QByteArray& frame : c.frames) EXPECT_TRUE(after.contains(frame));  // as stored
        int comms = 0, links = 0;
        for (const ID3v2Frame& frame : ParseID3v2Contents(after).frames) {
            comms += frame.id == "COMM";
            links += frame.id == "WXXX";
        }
        EXPECT_EQ(comms, c.frames.join().count("COMM"));  // no fresh comment
        EXPECT_EQ(links, 1);  // the file's own, or the empty one of the twelve
    }
}

// ---- The scratch file tempv2 is a courtesy ----

TEST_F(Id3v2Run, AProgramFolderThatCannotBeWrittenDoesNotStopTheEdit) {
    SetProgramFolder(temp_.filePath(QStringLiteral("no/such/folder")));
    put("a.mp3", V2Tag(V2Text("TIT2", "t")) + Audio(200));

    const EditReport report = RunID3v2Edit(ticked({"a.mp3"}), Ticking({{kV2TCOM, "c"}}));

    EXPECT_EQ(report.written, 1);
    EXPECT_TRUE(report.allHandled());
    EXPECT_EQ(ReadID3v2Tag(path("a.mp3")).TCOM, QStringLiteral("c"));
    EXPECT_FALSE(QFileInfo::exists(temp_.filePath(QStringLiteral("no"))));
}

// Files are planned on two threads, so which of the last files it is may vary.
TEST_F(Id3v2Run, ABatchLeavesOneOfItsFilesFramesInTheScratchFile) {
    const QStringList names = {"a.mp3", "b.mp3", "c.mp3"};
    for (const QString& name : names)
        put(name, V2Tag(V2Text("TIT2", name.left(1).toLatin1())) + Audio(200));

    const EditReport report = RunID3v2Edit(ticked(names), Ticking({{kV2TCOM, "c"}}));

    ASSERT_EQ(report.written, 3);
    const QByteArray scratch = ReadBytes(temp_.filePath(QStringLiteral("program/tempv2")));
    ASSERT_FALSE(scratch.isEmpty());
    // A file's tag is its frames followed by padding.
    int matching = 0;
    for (const QString& name : names)
        matching += ReadBytes(path(name)).mid(10, scratch.size()) == scratch;
    EXPECT_EQ(matching, 1);
}

TEST_F(Id3v2Run, TitleFromFileNameKeepsTheWholeNameButItsExtension) {
    const QString name =
        QStringLiteral(" 一个很长很长的文件名 with more than thirty characters .mp3");
    put(name, Audio(100));
    ID3v2Edit edit = Ticking({{kV2TIT2, "typed"}});
    edit.titleFromFileName = true;

    RunID3v2Edit(ticked({name}), edit);

    EXPECT_EQ(ReadID3v2Tag(path(name)).TIT2, name.chopped(4));
}

TEST_F(Id3v2Run, TypedTitleWithoutFileNameFlag) {
    const ID3v2Edit edit = Ticking({{kV2TIT2, " 歌名 "}});
    ID3v2Tag read;
    read.TIT2 = QStringLiteral("old");
    EXPECT_EQ(EditedID3v2Tag(edit, read, {}, QStringLiteral("n.mp3")).TIT2, QStringLiteral("歌名"));
    EXPECT_EQ(EditedID3v2Tag({}, read, {}, QStringLiteral("n.mp3")).TIT2, QStringLiteral("old"));
}

TEST_F(Id3v2Run, ReadOnlyAndVanishedFilesAreReportedAndUntouched) {
    const QStringList names = {"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"};
    for (const QString& name : names) put(name, FullV2Tag(name.toUtf8()) + Audio(100));
    for (const char* name : {"1.mp3", "3.mp3", "5.mp3"}) SetReadOnly(path(name), true);
    QFile::remove(path("4.mp3"));
    const QByteArray before1 = bytes("1.mp3");
    const ID3v2Edit edit = Ticking({{kV2TENC, "enc"}});

    const EditReport report = RunID3v2Edit(ticked(names), edit);

    EXPECT_EQ(report.written, 1);
    EXPECT_EQ(report.readOnly, 3);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].name, QStringLiteral("4.mp3"));
    EXPECT_EQ(bytes("1.mp3"), before1);
    EXPECT_EQ(ReadID3v2Tag(path("2.mp3")).TENC, QStringLiteral("enc"));
    EXPECT_FALSE(QFile::exists(path("4.mp3")));
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0], ReadOnlyMessage(3));
    EXPECT_TRUE(messages[1].text.contains(QStringLiteral("4.mp3：")));
}

TEST_F(Id3v2Run, TagReachingPastTheEndFailsAndLeavesTheFileAlone) {
    // header claims 5000 bytes of tag in a 300-byte file
    const QByteArray broken = QByteArray("ID3\x03\x00\x00\x00\x00\x27\x08", 10) + Audio(290);
    put("broken.mp3", broken);
    put("fine.mp3", Audio(290));

    const EditReport report =
        RunID3v2Edit(ticked({"broken.mp3", "fine.mp3"}), Ticking({{kV2TCOP, "c"}}));

    EXPECT_EQ(report.written, 1);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(bytes("broken.mp3"), broken);
}

}  // namespace
