#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "store/error.h"

namespace fileio {
class FileBytes;
}

// Whether a file named .mp3 holds MPEG audio, told from a few of its bytes.
// Tags are only ever written into files that do: a picture, an archive or a
// text file renamed to .mp3 keeps its bytes.
//
// A file is another format when the start bytes of that format stand at
// offset 0 or right after the ID3v2 tag; it holds MPEG audio when a valid
// MPEG audio frame header (see mpegaudio.h) lies within the first 64 KiB
// after the ID3v2 tag and before an ID3v1 tag.

enum class ContentKind {
    Unknown,  // not looked at
    Mp3,
    // Start bytes of another format:
    Png,   // 89 "PNG" 0D 0A 1A 0A
    Jpeg,  // FF D8 FF
    Gif,   // "GIF87a", "GIF89a"
    Zip,   // "PK" 03 04, "PK" 05 06 (empty), "PK" 07 08 (spanned)
    Pdf,   // "%PDF-"
    Wave,  // "RIFF", size, "WAVE"
    Flac,  // "fLaC"
    Ogg,   // "OggS"
    Mp4,   // size, "ftyp"
    NoAudioFrame,
};

inline constexpr qint64 kAudioSearchLength = 64 * 1024;

// The format whose start bytes begin `bytes`; Mp3 when none does.
ContentKind OtherFormatAt(QByteArrayView bytes);

// Where the audio starts in a file whose first bytes are `head`: after the
// ID3v2 tag (header, size, v2.4 footer), or 0 without one.
qint64 AudioStart(QByteArrayView head);

// Where the audio ends in a file of `length` bytes whose last bytes are
// `tail`: before an ID3v1 tag and before an APE tag (v1 or v2) that ends
// there. The APE tag is seen only when its footer lies in `tail`: the last
// 160 bytes are enough.
qint64 AudioEnd(QByteArrayView tail, qint64 length);

// Judges a whole file held in memory.
ContentKind JudgeContent(QByteArrayView file);

// Judges an open file of `length` bytes whose first bytes are `head` and
// whose audio ends at `audioEnd` (before its ID3v1 tag). Reads only what
// `head` does not hold: the start bytes after a longer ID3v2 tag, and up to
// 64 KiB after the tag until a frame header turns up. Throws StoreError when
// the file cannot be read.
ContentKind JudgeFileContent(int fd, qint64 length, const QByteArray& head, qint64 audioEnd,
                             const QString& path);
// The same over bytes other readers of the file share.
ContentKind JudgeFileContent(fileio::FileBytes& file, qint64 audioEnd);

// The format's name for the user ("PNG 图片"); empty for Unknown, Mp3 and
// NoAudioFrame.
QString ContentFormatName(ContentKind kind);
// Why a file of that content is not written: "不是 MP3 文件（看起来是 PNG
// 图片）", "不是 MP3 文件（找不到音频帧）"; empty for Mp3 and Unknown.
QString NotMp3Reason(ContentKind kind);

// Throws StoreError(path, op, StoreProblem::NotMp3, kind) unless `kind` is Mp3.
void RequireMp3(ContentKind kind, const QString& path, StoreOp op);
