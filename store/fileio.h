#pragma once

// Small POSIX file helpers shared by the store's path wrappers. Every
// failure becomes a StoreError naming the path and what was being done.

#include <sys/stat.h>

#include <QByteArray>
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

}  // namespace fileio

struct FileFacts;
// The facts of an open file (or, with fd < 0, of `path`) from its status.
FileFacts FactsFromStat(const QString& path, const struct stat& st, int fd);
