#include "store/safewrite.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QThread>
#include <cerrno>

#include "store/error.h"
#include "store/fileio.h"
#include "store/journalformat.h"

namespace {

StoreOp OpLock() {
    return StoreOp::Lock;
}
StoreOp OpReplace() {
    return StoreOp::Replace;
}
StoreOp OpRename() {
    return StoreOp::Rename;
}

ApplyResult Result(ApplyStatus status, QString reason) {
    ApplyResult r;
    r.status = status;
    r.reason = std::move(reason);
    return r;
}

QByteArray NameOf(const QByteArray& path) {
    return path.mid(path.lastIndexOf('/') + 1);
}

constexpr qsizetype kTempSuffixLength = 16;  // ".tamberlo-XXXXXX"
constexpr qsizetype kNameMax = 255;

QByteArray TempPrefixOfName(const QByteArray& name) {
    return '.' + name.left(kNameMax - 1 - kTempSuffixLength) + ".tamberlo-";
}

// Whether the locked file is still what `change` was planned on: the same
// identity and, in every splice, the old bytes.
bool StillAsPlanned(sysio::SysIO& io, const LockedFile& file, const FileChange& change) {
    if (!(file.identity() == change.before))
        return false;
    for (const Splice& s : change.splices) {
        if (s.before.length == 0)
            continue;
        if (ReadRange(io, file.fd(), s.offset, s.before.length, change.path) != s.before.bytes)
            return false;
    }
    return true;
}

int SetMtime(sysio::SysIO& io, int fd, qint64 mtimeNs) {
    struct timespec times[2];
    times[0].tv_sec = 0;
    times[0].tv_nsec = UTIME_OMIT;
    times[1].tv_sec = time_t(mtimeNs / 1000000000);
    times[1].tv_nsec = long(mtimeNs % 1000000000);
    return io.futimens(fd, times) == 0 ? 0 : errno;
}

QString MtimeWarning(const QString& path, int err) {
    return SystemFailure(path, StoreOp::KeepModTime, err);
}

ApplyResult ApplyInPlace(sysio::SysIO& io, LockedFile& file, const FileChange& change,
                         const ApplyOptions& options) {
    // The length was checked against the plan under the lock.
    const int err = WriteSides(io, file.fd(), change, true, change.before.size);
    if (err != 0) {
        // Some of the new bytes may be in the file: put the old ones back.
        if (WriteSides(io, file.fd(), change, false) == 0)
            return Result(ApplyStatus::Failed, SystemFailure(change.path, fileio::OpWrite(), err));
        return Result(ApplyStatus::Uncertain, SystemFailure(change.path, fileio::OpWrite(), err));
    }
    ApplyResult r;
    r.status = ApplyStatus::Written;
    if (options.keepMtime) {
        if (const int e = SetMtime(io, file.fd(), change.before.mtimeNs))
            r.warning = MtimeWarning(change.path, e);
    }
    if (const int e = file.close())
        return Result(ApplyStatus::Uncertain, SystemFailure(change.path, fileio::OpWrite(), e));
    return r;
}

// Gives `to` the extended attributes of `from`: access control lists, the
// DOS attributes a Samba share keeps, desktop tags. Best effort: a name the
// process may not set (security.*, trusted.*) or a file system without
// them does not stop the rewrite; the permission bits are in place already.
void CopyExtendedAttributes(sysio::SysIO& io, int from, int to) {
    const ssize_t listSize = io.flistxattr(from, nullptr, 0);
    if (listSize <= 0)
        return;
    QByteArray names(listSize, '\0');
    const ssize_t got = io.flistxattr(from, names.data(), size_t(names.size()));
    if (got <= 0)
        return;
    names.truncate(got);
    QByteArray value;
    for (const QByteArray& name : names.split('\0')) {
        if (name.isEmpty())
            continue;
        const ssize_t size = io.fgetxattr(from, name.constData(), nullptr, 0);
        if (size < 0)
            continue;
        value.resize(size);
        const ssize_t read = io.fgetxattr(from, name.constData(), value.data(), size_t(size));
        if (read < 0)
            continue;
        (void)io.fsetxattr(to, name.constData(), value.constData(), size_t(read), 0);
    }
}

// The temporary file of a rewrite; removed unless it was renamed into place.
class TempFile {
  public:
    TempFile(sysio::SysIO& io, QByteArray path, sysio::File file)
        : io_(io), path_(std::move(path)), file_(std::move(file)) {}
    ~TempFile() {
        if (!path_.isEmpty())
            io_.unlink(path_.constData());
    }
    int fd() const { return file_.get(); }
    const QByteArray& path() const { return path_; }
    int close() { return file_.close(); }
    void committed() { path_.clear(); }

  private:
    sysio::SysIO& io_;
    QByteArray path_;
    sysio::File file_;
};

ApplyResult ApplyBeside(sysio::SysIO& io, LockedFile& source, const FileChange& change,
                        const ApplyOptions& options) {
    const QString& path = change.path;
    const struct stat& st = source.status();
    QByteArray tempPath = TempPattern(path);
    const int tfd = io.mkostemp(tempPath.data(), 0);
    if (tfd < 0)
        return Result(ApplyStatus::Failed,
                      SystemFailure(PathFromBytes(FolderOfPath(PathBytes(path))),
                                    StoreOp::CreateTempIn, errno));
    TempFile temp(io, tempPath, sysio::File(io, tfd));
    const QString tempName = PathFromBytes(tempPath);
    const auto fail = [&](StoreOp op, int err) {
        return Result(ApplyStatus::Failed, SystemFailure(tempName, op, err));
    };
    // Held until the rename, so start-up recovery in another process leaves
    // this file alone.
    if (io.flock(temp.fd(), LOCK_EX | LOCK_NB) != 0)
        return fail(OpLock(), errno);

    qint64 in = 0;
    qint64 out = 0;
    for (const Splice& s : change.splices) {
        if (const int e = CopyKeepingHoles(io, source.fd(), in, s.offset - in, temp.fd(), out))
            return fail(fileio::OpWrite(), e);
        out += s.offset - in;
        if (const int e = sysio::WriteAll(io, temp.fd(), s.after.bytes.constData(),
                                          size_t(s.after.length), out))
            return fail(fileio::OpWrite(), e);
        out += s.after.length;
        in = s.offset + s.before.length;
    }
    if (const int e = CopyKeepingHoles(io, source.fd(), in, st.st_size - in, temp.fd(), out))
        return fail(fileio::OpWrite(), e);
    if (io.ftruncate(temp.fd(), change.sizeAfter()) != 0)
        return fail(fileio::OpWrite(), errno);

    if (io.fchmod(temp.fd(), st.st_mode & 07777) != 0)
        return fail(fileio::OpWrite(), errno);
    // Owner and group only where the process may set them.
    if (io.fchown(temp.fd(), st.st_uid, st.st_gid) != 0 && errno != EPERM)
        return fail(fileio::OpWrite(), errno);
    // After the mode: an access control list carries its own mask.
    CopyExtendedAttributes(io, source.fd(), temp.fd());
    QString warning;
    if (options.keepMtime) {
        if (const int e = SetMtime(io, temp.fd(), change.before.mtimeNs))
            warning = MtimeWarning(path, e);
    }
    // The data must be on disk before the name points at it: a rename that
    // reached the disk ahead of the data would leave an empty file, and the
    // journal keeps only the tag's bytes, not the audio.
    if (io.fsync(temp.fd()) != 0)
        return fail(fileio::OpWrite(), errno);
    struct stat tempStatus;
    if (io.fstat(temp.fd(), &tempStatus) != 0)
        return fail(fileio::OpWrite(), errno);

    // The commit check: the copy was made under our lock, but a program
    // that ignores locks may have written the file meanwhile, or put
    // another file at its name.
    struct stat now;
    struct stat named;
    if (io.fstat(source.fd(), &now) != 0)
        return Result(ApplyStatus::Failed, SystemFailure(path, fileio::OpRead(), errno));
    if (!(IdentityOf(now) == change.before) || io.lstat(PathBytes(path).constData(), &named) != 0 ||
        !IdentityOf(named).sameFile(change.before))
        return Result(ApplyStatus::Refused, ChangedMeanwhileReason());

    if (io.renameat2(AT_FDCWD, temp.path().constData(), AT_FDCWD, PathBytes(path).constData(), 0) !=
        0)
        return Result(ApplyStatus::Failed, SystemFailure(path, OpReplace(), errno));
    temp.committed();
    ApplyResult r;
    r.status = ApplyStatus::Written;
    r.warning = warning;
    if (const int e = temp.close())
        // The data was flushed before the rename; a late close failure
        // still leaves the file's state unknown to us.
        return Result(ApplyStatus::Uncertain, SystemFailure(path, fileio::OpWrite(), e));
    return r;
}

}  // namespace

QString SystemFailure(const QString& path, StoreOp op, int err) {
    return StoreError::fromErrno(path, op, err).message();
}

QByteArray ReadRange(sysio::SysIO& io, int fd, qint64 offset, qint64 length, const QString& path) {
    QByteArray buffer(length, Qt::Uninitialized);
    const ssize_t got = sysio::ReadAll(io, fd, buffer.data(), size_t(length), offset);
    if (got < 0)
        throw StoreError::fromErrno(path, fileio::OpRead(), errno);
    buffer.truncate(got);
    return buffer;
}

QByteArray FolderOfPath(const QByteArray& path) {
    const qsizetype slash = path.lastIndexOf('/');
    if (slash < 0)
        return QByteArray(".");
    return slash == 0 ? QByteArray("/") : path.left(slash);
}

void ApplyUnjournaled(const FileChange& change, const QString& path, StoreOp operation) {
    if (change.splices.isEmpty())
        return;
    const ApplyResult applied = ApplyFileChange(sysio::System(), change);
    if (applied.status != ApplyStatus::Written)
        throw StoreError(path, operation, StoreProblem::Text, 0, applied.reason);
}

sysio::File OpenForPlanning(sysio::SysIO& io, const QString& path, QString* real, struct stat* st) {
    // A name that is no link opens as it is, without a look at it first.
    int fd = io.open(PathBytes(path).constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW);
    if (fd >= 0) {
        *real = path;
    } else if (errno == ELOOP) {
        *real = fileio::RealFilePath(path);
        fd = io.open(PathBytes(*real).constData(), O_RDONLY | O_NONBLOCK);
    }
    if (fd < 0)
        throw StoreError::fromErrno(path, fileio::OpOpen(), errno);
    sysio::File file(io, fd);
    if (io.fstat(fd, st) != 0)
        throw StoreError::fromErrno(path, fileio::OpRead(), errno);
    if (!S_ISREG(st->st_mode))
        throw StoreError(path, fileio::OpOpen(), StoreProblem::NotRegularFile);
    return file;
}

QString ChangedMeanwhileReason() {
    return StoreReasonText(StoreProblem::ChangedMeanwhile);
}

LockedFile LockedFile::Open(sysio::SysIO& io, const QString& path, int flags) {
    const QByteArray native = PathBytes(path);
    // About two seconds of waiting for another holder.
    for (int attempt = 0;; ++attempt) {
        const int fd = io.open(native.constData(), flags | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            throw StoreError::fromErrno(path, fileio::OpOpen(), errno);
        sysio::File file(io, fd);
        if (io.flock(fd, LOCK_EX | LOCK_NB) != 0) {
            if (errno != EWOULDBLOCK)
                throw StoreError::fromErrno(path, OpLock(), errno);
            if (attempt >= 200)
                throw StoreError(path, OpLock(), StoreProblem::LockedByOther);
            QThread::msleep(10);
            continue;
        }
        // The status is taken under the lock: a holder that let go just
        // before may have changed the file.
        struct stat st;
        if (io.fstat(fd, &st) != 0)
            throw StoreError::fromErrno(path, fileio::OpRead(), errno);
        if (!S_ISREG(st.st_mode))
            throw StoreError(path, fileio::OpOpen(), StoreProblem::NotRegularFile);
        // The holder may have renamed a new file over the name; then the
        // lock is on a file that no longer has it.
        struct stat named;
        if (io.lstat(native.constData(), &named) == 0 && named.st_dev == st.st_dev &&
            named.st_ino == st.st_ino)
            return LockedFile(std::move(file), st);
        if (attempt >= 200)
            throw StoreError(path, OpLock(), StoreProblem::LockedByOther);
    }
}

int WriteSides(sysio::SysIO& io, int fd, const FileChange& change, bool toNew, qint64 lengthNow) {
    // In place, only the last splice may change the length, at the end of
    // the file: writing past the end grows it, and a shrink is done last so
    // that no write lands beyond the new end.
    for (const Splice& s : change.splices) {
        const SpliceSide& side = toNew ? s.after : s.before;
        if (side.length == 0)
            continue;
        if (!side.whole())
            return EINVAL;
        if (const int e =
                sysio::WriteAll(io, fd, side.bytes.constData(), size_t(side.length), s.offset))
            return e;
        if (lengthNow >= 0)
            lengthNow = std::max(lengthNow, s.offset + side.length);
    }
    const qint64 size = toNew ? change.sizeAfter() : change.before.size;
    if (lengthNow < 0) {
        struct stat st;
        if (io.fstat(fd, &st) != 0)
            return errno;
        lengthNow = st.st_size;
    }
    if (lengthNow != size && io.ftruncate(fd, size) != 0)
        return errno;
    return 0;
}

ApplyResult ApplyFileChange(sysio::SysIO& io, const FileChange& change,
                            const ApplyOptions& options) {
    const bool inPlace = change.method == WriteMethod::InPlace;
    try {
        LockedFile file = LockedFile::Open(io, change.path, inPlace ? O_RDWR : O_RDONLY);
        if (!StillAsPlanned(io, file, change))
            return Result(ApplyStatus::Refused, ChangedMeanwhileReason());
        if (inPlace)
            return ApplyInPlace(io, file, change, options);
        if (file.status().st_nlink > 1 && !options.splitHardLinks)
            return Result(ApplyStatus::Refused,
                          StoreReasonText(StoreProblem::HardLinks, file.status().st_nlink));
        return ApplyBeside(io, file, change, options);
    } catch (const StoreError& e) {
        // Thrown only before the first write: opening, locking, reading.
        return Result(ApplyStatus::Failed, e.message());
    }
}

ApplyResult ApplyRename(sysio::SysIO& io, const RenameChange& change) {
    const QByteArray from = PathBytes(change.from);
    const QByteArray to = PathBytes(change.to);
    struct stat st;
    if (io.lstat(from.constData(), &st) != 0)
        return Result(errno == ENOENT ? ApplyStatus::Refused : ApplyStatus::Failed,
                      SystemFailure(change.from, OpRename(), errno));
    if (quint64(st.st_dev) != change.device || quint64(st.st_ino) != change.inode)
        return Result(ApplyStatus::Refused, ChangedMeanwhileReason());
    bool madeFolder = false;
    if (!change.createdFolder.isEmpty()) {
        if (io.mkdir(PathBytes(change.createdFolder).constData(), 0777) == 0)
            madeFolder = true;
        else if (errno != EEXIST)
            return Result(ApplyStatus::Failed,
                          SystemFailure(change.createdFolder, StoreOp::CreateFolder, errno));
    }
    int err = 0;
    if (io.renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) != 0) {
        err = errno;
        // EINVAL/ENOSYS: this file system (or kernel) does not offer the
        // no-replace flag. A plain rename is no way out: it replaces.
        if (err == EINVAL || err == ENOSYS) {
            err = 0;
            if (io.linkat(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), 0) != 0) {
                err = errno;
            } else if (io.unlink(from.constData()) != 0) {
                err = errno;
                io.unlink(to.constData());  // back to one name, the old one
            }
        }
    }
    if (err == 0) {
        if (!change.removedFolder.isEmpty())
            io.rmdir(PathBytes(change.removedFolder).constData());  // only when empty
        ApplyResult r;
        r.status = ApplyStatus::Written;
        return r;
    }
    if (madeFolder)
        io.rmdir(PathBytes(change.createdFolder).constData());
    return Result(err == EEXIST ? ApplyStatus::Refused : ApplyStatus::Failed,
                  SystemFailure(change.to, OpRename(), err));
}

QByteArray TempPattern(const QString& path) {
    const QByteArray native = PathBytes(path);
    return FolderOfPath(native) + '/' + TempPrefixOfName(NameOf(native)) + "XXXXXX";
}

int RemoveStrayTemps(sysio::SysIO& io, const QString& path) {
    const QByteArray native = PathBytes(path);
    const QByteArray folder = FolderOfPath(native);
    const QByteArray prefix = TempPrefixOfName(NameOf(native));
    DIR* dir = ::opendir(folder.constData());
    if (!dir)
        return 0;
    QList<QByteArray> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (name.size() == prefix.size() + 6 && name.startsWith(prefix))
            candidates.append(name);
    }
    ::closedir(dir);
    int removed = 0;
    for (const QByteArray& name : candidates) {
        const QByteArray full = folder + '/' + name;
        const int fd = io.open(full.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
        if (fd < 0)
            continue;
        sysio::File file(io, fd);
        struct stat st;
        if (io.fstat(fd, &st) != 0 || !S_ISREG(st.st_mode))
            continue;
        if (io.flock(fd, LOCK_EX | LOCK_NB) != 0)
            continue;  // a rewrite in progress in a live process
        if (io.unlink(full.constData()) == 0)
            ++removed;
    }
    return removed;
}

int CopyKeepingHoles(sysio::SysIO& io, int in, qint64 from, qint64 length, int out, qint64 to) {
    const qint64 end = from + length;
    qint64 pos = from;
    bool sparseKnown = true;
    bool kernelCopy = true;
    while (pos < end) {
        qint64 dataStart = pos;
        qint64 dataEnd = end;
        if (sparseKnown) {
            const off_t d = io.lseek(in, pos, SEEK_DATA);
            if (d < 0) {
                if (errno == ENXIO)
                    return 0;         // only a hole remains; the caller's length makes it
                sparseKnown = false;  // file system without the notion: copy all
            } else {
                dataStart = std::min<qint64>(d, end);
                const off_t h = io.lseek(in, dataStart, SEEK_HOLE);
                dataEnd = h < 0 ? end : std::min<qint64>(h, end);
            }
        }
        qint64 src = dataStart;
        while (src < dataEnd) {
            if (kernelCopy) {
                off_t inOff = src;
                off_t outOff = to + (src - from);
                const ssize_t n =
                    io.copy_file_range(in, &inOff, out, &outOff, size_t(dataEnd - src), 0);
                if (n > 0) {
                    src += n;
                    continue;
                }
                if (n == 0)
                    return EIO;  // the file got shorter meanwhile
                if (errno != EXDEV && errno != EINVAL && errno != ENOSYS && errno != EOPNOTSUPP &&
                    errno != EBADF)
                    return errno;
                kernelCopy = false;  // plain reads and writes from here on
            }
            constexpr qint64 kBlock = 1 << 20;
            QByteArray block(std::min(dataEnd - src, kBlock), Qt::Uninitialized);
            const ssize_t got = sysio::ReadAll(io, in, block.data(), size_t(block.size()), src);
            if (got < 0)
                return errno;
            if (got == 0)
                return EIO;
            if (const int e =
                    sysio::WriteAll(io, out, block.constData(), size_t(got), to + (src - from)))
                return e;
            src += got;
        }
        pos = dataEnd;
    }
    return 0;
}
