#include "store/filecontent.h"

#include <algorithm>

#include "store/error.h"
#include "store/fileio.h"
#include "store/id3v2.h"
#include "store/mpegaudio.h"

namespace {

struct Magic {
    ContentKind kind;
    qsizetype offset;
    QByteArrayView bytes;
};

// A RIFF file is WAVE only with "WAVE" at offset 8, checked apart.
const Magic kMagics[] = {
    {ContentKind::Png, 0, QByteArrayView("\x89PNG\r\n\x1A\n", 8)},
    {ContentKind::Jpeg, 0, QByteArrayView("\xFF\xD8\xFF", 3)},
    {ContentKind::Gif, 0, "GIF87a"},
    {ContentKind::Gif, 0, "GIF89a"},
    {ContentKind::Zip, 0, QByteArrayView("PK\x03\x04", 4)},
    {ContentKind::Zip, 0, QByteArrayView("PK\x05\x06", 4)},
    {ContentKind::Zip, 0, QByteArrayView("PK\x07\x08", 4)},
    {ContentKind::Pdf, 0, "%PDF-"},
    {ContentKind::Flac, 0, "fLaC"},
    {ContentKind::Ogg, 0, "OggS"},
    {ContentKind::Mp4, 4, "ftyp"},
};

// Enough for every start sequence above.
constexpr qint64 kMagicLength = 12;
// The first look after the tag; most files show a frame header in it.
constexpr qint64 kFirstLook = 4096;

bool HasAt(QByteArrayView bytes, qsizetype offset, QByteArrayView what) {
    return bytes.size() >= offset + what.size() && bytes.sliced(offset, what.size()) == what;
}

// The head serves the judgement when it holds a format's start bytes at the
// place looked at.
QByteArray Look(fileio::FileBytes& file, qint64 offset, qint64 want) {
    return file.at(offset, want, std::min(want, kMagicLength));
}

}  // namespace

ContentKind OtherFormatAt(QByteArrayView bytes) {
    for (const Magic& m : kMagics)
        if (HasAt(bytes, m.offset, m.bytes))
            return m.kind;
    if (HasAt(bytes, 0, "RIFF") && HasAt(bytes, 8, "WAVE"))
        return ContentKind::Wave;
    return ContentKind::Mp3;
}

qint64 AudioStart(QByteArrayView head) {
    if (head.size() < 10 || !head.startsWith("ID3"))
        return 0;
    const qint64 size = DecodeSizeBytes(reinterpret_cast<const quint8*>(head.data()) + 6);
    const bool footer = quint8(head[3]) == 4 && (quint8(head[5]) & 0x10);
    return 10 + size + (footer ? 10 : 0);
}

qint64 AudioEnd(QByteArrayView tail, qint64 length) {
    qint64 end = length;
    if (tail.size() >= 128 && tail.last(128).startsWith("TAG")) {
        end -= 128;
        tail.chop(128);
    }
    // An APE tag ends in a 32-byte footer: "APETAGEX", version, size (items
    // and footer), item count, flags (bit 31: a 32-byte header comes first),
    // 8 reserved bytes; numbers are 32-bit little-endian.
    if (tail.size() < 32 || !tail.last(32).startsWith("APETAGEX"))
        return end;
    const auto le32 = [&](qsizetype at) {
        const QByteArrayView b = tail.last(32).sliced(at, 4);
        return qint64(quint8(b[0])) | qint64(quint8(b[1])) << 8 | qint64(quint8(b[2])) << 16 |
               qint64(quint8(b[3])) << 24;
    };
    const qint64 size = le32(12) + ((le32(20) & 0x80000000) ? 32 : 0);
    // A size that does not fit the file is not a tag's.
    return size >= 32 && size <= end ? end - size : end;
}

ContentKind JudgeContent(QByteArrayView file) {
    fileio::FileBytes bytes(file);
    const bool v1 = file.size() >= 128 && file.last(128).startsWith("TAG");
    return JudgeFileContent(bytes, file.size() - (v1 ? 128 : 0));
}

ContentKind JudgeFileContent(fileio::FileBytes& file, qint64 audioEnd) {
    const QByteArray& head = file.head();
    ContentKind other = OtherFormatAt(head);
    if (other != ContentKind::Mp3)
        return other;
    const qint64 start = AudioStart(head);
    QByteArray bytes = start > 0 ? Look(file, start, kFirstLook) : head;
    if (start > 0) {
        other = OtherFormatAt(bytes);
        if (other != ContentKind::Mp3)
            return other;
    }
    const qint64 end = std::min(audioEnd, start + kAudioSearchLength);
    qint64 pos = start;
    while (pos + 4 <= end) {
        bytes.truncate(end - pos);
        if (FindMpegFrameHeader(bytes) >= 0)
            return ContentKind::Mp3;
        if (bytes.size() < 4 || pos + bytes.size() >= end)
            break;
        // A header may straddle the bytes looked at and the next ones.
        pos += bytes.size() - 3;
        bytes = Look(file, pos, end - pos);
    }
    return ContentKind::NoAudioFrame;
}

ContentKind JudgeFileContent(int fd, qint64 length, const QByteArray& head, qint64 audioEnd,
                             const QString& path) {
    fileio::FileBytes file(fd, length, head, path);
    return JudgeFileContent(file, audioEnd);
}

QString ContentFormatName(ContentKind kind) {
    return StoreReasonText(StoreProblem::ContentFormat, int(kind));
}

QString NotMp3Reason(ContentKind kind) {
    if (kind == ContentKind::Unknown || kind == ContentKind::Mp3)
        return {};
    return StoreReasonText(StoreProblem::NotMp3, int(kind));
}

void RequireMp3(ContentKind kind, const QString& path, StoreOp op) {
    if (kind != ContentKind::Mp3)
        throw StoreError(path, op, StoreProblem::NotMp3, int(kind));
}
