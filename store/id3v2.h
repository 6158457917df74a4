#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <array>

// The ID3v2 tag at the start of an MP3 file, as far as this program handles
// it: the header and twelve text frames. Every size field (tag, extended
// header, frame) is read as four 7-bit groups, b0*2^21 + b1*2^14 + b2*2^7 + b3,
// each byte taken whole (the top bit is not cleared).

struct FrameHeader {
    QByteArray FrameID;                 // 4 bytes
    std::array<quint8, 4> SizeBytes{};  // payload size, four 7-bit groups
    QByteArray Flags;                   // 2 bytes, read and ignored
};

// One frame as found on disk: its header and the payload bytes that exist
// (fewer than the header claims when the file ends early, none when the
// frame's size was out of range).
struct RawFrame {
    FrameHeader header;
    QByteArray payload;
};

struct ID3v2Tag {
    bool Present = false;
    QString Version;  // 7 characters: "3.0" padded with spaces; empty when absent
    bool Unsynchronisation = false;
    bool ExtendedHeader = false;
    bool Experimental = false;
    bool Footer = false;
    qint32 Size = 0;                // tag size without the 10-byte header
    qint32 ExtendedHeaderSize = 0;  // 0 without an extended header
    // Empty when the tag can be rewritten in place of the old one; otherwise
    // the reason it cannot (e.g. a tag size reaching past the end of the file).
    QString Unwritable;
    QString TRCK, TENC, WXXX, TCOP, TOPE, TCOM, COMM, TCON, TYER, TALB, TPE1, TIT2;

    bool operator==(const ID3v2Tag&) const = default;
};

// The twelve text frames the record keeps, in the record's order: the frame
// ID and the field that holds its text.
struct ID3v2TextFrame {
    const char* id;
    QString ID3v2Tag::*field;
};
extern const std::array<ID3v2TextFrame, 12> kID3v2TextFrames;

// Decodes four size bytes (each taken whole).
qint32 DecodeSizeBytes(const quint8* b);

// Parses the tag from the first bytes of a file. `head` holds the file's
// first bytes: the whole file, or at least ID3v2ParseExtent(head) bytes.
// Never fails: a frame that runs past the end of `head` gives the bytes that
// exist and ends the walk. `frames`, when given, receives every frame walked.
ID3v2Tag ParseID3v2Tag(QByteArrayView head, QList<RawFrame>* frames = nullptr);

// How many bytes from the start of the file the parser may look at, judged
// from the file's first 14 bytes (header and extended-header size). Reading
// that many (or the whole file when shorter) is enough for ParseID3v2Tag.
qint64 ID3v2ParseExtent(QByteArrayView first14);

// Reads the tag of the file at `path`. Throws StoreError only when the file
// cannot be opened or read.
ID3v2Tag ReadID3v2Tag(const QString& path);

// ---- Writing: always version 3.0, the twelve frames, no padding ----

// The largest size the four 7-bit groups can hold is 2^28 - 1.
inline constexpr qint32 kMaxSynchsafeSize = (1 << 28) - 1;

// n (0 <= n < 2^28) as four bytes below 128, most significant first.
// Throws std::out_of_range for a size it cannot encode.
std::array<quint8, 4> EncodeSynchsafeSize(qint64 n);

// The twelve frames in the order TIT2 TPE1 TALB TYER TCON TRCK COMM TCOM TCOP
// TENC TOPE WXXX, texts in CP936, encoding byte 0, COMM with three zero
// language bytes and an empty description. Throws StoreError when a frame
// or the whole would need a size of 2^28 or more.
QByteArray RenderID3v2Frames(const ID3v2Tag& tag);
// The 10-byte header "ID3" 3 0 0 + size of `framesLength`.
QByteArray RenderID3v2Header(qint64 framesLength);

// Writes the frames of `tag` into the scratch file `tempv2` in the program's
// folder (replacing it) and returns their total length. The file is left in
// place; nothing reads it back.
qint64 WriteID3v2Frames(const ID3v2Tag& tag);

// Gives the file at `path` a new tag built from `tag`: new header, the twelve
// frames, then the file's bytes after the old tag (extent Size + 10 when
// `tag.Present`, else 0). `tag.Present`/`tag.Size` must describe the tag the
// file holds now. The new file is built beside the original, flushed and
// renamed over it, keeping its permission bits (and owner where allowed); a
// symbolic link stays a link and its target is rewritten. On any failure the
// original is untouched, the temporary file is gone and StoreError is
// thrown; an old tag that claims to reach past the end of the file is such a
// failure. Returns true.
bool WriteID3v2Tag(const QString& path, const ID3v2Tag& tag);
