// Mojibake found in texts and the column that tells how a file's texts are
// stored.
#include "batch/textencoding.h"

#include <gtest/gtest.h>

#include "batch/mp3list.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "support/fixtures.h"

using legacytext::CodePage;

namespace {

// The text a Latin-1 reader makes of `bytes`.
QString AsLatin1(const QByteArray& bytes) {
    return QString::fromLatin1(bytes);
}

FileRecords Records(const QByteArray& v2Frames, const QByteArray& v1 = {}) {
    FileRecords records;
    records.v1 = v1.isEmpty() ? NoID3v1Tag() : ParseID3v1Tag(v1);
    records.v2 = v2Frames.isEmpty() ? ID3v2Tag{} : ParseID3v2Tag(V2Tag(v2Frames) + Audio(64));
    return records;
}

const QByteArray kGbkQilixiang("\xC6\xDF\xC0\xEF\xCF\xE3");  // 七里香
const QByteArray kBig5Jay("\xA9\x50\xAA\x4E\xAD\xDB");       // 周杰倫
const QByteArray kUtf8Yequ("\xE5\xA4\x9C\xE6\x9B\xB2");      // 夜曲
const QByteArray kGbkChenYixun("\xB3\xC2\xDE\xC8\xD1\xB8");  // 陈奕迅

}  // namespace

TEST(Mojibake, ChineseBytesReadAsLatin1AreFoundAndReadAgain) {
    const struct {
        const char* what;
        QString text;
        QString repaired;
        CodePage codePage;
    } cases[] = {
        {"code page 936", AsLatin1(kGbkQilixiang), QStringLiteral("七里香"), CodePage::Gbk},
        {"936 with ASCII around it",
         QStringLiteral("01 ") + AsLatin1(kGbkChenYixun) + QStringLiteral(" - Live"),
         QStringLiteral("01 陈奕迅 - Live"), CodePage::Gbk},
        {"Big5", AsLatin1(kBig5Jay), QStringLiteral("周杰倫"), CodePage::Big5},
        {"UTF-8", AsLatin1(kUtf8Yequ), QStringLiteral("夜曲"), CodePage::Utf8},
        // 我們: CE D2 82 83; a Windows-1252 reader makes 0x82 0x83 into U+201A U+0192.
        {"936 read as Windows-1252", QStringLiteral("ÎÒ\u201A\u0192"), QStringLiteral("我們"),
         CodePage::Gbk},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const auto reading = MojibakeRepair(c.text);
        ASSERT_TRUE(reading.has_value());
        EXPECT_EQ(reading->text, c.repaired);
        EXPECT_EQ(reading->codePage, c.codePage);
    }
}

TEST(Mojibake, GenuineTextIsLeftAlone) {
    for (const QString& text :
         {QStringLiteral("Björk"), QStringLiteral("Café Crème"), QStringLiteral("Beyoncé"),
          QStringLiteral("Motörhead"), QStringLiteral("Sigur Rós - Ágætis byrjun"),
          QStringLiteral("Françoise Hardy"), QStringLiteral("plain ASCII"), QString(),
          QStringLiteral("七里香"), QStringLiteral("ÆßÀïÏã 七")})
        EXPECT_FALSE(MojibakeRepair(text).has_value()) << text.toStdString();
}

TEST(TextEncodingColumn, TellsHowTheTextsAreStored) {
    const struct {
        const char* what;
        FileRecords records;
        QString cell;
    } cases[] = {
        {"no tags", Records({}), QString()},
        {"ASCII only", Records(V2Text("TIT2", "Yesterday"), V1Bytes("Yesterday")), QString()},
        {"UTF-16", Records(Utf16Text("TIT2", QStringLiteral("七里香"))), QStringLiteral("Unicode")},
        {"UTF-8 frame", Records(V2Frame("TIT2", "\x03" + kUtf8Yequ)), QStringLiteral("Unicode")},
        {"936 frame", Records(V2Text("TIT2", kGbkQilixiang)), QStringLiteral("GBK")},
        {"Big5 frame", Records(V2Text("TPE1", kBig5Jay)), QStringLiteral("Big5")},
        {"Latin-1 frame", Records(V2Text("TPE1", "Bj\xF6rk")), QStringLiteral("Latin-1")},
        {"UTF-8 in ID3v1 only", Records({}, V1Bytes(kUtf8Yequ, {}, {}, {}, {}, 0, 0, '\0')),
         QStringLiteral("UTF-8(旧)")},
        {"ID3v2 Unicode wins over ID3v1 936",
         Records(Utf16Text("TIT2", QStringLiteral("七里香")), V1Bytes(kGbkQilixiang)),
         QStringLiteral("Unicode")},
        {"mixed ID3v2: the legacy part",
         Records(Utf16Text("TIT2", QStringLiteral("七里香")) + V2Text("TPE1", kGbkChenYixun)),
         QStringLiteral("GBK")},
        {"936 saved as UTF-16 after a Latin-1 reading",
         Records(Utf16Text("TIT2", AsLatin1(kGbkQilixiang))), QStringLiteral("乱码?")},
        {"mojibake beside good Unicode",
         Records(Utf16Text("TPE1", QStringLiteral("周杰伦")) +
                 Utf16Text("TALB", AsLatin1(kGbkQilixiang))),
         QStringLiteral("乱码?")},
        {"genuine Latin-1 saved as UTF-16", Records(Utf16Text("TPE1", QStringLiteral("Björk"))),
         QStringLiteral("Unicode")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(TextEncodingCellText(c.records), c.cell);
        EXPECT_EQ(CellText(kTextEncodingColumn, c.records, QStringLiteral("a.mp3")), c.cell);
    }
}
