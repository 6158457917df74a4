// Legacy text as the tag readers and writers see it: ID3v1 fields and ID3v2
// frames with encoding byte 0 read in the code page decided for the file,
// unedited fields written back byte for byte, and how new text is written.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/id3v2text.h"
#include "store/legacytext.h"
#include "store/tagvalues.h"
#include "support/fixtures.h"

using legacytext::CodePage;

namespace {

const QByteArray kUtf8Yequ("\xE5\xA4\x9C\xE6\x9B\xB2");      // 夜曲
const QByteArray kBig5Jay("\xA9\x50\xAA\x4E\xAD\xDB");       // 周杰倫
const QByteArray kLatinBjork("Bj\xF6rk");                    // Björk
const QByteArray kGbkQilixiang("\xC6\xDF\xC0\xEF\xCF\xE3");  // 七里香

QString Trimmed(const QString& field) {
    QString t = field;
    while (!t.isEmpty() && (t.back() == u' ' || t.back() == u'\0')) t.chop(1);
    return t;
}

// Restores the process's reading and writing defaults after a test.
struct Defaults {
    ~Defaults() {
        legacytext::SetDefaultOptions({});
        id3v2text::SetWriteMode(id3v2text::WriteMode::Gbk);
    }
};

}  // namespace

TEST(LegacyRead, ID3v1FieldsReadInTheirCodePageAndRenderBackUnchanged) {
    const struct {
        const char* what;
        QByteArray tag;
        QString title, artist;
        CodePage codePage;
    } cases[] = {
        {"UTF-8, as ffmpeg writes it", V1Bytes(kUtf8Yequ, "Jay Chou", {}, "2005", {}, 0, 0, '\0'),
         QStringLiteral("夜曲"), QStringLiteral("Jay Chou"), CodePage::Utf8},
        {"Big5", V1Bytes("Test", kBig5Jay), QStringLiteral("Test"), QStringLiteral("周杰倫"),
         CodePage::Big5},
        {"Latin-1", V1Bytes("Joga", kLatinBjork, "Homogenic"), QStringLiteral("Joga"),
         QStringLiteral("Björk"), CodePage::Western},
        {"code page 936", V1Bytes(kGbkQilixiang, "Jay"), QStringLiteral("七里香"),
         QStringLiteral("Jay"), CodePage::Gbk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const ID3v1Tag tag = ParseID3v1Tag(c.tag);
        EXPECT_EQ(Trimmed(tag.SongTitle), c.title);
        EXPECT_EQ(Trimmed(tag.Artist), c.artist);
        EXPECT_EQ(tag.Stored.codePage, quint16(c.codePage));
        // Read and written back without an edit: the same 128 bytes.
        EXPECT_EQ(RenderID3v1Tag(tag), c.tag);
        // An edited field is written afresh; the others keep their bytes.
        ID3v1Tag edited = tag;
        edited.Album = FixedWidth(QStringLiteral("New"), kAlbumWidth);
        const QByteArray out = RenderID3v1Tag(edited);
        EXPECT_EQ(out.mid(63, 30), QByteArray("New").leftJustified(30, ' '));
        EXPECT_EQ(out.left(63), c.tag.left(63));
        EXPECT_EQ(out.mid(93), c.tag.mid(93));
    }
}

TEST(LegacyRead, ID3v1FollowsAFixedCodePage) {
    Defaults restore;
    // 中文 in 936 bytes also reads as Big5 and CP949.
    const QByteArray tag = V1Bytes("\xD6\xD0\xCE\xC4");
    EXPECT_EQ(Trimmed(ParseID3v1Tag(tag).SongTitle), QStringLiteral("中文"));
    legacytext::Options big5;
    big5.fixed = CodePage::Big5;
    EXPECT_EQ(ParseID3v1Tag(tag, big5).Stored.codePage, quint16(CodePage::Big5));
    // Set as the process's default, readers without options follow it.
    legacytext::SetDefaultOptions(big5);
    EXPECT_EQ(ParseID3v1Tag(tag).Stored.codePage, quint16(CodePage::Big5));
    EXPECT_EQ(RenderID3v1Tag(ParseID3v1Tag(tag)), tag);
}

TEST(LegacyRead, ID3v2LegacyFramesAreDecidedTogetherAndKeptWhenUnedited) {
    Defaults restore;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("a.mp3"));
    const QByteArray frames =
        V2Text("TIT2", kUtf8Yequ) + V2Text("TPE1", kLatinBjork) + V2Text("TALB", kBig5Jay);
    const QByteArray file = V2Tag(frames, 64) + Audio(400);
    WriteBytes(path, file);

    const ID3v2Tag tag = ReadID3v2Tag(path);
    // Three writers: each text decided alone.
    EXPECT_EQ(tag.TIT2, QStringLiteral("夜曲"));
    EXPECT_EQ(tag.TPE1, QStringLiteral("Björk"));
    EXPECT_EQ(tag.TALB, QStringLiteral("周杰倫"));
    const ID3v2Values values = ReadID3v2Values(path);
    EXPECT_EQ(values.field("TPE1").stored.codePage, quint16(CodePage::Western));
    EXPECT_EQ(values.field("TIT2").stored.codePage, quint16(CodePage::Utf8));

    // Read with another code page (a folder's, or the user's), the frames
    // are still unedited: their bytes stay.
    legacytext::Options gbk;
    gbk.fixed = CodePage::Gbk;
    legacytext::SetDefaultOptions(gbk);
    ID3v2Tag other = ReadID3v2Tag(path);
    EXPECT_NE(other.TIT2, QStringLiteral("夜曲"));
    other.TCOM = QStringLiteral("Composer");
    ASSERT_TRUE(WriteID3v2Tag(path, other));
    legacytext::SetDefaultOptions({});
    const QByteArray written = ReadBytes(path);
    for (const QByteArray& frame :
         {V2Text("TIT2", kUtf8Yequ), V2Text("TPE1", kLatinBjork), V2Text("TALB", kBig5Jay)})
        EXPECT_TRUE(written.contains(frame.mid(10))) << frame.left(4).constData();
    EXPECT_EQ(ReadID3v2Tag(path).TCOM, QStringLiteral("Composer"));
}

TEST(LegacyRead, NewTextIsWrittenAsTheWriteModeSays) {
    Defaults restore;
    const struct {
        QString text;
        quint8 gbk, unicode;
    } cases[] = {
        {QStringLiteral("Plain ASCII"), 0, 0},
        {QStringLiteral("周杰伦"), 0, 1},
        {QStringLiteral("周杰伦 – Café"), 0, 1},
        // No CJK character: every other reader takes encoding 0 for Latin-1.
        {QStringLiteral("Beyoncé"), 1, 1},
        {QStringLiteral("Mötley Crüe €"), 1, 1},
        {QStringLiteral("아이유"), 1, 1},
    };
    for (const auto& c : cases) {
        for (const auto mode : {id3v2text::WriteMode::Gbk, id3v2text::WriteMode::Unicode}) {
            id3v2text::SetWriteMode(mode);
            quint8 enc = 9;
            const QByteArray bytes = id3v2text::EncodeForWriting(c.text, &enc);
            const quint8 want = mode == id3v2text::WriteMode::Gbk ? c.gbk : c.unicode;
            EXPECT_EQ(enc, want) << c.text.toStdString();
            if (enc == 1)
                EXPECT_TRUE(bytes.startsWith("\xFF\xFE")) << c.text.toStdString();
            else
                EXPECT_EQ(bytes, Gbk(c.text)) << c.text.toStdString();
        }
    }
}
