// The audio properties of a file: the first frame, the VBR headers in it,
// the audio's extent between the tags, and the same figures through the
// list's one-open reader. Every file here is built byte by byte; expected
// figures are worked out by hand in the comments.
#include <gtest/gtest.h>

#include <QTemporaryDir>
#include <ostream>

#include "store/filecontent.h"
#include "store/filerecords.h"
#include "store/mpegaudio.h"
#include "support/fixtures.h"

namespace {

// ---- Byte builders ----

// A frame header: sync, version bits (3 MPEG-1, 2 MPEG-2, 0 MPEG-2.5),
// layer bits (1 III, 2 II, 3 I), protection bit, bitrate index, sample-rate
// index, padding bit, channel mode.
QByteArray Header(int versionBits, int layerBits, int bitrateIndex, int rateIndex, int mode,
                  bool crc = false) {
    QByteArray h(4, '\0');
    h[0] = char(0xFF);
    h[1] = char(0xE0 | versionBits << 3 | layerBits << 1 | (crc ? 0 : 1));
    h[2] = char(bitrateIndex << 4 | rateIndex << 2);
    h[3] = char(mode << 6);
    return h;
}

struct Kind {
    QByteArray header;
    int length;  // frame bytes
};
// MPEG-1 layer III 128 kbit/s 44.1 kHz: 144 * 128000 / 44100 = 417.
const Kind kJoint128{Header(3, 1, 9, 0, 1), 417};
const Kind kMono128{Header(3, 1, 9, 0, 3), 417};
const Kind kCrc128{Header(3, 1, 9, 0, 1, true), 417};
// MPEG-2 layer III 64 kbit/s 22.05 kHz: 72 * 64000 / 22050 = 208.
const Kind kMpeg2Mono64{Header(2, 1, 8, 0, 3), 208};
const Kind kMpeg2Joint64{Header(2, 1, 8, 0, 1), 208};
// MPEG-2.5 layer III 8 kbit/s 8 kHz: 72 * 8000 / 8000 = 72.
const Kind kMpeg25Mono8{Header(0, 1, 1, 2, 3), 72};
// MPEG-1 layer II 64 kbit/s 32 kHz: 144 * 64000 / 32000 = 288.
const Kind kLayer2Mono64{Header(3, 2, 4, 2, 3), 288};

// A frame of `kind` whose bytes after the header are zeros but for `body`
// placed at `at`.
QByteArray Frame(const Kind& kind, const QByteArray& body = {}, int at = 4) {
    QByteArray f = kind.header + QByteArray(kind.length - 4, '\0');
    f.replace(at, body.size(), body);
    return f;
}
QByteArray Frames(const Kind& kind, int count) {
    return Frame(kind).repeated(count);
}

QByteArray Be32(quint32 n) {
    const char b[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    return QByteArray(b, 4);
}
QByteArray Le32(quint32 n) {
    const char b[4] = {char(n), char(n >> 8), char(n >> 16), char(n >> 24)};
    return QByteArray(b, 4);
}

// A LAME header: version, revision 0 and VBR method, lowpass, peak, two
// gains, flags, bitrate, delay and padding (12 bits each), 12 bytes more.
QByteArray Lame(int method, int delay, int padding, const char* version = "LAME3.100") {
    return QByteArray(version, 9) + char(method) + char(0xAA) + QByteArray(4 + 2 + 2, '\0') +
           char(0x14) + char(0x80) + char(delay >> 4) + char((delay & 0xF) << 4 | padding >> 8) +
           char(padding) + QByteArray(12, '\0');
}

// "Xing"/"Info", flags, the fields the flags name (-1: left out), a seek
// table, then `lame`.
QByteArray Xing(const char* id, qint64 frames, qint64 bytes, const QByteArray& lame = {}) {
    quint32 flags = 4;  // a seek table
    QByteArray fields;
    if (frames >= 0) {
        flags |= 1;
        fields += Be32(quint32(frames));
    }
    if (bytes >= 0) {
        flags |= 2;
        fields += Be32(quint32(bytes));
    }
    return QByteArray(id, 4) + Be32(flags) + fields + QByteArray(100, '\x01') + lame;
}

// "VBRI", version 1, delay, quality, bytes, frames, an empty seek table.
QByteArray Vbri(quint32 frames, quint32 bytes) {
    return QByteArray("VBRI\x00\x01\x04\x51\x00\x4B", 10) + Be32(bytes) + Be32(frames) +
           QByteArray("\x00\x00\x00\x01\x00\x02\x00\x01", 8);
}

// An APE tag of `items` bytes of items: header (when asked), items, footer.
QByteArray Ape(int items, bool withHeader) {
    const auto part = [&](quint32 flags) {
        return QByteArray("APETAGEX") + Le32(2000) + Le32(quint32(items + 32)) + Le32(1) +
               Le32(flags) + QByteArray(8, '\0');
    };
    const quint32 hasHeader = withHeader ? 0x80000000u : 0;
    return (withHeader ? part(hasHeader | 0x20000000u) : QByteArray()) + QByteArray(items, 'i') +
           part(hasHeader);
}

// UTF-16 text with a byte-order mark, 302 bytes. FF FE followed by a letter
// is a valid layer I header (MPEG-1, CRC, 128 kbit/s, 44.1 kHz), but 136
// bytes on, where the next frame would begin, there is none.
QByteArray Utf16Junk() {
    QByteArray text("\xFF\xFE", 2);
    for (int i = 0; i < 150; ++i) text += QByteArray("A\0", 2);
    return text;
}

const QByteArray kTag = V2Tag(V2Text("TIT2", "title"), 100);  // 10 + 16 + 100 = 126 bytes
const QByteArray kV1 = V1Bytes("title");

// ---- The cases ----

struct Expected {
    MpegFrameHeader::Version version = MpegFrameHeader::kMpeg1;
    int layer = 3;
    int sampleRate = 44100;
    int channelMode = 1;
    qint64 durationMs = 0;
    int bitrate = 0;
    bool vbr = false;
    AudioHeader header = AudioHeader::None;
    bool lengthFromHeader = false;
    qint64 frameCount = -1;
    int encoderDelay = -1, encoderPadding = -1;
    qint64 firstFrame = 0;
    qint64 audioEnd = 0;
};

struct Case {
    const char* what;
    QByteArray file;
    std::optional<Expected> expected;
};

AudioProperties AsProperties(const Expected& e) {
    AudioProperties p;
    p.version = e.version;
    p.layer = e.layer;
    p.sampleRate = e.sampleRate;
    p.channelMode = e.channelMode;
    p.durationMs = e.durationMs;
    p.bitrate = e.bitrate;
    p.vbr = e.vbr;
    p.header = e.header;
    p.lengthFromHeader = e.lengthFromHeader;
    p.frameCount = e.frameCount;
    p.encoderDelay = e.encoderDelay;
    p.encoderPadding = e.encoderPadding;
    p.firstFrame = e.firstFrame;
    p.audioEnd = e.audioEnd;
    return p;
}

const QList<Case>& Cases() {
    static const QList<Case> cases = [] {
        QList<Case> c;
        const qint64 t = kTag.size();

        // 50 frames, 20850 bytes: 20850 * 8 / 128 = 1303.1 ms.
        c.append(
            {"CBR without a header, between ID3v2 and ID3v1", kTag + Frames(kJoint128, 50) + kV1,
             Expected{.durationMs = 1303, .bitrate = 128, .firstFrame = t, .audioEnd = t + 20850}});
        // (1000 * 1152 - 576 - 1104) / 44100 = 26.0844 s.
        c.append({"Info header with LAME's delay and padding",
                  kTag + Frame(kJoint128, Xing("Info", 1000, 1001 * 417, Lame(1, 576, 1104)), 36) +
                      Frames(kJoint128, 3) + kV1,
                  Expected{.durationMs = 26084,
                           .bitrate = 128,
                           .header = AudioHeader::Info,
                           .lengthFromHeader = true,
                           .frameCount = 1000,
                           .encoderDelay = 576,
                           .encoderPadding = 1104,
                           .firstFrame = t,
                           .audioEnd = t + 4 * 417}});
        // Samples 2000 * 1152 - 1576 = 2302424: 52209.2 ms. The bytes less
        // the header's frame, 801000, over 2304000 samples at 44.1 kHz:
        // 801000 * 8 * 44100 / 2304000 = 122653 bit/s.
        c.append({"Xing header with a LAME VBR method",
                  kTag +
                      Frame(kJoint128, Xing("Xing", 2000, 417 + 801000, Lame(4, 576, 1000)), 36) +
                      Frames(kJoint128, 3),
                  Expected{.durationMs = 52209,
                           .bitrate = 123,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 2000,
                           .encoderDelay = 576,
                           .encoderPadding = 1000,
                           .firstFrame = t,
                           .audioEnd = t + 4 * 417}});
        // No byte count: the 10 frames after the header, 4170 bytes, over
        // 11520 samples: 127.7 kbit/s; 11520 / 44.1 = 261.2 ms.
        c.append({"Xing header without a byte count or LAME header",
                  Frame(kJoint128, Xing("Xing", 10, -1), 36) + Frames(kJoint128, 10),
                  Expected{.durationMs = 261,
                           .bitrate = 128,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 10,
                           .audioEnd = 11 * 417}});
        c.append({"Xing header whose LAME header names a CBR method",
                  Frame(kJoint128, Xing("Xing", 10, 11 * 417, Lame(8, 576, 600)), 36) +
                      Frames(kJoint128, 10),
                  Expected{.durationMs = 235,
                           .bitrate = 128,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 10,
                           .encoderDelay = 576,
                           .encoderPadding = 600,
                           .audioEnd = 11 * 417}});
        c.append({"FFmpeg's version of the LAME header",
                  Frame(kJoint128, Xing("Info", 10, 11 * 417, Lame(1, 1105, 0, "Lavc58.54")), 36) +
                      Frames(kJoint128, 10),
                  Expected{.durationMs = 236,
                           .bitrate = 128,
                           .header = AudioHeader::Info,
                           .lengthFromHeader = true,
                           .frameCount = 10,
                           .encoderDelay = 1105,
                           .encoderPadding = 0,
                           .audioEnd = 11 * 417}});
        // Delay and padding longer than the one frame: not taken off.
        c.append({"delay and padding longer than the audio",
                  Frame(kJoint128, Xing("Info", 1, 2 * 417, Lame(1, 576, 2000)), 36) +
                      Frames(kJoint128, 1),
                  Expected{.durationMs = 26,
                           .bitrate = 128,
                           .header = AudioHeader::Info,
                           .lengthFromHeader = true,
                           .frameCount = 1,
                           .encoderDelay = 576,
                           .encoderPadding = 2000,
                           .audioEnd = 2 * 417}});
        // A frame count of 0 says nothing: 11 frames at 128 kbit/s, 4587
        // bytes, 286.7 ms.
        c.append({"Xing header with no frames",
                  Frame(kJoint128, Xing("Xing", 0, 0), 36) + Frames(kJoint128, 10),
                  Expected{.durationMs = 287,
                           .bitrate = 128,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .audioEnd = 11 * 417}});
        // 500 * 1152 / 44100 = 13.0612 s; 300000 * 8 / 13.0612 = 183.75 kbit/s.
        c.append({"VBRI header",
                  kTag + Frame(kJoint128, Vbri(500, 300000), 36) + Frames(kJoint128, 2),
                  Expected{.durationMs = 13061,
                           .bitrate = 184,
                           .vbr = true,
                           .header = AudioHeader::Vbri,
                           .lengthFromHeader = true,
                           .frameCount = 500,
                           .firstFrame = t,
                           .audioEnd = t + 3 * 417}});
        // Mono MPEG-1: the header 4 + 17 bytes in.
        c.append({"Xing header of a mono MPEG-1 frame",
                  Frame(kMono128, Xing("Xing", 10, -1), 21) + Frames(kMono128, 10),
                  Expected{.channelMode = 3,
                           .durationMs = 261,
                           .bitrate = 128,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 10,
                           .audioEnd = 11 * 417}});
        // Mono MPEG-2: 4 + 9 bytes in. 100 * 576 / 22050 = 2612.2 ms;
        // 20800 bytes over 57600 samples: 63.7 kbit/s.
        c.append({"Xing header of a mono MPEG-2 frame",
                  Frame(kMpeg2Mono64, Xing("Xing", 100, 101 * 208), 13) + Frames(kMpeg2Mono64, 2),
                  Expected{.version = MpegFrameHeader::kMpeg2,
                           .sampleRate = 22050,
                           .channelMode = 3,
                           .durationMs = 2612,
                           .bitrate = 64,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 100,
                           .audioEnd = 3 * 208}});
        c.append({"Xing header of a stereo MPEG-2 frame",
                  Frame(kMpeg2Joint64, Xing("Xing", 100, 101 * 208), 21) + Frames(kMpeg2Joint64, 2),
                  Expected{.version = MpegFrameHeader::kMpeg2,
                           .sampleRate = 22050,
                           .durationMs = 2612,
                           .bitrate = 64,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 100,
                           .audioEnd = 3 * 208}});
        c.append({"Xing header after a frame's CRC",
                  Frame(kCrc128, Xing("Xing", 10, -1), 38) + Frames(kCrc128, 10),
                  Expected{.durationMs = 261,
                           .bitrate = 128,
                           .vbr = true,
                           .header = AudioHeader::Xing,
                           .lengthFromHeader = true,
                           .frameCount = 10,
                           .audioEnd = 11 * 417}});
        // Layer II has no such header: the length comes from the size,
        // 20 * 288 * 8 / 64 = 720 ms.
        c.append({"layer II, a Xing-like text ignored",
                  Frame(kLayer2Mono64, Xing("Xing", 1000, -1), 36) + Frames(kLayer2Mono64, 19),
                  Expected{.layer = 2,
                           .sampleRate = 32000,
                           .channelMode = 3,
                           .durationMs = 720,
                           .bitrate = 64,
                           .audioEnd = 20 * 288}});
        // 100 * 72 * 8 / 8 = 7200 ms.
        c.append({"MPEG-2.5 without a header", Frames(kMpeg25Mono8, 100),
                  Expected{.version = MpegFrameHeader::kMpeg25,
                           .sampleRate = 8000,
                           .channelMode = 3,
                           .durationMs = 7200,
                           .bitrate = 8,
                           .audioEnd = 7200}});

        // The audio's end: 20 frames, 8340 bytes, 521.25 ms, whatever follows.
        const Expected twenty{
            .durationMs = 521, .bitrate = 128, .firstFrame = t, .audioEnd = t + 8340};
        c.append({"APE tag with a header before ID3v1",
                  kTag + Frames(kJoint128, 20) + Ape(100, true) + kV1, twenty});
        c.append({"APE tag without a header, no ID3v1",
                  kTag + Frames(kJoint128, 20) + Ape(300, false), twenty});
        QByteArray badApe = Ape(10, false);
        badApe.replace(badApe.size() - 20, 4, Le32(0x7FFFFFF0));  // larger than the file
        c.append(
            {"APE footer whose size does not fit is audio", kTag + Frames(kJoint128, 20) + badApe,
             Expected{
                 .durationMs = 524, .bitrate = 128, .firstFrame = t, .audioEnd = t + 8340 + 42}});

        // False syncs.
        const QByteArray utf16 = Utf16Junk();
        c.append({"UTF-16 text in front of the audio", kTag + utf16 + Frames(kJoint128, 5),
                  Expected{.durationMs = 130,
                           .bitrate = 128,
                           .firstFrame = t + 302,
                           .audioEnd = t + 302 + 5 * 417}});
        c.append({"a lone header in padding",
                  kTag + QByteArray(40, '\0') + kJoint128.header + QByteArray(900, '\0') +
                      Frames(kJoint128, 5),
                  Expected{.durationMs = 130,
                           .bitrate = 128,
                           .firstFrame = t + 944,
                           .audioEnd = t + 944 + 5 * 417}});
        c.append(
            {"a header followed by one of another sample rate",
             Frame(kJoint128) + Header(3, 1, 9, 1, 1) + QByteArray(1000, '\0') +
                 Frames(kJoint128, 2),
             Expected{
                 .durationMs = 52, .bitrate = 128, .firstFrame = 1421, .audioEnd = 1421 + 834}});
        c.append(
            {"a single frame that fills the audio", kTag + Frames(kJoint128, 1) + kV1,
             Expected{.durationMs = 26, .bitrate = 128, .firstFrame = t, .audioEnd = t + 417}});
        c.append({"a single frame cut short", kTag + Frames(kJoint128, 1).chopped(1) + kV1,
                  std::nullopt});
        const QByteArray second = V2Tag(V2Frame("TXXX", utf16), 10);
        c.append({"a second ID3v2 tag in front of the audio", kTag + second + Frames(kJoint128, 5),
                  Expected{.durationMs = 130,
                           .bitrate = 128,
                           .firstFrame = t + second.size(),
                           .audioEnd = t + second.size() + 5 * 417}});
        c.append({"audio 60,000 bytes after the tag",
                  kTag + QByteArray(60000, '\0') + Frames(kJoint128, 5),
                  Expected{.durationMs = 130,
                           .bitrate = 128,
                           .firstFrame = t + 60000,
                           .audioEnd = t + 60000 + 5 * 417}});
        c.append({"audio 70,000 bytes after the tag",
                  kTag + QByteArray(70000, '\0') + Frames(kJoint128, 5), std::nullopt});
        c.append({"no audio", kTag + TextFile() + kV1, std::nullopt});
        c.append({"empty", QByteArray(), std::nullopt});
        c.append({"a tag whose size runs past the end", V2Tag({}, 100).chopped(50), std::nullopt});
        return c;
    }();
    return cases;
}

}  // namespace

// Readable failure messages.
void PrintTo(const AudioProperties& p, std::ostream* os) {
    *os << QStringLiteral(
               "{v%1 L%2 %3 Hz mode %4, %5 ms, %6 kbit/s vbr %7, header %8 from header %9, "
               "frames %10 delay %11 padding %12, audio %13..%14}")
               .arg(int(p.version))
               .arg(p.layer)
               .arg(p.sampleRate)
               .arg(p.channelMode)
               .arg(p.durationMs)
               .arg(p.bitrate)
               .arg(p.vbr)
               .arg(int(p.header))
               .arg(p.lengthFromHeader)
               .arg(p.frameCount)
               .arg(p.encoderDelay)
               .arg(p.encoderPadding)
               .arg(p.firstFrame)
               .arg(p.audioEnd)
               .toStdString();
}

TEST(AudioProperties, TheJunkIsATrapForAPlainSearch) {
    EXPECT_EQ(FindMpegFrameHeader(Utf16Junk()), 0);
}

TEST(AudioProperties, ReadFromTheFirstFrameAndItsHeader) {
    for (const Case& c : Cases()) {
        const auto got = ParseAudioProperties(c.file);
        const auto want = c.expected ? std::optional(AsProperties(*c.expected)) : std::nullopt;
        EXPECT_EQ(got, want) << c.what;
    }
}

// The list reads through one open file: the same figures whether the first
// frame lies in the first 4 KiB, after a long tag, or after junk that runs
// over several reads.
TEST(AudioProperties, TheFileReaderAgreesWithTheBytes) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    QList<Case> cases = Cases();
    const QByteArray longTag = V2Tag(V2Text("TIT2", "title"), 9000);  // 9026 bytes
    cases.append({"a long tag",
                  longTag + Frame(kJoint128, Vbri(500, 300000), 36) + Frames(kJoint128, 2) + kV1,
                  Expected{.durationMs = 13061,
                           .bitrate = 184,
                           .vbr = true,
                           .header = AudioHeader::Vbri,
                           .lengthFromHeader = true,
                           .frameCount = 500,
                           .firstFrame = 9026,
                           .audioEnd = 9026 + 3 * 417}});
    // The first header straddles the end of the first 4 KiB.
    cases.append(
        {"a frame across the first look's end",
         kTag + QByteArray(4094 - kTag.size(), '\0') + Frames(kJoint128, 3),
         Expected{
             .durationMs = 78, .bitrate = 128, .firstFrame = 4094, .audioEnd = 4094 + 3 * 417}});
    cases.append({"junk over several looks",
                  longTag + Utf16Junk() + QByteArray(9000, '\0') + Frames(kJoint128, 3) +
                      Ape(100, true) + kV1,
                  Expected{.durationMs = 78,
                           .bitrate = 128,
                           .firstFrame = 9026 + 302 + 9000,
                           .audioEnd = 9026 + 302 + 9000 + 3 * 417}});
    for (const Case& c : cases) {
        const QString path = dir.filePath(QStringLiteral("a.mp3"));
        WriteBytes(path, c.file);
        const auto want = c.expected ? std::optional(AsProperties(*c.expected)) : std::nullopt;
        EXPECT_EQ(ReadFileRecords(path, false, true).audio, want) << c.what;
        const FileRecords both = ReadFileRecords(path, true, true);
        EXPECT_EQ(both.audio, want) << c.what << " judged too";
        EXPECT_EQ(both.content, JudgeContent(c.file)) << c.what;
        EXPECT_FALSE(ReadFileRecords(path, true).audio.has_value()) << c.what;
    }
}
