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
#include "store/id3v2text.h"
#include "store/programfolder.h"

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

// A frame of the twelve written from its text. `language` is the comment's.
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
    if (descriptor.kind == FrameKind::Comment) {
        f.payload += language.size() == 3 ? language.toByteArray() : QByteArray(3, '\0');
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

// Removes the temporary file unless it was renamed into place.
class TempFile {
  public:
    TempFile(QString path, fileio::Fd fd) : path_(std::move(path)), fd_(std::move(fd)) {}
    ~TempFile() {
        if (!path_.isEmpty())
            ::unlink(fileio::NativePath(path_).constData());
    }
    int fd() const { return fd_.get(); }
    fileio::Fd& handle() { return fd_; }
    const QString& path() const { return path_; }
    void committed() { path_.clear(); }

  private:
    QString path_;
    fileio::Fd fd_;
};

TempFile CreateTempBeside(const QString& target) {
    const QString folder = FolderOf(target);
    QByteArray pattern = fileio::NativePath(folder + QStringLiteral("/.tamberlo-XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        throw StoreError::fromErrno(folder, StoreOp::CreateTempIn, errno);
    return TempFile(fileio::NameFromNative(pattern), fileio::Fd(fd));
}

// Copies `length` bytes of `from` starting at `offset` to the end of `to`,
// in large blocks: copy_file_range where the kernel offers it, else 1 MiB
// reads and writes.
void CopyRange(int from, qint64 offset, qint64 length, int to, const QString& fromPath,
               const QString& toPath) {
    loff_t in = offset;
    qint64 left = length;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(from, &in, to, nullptr, size_t(left), 0);
        if (n > 0) {
            left -= n;
            continue;
        }
        if (n == 0)
            break;  // the file got shorter meanwhile
        if (errno == EINTR)
            continue;
        if (errno == EXDEV || errno == EINVAL || errno == ENOSYS || errno == EOPNOTSUPP ||
            errno == EBADF)
            break;  // fall back to plain reads and writes
        throw StoreError::fromErrno(toPath, fileio::OpWrite(), errno);
    }
    constexpr qint64 kBlock = 1 << 20;
    while (left > 0) {
        const QByteArray block = fileio::ReadAt(from, in, std::min(left, kBlock), fromPath);
        if (block.isEmpty())
            break;
        fileio::WriteAt(to, block.constData(), block.size(), -1, toPath);
        in += block.size();
        left -= block.size();
    }
    if (left > 0)
        throw StoreError(fromPath, fileio::OpRead(), StoreProblem::ShrankWhileWriting);
}

// Gives `to` the extended attributes of `from`: access control lists, the
// DOS attributes a Samba share keeps, desktop tags. Best effort: a name the
// process may not set (security.*, trusted.*) or a file system without them
// does not stop the rewrite; the permission bits are already in place.
void CopyExtendedAttributes(int from, int to) {
    const ssize_t listSize = ::flistxattr(from, nullptr, 0);
    if (listSize <= 0)
        return;
    QByteArray names(listSize, '\0');
    const ssize_t got = ::flistxattr(from, names.data(), size_t(names.size()));
    if (got <= 0)
        return;
    names.truncate(got);
    QByteArray value;
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t size = ::fgetxattr(from, name.constData(), nullptr, 0);
        if (size < 0)
            continue;
        value.resize(size);
        const ssize_t read = ::fgetxattr(from, name.constData(), value.data(), size_t(size));
        if (read < 0)
            continue;
        (void)::fsetxattr(to, name.constData(), value.constData(), size_t(read), 0);
    }
}

void WriteScratchFrames(const QByteArray& frames) {
    const QString path = ProgramFolder() + QStringLiteral("/tempv2");
    fileio::Fd fd = fileio::Open(path, O_WRONLY | O_CREAT | O_TRUNC, 0644);
    fileio::WriteAt(fd.get(), frames.constData(), frames.size(), -1, path);
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

QByteArray RenderID3v2Frames(const ID3v2Tag& tag, const ID3v2Contents& old) {
    const bool unsync = old.tag.Unsynchronisation;
    QList<bool> replaced(old.frames.size(), false);
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
            text == old.tag.*descriptor.field ||
            (slot >= 0 && tag.Legacy.codePages[size_t(index)] != 0 &&
             text == ShownFieldText(index, old.frames[slot], old.major, old.tag.Unsynchronisation,
                                    tag.Legacy.of(index)));
        if (slot < 0) {
            // The file has no frame of this ID: it gets the frame of the
            // twelve, empty unless the text was given.
            AppendFrame(out, FreshFrame(descriptor, text, {}));
            continue;
        }
        if (old.described[size_t(index)]) {
            // A comment or link shown from a frame with a description (or a
            // file with machine-data comments only) keeps that frame with the
            // others below; a frame of the record's own is added only for a
            // new text, so an untouched row adds nothing.
            if (!unchanged)
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
        const QByteArray language =
            content && content->size() >= 4 ? content->mid(1, 3) : QByteArray();
        AppendFrame(out, FreshFrame(descriptor, text, language));
    }
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

// The current tag of the open file `fd` whose first bytes are `head`, with
// every frame.
static ID3v2Contents CurrentTag(int fd, qint64 length, QByteArray head, const QString& path) {
    if (head.size() >= 10 && head.startsWith("ID3")) {
        const qint64 extent =
            10 + qint64(DecodeSizeBytes(reinterpret_cast<const quint8*>(head.constData()) + 6)) +
            10;
        const qint64 need = std::min(extent, length);
        if (need > head.size())
            head += fileio::ReadAt(fd, head.size(), need - head.size(), path);
    }
    return ParseID3v2Contents(head, length);
}

bool WriteID3v2Tag(const QString& path, const ID3v2Tag& tag) {
    const StoreOp opRewrite = StoreOp::RewriteID3v2;
    // Rewrite the file a link points to, not the link.
    char resolved[PATH_MAX];
    if (!::realpath(fileio::NativePath(path).constData(), resolved))
        throw StoreError::fromErrno(path, fileio::OpOpen(), errno);
    const QString target = fileio::NameFromNative(resolved);

    // The file is replaced, not opened for writing, so the folder's
    // permissions would let through a file the process may not write (one
    // of another user, an immutable one).
    if (::faccessat(AT_FDCWD, resolved, W_OK, AT_EACCESS) != 0)
        throw StoreError::fromErrno(path, fileio::OpWrite(), errno);

    struct stat st;
    fileio::Fd source = fileio::Open(target, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    const QByteArray head = fileio::ReadAt(source.get(), 0, std::min<qint64>(length, 4096), path);
    // Judged before the whole tag is read: a crafted file's tag may claim
    // a quarter of a gigabyte.
    const bool hasID3v1 =
        length >= 128 && fileio::ReadAt(source.get(), length - 128, 3, path) == "TAG";
    RequireMp3(JudgeFileContent(source.get(), length, head, length - (hasID3v1 ? 128 : 0), path),
               path, opRewrite);
    const ID3v2Contents old = CurrentTag(source.get(), length, head, path);
    if (!old.tag.Unwritable.isEmpty())
        throw StoreError(path, opRewrite, StoreProblem::TagUnwritable, 0, old.tag.Unwritable);
    if (tag.Present != old.tag.Present || (tag.Present && tag.Size != old.tag.Size))
        throw StoreError(path, opRewrite, StoreProblem::TagChangedSinceRead);

    QByteArray frames;
    try {
        frames = RenderID3v2Frames(tag, old);
    } catch (const StoreError& e) {
        throw e.withPath(path);
    }
    // The scratch copy is kept for anyone who looks for it; the file itself
    // is built from the bytes in memory, so two running copies of the
    // program cannot mix their frames. A program folder that cannot be
    // written (a shared install, a full disk) must not stop the edit.
    try {
        WriteScratchFrames(frames);
    } catch (const StoreError&) {
    }
    const qint64 oldExtent = old.tag.Present ? old.extent : 0;

    TempFile temp = CreateTempBeside(target);
    const QByteArray header = RenderID3v2Header(frames.size());
    fileio::WriteAt(temp.fd(), header.constData(), header.size(), -1, temp.path());
    fileio::WriteAt(temp.fd(), frames.constData(), frames.size(), -1, temp.path());
    CopyRange(source.get(), oldExtent, length - oldExtent, temp.fd(), target, temp.path());

    if (::fchmod(temp.fd(), st.st_mode & 07777) != 0)
        throw StoreError::fromErrno(temp.path(), fileio::OpWrite(), errno);
    // Owner and group only where the process may set them.
    if (::fchown(temp.fd(), st.st_uid, st.st_gid) != 0 && errno != EPERM)
        throw StoreError::fromErrno(temp.path(), fileio::OpWrite(), errno);
    // After the mode: an access control list carries its own mask.
    CopyExtendedAttributes(source.get(), temp.fd());
    if (::fsync(temp.fd()) != 0)
        throw StoreError::fromErrno(temp.path(), fileio::OpWrite(), errno);
    temp.handle().close(temp.path());

    if (::rename(fileio::NativePath(temp.path()).constData(),
                 fileio::NativePath(target).constData()) != 0)
        throw StoreError::fromErrno(path, StoreOp::Replace, errno);
    temp.committed();

    // Make the rename itself durable.
    const QString folder = FolderOf(target);
    const int dir =
        ::open(fileio::NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}
