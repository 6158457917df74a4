#pragma once

// A SysIO for tests that makes chosen calls fail, write short, or stop the
// run as a crash would, and counts every call by kind. Calls it does not
// fail go to the real system.
//
// Calls are numbered per kind from 1 in the order they reach this object,
// across all threads (the counters are under one lock; a test that wants a
// deterministic count runs its batch on one thread). Faults are kept until
// clear(); one call may match several rules, the first added wins.
//
// The usual test walks every step: run once with no faults to learn the
// counts, then for each kind and each n up to its count run again with
// fail(kind, n, err) and check the files and the report.

#include <QList>
#include <QtGlobal>
#include <array>
#include <climits>
#include <functional>
#include <mutex>

#include "store/sysio.h"

namespace sysio {

// Thrown by FaultyIO::crashAt: the run stops where it is, as if the process
// had been killed. Deliberately not a StoreError, so no store routine
// catches it as a failure of one file.
struct SimulatedCrash {
    Call call;
    int nth;
};

class FaultyIO : public SysIO {
  public:
    // The `nth` call of `call` fails with `err` and does nothing.
    void fail(Call call, int nth, int err) { add({call, nth, nth, err, -1, false}); }
    // Every call of `call` from the `nth` on fails with `err` (a full disk).
    void failFrom(Call call, int nth, int err) { add({call, nth, INT_MAX, err, -1, false}); }
    // The `nth` pwrite writes only its first `bytes` bytes and reports that.
    void shortWrite(int nth, size_t bytes) {
        add({Call::Pwrite, nth, nth, 0, qint64(bytes), false});
    }
    // The `nth` call of `call` throws SimulatedCrash instead of running.
    // From then on, as after a real crash, nothing reaches the disk: every
    // call fails with EIO (a close still closes, as the kernel would).
    void crashAt(Call call, int nth) { add({call, nth, nth, 0, -1, true}); }
    // Throws SimulatedCrash at the `nth` call of any kind of those that
    // change a file or its name (writes, truncations, renames, links,
    // removals, creations, syncs): the points a kill can fall between.
    void crashAtChange(int nth);

    // Runs `action` just before the `nth` call of `call` goes to the
    // system: another program meddling at that exact step. The action runs
    // without the object's lock held; its own system calls are not counted.
    void before(Call call, int nth, std::function<void()> action);

    // Forgets the rules and the counts.
    void clear();
    int count(Call call) const;
    // Calls of every kind so far.
    std::array<int, kCallKinds> counts() const;
    // Calls that change files (see crashAtChange) so far.
    int changes() const;

    int openat(int dirfd, const char* path, int flags, mode_t mode = 0) override;
    int close(int fd) override;
    int fstat(int fd, struct stat* st) override;
    int fstatat(int dirfd, const char* path, struct stat* st, int flags) override;
    ssize_t pread(int fd, void* buffer, size_t count, off_t offset) override;
    ssize_t pwrite(int fd, const void* buffer, size_t count, off_t offset) override;
    int fsync(int fd) override;
    int fdatasync(int fd) override;
    int syncfs(int fd) override;
    int ftruncate(int fd, off_t length) override;
    int renameat2(int fromDir, const char* from, int toDir, const char* to,
                  unsigned flags) override;
    int linkat(int fromDir, const char* from, int toDir, const char* to, int flags) override;
    int unlinkat(int dirfd, const char* path, int flags) override;
    int mkostemp(char* pattern, int flags) override;
    int fchmod(int fd, mode_t mode) override;
    int fchown(int fd, uid_t owner, gid_t group) override;
    ssize_t flistxattr(int fd, char* list, size_t size) override;
    ssize_t fgetxattr(int fd, const char* name, void* value, size_t size) override;
    int fsetxattr(int fd, const char* name, const void* value, size_t size, int flags) override;
    ssize_t copy_file_range(int in, off_t* inOffset, int out, off_t* outOffset, size_t count,
                            unsigned flags) override;
    off_t lseek(int fd, off_t offset, int whence) override;
    int flock(int fd, int operation) override;
    int futimens(int fd, const struct timespec times[2]) override;
    int mkdirat(int dirfd, const char* path, mode_t mode) override;

  private:
    struct Rule {
        Call call;
        int first;
        int last;
        int err;
        qint64 shortBytes;  // >= 0: a short write of this many bytes
        bool crash;
        bool anyChange = false;
        std::function<void()> action{};
    };
    struct Verdict {
        int err = 0;
        qint64 shortBytes = -1;
    };
    void add(const Rule& rule);
    // Counts the call and decides its fate; throws SimulatedCrash.
    Verdict enter(Call call);

    mutable std::mutex mutex_;
    QList<Rule> rules_;
    std::array<int, kCallKinds> counts_{};
    int changes_ = 0;
    bool crashed_ = false;
};

}  // namespace sysio
