#include "store/fileio.h"

#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <algorithm>
#include <cerrno>
#include <utility>

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

QByteArray NativePath(const QString& path) {
    return QFile::encodeName(path);
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
        throw StoreError(path, OpOpen(), QStringLiteral("这不是一个普通文件"));
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
