#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/error.h"
#include "store/id3v2.h"
#include "support/fixtures.h"

namespace {

QByteArray Header(const char* versionFlags, const char* size) {
    return QByteArray("ID3", 3) + QByteArray(versionFlags, 3) + QByteArray(size, 4);
}

}  // namespace

TEST(ID3v2Reader, NoTagGivesTheEmptyRecord) {
    EXPECT_EQ(ParseID3v2Tag(QByteArray("id3\x03\x00\x00\x00\x00\x00\x00", 10)), ID3v2Tag());
    EXPECT_EQ(ParseID3v2Tag(QByteArray("ID")), ID3v2Tag());
    EXPECT_FALSE(ParseID3v2Tag({}).Present);
}

TEST(ID3v2Reader, HeaderFieldsVersionFlagsAndSizes) {
    const ID3v2Tag v3 = ParseID3v2Tag(Header("\x03\x00\xC0", "\x00\x00\x02\x01") +
                                      QByteArray("\x00\x00\x00\x05", 4));  // extended header size 5
    EXPECT_TRUE(v3.Present);
    EXPECT_EQ(v3.Version, QStringLiteral("3.0    "));
    EXPECT_TRUE(v3.Unsynchronisation);
    EXPECT_TRUE(v3.ExtendedHeader);
    EXPECT_FALSE(v3.Experimental);
    EXPECT_FALSE(v3.Footer);
    EXPECT_EQ(v3.Size, 257);
    EXPECT_EQ(v3.ExtendedHeaderSize, 5);

    const ID3v2Tag v4 = ParseID3v2Tag(Header("\x04\x00\x30", "\x00\x00\x01\x00"));
    EXPECT_EQ(v4.Version, QStringLiteral("4.0    "));
    EXPECT_TRUE(v4.Experimental && v4.Footer);
    EXPECT_EQ(v4.Size, 128);  // seven-bit groups in every version
    EXPECT_EQ(ParseID3v2Tag(Header("\xFF\xFF\x00", "\x00\x00\x00\x00")).Version,
              QStringLiteral("255.255"));
}

TEST(ID3v2Reader, SizeBytesAreTakenWhole) {
    const quint8 all[4] = {0xFF, 0xFF, 0xFF, 0xFF};
    EXPECT_EQ(DecodeSizeBytes(all), 538984575);
    const quint8 high[4] = {0, 0, 0, 0x80};
    EXPECT_EQ(DecodeSizeBytes(high), 128);
}

// UTF-16LE bytes of `text`, without a mark.
QByteArray Utf16Le(const QString& text) {
    QByteArray out;
    for (QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

QByteArray Utf16Be(const QString& text) {
    QByteArray out;
    for (QChar c : text) {
        out.append(char(c.unicode() >> 8));
        out.append(char(c.unicode() & 0xFF));
    }
    return out;
}

const QString kSong = QStringLiteral("北京欢迎你");
const QString kNote = QStringLiteral("\U0001F3B5 乐");  // outside code page 936

TEST(ID3v2Reader, TextFramesAndTheirQuirks) {
    const QByteArray frames =
        V2Text("TIT2", "abc") +                                // title "abc"
        V2Frame("WXXX", QByteArray("\x00\x00http://x", 10)) +  // enc, empty desc, url
        V2Text("TPE1", "\x81") +                               // a lone lead byte
        V2Text("XXXX", "skipped") +                            // unknown id
        V2Text("TIT2", "second");                              // the last TIT2 wins
    const ID3v2Tag tag = ParseID3v2Tag(V2Tag(frames, 20));
    EXPECT_EQ(tag.TIT2, QStringLiteral("second"));
    EXPECT_EQ(tag.WXXX, QStringLiteral("http://x"));
    EXPECT_EQ(tag.TPE1.size(), 1);
    EXPECT_TRUE(tag.TALB.isEmpty());
    EXPECT_TRUE(tag.Unwritable.isEmpty());
    // This program's earlier link layout: the URL right after the encoding byte.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Text("WXXX", "www.a.cn"))).WXXX, QStringLiteral("www.a.cn"));
}

TEST(ID3v2Reader, TextsFollowTheirEncodingByte) {
    const QByteArray frames =
        V2Frame("TIT2", "\x01\xFF\xFE" + Utf16Le(kSong) + QByteArray(2, 0)) +  // UTF-16, LE mark
        V2Frame("TPE1", "\x01\xFE\xFF" + Utf16Be(kNote)) +                     // UTF-16, BE mark
        V2Frame("TALB", "\x01" + Utf16Le(QStringLiteral("无标记"))) +          // no mark: LE
        V2Frame("TCOM", "\x02" + Utf16Be(kSong)) +                             // UTF-16BE
        V2Frame("TOPE", "\x03" + kNote.toUtf8() + '\0') +                      // UTF-8
        V2Text("TCOP", Gbk(kSong)) +                                           // CP936
        V2Text("TENC", kSong.toUtf8()) +     // UTF-8 in encoding 0, not valid CP936
        V2Text("TCON", "\xC4\xE3\xBA\xC3");  // valid as both; CP936 wins: 你好
    const ID3v2Tag tag = ParseID3v2Tag(V2Tag(frames));
    EXPECT_EQ(tag.TIT2, kSong);
    EXPECT_EQ(tag.TPE1, kNote);
    EXPECT_EQ(tag.TALB, QStringLiteral("无标记"));
    EXPECT_EQ(tag.TCOM, kSong);
    EXPECT_EQ(tag.TOPE, kNote);
    EXPECT_EQ(tag.TCOP, kSong);
    EXPECT_EQ(tag.TENC, kSong);
    EXPECT_EQ(tag.TCON, QStringLiteral("你好"));
}

TEST(ID3v2Reader, ValueListsShowJoinedWithASlash) {
    const QByteArray frames =
        V2Text("TPE1", QByteArray("A\0B\0", 4)) +
        V2Frame("TCOM", "\x01\xFF\xFE" + Utf16Le(QStringLiteral("甲")) + QByteArray(2, 0) +
                            "\xFF\xFE" + Utf16Le(QStringLiteral("乙"))) +  // a mark per value
        V2Frame("TCON", "\x03" + QByteArray("Rock\0Pop\0", 9));
    const ID3v2Tag tag = ParseID3v2Tag(V2TagOf(4, 0, frames));
    EXPECT_EQ(tag.TPE1, QStringLiteral("A/B"));
    EXPECT_EQ(tag.TCOM, QStringLiteral("甲/乙"));
    EXPECT_EQ(tag.TCON, QStringLiteral("Rock/Pop"));
}

TEST(ID3v2Reader, TheCommentShownIsTheFirstWithoutADescription) {
    auto comm = [](const QByteArray& desc, const QByteArray& text) {
        return V2Frame("COMM", QByteArray("\x00"
                                          "eng",
                                          4) +
                                   desc + '\0' + text);
    };
    const QByteArray itunes = comm("iTunNORM", " 00000A2B 00000B3C");
    EXPECT_EQ(ParseID3v2Tag(V2Tag(itunes + comm("", "real") + comm("", "later"))).COMM,
              QStringLiteral("real"));
    // Only described comments: the first that is not machine data shows.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(itunes + comm("ID3v1 Comment", "x") + comm("Other", "y"))).COMM,
              QStringLiteral("x"));
    // Machine data alone is no comment, whatever the letter case.
    for (const char* name : {"iTunNORM", "iTunSMPB", "iTunPGAP", "iTunes_CDDB_IDs", "ITUNNORM"}) {
        EXPECT_EQ(ParseID3v2Tag(V2Tag(comm(name, "0000 1111") + comm("iTunSMPB", "x"))).COMM,
                  QString())
            << name;
    }
    // UTF-16: the description ends at a two-byte terminator.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM",
                                          "\x01"
                                          "chi\xFF\xFE\x00\x00\xFF\xFE" +
                                              Utf16Le(kSong))))
                  .COMM,
              kSong);
    // Only a language, and this program's empty comment, are empty.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM", QByteArray("\x00"
                                                             "eng",
                                                             4))))
                  .COMM,
              QString());
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM", QByteArray(5, '\0')))).COMM, QString());
    // No terminator after the language: all of it is the text.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM", QByteArray("\x00"
                                                             "eng"
                                                             "hello",
                                                             9))))
                  .COMM,
              QStringLiteral("hello"));
}

TEST(ID3v2Reader, FrameSizesOfEitherReading) {
    const QByteArray longText(200, 'c');
    // v2.3 as the standard has it: plain sizes (200 = 00 00 00 C8).
    const ID3v2Tag plain = ParseID3v2Tag(V2TagOf(
        3, 0,
        V2PlainFrame("TIT2", '\0' + longText) + V2PlainFrame("TPE1", QByteArray("\0after", 6))));
    EXPECT_EQ(plain.TIT2, QString::fromLatin1(longText));
    EXPECT_EQ(plain.TPE1, QStringLiteral("after"));
    // v2.3 as this program used to write it: 7-bit groups (201 = 00 00 01 49).
    const ID3v2Tag old =
        ParseID3v2Tag(V2Tag(V2Text("COMM", QByteArray(4, 0) + longText) + V2Text("TPE1", "after")));
    EXPECT_EQ(old.COMM, QString::fromLatin1(longText));
    EXPECT_EQ(old.TPE1, QStringLiteral("after"));
    // v2.4 with 7-bit groups, and with the plain sizes some players wrote.
    EXPECT_EQ(ParseID3v2Tag(V2TagOf(4, 0,
                                    V2Frame("TIT2", '\0' + longText) +
                                        V2Frame("TPE1", QByteArray("\0after", 6))))
                  .TPE1,
              QStringLiteral("after"));
    EXPECT_EQ(ParseID3v2Tag(V2TagOf(4, 0,
                                    V2PlainFrame("TIT2", '\0' + longText) +
                                        V2PlainFrame("TPE1", QByteArray("\0after", 6))))
                  .TPE1,
              QStringLiteral("after"));
}

TEST(ID3v2Reader, UnsynchronisationAndExtendedHeaders) {
    // v2.3 unsynchronised as a whole: FF 00 inside is FF, and frame sizes
    // count the bytes before the 00s went in.
    QByteArray body = V2PlainFrame("TIT2", "\x01\xFF\xFE" + Utf16Le(kSong));
    body.replace(QByteArray("\xFF", 1), QByteArray("\xFF\x00", 2));
    const ID3v2Tag v23 = ParseID3v2Tag(V2TagOf(3, 0x80, body));
    EXPECT_TRUE(v23.Unsynchronisation);
    EXPECT_EQ(v23.TIT2, kSong);

    // v2.4 frame: unsynchronised (0x0002) with a data-length indicator (0x0001).
    const QByteArray content = "\x01\xFF\xFE" + Utf16Le(QStringLiteral("ÿ"));  // FF 00 inside
    QByteArray stored = content;
    stored.replace(QByteArray("\xFF", 1), QByteArray("\xFF\x00", 2));
    const QByteArray dli("\x00\x00\x00\x05", 4);
    EXPECT_EQ(
        ParseID3v2Tag(
            V2TagOf(4, 0, V2Frame("TIT2", dli + stored).replace(8, 2, QByteArray("\x00\x03", 2))))
            .TIT2,
        QStringLiteral("ÿ"));

    // Extended headers: v2.3's size leaves itself out, v2.4's counts itself.
    const QByteArray title = V2Text("TIT2", "ext");
    EXPECT_EQ(ParseID3v2Tag(
                  V2TagOf(3, 0x40, QByteArray("\x00\x00\x00\x06", 4) + QByteArray(6, 0) + title))
                  .TIT2,
              QStringLiteral("ext"));
    EXPECT_EQ(
        ParseID3v2Tag(V2TagOf(4, 0x40, QByteArray("\x00\x00\x00\x06\x01\x00", 6) + title)).TIT2,
        QStringLiteral("ext"));
    EXPECT_FALSE(ParseID3v2Tag(V2TagOf(4, 0x40, QByteArray("\x00\x00\x7F\x7F\x01\x00", 6) + title))
                     .Unwritable.isEmpty());
}

TEST(ID3v2Reader, Version22FramesMapOntoTheTwelve) {
    const QByteArray frames = V22Frame("TT2", '\0' + Gbk(kSong)) +
                              V22Frame("TP1", QByteArray("\0Artist", 7)) +
                              V22Frame("PIC", QByteArray("\0JPG\x03\0", 6) + QByteArray(300, 'p')) +
                              V22Frame("COM", QByteArray("\0eng\0c22", 8)) +
                              V22Frame("TYE", QByteArray("\0"
                                                         "1999",
                                                         5));
    const ID3v2Tag tag = ParseID3v2Tag(V2TagOf(2, 0, frames));
    EXPECT_EQ(tag.Version, QStringLiteral("2.0    "));
    EXPECT_EQ(tag.TIT2, kSong);
    EXPECT_EQ(tag.TPE1, QStringLiteral("Artist"));
    EXPECT_EQ(tag.COMM, QStringLiteral("c22"));
    EXPECT_EQ(tag.TYER, QStringLiteral("1999"));
}

TEST(ID3v2Reader, AlbumArtistDiscAndLyricsInEveryVersion) {
    // Lyrics: encoding, language, description, text; line breaks are kept.
    const QByteArray lyrics = QByteArray("\0chi\0", 5) + Gbk(QStringLiteral("第一行\r\n第二行"));
    const QByteArray utf16Lyrics = QByteArray(
        "\x01"
        "eng"
        "\xFF\xFE\0\0"
        "\xFF\xFE"
        "a\0\n\0b\0",
        16);
    const struct {
        const char* label;
        QByteArray tag;
        QString albumArtist, disc, lyrics;
    } cases[] = {
        {"v2.3",
         V2Tag(V2Text("TPE2", Gbk(QStringLiteral("群星"))) + V2Text("TPOS", "1/2") +
               V2Frame("USLT", lyrics)),
         QStringLiteral("群星"), QStringLiteral("1/2"), QStringLiteral("第一行\r\n第二行")},
        {"v2.2",
         V2TagOf(2, 0,
                 V22Frame("TP2", QByteArray("\0VA", 3)) +
                     V22Frame("TPA", QByteArray("\0"
                                                "2",
                                                2)) +
                     V22Frame("ULT", utf16Lyrics)),
         QStringLiteral("VA"), QStringLiteral("2"), QStringLiteral("a\nb")},
        {"v2.4 UTF-8",
         V2TagOf(4, 0,
                 V2Frame("TPE2", QByteArray("\x03"
                                            "\xE7\xBE\xA4",
                                            4)) +
                     V2Frame("TPOS", QByteArray("\x03"
                                                "3/3",
                                                4)) +
                     V2Frame("USLT", QByteArray("\x03"
                                                "XXX\0"
                                                "la",
                                                7))),
         QStringLiteral("群"), QStringLiteral("3/3"), QStringLiteral("la")},
        // A described lyrics frame shows when there is none without.
        {"described",
         V2Tag(V2Frame("USLT", QByteArray("\0engSong\0words", 14))),
         {},
         {},
         QStringLiteral("words")},
        {"absent", V2Tag(V2Text("TIT2", "t")), {}, {}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        const ID3v2Tag tag = ParseID3v2Tag(c.tag);
        EXPECT_EQ(tag.TPE2, c.albumArtist);
        EXPECT_EQ(tag.TPOS, c.disc);
        EXPECT_EQ(tag.USLT, c.lyrics);
    }
}

TEST(ID3v2Reader, AVersion24DateGivesTheYear) {
    EXPECT_EQ(ParseID3v2Tag(V2TagOf(4, 0,
                                    V2Frame("TDRC",
                                            "\x03"
                                            "2019-05-06")))
                  .TYER,
              QStringLiteral("2019"));
}

TEST(ID3v2Reader, CompressedOrEncryptedFramesAreNotDecoded) {
    const ID3v2Tag v23 =
        ParseID3v2Tag(V2TagOf(3, 0,
                              V2PlainFrame("TIT2", QByteArray("\x00\x00\x00\x04xzzz", 8), 0x0080) +
                                  V2Text("TPE1", "next")));
    EXPECT_TRUE(v23.TIT2.isEmpty());
    EXPECT_EQ(v23.TPE1, QStringLiteral("next"));
    EXPECT_TRUE(ParseID3v2Tag(V2TagOf(4, 0,
                                      V2Frame("TIT2", QByteArray("\x01\x00title", 7))
                                          .replace(8, 2, QByteArray("\x00\x04", 2))))
                    .TIT2.isEmpty());
}

TEST(ID3v2Reader, ATagOfCountlessTinyFramesIsReadNoFurtherThanAPoint) {
    QByteArray frames;
    for (int i = 0; i < 70000; ++i) frames += V2Text("TXXX", {});
    const ID3v2Contents contents =
        ParseID3v2Contents(V2TagOf(3, 0, frames + V2Text("TIT2", "late")));
    EXPECT_LE(contents.frames.size(), 65536);
    EXPECT_TRUE(contents.tag.TIT2.isEmpty());
    EXPECT_FALSE(contents.tag.Unwritable.isEmpty());
}

TEST(ID3v2Reader, PaddingEndsTheWalk) {
    const ID3v2Tag padded = ParseID3v2Tag(V2Tag(V2Text("TIT2", "a"), 100) + V2Text("TALB", "late"));
    EXPECT_EQ(padded.TIT2, QStringLiteral("a"));
    EXPECT_TRUE(padded.TALB.isEmpty());
    EXPECT_TRUE(padded.Unwritable.isEmpty());
    // A tag of size 0 holds no frames, whatever follows it.
    EXPECT_TRUE(ParseID3v2Tag(V2TagOf(3, 0, {}) + V2Text("TIT2", "a")).TIT2.isEmpty());
}

TEST(ID3v2Reader, TagsWhoseEndCannotBeToldReadAsFarAsTheyGoAndAreMarked) {
    // TIT2 claims 500 bytes in a 40-byte tag.
    QByteArray frames = QByteArray("TIT2\x00\x00\x03\x74\x00\x00", 10) + V2Text("TALB", "x");
    const ID3v2Tag big = ParseID3v2Tag(V2TagOf(3, 0, frames + QByteArray(40 - frames.size(), 0)));
    EXPECT_TRUE(big.TALB.isEmpty());
    EXPECT_FALSE(big.Unwritable.isEmpty());

    // The tag's size reaches past the end of the file.
    QByteArray file = V2Tag(V2Text("TALB", "whole") + V2Text("TIT2", "truncated title"));
    file.chop(6);
    const ID3v2Tag cut = ParseID3v2Tag(file);
    EXPECT_EQ(cut.TALB, QStringLiteral("whole"));
    EXPECT_EQ(cut.TIT2, QStringLiteral("truncated"));
    EXPECT_FALSE(cut.Unwritable.isEmpty());
    EXPECT_TRUE(ParseID3v2Tag(QByteArray("ID3\x03")).Present);

    // Size bytes that are not 7-bit groups.
    QByteArray odd = V2Tag(V2Text("TIT2", "t")) + Audio(300);
    odd[8] = char(0x80);
    const ID3v2Tag oddTag = ParseID3v2Tag(odd);
    EXPECT_EQ(oddTag.TIT2, QStringLiteral("t"));
    EXPECT_FALSE(oddTag.Unwritable.isEmpty());
}

TEST(ID3v2Reader, ReadsFromDiskPastTheFirstBlockAndSkipsPictures) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mp3"));
    const QByteArray big(6000, 'x');  // beyond the loader's first read
    WriteBytes(path, V2TagOf(3, 0,
                             V2PlainFrame("APIC", QByteArray(30000, 'i')) +
                                 V2PlainFrame("TIT2", '\0' + big) + V2Text("TPE1", "artist") +
                                 QByteArray(50, 0)) +
                         Audio(9000));
    const ID3v2Tag tag = ReadID3v2Tag(path);
    EXPECT_EQ(tag.TIT2.size(), 6000);
    EXPECT_EQ(tag.TPE1, QStringLiteral("artist"));
    EXPECT_EQ(tag, ParseID3v2Tag(ReadBytes(path)));
    EXPECT_THROW(ReadID3v2Tag(dir.filePath(QStringLiteral("gone.mp3"))), StoreError);
}
