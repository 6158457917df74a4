#include "store/id3v2picture.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "store/error.h"
#include "store/fileio.h"
#include "store/id3v2frames.h"
#include "store/id3v2text.h"

namespace {

int Big16(QByteArrayView b, qsizetype at) {
    return int(quint8(b[at])) << 8 | int(quint8(b[at + 1]));
}

qint64 Big32(QByteArrayView b, qsizetype at) {
    return qint64(quint8(b[at])) << 24 | qint64(quint8(b[at + 1])) << 16 |
           qint64(quint8(b[at + 2])) << 8 | qint64(quint8(b[at + 3]));
}

ImageFacts PngFacts(const ByteReader& read) {
    // Signature, then the IHDR chunk: length, "IHDR", width, height.
    const QByteArray head = read(0, 24);
    if (head.size() < 24 || !head.startsWith("\x89PNG\r\n\x1A\n") || head.mid(12, 4) != "IHDR")
        return {};
    const qint64 width = Big32(head, 16);
    const qint64 height = Big32(head, 20);
    if (width <= 0 || height <= 0 || width > INT32_MAX || height > INT32_MAX)
        return {};
    return {ImageFormat::Png, int(width), int(height)};
}

// The markers of a frame header: SOF0..SOF15 but DHT (C4), JPG (C8) and
// DAC (CC), which share the range.
bool IsFrameHeader(quint8 marker) {
    return marker >= 0xC0 && marker <= 0xCF && marker != 0xC4 && marker != 0xC8 && marker != 0xCC;
}

ImageFacts JpegFacts(const ByteReader& read) {
    if (read(0, 3) != QByteArrayView("\xFF\xD8\xFF"))
        return {};
    qint64 at = 2;
    for (int segment = 0; segment < kMaxJpegSegments; ++segment) {
        const QByteArray marker = read(at, 4);
        if (marker.size() < 2 || quint8(marker[0]) != 0xFF)
            return {};
        const quint8 kind = quint8(marker[1]);
        if (kind == 0xFF) {  // fill byte before a marker
            ++at;
            continue;
        }
        // Markers without a length: TEM, RSTn; the image ends at EOI or SOS.
        if (kind == 0x01 || (kind >= 0xD0 && kind <= 0xD7)) {
            at += 2;
            continue;
        }
        if (kind == 0xD9 || kind == 0xDA || marker.size() < 4)
            return {};
        const int length = Big16(marker, 2);
        if (length < 2)
            return {};
        if (IsFrameHeader(kind)) {
            // Length, precision, height, width.
            const QByteArray header = read(at + 4, 5);
            if (header.size() < 5)
                return {};
            const int height = Big16(header, 1);
            const int width = Big16(header, 3);
            if (width == 0 || height == 0)
                return {};
            return {ImageFormat::Jpeg, width, height};
        }
        at += 2 + length;
    }
    return {};
}

ByteReader ReaderOf(QByteArrayView bytes) {
    return [bytes](qint64 offset, qint64 length) {
        if (offset < 0 || offset >= bytes.size())
            return QByteArray();
        return bytes.sliced(offset, std::min(length, bytes.size() - offset)).toByteArray();
    };
}

QString PictureDescription(quint8 enc, QByteArrayView rest, qsizetype* end) {
    const qsizetype stop = id3v2text::FindTerminator(enc, rest);
    *end = stop;
    return stop < 0 ? QString() : id3v2text::Decode(enc, rest.first(stop));
}

}  // namespace

ImageFacts ImageFactsOf(const ByteReader& read) {
    const ImageFacts png = PngFacts(read);
    return png.format != ImageFormat::None ? png : JpegFacts(read);
}

ImageFacts ImageFactsOf(QByteArrayView image) {
    return ImageFactsOf(ReaderOf(image));
}

QByteArray MimeTypeOf(ImageFormat format) {
    switch (format) {
        case ImageFormat::Jpeg:
            return "image/jpeg";
        case ImageFormat::Png:
            return "image/png";
        case ImageFormat::None:
            break;
    }
    return {};
}

PictureHeader ParsePictureHeader(QByteArrayView content, bool v22) {
    PictureHeader h;
    if (content.isEmpty())
        return h;
    const quint8 enc = quint8(content[0]);
    qsizetype at = 1;
    if (v22) {
        if (content.size() < 5)
            return h;
        const QByteArray format = content.sliced(1, 3).toByteArray().toLower();
        h.mime = format == "jpg" ? QByteArray("image/jpeg") : "image/" + format;
        at = 4;
    } else {
        const qsizetype end = content.indexOf('\0', at);
        if (end < 0)
            return h;
        h.mime = content.sliced(at, end - at).toByteArray();
        at = end + 1;
    }
    if (at >= content.size())
        return h;
    h.type = quint8(content[at++]);
    qsizetype end;
    h.description = PictureDescription(enc, content.sliced(at), &end);
    if (end < 0)
        return h;
    h.dataOffset = at + end + id3v2text::TerminatorWidth(enc);
    h.valid = true;
    return h;
}

CoverPicture CoverOf(const ID3v2Contents& contents, CoverReading reading) {
    CoverPicture cover;
    if (reading == CoverReading::None)
        return cover;
    std::optional<QByteArray> chosen;
    PictureHeader chosenHeader;
    for (const ID3v2Frame& frame : contents.frames) {
        const bool v22 = contents.major == 2;
        if (frame.id != (v22 ? QByteArrayView("PIC") : QByteArrayView("APIC")))
            continue;
        const auto content =
            id3v2frames::Content(frame, contents.major, contents.tag.Unsynchronisation);
        if (!content)
            continue;
        const PictureHeader header = ParsePictureHeader(*content, v22);
        if (!header.valid)
            continue;
        if (!chosen || (chosenHeader.type != kFrontCover && header.type == kFrontCover)) {
            chosen = content;
            chosenHeader = header;
        }
        if (header.type == kFrontCover)
            break;
    }
    if (!chosen)
        return cover;
    const QByteArrayView image = QByteArrayView(*chosen).sliced(chosenHeader.dataOffset);
    cover.present = true;
    cover.type = chosenHeader.type;
    cover.mime = chosenHeader.mime;
    cover.bytes = image.size();
    cover.facts = ImageFactsOf(image);
    if (reading == CoverReading::Image)
        cover.image = image.toByteArray();
    return cover;
}

CoverImage ReadCoverImage(const QString& path) {
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    if (!S_ISREG(st.st_mode))
        throw StoreError(path, StoreOp::ReadImage, StoreProblem::NotRegularFile);
    if (st.st_size > kMaxCoverImage)
        throw StoreError(path, StoreOp::ReadImage, StoreProblem::ImageTooLarge,
                         kMaxCoverImage >> 20);
    CoverImage image;
    image.bytes = fileio::ReadAt(fd.get(), 0, st.st_size, path);
    image.facts = ImageFactsOf(image.bytes);
    if (image.facts.format == ImageFormat::None)
        throw StoreError(path, StoreOp::ReadImage, StoreProblem::NotAnImage);
    image.mime = MimeTypeOf(image.facts.format);
    return image;
}

QList<bool> CoverDrops(const ID3v2Contents& old, const CoverEdit& edit) {
    QList<bool> drops(old.frames.size(), false);
    if (edit.action == CoverEdit::Action::Keep)
        return drops;
    const bool v22 = old.major == 2;
    qsizetype firstPicture = -1;
    bool anyFront = false;
    for (qsizetype i = 0; i < old.frames.size(); ++i) {
        const ID3v2Frame& frame = old.frames[i];
        if (frame.id != (v22 ? QByteArrayView("PIC") : QByteArrayView("APIC")))
            continue;
        const auto content = id3v2frames::Content(frame, old.major, old.tag.Unsynchronisation);
        const PictureHeader header = content ? ParsePictureHeader(*content, v22) : PictureHeader{};
        if (!header.valid)
            continue;
        if (firstPicture < 0)
            firstPicture = i;
        if (header.type == kFrontCover) {
            drops[i] = true;
            anyFront = true;
        }
    }
    if (edit.action == CoverEdit::Action::Remove && !anyFront && firstPicture >= 0)
        drops[firstPicture] = true;
    return drops;
}

ID3v2Frame CoverFrame(const CoverEdit& edit) {
    ID3v2Frame frame;
    frame.id = "APIC";
    frame.payload = QByteArray(1, '\0') + edit.mime + '\0' + char(kFrontCover) + '\0' + edit.image;
    return frame;
}
