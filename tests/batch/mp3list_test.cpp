// Which files a folder lists and what each cell of their rows says.
#include "batch/mp3list.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <map>

#include "batch/columns.h"
#include "store/error.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

class Mp3ListTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        ASSERT_TRUE(program.isValid());
        SetProgramFolder(program.path());
    }
    void TearDown() override { SetProgramFolder({}); }

    QString path(const QString& name) const { return dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        WriteBytes(path(name), bytes);
    }

    QTemporaryDir dir;
    QTemporaryDir program;
};

// A file with both tags: v1 fields padded with blanks or NULs, Chinese text
// in CP936, the v2 frames of the catalogue and a front cover.
QByteArray FullyTaggedFile() {
    QByteArray frames;
    frames += V2Text("TIT2", Gbk(QStringLiteral("  月亮代表我的心 ")));  // title, blanks both ends
    frames += V2Text("TPE1", Gbk(QStringLiteral("邓丽君")));             // artist
    frames += V2Text("TALB", Gbk(QStringLiteral("淡淡幽情")));           // album
    frames += V2Text("TYER", "1983");                                    // year
    frames += V2Text("TCON", "(17)");                                    // genre, as stored
    frames += V2Text("TRCK", "3/10");                                    // track
    frames += V2Frame("COMM", QByteArray("\x00"
                                         "chi"
                                         "\x00",
                                         5) +
                                  Gbk(QStringLiteral("经典")));
    frames += V2Text("TCOM", Gbk(QStringLiteral("汤尼")));    // composer
    frames += V2Text("TOPE", Gbk(QStringLiteral("原唱")));    // original artist
    frames += V2Text("TCOP", "(C) 1983");                     // copyright
    frames += V2Text("WXXX", "http://example.org/a");         // link
    frames += V2Text("TENC", QByteArray("LAME\x00junk", 9));  // two values
    frames += V2Text("TPE2", Gbk(QStringLiteral("群星")));    // album artist
    frames += V2Text("TPOS", "1/2");                          // disc
    frames += V2Frame("USLT", QByteArray("\x00chi\x00", 5) +
                                  Gbk(QStringLiteral("月亮代表\r\n我的心\n")));  // lyrics
    frames += V2Frame("APIC", ApicPayload("image/png", 4, PngStart(20, 20)));
    frames += V2Frame("APIC", ApicPayload("image/jpeg", 3, JpegStart(600, 600, 3000)));
    return V2Tag(frames) + MpegFrames(300) +
           V1Bytes(Gbk(QStringLiteral("月亮代表我的心")),  // title, blank padded
                   Gbk(QStringLiteral("邓丽君")),          // artist
                   Gbk(QStringLiteral("淡淡幽情")),        // album
                   "1983",                                 // year
                   Gbk(QStringLiteral("  经典老歌")),      // comment, leading blanks stay trimmed
                   7,                                      // track
                   17,                                     // genre: Rock
                   '\0');                                  // NUL padding
}

}  // namespace

TEST_F(Mp3ListTest, ListsMp3NamesInAnyCaseInNameOrderIgnoringCase) {
    for (const char* name : {"b.mp3", "A.MP3", "c.Mp3", "a.txt", "x.mp3.bak", ".hidden.mp3", "mp3"})
        write(QLatin1String(name), "x");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.mp3")));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("b.mp3")), path(QStringLiteral("link.mp3"))));
    ASSERT_TRUE(QFile::link(path(QStringLiteral("gone")), path(QStringLiteral("dangling.mp3"))));
    write(QStringLiteral("中文歌.mp3"), "x");

    EXPECT_EQ(ListMp3Files(dir.path()),
              (QStringList{"A.MP3", "b.mp3", "c.Mp3", "link.mp3", QStringLiteral("中文歌.mp3")}));
}

TEST_F(Mp3ListTest, NamesEqualButForCaseKeepOneFixedOrder) {
    write(QStringLiteral("song.mp3"), "x");
    write(QStringLiteral("SONG.mp3"), "x");
    write(QStringLiteral("Song.MP3"), "x");
    EXPECT_EQ(ListMp3Files(dir.path()), (QStringList{"SONG.mp3", "Song.MP3", "song.mp3"}));
}

TEST_F(Mp3ListTest, FolderThatCannotBeOpenedThrowsWithItsPath) {
    const QString missing = path(QStringLiteral("missing"));
    try {
        ListMp3Files(missing);
        FAIL() << "no error for a missing folder";
    } catch (const StoreError& error) {
        EXPECT_EQ(error.path(), missing);
        EXPECT_FALSE(error.reason().isEmpty());
    }
    EXPECT_TRUE(ListMp3Files(dir.path()).isEmpty());
}

TEST(SizeText, KilobytesWithGroupingAndTwoDecimalsInEveryLocale) {
    const struct {
        qint64 bytes;
        const char* text;
    } cases[] = {
        {0, "0.00"},
        {5, "0.00"},
        {6, "0.01"},  // 0.0049 and 0.0059
        {128, "0.13"},
        {1023, "1.00"},
        {1024, "1.00"},  // 0.125 rounds up
        {1536, "1.50"},
        {1048576, "1,024.00"},
        {3417089, "3,337.00"},
        {1023LL * 1024 * 1024, "1,047,552.00"},
        {5LL * 1024 * 1024 * 1024 * 1024, "5,368,709,120.00"},
    };
    const QLocale saved;
    for (const QLocale& locale : {QLocale(QLocale::C), QLocale(QLocale::German, QLocale::Germany),
                                  QLocale(QLocale::Chinese, QLocale::China)}) {
        QLocale::setDefault(locale);
        for (const auto& c : cases)
            EXPECT_EQ(SizeText(c.bytes), QLatin1String(c.text))
                << c.bytes << " " << locale.name().toStdString();
    }
    QLocale::setDefault(saved);
}

TEST_F(Mp3ListTest, EveryCatalogueCodeGivesItsCellOnATaggedFile) {
    write(QStringLiteral("01.mp3"), FullyTaggedFile());
    SetReadOnly(path(QStringLiteral("01.mp3")), true);
    const qint64 length = QFileInfo(path(QStringLiteral("01.mp3"))).size();

    const std::map<int, QString> expected = {
        {101, QStringLiteral("月亮代表我的心")},
        {102, QStringLiteral("邓丽君")},
        {103, QStringLiteral("淡淡幽情")},
        {104, QStringLiteral("1983")},
        {105, QStringLiteral("Rock")},
        {106, QStringLiteral("7")},
        {107, QStringLiteral("经典老歌")},
        {201, QStringLiteral("月亮代表我的心")},
        {202, QStringLiteral("邓丽君")},
        {203, QStringLiteral("淡淡幽情")},
        {204, QStringLiteral("1983")},
        {205, QStringLiteral("(17)")},
        {206, QStringLiteral("3/10")},
        {207, QStringLiteral("经典")},
        {208, QStringLiteral("汤尼")},
        {209, QStringLiteral("原唱")},
        {210, QStringLiteral("(C) 1983")},
        {211, QStringLiteral("http://example.org/a")},
        {212, QStringLiteral("LAME/junk")},
        {213, QStringLiteral("经典")},
        {214, QStringLiteral("群星")},
        {215, QStringLiteral("1/2")},
        {216, QStringLiteral("月亮代表 / 我的心")},  // one line in the list
        {217, QStringLiteral("有 (600×600)")},
        {301, QStringLiteral("有")},
        {302, QStringLiteral("有")},
        {303, QStringLiteral("是")},
        {304, QStringLiteral("否")},
        {305, SizeText(length)},
        {306, QStringLiteral("01.mp3")},
        {307, QString()},  // MP3 content
        {308, QStringLiteral("GBK")},
        // 300 frames of 417 bytes at 128 kbit/s, no VBR header: 7.8 s.
        {401, QStringLiteral("0:08")},
        {402, QStringLiteral("128 kbit/s")},
        {403, QStringLiteral("44.1 kHz")},
        {404, QStringLiteral("联合立体声")},
        {405, QStringLiteral("MPEG-1 Layer III")},
    };
    // Every catalogue entry has its expectation here.
    for (const int code : CatalogueCodes()) EXPECT_EQ(expected.count(code), 1u) << code;

    const Mp3Row row = LoadMp3Row(dir.path(), QStringLiteral("01.mp3"), CatalogueCodes());
    EXPECT_TRUE(row.error.isEmpty());
    ASSERT_EQ(row.cells.size(), CatalogueCodes().size());
    for (qsizetype i = 0; i < row.cells.size(); ++i) {
        const int code = CatalogueCodes().at(i);
        EXPECT_EQ(row.cells.at(i), expected.at(code)) << code;
    }
}

TEST_F(Mp3ListTest, FileWithoutTagsShowsNotAvailableAndEmptyFrames) {
    write(QStringLiteral("plain.mp3"), Audio(1536));
    const Mp3Row row = LoadMp3Row(dir.path(), QStringLiteral("plain.mp3"), CatalogueCodes());
    QStringList expected;
    for (const int code : CatalogueCodes()) {
        if (code == 106)
            expected << QStringLiteral("0");
        else if (code >= 101 && code <= 107)
            expected << QStringLiteral("N/A");
        else if (code >= 201 && code <= 216)
            expected << QString();
        else if (code == 217)
            expected << QStringLiteral("无");
        else if (code == 301 || code == 302)
            expected << QStringLiteral("无");
        else if (code == 303 || code == 304)
            expected << QStringLiteral("否");
        else if (code == 305)
            expected << QStringLiteral("1.50");
        else if (code == 307 || code == 308 || code > 400)
            expected << QString();  // MP3 content; no text; no frame the audio can be read from
        else
            expected << QStringLiteral("plain.mp3");
    }
    EXPECT_EQ(row.cells, expected);
}

TEST_F(Mp3ListTest, GenreByteBeyondTheListShowsOther) {
    const struct {
        quint8 genre;
        const char* name;
    } cases[] = {{0, "Blues"}, {17, "Rock"}, {79, "Hard Rock"}, {80, "Other"}, {255, "Other"}};
    for (const auto& c : cases) {
        write(QStringLiteral("g.mp3"), Audio(200) + V1Bytes("t", {}, {}, {}, {}, 0, c.genre));
        EXPECT_EQ(LoadMp3Row(dir.path(), QStringLiteral("g.mp3"), {105}).cells,
                  QStringList{QLatin1String(c.name)})
            << int(c.genre);
    }
}

TEST_F(Mp3ListTest, AnId3v10TagShowsNoTrackAndItsWholeComment) {
    const struct {
        const char* what;
        QByteArray tag;
        QStringList cells;  // 106, 107
    } cases[] = {
        {"段 across bytes 124-125",
         V10Bytes("t", "", "", "", "abcdefghijklmnopqrstuvwxyz0" + Gbk(QStringLiteral("段")) + "!",
                  1),
         {"", QStringLiteral("abcdefghijklmnopqrstuvwxyz0段!")}},
        {"a comment ending in byte 126 only",
         V10Bytes("t", "", "", "", QByteArray(29, ' ') + "x", 1),
         {"", "x"}},
        {"ID3v1.1, track 0", V1Bytes("t", "", "", "", "note", 0, 1), {"0", "note"}},
    };
    for (const auto& c : cases) {
        write(QStringLiteral("v.mp3"), Audio(300) + c.tag);
        EXPECT_EQ(LoadMp3Row(dir.path(), QStringLiteral("v.mp3"), {106, 107}).cells, c.cells)
            << c.what;
    }
}

TEST_F(Mp3ListTest, EmptyFileShowsZeroSizeAndNoTags) {
    write(QStringLiteral("empty.mp3"), {});
    EXPECT_EQ(LoadMp3Row(dir.path(), QStringLiteral("empty.mp3"), {305, 301, 302}).cells,
              (QStringList{"0.00", QStringLiteral("无"), QStringLiteral("无")}));
}

TEST_F(Mp3ListTest, ColumnsRepeatAndMayBeAbsent) {
    write(QStringLiteral("a.mp3"), Audio(200) + V1Bytes("Hello", {}, {}, {}, "note"));
    const QString name = QStringLiteral("a.mp3");
    EXPECT_EQ(LoadMp3Row(dir.path(), name, {107, 101, 107}).cells,
              (QStringList{"note", "Hello", "note"}));
    EXPECT_TRUE(LoadMp3Row(dir.path(), name, {}).cells.isEmpty());
    EXPECT_EQ(CellText(999, {}, name), QString());
}

TEST_F(Mp3ListTest, UnreadableFileKeepsItsRowWithNameAndReason) {
    const Mp3Row row =
        LoadMp3Row(dir.path(), QStringLiteral("vanished.mp3"), {306, 101, 305, 302, 306});
    EXPECT_EQ(row.name, QStringLiteral("vanished.mp3"));
    EXPECT_EQ(row.cells, (QStringList{"vanished.mp3", "", "", "", "vanished.mp3"}));
    EXPECT_FALSE(row.error.isEmpty());
}

TEST_F(Mp3ListTest, LoadingReportsProgressAndGoesOnPastBadFiles) {
    write(QStringLiteral("1.mp3"), Audio(10));
    write(QStringLiteral("3.mp3"), Audio(10));
    QList<std::pair<int, int>> calls;
    const auto rows =
        LoadMp3Rows(dir.path(), {"1.mp3", "2.mp3", "3.mp3"}, {306, 305}, [&](int done, int total) {
            calls.append({done, total});
        });
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_TRUE(rows[0].error.isEmpty());
    EXPECT_FALSE(rows[1].error.isEmpty());
    EXPECT_EQ(rows[2].cells, (QStringList{"3.mp3", "0.01"}));
    EXPECT_EQ(calls, (QList<std::pair<int, int>>{{1, 3}, {2, 3}, {3, 3}}));
}
