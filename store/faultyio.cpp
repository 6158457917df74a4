#include "store/faultyio.h"

#include <cerrno>

namespace sysio {

namespace {

// The calls after which the files or the names on disk differ.
bool ChangesFiles(Call call) {
    switch (call) {
        case Call::Pwrite:
        case Call::Ftruncate:
        case Call::Rename:
        case Call::RenameNoReplace:
        case Call::Link:
        case Call::Unlink:
        case Call::Mkostemp:
        case Call::Fchmod:
        case Call::Fchown:
        case Call::Fsetxattr:
        case Call::CopyFileRange:
        case Call::Futimens:
        case Call::Mkdir:
        case Call::Rmdir:
            return true;
        default:
            return false;
    }
}

}  // namespace

void FaultyIO::crashAtChange(int nth) {
    Rule rule{Call::Pwrite, nth, nth, 0, -1, true};
    rule.anyChange = true;
    add(rule);
}

void FaultyIO::add(const Rule& rule) {
    std::lock_guard lock(mutex_);
    rules_.append(rule);
}

void FaultyIO::clear() {
    std::lock_guard lock(mutex_);
    rules_.clear();
    crashed_ = false;
    counts_.fill(0);
    changes_ = 0;
}

int FaultyIO::count(Call call) const {
    std::lock_guard lock(mutex_);
    return counts_[size_t(call)];
}

std::array<int, kCallKinds> FaultyIO::counts() const {
    std::lock_guard lock(mutex_);
    return counts_;
}

int FaultyIO::changes() const {
    std::lock_guard lock(mutex_);
    return changes_;
}

void FaultyIO::before(Call call, int nth, std::function<void()> action) {
    Rule rule{call, nth, nth, 0, -1, false};
    rule.action = std::move(action);
    add(rule);
}

FaultyIO::Verdict FaultyIO::enter(Call call) {
    std::unique_lock lock(mutex_);
    if (crashed_)
        return {EIO, -1};
    const int nth = ++counts_[size_t(call)];
    const bool change = ChangesFiles(call);
    if (change)
        ++changes_;
    for (const Rule& rule : rules_) {
        if (rule.action && rule.call == call && rule.first == nth) {
            const std::function<void()> action = rule.action;
            lock.unlock();
            action();
            lock.lock();
            break;
        }
    }
    for (const Rule& rule : rules_) {
        if (rule.action)
            continue;
        if (rule.anyChange) {
            if (change && changes_ == rule.first) {
                crashed_ = true;
                throw SimulatedCrash{call, nth};
            }
            continue;
        }
        if (rule.call != call || nth < rule.first || nth > rule.last)
            continue;
        if (rule.crash) {
            crashed_ = true;
            throw SimulatedCrash{call, nth};
        }
        return {rule.err, rule.shortBytes};
    }
    return {};
}

// Each call: a failing verdict sets errno and returns -1 without touching
// the system; otherwise the real call runs.
#define TAMBERLO_FAULT_GATE(kind)      \
    do {                               \
        const Verdict v = enter(kind); \
        if (v.err != 0) {              \
            errno = v.err;             \
            return -1;                 \
        }                              \
    } while (false)

int FaultyIO::openat(int dirfd, const char* path, int flags, mode_t mode) {
    TAMBERLO_FAULT_GATE(Call::Open);
    return SysIO::openat(dirfd, path, flags, mode);
}

int FaultyIO::close(int fd) {
    const Verdict v = enter(Call::Close);
    if (v.err != 0) {
        // A failed close still releases the descriptor; only the report differs.
        SysIO::close(fd);
        errno = v.err;
        return -1;
    }
    return SysIO::close(fd);
}

int FaultyIO::fstat(int fd, struct stat* st) {
    TAMBERLO_FAULT_GATE(Call::Fstat);
    return SysIO::fstat(fd, st);
}

int FaultyIO::fstatat(int dirfd, const char* path, struct stat* st, int flags) {
    TAMBERLO_FAULT_GATE(Call::Fstatat);
    return SysIO::fstatat(dirfd, path, st, flags);
}

ssize_t FaultyIO::pread(int fd, void* buffer, size_t count, off_t offset) {
    TAMBERLO_FAULT_GATE(Call::Pread);
    return SysIO::pread(fd, buffer, count, offset);
}

ssize_t FaultyIO::pwrite(int fd, const void* buffer, size_t count, off_t offset) {
    const Verdict v = enter(Call::Pwrite);
    if (v.err != 0) {
        errno = v.err;
        return -1;
    }
    if (v.shortBytes >= 0 && size_t(v.shortBytes) < count)
        count = size_t(v.shortBytes);
    return SysIO::pwrite(fd, buffer, count, offset);
}

int FaultyIO::fsync(int fd) {
    TAMBERLO_FAULT_GATE(Call::Fsync);
    return SysIO::fsync(fd);
}

int FaultyIO::fdatasync(int fd) {
    TAMBERLO_FAULT_GATE(Call::Fdatasync);
    return SysIO::fdatasync(fd);
}

int FaultyIO::syncfs(int fd) {
    TAMBERLO_FAULT_GATE(Call::Syncfs);
    return SysIO::syncfs(fd);
}

int FaultyIO::ftruncate(int fd, off_t length) {
    TAMBERLO_FAULT_GATE(Call::Ftruncate);
    return SysIO::ftruncate(fd, length);
}

int FaultyIO::renameat2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
    TAMBERLO_FAULT_GATE((flags & RENAME_NOREPLACE) ? Call::RenameNoReplace : Call::Rename);
    return SysIO::renameat2(fromDir, from, toDir, to, flags);
}

int FaultyIO::linkat(int fromDir, const char* from, int toDir, const char* to, int flags) {
    TAMBERLO_FAULT_GATE(Call::Link);
    return SysIO::linkat(fromDir, from, toDir, to, flags);
}

int FaultyIO::unlinkat(int dirfd, const char* path, int flags) {
    TAMBERLO_FAULT_GATE((flags & AT_REMOVEDIR) ? Call::Rmdir : Call::Unlink);
    return SysIO::unlinkat(dirfd, path, flags);
}

int FaultyIO::mkostemp(char* pattern, int flags) {
    TAMBERLO_FAULT_GATE(Call::Mkostemp);
    return SysIO::mkostemp(pattern, flags);
}

int FaultyIO::fchmod(int fd, mode_t mode) {
    TAMBERLO_FAULT_GATE(Call::Fchmod);
    return SysIO::fchmod(fd, mode);
}

int FaultyIO::fchown(int fd, uid_t owner, gid_t group) {
    TAMBERLO_FAULT_GATE(Call::Fchown);
    return SysIO::fchown(fd, owner, group);
}

ssize_t FaultyIO::flistxattr(int fd, char* list, size_t size) {
    TAMBERLO_FAULT_GATE(Call::Flistxattr);
    return SysIO::flistxattr(fd, list, size);
}

ssize_t FaultyIO::fgetxattr(int fd, const char* name, void* value, size_t size) {
    TAMBERLO_FAULT_GATE(Call::Fgetxattr);
    return SysIO::fgetxattr(fd, name, value, size);
}

int FaultyIO::fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) {
    TAMBERLO_FAULT_GATE(Call::Fsetxattr);
    return SysIO::fsetxattr(fd, name, value, size, flags);
}

ssize_t FaultyIO::copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count,
                                  unsigned flags) {
    TAMBERLO_FAULT_GATE(Call::CopyFileRange);
    return SysIO::copy_file_range(in, inOffset, out, outOffset, count, flags);
}

off_t FaultyIO::lseek(int fd, off_t offset, int whence) {
    TAMBERLO_FAULT_GATE(Call::Lseek);
    return SysIO::lseek(fd, offset, whence);
}

int FaultyIO::flock(int fd, int operation) {
    TAMBERLO_FAULT_GATE(Call::Flock);
    return SysIO::flock(fd, operation);
}

int FaultyIO::futimens(int fd, const struct timespec times[2]) {
    TAMBERLO_FAULT_GATE(Call::Futimens);
    return SysIO::futimens(fd, times);
}

int FaultyIO::mkdirat(int dirfd, const char* path, mode_t mode) {
    TAMBERLO_FAULT_GATE(Call::Mkdir);
    return SysIO::mkdirat(dirfd, path, mode);
}

#undef TAMBERLO_FAULT_GATE

}  // namespace sysio
