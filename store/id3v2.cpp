#include "store/id3v2.h"

#include <fcntl.h>

#include <algorithm>
#include <functional>
#include <limits>

#include "store/codec.h"
#include "store/error.h"
#include "store/fileio.h"
#include "store/framecatalogue.h"
#include "store/id3v1.h"
#include "store/id3v2frames.h"
#include "store/id3v2picture.h"
#include "store/id3v2text.h"

namespace {

constexpr qint64 kHeaderSize = 10;

// Bytes of the tag, from memory or from an open file.
class ByteSource {
  public:
    virtual ~ByteSource() = default;
    // Up to `length` bytes at `offset`, fewer at the end of the data. The
    // view is valid until the next call.
    virtual QByteArrayView At(qint64 offset, qint64 length) = 0;
};

class MemorySource : public ByteSource {
  public:
    explicit MemorySource(QByteArrayView data) : data_(data) {}
    QByteArrayView At(qint64 offset, qint64 length) override {
        if (offset >= data_.size())
            return {};
        return data_.sliced(offset, std::min(length, data_.size() - offset));
    }

  private:
    QByteArrayView data_;
};

// Reads on demand and keeps the last block: frame headers that follow one
// another cost one read, and a picture that is skipped costs none.
class FileSource : public ByteSource {
  public:
    FileSource(int fd, qint64 length, QByteArray head, const QString& path)
        : fd_(fd), length_(length), buffer_(std::move(head)), path_(path) {}
    QByteArrayView At(qint64 offset, qint64 length) override {
        if (offset >= length_)
            return {};
        length = std::min(length, length_ - offset);
        if (offset < start_ || offset + length > start_ + buffer_.size()) {
            constexpr qint64 kBlock = 4096;
            buffer_ = fileio::ReadAt(fd_, offset, std::max(length, kBlock), path_);
            start_ = offset;
        }
        return QByteArrayView(buffer_).sliced(offset - start_,
                                              std::min<qint64>(length, buffer_.size()));
    }

  private:
    int fd_;
    qint64 length_;
    QByteArray buffer_;
    qint64 start_ = 0;
    const QString& path_;
};

quint8 ByteAt(QByteArrayView bytes, qint64 i) {
    return i < bytes.size() ? quint8(bytes[i]) : 0;
}

quint32 PlainSize(QByteArrayView b, qint64 at, int width) {
    quint32 n = 0;
    for (int i = 0; i < width; ++i) n = n << 8 | ByteAt(b, at + i);
    return n;
}

qint32 SynchsafeSize(QByteArrayView b, qint64 at) {
    const quint8 bytes[4] = {ByteAt(b, at), ByteAt(b, at + 1), ByteAt(b, at + 2),
                             ByteAt(b, at + 3)};
    return DecodeSizeBytes(bytes);
}

bool IsIdChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
}

bool ValidId(QByteArrayView id) {
    return std::all_of(id.begin(), id.end(), IsIdChar);
}

bool AllZero(QByteArrayView bytes) {
    return std::all_of(bytes.begin(), bytes.end(), [](char c) { return c == 0; });
}

// Where a picture frame the walk passed lies in the source.
struct PictureRef {
    QByteArray id;
    quint16 flags = 0;
    qint64 payloadAt = 0;
    qint64 size = 0;
};

// A walk over the frames with one reading of the frame sizes.
struct Walk {
    QList<ID3v2Frame> frames;
    QList<PictureRef> pictures;  // only when asked for
    bool clean = true;           // ended on the tag's end, on padding, or nothing left
    QByteArray overrun;          // ID of a frame that reaches past the tag's end
    bool tooMany = false;        // stopped at kMaxFrames
    bool tooMuchText = false;    // stopped at kMaxShownBytes
};

// Real tags hold a few dozen frames. A crafted one of millions of tiny
// frames would cost gigabytes to hold; it is read no further.
constexpr int kMaxFrames = 65536;

// Bounds on what is read for showing, so that reading any file, however
// crafted, takes little time and memory. A shown text is decoded from the
// first kShownPayload bytes of its frame (enough for 64 Ki characters in
// every encoding) and cut to kShownTextLength characters; the rest of the
// frame stays on disk and is kept as it is on a rewrite. The frames that
// hold the shown texts may take kMaxShownBytes together (counting at most
// kShownPayload bytes each); a tag of more is read no further and not
// rewritten. The reader and the writer apply the same bounds, so that a
// text the user did not change reads the same to both.
constexpr qint64 kShownPayload = 256 * 1024;
constexpr qsizetype kShownTextLength = 64 * 1024;
constexpr qint64 kMaxShownBytes = 16 * 1024 * 1024;
// A tag unsynchronised as a whole is undone in memory, up to this size.
constexpr qint64 kMaxUnsynchronisedTag = 16 * 1024 * 1024;

using WantPayload = std::function<bool(QByteArrayView id)>;

// Walks the frames between `start` and `end`. Keeps the frames `want`
// names, with at most `keep` bytes of payload each; counts the frames
// `shown` names against kMaxShownBytes.
Walk WalkFrames(ByteSource& src, qint64 start, qint64 end, int major, bool plainSizes,
                const WantPayload& want, const WantPayload& shown, qint64 keep, bool notePictures) {
    Walk walk;
    const int idWidth = major == 2 ? 3 : 4;
    const int headerSize = major == 2 ? 6 : 10;
    qint64 pos = start;
    int count = 0;
    qint64 shownBytes = 0;
    while (pos < end) {
        if (++count > kMaxFrames) {
            walk.tooMany = true;
            break;
        }
        if (pos + headerSize > end) {
            walk.clean = AllZero(src.At(pos, end - pos));
            break;
        }
        const QByteArrayView header = src.At(pos, headerSize);
        if (header.size() < headerSize) {
            walk.clean = false;  // the file ends inside the tag
            break;
        }
        if (header[0] == 0)
            break;  // padding
        if (!ValidId(header.first(idWidth))) {
            walk.clean = false;
            break;
        }
        ID3v2Frame frame;
        frame.id = header.first(idWidth).toByteArray();
        qint64 size;
        if (major == 2) {
            size = PlainSize(header, 3, 3);
        } else {
            size = plainSizes ? qint64(PlainSize(header, 4, 4)) : SynchsafeSize(header, 4);
            frame.flags = quint16(ByteAt(header, 8) << 8 | ByteAt(header, 9));
        }
        const qint64 payloadAt = pos + headerSize;
        const bool overruns = size > end - payloadAt;
        if (overruns) {
            // Shown with the bytes that exist, as a cut-off file has them.
            walk.clean = false;
            walk.overrun = frame.id;
            if (want(frame.id)) {
                frame.payload = src.At(payloadAt, std::min(end - payloadAt, keep)).toByteArray();
                walk.frames.append(std::move(frame));
            }
            break;
        }
        if (shown(frame.id)) {
            shownBytes += std::min(size, kShownPayload);
            if (shownBytes > kMaxShownBytes) {
                walk.tooMuchText = true;
                break;
            }
        }
        if (notePictures && frame.id == (major == 2 ? QByteArrayView("PIC") : "APIC"))
            walk.pictures.append({frame.id, frame.flags, payloadAt, size});
        // Frames the caller does not want are not kept at all.
        if (want(frame.id)) {
            frame.payload = src.At(payloadAt, std::min(size, keep)).toByteArray();
            walk.frames.append(std::move(frame));
        }
        pos = payloadAt + size;
    }
    return walk;
}

QByteArray V23Id(const QByteArray& id, int major) {
    return major == 2 ? id3v2frames::V23IdOfV22(id) : id;
}

FrameKind KindOf(int index) {
    return kFrameCatalogue[size_t(index)].kind;
}

// The content of a frame as its text is shown: from the first
// kShownPayload bytes of its payload.
std::optional<QByteArray> ShownContent(const ID3v2Frame& frame, int major, bool unsync) {
    if (frame.payload.size() <= kShownPayload)
        return id3v2frames::Content(frame, major, unsync);
    const ID3v2Frame cut{frame.id, frame.flags, frame.payload.first(kShownPayload)};
    return id3v2frames::Content(cut, major, unsync);
}

// `text` cut to kShownTextLength characters, never inside a surrogate pair.
QString Bounded(QString text) {
    if (text.size() <= kShownTextLength)
        return text;
    qsizetype n = kShownTextLength;
    if (text.at(n - 1).isHighSurrogate())
        --n;
    text.truncate(n);
    return text;
}

// The text a frame shows in its field. `content` is the frame's decoded
// content (extras removed).
QString FieldText(FrameKind kind, QByteArrayView content,
                  std::optional<legacytext::CodePage> codePage = std::nullopt) {
    if (content.isEmpty())
        return {};
    const quint8 enc = quint8(content[0]);
    QByteArrayView body = content.sliced(1);
    if (HasLanguage(kind)) {
        // Language, description, text. A payload too short for the language
        // holds no comment.
        if (body.size() < 3)
            return {};
        body = body.sliced(3);
        // Without a terminator there is no description, only the text.
        const qsizetype end = id3v2text::FindTerminator(enc, body);
        return id3v2text::DecodeValues(
            enc, end < 0 ? body : body.sliced(end + id3v2text::TerminatorWidth(enc)), codePage);
    }
    if (kind == FrameKind::Link) {
        // Description, then the URL. This program once wrote the URL right
        // after the encoding byte, without a description.
        const qsizetype end = id3v2text::FindTerminator(enc, body);
        QByteArrayView url = end < 0 ? body : body.sliced(end + id3v2text::TerminatorWidth(enc));
        const qsizetype cut = url.indexOf('\0');
        return id3v2text::Decode(0, cut < 0 ? url : url.first(cut));
    }
    return id3v2text::DecodeValues(enc, body, codePage);
}

// The description of a comment or link content; empty when it has none.
QString DescriptionOf(FrameKind kind, QByteArrayView content) {
    if (content.isEmpty())
        return {};
    const quint8 enc = quint8(content[0]);
    QByteArrayView body = content.sliced(1);
    if (HasLanguage(kind))
        body = body.sliced(std::min<qsizetype>(3, body.size()));
    const qsizetype end = id3v2text::FindTerminator(enc, body);
    if (end < 0)
        return {};  // a text or URL alone (this program's old link layout)
    return id3v2text::Decode(enc, body.first(end));
}

// Comments that players fill with data for themselves (loudness, gapless
// playback, CD lookup numbers), not words for a person to read.
bool IsMachineComment(const QString& description) {
    static const QStringList names = {
        QStringLiteral("iTunNORM"),         QStringLiteral("iTunSMPB"),
        QStringLiteral("iTunPGAP"),         QStringLiteral("iTunes_CDDB_IDs"),
        QStringLiteral("iTunes_CDDB_1"),    QStringLiteral("iTunes_CDDB_TrackNumber"),
        QStringLiteral("iTunMOVI"),         QStringLiteral("iTunEXTC"),
        QStringLiteral("MusicMatch_Bpm"),   QStringLiteral("MusicMatch_Preference"),
        QStringLiteral("MusicMatch_Tempo"),
    };
    return names.contains(description, Qt::CaseInsensitive);
}

// How well a comment, lyrics or link frame stands for its field: the first of the best
// kind shows. A frame without a description is the field's own; one with a
// description shows when there is none without; machine data never shows.
enum class Standing { Own = 0, Described = 1, Machine = 2, None = 3 };

Standing StandingOf(FrameKind kind, QByteArrayView content) {
    const QString description = DescriptionOf(kind, content);
    if (description.isEmpty())
        return Standing::Own;
    return kind == FrameKind::Comment && IsMachineComment(description) ? Standing::Machine
                                                                       : Standing::Described;
}

// The index of the catalogue entry whose v2.4 ID `id` stands in for its
// v2.3 ID (TDRC for TYER), or -1.
int V24StandInIndex(QByteArrayView id) {
    for (int i = 0; i < kFrameCount; ++i) {
        const FrameDescriptor& frame = kFrameCatalogue[size_t(i)];
        if (id == frame.v24 && QByteArrayView(frame.v24) != frame.id)
            return i;
    }
    return -1;
}

bool IsReaderFrame(QByteArrayView id, int major) {
    if (major == 2)
        return FrameIndexOf(id3v2frames::V23IdOfV22(id)) >= 0;
    return FrameIndexOf(id) >= 0 || (major >= 4 && V24StandInIndex(id) >= 0);
}

// The cover among the pictures `refs` of a tag of version `major`, read
// from `src` as far as `reading` asks: the picture headers, the image's
// header, the image. A frame stored compressed, encrypted or with extras
// is read whole (bounded) to find its content.
CoverPicture CoverFromRefs(ByteSource& src, const QList<PictureRef>& refs, int major, bool unsync,
                           CoverReading reading) {
    CoverPicture cover;
    const bool v22 = major == 2;
    for (const PictureRef& ref : refs) {
        const bool plain = major == 2 || (major == 3 && (ref.flags & 0x00E0) == 0) ||
                           (major == 4 && (ref.flags & 0x004F) == 0 && !unsync);
        QByteArray content;
        qint64 contentAt = ref.payloadAt;
        if (plain) {
            // The fields before the image are short: a first look that stays
            // within the bytes already read, a longer one only for a long
            // description.
            content = src.At(ref.payloadAt, std::min<qint64>(ref.size, 256)).toByteArray();
            if (!ParsePictureHeader(content, v22).valid && ref.size > content.size())
                content = src.At(ref.payloadAt, std::min<qint64>(ref.size, 65536)).toByteArray();
        } else {
            if (ref.size > kMaxCoverImage)
                continue;
            const ID3v2Frame frame{ref.id, ref.flags,
                                   src.At(ref.payloadAt, ref.size).toByteArray()};
            const auto whole = id3v2frames::Content(frame, major, unsync);
            if (!whole)
                continue;
            content = *whole;
            contentAt = -1;
        }
        const PictureHeader header = ParsePictureHeader(content, v22);
        if (!header.valid)
            continue;
        if (cover.present && (cover.type == kFrontCover || header.type != kFrontCover))
            continue;
        const qint64 imageLength = (contentAt < 0 ? content.size() : ref.size) - header.dataOffset;
        const ByteReader read = [&, header, contentAt, content, imageLength](
                                    qint64 offset, qint64 length) -> QByteArray {
            if (offset < 0 || offset >= imageLength)
                return {};
            length = std::min(length, imageLength - offset);
            if (contentAt < 0)
                return content.mid(header.dataOffset + offset, length);
            return src.At(contentAt + header.dataOffset + offset, length).toByteArray();
        };
        cover.present = true;
        cover.type = header.type;
        cover.mime = header.mime;
        cover.bytes = imageLength;
        cover.facts = ImageFactsOf(read);
        if (reading == CoverReading::Image)
            cover.image = read(0, imageLength);
        if (header.type == kFrontCover)
            break;
    }
    return cover;
}

// The bytes of a text a legacy code page must decide: the text of a frame
// with encoding byte 0 (a comment's or lyrics' without its description), trailing
// terminators left out. Links hold URLs, which are never decided.
std::optional<QByteArrayView> LegacyPart(FrameKind kind, QByteArrayView content) {
    if (content.isEmpty() || content[0] != 0 || kind == FrameKind::Link)
        return std::nullopt;
    QByteArrayView body = content.sliced(1);
    if (HasLanguage(kind)) {
        if (body.size() < 3)
            return std::nullopt;
        body = body.sliced(3);
        const qsizetype end = body.indexOf('\0');
        if (end >= 0)
            body = body.sliced(end + 1);
    }
    while (!body.isEmpty() && body.back() == 0) body.chop(1);
    return body;
}

ID3v2Contents Parse(ByteSource& src, qint64 fileLength, bool allPayloads,
                    std::optional<legacytext::CodePage> folder = std::nullopt,
                    CoverReading coverReading = CoverReading::None, CoverPicture* cover = nullptr) {
    ID3v2Contents c;
    c.shown.fill(-1);
    ID3v2Tag& tag = c.tag;
    const QByteArray head = src.At(0, 14).toByteArray();
    if (head.size() < 3 || !head.startsWith("ID3"))
        return c;
    tag.Present = true;
    const int major = ByteAt(head, 3);
    c.major = major;
    tag.Version = FixedWidth(QStringLiteral("%1.%2").arg(major).arg(ByteAt(head, 4)), 7);
    const quint8 flags = ByteAt(head, 5);
    tag.Unsynchronisation = flags & 0x80;
    tag.ExtendedHeader = flags & 0x40;
    tag.Experimental = flags & 0x20;
    tag.Footer = flags & 0x10;
    tag.Size = SynchsafeSize(head, 6);
    const bool sizeIsSynchsafe =
        ((ByteAt(head, 6) | ByteAt(head, 7) | ByteAt(head, 8) | ByteAt(head, 9)) & 0x80) == 0;
    const qint64 tagEnd = kHeaderSize + qint64(tag.Size);
    c.extent = tagEnd + (major == 4 && tag.Footer ? 10 : 0);

    auto refuse = [&](StoreProblem why, qint64 number = 0, const QString& detail = {}) {
        if (tag.Unwritable.isEmpty())
            tag.Unwritable = StoreReasonText(why, number, detail);
    };
    if (!sizeIsSynchsafe)
        refuse(StoreProblem::SizeNotSynchsafe);
    if (c.extent > fileLength)
        refuse(StoreProblem::TagPastFileEnd, c.extent, QString::number(fileLength));
    if (major < 2 || major > 4)
        refuse(StoreProblem::UnknownVersion, major);
    if (major == 2 && (flags & 0x40)) {
        // A compressed v2.2 tag: no scheme was ever defined for it.
        refuse(StoreProblem::CompressedV22);
        return c;
    }

    // A v2.2 or v2.3 tag unsynchronised as a whole is walked once undone.
    std::optional<MemorySource> undone;
    QByteArray undoneBytes;
    ByteSource* frames = &src;
    qint64 end = std::min(tagEnd, fileLength);
    if (major <= 3 && tag.Unsynchronisation) {
        if (end - kHeaderSize > kMaxUnsynchronisedTag) {
            refuse(StoreProblem::UnsynchronisedTooLarge, kMaxUnsynchronisedTag >> 20);
            end = kHeaderSize + kMaxUnsynchronisedTag;
        }
        undoneBytes = head.first(std::min<qsizetype>(head.size(), kHeaderSize)) +
                      id3v2frames::Resynchronise(src.At(kHeaderSize, end - kHeaderSize));
        undone.emplace(undoneBytes);
        frames = &*undone;
        end = undoneBytes.size();
    }

    qint64 start = kHeaderSize;
    if (tag.ExtendedHeader && major >= 3) {
        const QByteArrayView ext = frames->At(kHeaderSize, 4);
        if (major == 3) {
            // Its size leaves out its own four bytes.
            tag.ExtendedHeaderSize = qint32(std::min<quint32>(PlainSize(ext, 0, 4), INT32_MAX));
            start = kHeaderSize + 4 + qint64(tag.ExtendedHeaderSize);
        } else {
            tag.ExtendedHeaderSize = SynchsafeSize(ext, 0);
            start = kHeaderSize + qint64(tag.ExtendedHeaderSize);
        }
        if (start > end || (major == 4 && tag.ExtendedHeaderSize < 6)) {
            refuse(StoreProblem::ExtendedHeaderTooLarge);
            return c;
        }
    }

    const WantPayload shown = [&](QByteArrayView id) { return IsReaderFrame(id, major); };
    const WantPayload want = [&](QByteArrayView id) { return allPayloads || shown(id); };
    const qint64 keep = allPayloads ? std::numeric_limits<qint64>::max() : kShownPayload;
    // v2.3 sizes are plain numbers and v2.4 sizes 7-bit groups; each version
    // has writers that used the other reading. Take the one that walks.
    const bool standardPlain = major == 3;
    const bool notePictures = coverReading != CoverReading::None;
    Walk walk =
        WalkFrames(*frames, start, end, major, standardPlain, want, shown, keep, notePictures);
    if (!walk.clean && major >= 3) {
        Walk other =
            WalkFrames(*frames, start, end, major, !standardPlain, want, shown, keep, notePictures);
        if (other.clean)
            walk = std::move(other);
    }
    if (walk.tooMany)
        refuse(StoreProblem::TooManyFrames, kMaxFrames);
    if (walk.tooMuchText)
        refuse(StoreProblem::TooMuchText, kMaxShownBytes >> 20);
    if (!walk.overrun.isEmpty())
        refuse(StoreProblem::FramePastTagEnd, 0, QString::fromLatin1(walk.overrun));
    c.frames = std::move(walk.frames);
    if (cover && notePictures)
        *cover = CoverFromRefs(*frames, walk.pictures, major, tag.Unsynchronisation, coverReading);

    // Which frame each field shows.
    std::array<int, kFrameCount> standIn;  // the first v2.4 stand-in of each field
    standIn.fill(-1);
    std::array<Standing, kFrameCount> standing;
    standing.fill(Standing::None);
    for (qsizetype i = 0; i < c.frames.size(); ++i) {
        const QByteArray id = V23Id(c.frames[i].id, major);
        if (major >= 4) {
            const int alias = V24StandInIndex(id);
            if (alias >= 0 && standIn[size_t(alias)] < 0)
                standIn[size_t(alias)] = int(i);
        }
        const int index = FrameIndexOf(id);
        if (index < 0)
            continue;
        int& slot = c.shown[size_t(index)];
        const FrameKind kind = KindOf(index);
        if (kind != FrameKind::Text) {
            const auto content = ShownContent(c.frames[i], major, tag.Unsynchronisation);
            // A frame that cannot be decoded is no better than machine data.
            const Standing s = content ? StandingOf(kind, *content) : Standing::Machine;
            if (s < standing[size_t(index)]) {
                slot = int(i);
                standing[size_t(index)] = s;
                c.described[size_t(index)] = s != Standing::Own;
            }
            continue;
        }
        if (slot >= 0)
            c.duplicates.append(slot);
        slot = int(i);
    }
    // The legacy texts of the tag are decided together: one writer wrote them.
    std::array<std::optional<QByteArray>, kFrameCount> contents;
    QList<QByteArrayView> legacyTexts;
    QList<int> legacyFields;
    for (size_t index = 0; index < kFrameCatalogue.size(); ++index) {
        const int slot = c.shown[index];
        if (slot < 0 || standing[index] == Standing::Machine)
            continue;
        contents[index] = ShownContent(c.frames[slot], major, tag.Unsynchronisation);
        if (!contents[index])
            continue;
        if (const auto part = LegacyPart(kFrameCatalogue[index].kind, *contents[index])) {
            legacyTexts.append(*part);
            legacyFields.append(int(index));
        }
    }
    std::array<std::optional<legacytext::CodePage>, kFrameCount> codePages;
    if (!legacyTexts.isEmpty()) {
        legacytext::Options options = legacytext::DefaultOptions();
        options.folder = folder;
        const legacytext::FileReading reading = legacytext::DecodeFile(legacyTexts, options);
        for (qsizetype k = 0; k < legacyFields.size(); ++k) {
            const legacytext::Reading& r = reading.texts[k];
            codePages[size_t(legacyFields[k])] = r.codePage;
            if (r.certainty != legacytext::Certainty::Ascii)
                tag.Legacy.codePages[size_t(legacyFields[k])] = quint16(r.codePage);
        }
        tag.Legacy.codePage = quint16(reading.codePage);
        tag.Legacy.certainty = reading.certainty;
    }
    for (size_t index = 0; index < kFrameCatalogue.size(); ++index) {
        const FrameDescriptor& frame = kFrameCatalogue[index];
        const int slot = c.shown[index];
        if (slot < 0 && standIn[index] >= 0) {
            // "yyyy-MM-dd..." of a v2.4 date gives the year.
            const auto content =
                ShownContent(c.frames[standIn[index]], major, tag.Unsynchronisation);
            if (content)
                tag.*frame.field = FieldText(frame.kind, *content).left(frame.v24Length);
        }
        if (contents[index])
            tag.*frame.field = Bounded(FieldText(frame.kind, *contents[index], codePages[index]));
    }
    std::sort(c.duplicates.begin(), c.duplicates.end());
    return c;
}

}  // namespace

qint32 DecodeSizeBytes(const quint8* b) {
    // Each byte is taken whole, top bit included: four 0xFF bytes give
    // 538,984,575, which still fits.
    return qint32(b[0]) * (1 << 21) + qint32(b[1]) * (1 << 14) + qint32(b[2]) * (1 << 7) +
           qint32(b[3]);
}

QString ShownFieldText(int index, const ID3v2Frame& frame, int major, bool unsync,
                       std::optional<legacytext::CodePage> codePage) {
    const auto content = ShownContent(frame, major, unsync);
    return content ? Bounded(FieldText(KindOf(index), *content, codePage)) : QString();
}

ID3v2Contents ParseID3v2Contents(QByteArrayView file, qint64 fileLength) {
    MemorySource src(file);
    return Parse(src, fileLength < 0 ? file.size() : fileLength, true);
}

ID3v2Tag ParseID3v2Tag(QByteArrayView file) {
    MemorySource src(file);
    return Parse(src, file.size(), false).tag;
}

ID3v2Tag ReadID3v2TagFrom(int fd, qint64 length, QByteArray head, const QString& path,
                          std::optional<legacytext::CodePage> folder, CoverReading coverReading,
                          CoverPicture* cover) {
    FileSource src(fd, length, std::move(head), path);
    return Parse(src, length, false, folder, coverReading, cover).tag;
}

CoverPicture ReadCover(const QString& path, CoverReading reading) {
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    QByteArray head = fileio::ReadAt(fd.get(), 0, std::min<qint64>(length, 4096), path);
    FileSource src(fd.get(), length, std::move(head), path);
    CoverPicture cover;
    Parse(src, length, false, std::nullopt, reading, &cover);
    return cover;
}

ID3v2Contents ReadID3v2ShownFrames(const QString& path,
                                   std::optional<legacytext::CodePage> folder) {
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    QByteArray head = fileio::ReadAt(fd.get(), 0, std::min<qint64>(length, 4096), path);
    FileSource src(fd.get(), length, std::move(head), path);
    return Parse(src, length, false, folder);
}

ID3v2Tag ReadID3v2Tag(const QString& path) {
    return ReadID3v2ShownFrames(path).tag;
}
