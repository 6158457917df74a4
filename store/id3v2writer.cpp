#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QUrl>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "store/codec.h"
#include "store/filecontent.h"
#include "store/filefacts.h"
#include "store/fileio.h"
#include "store/framecatalogue.h"
#include "store/id3v2.h"
#include "store/id3v2frames.h"
#include "store/id3v2picture.h"
#include "store/id3v2text.h"
#include "store/programfolder.h"
#include "store/safewrite.h"

namespace {

void AppendFrame(QByteArray& out, const ID3v2Frame& frame) {
    const qint64 size = frame.payload.size();
    if (size > kMaxSynchsafeSize)
        throw StoreError({}, StoreOp::BuildID3v2, StoreProblem::FrameTooLong, size,
                         QString::fromLatin1(frame.id));
    const char header[10] = {frame.id[0],      frame.id[1],      frame.id[2],
                             frame.id[3],      char(size >> 24), char(size >> 16),
                             char(size >> 8),  char(size),       char(frame.flags >> 8),
                             char(frame.flags)};
    out.append(header, 10);
    out.append(frame.payload);
}

// A link is a URL, which ID3 keeps in Latin-1 whatever the encoding byte
// says. This program writes what code page 936 holds as CP936, as it always
// did; any other character goes in percent-encoded UTF-8, as in a web
// address, rather than as "?".
QByteArray UrlBytes(const QString& url) {
    QByteArray out;
    for (qsizetype i = 0; i < url.size(); ++i) {
        qsizetype len = url.at(i).isHighSurrogate() && i + 1 < url.size() ? 2 : 1;
        const QString ch = url.mid(i, len);
        i += len - 1;
        quint8 enc;
        const QByteArray bytes = id3v2text::EncodeForWriting(ch, &enc);
        out += enc == 0 ? bytes : QUrl::toPercentEncoding(ch);
    }
    return out;
}

// A frame of the catalogue written from its text. `language` is the old
// comment's or lyrics frame's; a new one gets none (comment) or the default
// (lyrics).
ID3v2Frame FreshFrame(const FrameDescriptor& descriptor, const QString& text,
                      QByteArrayView language) {
    ID3v2Frame f;
    f.id = descriptor.id;
    if (descriptor.kind == FrameKind::Link) {
        f.payload = QByteArray("\0\0", 2) + UrlBytes(text);
        return f;
    }
    quint8 enc;
    const QByteArray bytes = id3v2text::EncodeForWriting(text, &enc);
    f.payload = QByteArray(1, char(enc));
    if (HasLanguage(descriptor.kind)) {
        if (language.size() == 3)
            f.payload += language.toByteArray();
        else if (descriptor.kind == FrameKind::Lyrics)
            f.payload += QByteArray(kDefaultLyricsLanguage, 3);
        else
            f.payload += QByteArray(3, '\0');
        f.payload +=
            (enc == 1 ? id3v2text::Encode(1, {}) : QByteArray()) + id3v2text::Terminator(enc);
    }
    f.payload += bytes;
    return f;
}

// The catalogue's indices in writing order.
std::array<int, kFrameCount> WritingOrder() {
    std::array<int, kFrameCount> order;
    for (int i = 0; i < kFrameCount; ++i) order[size_t(kFrameCatalogue[size_t(i)].writeOrder)] = i;
    return order;
}

// Whether an old link frame has the standard layout (a description and its
// terminator before the URL), so that it can be written back as it is.
bool StandardLink(const QByteArray& content) {
    return !content.isEmpty() &&
           id3v2text::FindTerminator(quint8(content[0]), QByteArrayView(content).sliced(1)) >= 0;
}

// Overwritten and then cut to length rather than opened with O_TRUNC: ext4
// flushes a file that was truncated to zero when it is closed
// (auto_da_alloc), which made this scratch copy cost a disk write per file
// of a batch, more than the edit itself.
void WriteScratchFrames(const QByteArray& frames) {
    const QString path = ProgramFolder() + QStringLiteral("/tempv2");
    fileio::Fd fd = fileio::Open(path, O_WRONLY | O_CREAT, 0644);
    fileio::WriteAt(fd.get(), frames.constData(), frames.size(), 0, path);
    if (::ftruncate(fd.get(), frames.size()) != 0)
        throw StoreError::fromErrno(path, fileio::OpWrite(), errno);
    fd.close(path);
}

}  // namespace

std::array<quint8, 4> EncodeSynchsafeSize(qint64 n) {
    if (n < 0 || n > kMaxSynchsafeSize)
        throw std::out_of_range("size cannot be written as four 7-bit groups");
    return {quint8(n / (1 << 21)), quint8((n % (1 << 21)) / (1 << 14)),
            quint8((n % (1 << 14)) / (1 << 7)), quint8(n % (1 << 7))};
}

QByteArray RenderID3v2Frames(const ID3v2Tag& tag) {
    ID3v2Contents none;
    none.shown.fill(-1);
    return RenderID3v2Frames(tag, none);
}

QByteArray RenderID3v2Frames(const ID3v2Tag& tag, const ID3v2Contents& old,
                             const CoverEdit& cover) {
    const bool unsync = old.tag.Unsynchronisation;
    QList<bool> replaced = CoverDrops(old, cover);
    for (int i : old.duplicates) replaced[i] = true;
    const auto duplicatesOf = [&](int index) {
        QList<int> found;
        for (int i : old.duplicates) {
            const QByteArray& id = old.frames[i].id;
            if (FrameIndexOf(old.major == 2 ? id3v2frames::V23IdOfV22(id) : id) == index)
                found.append(i);
        }
        return found;
    };

    QByteArray out;
    static const std::array<int, kFrameCount> order = WritingOrder();
    for (const int index : order) {
        const FrameDescriptor& descriptor = kFrameCatalogue[size_t(index)];
        const QString& text = tag.*descriptor.field;
        const int slot = old.shown[size_t(index)];
        // A legacy text is compared in the code page the record was read in,
        // which a folder's context may have chosen: the same bytes, unedited.
        const bool unchanged =
            !tag.Legacy.rewrite[size_t(index)] &&
            (text == old.tag.*descriptor.field ||
             (slot >= 0 && tag.Legacy.codePages[size_t(index)] != 0 &&
              text == ShownFieldText(index, old.frames[slot], old.major, old.tag.Unsynchronisation,
                                     tag.Legacy.of(index))));
        // The twelve are written also when empty; a later frame with a text only.
        const bool written = descriptor.writeOrder < kAlwaysWrittenFrames || !text.isEmpty();
        if (slot < 0) {
            // The file has no frame of this ID: it gets a fresh one.
            if (written)
                AppendFrame(out, FreshFrame(descriptor, text, {}));
            continue;
        }
        if (old.described[size_t(index)]) {
            // A comment, lyrics or link shown from a frame with a description
            // (or a file with machine-data comments only) keeps that frame
            // with the others below; a frame of the record's own is added
            // only for a new text, so an untouched row adds nothing.
            if (!unchanged && written)
                AppendFrame(out, FreshFrame(descriptor, text, {}));
            continue;
        }
        replaced[slot] = true;
        const ID3v2Frame& original = old.frames[slot];
        const auto content = id3v2frames::Content(original, old.major, unsync);
        if (unchanged &&
            (descriptor.kind != FrameKind::Link || (content && StandardLink(*content)))) {
            const QList<ID3v2Frame> kept = id3v2frames::ForV23(original, old.major, unsync);
            if (kept.size() == 1) {
                // Earlier frames of the same ID stay too, before the one shown,
                // which thus stays the last and the one a reader shows.
                for (int i : duplicatesOf(index))
                    for (const ID3v2Frame& f :
                         id3v2frames::ForV23(old.frames[i], old.major, unsync))
                        AppendFrame(out, f);
                AppendFrame(out, kept.front());
                continue;
            }
        }
        if (!written)
            continue;  // cleared: the frame and its duplicates go
        const QByteArray language =
            content && content->size() >= 4 ? content->mid(1, 3) : QByteArray();
        AppendFrame(out, FreshFrame(descriptor, text, language));
    }
    if (cover.action == CoverEdit::Action::Set)
        AppendFrame(out, CoverFrame(cover));
    for (qsizetype i = 0; i < old.frames.size(); ++i) {
        if (replaced[i])
            continue;
        for (const ID3v2Frame& f : id3v2frames::ForV23(old.frames[i], old.major, unsync))
            AppendFrame(out, f);
    }
    if (out.size() > kMaxSynchsafeSize)
        throw StoreError({}, StoreOp::BuildID3v2, StoreProblem::TagTooLarge, out.size());
    return out;
}

QByteArray RenderID3v2Header(qint64 framesLength) {
    const auto size = EncodeSynchsafeSize(framesLength);
    QByteArray header("ID3\x03\x00\x00", 6);
    header.append(reinterpret_cast<const char*>(size.data()), 4);
    return header;
}

qint64 WriteID3v2Frames(const ID3v2Tag& tag) {
    const QByteArray frames = RenderID3v2Frames(tag);
    WriteScratchFrames(frames);
    return frames.size();
}

qint64 ID3v2PaddingFor(qint64 fileLength) {
    return std::clamp<qint64>(fileLength / 100, kMinID3v2Padding, kMaxID3v2Padding);
}

// The current tag of the open file `fd` whose first bytes are `head`, with
// every frame.
static ID3v2Contents CurrentTag(sysio::SysIO& io, int fd, qint64 length, QByteArray head,
                                const QString& path) {
    if (head.size() >= 10 && head.startsWith("ID3")) {
        const qint64 extent =
            10 + qint64(DecodeSizeBytes(reinterpret_cast<const quint8*>(head.constData()) + 6)) +
            10;
        const qint64 need = std::min(extent, length);
        if (need > head.size())
            head += ReadRange(io, fd, head.size(), need - head.size(), path);
    }
    return ParseID3v2Contents(head, length);
}

FileChange PlanID3v2Tag(sysio::SysIO& io, const QString& path, const ID3v2Tag& tag,
                        const CoverEdit& cover, ScratchFrames* scratch) {
    const auto asRead = [&](const ID3v2Contents& present) {
        if (tag.Present != present.tag.Present || (tag.Present && tag.Size != present.tag.Size))
            throw StoreError(path, StoreOp::RewriteID3v2, StoreProblem::TagChangedSinceRead);
        return tag;
    };
    return PlanID3v2Change(io, path, asRead, cover, scratch);
}

ScratchFrames::~ScratchFrames() {
    if (!last_)
        return;
    try {
        WriteScratchFrames(*last_);
    } catch (const StoreError&) {
    }
}

void ScratchFrames::keep(QByteArray frames) {
    const std::lock_guard<std::mutex> hold(mutex_);
    last_ = std::move(frames);
}

FileChange PlanID3v2Change(sysio::SysIO& io, const QString& path, const ID3v2Builder& build,
                           const CoverEdit& cover, ScratchFrames* scratch) {
    const StoreOp opRewrite = StoreOp::RewriteID3v2;
    // The file a link points to is changed, not the link.
    QString target;

    struct stat st;
    const sysio::File source = OpenForPlanning(io, path, &target, &st);
    const int fd = source.get();
    const qint64 length = st.st_size;
    const QByteArray head = ReadRange(io, fd, 0, std::min<qint64>(length, 4096), path);
    // Judged before the whole tag is read: a crafted file's tag may claim
    // a quarter of a gigabyte.
    const bool hasID3v1 =
        length >= 128 &&
        (length <= head.size() ? head.sliced(length - 128, 3)
                               : ReadRange(io, fd, length - 128, 3, path)) == QByteArrayView("TAG");
    RequireMp3(JudgeFileContent(fd, length, head, length - (hasID3v1 ? 128 : 0), path), path,
               opRewrite);
    const ID3v2Contents old = CurrentTag(io, fd, length, head, path);
    if (!old.tag.Unwritable.isEmpty())
        throw StoreError(path, opRewrite, StoreProblem::TagUnwritable, 0, old.tag.Unwritable);
    const ID3v2Tag tag = build(old);

    QByteArray frames;
    try {
        frames = RenderID3v2Frames(tag, old, cover);
    } catch (const StoreError& e) {
        throw e.withPath(path);
    }
    // The scratch copy is kept for anyone who looks for it; the file itself
    // is built from the bytes in memory, so two running copies of the
    // program cannot mix their frames. A program folder that cannot be
    // written (a shared install, a full disk) must not stop the edit.
    ScratchFrames own;  // a single file's: written when the plan is made
    (scratch ? scratch : &own)->keep(frames);

    FileChange change;
    change.path = target;
    change.before = IdentityOf(st);
    const qint64 oldExtent = old.tag.Present ? old.extent : 0;
    const QByteArray oldRegion = head.left(oldExtent).size() == oldExtent
                                     ? head.left(oldExtent)
                                     : ReadRange(io, fd, 0, oldExtent, path);
    if (old.tag.Present && 10 + frames.size() <= oldExtent) {
        // The new frames fit the old tag's space: the region keeps its
        // length, the rest of it becomes padding, and the audio is not touched.
        QByteArray region = RenderID3v2Header(oldExtent - 10);
        region.reserve(oldExtent);
        region.append(frames);
        region.resize(oldExtent, '\0');
        change.method = WriteMethod::InPlace;
        change.splices = DiffSplices(0, oldRegion, region);
        return change;
    }
    // A rewrite replaces the file rather than opening it for writing, so
    // the folder's permissions would let through a file the process may not
    // write (one of another user, an immutable one). In place, opening the
    // file for writing asks the same question.
    if (::faccessat(AT_FDCWD, fileio::NativePath(target).constData(), W_OK, AT_EACCESS) != 0)
        throw StoreError::fromErrno(path, fileio::OpWrite(), errno);
    // Rewritten beside, with room for later edits to fit in place.
    const qint64 lengthAfter = length - oldExtent + 10 + frames.size();
    const qint64 padding =
        std::min(ID3v2PaddingFor(lengthAfter), qint64(kMaxSynchsafeSize) - frames.size());
    QByteArray region = RenderID3v2Header(frames.size() + padding);
    region.reserve(10 + frames.size() + padding);
    region.append(frames);
    region.resize(10 + frames.size() + padding, '\0');
    change.method = WriteMethod::Beside;
    change.splices = {Splice{0, WholeSide(oldRegion), WholeSide(region)}};
    return change;
}

bool WriteID3v2Tag(const QString& path, const ID3v2Tag& tag) {
    ApplyUnjournaled(PlanID3v2Tag(sysio::System(), path, tag), path, StoreOp::RewriteID3v2);
    return true;
}
