#pragma once

#include <QString>
#include <exception>
#include <string>

// A file-system failure, reported by every store routine that touches a file.
// Malformed tag content is never an error; only the file system is.
//
// The store reports what failed as codes: the path, the operation (StoreOp)
// and the reason (StoreProblem, with the system's errno or another number
// and a detail where the reason has one). It chooses no words. The words
// come from the StoreWording installed by the layer above (the program's
// Chinese texts, batch/storewords.h); until one is installed, plain English
// stands in, which is all a program of the store alone (the fuzzers) needs.

// What the store was doing.
enum class StoreOp {
    Open,
    Read,
    Write,
    List,  // listing a folder
    Lock,
    Replace,  // renaming a rewritten file over the original
    Rename,
    Remove,
    CreateFolder,
    CreateTempIn,  // creating a temporary file in a folder
    KeepModTime,   // giving a rewritten file its modification time back
    BuildID3v2,    // rendering a tag in memory
    RewriteID3v2,
    SaveSettings,
    WriteJournal,
    ReadJournal,
    Undo,  // the last: tests walk every operation up to it
};

// Why it failed.
enum class StoreProblem {
    System,  // the system refused: number() is errno
    Text,    // detail() holds words from elsewhere (Qt's, or already chosen)
    NotRegularFile,
    TooShortForID3v1,  // fewer than 128 bytes
    NotMp3,            // number() is the ContentKind found (filecontent.h)
    ShrankWhileWriting,
    FrameTooLong,   // detail() the frame ID, number() its size
    TagTooLarge,    // number() the size
    TagUnwritable,  // detail() why (ID3v2Tag::Unwritable)
    TagChangedSinceRead,
    ChangedMeanwhile,   // by another program during the change
    ChangedAfterBatch,  // since the batch being undone
    FileGone,
    LockedByOther,
    HardLinks,  // number() the link count
    IncompletePlan,
    NoOriginalContent,
    NotUndoable,
    UndoInProgress,
    JournalUnreadable,
    LinkOutsideFolder,  // detail() the link's target, as shown
    // Why a tag cannot be rewritten (ID3v2Tag::Unwritable); number() and
    // detail() as noted.
    SizeNotSynchsafe,
    TagPastFileEnd,  // number() the tag's claim; detail() the file length
    UnknownVersion,  // number() the minor version number after "2."
    CompressedV22,
    UnsynchronisedTooLarge,  // number() the limit in MiB
    ExtendedHeaderTooLarge,
    TooManyFrames,    // number() the limit
    TooMuchText,      // number() the limit in MiB
    FramePastTagEnd,  // detail() the frame ID
    // Not a failure: the name of a file format that a .mp3 name may hide
    // ("PNG 图片"), number() the ContentKind; reasons and list cells use it.
    ContentFormat,  // the last: tests walk every problem up to it
};

class StoreError : public std::exception {
  public:
    StoreError(QString path, StoreOp op, StoreProblem problem, qint64 number = 0,
               QString detail = {});

    // Builds the error from errno as it stands after a failed system call.
    static StoreError fromErrno(const QString& path, StoreOp op, int err);
    // The same failure of another path.
    StoreError withPath(const QString& path) const;

    const QString& path() const { return path_; }
    StoreOp op() const { return op_; }
    StoreProblem problem() const { return problem_; }
    qint64 number() const { return number_; }
    const QString& detail() const { return detail_; }

    // The words of the installed StoreWording.
    QString operation() const;
    QString reason() const;
    // "operation path: reason" as the wording puts it, for logs, reports and
    // the command line; the path in its display form (DisplayFileName).
    // path() keeps the exact one.
    QString message() const;
    // Plain English, for logs.
    const char* what() const noexcept override { return what_.c_str(); }

  private:
    QString path_;
    StoreOp op_;
    StoreProblem problem_;
    qint64 number_;
    QString detail_;
    std::string what_;
};

// The words of store failures. Installed once at start, before any thread
// is started, by the layer that chooses the program's texts; the store only
// reads it.
class StoreWording {
  public:
    virtual ~StoreWording() = default;
    virtual QString operation(StoreOp op) const = 0;
    // The reason of `problem` with its number and detail; for
    // StoreProblem::System the system's errno.
    virtual QString reason(StoreProblem problem, qint64 number, const QString& detail) const = 0;
    // The whole message: `path` is empty when the failure names none.
    virtual QString message(const QString& operation, const QString& path,
                            const QString& reason) const = 0;
};
// Installs `wording` (not owned, lives as long as the program); null puts
// the plain English back.
void SetStoreWording(const StoreWording* wording);
const StoreWording& CurrentStoreWording();

// The reason of a problem that is not an error of a path (a tag that cannot
// be rewritten, content that is not MP3), in the installed words.
QString StoreReasonText(StoreProblem problem, qint64 number = 0, const QString& detail = {});
