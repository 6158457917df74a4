#include "store/mpegaudio.h"

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
