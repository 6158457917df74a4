#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <functional>

#include "store/id3v2.h"

// Pictures in ID3v2 tags (APIC, v2.2 PIC) and the facts of their images
// that the list and the details dialog show, read from the image's header
// alone: a cover of several megabytes costs a few kilobytes of reading.

enum class ImageFormat { None, Jpeg, Png };

// An image's format and size in pixels; format None (and no size) when the
// bytes are neither a JPEG nor a PNG image whose size can be told.
struct ImageFacts {
    ImageFormat format = ImageFormat::None;
    int width = 0;
    int height = 0;

    bool operator==(const ImageFacts&) const = default;
};

// Up to `length` bytes at `offset` of some data; fewer at its end.
using ByteReader = std::function<QByteArray(qint64 offset, qint64 length)>;

// The facts of the image that `read` gives. A PNG's size is in its first 24
// bytes; a JPEG's in its first frame header (SOFn), found by stepping over
// the segments before it by their lengths, so a large Exif block is skipped
// unread. Gives up after kMaxJpegSegments segments.
inline constexpr int kMaxJpegSegments = 256;
ImageFacts ImageFactsOf(const ByteReader& read);
ImageFacts ImageFactsOf(QByteArrayView image);

// The MIME type of an image format ("image/jpeg"); empty for None.
QByteArray MimeTypeOf(ImageFormat format);

// The picture type of a front cover.
inline constexpr int kFrontCover = 3;

// The fields in front of a picture's image, as one frame's content holds
// them (the version's extras removed).
struct PictureHeader {
    bool valid = false;  // false when the content ends inside the fields
    QByteArray mime;     // as stored; a v2.2 PIC's format as a MIME type
    int type = 0;        // the picture type (3: front cover)
    QString description;
    qint64 dataOffset = 0;  // where the image starts in the content
};

// The header of an APIC (`v22` false) or PIC (`v22` true) content;
// `content` may be only the first bytes of it.
PictureHeader ParsePictureHeader(QByteArrayView content, bool v22);

// The picture a file shows as its cover.
struct CoverPicture {
    bool present = false;
    int type = 0;
    QByteArray mime;
    qint64 bytes = 0;  // the image's length
    ImageFacts facts;  // from the image's header
    QByteArray image;  // the image itself, when asked for
};

// How much of the cover a reading takes.
enum class CoverReading {
    None,   // the pictures are skipped unread
    Facts,  // type, length, format and size from the image's header
    Image,  // the image too
};

// The cover of a parsed tag (ParseID3v2Contents, which holds every frame):
// the first front cover, else the first picture.
CoverPicture CoverOf(const ID3v2Contents& contents, CoverReading reading = CoverReading::Image);

// The cover of the file at `path`. Reads the tag's frame headers, the
// picture headers and, for Facts, the image's header only. Throws StoreError
// when the file cannot be opened or read.
CoverPicture ReadCover(const QString& path, CoverReading reading = CoverReading::Image);

// An image file checked for use as a cover: its bytes, MIME type and facts.
struct CoverImage {
    QByteArray bytes;
    QByteArray mime;
    ImageFacts facts;
};
// Reads the image file at `path` (at most kMaxCoverImage bytes). Throws
// StoreError: NotAnImage when its content is neither JPEG nor PNG whatever
// its name, ImageTooLarge when it is larger, or the system's failure.
inline constexpr qint64 kMaxCoverImage = 16 * 1024 * 1024;
CoverImage ReadCoverImage(const QString& path);

// The picture frames of `old` (version `major`) with `edit` applied, as
// they go into a v2.3 tag after the text frames: Set adds a front cover
// (encoding 0, an empty description) in place of every front cover there
// was; Remove drops every front cover, or, when there was none, the first
// picture (what the file showed as its cover). Other pictures are kept as
// stored. Gives, per frame of `old`, whether the edit drops it.
QList<bool> CoverDrops(const ID3v2Contents& old, const CoverEdit& edit);
// The APIC frame that Set writes.
ID3v2Frame CoverFrame(const CoverEdit& edit);
