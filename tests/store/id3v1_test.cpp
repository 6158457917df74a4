#include "store/id3v1.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/codec.h"
#include "store/error.h"
#include "support/fixtures.h"

namespace {

class ID3v1File : public ::testing::Test {
  protected:
    QString path(const QString& name = QStringLiteral("a.mp3")) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

ID3v1Tag SampleTag() {
    ID3v1Tag tag = NoID3v1Tag();
    tag.Marker = QStringLiteral("TAG");
    tag.SongTitle = FixedWidth(QStringLiteral("abc"), kTitleWidth);
    tag.Artist = FixedWidth(QStringLiteral("周杰伦"), kArtistWidth);
    tag.Album = FixedWidth(QStringLiteral("叶惠美"), kAlbumWidth);
    tag.Year = FixedWidth(QStringLiteral("2003"), kYearWidth);
    tag.Comment = FixedWidth(QStringLiteral("ok"), kCommentWidth);
    tag.ZeroByte = 0;
    tag.Track = 7;
    tag.Genre = GenreCharacter(17);
    return tag;
}

}  // namespace

TEST(ID3v1Layout, RendersFieldsAtTheirOffsetsSpacePadded) {
    const QByteArray bytes = RenderID3v1Tag(SampleTag());
    ASSERT_EQ(bytes.size(), 128);
    EXPECT_EQ(bytes.mid(0, 3), QByteArray("TAG"));
    EXPECT_EQ(bytes.mid(3, 30), QByteArray("abc") + QByteArray(27, ' '));               // title
    EXPECT_EQ(bytes.mid(33, 30), Gbk(QStringLiteral("周杰伦")) + QByteArray(24, ' '));  // artist
    EXPECT_EQ(bytes.mid(93, 4), QByteArray("2003"));                                    // year
    EXPECT_EQ(bytes.mid(97, 28), QByteArray("ok") + QByteArray(26, ' '));               // comment
    EXPECT_EQ(bytes.at(125), 0);                                                        // zero byte
    EXPECT_EQ(bytes.at(126), 7);                                                        // track
    EXPECT_EQ(bytes.at(127), 17);                                                       // genre
}

TEST(ID3v1Layout, ParsesTwoByteTextAndKeepsForeignNulPadding) {
    // 15 two-byte characters fill the 30-byte title exactly.
    const QString fifteen = QStringLiteral("一二三四五六七八九十甲乙丙丁戊");
    const QByteArray tag = V1Bytes(Gbk(fifteen), "art", {}, "1999", {}, 3, 255, '\0');
    const ID3v1Tag read = ParseID3v1Tag(tag);
    EXPECT_EQ(read.Marker, QStringLiteral("TAG"));
    EXPECT_EQ(read.SongTitle, fifteen + QString(15, QLatin1Char(' ')));
    EXPECT_EQ(read.Artist, QStringLiteral("art") + QString(27, QChar(0)));  // NULs stay
    EXPECT_EQ(read.Year, QStringLiteral("1999"));
    EXPECT_EQ(read.Track, 3);
    EXPECT_EQ(GenreNumber(read), 255);
}

TEST(ID3v1Layout, ALongTitleIsCutToThirtyBytes) {
    ID3v1Tag tag = SampleTag();
    tag.SongTitle = FixedWidth(QString(20, QChar(0x4E2D)), kTitleWidth);  // 20 x 中 = 40 bytes
    EXPECT_EQ(RenderID3v1Tag(tag).mid(3, 30), Gbk(QString(15, QChar(0x4E2D))));
}

TEST(ID3v1Layout, ShortOrUnmarkedTailsHaveNoTag) {
    EXPECT_EQ(ParseID3v1Tag(QByteArray(127, 'x')), NoID3v1Tag());
    QByteArray lower = V1Bytes("t");
    lower.replace(0, 3, "tag");
    EXPECT_FALSE(HasID3v1Tag(ParseID3v1Tag(lower)));
}

TEST(ID3v1Layout, TheNoTagRecord) {
    const ID3v1Tag none = NoID3v1Tag();
    EXPECT_EQ(none.Marker, QStringLiteral("N/A"));
    EXPECT_EQ(none.SongTitle, QStringLiteral("N/A") + QString(27, QLatin1Char(' ')));
    EXPECT_EQ(none.Year, QStringLiteral("N/A "));
    EXPECT_EQ(GenreNumber(none), 78);
    EXPECT_EQ(none.Track, 0);
    EXPECT_EQ(GenreNames().at(78), QStringLiteral("Rock & Roll"));
}

TEST(ID3v1Layout, EveryGenreAndTrackByteSurvivesReadModifyWrite) {
    for (int b = 0; b < 256; ++b) {
        const QByteArray tag = V1Bytes("t", "a", "b", "2000", "c", quint8(b), quint8(b));
        ID3v1Tag read = ParseID3v1Tag(tag);
        read.Artist = FixedWidth(QStringLiteral("changed"), kArtistWidth);
        const QByteArray written = RenderID3v1Tag(read);
        EXPECT_EQ(uchar(written.at(126)), b);
        EXPECT_EQ(uchar(written.at(127)), b);
        EXPECT_EQ(written.mid(3, 30), tag.mid(3, 30));
    }
}

TEST(ID3v1Layout, AFieldEndingInALoneLeadByteIsWrittenBackUnchanged) {
    QByteArray title = Gbk(QStringLiteral("测试")) + char(0xB2);  // the last character cut in half
    const QByteArray tag = V1Bytes(title + QByteArray(1, char(0x80)));  // and a euro sign
    EXPECT_EQ(RenderID3v1Tag(ParseID3v1Tag(tag)), tag);
}

TEST(ID3v1Layout, TheBlankTagHoldsNoPlaceholder) {
    EXPECT_EQ(RenderID3v1Tag(BlankID3v1Tag()), V1Bytes("", "", "", "", "", 0, 255));
    EXPECT_TRUE(HasID3v1Tag(BlankID3v1Tag()));
}

TEST(ID3v1Layout, AnId3v10TagHasAThirtyByteCommentAndNoTrack) {
    const struct {
        const char* what;
        QByteArray tag;
        bool v10;
        QString comment;
    } cases[] = {
        {"30 letters", V10Bytes("t", "", "", "", "abcdefghijklmnopqrstuvwxyz0123", 1), true,
         QStringLiteral("abcdefghijklmnopqrstuvwxyz0123")},
        {"a character across bytes 124-125",
         V10Bytes("t", "", "", "", "abcdefghijklmnopqrstuvwxyz0" + Gbk(QStringLiteral("段")) + "!",
                  1),
         true, QStringLiteral("abcdefghijklmnopqrstuvwxyz0段!")},
        {"ID3v1.1: 28 bytes and a track", V1Bytes("t", "", "", "", "note", 9, 1), false,
         QStringLiteral("note") + QString(24, QLatin1Char(' '))},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ID3v1Tag read = ParseID3v1Tag(c.tag);
        EXPECT_EQ(IsID3v10Tag(read), c.v10);
        EXPECT_EQ(ID3v1Comment(read).trimmed(), c.comment.trimmed());
        EXPECT_EQ(RenderID3v1Tag(read), c.tag);  // the record is still exact
    }
    EXPECT_FALSE(IsID3v10Tag(NoID3v1Tag()));
}

TEST(ID3v1Genres, TheStandardList) {
    const QStringList& names = GenreNames();
    ASSERT_EQ(names.size(), 80);
    EXPECT_EQ(names.at(0), QStringLiteral("Blues"));
    EXPECT_EQ(names.at(12), QStringLiteral("Other"));
    EXPECT_EQ(names.at(17), QStringLiteral("Rock"));
    EXPECT_EQ(names.at(29), QStringLiteral("Jazz+Funk"));
    EXPECT_EQ(names.at(40), QStringLiteral("AlternRock"));
    EXPECT_EQ(names.at(62), QStringLiteral("Pop/Funk"));
    EXPECT_EQ(names.at(67), QStringLiteral("Psychadelic"));
    EXPECT_EQ(names.at(71), QStringLiteral("Lo-Fi"));
    EXPECT_EQ(names.at(75), QStringLiteral("Polka"));
    EXPECT_EQ(names.at(79), QStringLiteral("Hard Rock"));
    EXPECT_EQ(GenreDisplayName(80), QStringLiteral("Other"));
    EXPECT_EQ(GenreDisplayName(255), QStringLiteral("Other"));
}

TEST_F(ID3v1File, ReadsAndOverwritesAnExistingTagInPlace) {
    const QByteArray audio = Audio(1000);
    WriteBytes(path(), audio + V1Bytes("old"));
    EXPECT_EQ(ReadID3v1Tag(path()).SongTitle.trimmed(), QStringLiteral("old"));
    EXPECT_TRUE(WriteID3v1Tag(path(), SampleTag()));
    const QByteArray after = ReadBytes(path());
    ASSERT_EQ(after.size(), 1128);
    EXPECT_EQ(after.left(1000), audio);
    // title, artist, album, year, comment, track, genre: built apart from the writer
    const QByteArray sample = V1Bytes("abc", Gbk(QStringLiteral("周杰伦")),
                                      Gbk(QStringLiteral("叶惠美")), "2003", "ok", 7, 17);
    EXPECT_EQ(after.mid(1000), sample);
    EXPECT_EQ(ReadID3v1Tag(path()), ParseID3v1Tag(sample));
}

TEST_F(ID3v1File, AppendsAfterTheLastByteWhenThereIsNoTag) {
    QByteArray old = Audio(300);
    old.replace(300 - 128, 3, "tag");  // lower case is not a tag
    WriteBytes(path(), old);
    WriteID3v1Tag(path(), SampleTag());
    const QByteArray after = ReadBytes(path());
    EXPECT_EQ(after.size(), 428);
    EXPECT_EQ(after.left(300), old);
}

TEST_F(ID3v1File, ShortFilesAreRefusedWithTheirReasonAndExactly128BytesIsATag) {
    for (const int size : {0, 3, 127}) {
        WriteBytes(path(), QByteArray(size, 'x'));
        try {
            WriteID3v1Tag(path(), SampleTag());
            ADD_FAILURE() << size << " bytes: written";
        } catch (const StoreError& e) {
            EXPECT_EQ(e.reason(), QStringLiteral("文件太短，不足 128 字节")) << size;
        }
        EXPECT_EQ(ReadBytes(path()), QByteArray(size, 'x'));
        EXPECT_EQ(ReadID3v1Tag(path()), NoID3v1Tag());
    }

    // A tag alone is read as a tag; with no audio beside it, it is not
    // rewritten.
    WriteBytes(path(), V1Bytes("only"));
    EXPECT_TRUE(HasID3v1Tag(ReadID3v1Tag(path())));
    EXPECT_THROW(WriteID3v1Tag(path(), SampleTag()), StoreError);
    EXPECT_EQ(ReadBytes(path()), V1Bytes("only"));
}

TEST_F(ID3v1File, AMissingFileIsAStoreError) {
    EXPECT_THROW(ReadID3v1Tag(path(QStringLiteral("gone.mp3"))), StoreError);
    EXPECT_THROW(WriteID3v1Tag(path(QStringLiteral("gone.mp3")), SampleTag()), StoreError);
    EXPECT_FALSE(QFile::exists(path(QStringLiteral("gone.mp3"))));
}
