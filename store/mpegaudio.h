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

// ---- The audio of a file: length, bitrate and format ----
//
// Read from the first frame after the ID3v2 tag (or tags, when several are
// stacked) and from the header a VBR encoder puts in that frame; the rest of
// the audio is never scanned.
//
// The first frame is the first valid header within 64 KiB of the audio start
// (the window the content judgement searches, see filecontent.h; a second
// ID3v2 tag there is skipped) that is confirmed by one of:
//   - a header of the same version, layer and sample rate right where the
//     frame ends, as every frame of a stream is followed by the next;
//   - the frame ending exactly at the end of the audio (a single frame);
//   - a Xing, Info or VBRI header in the frame.
// A single valid header proves little: a random byte pair is a frame sync
// one time in 2048, and a UTF-16 byte-order mark (FF FE) followed by a
// letter is a valid layer I header. Tag padding, pictures or junk in front
// of the audio would then give a length and bitrate made up from noise.
//
// The VBR headers, all in the first frame, numbers big-endian:
//   Xing/Info at 4 + side information (MPEG-1: 32, mono 17; MPEG-2 and 2.5:
//     17, mono 9; layer III only): "Xing" (VBR) or "Info" (CBR), 32-bit
//     flags, then the fields the flags name: 1 frame count, 2 byte count,
//     4 a 100-byte seek table, 8 a quality number (4 bytes each otherwise).
//     The frame count leaves out the header's own frame; the byte count
//     takes it in. A LAME header may follow: 9 bytes of encoder version
//     ("LAME3.100"), revision and VBR method (methods 1 and 8 are CBR), ...,
//     at its byte 21 the encoder delay and padding, 12 bits each.
//   VBRI at 36 (layer III only): "VBRI", version, delay, quality (16 bits
//     each), 32-bit byte count, 32-bit frame count, then a seek table.

enum class AudioHeader {
    None,  // the length is estimated from the audio size
    Xing,  // VBR or ABR; CBR when its LAME header names a CBR method
    Info,  // CBR, as LAME marks it
    Vbri,  // VBR, as Fraunhofer's encoders write it
};

struct AudioProperties {
    MpegFrameHeader::Version version = MpegFrameHeader::kMpeg1;
    int layer = 3;
    int sampleRate = 0;   // Hz
    int channelMode = 0;  // 0 stereo, 1 joint stereo, 2 dual channel, 3 mono

    // The playing time. From the header's frame count, less the encoder's
    // delay and padding when a LAME header gives them; without a frame count,
    // the audio size (first frame to the end of the audio: before ID3v1 and
    // APE tags) at the first frame's bitrate.
    qint64 durationMs = 0;
    // kbit/s, rounded: the first frame's for CBR; the average of the frames
    // for VBR (their bytes over their playing time).
    int bitrate = 0;
    // Whether the frames vary in bitrate: a Xing header (unless its LAME
    // header names a CBR method) or a VBRI header. A VBR file without a
    // header reads as CBR, as it cannot be told without a scan.
    bool vbr = false;
    AudioHeader header = AudioHeader::None;
    // Whether durationMs came from a frame count; false: estimated.
    bool lengthFromHeader = false;

    qint64 frameCount = -1;   // audio frames, from the header; -1 when not given
    int encoderDelay = -1;    // samples, from a LAME header; -1 when not given
    int encoderPadding = -1;  // samples, from a LAME header; -1 when not given
    qint64 firstFrame = 0;    // file offset of the first frame
    qint64 audioEnd = 0;      // file offset where the audio ends

    bool operator==(const AudioProperties&) const = default;
};

namespace fileio {
class FileBytes;
}

// The audio of a whole file held in memory; nothing when no frame is
// confirmed.
std::optional<AudioProperties> ParseAudioProperties(QByteArrayView file);

// The audio of an open file whose audio lies between `audioStart` (after
// the ID3v2 tag, see AudioStart) and `audioEnd` (see AudioEnd). Reads
// nothing when the file's head holds the first frame and the header after
// it; otherwise a 4 KiB block at the first frame, more only when junk comes
// before it. Throws StoreError when a read fails.
std::optional<AudioProperties> ReadAudioProperties(fileio::FileBytes& file, qint64 audioStart,
                                                   qint64 audioEnd);
