#pragma once

// Small POSIX file helpers shared by the store's path wrappers. Every
// failure becomes a StoreError naming the path and what was being done.

#include <sys/stat.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "store/error.h"

namespace fileio {

// Operation names as the user reads them in messages.
inline QString OpOpen() {
    return QStringLiteral("打开");
}
inline QString OpRead() {
    return QStringLiteral("读取");
}
inline QString OpWrite() {
    return QStringLiteral("写入");
}

class Fd {
  public:
    Fd() = default;
    explicit Fd(int fd) : fd_(fd) {}
    ~Fd();
    Fd(Fd&& other) noexcept : fd_(other.release()) {}
    Fd& operator=(Fd&& other) noexcept;
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;

    int get() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now and reports a failed close (which can hide a failed write).
    void close(const QString& path);

  private:
    int fd_ = -1;
};

QByteArray NativePath(const QString& path);

// Opens a regular file; anything else (a folder, a named pipe, a device) is
// a StoreError. The file's status, which the check needs anyway, goes to
// `status` when given.
Fd Open(const QString& path, int flags, mode_t mode = 0, struct stat* status = nullptr);
struct stat Stat(int fd, const QString& path);

// Reads up to `length` bytes at `offset`; fewer only at the end of the file.
QByteArray ReadAt(int fd, qint64 offset, qint64 length, const QString& path);
// Writes all of `bytes` at `offset` (or at the current position when
// offset < 0).
void WriteAt(int fd, const char* data, qint64 size, qint64 offset, const QString& path);

// The bytes of an open file for several readers that each look at a few
// places: the first bytes the caller read (the head) and the last block read
// here are kept, so a reader looking where another one just did reads
// nothing. A file held whole in memory is served the same way, without reads.
class FileBytes {
  public:
    FileBytes(int fd, qint64 length, QByteArray head, QString path);
    explicit FileBytes(QByteArrayView whole);

    qint64 length() const { return length_; }
    const QByteArray& head() const { return head_; }

    // At most `want` bytes from `offset`: the kept bytes there when they
    // hold at least `need` of them or reach the end of the file, otherwise
    // `want` bytes read (fewer only at the end of the file). So the result
    // may be shorter than `want` though the file goes on; it is shorter than
    // `need` only at the end of the file. Throws StoreError when a read fails.
    QByteArray at(qint64 offset, qint64 want, qint64 need);

  private:
    int fd_ = -1;
    qint64 length_ = 0;
    QByteArray head_;
    QString path_;
    qint64 blockOffset_ = 0;
    QByteArray block_;
};

}  // namespace fileio

struct FileFacts;
// The facts of an open file (or, with fd < 0, of `path`) from its status.
FileFacts FactsFromStat(const QString& path, const struct stat& st, int fd);
