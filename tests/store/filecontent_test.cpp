// What a file holds, and the writers' refusal of files that are not MP3 or
// that the process may not write.
#include "store/filecontent.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "store/error.h"
#include "store/filefacts.h"
#include "store/filerecords.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/mpegaudio.h"
#include "store/programfolder.h"
#include "support/fixtures.h"

namespace {

QByteArray Bytes(std::initializer_list<int> values) {
    QByteArray out;
    for (int v : values) out += char(v);
    return out;
}

class ContentFile : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        SetProgramFolder(dir.path());
    }
    void TearDown() override { SetProgramFolder({}); }
    QString path(const QString& name = QStringLiteral("a.mp3")) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

ID3v1Tag SomeTag() {
    ID3v1Tag tag = NoID3v1Tag();
    tag.Marker = QStringLiteral("TAG");
    tag.Artist = FixedWidth(QStringLiteral("歌手"), kArtistWidth);
    return tag;
}

// The reason a writer gave, or "written" when it wrote.
template <typename Write>
QString Outcome(Write write) {
    try {
        write();
        return QStringLiteral("written");
    } catch (const StoreError& e) {
        return e.reason();
    }
}

QString WriteV1(const QString& path) {
    return Outcome([&] { WriteID3v1Tag(path, SomeTag()); });
}

QString WriteV2(const QString& path) {
    return Outcome([&] {
        ID3v2Tag tag = ReadID3v2Tag(path);
        tag.TPE1 = QStringLiteral("歌手");
        WriteID3v2Tag(path, tag);
    });
}

}  // namespace

// ---- The MPEG audio frame header ----

TEST(MpegFrameHeader, ValidHeadersAndTheirFigures) {
    const struct {
        QByteArray bytes;
        MpegFrameHeader::Version version;
        int layer, bitrate, sampleRate, frameLength, samples;
    } cases[] = {
        // FB: MPEG-1, layer III, no CRC; 90: 128 kbit/s, 44.1 kHz, no padding.
        {Bytes({0xFF, 0xFB, 0x90, 0x64}), MpegFrameHeader::kMpeg1, 3, 128, 44100, 417, 1152},
        {Bytes({0xFF, 0xFB, 0x92, 0x64}), MpegFrameHeader::kMpeg1, 3, 128, 44100, 418, 1152},
        // F3: MPEG-2, layer III; 48: 32 kbit/s, 16 kHz.
        {Bytes({0xFF, 0xF3, 0x48, 0xC4}), MpegFrameHeader::kMpeg2, 3, 32, 16000, 144, 576},
        // E3: MPEG-2.5, layer III; 88: 64 kbit/s, 8 kHz.
        {Bytes({0xFF, 0xE3, 0x88, 0xC4}), MpegFrameHeader::kMpeg25, 3, 64, 8000, 576, 576},
        // FD: MPEG-1, layer II; C4: 256 kbit/s, 48 kHz.
        {Bytes({0xFF, 0xFD, 0xC4, 0x00}), MpegFrameHeader::kMpeg1, 2, 256, 48000, 768, 1152},
        // FF: MPEG-1, layer I; 10: 32 kbit/s, 44.1 kHz: (12 * 32000 / 44100) * 4.
        {Bytes({0xFF, 0xFF, 0x10, 0x00}), MpegFrameHeader::kMpeg1, 1, 32, 44100, 32, 384},
    };
    for (const auto& c : cases) {
        const auto h = ParseMpegFrameHeader(c.bytes);
        ASSERT_TRUE(h.has_value()) << c.bytes.toHex().constData();
        EXPECT_EQ(h->version, c.version) << c.bytes.toHex().constData();
        EXPECT_EQ(h->layer, c.layer) << c.bytes.toHex().constData();
        EXPECT_EQ(h->bitrate, c.bitrate) << c.bytes.toHex().constData();
        EXPECT_EQ(h->sampleRate, c.sampleRate) << c.bytes.toHex().constData();
        EXPECT_EQ(h->frameLength(), c.frameLength) << c.bytes.toHex().constData();
        EXPECT_EQ(h->samplesPerFrame(), c.samples) << c.bytes.toHex().constData();
    }
}

TEST(MpegFrameHeader, EachInvalidFieldRejectsTheHeader) {
    const struct {
        const char* what;
        QByteArray bytes;
    } cases[] = {
        {"sync broken", Bytes({0xFF, 0x7B, 0x90, 0x64})},
        {"reserved version", Bytes({0xFF, 0xEB, 0x90, 0x64})},
        {"reserved layer", Bytes({0xFF, 0xF9, 0x90, 0x64})},
        {"free-format bitrate", Bytes({0xFF, 0xFB, 0x00, 0x64})},
        {"bitrate index 15", Bytes({0xFF, 0xFB, 0xF0, 0x64})},
        {"reserved sample rate", Bytes({0xFF, 0xFB, 0x9C, 0x64})},
        {"three bytes", Bytes({0xFF, 0xFB, 0x90})},
    };
    for (const auto& c : cases) EXPECT_FALSE(ParseMpegFrameHeader(c.bytes)) << c.what;

    const QByteArray junk = Bytes({0xFF, 0xFF, 0xFF, 0xF0, 0x12});  // no valid header in it
    EXPECT_EQ(FindMpegFrameHeader(junk + MpegFrames(1)), junk.size());
    EXPECT_EQ(FindMpegFrameHeader(junk + MpegFrames(1).left(3)), -1);  // cut at the end
}

// ---- Point 5: other formats are told and never written ----

TEST_F(ContentFile, OtherFormatsAreToldAtTheStartAndAfterAnID3v2Tag) {
    const QByteArray tag = V2Tag(V2Text("TIT2", "t"));
    for (const ForeignFile& f : ForeignFiles()) {
        for (const QByteArray& bytes : {f.bytes, tag + f.bytes, f.bytes + V1Bytes("t")}) {
            WriteBytes(path(), bytes);
            const ContentKind kind = ReadFileRecords(path(), true).content;
            EXPECT_EQ(kind, JudgeContent(bytes)) << f.label;
            EXPECT_EQ(ContentFormatName(kind), f.format) << f.label;
            EXPECT_EQ(NotMp3Reason(kind),
                      QStringLiteral("不是 MP3 文件（看起来是 ") + f.format + QStringLiteral("）"))
                << f.label;
        }
    }
}

TEST_F(ContentFile, WritersRefuseOtherFormatsAndLeaveTheirBytes) {
    const QByteArray tag = V2Tag(V2Text("TIT2", "t"));
    for (const ForeignFile& f : ForeignFiles()) {
        const QString reason =
            QStringLiteral("不是 MP3 文件（看起来是 ") + f.format + QStringLiteral("）");
        for (const QByteArray& bytes : {f.bytes, tag + f.bytes}) {
            WriteBytes(path(), bytes);
            EXPECT_EQ(WriteV1(path()), reason) << f.label;
            EXPECT_EQ(WriteV2(path()), reason) << f.label;
            EXPECT_EQ(ReadBytes(path()), bytes) << f.label;
        }
    }
}

TEST_F(ContentFile, FilesUnder128BytesAreNotCountedAsWritten) {
    for (const int size : {0, 3, 127}) {
        const QByteArray bytes = MpegFrames(1).left(size);
        WriteBytes(path(), bytes);
        EXPECT_EQ(WriteV1(path()), QStringLiteral("文件太短，不足 128 字节")) << size;
        EXPECT_EQ(ReadBytes(path()), bytes) << size;
    }
}

// ---- Point 11: MP3 content means an audio frame after the tag ----

TEST_F(ContentFile, AudioFrameSearchCoversTheFirst64KiBAfterTheTag) {
    const QByteArray bigTag = V2Tag(V2Text("TIT2", QByteArray(6000, 'x')));  // past the first read
    const QByteArray smallTag = V2Tag(V2Text("TIT2", "t"));
    const struct {
        const char* what;
        QByteArray bytes;
        ContentKind kind;
    } cases[] = {
        {"frames alone", MpegFrames(3), ContentKind::Mp3},
        {"tags and frames", smallTag + MpegFrames(3) + V1Bytes("t"), ContentKind::Mp3},
        {"a long tag, then frames", bigTag + MpegFrames(3), ContentKind::Mp3},
        {"a long tag, then a picture", bigTag + ForeignFiles().front().bytes, ContentKind::Png},
        {"plain text", TextFile(), ContentKind::NoAudioFrame},
        {"a tag and text", smallTag + TextFile() + V1Bytes("t"), ContentKind::NoAudioFrame},
        {"zeros", QByteArray(5000, '\0'), ContentKind::NoAudioFrame},
        {"a header across the end of the first 4 KiB read",
         smallTag + QByteArray(4096 - 2 - smallTag.size(), '\0') + MpegFrames(1), ContentKind::Mp3},
        {"a header ending at 64 KiB", smallTag + QByteArray(65536 - 4, '\0') + MpegFrames(1),
         ContentKind::Mp3},
        {"a header just past 64 KiB", smallTag + QByteArray(65536 - 3, '\0') + MpegFrames(1),
         ContentKind::NoAudioFrame},
        {"a header only inside the ID3v1 tag",
         QByteArray(300, '\0') + V1Bytes(QByteArray("\xFF\xFB\x90\x64", 4)),
         ContentKind::NoAudioFrame},
        {"a tag that claims more than the file",
         QByteArray("ID3\x03\x00\x00\x00\x00\x7F\x7F", 10) + MpegFrames(3),
         ContentKind::NoAudioFrame},
    };
    for (const auto& c : cases) {
        WriteBytes(path(), c.bytes);
        EXPECT_EQ(JudgeContent(c.bytes), c.kind) << c.what;
        EXPECT_EQ(ReadFileRecords(path(), true).content, c.kind) << c.what;
        EXPECT_EQ(ReadFileRecords(path()).content, ContentKind::Unknown) << c.what;
    }
}

TEST_F(ContentFile, WritersRefuseAFileWithoutAudioFrames) {
    for (const QByteArray& bytes :
         {TextFile(), V2Tag(V2Text("TIT2", "t")) + TextFile(), TextFile() + V1Bytes("t")}) {
        WriteBytes(path(), bytes);
        EXPECT_EQ(WriteV1(path()), QStringLiteral("不是 MP3 文件（找不到音频帧）"));
        EXPECT_EQ(WriteV2(path()), QStringLiteral("不是 MP3 文件（找不到音频帧）"));
        EXPECT_EQ(ReadBytes(path()), bytes);
    }
    // The same with audio is written by both.
    WriteBytes(path(), MpegFrames(2));
    EXPECT_EQ(WriteV1(path()), QStringLiteral("written"));
    EXPECT_EQ(WriteV2(path()), QStringLiteral("written"));
}

// ---- Point 11: files the process may not write; links out of the folder ----

TEST_F(ContentFile, AnImmutableFileIsReadOnlyAndNotReplaced) {
    WriteBytes(path(), MpegFrames(2));
    if (!SetImmutable(path(), true))
        GTEST_SKIP() << "the immutable flag cannot be set here";
    struct stat before;
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &before), 0);
    const bool readOnly = IsReadOnlyFile(path());
    const bool attribute = GetFileFacts(path()).ReadOnly;
    const QString v2 = WriteV2(path());
    struct stat after;
    ASSERT_EQ(::stat(QFile::encodeName(path()).constData(), &after), 0);
    ASSERT_TRUE(SetImmutable(path(), false));

    EXPECT_TRUE(readOnly);
    EXPECT_FALSE(attribute);  // the attribute shown is the owner write bit
    EXPECT_NE(v2, QStringLiteral("written"));
    EXPECT_EQ(after.st_ino, before.st_ino);
    EXPECT_EQ(ReadBytes(path()), MpegFrames(2));
}

TEST_F(ContentFile, ALinkIsWrittenThroughOnlyWhenItStaysInTheFolder) {
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("music/sub")));
    ASSERT_TRUE(QDir(dir.path()).mkpath(QStringLiteral("music2")));
    const QString music = dir.filePath(QStringLiteral("music"));
    WriteBytes(dir.filePath(QStringLiteral("outside.mp3")), MpegFrames(2));
    WriteBytes(dir.filePath(QStringLiteral("music2/a.mp3")), MpegFrames(2));
    WriteBytes(dir.filePath(QStringLiteral("music/sub/in.mp3")), MpegFrames(2));
    WriteBytes(dir.filePath(QStringLiteral("music/plain.mp3")), MpegFrames(2));
    const struct {
        const char* name;
        const char* target;  // relative to the link; empty for none
        bool leaves;
    } cases[] = {
        {"out.mp3", "../outside.mp3", true},
        {"sibling.mp3", "../music2/a.mp3", true},  // a folder whose name begins the same
        {"abs.mp3", "/etc/passwd", true},
        {"down.mp3", "sub/in.mp3", false},
        {"chain.mp3", "down.mp3", false},
        {"dangling.mp3", "nowhere.mp3", false},
        {"plain.mp3", "", false},
    };
    for (const auto& c : cases) {
        const QString link = music + QLatin1Char('/') + QLatin1String(c.name);
        if (*c.target) {
            ASSERT_EQ(::symlink(c.target, QFile::encodeName(link).constData()), 0) << c.name;
        }
    }
    for (const auto& c : cases) {
        const QString why =
            LinkLeavesFolder(music + QLatin1Char('/') + QLatin1String(c.name), music);
        EXPECT_EQ(!why.isEmpty(), c.leaves) << c.name;
    }
    EXPECT_TRUE(LinkLeavesFolder(music + QStringLiteral("/abs.mp3"), music)
                    .contains(QStringLiteral("/etc/passwd")));
}

// ---- Point 12: bounded reading ----

TEST_F(ContentFile, JudgingReadsNoMoreThan64KiBAfterTheTag) {
    // A 1 GiB sparse file of zeros behind a tag: nothing to find, quickly.
    const QByteArray tag = V2Tag(V2Text("TIT2", "t"));
    WriteBytes(path(), tag);
    ASSERT_EQ(::truncate(QFile::encodeName(path()).constData(), qint64(1) << 30), 0);
    EXPECT_EQ(ReadFileRecords(path(), true).content, ContentKind::NoAudioFrame);
    EXPECT_EQ(WriteV1(path()), QStringLiteral("不是 MP3 文件（找不到音频帧）"));
}
