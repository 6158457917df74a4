#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QFileInfo>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <stdexcept>

#include "store/codec.h"
#include "store/fileio.h"
#include "store/id3v2.h"
#include "store/programfolder.h"

namespace {

const QString kOpBuild = QStringLiteral("生成 ID3v2 标签");

void AppendFrame(QByteArray& out, const char* id, const QByteArray& prefix, const QString& text) {
    const QByteArray bytes = EncodeCP936(text);
    const qint64 payload = qint64(prefix.size()) + bytes.size();
    if (payload > kMaxSynchsafeSize)
        throw StoreError(
            {}, kOpBuild,
            QStringLiteral("%1 帧的内容太长（%2 字节），无法写入").arg(id).arg(payload));
    const auto size = EncodeSynchsafeSize(payload);
    out.append(id, 4);
    out.append(reinterpret_cast<const char*>(size.data()), 4);
    out.append("\0\0", 2);
    out.append(prefix);
    out.append(bytes);
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
    const QString folder = QFileInfo(target).absolutePath();
    QByteArray pattern = fileio::NativePath(folder + QStringLiteral("/.tamberlo-XXXXXX"));
    const int fd = ::mkostemp(pattern.data(), O_CLOEXEC);
    if (fd < 0)
        throw StoreError::fromErrno(folder, QStringLiteral("创建临时文件于"), errno);
    return TempFile(QFile::decodeName(pattern), fileio::Fd(fd));
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
        throw StoreError(fromPath, fileio::OpRead(), QStringLiteral("文件在写入过程中变短了"));
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
    static const QByteArray textPrefix(1, '\0');     // encoding byte
    static const QByteArray commentPrefix(5, '\0');  // encoding, language, description end
    QByteArray out;
    AppendFrame(out, "TIT2", textPrefix, tag.TIT2);
    AppendFrame(out, "TPE1", textPrefix, tag.TPE1);
    AppendFrame(out, "TALB", textPrefix, tag.TALB);
    AppendFrame(out, "TYER", textPrefix, tag.TYER);
    AppendFrame(out, "TCON", textPrefix, tag.TCON);
    AppendFrame(out, "TRCK", textPrefix, tag.TRCK);
    AppendFrame(out, "COMM", commentPrefix, tag.COMM);
    AppendFrame(out, "TCOM", textPrefix, tag.TCOM);
    AppendFrame(out, "TCOP", textPrefix, tag.TCOP);
    AppendFrame(out, "TENC", textPrefix, tag.TENC);
    AppendFrame(out, "TOPE", textPrefix, tag.TOPE);
    AppendFrame(out, "WXXX", textPrefix, tag.WXXX);
    if (out.size() > kMaxSynchsafeSize)
        throw StoreError({}, kOpBuild,
                         QStringLiteral("标签太大（%1 字节），无法写入").arg(out.size()));
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

bool WriteID3v2Tag(const QString& path, const ID3v2Tag& tag) {
    QByteArray frames;
    try {
        frames = RenderID3v2Frames(tag);
    } catch (const StoreError& e) {
        throw StoreError(path, e.operation(), e.reason());
    }
    // The scratch copy is kept for anyone who looks for it; the file itself
    // is built from the bytes in memory, so two running copies of the
    // program cannot mix their frames.
    WriteScratchFrames(frames);

    // Rewrite the file a link points to, not the link.
    char resolved[PATH_MAX];
    if (!::realpath(fileio::NativePath(path).constData(), resolved))
        throw StoreError::fromErrno(path, fileio::OpOpen(), errno);
    const QString target = QFile::decodeName(resolved);

    struct stat st;
    fileio::Fd source = fileio::Open(target, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    const qint64 oldExtent = tag.Present ? qint64(tag.Size) + 10 : 0;
    if (oldExtent > length)
        throw StoreError(path, QStringLiteral("改写 ID3v2 标签"),
                         QStringLiteral("旧标签声称有 %1 字节，但文件只有 %2 字节；为免丢失音频，"
                                        "文件未作改动")
                             .arg(oldExtent)
                             .arg(length));

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
        throw StoreError::fromErrno(path, QStringLiteral("替换"), errno);
    temp.committed();

    // Make the rename itself durable.
    const QString folder = QFileInfo(target).absolutePath();
    const int dir =
        ::open(fileio::NativePath(folder).constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        (void)::fsync(dir);
        ::close(dir);
    }
    return true;
}
