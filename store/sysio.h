#pragma once

// The system calls that change files, behind one small interface, so that a
// test can make any step of a write fail (FaultyIO) and then check that every
// file is its old self or its new self and that the report says which.
//
// Every method has the contract of the system call of the same name: it
// returns what the call returns, and on failure -1 with errno set. The
// methods never return EINTR: an interrupted call is made again.
//
// The interface is passed explicitly (a `SysIO&` argument or member), never
// looked up from a global or a thread-local. A batch runs on a worker thread
// while the test that set up the faults runs on another; an explicit object
// reaches both, keeps two tests that run at once apart, and leaves no hidden
// state in the store. System() is the real one: it holds no state, so any
// number of threads may share it, and a call through it costs one indirect
// function call on top of the system call (see bench/journal_bench.cpp).
//
// Readers that only read (the list loader) call the system directly; the
// seam is for code that writes, and for the reads a writer bases its
// decisions on.

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/types.h>

namespace sysio {

// The kinds of call, for counting and failing them (FaultyIO).
enum class Call {
    Open,
    Close,
    Fstat,
    Fstatat,
    Pread,
    Pwrite,
    Fsync,
    Fdatasync,
    Syncfs,
    Ftruncate,
    Rename,           // renameat2 without RENAME_NOREPLACE: replaces the target
    RenameNoReplace,  // renameat2 with RENAME_NOREPLACE
    Link,
    Unlink,
    Mkostemp,
    Fchmod,
    Fchown,
    Flistxattr,
    Fgetxattr,
    Fsetxattr,
    CopyFileRange,
    Lseek,
    Flock,
    Futimens,
    Mkdir,
    Rmdir,
};
inline constexpr int kCallKinds = int(Call::Rmdir) + 1;

// "pwrite", "renameat2(RENAME_NOREPLACE)", ... for test names and logs.
const char* CallName(Call call);

class SysIO {
  public:
    SysIO() = default;
    SysIO(const SysIO&) = delete;
    SysIO& operator=(const SysIO&) = delete;
    virtual ~SysIO() = default;

    // Opens with O_CLOEXEC added.
    virtual int openat(int dirfd, const char* path, int flags, mode_t mode = 0);
    int open(const char* path, int flags, mode_t mode = 0) {
        return openat(AT_FDCWD, path, flags, mode);
    }
    virtual int close(int fd);
    virtual int fstat(int fd, struct stat* st);
    virtual int fstatat(int dirfd, const char* path, struct stat* st, int flags);
    // One call each: a short count is passed on (WriteAll/ReadAll loop).
    virtual ssize_t pread(int fd, void* buffer, size_t count, off_t offset);
    virtual ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset);
    virtual int fsync(int fd);
    virtual int fdatasync(int fd);
    virtual int syncfs(int fd);
    virtual int ftruncate(int fd, off_t length);
    // Call::Rename without RENAME_NOREPLACE in `flags`, Call::RenameNoReplace with it.
    virtual int renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags);
    virtual int linkat(int fromDir, const char* from, int toDir, const char* to, int flags);
    // Call::Rmdir with AT_REMOVEDIR in `flags`, Call::Unlink without.
    virtual int unlinkat(int dirfd, const char* path, int flags);
    // `pattern` ends in "XXXXXX", which is replaced by the name made; O_CLOEXEC is added.
    virtual int mkostemp(char* pattern, int flags);
    virtual int fchmod(int fd, mode_t mode);
    virtual int fchown(int fd, uid_t owner, gid_t group);
    virtual ssize_t flistxattr(int fd, char* list, size_t size);
    virtual ssize_t fgetxattr(int fd, const char* name, void* value, size_t size);
    virtual int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags);
    virtual ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset,
                                    size_t count, unsigned flags);
    virtual off_t lseek(int fd, off_t offset, int whence);
    virtual int flock(int fd, int operation);
    virtual int futimens(int fd, const struct timespec times[2]);
    virtual int mkdirat(int dirfd, const char* path, mode_t mode);

    // Conveniences over the calls above (they count as those calls).
    int unlink(const char* path) { return unlinkat(AT_FDCWD, path, 0); }
    int rmdir(const char* path) { return unlinkat(AT_FDCWD, path, AT_REMOVEDIR); }
    int mkdir(const char* path, mode_t mode) { return mkdirat(AT_FDCWD, path, mode); }
    int lstat(const char* path, struct stat* st) {
        return fstatat(AT_FDCWD, path, st, AT_SYMLINK_NOFOLLOW);
    }
};

// The real system calls. Shared by every thread.
SysIO& System();

// Closes a descriptor it owns through the SysIO it was opened with.
class File {
  public:
    File() = default;
    File(SysIO& io, int fd) : io_(&io), fd_(fd) {}
    ~File() { reset(); }
    File(File&& other) noexcept : io_(other.io_), fd_(other.release()) {}
    File& operator=(File&& other) noexcept;
    File(const File&) = delete;
    File& operator=(const File&) = delete;

    int get() const { return fd_; }
    bool isOpen() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    // Closes now; returns 0 or the errno of a failed close (which can hide
    // a failed write on some file systems).
    int close();
    void reset() { (void)close(); }

  private:
    SysIO* io_ = nullptr;
    int fd_ = -1;
};

// Writes all of `count` bytes at `offset`, calling pwrite again after a
// short count. Returns 0 or the errno of the call that failed; a call that
// writes nothing counts as ENOSPC.
int WriteAll(SysIO& io, int fd, const void* data, size_t count, off_t offset);
// Reads up to `count` bytes at `offset` into `buffer`; fewer only at the
// end of the file. Returns the count read, or -1 with errno set.
ssize_t ReadAll(SysIO& io, int fd, void* buffer, size_t count, off_t offset);

}  // namespace sysio
