#include "batch/id3v1edit.h"

#include <gtest/gtest.h>

#include "batch/edit_folder_fixture.h"
#include "store/id3v1.h"

namespace {

using Id3v1Run = EditFolder;

ID3v1Edit Ticking(std::initializer_list<ID3v1Row> rows) {
    ID3v1Edit edit;
    for (ID3v1Row row : rows) edit.ticked[row] = true;
    return edit;
}

TEST_F(Id3v1Run, UntickedFieldsKeepEachFilesOwnValues) {
    put("a.mp3", Audio(300) + V1Bytes("Song A", "Artist A", "Old", "1999", "note a", 3, 17));
    put("b.mp3", Audio(400) + V1Bytes("Song B", "Artist B", "Old", "2001", "note b", 9, 255));
    ID3v1Edit edit = Ticking({kV1Album});
    edit.album = QStringLiteral("New Album");
    edit.artist = QStringLiteral("typed but not ticked");

    const EditReport report = RunID3v1Edit(ticked({"a.mp3", "b.mp3"}), edit);

    EXPECT_EQ(report.written, 2);
    EXPECT_TRUE(report.allHandled());
    EXPECT_EQ(bytes("a.mp3"),
              Audio(300) + V1Bytes("Song A", "Artist A", "New Album", "1999", "note a", 3, 17));
    EXPECT_EQ(bytes("b.mp3"),
              Audio(400) + V1Bytes("Song B", "Artist B", "New Album", "2001", "note b", 9, 255));
}

TEST_F(Id3v1Run, NulPaddedFieldsAreWrittenBackSpacePadded) {
    // title "Hi" NUL padded; comment "c" NUL then junk after the NUL
    QByteArray tag = V1Bytes("Hi", "Band", "", "", "c", 1, 2, '\0');
    tag[97 + 2] = 'x';  // a byte after the comment's first NUL
    tag[125] = 0x55;    // old layout: comment byte 29 in the zero byte's place
    put("nul.mp3", Audio(200) + tag);
    ID3v1Edit edit = Ticking({kV1Year});
    edit.year = QStringLiteral("2024");

    RunID3v1Edit(ticked({"nul.mp3"}), edit);

    EXPECT_EQ(tail("nul.mp3"), V1Bytes("Hi", "Band", "", "2024", "c", 1, 2, ' '));
}

TEST_F(Id3v1Run, TickedEmptyInputsWriteBlankFields) {
    put("a.mp3", Audio(200) + V1Bytes("T", "Art", "Alb", "1999", "Com", 5, 7));
    const ID3v1Edit edit = Ticking({kV1Artist, kV1Album, kV1Year, kV1Comment, kV1Track});

    RunID3v1Edit(ticked({"a.mp3"}), edit);

    EXPECT_EQ(tail("a.mp3"), V1Bytes("T", "", "", "    ", "", 0, 7));
}

TEST_F(Id3v1Run, TitlesFromFileNames) {
    const QString longName = QStringLiteral("0123456789abcdefghijKLMNOPQRSTuvwxyz.mp3");  // 36 + 4
    put("01 Intro.mp3", Audio(200) + V1Bytes("old", "A"));
    put(longName, Audio(200) + V1Bytes("old", "B"));
    put("中文歌名.mp3", Audio(200) + V1Bytes("old", "C"));
    ID3v1Edit edit;
    edit.titleFromFileName = true;
    edit.ticked[kV1Title] = true;  // the window ticks row 0 with the file-name box
    edit.title = QStringLiteral("ignored");

    const EditReport report =
        RunID3v1Edit(ticked({"01 Intro.mp3", longName, "中文歌名.mp3"}), edit);

    EXPECT_EQ(report.written, 3);
    EXPECT_EQ(tail("01 Intro.mp3"), V1Bytes("01 Intro", "A"));
    EXPECT_EQ(tail(longName), V1Bytes("0123456789abcdefghijKLMNOPQRST", "B"));
    EXPECT_EQ(tail("中文歌名.mp3"), V1Bytes(Gbk("中文歌名"), "C"));
}

TEST_F(Id3v1Run, TypedTitleGoesToTheFileWhenNotFromFileName) {
    put("one.mp3", Audio(200) + V1Bytes("old", "A"));
    ID3v1Edit edit = Ticking({kV1Title});
    edit.title = QStringLiteral("新的歌名");

    RunID3v1Edit(ticked({"one.mp3"}), edit);

    EXPECT_EQ(tail("one.mp3"), V1Bytes(Gbk("新的歌名"), "A"));
}

TEST_F(Id3v1Run, FileWithoutTagReceivesTheNotAvailableRecord) {
    put("bare.mp3", Audio(500));
    ID3v1Edit edit = Ticking({kV1Artist});
    edit.artist = QStringLiteral("Someone");

    RunID3v1Edit(ticked({"bare.mp3"}), edit);

    // appended after the old last byte; "N/A" texts, track 0, genre 'N' (78)
    EXPECT_EQ(bytes("bare.mp3"),
              Audio(500) + V1Bytes("N/A", "Someone", "N/A", "N/A", "N/A", 0, 78));
}

TEST_F(Id3v1Run, GenreWritesTheListIndexOrKeepsTheFilesOwn) {
    put("a.mp3", Audio(200) + V1Bytes("a", "", "", "", "", 0, 17));
    put("b.mp3", Audio(200) + V1Bytes("b", "", "", "", "", 0, 200));
    ID3v1Edit edit = Ticking({kV1Genre});
    edit.genre = 0;
    RunID3v1Edit(ticked({"a.mp3"}), edit);
    EXPECT_EQ(quint8(tail("a.mp3").at(127)), 0);  // Blues

    edit.ticked[kV1Genre] = false;
    edit.genre = 5;
    RunID3v1Edit(ticked({"b.mp3"}), edit);
    EXPECT_EQ(quint8(tail("b.mp3").at(127)), 200);
}

TEST_F(Id3v1Run, TrackNumberFromTheTrackBox) {
    const struct {
        const char* text;
        int track;
    } cases[] = {{"", 0}, {"7", 7}, {"07", 7}, {"99", 99}, {"x1", 0}, {"300", 255}};
    for (const auto& c : cases) {
        EXPECT_EQ(TrackFromText(QString::fromUtf8(c.text)), c.track) << c.text;
    }
    put("a.mp3", Audio(200) + V1Bytes("a", "", "", "", "", 4, 1));
    ID3v1Edit edit = Ticking({kV1Track});
    edit.track = TrackFromText(QStringLiteral("12"));
    RunID3v1Edit(ticked({"a.mp3"}), edit);
    EXPECT_EQ(tail("a.mp3"), V1Bytes("a", "", "", "", "", 12, 1));
}

TEST_F(Id3v1Run, ReadOnlyFilesAreSkippedCountedAndUntouched) {
    const QStringList names = {"1.mp3", "2.mp3", "3.mp3", "4.mp3", "5.mp3"};
    for (const QString& name : names) put(name, Audio(200) + V1Bytes(name.toUtf8(), "old"));
    for (const char* name : {"1.mp3", "3.mp3", "5.mp3"}) SetReadOnly(path(name), true);
    ID3v1Edit edit = Ticking({kV1Artist});
    edit.artist = QStringLiteral("new");

    const EditReport report = RunID3v1Edit(ticked(names), edit);

    EXPECT_EQ(report.written, 2);
    EXPECT_EQ(report.readOnly, 3);
    EXPECT_TRUE(report.failures.isEmpty());
    EXPECT_EQ(tail("1.mp3"), V1Bytes("1.mp3", "old"));
    EXPECT_EQ(tail("2.mp3"), V1Bytes("2.mp3", "new"));
    EXPECT_EQ(tail("5.mp3"), V1Bytes("5.mp3", "old"));
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0].caption, QStringLiteral("碰到只读文件"));
    EXPECT_EQ(messages[0].text,
              QStringLiteral("您选择的文件中有 3 个只读文件，无法修改标签。\n\r\n\r"
                             "请您去掉只读属性再试，谢谢！"));
}

TEST_F(Id3v1Run, VanishedFileFailsAloneAndIsNamed) {
    for (const char* name : {"a.mp3", "b.mp3", "c.mp3"}) put(name, Audio(200) + V1Bytes("t"));
    QFile::remove(path("b.mp3"));
    ID3v1Edit edit = Ticking({kV1Album});
    edit.album = QStringLiteral("X");
    int calls = 0;

    const EditReport report =
        RunID3v1Edit(ticked({"a.mp3", "b.mp3", "c.mp3"}), edit, [&](int done, int total) {
            EXPECT_EQ(done, ++calls);
            EXPECT_EQ(total, 3);
        });

    EXPECT_EQ(calls, 3);
    EXPECT_EQ(report.written, 2);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].name, QStringLiteral("b.mp3"));
    EXPECT_FALSE(report.failures[0].reason.isEmpty());
    EXPECT_FALSE(QFile::exists(path("b.mp3")));
    EXPECT_EQ(tail("c.mp3"), V1Bytes("t", "", "X"));
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("b.mp3：") + report.failures[0].reason));
}

}  // namespace
