#pragma once

#include <QByteArrayView>
#include <optional>

// MPEG audio frame headers: MPEG-1, MPEG-2 and MPEG-2.5, layers I to III.
//
// A header is four bytes, most significant bit first:
//   11 bits frame sync (all ones) | 2 version (00 = 2.5, 01 reserved, 10 = 2,
//   11 = 1) | 2 layer (01 = III, 10 = II, 11 = I, 00 reserved) | 1 no-CRC |
//   4 bitrate index | 2 sample-rate index | 1 padding | 1 private |
//   2 channel mode | 2 mode extension | 1 copyright | 1 original | 2 emphasis
//
// A header is valid when the sync is there and version, layer, bitrate and
// sample rate all name a value of the tables: the bitrate indices 0 ("free
// format") and 15 and the sample-rate index 3 do not.

struct MpegFrameHeader {
    enum Version { kMpeg1, kMpeg2, kMpeg25 };
    Version version = kMpeg1;
    int layer = 3;       // 1, 2 or 3
    int bitrate = 0;     // kbit/s
    int sampleRate = 0;  // Hz
    bool padding = false;
    bool crc = false;     // a 16-bit CRC follows the header
    int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono
    // The whole frame in bytes, header included.
    int frameLength() const;
    // Audio samples per channel in one frame.
    int samplesPerFrame() const;

    bool operator==(const MpegFrameHeader&) const = default;
};

// The header in the first four bytes of `bytes`; nothing when there are
// fewer or they are not a valid header.
std::optional<MpegFrameHeader> ParseMpegFrameHeader(QByteArrayView bytes);

// The offset of the first valid header that lies wholly in `bytes`, or -1.
qsizetype FindMpegFrameHeader(QByteArrayView bytes);
