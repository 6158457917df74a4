// File names are exact bytes: the lossless decoding of names, its inverse,
// the display form, and the store's routines on a name that is not UTF-8.
#include <gtest/gtest.h>

#include "store/error.h"
#include "store/filefacts.h"
#include "store/fileio.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/programfolder.h"
#include "support/exact_names_fixture.h"
#include "support/fixtures.h"
#include "support/qt_printers.h"

namespace {

// A QString of UTF-16 units, lone surrogates included.
QString Units(std::initializer_list<char16_t> units) {
    QString s;
    for (const char16_t u : units) s += QChar(u);
    return s;
}

TEST(ExactNames, InvalidSequencesKeepEachByteAsAnEscape) {
    const struct {
        const char* what;
        QByteArray bytes;
        QString name;
        bool escaped;
    } cases[] = {
        {"ascii", "a b.mp3", QStringLiteral("a b.mp3"), false},
        {"utf-8 晴", "\xE6\x99\xB4", QStringLiteral("晴"), false},
        {"utf-8 U+1F3B5", "\xF0\x9F\x8E\xB5", QString::fromUcs4(U"\U0001F3B5"), false},
        {"a real U+FFFD stays", "\xEF\xBF\xBD", QString(QChar(0xFFFD)), false},
        {"gbk 晴天", "\xC7\xE7\xCC\xEC.mp3",
         Units({0xDCC7, 0xDCE7, 0xDCCC, 0xDCEC}) + QStringLiteral(".mp3"), true},
        // GBK 中国: D0 B9 in the middle happens to be valid UTF-8 (U+0439)
        {"gbk 中国", "\xD6\xD0\xB9\xFA", Units({0xDCD6, 0x0439, 0xDCFA}), true},
        {"overlong NUL", "\xC0\x80", Units({0xDCC0, 0xDC80}), true},
        {"overlong slash", "\xE0\x80\xAF", Units({0xDCE0, 0xDC80, 0xDCAF}), true},
        {"encoded surrogate", "\xED\xA0\x80", Units({0xDCED, 0xDCA0, 0xDC80}), true},
        {"above U+10FFFF", "\xF4\x90\x80\x80", Units({0xDCF4, 0xDC90, 0xDC80, 0xDC80}), true},
        {"cut at the end", "a\xE6\x99", Units({'a', 0xDCE6, 0xDC99}), true},
        {"lone continuation", "\x80z", Units({0xDC80, 'z'}), true},
        {"0xFF", "\xFF", Units({0xDCFF}), true},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(fileio::NameFromNative(c.bytes), c.name) << c.what;
        EXPECT_EQ(fileio::NativePath(c.name), c.bytes) << c.what;
        EXPECT_TRUE(fileio::IsExactName(c.name)) << c.what;
        EXPECT_EQ(fileio::HasEscapedBytes(c.name), c.escaped) << c.what;
    }
}

TEST(ExactNames, EveryByteStringComesBackExactly) {
    const auto roundTrip = [](const QByteArray& bytes) {
        const QString name = fileio::NameFromNative(bytes);
        return fileio::NativePath(name) == bytes && fileio::NameFromNative(bytes) == name;
    };
    // Every string of one and two bytes.
    for (int a = 0; a < 256; ++a) {
        ASSERT_TRUE(roundTrip(QByteArray(1, char(a)))) << a;
        for (int b = 0; b < 256; ++b) {
            const char pair[2] = {char(a), char(b)};
            ASSERT_TRUE(roundTrip(QByteArray(pair, 2))) << a << " " << b;
        }
    }
    // Three bytes behind every lead whose second byte has a narrowed range.
    for (const int lead : {0xC2, 0xE0, 0xED, 0xEF, 0xF0, 0xF4}) {
        for (int b = 0x70; b < 0x100; ++b) {
            for (int c = 0x70; c < 0x100; ++c) {
                const char bytes[3] = {char(lead), char(b), char(c)};
                ASSERT_TRUE(roundTrip(QByteArray(bytes, 3))) << lead << " " << b << " " << c;
            }
        }
    }
    // Longer strings from a fixed pseudo-random sequence, weighted to high bytes.
    quint32 state = 12345;
    for (int i = 0; i < 20000; ++i) {
        QByteArray bytes;
        const int length = 1 + int(state % 9);
        for (int k = 0; k < length; ++k) {
            state = state * 1103515245u + 12345u;
            bytes += char(((state >> 16) & 0xFF) | ((state >> 8) & 1 ? 0x80 : 0));
        }
        ASSERT_TRUE(roundTrip(bytes)) << bytes.toHex().constData();
    }
}

TEST(ExactNames, StringsThatNameNoBytesAreNotExact) {
    // A lone high surrogate, an escape for an ASCII byte (never escaped), and
    // escapes whose bytes form valid UTF-8 (C3 A9 is é).
    for (const QString& name :
         {Units({'a', 0xD800}), Units({0xDC41}), Units({0xDCC3, 0xDCA9}), Units({0xDFFF})}) {
        EXPECT_FALSE(fileio::IsExactName(name)) << name.size();
    }
    EXPECT_TRUE(fileio::IsExactName(QString::fromUcs4(U"\U0001F3B5歌.mp3")));
}

TEST(ExactNames, DisplayFormDecodesCodePage936AndMarksTheName) {
    const QString gbk = fileio::NameFromNative(kGbkSunny);
    const QString mark = QStringLiteral("（非 UTF-8 文件名）");
    const struct {
        const char* what;
        QString exact;
        QString shown;
    } cases[] = {
        {"utf-8 name", QStringLiteral("晴天.mp3"), QStringLiteral("晴天.mp3")},
        {"literal U+FFFD", fileio::NameFromNative(kFffdName), QStringLiteral("����.mp3")},
        {"gbk name", gbk, QStringLiteral("晴天.mp3") + mark},
        {"gbk name in a utf-8 path", QStringLiteral("/音乐/") + gbk,
         QStringLiteral("/音乐/晴天.mp3") + mark},
        {"gbk folder, utf-8 name", fileio::NameFromNative(Gbk(QStringLiteral("旧歌"))) + "/新.mp3",
         QStringLiteral("旧歌/新.mp3") + mark},
        {"undecodable byte", fileio::NameFromNative("a\xFF.mp3"), QStringLiteral("a�.mp3") + mark},
    };
    for (const auto& c : cases) EXPECT_EQ(DisplayFileName(c.exact), c.shown) << c.what;

    // The text for tags keeps the codec's stand-in, which writes the byte back.
    EXPECT_EQ(DecodedFileName(fileio::NameFromNative("a\xFF.mp3")),
              QStringLiteral("a") + QChar(0xF7FF) + QStringLiteral(".mp3"));
    EXPECT_EQ(DecodedFileName(gbk), QStringLiteral("晴天.mp3"));
}

TEST(ExactNames, PathPartsStayExact) {
    const QString gbk = fileio::NameFromNative(kGbkSunny);
    const QString folder = fileio::NameFromNative(Gbk(QStringLiteral("旧歌")));
    EXPECT_EQ(FileNameOf(QStringLiteral("/m/") + folder + "/" + gbk), gbk);
    EXPECT_EQ(FolderOf(QStringLiteral("/m/") + folder + "/" + gbk), QStringLiteral("/m/") + folder);
    EXPECT_EQ(FolderOf(gbk), QStringLiteral("."));
    EXPECT_EQ(FolderOf(QStringLiteral("/a.mp3")), QStringLiteral("/"));
}

using ExactNameFiles = ExactNameFolder;

TEST_F(ExactNameFiles, ReadAndWriteReachOnlyTheNamedFile) {
    const QString gbkPath = folder + "/" + gbkName;
    EXPECT_EQ(ReadID3v1Tag(gbkPath).Artist.trimmed(), QStringLiteral("Jay"));
    EXPECT_EQ(GetFileFacts(gbkPath).Length, gbkSong.size());
    EXPECT_FALSE(IsReadOnlyFile(gbkPath));

    ID3v1Tag tag = ReadID3v1Tag(gbkPath);
    tag.Artist = QStringLiteral("周杰伦").leftJustified(30);
    WriteID3v1Tag(gbkPath, tag);
    EXPECT_EQ(ReadNative(Bytes(kGbkSunny)).mid(300 + 33, 6), Gbk(QStringLiteral("周杰伦")));
    ExpectFffdUntouched();

    ID3v2Tag v2 = ReadID3v2Tag(gbkPath);
    v2.TIT2 = QStringLiteral("晴天");
    WriteID3v2Tag(gbkPath, v2);  // rewritten beside the file and renamed over it
    EXPECT_TRUE(ReadNative(Bytes(kGbkSunny)).startsWith("ID3"));
    EXPECT_EQ(ReadID3v2Tag(gbkPath).TIT2, QStringLiteral("晴天"));
    ExpectFffdUntouched();
}

TEST_F(ExactNameFiles, ErrorMessagesShowTheDisplayForm) {
    const QString gone = folder + "/" + fileio::NameFromNative("\xFF.mp3");
    try {
        ReadID3v1Tag(gone);
        FAIL() << "no error for a missing file";
    } catch (const StoreError& e) {
        EXPECT_EQ(e.path(), gone);
        EXPECT_TRUE(e.message().contains(QStringLiteral("旧歌/�.mp3（非 UTF-8 文件名）")))
            << e.message().toStdString();
    }
}

}  // namespace
