#pragma once

// Writing one file safely, through the I/O seam: the file locked for its
// read-modify-write, checked against what the change was planned on just
// before the commit, written in place or rewritten beside itself, and a
// truthful account of how far a failure got. The journal (store/journal.h)
// drives these for a batch; they do not journal anything themselves.
//
// Locks are advisory (flock): every Tamberlo process takes them, other
// programs usually do not, which is why the commit re-checks the file.

#include <sys/stat.h>

#include <QString>

#include "store/error.h"
#include "store/filechange.h"
#include "store/sysio.h"

// An open file held under an exclusive flock. Opening waits briefly for
// another holder (another Tamberlo writes one file at a time) and then
// gives up with "file in use"; a path replaced while waiting is opened again.
class LockedFile {
  public:
    // Throws StoreError: cannot open, not a regular file (symbolic links
    // are not followed: callers pass the real path), or in use.
    static LockedFile Open(sysio::SysIO& io, const QString& path, int flags);

    int fd() const { return file_.get(); }
    const struct stat& status() const { return status_; }
    FileIdentity identity() const { return IdentityOf(status_); }
    // Closes; 0 or the errno of the close.
    int close() { return file_.close(); }

  private:
    LockedFile(sysio::File file, const struct stat& st) : file_(std::move(file)), status_(st) {}
    sysio::File file_;
    struct stat status_ {};
};

struct ApplyOptions {
    // Give the file back its modification time from before the change.
    bool keepMtime = false;
    // Rewrite beside a file that has other hard links, which then keep the
    // old contents. Off: such a file is refused unless the change fits in place.
    bool splitHardLinks = false;
};

enum class ApplyStatus {
    Written,    // the file holds the new bytes (not yet durable: see the journal)
    Refused,    // not touched: changed since it was read, or a hard link would split
    Failed,     // not touched: the failure came before any byte changed, or was undone
    Uncertain,  // a failure after the file may have changed; its state is unknown
};

struct ApplyResult {
    ApplyStatus status = ApplyStatus::Failed;
    QString reason;   // for all but Written: what happened, as the user reads it
    QString warning;  // for Written: a lesser failure (the modification time not kept)
};

// Why a file was refused because it changed between reading and writing.
QString ChangedMeanwhileReason();

// Applies `change`, whose sides are all whole, to the file at change.path:
// locks it, checks its identity (device, inode, size, modification time)
// and the old bytes of every splice, then writes. In place, a failing
// write is undone with the old bytes where possible (Failed), else the
// file is Uncertain. Beside, the file is rebuilt under a temporary name
// (TempPattern) with the old file's mode, owner and extended attributes,
// holes kept, flushed (fsync) and renamed over the old name; a failure
// before the rename removes the temporary file (Failed), a failure of
// the rename leaves the old file (Failed). The folder is not flushed: the
// journal's end of batch does that for all files at once.
ApplyResult ApplyFileChange(sysio::SysIO& io, const FileChange& change,
                            const ApplyOptions& options = {});

// Writes one side of every splice of `change` over the open file `fd`
// (the old bytes: toNew false; the new: true) and sets the file's length
// to match: how recovery and roll-back finish or undo a torn in-place
// write. Each side written must be whole. 0 or the errno of the failure.
// `lengthNow` is the file's length before the writes when the caller knows
// it (spares asking the file).
int WriteSides(sysio::SysIO& io, int fd, const FileChange& change, bool toNew,
               qint64 lengthNow = -1);

// Renames change.from to change.to, never replacing anything there
// (renameat2 with RENAME_NOREPLACE; a hard link and an unlink where the
// file system refuses the flag), after checking that `from` is still the
// file (device, inode) the change was planned on. Creates
// change.createdFolder first when it is set and missing, and removes it
// again when the rename fails; removes change.removedFolder after a rename
// when it is empty. Refused: the file moved or something stands
// at the target; Failed: the file system refused.
ApplyResult ApplyRename(sysio::SysIO& io, const RenameChange& change);

// The name pattern of the temporary file that stands for `path` while it
// is rewritten: ".<name>.tamberlo-XXXXXX" in the same folder, the name cut
// (as bytes) so the whole stays within the file system's 255-byte limit.
QByteArray TempPattern(const QString& path);

// Removes the temporary files left for `path` by a rewrite that was
// interrupted: names of TempPattern(path)'s form that no live Tamberlo
// holds locked. Returns how many were removed; failures are not reported
// (the next start tries again).
int RemoveStrayTemps(sysio::SysIO& io, const QString& path);

// Copies bytes [from, from + length) of `in` to `out` at `to`, keeping
// holes: only the data runs are copied (SEEK_DATA/SEEK_HOLE), with
// copy_file_range where the kernel offers it and 1 MiB reads and writes
// where it does not. The caller sets the final length (ftruncate), which
// makes a hole at the end. 0 or the errno; EIO when `in` ends early.
int CopyKeepingHoles(sysio::SysIO& io, int in, qint64 from, qint64 length, int out, qint64 to);

// Applies `change` on its own, without a journal (a single file, as tests
// and tools write one; batches go through the journal). Nothing happens for
// a change without splices. Throws StoreError(path, operation, reason)
// unless the file was written.
void ApplyUnjournaled(const FileChange& change, const QString& path, StoreOp operation);

// Opens the file `path` names for reading as a planner does: through `io`,
// a regular file only, its status in `st`. `real` gets the path of the file
// a writer must change: `path` itself, or for a symbolic link its target
// with every link resolved (a link stays a link, its target is written).
// Failures are StoreErrors naming `path`.
sysio::File OpenForPlanning(sysio::SysIO& io, const QString& path, QString* real, struct stat* st);

// Small pieces the journal shares.

// "operation “path” 时出错：reason" for a failed system call.
QString SystemFailure(const QString& path, StoreOp op, int err);
// Up to `length` bytes at `offset` (fewer at the end); throws StoreError.
QByteArray ReadRange(sysio::SysIO& io, int fd, qint64 offset, qint64 length, const QString& path);
// The folder part of a path given as bytes ("." for a bare name).
QByteArray FolderOfPath(const QByteArray& path);
