// Speed of the store against what the system itself needs for the same work.
//
// Reading: the three records of each of 10,000 small tagged files, through
// ReadFileRecords (one open) and through ReadID3v1Tag + ReadID3v2Tag +
// GetFileFacts, against a floor loop that opens each file, reads the same
// byte ranges with pread (the first 4 KiB and the last 128 bytes) and closes
// it. Target: at most 2x the floor.
//
// Judged: ReadFileRecords with the content judged (MP3 or not), as the list
// reads files when it shows the content column. Target: at most 2x the
// floor.
//
// Crafted: the file of a report, 2 GiB sparse behind a tag that claims
// 0x0FFFFFFF bytes, one UTF-16 title of "A", "B" and zeros filling it; its
// records and content read. Target: under 1 s (and 200 MB, which the store
// tests check).
//
// Covers: 1,000 files as other programs tag them, a 256 KiB picture first
// and the texts in UTF-16 after it. The reader skips the picture; the floor
// reads the first 4 KiB, the 4 KiB after the picture and the last 128 bytes.
// Target: at most 2x that floor.
//
// Writing: WriteID3v2Tag on a 4 MB file against a plain copy of that file and
// against a copy that is flushed with fsync, as the safe rewrite is. Target:
// at least 0.8x the copy's throughput. A third copy also renames itself over
// the original and flushes the folder, as the safe rewrite does, to show
// what the tag work itself costs.
//
// The files are generated once into a temporary folder (warm page cache).
// After the runs the ratios are printed below the usual table.

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "store/filefacts.h"
#include "store/filerecords.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/programfolder.h"

namespace {

constexpr int kFileCount = 10000;
constexpr int kSmallAudio = 8 * 1024;
constexpr qint64 kBigAudio = 4 * 1024 * 1024;
constexpr qint64 kHeadRead = 4096;  // what ReadFileRecords reads first

[[noreturn]] void Die(const char* what, const QString& path) {
    std::fprintf(stderr, "bench_store: %s %s: %s\n", what, qPrintable(path), std::strerror(errno));
    std::exit(1);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    const QByteArray native = path.toLocal8Bit();
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        Die("create", path);
    if (::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size())
        Die("write", path);
    ::close(fd);
}

// Stand-in audio that begins with an MPEG frame header, as audio does.
QByteArray AudioBytes(qint64 n) {
    QByteArray audio(n, '\0');
    for (qint64 i = 0; i < n; ++i) audio[i] = char(i % 417 == 0 ? 0xFF : (i * 31) & 0xFF);
    audio.replace(0, 4, QByteArray("\xFF\xFB\x90\x64", 4));
    return audio;
}

// A file as this program writes it: an ID3v2.3 tag of the twelve frames,
// audio, an ID3v1 tag.
QByteArray TaggedFile(int i, const QByteArray& audio) {
    ID3v2Tag v2;
    v2.TIT2 = QStringLiteral("第%1首歌").arg(i);
    v2.TPE1 = QStringLiteral("歌手%1").arg(i % 97);
    v2.TALB = QStringLiteral("专辑 %1").arg(i % 13);
    v2.TYER = QStringLiteral("2004");
    v2.TCON = QStringLiteral("Pop");
    v2.TRCK = QString::number(i % 20 + 1);
    v2.COMM = QStringLiteral("评论");
    const QByteArray frames = RenderID3v2Frames(v2);

    ID3v1Tag v1 = NoID3v1Tag();
    v1.Marker = QStringLiteral("TAG");
    v1.SongTitle = FixedWidth(v2.TIT2, kTitleWidth);
    v1.Artist = FixedWidth(v2.TPE1, kArtistWidth);
    v1.Album = FixedWidth(v2.TALB, kAlbumWidth);
    v1.Year = FixedWidth(v2.TYER, kYearWidth);
    v1.Comment = FixedWidth(v2.COMM, kCommentWidth);
    v1.Track = quint8(i % 20 + 1);
    v1.Genre = GenreCharacter(13);
    return RenderID3v2Header(frames.size()) + frames + audio + RenderID3v1Tag(v1);
}

constexpr int kCoverCount = 1000;
constexpr qint64 kCoverSize = 256 * 1024;

// A file with a v2.3 tag as other programs write one: the picture first,
// then the texts (not all of them in code page 936, so UTF-16).
QByteArray CoverFile(int i, const QByteArray& audio) {
    ID3v2Tag v2;
    v2.TIT2 = QStringLiteral("第%1首歌 \U0001F3B5").arg(i);
    v2.TPE1 = QStringLiteral("歌手%1").arg(i % 97);
    v2.TALB = QStringLiteral("专辑 %1").arg(i % 13);
    const QByteArray texts = RenderID3v2Frames(v2);
    const qint64 n = kCoverSize;
    const char size[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    const QByteArray picture = QByteArray("APIC", 4) + QByteArray(size, 4) + QByteArray(2, '\0') +
                               QByteArray("\0image/jpeg\0\x03\0", 14) + QByteArray(n - 14, 'j');
    return RenderID3v2Header(picture.size() + texts.size()) + picture + texts + audio;
}

// The generated files, made once on first use.
struct Corpus {
    QTemporaryDir dir;
    QStringList small;
    QStringList covers;
    QString big;
    QString copy;
    QString crafted;

    Corpus() {
        if (!dir.isValid())
            Die("create temporary folder", dir.path());
        SetProgramFolder(dir.path());
        const QByteArray audio = AudioBytes(kSmallAudio);
        small.reserve(kFileCount);
        for (int i = 0; i < kFileCount; ++i) {
            small.append(dir.filePath(QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0'))));
            WriteFile(small.back(), TaggedFile(i, audio));
        }
        for (int i = 0; i < kCoverCount; ++i) {
            covers.append(
                dir.filePath(QStringLiteral("cover%1.mp3").arg(i, 4, 10, QLatin1Char('0'))));
            WriteFile(covers.back(), CoverFile(i, audio));
        }
        big = dir.filePath(QStringLiteral("big.mp3"));
        WriteFile(big, TaggedFile(0, AudioBytes(kBigAudio)));
        copy = dir.filePath(QStringLiteral("copy.mp3"));

        crafted = dir.filePath(QStringLiteral("crafted.mp3"));
        const quint32 n = 0x0FFFFFFF - 10;
        const char size[4] = {char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
        WriteFile(crafted, QByteArray("ID3\x03\x00\x00\x7F\x7F\x7F\x7F", 10) + "TIT2" +
                               QByteArray(size, 4) + QByteArray(2, '\0') +
                               QByteArray("\x01\xFF\xFE"
                                          "A\0\0\0B\0",
                                          9));
        if (::truncate(crafted.toLocal8Bit().constData(), qint64(2) << 30) != 0)
            Die("extend", crafted);
    }
};

Corpus& Files() {
    static Corpus corpus;
    return corpus;
}

void BM_ReadFloor(benchmark::State& state) {
    std::vector<QByteArray> paths;
    for (const QString& p : Files().small) paths.push_back(p.toLocal8Bit());
    char head[kHeadRead];
    char tail[128];
    for (auto _ : state) {
        for (const QByteArray& path : paths) {
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            struct stat st;
            ::fstat(fd, &st);
            benchmark::DoNotOptimize(::pread(fd, head, sizeof head, 0));
            benchmark::DoNotOptimize(::pread(fd, tail, sizeof tail, st.st_size - 128));
            ::close(fd);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

void BM_ReadFileRecords(benchmark::State& state) {
    const QStringList& paths = Files().small;
    for (auto _ : state) {
        for (const QString& path : paths) benchmark::DoNotOptimize(ReadFileRecords(path));
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

void BM_ReadFileRecordsJudged(benchmark::State& state) {
    const QStringList& paths = Files().small;
    for (auto _ : state) {
        for (const QString& path : paths) benchmark::DoNotOptimize(ReadFileRecords(path, true));
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

void BM_ReadCraftedFile(benchmark::State& state) {
    const QString& path = Files().crafted;
    for (auto _ : state) benchmark::DoNotOptimize(ReadFileRecords(path, true));
}

void BM_ReadCoverFloor(benchmark::State& state) {
    std::vector<QByteArray> paths;
    for (const QString& p : Files().covers) paths.push_back(p.toLocal8Bit());
    static char block[kHeadRead];
    for (auto _ : state) {
        for (const QByteArray& path : paths) {
            const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
            struct stat st;
            ::fstat(fd, &st);
            benchmark::DoNotOptimize(::pread(fd, block, sizeof block, 0));
            benchmark::DoNotOptimize(::pread(fd, block, sizeof block, 20 + kCoverSize));
            benchmark::DoNotOptimize(::pread(fd, block, 128, st.st_size - 128));
            ::close(fd);
        }
        benchmark::ClobberMemory();
    }
    state.SetItemsProcessed(state.iterations() * kCoverCount);
}

void BM_ReadCoverFiles(benchmark::State& state) {
    const QStringList& paths = Files().covers;
    for (auto _ : state) {
        for (const QString& path : paths) benchmark::DoNotOptimize(ReadFileRecords(path));
    }
    state.SetItemsProcessed(state.iterations() * kCoverCount);
}

void BM_ReadThreeRoutines(benchmark::State& state) {
    const QStringList& paths = Files().small;
    for (auto _ : state) {
        for (const QString& path : paths) {
            benchmark::DoNotOptimize(ReadID3v1Tag(path));
            benchmark::DoNotOptimize(ReadID3v2Tag(path));
            benchmark::DoNotOptimize(GetFileFacts(path));
        }
    }
    state.SetItemsProcessed(state.iterations() * kFileCount);
}

void BM_WriteID3v2Tag(benchmark::State& state) {
    const QString& path = Files().big;
    // The new tag has the same texts as the old one, so the old extent read
    // here stays right for every rewrite.
    const ID3v2Tag tag = ReadID3v2Tag(path);
    const qint64 length = GetFileFacts(path).Length;
    for (auto _ : state) WriteID3v2Tag(path, tag);
    state.SetBytesProcessed(state.iterations() * length);
}

// Copies the whole file the way cp does: copy_file_range, falling back to
// 1 MiB reads and writes.
void CopyFile(const QByteArray& from, const QByteArray& to, bool flush) {
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    const int out = ::open(to.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (in < 0 || out < 0)
        Die("open for copying", QString::fromLocal8Bit(from));
    struct stat st;
    ::fstat(in, &st);
    qint64 left = st.st_size;
    while (left > 0) {
        const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, size_t(left), 0);
        if (n <= 0)
            break;
        left -= n;
    }
    static char block[1 << 20];
    while (left > 0) {
        const ssize_t n = ::read(in, block, sizeof block);
        if (n <= 0 || ::write(out, block, size_t(n)) != n)
            Die("copy", QString::fromLocal8Bit(to));
        left -= n;
    }
    if (flush)
        ::fsync(out);
    ::close(out);
    ::close(in);
}

// How the copy is finished.
enum class Finish {
    None,     // a plain copy
    Fsync,    // the copy is flushed to disk
    Replace,  // flushed, renamed over the original and the folder flushed:
              // the steps of a safe rewrite, without the tag work
};

void CopyBenchmark(benchmark::State& state, Finish finish) {
    const QByteArray original = Files().big.toLocal8Bit();
    const QByteArray to = Files().copy.toLocal8Bit();
    const QByteArray folder = Files().dir.path().toLocal8Bit();
    const qint64 length = GetFileFacts(Files().big).Length;
    for (auto _ : state) {
        CopyFile(original, to, finish != Finish::None);
        if (finish == Finish::Replace) {
            if (::rename(to.constData(), original.constData()) != 0)
                Die("rename", Files().copy);
            const int dir = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            ::fsync(dir);
            ::close(dir);
        }
    }
    state.SetBytesProcessed(state.iterations() * length);
}

void BM_CopyFile(benchmark::State& state) {
    CopyBenchmark(state, Finish::None);
}
void BM_CopyFileFsync(benchmark::State& state) {
    CopyBenchmark(state, Finish::Fsync);
}
void BM_CopyFsyncRename(benchmark::State& state) {
    CopyBenchmark(state, Finish::Replace);
}

BENCHMARK(BM_ReadFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadFileRecords)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadFileRecordsJudged)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadCraftedFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadCoverFloor)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadCoverFiles)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ReadThreeRoutines)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_CopyFile)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_CopyFileFsync)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_CopyFsyncRename)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_WriteID3v2Tag)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

// The console table, then the ratios against the targets.
class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        // With --benchmark_repetitions the median stands for the runs.
        for (const Run& run : runs) {
            if (run.error_occurred || run.iterations == 0)
                continue;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.run_type == Run::RT_Iteration || median)
                seconds_[run.run_name.function_name] =
                    run.real_accumulated_time / double(run.iterations);
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        std::FILE* out = stdout;
        std::fflush(out);
        std::fprintf(out, "\nRatios (target):\n");
        Slower("ReadFileRecords / floor", "BM_ReadFileRecords", "BM_ReadFloor", "<= 2");
        Slower("three routines / floor", "BM_ReadThreeRoutines", "BM_ReadFloor", "<= 2");
        Slower("ReadFileRecords judged / floor", "BM_ReadFileRecordsJudged", "BM_ReadFloor",
               "<= 2");
        if (seconds_.count("BM_ReadCraftedFile"))
            std::printf("  %-40s %6.3f s  (< 1 s)\n", "crafted 2 GiB file, one read",
                        seconds_.at("BM_ReadCraftedFile"));
        Slower("files with covers / their floor", "BM_ReadCoverFiles", "BM_ReadCoverFloor", "<= 2");
        Faster("WriteID3v2Tag throughput / copy+fsync", "BM_WriteID3v2Tag", "BM_CopyFileFsync");
        Faster("WriteID3v2Tag throughput / plain copy", "BM_WriteID3v2Tag", "BM_CopyFile");
        Faster("WriteID3v2Tag throughput / copy+fsync+rename", "BM_WriteID3v2Tag",
               "BM_CopyFsyncRename");
    }

  private:
    bool Have(const char* a, const char* b) const { return seconds_.count(a) && seconds_.count(b); }
    void Slower(const char* label, const char* a, const char* b, const char* target) const {
        if (Have(a, b))
            std::printf("  %-40s %6.2fx  (%s)\n", label, seconds_.at(a) / seconds_.at(b), target);
    }
    void Faster(const char* label, const char* a, const char* b) const {
        if (Have(a, b))
            std::printf("  %-40s %6.2fx  (>= 0.8)\n", label, seconds_.at(b) / seconds_.at(a));
    }
    std::map<std::string, double> seconds_;
};

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    Files();  // generate before the clock runs
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
