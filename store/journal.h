#pragma once

// The write-ahead journal: every batch that changes files goes through it,
// which makes in-place writes crash-safe and lets the user undo a batch,
// also after a restart.
//
// The journal lives in a folder of its own (the program passes
// QStandardPaths::AppDataLocation + "/journal"): one file per batch, named
// by its number ("000000000042.batch"), and a lock file. A batch runs so:
//
//   1. Begin: a Begin record (kind, description, time).
//   2. For a chunk of files: the caller's plan reads each file and says
//      what it wants written (a FileChange with both sides whole, or a
//      RenameChange). The journal appends one record per change, keeping
//      the old bytes whole and a digest of the new ones, and flushes them
//      all with one fdatasync before the first file of the chunk is written.
//   3. Each file is written (ApplyFileChange / ApplyRename): locked,
//      re-checked against the plan, written; its outcome is appended.
//   4. At the end, the data of every written file is made durable with one
//      syncfs per file system (a write error it reports is traced to files
//      with fdatasync); then a Complete record, flushed.
// Measured (bench/journal_bench.cpp): one fdatasync per file costs about
// 20 times one syncfs for the whole batch on 200 small files, and more on
// 20,000, which is why the batch ends with syncfs. Its cost: it also flushes
// whatever else is waiting for that file system.
//
// Recovery (Journal::recover, at every start of the window and the CLI)
// finishes each batch that has no Complete record and that no live process
// holds: a file holding its new bytes keeps them, one holding its old bytes
// keeps those, one torn between the two (each 512-byte piece old or new) is
// rolled back to the old bytes (an undo batch, which keeps the new bytes
// whole, is rolled forward instead), and one holding anything else was
// changed by somebody else and is left alone and reported. Temporary files
// of interrupted rewrites are removed. The batch is then complete and can
// be undone like any other: the files it changed are the ones that hold
// its new bytes.
//
// Undo (Journal::undo) takes a completed batch back file by file in
// reverse order, as a batch of its own (kind Undo), so a crash during undo
// is recovered like any batch. A file whose bytes are no longer what the
// batch wrote, or a renamed file that is gone, is not touched and is named
// in the result; one already back to its old bytes counts as done.
//
// Several processes: the journal folder has a lock file, held briefly to
// begin a batch, to list, to prune and while recovering; every running
// batch holds a lock on its own file, so recovery never touches a batch a
// live process is still writing, and two processes never undo one batch
// at once. Files are locked one at a time while they are written.
//
// Retention: the newest completed batch is always kept; older ones are
// kept, newest first, while there are no more than maxBatches and their
// files together stay within maxBytes; the rest are removed, oldest first.
// With the defaults that keeps well over 20 batches of tag edits (their
// old bytes are the changed runs of a tag only) and of renames (paths
// only); a few rewrites that carried large pictures can push the older
// batches out, since the bound on disk space wins.
//
// A Journal object is used by one thread at a time (the worker of the
// window, or the CLI). Paths are the store's lossless QString form; the
// journal keeps their bytes.
//
// How the writers and batches use it. A writer becomes a planner: it reads
// the file (resolving a symbolic link to the real path), decides the new
// bytes and returns a FileChange with both sides whole and `before` =
// IdentityOf(the status it read with); it does not write. The batch calls
// Journal::run with one item per ticked file and turns the RunResult into
// its report (Written counts as written; NotReached is "not touched").
//   - ID3v2: render the tag. When the new frames fit the old tag's space
//     (frames plus padding), the region [0, old extent) becomes header +
//     frames + zero padding of the same length: InPlace, splices from
//     DiffSplices(0, old region, new region), so only changed runs are
//     journaled. Otherwise Beside: one splice replacing [0, old extent)
//     (0 for a file without a tag) with the new tag and its padding.
//   - ID3v1: the last 128 bytes when they start with "TAG", else an empty
//     old side at the end of the file: InPlace either way.
//   - Rename: a RenameChange per ready row of the plan, `createdFolder`
//     set when the row's sub-folder does not exist when the row is planned.
//   - Repair and convert batches: any mix of splices, per file.
// Journal::run then records, locks, re-checks ("文件在修改过程中被其他程序
// 改动，未作改动" when the file changed since it was read), writes, and makes
// the data durable. RunControl carries "保留文件修改时间" (apply.keepMtime),
// the hard-link setting (apply.splitHardLinks), Cancel and progress; the
// worker thread calls run() and posts progress to the window.
// At start, the window and the CLI call recover() before anything else and
// show its report when anythingToSay(); undoable().first() is what "撤销
// 上次修改" offers, undo() runs it (also on the worker).

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <map>
#include <memory>
#include <variant>

#include "store/filechange.h"
#include "store/journalformat.h"
#include "store/safewrite.h"
#include "store/sysio.h"

struct JournalOptions {
    int maxBatches = 100;
    qint64 maxBytes = qint64(256) << 20;
    // Files whose changes are flushed to the journal together (and at most
    // this many bytes of their changes): one fdatasync per chunk.
    int chunkFiles = 1024;
    qint64 chunkBytes = qint64(16) << 20;
};

// What the undo list shows of a batch: "撤销：修改 ID3v2 标签，1,234 个文件，
// 12 月 7 日 14:03" is description, files and time (shown in local time).
struct BatchSummary {
    quint64 number = 0;
    BatchKind kind = BatchKind::ID3v2;
    QString description;
    QDateTime time;  // UTC
    int files = 0;   // files (or names) the batch changed: what undo takes back
    bool cancelled = false;
    bool interrupted = false;
    qint64 bytes = 0;  // the journal space the batch takes
};

// What became of one item of a run.
enum class FileOutcome {
    Written,     // changed, and the change is on disk
    Unchanged,   // nothing to write (the plan said so, or undo found it already old)
    Refused,     // not touched: changed by somebody else, gone, a clash, hard links
    Failed,      // not touched: the system refused (reason says how)
    Uncertain,   // a failure after the file may have changed: recovery looks at it
    NotReached,  // not touched: cancelled, or the journal failed before it
};

struct FileResult {
    QString path;  // the file (for a rename: its old path)
    FileOutcome outcome = FileOutcome::NotReached;
    QString reason;   // for all but Written and Unchanged
    QString warning;  // for Written: a lesser failure (modification time not kept)
};

struct RunResult {
    quint64 batch = 0;  // the batch's number; 0 when none could be begun
    // One per item, in the order of the items. An item never planned
    // (cancelled, or stopped before its chunk) has an empty path: the
    // caller knows it by its index.
    QList<FileResult> files;
    int written = 0;             // items with outcome Written
    bool cancelled = false;      // stopped between files by the caller
    bool needsRecovery = false;  // some file is Uncertain: the batch was left for recover()
    QString journalFailure;      // the journal could not be written; later items NotReached
};

// What a plan says about one item: a change to make, or why there is none.
struct PlannedItem {
    std::variant<std::monostate, FileChange, RenameChange> change;
    // When there is no change: Unchanged, Refused or Failed, and why.
    FileOutcome outcome = FileOutcome::Unchanged;
    QString reason;
    QString path;  // for the result when there is no change
};

// Plans item `index` (0 .. count-1). Called in order, ahead of the writing
// by up to a chunk (the journal must hold the change before the file is
// written). Both sides of every splice whole; FileChange::before the
// identity of the file that was read; path the real file (no link).
// A StoreError thrown is that item's failure.
using PlanFn = std::function<PlannedItem(int index)>;

struct RunControl {
    ApplyOptions apply;
    // Asked between files; true stops the run there. Files written so far
    // stay written and the batch is completed with them (undo takes them back).
    std::function<bool()> cancelled;
    // (done, total) after each item.
    std::function<void(int, int)> progress;
    // The plans do not depend on each other's writing (each reads its own
    // file only): a second thread then plans the next items, at most a
    // chunk ahead, while this one journals and writes those planned (and
    // plans one itself when the other has not begun it). `plan` must be
    // safe to call from both threads at once; `cancelled` and `progress`
    // are still called on this one.
    bool planAhead = false;
};

enum class RecoveryAction {
    None,           // the file was consistent (old or new); nothing done
    RolledBack,     // a torn write undone: the file holds its old bytes (or name)
    RolledForward,  // a torn undo finished: the file holds the undo's bytes
    LeftAlone,      // changed by somebody else: not touched
    Failed,         // could not be made consistent now (reason); tried again next start
};

struct RecoveredFile {
    QString path;
    ChangeState found = ChangeState::Old;
    RecoveryAction action = RecoveryAction::None;
    QString reason;
};

struct RecoveredBatch {
    BatchSummary batch;  // as completed by recovery
    QList<RecoveredFile> files;
    int strayTempsRemoved = 0;
    bool completed = false;  // false: a file Failed, the batch stays for the next start
};

// What undo would do with one item of a batch, found without writing:
// Written (it would be taken back), Unchanged (it holds its old bytes or
// name already), Refused or Failed (it would be left alone: reason).
struct UndoPreviewItem {
    QString path;       // the file; for a rename, its present name
    QString renamedTo;  // for a rename taken back: the name it gets back
    FileOutcome outcome = FileOutcome::Unchanged;
    QString reason;
};

struct RecoveryReport {
    QList<RecoveredBatch> batches;
    // Batch files that could not be read (reason); they are left where they are.
    QStringList problems;
    bool anythingToSay() const;
};

class Journal {
  public:
    // Uses (and creates when missing) `folder`. Nothing is read yet.
    explicit Journal(QString folder, sysio::SysIO& io = sysio::System(),
                     JournalOptions options = {});
    ~Journal();
    Journal(const Journal&) = delete;
    Journal& operator=(const Journal&) = delete;

    const QString& folder() const { return folder_; }

    // Finishes every interrupted batch no live process holds (see the top).
    // Throws StoreError only when the journal folder cannot be opened or locked.
    RecoveryReport recover();

    // Completed batches that can be undone, newest first: not undo batches,
    // not batches an undo has taken back, and not batches that changed nothing.
    QList<BatchSummary> undoable();

    // Runs a batch of `count` items (see the top). Never throws for a file;
    // a journal that cannot be written stops the run (journalFailure) before
    // any further file is written. `time` is when the batch began (shown in
    // the undo list); the current time when invalid.
    RunResult run(BatchKind kind, const QString& description, int count, const PlanFn& plan,
                  const RunControl& control, const QDateTime& time = {});

    // Undoes the completed batch `number` (from undoable()). Throws StoreError
    // when it cannot be read, is not undoable, or another process is undoing it.
    RunResult undo(quint64 number, const RunControl& control = {});
    // What undo(number) would do, item by item in its order, writing
    // nothing. Throws StoreError as undo() does.
    QList<UndoPreviewItem> previewUndo(quint64 number);

    // Applies the retention rule now (run() and recover() do it themselves).
    void prune();

  private:
    class BatchFile;
    struct Scan;
    struct Lock;
    struct UndoPlan;

    Lock lockJournal();
    QList<quint64> batchNumbers();
    QList<BatchSummary> undoableLocked();
    QString batchPath(quint64 number) const;
    std::optional<BatchSummary> summarize(quint64 number, bool* complete, quint64* nonce,
                                          quint64* undoes);
    std::unique_ptr<BatchFile> beginBatch(const BeginRecord& begin, QString* failure);
    RunResult runBatch(BatchFile* batch, const BeginRecord& begin, int count, const PlanFn& plan,
                       const RunControl& control);
    RecoveredBatch recoverBatch(quint64 number, sysio::File file, const Scan& scan);
    void pruneLocked();
    std::unique_ptr<UndoPlan> planUndo(quint64 number);

    QString folder_;
    sysio::SysIO& io_;
    JournalOptions options_;
};
