#include "store/sysio.h"

#include <stdio.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <cerrno>

namespace sysio {

namespace {

// Calls `f` again while it fails with EINTR.
template <typename F>
auto Retry(F f) {
    for (;;) {
        const auto result = f();
        if (result >= 0 || errno != EINTR)
            return result;
    }
}

}  // namespace

const char* CallName(Call call) {
    static const char* const kNames[kCallKinds] = {
        "open",      "close",     "fstat",
        "fstatat",   "pread",     "pwrite",
        "fsync",     "fdatasync", "syncfs",
        "ftruncate", "renameat2", "renameat2(RENAME_NOREPLACE)",
        "linkat",    "unlinkat",  "mkostemp",
        "fchmod",    "fchown",    "flistxattr",
        "fgetxattr", "fsetxattr", "copy_file_range",
        "lseek",     "flock",     "futimens",
        "mkdirat",   "rmdir",
    };
    const int i = int(call);
    return i >= 0 && i < kCallKinds ? kNames[i] : "?";
}

int SysIO::openat(int dirfd, const char* path, int flags, mode_t mode) {
    return Retry([&] { return ::openat(dirfd, path, flags | O_CLOEXEC, mode); });
}

int SysIO::close(int fd) {
    // Linux releases the descriptor even when close reports EINTR; calling
    // it again could close a descriptor another thread has just opened.
    return ::close(fd);
}

int SysIO::fstat(int fd, struct stat* st) {
    return ::fstat(fd, st);
}

int SysIO::fstatat(int dirfd, const char* path, struct stat* st, int flags) {
    return ::fstatat(dirfd, path, st, flags);
}

ssize_t SysIO::pread(int fd, void* buffer, size_t count, off_t offset) {
    return Retry([&] { return ::pread(fd, buffer, count, offset); });
}

ssize_t SysIO::pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    return Retry([&] { return ::pwrite(fd, buffer, count, offset); });
}

int SysIO::fsync(int fd) {
    return Retry([&] { return ::fsync(fd); });
}

int SysIO::fdatasync(int fd) {
    return Retry([&] { return ::fdatasync(fd); });
}

int SysIO::syncfs(int fd) {
    return ::syncfs(fd);
}

int SysIO::ftruncate(int fd, off_t length) {
    return Retry([&] { return ::ftruncate(fd, length); });
}

int SysIO::renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    return ::renameat2(fromDir, from, toDir, to, flags);
}

int SysIO::linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    return ::linkat(fromDir, from, toDir, to, flags);
}

int SysIO::unlinkat(int dirfd, const char* path, int flags) {
    return ::unlinkat(dirfd, path, flags);
}

int SysIO::mkostemp(char* pattern, int flags) {
    return ::mkostemp(pattern, flags | O_CLOEXEC);
}

int SysIO::fchmod(int fd, mode_t mode) {
    return ::fchmod(fd, mode);
}

int SysIO::fchown(int fd, uid_t owner, gid_t group) {
    return ::fchown(fd, owner, group);
}

ssize_t SysIO::flistxattr(int fd, char* list, size_t size) {
    return ::flistxattr(fd, list, size);
}

ssize_t SysIO::fgetxattr(int fd, const char* name, void* value, size_t size) {
    return ::fgetxattr(fd, name, value, size);
}

int SysIO::fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    return ::fsetxattr(fd, name, value, size, flags);
}

ssize_t SysIO::copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count,
                               unsigned flags) {
    return Retry([&] { return ::copy_file_range(in, inOffset, out, outOffset, count, flags); });
}

off_t SysIO::lseek(int fd, off_t offset, int whence) {
    return ::lseek(fd, offset, whence);
}

int SysIO::flock(int fd, int operation) {
    return Retry([&] { return ::flock(fd, operation); });
}

int SysIO::futimens(int fd, const struct timespec times[2]) {
    return ::futimens(fd, times);
}

int SysIO::mkdirat(int dirfd, const char* path, mode_t mode) {
    return ::mkdirat(dirfd, path, mode);
}

SysIO& System() {
    static SysIO real;
    return real;
}

File& File::operator=(File&& other) noexcept {
    if (this != &other) {
        reset();
        io_ = other.io_;
        fd_ = other.release();
    }
    return *this;
}

int File::close() {
    const int fd = release();
    if (fd < 0 || !io_)
        return 0;
    return io_->close(fd) == 0 ? 0 : errno;
}

int WriteAll(SysIO& io, int fd, const void* data, size_t count, off_t offset) {
    const char* p = static_cast<const char*>(data);
    size_t done = 0;
    while (done < count) {
        const ssize_t n = io.pwrite(fd, p + done, count - done, offset + off_t(done));
        if (n < 0)
            return errno;
        if (n == 0)
            return ENOSPC;
        done += size_t(n);
    }
    return 0;
}

ssize_t ReadAll(SysIO& io, int fd, void* buffer, size_t count, off_t offset) {
    char* p = static_cast<char*>(buffer);
    size_t got = 0;
    while (got < count) {
        const ssize_t n = io.pread(fd, p + got, count - got, offset + off_t(got));
        if (n < 0)
            return -1;
        if (n == 0)
            break;
        got += size_t(n);
    }
    return ssize_t(got);
}

}  // namespace sysio
