// The edit model of ID3v2 texts: what was read, how it was stored, what is
// to be written, and that a write through it rewrites only changed fields.
#include "store/tagvalues.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/qt_printers.h"

namespace {

// UTF-16 little-endian with its mark, as encoding 1 holds it.
QByteArray Utf16(const QString& text) {
    QByteArray out("\xFF\xFE", 2);
    for (const QChar c : text) {
        out.append(char(c.unicode() & 0xFF));
        out.append(char(c.unicode() >> 8));
    }
    return out;
}

// A v2.3 tag: the title in UTF-16 (flags: file alter preservation), the
// artist in code page 936, a comment with a description only.
QByteArray Tagged() {
    return V2Tag(V2PlainFrame("TIT2", "\x01" + Utf16(QStringLiteral("夜曲")), 0x4000) +
                 V2PlainFrame("TPE1", QByteArray(1, '\0') + Gbk(QStringLiteral("周杰伦"))) +
                 // encoding, language, description "note", text
                 V2PlainFrame("COMM", QByteArray("\x00"
                                                 "chi"
                                                 "note\x00"
                                                 "abc",
                                                 12))) +
           MpegFrames(4);
}

TEST(TagValues, ReadValuesKnowHowEachTextWasStored) {
    const ID3v2Values values = ID3v2ValuesFromContents(ParseID3v2Contents(Tagged()));
    const struct {
        const char* id;
        QString read;
        bool present;
        quint8 encoding;
        quint16 flags;
        bool described;
    } cases[] = {
        {"TIT2", QStringLiteral("夜曲"), true, 1, 0x4000, false},
        {"TPE1", QStringLiteral("周杰伦"), true, 0, 0, false},
        {"COMM", QStringLiteral("abc"), true, 0, 0, true},
        {"TALB", QString(), false, 0, 0, false},
    };
    for (const auto& c : cases) {
        const TagValue& v = values.field(c.id);
        EXPECT_EQ(v.read, c.read) << c.id;
        EXPECT_EQ(v.stored.present, c.present) << c.id;
        EXPECT_EQ(v.stored.encoding, c.encoding) << c.id;
        EXPECT_EQ(v.stored.flags, c.flags) << c.id;
        EXPECT_EQ(v.stored.described, c.described) << c.id;
        EXPECT_FALSE(v.changed()) << c.id;
    }
    EXPECT_FALSE(values.changed());
}

TEST(TagValues, AValueIsChangedOnlyWhenItDiffersFromWhatWasRead) {
    ID3v2Values values = ID3v2ValuesFromContents(ParseID3v2Contents(Tagged()));
    const int title = FrameIndex("TIT2");
    const int album = FrameIndex("TALB");
    values.set(title, QStringLiteral("夜曲"));
    EXPECT_FALSE(values.field(title).changed());
    EXPECT_FALSE(values.changed());
    values.set(album, QStringLiteral("十一月的萧邦"));
    EXPECT_TRUE(values.field(album).changed());
    EXPECT_TRUE(values.changed());
    EXPECT_EQ(values.field(album).read, QString());  // what was read stays

    const ID3v2Tag record = values.record();
    EXPECT_EQ(record.TALB, QStringLiteral("十一月的萧邦"));
    EXPECT_EQ(record.TIT2, QStringLiteral("夜曲"));
    EXPECT_EQ(record.Size, ParseID3v2Tag(Tagged()).Size);  // the header as read
}

// A field the edit does not change keeps its frame byte for byte (its
// UTF-16 and its flags), while the changed one is written afresh.
TEST(TagValues, AWriteThroughTheModelRewritesOnlyChangedFields) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    SetProgramFolder(dir.path());
    const QString path = dir.filePath(QStringLiteral("a.mp3"));
    WriteBytes(path, Tagged());

    ID3v2Values values = ReadID3v2Values(path);
    values.set(FrameIndex("TPE1"), QStringLiteral("Jay"));
    ASSERT_TRUE(WriteID3v2Tag(path, values.record()));

    const QByteArray after = ReadBytes(path);
    EXPECT_TRUE(
        after.contains(V2PlainFrame("TIT2", "\x01" + Utf16(QStringLiteral("夜曲")), 0x4000)));
    EXPECT_TRUE(after.contains(V2PlainFrame("TPE1", QByteArray("\x00"
                                                               "Jay",
                                                               4))));
    EXPECT_FALSE(after.contains(Gbk(QStringLiteral("周杰伦"))));
    const ID3v2Values reread = ReadID3v2Values(path);
    EXPECT_EQ(reread.field("TPE1").read, QStringLiteral("Jay"));
    EXPECT_EQ(reread.field("TIT2").stored.encoding, 1);
    SetProgramFolder({});
}

}  // namespace
