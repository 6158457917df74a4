#pragma once

// Small POSIX file helpers shared by the store's path wrappers. Every
// failure becomes a StoreError naming the path and what was being done.

#include <sys/stat.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include "store/error.h"

namespace fileio {

// The operations most failures name.
inline StoreOp OpOpen() {
    return StoreOp::Open;
}
inline StoreOp OpRead() {
    return StoreOp::Read;
}
inline StoreOp OpWrite() {
    return StoreOp::Write;
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

// File names are exact bytes. A name or path that came from the file system
// is carried in a QString that is a lossless image of its bytes: valid UTF-8
// decodes as usual, and each byte of an invalid UTF-8 sequence becomes the
// lone low surrogate U+DC00 + byte (U+DC80..U+DCFF), as "surrogateescape"
// does. NativePath turns such a string back into exactly those bytes, and
// every system call on a path goes through it.
//
// Strictly valid UTF-8 only: overlong forms, encoded surrogates and code
// points above U+10FFFF are invalid and kept as escaped bytes.
QString NameFromNative(QByteArrayView bytes);
// The exact inverse of NameFromNative on every string it returns. A string
// that is the image of no bytes (it holds another lone surrogate, or escapes
// whose bytes form valid UTF-8) still encodes, but not back to itself; see
// IsExactName.
QByteArray NativePath(const QString& path);
// True when `name` is the image of its own bytes, so NativePath names the
// file the string was meant to name. Text typed or read from tags that holds
// a lone surrogate is not.
bool IsExactName(const QString& name);
// True when `name` holds a byte of an invalid UTF-8 sequence.
bool HasEscapedBytes(const QString& name);

// Opens a regular file; anything else (a folder, a named pipe, a device) is
// a StoreError. The file's status, which the check needs anyway, goes to
// `status` when given.
Fd Open(const QString& path, int flags, mode_t mode = 0, struct stat* status = nullptr);
struct stat Stat(int fd, const QString& path);

// `path` with every symbolic link resolved. Throws StoreError when it
// cannot be resolved (gone, a loop, no access).
QString RealFilePath(const QString& path);

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
