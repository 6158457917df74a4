// The rename preview and run over a folder of small MP3s, against the plain
// floor of the same system calls: open + pread + close for the preview,
// rename() for the run.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "batch/rename.h"
#include "store/programfolder.h"

namespace {

constexpr int kFiles = 2000;

// A folder of kFiles MP3s "NNNN.mp3", each 4 KiB of audio and a tag whose
// title is "Song NNNN".
struct Folder {
    Folder() {
        SetProgramFolder(program.path());
        for (int i = 0; i < kFiles; ++i) {
            const QString name = QStringLiteral("%1.mp3").arg(i, 4, 10, QLatin1Char('0'));
            QByteArray tag = "TAG" + QStringLiteral("Song %1").arg(i).toLatin1().leftJustified(30);
            tag += QByteArray("Band").leftJustified(30) + QByteArray("Album").leftJustified(30);
            tag += QByteArray(32, ' ') + QByteArray(1, 0) + QByteArray(1, char(i % 20)) + '\x11';
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly)) {
                std::abort();
            }
            file.write(QByteArray(4096, '\xff') + tag);
            files.names << name;
        }
        files.folder = dir.path();
    }
    QTemporaryDir dir;
    QTemporaryDir program;
    TickedFiles files;
};

Folder& Shared() {
    static Folder folder;
    return folder;
}

void BM_PreviewFloor(benchmark::State& state) {
    const Folder& folder = Shared();
    char tail[128];
    for (auto _ : state) {
        for (const QString& name : folder.files.names) {
            const QByteArray path = QFile::encodeName(folder.dir.filePath(name));
            const int fd = ::open(path.constData(), O_RDONLY);
            benchmark::DoNotOptimize(::pread(fd, tail, sizeof tail, 4096));
            ::close(fd);
        }
    }
}

void BM_Preview(benchmark::State& state) {
    const Folder& folder = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(PlanRename(folder.files, 5));
}

// A folder pattern: each row also looks whether its sub-folder is a link.
void BM_PreviewFolderPattern(benchmark::State& state) {
    const Folder& folder = Shared();
    for (auto _ : state) benchmark::DoNotOptimize(PlanRename(folder.files, 8));
}

// Moves every file to its pattern-4 name and back; only the way there is timed.
template <bool floor>
void Run(benchmark::State& state) {
    const Folder& folder = Shared();
    const std::vector<RenameRow> rows = PlanRename(folder.files, 4);
    for (auto _ : state) {
        if (floor) {
            for (const RenameRow& row : rows) {
                ::rename(QFile::encodeName(folder.dir.filePath(row.oldName)).constData(),
                         QFile::encodeName(folder.dir.filePath(row.newName)).constData());
            }
        } else {
            benchmark::DoNotOptimize(RunRename(rows));
        }
        state.PauseTiming();
        for (const RenameRow& row : rows) {
            QFile::rename(folder.dir.filePath(row.newName), folder.dir.filePath(row.oldName));
        }
        state.ResumeTiming();
    }
}
void BM_RunFloor(benchmark::State& state) {
    Run<true>(state);
}
void BM_Run(benchmark::State& state) {
    Run<false>(state);
}

}  // namespace

BENCHMARK(BM_PreviewFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFolderPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Run)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
