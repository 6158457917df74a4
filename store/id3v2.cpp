#include "store/id3v2.h"

#include <fcntl.h>

#include <algorithm>

#include "store/codec.h"
#include "store/fileio.h"
#include "store/id3v1.h"

namespace {

constexpr qint64 kHeaderSize = 10;
constexpr qint64 kFrameHeaderSize = 10;

quint8 ByteAt(QByteArrayView bytes, qint64 i) {
    return i < bytes.size() ? quint8(bytes[i]) : 0;
}

qint32 SizeAt(QByteArrayView bytes, qint64 offset) {
    const quint8 b[4] = {ByteAt(bytes, offset), ByteAt(bytes, offset + 1),
                         ByteAt(bytes, offset + 2), ByteAt(bytes, offset + 3)};
    return DecodeSizeBytes(b);
}

bool StartsWithID3(QByteArrayView head) {
    return head.size() >= 3 && head.first(3) == QByteArrayView("ID3");
}

// Where the frames start and how many bytes the walk may spend, from the
// header (and the extended header's size).
struct Layout {
    qint64 firstFrame;
    qint64 budget;
};

Layout LayoutOf(const ID3v2Tag& tag) {
    Layout layout;
    layout.firstFrame = tag.ExtendedHeader ? 14 + qint64(tag.ExtendedHeaderSize) : kHeaderSize;
    layout.budget = qint64(tag.Size) - tag.ExtendedHeaderSize - (tag.Footer ? 10 : 0);
    return layout;
}

void StoreFrameText(ID3v2Tag& tag, QByteArrayView id, const QString& text) {
    for (const ID3v2TextFrame& f : kID3v2TextFrames) {
        if (id != QByteArrayView(f.id, 4))
            continue;
        // Drop the three language characters and the terminator of an
        // (assumed empty) description. Exactly four characters ending in that
        // terminator is an empty comment, as this program writes one; without
        // this it would read back as four NULs and grow into the text.
        if (id == QByteArrayView("COMM") &&
            (text.size() > 4 || (text.size() == 4 && text.at(3).isNull()))) {
            tag.*f.field = text.mid(4);
        } else {
            tag.*f.field = text;
        }
        return;
    }
}

}  // namespace

const std::array<ID3v2TextFrame, 12> kID3v2TextFrames = {{
    {"TRCK", &ID3v2Tag::TRCK}, {"TENC", &ID3v2Tag::TENC}, {"WXXX", &ID3v2Tag::WXXX},
    {"TCOP", &ID3v2Tag::TCOP}, {"TOPE", &ID3v2Tag::TOPE}, {"TCOM", &ID3v2Tag::TCOM},
    {"COMM", &ID3v2Tag::COMM}, {"TCON", &ID3v2Tag::TCON}, {"TYER", &ID3v2Tag::TYER},
    {"TALB", &ID3v2Tag::TALB}, {"TPE1", &ID3v2Tag::TPE1}, {"TIT2", &ID3v2Tag::TIT2}}};

qint32 DecodeSizeBytes(const quint8* b) {
    // Each byte is taken whole, top bit included: four 0xFF bytes give
    // 538,984,575, which still fits.
    return qint32(b[0]) * (1 << 21) + qint32(b[1]) * (1 << 14) + qint32(b[2]) * (1 << 7) +
           qint32(b[3]);
}

qint64 ID3v2ParseExtent(QByteArrayView first14) {
    if (!StartsWithID3(first14))
        return 3;
    const quint8 flags = ByteAt(first14, 5);
    const bool extended = flags & 0x40;
    const bool footer = flags & 0x10;
    const qint64 size = SizeAt(first14, 6);
    const qint64 extSize = extended ? SizeAt(first14, 10) : 0;
    const qint64 firstFrame = extended ? 14 + extSize : kHeaderSize;
    const qint64 budget = size - extSize - (footer ? 10 : 0);
    // The walk never reads past the first frame position plus the budget
    // plus one frame header (the first header is read whatever the budget).
    return firstFrame + std::max<qint64>(budget, 0) + kFrameHeaderSize;
}

ID3v2Tag ParseID3v2Tag(QByteArrayView head, QList<RawFrame>* frames) {
    ID3v2Tag tag;
    if (!StartsWithID3(head))
        return tag;
    tag.Present = true;
    tag.Version = FixedWidth(QStringLiteral("%1.%2").arg(ByteAt(head, 3)).arg(ByteAt(head, 4)), 7);
    const quint8 flags = ByteAt(head, 5);
    tag.Unsynchronisation = flags & 0x80;
    tag.ExtendedHeader = flags & 0x40;
    tag.Experimental = flags & 0x20;
    tag.Footer = flags & 0x10;
    tag.Size = SizeAt(head, 6);
    if (tag.ExtendedHeader)
        tag.ExtendedHeaderSize = SizeAt(head, 10);

    const Layout layout = LayoutOf(tag);
    qint64 position = layout.firstFrame;
    qint64 budget = layout.budget;
    // The first frame header is always examined, whatever the budget says.
    for (;;) {
        if (position + kFrameHeaderSize > head.size())
            break;  // the file ends first
        RawFrame frame;
        frame.header.FrameID = head.sliced(position, 4).toByteArray();
        for (int i = 0; i < 4; ++i) frame.header.SizeBytes[i] = quint8(head[position + 4 + i]);
        frame.header.Flags = head.sliced(position + 8, 2).toByteArray();
        const qint64 payloadSize = DecodeSizeBytes(frame.header.SizeBytes.data());

        QString text;
        qint64 next = position + kFrameHeaderSize;
        bool cut = false;
        if (payloadSize >= 1 && payloadSize <= budget) {
            const qint64 available = std::min(payloadSize, head.size() - next);
            frame.payload = head.sliced(next, available).toByteArray();
            // The whole payload, encoding byte included, is read as CP936;
            // the first character stands for the encoding byte.
            text = DecodeCP936(frame.payload).mid(1);
            cut = available < payloadSize;
            next += payloadSize;
        }
        StoreFrameText(tag, frame.header.FrameID, text);
        if (frames)
            frames->append(frame);

        budget -= payloadSize + kFrameHeaderSize;
        if (cut || budget <= 10 || payloadSize == 0)
            break;
        position = next;
    }
    return tag;
}

ID3v2Tag ReadID3v2Tag(const QString& path) {
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    QByteArray head = fileio::ReadAt(fd.get(), 0, std::min<qint64>(length, 14), path);
    const qint64 extent = std::min(ID3v2ParseExtent(head), length);
    if (extent > head.size())
        head += fileio::ReadAt(fd.get(), head.size(), extent - head.size(), path);
    return ParseID3v2Tag(head);
}
