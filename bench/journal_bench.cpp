// What the journal costs, and the choice it rests on: making a batch of
// in-place writes durable with one fdatasync per file, or with one syncfs
// for the whole batch. Also the cost of the I/O seam on reads.
//
//   Durability/FdatasyncPerFile/N  pwrite 1 KiB at the start of N files, fdatasync each
//   Durability/SyncfsPerBatch/N    the same writes, then one syncfs
//   Journaled/InPlace/N            the same change as a journaled batch (records,
//                                  flush, lock and check, write, syncfs, end record)
//   Journaled/Undo/N               undoing that batch
//   Journaled/Beside/N             tags that grow: copy, fsync and rename per file
//   Read/Direct/N, Read/Seam/N     open, two preads, close per file, straight or
//                                  through sysio::System()
//
// Files are 16 KiB; the folder is made once per benchmark, outside the timing.
// Compare figures of one run as ratios.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "store/journal.h"

namespace {

constexpr qint64 kFileSize = 16384;
constexpr qint64 kTag = 1024;

QByteArray Fill(char c, qint64 n) {
    return QByteArray(n, c);
}

struct Folder {
    QTemporaryDir dir;
    std::vector<QByteArray> paths;

    explicit Folder(int count) {
        const QByteArray body = Fill('a', kFileSize);
        for (int i = 0; i < count; ++i) {
            const QByteArray path = QFile::encodeName(dir.path()) + "/f" + QByteArray::number(i);
            const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (fd < 0 || ::write(fd, body.constData(), body.size()) != body.size())
                std::abort();
            ::close(fd);
            paths.push_back(path);
        }
        ::sync();
    }
};

void WriteTags(const Folder& folder, char c, bool fdatasyncEach) {
    const QByteArray tag = Fill(c, kTag);
    for (const QByteArray& path : folder.paths) {
        const int fd = ::open(path.constData(), O_WRONLY);
        if (::pwrite(fd, tag.constData(), tag.size(), 0) != tag.size())
            std::abort();
        if (fdatasyncEach)
            ::fdatasync(fd);
        ::close(fd);
    }
}

void BM_FdatasyncPerFile(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    char c = 'b';
    for (auto _ : state) WriteTags(folder, c++, true);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_SyncfsPerBatch(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    const int dir = ::open(QFile::encodeName(folder.dir.path()).constData(), O_RDONLY);
    char c = 'b';
    for (auto _ : state) {
        WriteTags(folder, c++, false);
        ::syncfs(dir);
    }
    ::close(dir);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

PlannedItem PlanTag(const QByteArray& path, const QByteArray& newTag) {
    const QString name = QFile::decodeName(path);
    const int fd = ::open(path.constData(), O_RDONLY);
    struct stat st;
    ::fstat(fd, &st);
    QByteArray old(kTag, Qt::Uninitialized);
    if (::pread(fd, old.data(), kTag, 0) != kTag)
        std::abort();
    ::close(fd);
    FileChange c;
    c.path = name;
    c.before = IdentityOf(st);
    c.method = newTag.size() == kTag ? WriteMethod::InPlace : WriteMethod::Beside;
    c.splices = DiffSplices(0, old, newTag);
    PlannedItem p;
    p.change = c;
    return p;
}

RunResult RunTags(Journal& journal, const Folder& folder, const QByteArray& tag) {
    return journal.run(BatchKind::ID3v2, QStringLiteral("修改 ID3v2 标签"),
                       int(folder.paths.size()),
                       [&](int i) { return PlanTag(folder.paths[size_t(i)], tag); }, {});
}

void BM_JournaledInPlace(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    QTemporaryDir journalDir;
    Journal journal(journalDir.path());
    char c = 'b';
    for (auto _ : state) {
        if (RunTags(journal, folder, Fill(c++, kTag)).written != state.range(0))
            state.SkipWithError("not every file was written");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Undo(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    QTemporaryDir journalDir;
    Journal journal(journalDir.path());
    char c = 'b';
    for (auto _ : state) {
        state.PauseTiming();
        const quint64 batch = RunTags(journal, folder, Fill(c++, kTag)).batch;
        state.ResumeTiming();
        if (journal.undo(batch).written != state.range(0))
            state.SkipWithError("not every file was restored");
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_JournaledBeside(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    QTemporaryDir journalDir;
    Journal journal(journalDir.path());
    char c = 'b';
    for (auto _ : state) {
        // The first kTag bytes become a longer tag: every file is rewritten.
        if (RunTags(journal, folder, Fill(c++, kTag + 100)).written != state.range(0))
            state.SkipWithError("not every file was written");
        state.PauseTiming();
        for (const QByteArray& path : folder.paths) ::truncate(path.constData(), kFileSize);
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

template <typename Open, typename Pread, typename Close>
void ReadAll(const Folder& folder, Open open, Pread pread, Close close) {
    char head[4096];
    char tail[128];
    for (const QByteArray& path : folder.paths) {
        const int fd = open(path.constData());
        benchmark::DoNotOptimize(pread(fd, head, sizeof head, 0));
        benchmark::DoNotOptimize(pread(fd, tail, sizeof tail, kFileSize - 128));
        close(fd);
    }
}

void BM_ReadDirect(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    for (auto _ : state)
        ReadAll(
            folder, [](const char* p) { return ::open(p, O_RDONLY | O_CLOEXEC); },
            [](int fd, void* b, size_t n, off_t o) { return ::pread(fd, b, n, o); },
            [](int fd) { ::close(fd); });
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_ReadSeam(benchmark::State& state) {
    Folder folder(int(state.range(0)));
    sysio::SysIO& io = sysio::System();
    for (auto _ : state)
        ReadAll(
            folder, [&](const char* p) { return io.open(p, O_RDONLY); },
            [&](int fd, void* b, size_t n, off_t o) { return io.pread(fd, b, n, o); },
            [&](int fd) { io.close(fd); });
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_FdatasyncPerFile)
    ->Name("Durability/FdatasyncPerFile")
    ->Arg(200)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncfsPerBatch)
    ->Name("Durability/SyncfsPerBatch")
    ->Arg(200)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_FdatasyncPerFile)
    ->Name("Durability/FdatasyncPerFile")
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SyncfsPerBatch)
    ->Name("Durability/SyncfsPerBatch")
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JournaledInPlace)
    ->Name("Journaled/InPlace")
    ->Arg(200)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JournaledInPlace)
    ->Name("Journaled/InPlace")
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo)->Name("Journaled/Undo")->Arg(200)->Iterations(3)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Undo)
    ->Name("Journaled/Undo")
    ->Arg(20000)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_JournaledBeside)
    ->Name("Journaled/Beside")
    ->Arg(200)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadDirect)->Name("Read/Direct")->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ReadSeam)->Name("Read/Seam")->Arg(10000)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
