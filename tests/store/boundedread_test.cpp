// Point 12: reading any file, however crafted, takes bounded memory; what is
// not shown stays on disk and survives a rewrite.
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>

#include "store/error.h"
#include "store/filerecords.h"
#include "store/id3v2.h"
#include "store/id3v2text.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

QByteArray Utf16(const QString& text) {
    QByteArray out;
    for (QChar c : text) out += char(c.unicode() & 0xFF), out += char(c.unicode() >> 8);
    return out;
}

QByteArray Plain32(quint32 n) {
    const char b[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return QByteArray(b, 4);
}

// The crafted shape: a tag header claiming 0x0FFFFFFF bytes (7F 7F 7F 7F)
// and one UTF-16 TIT2 frame that fills it: "A", "B", then zeros to the end.
QByteArray CraftedHead() {
    const quint32 frameSize = 0x0FFFFFFF - 10;
    return QByteArray("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10) + "TIT2" + Plain32(frameSize) +
           QByteArray(2, '\0') + "\x01\xFF\xFE" + Utf16(QStringLiteral("A")) + QByteArray(2, '\0') +
           Utf16(QStringLiteral("B"));  // encoding, mark, "A", 00 00, "B"
}

}  // namespace

TEST(BoundedValues, EmptyValuesCollapseAndTheListStops) {
    EXPECT_EQ(id3v2text::DecodeValues(0, QByteArray("A\0\0\0B\0\0", 7)), QStringLiteral("A/B"));
    EXPECT_EQ(
        id3v2text::DecodeValues(1, "\xFF\xFE" + Utf16(QStringLiteral("A")) + QByteArray(6, '\0') +
                                       Utf16(QStringLiteral("B")) + QByteArray(4000, '\0')),
        QStringLiteral("A/B"));
    QByteArray many;
    QStringList first;
    for (int i = 0; i < 1000; ++i) {
        many += "v" + QByteArray::number(i) + '\0';
        if (i < id3v2text::kMaxValues)
            first << QStringLiteral("v%1").arg(i);
    }
    EXPECT_EQ(id3v2text::DecodeValues(0, many), first.join(QLatin1Char('/')));
}

TEST(BoundedValues, ALongTextIsShownUpTo64KiCharacters) {
    const QString pair = QStringLiteral("\U00020BB7");  // 𠮷, two UTF-16 code units
    const struct {
        const char* what;
        QByteArray payload;
        QString shown;
    } cases[] = {
        {"CP936", '\0' + QByteArray(100000, 'x'), QString(65536, QLatin1Char('x'))},
        {"UTF-16 pairs", "\x01\xFF\xFE" + Utf16(pair.repeated(40000)), pair.repeated(32768)},
        // An odd start puts a pair across the limit; it is left out whole.
        {"a pair across the limit",
         "\x01\xFF\xFE" + Utf16(QStringLiteral("a") + pair.repeated(40000)),
         QStringLiteral("a") + pair.repeated(32767)},
        {"UTF-8", '\x03' + QString(70000, QChar(0x4E2D)).toUtf8(), QString(65536, QChar(0x4E2D))},
    };
    for (const auto& c : cases) {
        const ID3v2Tag tag = ParseID3v2Tag(V2TagOf(3, 0, V2PlainFrame("TIT2", c.payload)));
        EXPECT_EQ(tag.TIT2, c.shown) << c.what;
        EXPECT_TRUE(tag.Unwritable.isEmpty()) << c.what;
    }
}

TEST(BoundedValues, CraftedTagsAreReadNoFurtherThanTheirBounds) {
    // Text frames of more than 16 MiB together.
    const QByteArray big = V2PlainFrame("TIT2", '\0' + QByteArray(300 * 1024, 'x'));
    const ID3v2Tag many = ParseID3v2Tag(V2TagOf(3, 0, big.repeated(70)));
    EXPECT_FALSE(many.Unwritable.isEmpty());
    EXPECT_EQ(many.TIT2.size(), 65536);
    // A tag unsynchronised as a whole of more than 16 MiB.
    const ID3v2Tag unsync = ParseID3v2Tag(
        V2TagOf(3, 0x80, V2PlainFrame("TIT2", QByteArray("\0abc", 4)) + QByteArray(17 << 20, 'y')));
    EXPECT_FALSE(unsync.Unwritable.isEmpty()) << unsync.Unwritable.toStdString();
    EXPECT_EQ(unsync.TIT2, QStringLiteral("abc")) << unsync.Unwritable.toStdString();
}

TEST(BoundedValues, AnUnchangedLongFrameIsKeptWholeOnARewrite) {
    QTemporaryDir dir;
    SetProgramFolder(dir.path());
    const QString path = dir.filePath(QStringLiteral("long.mp3"));
    const QByteArray payload = '\0' + QByteArray(100000, 'x');
    WriteBytes(path, V2Tag(V2PlainFrame("TIT2", payload)) + MpegFrames(2));

    ID3v2Tag tag = ReadID3v2Tag(path);
    ASSERT_EQ(tag.TIT2.size(), 65536);
    tag.TPE1 = QStringLiteral("歌手");
    EXPECT_TRUE(WriteID3v2Tag(path, tag));
    SetProgramFolder({});

    const QByteArray after = ReadBytes(path);
    EXPECT_TRUE(
        after.contains("TIT2" + Plain32(quint32(payload.size())) + QByteArray(2, '\0') + payload));
    EXPECT_TRUE(after.endsWith(MpegFrames(2)));
    EXPECT_EQ(ReadID3v2Tag(path).TPE1, QStringLiteral("歌手"));
}

// The file of the report: 2 GiB, sparse, the crafted tag in front. Read in a
// child process, whose peak memory the kernel reports when it ends.
TEST(BoundedValues, TheCraftedSparseFileIsReadInLittleMemory) {
    QTemporaryDir dir;
    SetProgramFolder(dir.path());
    const QString path = dir.filePath(QStringLiteral("crafted.mp3"));
    WriteBytes(path, CraftedHead());
    const qint64 length = qint64(2) << 30;
    ASSERT_EQ(::truncate(QFile::encodeName(path).constData(), length), 0);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        int failed = 0;
        try {
            const FileRecords records = ReadFileRecords(path, true);
            failed |= records.v2.TIT2 != QStringLiteral("A/B") ? 1 : 0;
            failed |= records.content != ContentKind::NoAudioFrame ? 2 : 0;
            // A rewrite is refused before the claimed quarter gigabyte is read.
            ID3v2Tag tag = records.v2;
            tag.TPE1 = QStringLiteral("x");
            try {
                WriteID3v2Tag(path, tag);
                failed |= 4;
            } catch (const StoreError&) {
            }
        } catch (...) {
            failed |= 8;
        }
        ::_exit(failed);
    }
    int status = 0;
    struct rusage usage {};
    ASSERT_EQ(::wait4(child, &status, 0, &usage), child);
    SetProgramFolder({});
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 title, 2 content, 4 written, 8 thrown";
    EXPECT_LT(usage.ru_maxrss, 200 * 1024) << "peak resident kilobytes";
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.size(), length);
    EXPECT_EQ(file.read(CraftedHead().size()), CraftedHead());
}
