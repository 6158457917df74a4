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

// ---- A file without a tag: no placeholder is ever written ----

TEST_F(Id3v1Run, FileWithoutTagGetsBlankFieldsBesideTheTickedOnes) {
    const struct {
        const char* what;
        std::initializer_list<ID3v1Row> rows;
        QByteArray want;  // the tag appended after the old last byte
    } cases[] = {
        {"artist only: blank texts, track 0, no genre (255)",
         {kV1Artist},
         V1Bytes("", "Someone", "", "", "", 0, 255)},
        {"genre ticked: the chosen genre", {kV1Genre}, V1Bytes("", "", "", "", "", 0, 17)},
        {"year and track", {kV1Year, kV1Track}, V1Bytes("", "", "", "1999", "", 9, 255)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put("bare.mp3", Audio(500));
        ID3v1Edit edit = Ticking(c.rows);
        edit.artist = QStringLiteral("Someone");
        edit.genre = 17;
        edit.year = QStringLiteral("1999");
        edit.track = 9;

        RunID3v1Edit(ticked({"bare.mp3"}), edit);

        EXPECT_EQ(bytes("bare.mp3"), Audio(500) + c.want);
        EXPECT_FALSE(bytes("bare.mp3").contains("N/A"));
    }
}

TEST_F(Id3v1Run, TitleFromNameOnAFileWithoutTagLeavesTheOtherFieldsBlank) {
    put("歌手-歌名.mp3", Audio(300));
    ID3v1Edit edit;
    edit.titleFromFileName = true;
    edit.ticked[kV1Title] = true;

    RunID3v1Edit(ticked({"歌手-歌名.mp3"}), edit);

    EXPECT_EQ(tail("歌手-歌名.mp3"), V1Bytes(Gbk("歌手-歌名"), "", "", "", "", 0, 255));
}

// ---- An ID3v1.0 tag (byte 125 not 0): a 30-byte comment and no track ----

// 27 letters, then 段 across bytes 124-125, then "!": byte 125 is not 0.
const QByteArray kLongComment = "abcdefghijklmnopqrstuvwxyz0" + Gbk(QStringLiteral("段")) + "!";

TEST_F(Id3v1Run, Id3v10TagKeepsItsCommentWhileCommentAndTrackAreNotEdited) {
    const QByteArray old = V10Bytes("Title", "Artist", "Album", "1999", kLongComment, 17);
    ASSERT_NE(old[125], '\0');
    put("old.mp3", Audio(300) + old);
    ID3v1Edit edit = Ticking({kV1Artist, kV1Genre});
    edit.artist = QStringLiteral("New");
    edit.genre = 0;

    RunID3v1Edit(ticked({"old.mp3"}), edit);

    EXPECT_EQ(bytes("old.mp3"),
              Audio(300) + V10Bytes("Title", "New", "Album", "1999", kLongComment, 0));
}

TEST_F(Id3v1Run, Id3v10CommentPaddingIsKeptAsRead) {
    // "c", NUL padding, then a byte another program left at offset 125
    QByteArray comment = "c" + QByteArray(29, '\0');
    comment[28] = 0x55;
    put("nul.mp3", Audio(200) + V10Bytes("Hi", "", "", "", comment, 2));
    ID3v1Edit edit = Ticking({kV1Year});
    edit.year = QStringLiteral("2024");

    RunID3v1Edit(ticked({"nul.mp3"}), edit);

    EXPECT_EQ(tail("nul.mp3"), V10Bytes("Hi", "", "", "2024", comment, 2));
}

TEST_F(Id3v1Run, EditingCommentOrTrackOfAnId3v10TagWritesTheId3v11Layout) {
    const struct {
        const char* what;
        std::initializer_list<ID3v1Row> rows;
        QByteArray want;
    } cases[] = {
        // 段 does not fit whole into 28 bytes; the old bytes 125-126 never become a track
        {"track", {kV1Track}, V1Bytes("T", "", "", "", "abcdefghijklmnopqrstuvwxyz0", 5, 17)},
        {"comment", {kV1Comment}, V1Bytes("T", "", "", "", "new", 0, 17)},
        {"both", {kV1Comment, kV1Track}, V1Bytes("T", "", "", "", "new", 5, 17)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        put("old.mp3", Audio(300) + V10Bytes("T", "", "", "", kLongComment, 17));
        ID3v1Edit edit = Ticking(c.rows);
        edit.comment = QStringLiteral("new");
        edit.track = 5;

        RunID3v1Edit(ticked({"old.mp3"}), edit);

        EXPECT_EQ(tail("old.mp3"), c.want);
    }
}

TEST_F(Id3v1Run, Id3v11TagKeepsItsTrackAndZeroByteAsRead) {
    put("new.mp3", Audio(300) + V1Bytes("T", "A", "", "", "note", 12, 3));
    ID3v1Edit edit = Ticking({kV1Album});
    edit.album = QStringLiteral("X");
    RunID3v1Edit(ticked({"new.mp3"}), edit);
    EXPECT_EQ(tail("new.mp3"), V1Bytes("T", "A", "X", "", "note", 12, 3));
}

// ---- Texts the tag cannot hold ----

TEST(Id3v1Texts, TypedTextsThatDoNotFitAreNamedWithFieldAndCharacter) {
    const struct {
        const char* what;
        ID3v1Row row;
        QString text;
        QString problem;  // empty: fits
    } cases[] = {
        {"Hangul", kV1Artist, QStringLiteral("가수"),
         QStringLiteral("艺术家中的“가”不能保存在 ID3v1 标签里（只能保存 GBK 字符）")},
        {"emoji, a surrogate pair", kV1Comment, QStringLiteral("好😀"),
         QStringLiteral("备注中的“😀”不能保存在 ID3v1 标签里（只能保存 GBK 字符）")},
        {"a character beyond the BMP", kV1Album, QStringLiteral("𠮷野家"),
         QStringLiteral("专辑中的“𠮷”不能保存在 ID3v1 标签里（只能保存 GBK 字符）")},
        {"year in Chinese numerals", kV1Year, QStringLiteral("二〇〇四"),
         QStringLiteral("年份有 8 字节，超过了 ID3v1 标签的 4 字节")},
        {"31 bytes of title", kV1Title, QString(31, QLatin1Char('x')),
         QStringLiteral("歌名有 31 字节，超过了 ID3v1 标签的 30 字节")},
        {"15 Chinese characters fit 30 bytes", kV1Title, QString(15, QChar(0x4E2D)), {}},
        {"the euro sign is byte 0x80", kV1Comment, QStringLiteral("5€"), {}},
        {"a line break", kV1Comment, QStringLiteral("a\nb"), {}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ID3v1TextProblem(c.row, c.text), c.problem) << c.what;
    }
}

TEST(Id3v1Texts, OnlyTickedTypedRowsAreChecked) {
    ID3v1Edit edit = Ticking({kV1Artist, kV1Year});
    edit.artist = QStringLiteral("가");
    edit.year = QStringLiteral("二〇〇四");
    edit.album = QStringLiteral("가");  // not ticked
    edit.title = QStringLiteral("가");
    edit.ticked[kV1Title] = true;
    edit.titleFromFileName = true;  // the typed title is not used
    EXPECT_EQ(ID3v1EditProblems(edit),
              (QStringList{ID3v1TextProblem(kV1Artist, edit.artist) + QStringLiteral("。"),
                           ID3v1TextProblem(kV1Year, edit.year) + QStringLiteral("。")}));
    EXPECT_EQ(RefusedID3v1EditMessage(ID3v1EditProblems(edit)).caption,
              QStringLiteral("无法写入 ID3v1 标签"));
    edit.ticked = {};
    EXPECT_TRUE(ID3v1EditProblems(edit).isEmpty());
}

TEST_F(Id3v1Run, TitlesFromNamesAreCutToWholeCharactersTheTagHoldsAndNoted) {
    const struct {
        QString name;
        QByteArray title;  // as written
        bool noted;
    } cases[] = {
        {QStringLiteral("사랑 노래.mp3"), "", true},
        {QStringLiteral("晴天 😀 live.mp3"), Gbk(QStringLiteral("晴天 ")), true},
        // 15 characters of two bytes fill 30 bytes; the 16th is cut whole
        {QString(16, QChar(0x4E2D)) + QStringLiteral(".mp3"), Gbk(QString(15, QChar(0x4E2D))),
         true},
        {QStringLiteral("a") + QString(15, QChar(0x4E2D)) + QStringLiteral(".mp3"),
         "a" + Gbk(QString(14, QChar(0x4E2D))), true},
        {QStringLiteral("Intro.mp3"), "Intro", false},
    };
    QStringList names;
    for (const auto& c : cases) {
        names << c.name;
        put(c.name, Audio(200) + V1Bytes("old", "A"));
    }
    ID3v1Edit edit;
    edit.titleFromFileName = true;
    edit.ticked[kV1Title] = true;

    const EditReport report = RunID3v1Edit(ticked(names), edit);

    EXPECT_EQ(report.written, int(std::size(cases)));
    EXPECT_TRUE(report.allHandled());
    QStringList noted;
    for (const EditFailure& cut : report.cutTitles) noted << cut.name;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        EXPECT_EQ(tail(c.name), V1Bytes(c.title, "A"));
        EXPECT_EQ(noted.contains(c.name), c.noted);
    }
    ASSERT_FALSE(report.cutTitles.isEmpty());
    EXPECT_EQ(report.cutTitles[0].reason,
              QStringLiteral("写入的歌名为“”，“사”不能保存在 ID3v1 标签里（只能保存 GBK 字符）"));
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_EQ(messages[0], CutTitlesMessage(report.cutTitles));
    EXPECT_TRUE(messages[0].text.startsWith(QStringLiteral("4 个文件")));
    EXPECT_TRUE(messages[0].text.contains(QStringLiteral("사랑 노래.mp3：写入的歌名为“”")));
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

    const EditReport report = RunID3v1Edit(ticked({"a.mp3", "b.mp3", "c.mp3"}), edit,
                                           {.progress = [&](int done, int total) {
                                               EXPECT_EQ(done, ++calls);
                                               EXPECT_EQ(total, 3);
                                           }});

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
