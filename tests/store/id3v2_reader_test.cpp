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

TEST(ID3v2Reader, TextFramesAndTheirQuirks) {
    const QByteArray frames =
        V2Text("TIT2", "abc") +  // title "abc"
        V2Frame("COMM", QByteArray("\x00"
                                   "eng"
                                   "\x00"
                                   "abc",
                                   8)) +                       // enc, language, empty desc, text
        V2Frame("WXXX", QByteArray("\x00\x00http://x", 10)) +  // enc, empty desc, url
        V2Text("TPE1", "\x81") +                               // a lone lead byte
        V2Text("XXXX", "skipped") +
        V2Text("TIT2", "second");  // unknown id; last TIT2 wins
    const ID3v2Tag tag = ParseID3v2Tag(V2Tag(frames, 20));
    EXPECT_EQ(tag.TIT2, QStringLiteral("second"));
    EXPECT_EQ(tag.COMM, QStringLiteral("abc"));
    EXPECT_EQ(tag.WXXX, QChar(0) + QStringLiteral("http://x"));
    EXPECT_EQ(tag.TPE1.size(), 1);
    EXPECT_TRUE(tag.TALB.isEmpty());
}

TEST(ID3v2Reader, CommentWithADescriptionOrOnlyALanguage) {
    // enc, "eng", description "d", terminator, "abc": the text after the
    // first four characters keeps the terminator.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM", QByteArray("\x00"
                                                             "engd\x00"
                                                             "abc",
                                                             9))))
                  .COMM,
              QChar(0) + QStringLiteral("abc"));
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM", QByteArray("\x00"
                                                             "eng",
                                                             4))))
                  .COMM,
              QStringLiteral("eng"));
    // An empty comment as this program writes it: encoding, three zero
    // language bytes, the description terminator, no text.
    EXPECT_EQ(ParseID3v2Tag(V2Tag(V2Frame("COMM", QByteArray(5, '\0')))).COMM, QString());
    ID3v2Tag tag;
    tag.TIT2 = QStringLiteral("t");
    const QByteArray frames = RenderID3v2Frames(tag);
    EXPECT_EQ(ParseID3v2Tag(RenderID3v2Header(frames.size()) + frames).COMM, QString());
}

TEST(ID3v2Reader, Utf16PayloadIsReadAsCP936) {
    const ID3v2Tag tag = ParseID3v2Tag(V2Tag(V2Frame("TIT2", QByteArray("\x01\xFF\xFE"
                                                                        "a\x00",
                                                                        5))));
    EXPECT_FALSE(tag.TIT2.isEmpty());  // unreadable, but never an error
    EXPECT_NE(tag.TIT2, QStringLiteral("a"));
}

TEST(ID3v2Reader, WalkStopsAtPaddingAndAtAnOversizedFrame) {
    const ID3v2Tag padded = ParseID3v2Tag(V2Tag(V2Text("TIT2", "a"), 100) + V2Text("TALB", "late"));
    EXPECT_EQ(padded.TIT2, QStringLiteral("a"));
    EXPECT_TRUE(padded.TALB.isEmpty());

    // TIT2 claims 500 bytes in a 40-byte tag: empty, and TALB after it is not read.
    QByteArray frames = QByteArray("TIT2\x00\x00\x03\x74\x00\x00", 10) + V2Text("TALB", "x");
    QByteArray tag = QByteArray("ID3\x03\x00\x00\x00\x00\x00\x28", 10) + frames + QByteArray(40, 0);
    const ID3v2Tag big = ParseID3v2Tag(tag);
    EXPECT_TRUE(big.TIT2.isEmpty());
    EXPECT_TRUE(big.TALB.isEmpty());
}

TEST(ID3v2Reader, ASizeZeroTagStillExaminesOneFrame) {
    // Size 0: budget 0, so the frame's payload is out of range and stays empty,
    // but its header is still looked at (and the walk then ends).
    QList<RawFrame> frames;
    ParseID3v2Tag(QByteArray("ID3\x03\x00\x00\x00\x00\x00\x00", 10) + V2Text("TIT2", "a"), &frames);
    ASSERT_EQ(frames.size(), 1);
    EXPECT_EQ(frames.at(0).header.FrameID, QByteArray("TIT2"));
    EXPECT_TRUE(frames.at(0).payload.isEmpty());
}

TEST(ID3v2Reader, APayloadRunningPastTheEndGivesTheBytesThatExist) {
    QByteArray file = V2Tag(V2Text("TALB", "whole") + V2Text("TIT2", "truncated title"));
    file.chop(6);
    const ID3v2Tag tag = ParseID3v2Tag(file);
    EXPECT_EQ(tag.TALB, QStringLiteral("whole"));
    EXPECT_EQ(tag.TIT2, QStringLiteral("truncated"));
    // A header cut short of its frames is still a tag.
    EXPECT_TRUE(ParseID3v2Tag(QByteArray("ID3\x03")).Present);
}

TEST(ID3v2Reader, ExtendedHeaderMovesTheFirstFrame) {
    // Extended header size 6 (excluding its own 4 bytes): frames start at 20.
    QByteArray frames = V2Text("TIT2", "ext");
    QByteArray file = QByteArray("ID3\x03\x00\x40\x00\x00\x00", 9) + char(6 + frames.size() + 10) +
                      QByteArray("\x00\x00\x00\x06", 4) + QByteArray(6, 'e') + frames +
                      QByteArray(10, 0);
    EXPECT_EQ(ParseID3v2Tag(file).TIT2, QStringLiteral("ext"));
    EXPECT_GE(ID3v2ParseExtent(file.left(14)), qint64(20 + frames.size()));
}

TEST(ID3v2Reader, ReadsFromDiskWithinTheParseExtent) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mp3"));
    const QByteArray big(6000, 'x');  // beyond the loader's first read
    WriteBytes(path, V2Tag(V2Text("TIT2", big) + V2Text("TPE1", "artist"), 50) + Audio(9000));
    const ID3v2Tag tag = ReadID3v2Tag(path);
    EXPECT_EQ(tag.TIT2.size(), 6000);
    EXPECT_EQ(tag.TPE1, QStringLiteral("artist"));
    EXPECT_THROW(ReadID3v2Tag(dir.filePath(QStringLiteral("gone.mp3"))), StoreError);
}
