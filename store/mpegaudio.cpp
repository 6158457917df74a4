#include "store/mpegaudio.h"

#include <algorithm>
#include <climits>

#include "store/filecontent.h"
#include "store/fileio.h"

namespace {

// kbit/s by bitrate index 1..14. MPEG-2 and 2.5 share one table for layers
// II and III.
constexpr int kBitrates[5][14] = {
    {32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},  // MPEG-1 layer I
    {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},     // MPEG-1 layer II
    {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320},      // MPEG-1 layer III
    {32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},     // MPEG-2 layer I
    {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},          // MPEG-2 layers II, III
};

constexpr int kSampleRates[3][3] = {
    {44100, 48000, 32000},  // MPEG-1
    {22050, 24000, 16000},  // MPEG-2
    {11025, 12000, 8000},   // MPEG-2.5
};

int BitrateTable(MpegFrameHeader::Version version, int layer) {
    if (version == MpegFrameHeader::kMpeg1)
        return layer - 1;
    return layer == 1 ? 3 : 4;
}

// One block holds the largest frame (MPEG-2.5 layer II at 160 kbit/s and
// 8 kHz: 2881 bytes) and the header after it.
constexpr qint64 kBlock = 4096;
// Tags stacked in front of the audio that are skipped.
constexpr int kMaxStackedTags = 4;

quint32 BigEndian32(QByteArrayView bytes, qsizetype at) {
    return quint32(quint8(bytes[at])) << 24 | quint32(quint8(bytes[at + 1])) << 16 |
           quint32(quint8(bytes[at + 2])) << 8 | quint32(quint8(bytes[at + 3]));
}

// What the VBR header of a first frame says; kind None when it has none.
struct VbrHeader {
    AudioHeader kind = AudioHeader::None;
    qint64 frames = -1;
    qint64 bytes = -1;
    int delay = -1;
    int padding = -1;
    bool cbrMethod = false;  // a LAME header names a CBR method
};

// Side information between the header and the main data of a layer III
// frame; a Xing header sits where it would be.
int SideInfoSize(const MpegFrameHeader& h) {
    const bool mono = h.channelMode == 3;
    if (h.version == MpegFrameHeader::kMpeg1)
        return mono ? 17 : 32;
    return mono ? 9 : 17;
}

// A LAME header at `at`, as LAME and FFmpeg (its "Lavf"/"Lavc" versions)
// write it; older LAME versions spelt theirs "L3.99".
void ReadLameHeader(QByteArrayView frame, qsizetype at, VbrHeader& v) {
    if (frame.size() < at + 24)
        return;
    const QByteArrayView version = frame.sliced(at, 9);
    if (!version.startsWith("LAME") && !version.startsWith("L3.99") &&
        !version.startsWith("Lavf") && !version.startsWith("Lavc"))
        return;
    const int method = quint8(frame[at + 9]) & 0x0F;
    v.cbrMethod = method == 1 || method == 8;
    const quint32 gap = quint32(quint8(frame[at + 21])) << 16 |
                        quint32(quint8(frame[at + 22])) << 8 | quint8(frame[at + 23]);
    v.delay = int(gap >> 12);
    v.padding = int(gap & 0xFFF);
}

std::optional<VbrHeader> XingHeaderAt(QByteArrayView frame, qsizetype at) {
    if (frame.size() < at + 8)
        return std::nullopt;
    const QByteArrayView id = frame.sliced(at, 4);
    if (id != "Xing" && id != "Info")
        return std::nullopt;
    VbrHeader v;
    v.kind = id == "Xing" ? AudioHeader::Xing : AudioHeader::Info;
    const quint32 flags = BigEndian32(frame, at + 4);
    qsizetype pos = at + 8;
    // A field cut off by the end of the frame ends the header.
    const auto field = [&](quint32 flag, qsizetype size, qint64* value) {
        if (!(flags & flag))
            return true;
        if (frame.size() < pos + size)
            return false;
        if (value)
            *value = BigEndian32(frame, pos);
        pos += size;
        return true;
    };
    if (field(1, 4, &v.frames) && field(2, 4, &v.bytes) && field(4, 100, nullptr) &&
        field(8, 4, nullptr))
        ReadLameHeader(frame, pos, v);
    return v;
}

std::optional<VbrHeader> VbriHeaderAt(QByteArrayView frame, qsizetype at) {
    if (frame.size() < at + 18 || frame.sliced(at, 4) != "VBRI")
        return std::nullopt;
    VbrHeader v;
    v.kind = AudioHeader::Vbri;
    v.bytes = BigEndian32(frame, at + 10);
    v.frames = BigEndian32(frame, at + 14);
    return v;
}

VbrHeader VbrHeaderOf(const MpegFrameHeader& h, QByteArrayView frame) {
    if (h.layer != 3)
        return {};
    // Most writers leave the CRC out of the offset; a frame with a CRC may
    // have the header either side of it.
    const qsizetype xing = 4 + SideInfoSize(h);
    if (auto v = XingHeaderAt(frame, xing))
        return *v;
    if (h.crc)
        if (auto v = XingHeaderAt(frame, xing + 2))
            return *v;
    if (auto v = VbriHeaderAt(frame, 36))
        return *v;
    return {};
}

qint64 RoundedDiv(qint64 a, qint64 b) {
    return (a + b / 2) / b;
}

int ClampedInt(qint64 value) {
    return int(std::min<qint64>(value, INT_MAX));
}

// The properties when the header at `at` (its frame and the four bytes
// after it in `frame`, fewer where the audio ends) begins a stream.
std::optional<AudioProperties> FromFirstFrame(const MpegFrameHeader& h, QByteArrayView frame,
                                              qint64 at, qint64 audioEnd) {
    const qint64 length = h.frameLength();
    bool confirmed = false;
    if (frame.size() >= length + 4) {
        const auto next = ParseMpegFrameHeader(frame.sliced(length, 4));
        confirmed = next && next->version == h.version && next->layer == h.layer &&
                    next->sampleRate == h.sampleRate;
    } else {
        confirmed = at + length == audioEnd;
    }
    const VbrHeader vbr = VbrHeaderOf(h, frame.first(std::min<qsizetype>(frame.size(), length)));
    if (!confirmed && vbr.kind == AudioHeader::None)
        return std::nullopt;

    AudioProperties p;
    p.version = h.version;
    p.layer = h.layer;
    p.sampleRate = h.sampleRate;
    p.channelMode = h.channelMode;
    p.header = vbr.kind;
    p.vbr = vbr.kind == AudioHeader::Vbri || (vbr.kind == AudioHeader::Xing && !vbr.cbrMethod);
    p.encoderDelay = vbr.delay;
    p.encoderPadding = vbr.padding;
    p.firstFrame = at;
    p.audioEnd = audioEnd;
    p.bitrate = h.bitrate;

    const qint64 audioBytes = std::max<qint64>(0, audioEnd - at);
    if (vbr.frames <= 0) {
        // Bits over kbit/s gives milliseconds.
        p.durationMs = RoundedDiv(audioBytes * 8, h.bitrate);
        return p;
    }
    p.frameCount = vbr.frames;
    p.lengthFromHeader = true;
    const qint64 samples = vbr.frames * h.samplesPerFrame();
    const qint64 gap = qint64(vbr.delay) + vbr.padding;
    // Old LAME versions wrote delay and padding longer than a short file.
    const qint64 played = vbr.delay >= 0 && gap < samples ? samples - gap : samples;
    p.durationMs = RoundedDiv(played * 1000, h.sampleRate);
    if (p.vbr) {
        // The byte count of a Xing header takes in its own frame, which the
        // frame count leaves out; VBRI counts both alike.
        qint64 bytes = vbr.bytes > 0 ? vbr.bytes : audioBytes;
        if (vbr.kind == AudioHeader::Xing)
            bytes = std::max<qint64>(0, bytes - length);
        p.bitrate = ClampedInt(RoundedDiv(bytes * 8 * h.sampleRate, samples * 1000));
    }
    return p;
}

}  // namespace

int MpegFrameHeader::frameLength() const {
    const int pad = padding ? 1 : 0;
    if (layer == 1)
        return (12 * bitrate * 1000 / sampleRate + pad) * 4;
    // A layer III frame of MPEG-2 and 2.5 carries half the samples.
    const int factor = layer == 3 && version != kMpeg1 ? 72 : 144;
    return factor * bitrate * 1000 / sampleRate + pad;
}

int MpegFrameHeader::samplesPerFrame() const {
    if (layer == 1)
        return 384;
    return layer == 3 && version != kMpeg1 ? 576 : 1152;
}

std::optional<MpegFrameHeader> ParseMpegFrameHeader(QByteArrayView bytes) {
    if (bytes.size() < 4)
        return std::nullopt;
    const quint8 b1 = quint8(bytes[1]), b2 = quint8(bytes[2]), b3 = quint8(bytes[3]);
    if (quint8(bytes[0]) != 0xFF || (b1 & 0xE0) != 0xE0)
        return std::nullopt;
    const int versionBits = (b1 >> 3) & 3;
    const int layerBits = (b1 >> 1) & 3;
    const int bitrateIndex = b2 >> 4;
    const int rateIndex = (b2 >> 2) & 3;
    if (versionBits == 1 || layerBits == 0 || bitrateIndex == 0 || bitrateIndex == 15 ||
        rateIndex == 3)
        return std::nullopt;

    MpegFrameHeader h;
    h.version = versionBits == 3   ? MpegFrameHeader::kMpeg1
                : versionBits == 2 ? MpegFrameHeader::kMpeg2
                                   : MpegFrameHeader::kMpeg25;
    h.layer = 4 - layerBits;
    h.bitrate = kBitrates[BitrateTable(h.version, h.layer)][bitrateIndex - 1];
    h.sampleRate = kSampleRates[h.version][rateIndex];
    h.padding = (b2 >> 1) & 1;
    h.crc = (b1 & 1) == 0;
    h.channelMode = b3 >> 6;
    return h;
}

qsizetype FindMpegFrameHeader(QByteArrayView bytes) {
    for (qsizetype at = bytes.indexOf('\xFF'); at >= 0 && at + 4 <= bytes.size();
         at = bytes.indexOf('\xFF', at + 1)) {
        if (ParseMpegFrameHeader(bytes.sliced(at, 4)))
            return at;
    }
    return -1;
}

std::optional<AudioProperties> ReadAudioProperties(fileio::FileBytes& file, qint64 audioStart,
                                                   qint64 audioEnd) {
    // The window the content judgement searches: audio found here is
    // audio that judgement finds too.
    const qint64 limit = std::min(audioEnd, audioStart + kAudioSearchLength);
    qint64 pos = audioStart;
    // Some programs put a second ID3v2 tag in front of the audio.
    for (int i = 0; i < kMaxStackedTags && pos + 10 <= limit; ++i) {
        const qint64 size = AudioStart(file.at(pos, kBlock, 10));
        if (size == 0)
            break;
        pos += size;
    }
    while (pos + 4 <= limit) {
        QByteArray block = file.at(pos, kBlock, 4);
        block.truncate(std::min<qint64>(block.size(), limit - pos));
        if (block.size() < 4)
            break;
        for (qsizetype i = block.indexOf('\xFF'); i >= 0 && i + 4 <= block.size();
             i = block.indexOf('\xFF', i + 1)) {
            const auto h = ParseMpegFrameHeader(QByteArrayView(block).sliced(i, 4));
            if (!h)
                continue;
            const qint64 at = pos + i;
            const qint64 need = std::min<qint64>(h->frameLength() + 4, audioEnd - at);
            const QByteArray frame =
                i + need <= block.size() ? block.mid(i, need) : file.at(at, kBlock, need);
            if (auto p = FromFirstFrame(*h, frame, at, audioEnd))
                return p;
        }
        if (pos + block.size() >= limit)
            break;
        // A header may straddle this block and the next.
        pos += block.size() - 3;
    }
    return std::nullopt;
}

std::optional<AudioProperties> ParseAudioProperties(QByteArrayView file) {
    fileio::FileBytes bytes(file);
    return ReadAudioProperties(bytes, AudioStart(file), AudioEnd(file, file.size()));
}
