#include "store/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <utility>

#include "store/codec.h"

namespace fileio {

Fd::~Fd() {
    if (fd_ >= 0)
        ::close(fd_);
}

Fd& Fd::operator=(Fd&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = other.release();
    }
    return *this;
}

void Fd::close(const QString& path) {
    const int fd = release();
    if (fd >= 0 && ::close(fd) != 0)
        throw StoreError::fromErrno(path, OpWrite(), errno);
}

namespace {

constexpr char16_t kEscapeBase = 0xDC00;

bool IsEscape(char16_t u) {
    return u >= kEscapeBase + 0x80 && u <= kEscapeBase + 0xFF;
}

}  // namespace

QString NameFromNative(QByteArrayView bytes) {
    const auto* p = reinterpret_cast<const uchar*>(bytes.data());
    const qsizetype size = bytes.size();
    QString name;
    name.reserve(size);
    qsizetype at = 0;
    while (at < size) {
        if (p[at] < 0x80) {
            name += QChar(p[at++]);
            continue;
        }
        char32_t code = 0;
        const int length = Utf8Sequence(p + at, size - at, &code);
        if (length <= 0) {
            // Each byte of an invalid sequence on its own: the bytes after a
            // bad lead are continuation bytes, which are invalid alone too.
            name += QChar(char16_t(kEscapeBase + p[at++]));
            continue;
        }
        name += QChar::fromUcs4(code);
        at += length;
    }
    return name;
}

QByteArray NativePath(const QString& path) {
    QByteArray bytes;
    bytes.reserve(path.size() * 3);
    const qsizetype size = path.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t u = path.at(i).unicode();
        char32_t code = u;
        if (IsEscape(u)) {
            bytes += char(u - kEscapeBase);
            continue;
        }
        if (QChar::isHighSurrogate(u) && i + 1 < size && path.at(i + 1).isLowSurrogate())
            code = QChar::surrogateToUcs4(u, path.at(++i).unicode());
        // Any other lone surrogate is written as its three-byte form, which
        // names no file this program listed (see IsExactName).
        if (code < 0x80) {
            bytes += char(code);
        } else if (code < 0x800) {
            bytes += char(0xC0 | (code >> 6));
            bytes += char(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes += char(0xE0 | (code >> 12));
            bytes += char(0x80 | ((code >> 6) & 0x3F));
            bytes += char(0x80 | (code & 0x3F));
        } else {
            bytes += char(0xF0 | (code >> 18));
            bytes += char(0x80 | ((code >> 12) & 0x3F));
            bytes += char(0x80 | ((code >> 6) & 0x3F));
            bytes += char(0x80 | (code & 0x3F));
        }
    }
    return bytes;
}

bool IsExactName(const QString& name) {
    return NameFromNative(NativePath(name)) == name;
}

bool HasEscapedBytes(const QString& name) {
    for (const QChar c : name)
        if (IsEscape(c.unicode()))
            return true;
    return false;
}

Fd Open(const QString& path, int flags, mode_t mode, struct stat* status) {
    // O_NONBLOCK keeps a named pipe from blocking the open until a writer
    // comes; it changes nothing for the regular files we go on to use.
    int fd;
    do {
        fd = ::open(NativePath(path).constData(), flags | O_CLOEXEC | O_NONBLOCK, mode);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0)
        throw StoreError::fromErrno(path, OpOpen(), errno);
    Fd file(fd);
    const struct stat st = Stat(fd, path);
    if (!S_ISREG(st.st_mode))
        throw StoreError(path, OpOpen(), StoreProblem::NotRegularFile);
    if (status)
        *status = st;
    return file;
}

struct stat Stat(int fd, const QString& path) {
    struct stat st;
    if (::fstat(fd, &st) != 0)
        throw StoreError::fromErrno(path, OpRead(), errno);
    return st;
}

QString RealFilePath(const QString& path) {
    char resolved[PATH_MAX];
    if (!::realpath(NativePath(path).constData(), resolved))
        throw StoreError::fromErrno(path, OpOpen(), errno);
    return NameFromNative(resolved);
}

QByteArray ReadAt(int fd, qint64 offset, qint64 length, const QString& path) {
    QByteArray buffer(length, Qt::Uninitialized);
    qint64 got = 0;
    while (got < length) {
        const ssize_t n = ::pread(fd, buffer.data() + got, size_t(length - got), offset + got);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw StoreError::fromErrno(path, OpRead(), errno);
        }
        if (n == 0)
            break;
        got += n;
    }
    buffer.truncate(got);
    return buffer;
}

void WriteAt(int fd, const char* data, qint64 size, qint64 offset, const QString& path) {
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = offset < 0
                              ? ::write(fd, data + done, size_t(size - done))
                              : ::pwrite(fd, data + done, size_t(size - done), offset + done);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw StoreError::fromErrno(path, OpWrite(), errno);
        }
        done += n;
    }
}

FileBytes::FileBytes(int fd, qint64 length, QByteArray head, QString path)
    : fd_(fd), length_(length), head_(std::move(head)), path_(std::move(path)) {}

FileBytes::FileBytes(QByteArrayView whole) : length_(whole.size()), head_(whole.toByteArray()) {}

QByteArray FileBytes::at(qint64 offset, qint64 want, qint64 need) {
    if (offset < 0 || offset >= length_ || want <= 0)
        return {};
    const qint64 enough = std::min(need, length_ - offset);
    for (const auto& [start, bytes] :
         {std::pair<qint64, const QByteArray&>{0, head_},
          std::pair<qint64, const QByteArray&>{blockOffset_, block_}}) {
        const qint64 end = start + bytes.size();
        if (offset >= start && offset + enough <= end)
            return bytes.mid(offset - start, std::min(want, end - offset));
    }
    block_ = ReadAt(fd_, offset, std::min(want, length_ - offset), path_);
    blockOffset_ = offset;
    return block_;
}

}  // namespace fileio
