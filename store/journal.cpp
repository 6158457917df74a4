#include "store/journal.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <QRandomGenerator>
#include <QSet>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

#include "store/error.h"
#include "store/fileio.h"

namespace {

StoreOp OpJournal() {
    return StoreOp::WriteJournal;
}
StoreOp OpReadJournal() {
    return StoreOp::ReadJournal;
}

QString ChangedSinceReason() {
    return StoreReasonText(StoreProblem::ChangedAfterBatch);
}
QString GoneReason() {
    return StoreReasonText(StoreProblem::FileGone);
}

// Creates `folder` and its missing parents.
void MakeFolders(sysio::SysIO& io, const QString& folder) {
    const QByteArray native = PathBytes(folder);
    for (qsizetype i = 1; i <= native.size(); ++i) {
        if (i < native.size() && native[i] != '/')
            continue;
        const QByteArray part = native.left(i);
        if (io.mkdir(part.constData(), 0700) != 0 && errno != EEXIST)
            throw StoreError::fromErrno(folder, StoreOp::CreateFolder, errno);
    }
}

bool ParseBatchName(const char* name, quint64* number) {
    // "NNNNNNNNNNNN.batch"
    if (std::strlen(name) != 18 || std::strcmp(name + 12, ".batch") != 0)
        return false;
    quint64 n = 0;
    for (int i = 0; i < 12; ++i) {
        if (name[i] < '0' || name[i] > '9')
            return false;
        n = n * 10 + quint64(name[i] - '0');
    }
    *number = n;
    return true;
}

// The record that starts at `offset` of the open batch file, or nothing when
// it is torn (or cannot be read).
std::optional<RecordView> ReadRecordFrom(sysio::SysIO& io, int fd, qint64 offset, qint64 fileSize) {
    if (fileSize - offset < kRecordHeaderSize)
        return std::nullopt;
    char head[kRecordHeaderSize];
    if (sysio::ReadAll(io, fd, head, sizeof head, offset) != kRecordHeaderSize)
        return std::nullopt;
    quint32 length;
    std::memcpy(&length, head + 8, 4);
    length = qFromLittleEndian(length);
    if (length > kMaxRecordPayload || length > fileSize - offset - kRecordHeaderSize)
        return std::nullopt;
    QByteArray all(kRecordHeaderSize + length, Qt::Uninitialized);
    std::memcpy(all.data(), head, sizeof head);
    if (length > 0 && sysio::ReadAll(io, fd, all.data() + kRecordHeaderSize, length,
                                     offset + kRecordHeaderSize) != qint64(length))
        return std::nullopt;
    auto record = ReadRecordAt(all, 0);
    if (record)
        record->offset = offset;
    return record;
}

// Which sides of a change a batch keeps whole: a batch of edits the old
// bytes (to roll back and to undo); an undo batch the bytes it restores
// (to finish a torn in-place write; a rewrite beside is atomic and needs
// neither).
FileChange JournalForm(const FileChange& change, BatchKind kind) {
    if (kind == BatchKind::Undo)
        return WithSides(change, false, change.method == WriteMethod::InPlace);
    return WithSides(change, true, false);
}

bool AllSidesWhole(const FileChange& change) {
    for (const Splice& s : change.splices)
        if (!s.before.whole() || !s.after.whole())
            return false;
    return true;
}

QString ChangedPath(const PlannedItem& p) {
    if (const auto* fc = std::get_if<FileChange>(&p.change))
        return fc->path;
    if (const auto* rc = std::get_if<RenameChange>(&p.change))
        return rc->from;
    return p.path;
}

bool AfterSidesWhole(const FileChange& change) {
    for (const Splice& s : change.splices)
        if (!s.after.whole())
            return false;
    return true;
}

}  // namespace

bool RecoveryReport::anythingToSay() const {
    if (!problems.isEmpty())
        return true;
    for (const RecoveredBatch& b : batches)
        for (const RecoveredFile& f : b.files)
            if (f.action != RecoveryAction::None)
                return true;
    return false;
}

// ---------------------------------------------------------------------------
// The lock on the journal folder.

struct Journal::Lock {
    sysio::File file;
};

Journal::Lock Journal::lockJournal() {
    MakeFolders(io_, folder_);
    const QString path = folder_ + QStringLiteral("/lock");
    const int fd = io_.open(PathBytes(path).constData(), O_RDWR | O_CREAT, 0600);
    if (fd < 0)
        throw StoreError::fromErrno(path, fileio::OpOpen(), errno);
    Lock lock{sysio::File(io_, fd)};
    if (io_.flock(fd, LOCK_EX) != 0)
        throw StoreError::fromErrno(path, StoreOp::Lock, errno);
    return lock;
}

QList<quint64> Journal::batchNumbers() {
    QList<quint64> numbers;
    DIR* dir = ::opendir(PathBytes(folder_).constData());
    if (!dir)
        return numbers;
    while (const dirent* entry = ::readdir(dir)) {
        quint64 n;
        if (ParseBatchName(entry->d_name, &n))
            numbers.append(n);
    }
    ::closedir(dir);
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

QString Journal::batchPath(quint64 number) const {
    char name[32];
    std::snprintf(name, sizeof name, "%012llu.batch", static_cast<unsigned long long>(number));
    return folder_ + QLatin1Char('/') + QLatin1String(name);
}

// ---------------------------------------------------------------------------
// A batch file being appended to.

class Journal::BatchFile {
  public:
    BatchFile(sysio::SysIO& io, quint64 number, QString path, QString folder, sysio::File file,
              qint64 end, bool entryDurable)
        : io_(io),
          number_(number),
          path_(std::move(path)),
          folder_(std::move(folder)),
          file_(std::move(file)),
          end_(end),
          entryDurable_(entryDurable) {}

    quint64 number() const { return number_; }
    const QString& path() const { return path_; }
    int fd() const { return file_.get(); }
    bool broken() const { return broken_; }

    ~BatchFile() { write(); }

    // Appends a record (not flushed). Records are gathered in memory and
    // written together by sync() or when a megabyte has gathered: one write
    // per chunk of a batch rather than two per file. 0 or the errno of a
    // write; after a failure the torn records are cut off again, and when
    // that fails too the file takes no more records (they would sit after a
    // torn one, where no reader looks).
    int append(RecordType type, const QByteArray& payload) {
        if (broken_)
            return EIO;
        pending_ += FrameRecord(type, payload);
        return pending_.size() >= kGathered ? write() : 0;
    }

    // Writes the records gathered so far (not flushed). 0 or the errno;
    // on failure they are gone.
    int write() {
        if (pending_.isEmpty())
            return 0;
        if (broken_)
            return EIO;
        // Emptied without giving up its memory: the next chunk's records
        // take about as much.
        const int err =
            sysio::WriteAll(io_, file_.get(), pending_.constData(), size_t(pending_.size()), end_);
        const qsizetype written = pending_.size();
        pending_.truncate(0);
        if (err == 0) {
            end_ += written;
            return 0;
        }
        if (io_.ftruncate(file_.get(), end_) != 0)
            broken_ = true;
        return err;
    }

    // Makes every record so far durable. 0 or the errno.
    int sync() {
        if (const int err = write())
            return err;
        if (broken_)
            return EIO;
        if (io_.fdatasync(file_.get()) != 0)
            return errno;
        if (!entryDurable_) {
            // The batch file's name must survive a crash too.
            const int dir = io_.open(PathBytes(folder_).constData(), O_RDONLY | O_DIRECTORY);
            if (dir < 0)
                return errno;
            sysio::File folder(io_, dir);
            if (io_.fsync(dir) != 0)
                return errno;
            entryDurable_ = true;
        }
        return 0;
    }

  private:
    static constexpr qsizetype kGathered = qsizetype(1) << 20;

    sysio::SysIO& io_;
    quint64 number_;
    QString path_;
    QString folder_;
    sysio::File file_;  // holds the batch's lock while open
    qint64 end_;        // where the records written so far end
    QByteArray pending_;
    bool entryDurable_;
    bool broken_ = false;
};

// ---------------------------------------------------------------------------
// Reading a batch file.

struct Journal::Scan {
    struct Entry {
        quint32 index;
        RecordType type;
        qint64 offset;
    };
    std::optional<BeginRecord> begin;
    std::optional<CompleteRecord> complete;
    QList<Entry> entries;  // File and Rename records, in order
    std::map<quint32, Outcome> outcomes;
    qint64 validEnd = 0;
    qint64 fileSize = 0;
};

namespace {

// Reads every whole record of a batch file. Records that cannot be decoded
// end the scan as a torn tail does: nothing after them is trusted.
template <typename ScanT>
void ScanBatchFile(sysio::SysIO& io, int fd, ScanT& scan) {
    struct stat st;
    if (io.fstat(fd, &st) != 0)
        throw StoreError::fromErrno({}, OpReadJournal(), errno);
    scan.fileSize = st.st_size;
    qint64 offset = 0;
    while (auto record = ReadRecordFrom(io, fd, offset, scan.fileSize)) {
        bool ok = true;
        if (offset == 0) {
            // The first record must be the batch's Begin.
            scan.begin =
                record->type == RecordType::Begin ? DecodeBegin(record->payload) : std::nullopt;
            ok = scan.begin.has_value();
        } else {
            switch (record->type) {
                case RecordType::File: {
                    const auto f = DecodeFile(record->payload);
                    ok = f.has_value();
                    if (ok)
                        scan.entries.append({f->index, RecordType::File, offset});
                    break;
                }
                case RecordType::Rename: {
                    const auto r = DecodeRename(record->payload);
                    ok = r.has_value();
                    if (ok)
                        scan.entries.append({r->index, RecordType::Rename, offset});
                    break;
                }
                case RecordType::Outcome: {
                    const auto o = DecodeOutcome(record->payload);
                    ok = o.has_value();
                    if (ok)
                        scan.outcomes[o->index] = o->outcome;
                    break;
                }
                case RecordType::Complete: {
                    const auto c = DecodeComplete(record->payload);
                    ok = c.has_value() && c->nonce == scan.begin->nonce;
                    if (ok)
                        scan.complete = c;
                    break;
                }
                default:
                    break;  // a later version's record: skipped
            }
        }
        if (!ok)
            break;
        offset += kRecordHeaderSize + record->payload.size();
        scan.validEnd = offset;
    }
    // A Complete record counts only as the last one.
    if (scan.complete && scan.validEnd != scan.fileSize)
        scan.complete.reset();
}

BatchSummary SummaryOf(quint64 number, const BeginRecord& begin,
                       const std::optional<CompleteRecord>& complete, qint64 bytes) {
    BatchSummary s;
    s.number = number;
    s.kind = begin.kind;
    s.description = begin.description;
    s.time = QDateTime::fromMSecsSinceEpoch(begin.timeMs, Qt::UTC);
    s.bytes = bytes;
    if (complete) {
        s.files = int(complete->written);
        s.cancelled = complete->cancelled;
        s.interrupted = complete->interrupted;
    }
    return s;
}

}  // namespace

std::optional<BatchSummary> Journal::summarize(quint64 number, bool* complete, quint64* nonce,
                                               quint64* undoes) {
    const int fd = io_.open(PathBytes(batchPath(number)).constData(), O_RDONLY);
    if (fd < 0)
        return std::nullopt;
    sysio::File file(io_, fd);
    struct stat st;
    if (io_.fstat(fd, &st) != 0)
        return std::nullopt;
    const auto head = ReadRecordFrom(io_, fd, 0, st.st_size);
    const auto begin =
        head && head->type == RecordType::Begin ? DecodeBegin(head->payload) : std::nullopt;
    if (!begin)
        return std::nullopt;
    // The Complete record has a fixed size and is the last: look there only.
    std::optional<CompleteRecord> end;
    const qint64 at = st.st_size - kCompleteRecordSize;
    if (at > 0) {
        const auto tail = ReadRecordFrom(io_, fd, at, st.st_size);
        if (tail && tail->type == RecordType::Complete) {
            end = DecodeComplete(tail->payload);
            if (end && end->nonce != begin->nonce)
                end.reset();
        }
    }
    *complete = end.has_value();
    *nonce = begin->nonce;
    *undoes = begin->undoes;
    return SummaryOf(number, *begin, end, st.st_size);
}

// ---------------------------------------------------------------------------

Journal::Journal(QString folder, sysio::SysIO& io, JournalOptions options)
    : folder_(std::move(folder)), io_(io), options_(options) {}

Journal::~Journal() = default;

QList<BatchSummary> Journal::undoable() {
    Lock lock = lockJournal();
    return undoableLocked();
}

QList<BatchSummary> Journal::undoableLocked() {
    struct Seen {
        BatchSummary summary;
        bool complete;
        quint64 nonce;
    };
    QList<Seen> seen;
    QSet<quint64> undone;
    for (quint64 number : batchNumbers()) {
        bool complete = false;
        quint64 nonce = 0, undoes = 0;
        const auto s = summarize(number, &complete, &nonce, &undoes);
        if (!s)
            continue;
        // An undo that was interrupted may have left files of its batch as
        // they were; the batch stays on offer (files already back count as done).
        if (s->kind == BatchKind::Undo && complete && !s->interrupted)
            undone.insert(undoes);
        seen.append({*s, complete, nonce});
    }
    QList<BatchSummary> out;
    for (auto it = seen.crbegin(); it != seen.crend(); ++it) {
        if (it->complete && it->summary.kind != BatchKind::Undo && it->summary.files > 0 &&
            !undone.contains(it->nonce))
            out.append(it->summary);
    }
    return out;
}

std::unique_ptr<Journal::BatchFile> Journal::beginBatch(const BeginRecord& begin,
                                                        QString* failure) {
    try {
        Lock lock = lockJournal();
        const QList<quint64> numbers = batchNumbers();
        const quint64 number = numbers.isEmpty() ? 1 : numbers.back() + 1;
        const QString path = batchPath(number);
        const int fd = io_.open(PathBytes(path).constData(), O_RDWR | O_CREAT | O_EXCL, 0600);
        if (fd < 0)
            throw StoreError::fromErrno(path, OpJournal(), errno);
        sysio::File file(io_, fd);
        // Taken before the journal lock is let go, so recovery in another
        // process never sees this batch unheld.
        if (io_.flock(fd, LOCK_EX | LOCK_NB) != 0)
            throw StoreError::fromErrno(path, OpJournal(), errno);
        auto batch =
            std::make_unique<BatchFile>(io_, number, path, folder_, std::move(file), 0, false);
        int err = batch->append(RecordType::Begin, EncodeBegin(begin));
        if (err == 0)
            err = batch->write();
        if (err != 0) {
            io_.unlink(PathBytes(path).constData());
            throw StoreError::fromErrno(path, OpJournal(), err);
        }
        return batch;
    } catch (const StoreError& e) {
        *failure = e.message();
        return nullptr;
    }
}

RunResult Journal::run(BatchKind kind, const QString& description, int count, const PlanFn& plan,
                       const RunControl& control, const QDateTime& time) {
    BeginRecord begin;
    begin.nonce = QRandomGenerator::system()->generate64();
    begin.kind = kind;
    begin.description = description;
    begin.timeMs = (time.isValid() ? time : QDateTime::currentDateTimeUtc()).toMSecsSinceEpoch();
    begin.keepMtime = control.apply.keepMtime;
    RunResult result;
    QString failure;
    std::unique_ptr<BatchFile> batch = beginBatch(begin, &failure);
    if (!batch) {
        result.journalFailure = failure;
        result.files.resize(count);
        return result;
    }
    result = runBatch(batch.get(), begin, count, plan, control);
    batch.reset();
    prune();
    return result;
}

namespace {

// Item `index` planned; a StoreError becomes the item's failure.
PlannedItem PlanOne(const PlanFn& plan, int index) {
    try {
        return plan(index);
    } catch (const StoreError& e) {
        PlannedItem failed;
        failed.outcome = FileOutcome::Failed;
        failed.reason = e.message();
        failed.path = e.path();
        return failed;
    }
}

qint64 ChangeBytes(const PlannedItem& item) {
    qint64 bytes = 0;
    if (const auto* fc = std::get_if<FileChange>(&item.change))
        for (const Splice& s : fc->splices) bytes += s.before.length + s.after.length;
    return bytes;
}

// Tells a helper thread that waits on `changed` under `mutex` to stop (it
// looks at `stop` when woken) and waits until it has.
void StopAndJoin(std::mutex& mutex, std::condition_variable& changed, bool& stop,
                 std::thread& thread) {
    {
        const std::lock_guard<std::mutex> hold(mutex);
        stop = true;
    }
    changed.notify_all();
    thread.join();
}

// Plans items 0..count-1 in order on a thread of its own, at most `files`
// items or about `bytes` bytes of changes ahead of the caller, who takes
// them one by one. When the caller comes to an item the thread has not
// begun, it plans that one itself: neither waits for the other while there
// is work. Whatever the plan throws besides a StoreError is thrown again by
// take(). Going away stops the thread after the item it is planning.
class PlanAhead {
  public:
    PlanAhead(const PlanFn& plan, int count, int files, qint64 bytes)
        : plan_(plan), count_(count), files_(std::max(1, files)), bytes_(bytes) {
        thread_ = std::thread([this] { work(); });
    }
    ~PlanAhead() { StopAndJoin(mutex_, changed_, stop_, thread_); }

    PlannedItem take() {
        std::unique_lock<std::mutex> hold(mutex_);
        const int index = taken_++;
        Ready next;
        if (claimed_ == index) {
            ++claimed_;
            hold.unlock();
            next = planned(index);
        } else {
            changed_.wait(hold, [&] { return ready_.count(index) > 0; });
            next = std::move(ready_.extract(index).mapped());
            held_ -= next.bytes;
            hold.unlock();
        }
        changed_.notify_all();
        if (next.error)
            std::rethrow_exception(next.error);
        return std::move(next.item);
    }

  private:
    struct Ready {
        PlannedItem item;
        qint64 bytes = 0;
        std::exception_ptr error;
    };

    Ready planned(int index) {
        Ready next;
        try {
            next.item = PlanOne(plan_, index);
            next.bytes = ChangeBytes(next.item);
        } catch (...) {
            next.error = std::current_exception();
        }
        return next;
    }

    void work() {
        for (;;) {
            int index;
            {
                std::unique_lock<std::mutex> hold(mutex_);
                changed_.wait(hold, [&] {
                    return stop_ || claimed_ >= count_ ||
                           (claimed_ - taken_ < files_ && held_ < bytes_);
                });
                if (stop_ || claimed_ >= count_)
                    return;
                index = claimed_++;
            }
            Ready next = planned(index);
            {
                const std::lock_guard<std::mutex> hold(mutex_);
                held_ += next.bytes;
                ready_.emplace(index, std::move(next));
            }
            changed_.notify_all();
        }
    }

    const PlanFn& plan_;
    const int count_;
    const int files_;
    const qint64 bytes_;
    std::mutex mutex_;
    std::condition_variable changed_;
    int taken_ = 0;    // items handed to the caller
    int claimed_ = 0;  // items begun, by either side
    std::map<int, Ready> ready_;
    qint64 held_ = 0;
    bool stop_ = false;
    std::thread thread_;
};

// Starts the write-back of what a batch has written so far, on a thread
// of its own, so that the flush at its end finds little left to do and the
// disk works while the next files are planned and written. Only a head
// start: the batch's own syncfs still decides, and a failure met here is
// reported to it too (each open folder learns of a write error on its own).
// Straight system calls: nothing here changes what a batch reports.
class EarlyFlush {
  public:
    EarlyFlush() : thread_([this] { work(); }) {}
    ~EarlyFlush() { StopAndJoin(mutex_, changed_, stop_, thread_); }
    // Flushes the file systems of `folders` once more, after any flush
    // under way.
    void request(QList<QByteArray> folders) {
        {
            const std::lock_guard<std::mutex> hold(mutex_);
            folders_ = std::move(folders);
        }
        changed_.notify_all();
    }

  private:
    void work() {
        for (;;) {
            QList<QByteArray> folders;
            {
                std::unique_lock<std::mutex> hold(mutex_);
                changed_.wait(hold, [&] { return stop_ || !folders_.isEmpty(); });
                if (stop_)
                    return;
                folders = std::exchange(folders_, {});
            }
            for (const QByteArray& folder : folders) {
                const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
                if (fd < 0)
                    continue;
                ::syncfs(fd);
                ::close(fd);
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable changed_;
    QList<QByteArray> folders_;
    bool stop_ = false;
    std::thread thread_;
};

}  // namespace

RunResult Journal::runBatch(BatchFile* batch, const BeginRecord& begin, int count,
                            const PlanFn& plan, const RunControl& control) {
    RunResult result;
    result.files.resize(count);
    result.batch = batch->number();
    const auto journalFailed = [&](int err) {
        result.journalFailure = SystemFailure(batch->path(), OpJournal(), err);
    };
    const auto cancelled = [&] { return control.cancelled && control.cancelled(); };

    // One open folder per file system, opened before its first file is
    // written, for the syncfs at the end (a write error is reported to
    // descriptors opened before it).
    std::map<quint64, sysio::File> fileSystems;
    QList<QByteArray> folders;  // one on each of them
    const auto noteFileSystem = [&](quint64 device, const QString& path) {
        if (fileSystems.count(device))
            return;
        const QByteArray folder = FolderOfPath(PathBytes(path));
        const int fd = io_.open(folder.constData(), O_RDONLY | O_DIRECTORY);
        if (fd >= 0) {
            fileSystems.emplace(device, sysio::File(io_, fd));
            folders.append(folder);
        }
    };
    std::optional<EarlyFlush> early;
    struct Written {
        int item;
        quint64 device;
        QString path;
    };
    QList<Written> writtenFiles;

    struct Item {
        int index;
        PlannedItem planned;
    };
    std::optional<PlanAhead> ahead;
    if (control.planAhead && count > 1)
        ahead.emplace(plan, count, options_.chunkFiles, options_.chunkBytes);
    int next = 0;
    bool stop = false;
    while (next < count && !stop) {
        if (cancelled()) {
            result.cancelled = true;
            break;
        }
        // Plan and record a chunk.
        QList<Item> chunk;
        qint64 bytes = 0;
        while (next < count && chunk.size() < options_.chunkFiles && bytes < options_.chunkBytes) {
            Item item{next, ahead ? ahead->take() : PlanOne(plan, next)};
            PlannedItem& p = item.planned;
            int err = 0;
            if (auto* fc = std::get_if<FileChange>(&p.change)) {
                if (!IsWellFormed(*fc) || !AllSidesWhole(*fc)) {
                    const QString path = fc->path;
                    p.change = std::monostate();
                    p.outcome = FileOutcome::Failed;
                    p.path = path;
                    p.reason = StoreReasonText(StoreProblem::IncompletePlan);
                } else {
                    const FileRecord record{quint32(next), JournalForm(*fc, begin.kind)};
                    err = batch->append(RecordType::File, EncodeFile(record));
                    bytes += ChangeBytes(p);
                    noteFileSystem(fc->before.device, fc->path);
                }
            } else if (auto* rc = std::get_if<RenameChange>(&p.change)) {
                err = batch->append(RecordType::Rename, EncodeRename({quint32(next), *rc}));
                noteFileSystem(rc->device, rc->from);
            }
            if (err != 0) {
                // This item's change is not in the journal: it and every
                // later item stay untouched.
                journalFailed(err);
                stop = true;
                break;
            }
            chunk.append(std::move(item));
            ++next;
        }
        if (!stop) {
            if (const int err = batch->sync()) {
                journalFailed(err);
                stop = true;
            }
        }
        if (stop) {
            // Nothing of this chunk is written; items planned without a
            // change still say what their plan said.
            for (const Item& item : chunk) {
                const PlannedItem& p = item.planned;
                FileResult& out = result.files[item.index];
                if (std::holds_alternative<std::monostate>(p.change))
                    out = {p.path, p.outcome, p.reason, {}};
                else
                    out.path = ChangedPath(p);
            }
            break;
        }
        for (const Item& item : chunk) {
            const PlannedItem& p = item.planned;
            FileResult& out = result.files[item.index];
            if (std::holds_alternative<std::monostate>(p.change)) {
                out = {p.path, p.outcome, p.reason, {}};
            } else if (result.cancelled || cancelled()) {
                result.cancelled = true;
                out.path = ChangedPath(p);
                out.outcome = FileOutcome::NotReached;
                batch->append(RecordType::Outcome,
                              EncodeOutcome({quint32(item.index), Outcome::NotWritten}));
            } else {
                ApplyResult applied;
                quint64 device = 0;
                QString writtenPath;
                if (const auto* fc = std::get_if<FileChange>(&p.change)) {
                    out.path = fc->path;
                    applied = ApplyFileChange(io_, *fc, control.apply);
                    device = fc->before.device;
                    writtenPath = fc->path;
                } else {
                    const auto& rc = std::get<RenameChange>(p.change);
                    out.path = rc.from;
                    applied = ApplyRename(io_, rc);
                    device = rc.device;
                    writtenPath = rc.to;
                }
                Outcome outcome = Outcome::NotWritten;
                switch (applied.status) {
                    case ApplyStatus::Written:
                        out.outcome = FileOutcome::Written;
                        out.warning = applied.warning;
                        outcome = Outcome::Written;
                        writtenFiles.append({item.index, device, writtenPath});
                        break;
                    case ApplyStatus::Refused:
                        out.outcome = FileOutcome::Refused;
                        break;
                    case ApplyStatus::Failed:
                        out.outcome = FileOutcome::Failed;
                        break;
                    case ApplyStatus::Uncertain:
                        out.outcome = FileOutcome::Uncertain;
                        outcome = Outcome::Uncertain;
                        break;
                }
                out.reason = applied.reason;
                // A lost outcome record is harmless: recovery or undo look
                // at the file itself.
                batch->append(RecordType::Outcome, EncodeOutcome({quint32(item.index), outcome}));
            }
            if (control.progress)
                control.progress(item.index + 1, count);
        }
        if (next < count && !folders.isEmpty()) {
            if (!early)
                early.emplace();
            early->request(folders);
        }
    }
    ahead.reset();
    early.reset();
    for (int i = 0; i < count; ++i) {
        if (result.files[i].outcome == FileOutcome::Written)
            ++result.written;
    }

    // Durability: one syncfs per file system. A failure is traced to files
    // by flushing each written file of that file system on its own.
    for (auto& [device, fs] : fileSystems) {
        bool touched = false;
        for (const Written& w : writtenFiles) touched = touched || w.device == device;
        if (!touched || io_.syncfs(fs.get()) == 0)
            continue;
        const int syncErr = errno;
        QList<int> blamed;
        QList<int> onDevice;
        for (const Written& w : writtenFiles) {
            if (w.device != device)
                continue;
            onDevice.append(w.item);
            const int fd = io_.open(PathBytes(w.path).constData(), O_RDONLY | O_NOFOLLOW);
            sysio::File f(io_, fd);
            if (fd < 0 || io_.fdatasync(fd) != 0)
                blamed.append(w.item);
        }
        if (blamed.isEmpty())
            blamed = onDevice;
        for (int item : blamed) {
            FileResult& out = result.files[item];
            out.outcome = FileOutcome::Uncertain;
            out.reason = SystemFailure(out.path, fileio::OpWrite(), syncErr);
            --result.written;
            batch->append(RecordType::Outcome, EncodeOutcome({quint32(item), Outcome::Uncertain}));
        }
    }
    for (const FileResult& f : result.files)
        result.needsRecovery = result.needsRecovery || f.outcome == FileOutcome::Uncertain;

    if (!result.needsRecovery) {
        CompleteRecord end{begin.nonce, quint32(result.written), result.cancelled, false};
        int err = batch->append(RecordType::Complete, EncodeComplete(end));
        if (err == 0)
            err = batch->sync();
        if (err != 0) {
            // The files are as the result says; the batch is finished by
            // the next recovery, which finds them so.
            if (result.journalFailure.isEmpty())
                journalFailed(err);
            result.needsRecovery = true;
        } else if (result.written == 0 && begin.kind != BatchKind::Undo) {
            // Nothing to undo and nothing to recover: the batch leaves no
            // trace. An undo stays even so: it is what says its batch is
            // undone (every file may have been back already).
            io_.unlink(PathBytes(batch->path()).constData());
        }
    }
    return result;
}

// ---------------------------------------------------------------------------
// Recovery.

namespace {

Outcome OutcomeOfState(ChangeState state) {
    switch (state) {
        case ChangeState::New:
            return Outcome::Written;
        case ChangeState::Foreign:
            return Outcome::Foreign;
        default:
            return Outcome::NotWritten;
    }
}

}  // namespace

RecoveryReport Journal::recover() {
    Lock lock = lockJournal();
    RecoveryReport report;
    for (quint64 number : batchNumbers()) {
        const QString path = batchPath(number);
        bool complete = false;
        quint64 nonce = 0, undoes = 0;
        if (summarize(number, &complete, &nonce, &undoes) && complete)
            continue;  // the common case, seen from the head and the tail only
        const int fd = io_.open(PathBytes(path).constData(), O_RDWR);
        if (fd < 0) {
            if (errno != ENOENT)
                report.problems.append(SystemFailure(path, fileio::OpOpen(), errno));
            continue;
        }
        sysio::File file(io_, fd);
        if (io_.flock(fd, LOCK_EX | LOCK_NB) != 0)
            continue;  // a live process is running this batch, or undoing it
        Scan scan;
        try {
            ScanBatchFile(io_, fd, scan);
        } catch (const StoreError&) {
            report.problems.append(SystemFailure(path, OpReadJournal(), EIO));
            continue;
        }
        if (scan.complete)
            continue;
        if (!scan.begin) {
            // Torn before its first flush: no file was written under it.
            io_.unlink(PathBytes(path).constData());
            continue;
        }
        report.batches.append(recoverBatch(number, std::move(file), scan));
    }
    pruneLocked();
    return report;
}

RecoveredBatch Journal::recoverBatch(quint64 number, sysio::File file, const Scan& scan) {
    const QString path = batchPath(number);
    const BeginRecord& begin = *scan.begin;
    const bool undoKind = begin.kind == BatchKind::Undo;
    RecoveredBatch out;
    // Records go after the last whole one; a torn tail is cut off first.
    if (scan.fileSize > scan.validEnd && io_.ftruncate(file.get(), scan.validEnd) != 0) {
        out.batch = SummaryOf(number, begin, std::nullopt, scan.fileSize);
        out.files.append({path, ChangeState::Old, RecoveryAction::Failed,
                          SystemFailure(path, OpJournal(), errno)});
        return out;
    }
    BatchFile batch(io_, number, path, folder_, std::move(file), scan.validEnd, true);

    std::map<quint64, QString> fileSystems;  // device -> a path on it
    QList<OutcomeRecord> outcomes;
    bool failed = false;
    for (const Scan::Entry& entry : scan.entries) {
        const auto record = ReadRecordFrom(io_, batch.fd(), entry.offset, scan.validEnd);
        if (!record)
            continue;  // read before; a read failure now is tried again next start
        RecoveredFile rf;
        if (entry.type == RecordType::File) {
            const FileChange change = DecodeFile(record->payload)->change;
            rf.path = change.path;
            struct stat st;
            const bool named = io_.lstat(PathBytes(change.path).constData(), &st) == 0;
            if ((!named && errno == ENOENT) || (named && !S_ISREG(st.st_mode))) {
                rf.found = ChangeState::Foreign;
                rf.action = RecoveryAction::LeftAlone;
                rf.reason = named ? ChangedMeanwhileReason() : GoneReason();
            } else {
                try {
                    // Judged through a read-only descriptor (the file may
                    // have been made read-only since); written only when torn.
                    LockedFile f = LockedFile::Open(io_, change.path, O_RDONLY);
                    rf.found = ClassifyFile(change, f.identity(), [&](qint64 at, qint64 n) {
                        return ReadRange(io_, f.fd(), at, n, change.path);
                    });
                    if (rf.found == ChangeState::Mixed) {
                        const bool forward = undoKind && AfterSidesWhole(change);
                        const int wfd =
                            io_.open(PathBytes(change.path).constData(), O_WRONLY | O_NOFOLLOW);
                        sysio::File writable(io_, wfd);
                        const int e = wfd < 0 ? errno : WriteSides(io_, wfd, change, forward);
                        if (e != 0) {
                            rf.action = RecoveryAction::Failed;
                            rf.reason = SystemFailure(change.path, fileio::OpWrite(), e);
                        } else {
                            rf.action = forward ? RecoveryAction::RolledForward
                                                : RecoveryAction::RolledBack;
                            rf.found = forward ? ChangeState::New : ChangeState::Old;
                        }
                    } else if (rf.found == ChangeState::Foreign) {
                        rf.action = RecoveryAction::LeftAlone;
                        rf.reason = ChangedMeanwhileReason();
                    }
                    fileSystems.emplace(quint64(f.status().st_dev), change.path);
                } catch (const StoreError& e) {
                    rf.action = RecoveryAction::Failed;
                    rf.reason = e.message();
                }
            }
            if (change.method == WriteMethod::Beside)
                out.strayTempsRemoved += RemoveStrayTemps(io_, change.path);
        } else {
            const RenameChange change = DecodeRename(record->payload)->change;
            rf.path = change.from;
            const auto lstat = [&](const QString& p, struct stat* st) {
                return io_.lstat(PathBytes(p).constData(), st) == 0;
            };
            rf.found = ClassifyRename(change, lstat);
            if (rf.found == ChangeState::Mixed) {
                // Both names hold the file: a link made, the old name not
                // yet removed. Back to one name.
                const QString& drop = undoKind ? change.from : change.to;
                if (io_.unlink(PathBytes(drop).constData()) != 0) {
                    rf.action = RecoveryAction::Failed;
                    rf.reason = SystemFailure(drop, StoreOp::Remove, errno);
                } else {
                    rf.action =
                        undoKind ? RecoveryAction::RolledForward : RecoveryAction::RolledBack;
                    rf.found = undoKind ? ChangeState::New : ChangeState::Old;
                }
            } else if (rf.found == ChangeState::Foreign) {
                rf.action = RecoveryAction::LeftAlone;
                rf.reason = GoneReason();
            }
            // Folders made for a rename that did not happen, or left empty
            // by an undone one, go when empty.
            if (rf.found == ChangeState::Old && !change.createdFolder.isEmpty())
                io_.rmdir(PathBytes(change.createdFolder).constData());
            if (rf.found == ChangeState::New && !change.removedFolder.isEmpty())
                io_.rmdir(PathBytes(change.removedFolder).constData());
            fileSystems.emplace(change.device, change.from);
        }
        if (rf.action == RecoveryAction::Failed)
            failed = true;
        else
            outcomes.append({entry.index, OutcomeOfState(rf.found)});
        out.files.append(rf);
    }

    // What recovery leaves must be durable before the batch says complete.
    for (const auto& [device, somePath] : fileSystems) {
        const int fd =
            io_.open(FolderOfPath(PathBytes(somePath)).constData(), O_RDONLY | O_DIRECTORY);
        sysio::File fs(io_, fd);
        if (fd < 0 || io_.syncfs(fd) != 0)
            failed = true;
    }
    quint32 written = 0;
    for (const OutcomeRecord& o : outcomes) {
        batch.append(RecordType::Outcome, EncodeOutcome(o));
        if (o.outcome == Outcome::Written)
            ++written;
    }
    CompleteRecord end{begin.nonce, written, false, true};
    if (!failed) {
        int err = batch.append(RecordType::Complete, EncodeComplete(end));
        if (err == 0)
            err = batch.sync();
        out.completed = err == 0;
        // A batch that changed nothing has nothing to undo.
        if (out.completed && written == 0 && !undoKind)
            io_.unlink(PathBytes(path).constData());
    }
    batch.write();
    struct stat st;
    const qint64 bytes = io_.fstat(batch.fd(), &st) == 0 ? st.st_size : 0;
    out.batch = SummaryOf(number, begin, out.completed ? std::optional(end) : std::nullopt, bytes);
    return out;
}

// ---------------------------------------------------------------------------
// Undo.

namespace {

PlannedItem Refuse(const QString& path, const QString& reason) {
    PlannedItem p;
    p.outcome = FileOutcome::Refused;
    p.reason = reason;
    p.path = path;
    return p;
}

PlannedItem AlreadyUndone(const QString& path) {
    PlannedItem p;
    p.outcome = FileOutcome::Unchanged;
    p.path = path;
    return p;
}

PlannedItem PlanUndoFile(sysio::SysIO& io, const FileChange& done) {
    const QByteArray native = PathBytes(done.path);
    struct stat st;
    if (io.lstat(native.constData(), &st) != 0)
        return Refuse(done.path, errno == ENOENT
                                     ? GoneReason()
                                     : SystemFailure(done.path, fileio::OpRead(), errno));
    const int fd = io.open(native.constData(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        throw StoreError::fromErrno(done.path, fileio::OpOpen(), errno);
    sysio::File file(io, fd);
    if (io.fstat(fd, &st) != 0)
        throw StoreError::fromErrno(done.path, fileio::OpRead(), errno);
    if (!S_ISREG(st.st_mode))
        return Refuse(done.path, ChangedSinceReason());
    const FileIdentity now = IdentityOf(st);
    const auto read = [&](qint64 at, qint64 n) { return ReadRange(io, fd, at, n, done.path); };
    switch (ClassifyFile(done, now, read)) {
        case ChangeState::Old:
            return AlreadyUndone(done.path);
        case ChangeState::Mixed:
        case ChangeState::Foreign:
            return Refuse(done.path, ChangedSinceReason());
        case ChangeState::New:
            break;
    }
    FileChange back = InverseChange(done);
    back.before = now;
    for (Splice& s : back.splices) {
        if (!s.after.whole())
            return Refuse(done.path, StoreReasonText(StoreProblem::NoOriginalContent));
        // The bytes the batch wrote, which the journal knew only by digest.
        if (!s.before.whole())
            s.before = WholeSide(read(s.offset, s.before.length));
    }
    PlannedItem p;
    p.change = std::move(back);
    return p;
}

PlannedItem PlanUndoRename(sysio::SysIO& io, const RenameChange& done) {
    const auto lstat = [&](const QString& p, struct stat* st) {
        return io.lstat(PathBytes(p).constData(), st) == 0;
    };
    switch (ClassifyRename(done, lstat)) {
        case ChangeState::Old:
            return AlreadyUndone(done.from);
        case ChangeState::Mixed:
        case ChangeState::Foreign:
            return Refuse(done.to, GoneReason());
        case ChangeState::New:
            break;
    }
    RenameChange back;
    back.from = done.to;
    back.to = done.from;
    back.removedFolder = done.createdFolder;
    back.device = done.device;
    back.inode = done.inode;
    PlannedItem p;
    p.change = std::move(back);
    return p;
}

}  // namespace

// What undoing batch `number` starts from: the batch file, held under an
// exclusive lock (a second undo of the same batch, in another process, is
// refused, and pruning passes it by), its scan, and the items to take back,
// newest first, with a plan for each.
struct Journal::UndoPlan {
    QString path;
    sysio::File held;
    Scan scan;
    QList<Scan::Entry> entries;
    PlanFn plan;
};

std::unique_ptr<Journal::UndoPlan> Journal::planUndo(quint64 number) {
    auto u = std::make_unique<UndoPlan>();
    u->path = batchPath(number);
    const QString& path = u->path;
    const auto notUndoable = [&] {
        return StoreError(path, StoreOp::Undo, StoreProblem::NotUndoable);
    };
    {
        Lock lock = lockJournal();
        bool found = false;
        for (const BatchSummary& s : undoableLocked()) found = found || s.number == number;
        if (!found)
            throw notUndoable();
        const int fd = io_.open(PathBytes(path).constData(), O_RDONLY);
        if (fd < 0)
            throw StoreError::fromErrno(path, fileio::OpOpen(), errno);
        u->held = sysio::File(io_, fd);
        if (io_.flock(fd, LOCK_EX | LOCK_NB) != 0)
            throw StoreError(path, StoreOp::Undo, StoreProblem::UndoInProgress);
        ScanBatchFile(io_, fd, u->scan);
        if (!u->scan.complete)
            throw notUndoable();
    }
    // Files the batch left untouched are passed over; a file whose outcome
    // record was lost (its append failed after the file was written) is
    // judged by its contents like the rest.
    const Scan& scan = u->scan;
    for (auto it = scan.entries.crbegin(); it != scan.entries.crend(); ++it) {
        const auto o = scan.outcomes.find(it->index);
        if (o == scan.outcomes.end() ||
            (o->second != Outcome::NotWritten && o->second != Outcome::Foreign))
            u->entries.append(*it);
    }
    UndoPlan* raw = u.get();
    u->plan = [this, raw](int i) -> PlannedItem {
        const Scan::Entry& entry = raw->entries[i];
        const auto record = ReadRecordFrom(io_, raw->held.get(), entry.offset, raw->scan.validEnd);
        if (!record)
            throw StoreError(raw->path, OpReadJournal(), StoreProblem::JournalUnreadable);
        if (entry.type == RecordType::File)
            return PlanUndoFile(io_, DecodeFile(record->payload)->change);
        return PlanUndoRename(io_, DecodeRename(record->payload)->change);
    };
    return u;
}

QList<UndoPreviewItem> Journal::previewUndo(quint64 number) {
    const std::unique_ptr<UndoPlan> u = planUndo(number);
    QList<UndoPreviewItem> items;
    items.reserve(u->entries.size());
    for (int i = 0; i < u->entries.size(); ++i) {
        UndoPreviewItem item;
        try {
            const PlannedItem p = u->plan(i);
            if (const auto* change = std::get_if<FileChange>(&p.change)) {
                item.outcome = FileOutcome::Written;
                item.path = change->path;
            } else if (const auto* rename = std::get_if<RenameChange>(&p.change)) {
                item.outcome = FileOutcome::Written;
                item.path = rename->from;
                item.renamedTo = rename->to;
            } else {
                item.outcome = p.outcome;
                item.path = p.path;
                item.reason = p.reason;
            }
        } catch (const StoreError& error) {
            item.outcome = FileOutcome::Failed;
            item.path = error.path();
            item.reason = error.message();
        }
        items.append(item);
    }
    return items;
}

RunResult Journal::undo(quint64 number, const RunControl& control) {
    std::unique_ptr<UndoPlan> u = planUndo(number);
    const Scan& scan = u->scan;
    const QList<Scan::Entry>& entries = u->entries;
    const PlanFn& plan = u->plan;
    BeginRecord begin;
    begin.nonce = QRandomGenerator::system()->generate64();
    begin.kind = BatchKind::Undo;
    begin.description = scan.begin->description;
    begin.timeMs = QDateTime::currentDateTimeUtc().toMSecsSinceEpoch();
    begin.keepMtime = control.apply.keepMtime;
    begin.undoes = scan.begin->nonce;
    QString failure;
    std::unique_ptr<BatchFile> batch = beginBatch(begin, &failure);
    if (!batch) {
        RunResult result;
        result.journalFailure = failure;
        result.files.resize(entries.size());
        return result;
    }
    RunResult result = runBatch(batch.get(), begin, int(entries.size()), plan, control);
    batch.reset();
    u.reset();
    prune();
    return result;
}

// ---------------------------------------------------------------------------
// Retention.

void Journal::prune() {
    try {
        Lock lock = lockJournal();
        pruneLocked();
    } catch (const StoreError&) {
        // Retention is tried again after the next batch.
    }
}

void Journal::pruneLocked() {
    struct Entry {
        quint64 number;
        qint64 bytes;
        bool complete;
    };
    QList<Entry> entries;
    qint64 total = 0;
    int complete = 0;
    for (quint64 number : batchNumbers()) {
        bool done = false;
        quint64 nonce = 0, undoes = 0;
        const auto s = summarize(number, &done, &nonce, &undoes);
        struct stat st;
        qint64 bytes = s ? s->bytes : 0;
        if (!s && io_.lstat(PathBytes(batchPath(number)).constData(), &st) == 0)
            bytes = st.st_size;
        entries.append({number, bytes, done});
        total += bytes;
        complete += done ? 1 : 0;
    }
    // The newest complete batch stays whatever its size.
    qsizetype newest = -1;
    for (qsizetype i = entries.size() - 1; i >= 0 && newest < 0; --i)
        if (entries[i].complete)
            newest = i;
    for (qsizetype i = 0; i < entries.size(); ++i) {
        if (total <= options_.maxBytes && complete <= options_.maxBatches)
            break;
        const Entry& e = entries[i];
        if (!e.complete || i == newest)
            continue;
        const QByteArray native = PathBytes(batchPath(e.number));
        const int fd = io_.open(native.constData(), O_RDONLY);
        if (fd < 0)
            continue;
        sysio::File file(io_, fd);
        if (io_.flock(fd, LOCK_EX | LOCK_NB) != 0)
            continue;  // being undone
        if (io_.unlink(native.constData()) == 0) {
            total -= e.bytes;
            --complete;
        }
    }
}
