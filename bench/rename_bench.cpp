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

// The large mixed folder: TAMBERLO_BENCH_FILES files (20,000 by default),
// tagged as a library mixes them: ID3v2 only, ID3v1 only, both, neither.
struct MixedFolder {
    MixedFolder() {
        SetProgramFolder(program.path());
        const int n = qEnvironmentVariableIntValue("TAMBERLO_BENCH_FILES");
        const int count = n > 0 ? n : 20000;
        for (int i = 0; i < count; ++i) {
            const QString name = QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0'));
            const QByteArray title = "Song " + QByteArray::number(i);
            // an ID3v2.3 tag with TIT2 and TPE1, encoding 0
            QByteArray frames;
            for (const auto& [id, text] :
                 {std::pair<QByteArray, QByteArray>{"TIT2", title}, {"TPE1", "Band"}}) {
                const QByteArray payload = '\0' + text;
                const quint32 size = quint32(payload.size());
                frames += id + QByteArray(1, char(size >> 24)) + char(size >> 16) +
                          char(size >> 8) + char(size) + QByteArray(2, '\0') + payload;
            }
            const quint32 size = quint32(frames.size());
            const QByteArray v2 = QByteArray("ID3\x03\x00\x00", 6) + char((size >> 21) & 0x7F) +
                                  char((size >> 14) & 0x7F) + char((size >> 7) & 0x7F) +
                                  char(size & 0x7F) + frames;
            QByteArray v1 = "TAG" + ("Old " + QByteArray::number(i)).leftJustified(30);
            v1 += QByteArray("Group").leftJustified(30) + QByteArray(30, ' ') + QByteArray(4, ' ');
            v1 += QByteArray(28, ' ') + QByteArray(1, 0) + QByteArray(1, 1) + '\x11';
            const bool hasV2 = i % 4 == 0 || i % 4 == 2;
            const bool hasV1 = i % 4 == 1 || i % 4 == 2;
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly))
                std::abort();
            file.write((hasV2 ? v2 : QByteArray()) + QByteArray(4096, '\xff') +
                       (hasV1 ? v1 : QByteArray()));
            files.names << name;
            withV2 << hasV2;
        }
        files.folder = dir.path();
    }
    QTemporaryDir dir;
    QTemporaryDir program;
    TickedFiles files;
    QList<bool> withV2;
};

MixedFolder& Mixed() {
    static MixedFolder folder;
    return folder;
}

// "ID3v2 优先" over the large folder; fails when a file with an ID3v2 title
// and artist is blocked.
void BM_PreviewPreferV2(benchmark::State& state) {
    const MixedFolder& folder = Mixed();
    RenameRule rule;
    rule.pattern = 1;
    rule.source = RenameSource::V2ThenV1;
    for (auto _ : state) {
        const std::vector<RenameRow> rows = PlanRename(folder.files, rule);
        for (size_t i = 0; i < rows.size(); ++i) {
            if (folder.withV2[qsizetype(i)] && !rows[i].ready) {
                state.SkipWithError("a file with an ID3v2 title and artist was blocked");
                return;
            }
        }
    }
    state.counters["files"] = double(folder.files.names.size());
}

// The same folder from the ID3v1 tag, for the ratio.
void BM_PreviewV1Mixed(benchmark::State& state) {
    const MixedFolder& folder = Mixed();
    for (auto _ : state) benchmark::DoNotOptimize(PlanRename(folder.files, 1));
}

}  // namespace

BENCHMARK(BM_PreviewFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Preview)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewFolderPattern)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewPreferV2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PreviewV1Mixed)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_RunFloor)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Run)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
