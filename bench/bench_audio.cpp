// The cost of the audio columns: reading the three records of 10,000 small
// files with their audio properties against the plain store reads of the
// same files (target: at most 1.5x, the bound for the whole list load with
// an audio column shown).
//
// Two sets of files, each an ID3v2.3 tag, audio of 8 KiB and an ID3v1 tag:
//   near  the tag as this program writes it (a few hundred bytes): the first
//         frames lie in the first 4 KiB the store reads anyway;
//   far   the tag padded to 6 KiB, as some taggers leave room: the audio
//         needs a read of its own.
// Half the files of each set begin their audio with a LAME Xing header (VBR),
// half with plain CBR frames. With the content judged too (the details
// dialog, the content column) the two share the read after the tag.
//
// The files are generated once into a temporary folder (warm page cache);
// the ratios are printed below the usual table (with
// --benchmark_repetitions, of the medians).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>

#include "store/filerecords.h"
#include "store/id3v1.h"
#include "store/id3v2.h"

namespace {

constexpr int kFileCount = 10000;
constexpr int kAudioBytes = 8 * 1024;
constexpr int kFarPadding = 6 * 1024;

// MPEG-1 layer III, 128 kbit/s, 44.1 kHz, joint stereo: 417 bytes a frame.
const QByteArray kHeader("\xFF\xFB\x90\x40", 4);

QByteArray Frame(quint8 fill) {
    return kHeader + QByteArray(413, char(fill));
}

// `bytes` of frames; with `xing` the first frame holds a Xing header with
// a LAME header, as LAME writes a VBR file.
QByteArray AudioFrames(bool xing) {
    QByteArray audio;
    if (xing) {
        QByteArray first = Frame(0);
        const QByteArray header = QByteArray("Xing\0\0\0\x0F\0\0\x01\0\0\x08\0\0", 16) +
                                  QByteArray(100, '\x10') + QByteArray(4, '\0') + "LAME3.100" +
                                  QByteArray("\x04\xAA", 2) + QByteArray(10, '\0') +
                                  QByteArray("\x24\x03\xE8", 3) + QByteArray(12, '\0');
        first.replace(36, header.size(), header);
        audio += first;
    }
    for (quint8 i = 1; audio.size() < kAudioBytes; ++i) audio += Frame(i);
    return audio.left(kAudioBytes);
}

QByteArray SongFile(int i, int padding) {
    ID3v2Tag v2;
    v2.TIT2 = QStringLiteral("第%1首歌").arg(i);
    v2.TPE1 = QStringLiteral("歌手%1").arg(i % 97);
    v2.TALB = QStringLiteral("专辑 %1").arg(i % 13);
    v2.TYER = QStringLiteral("2004");
    v2.TRCK = QString::number(i % 20 + 1);
    const QByteArray frames = RenderID3v2Frames(v2) + QByteArray(padding, '\0');
    ID3v1Tag v1 = NoID3v1Tag();
    v1.Marker = QStringLiteral("TAG");
    v1.SongTitle = FixedWidth(v2.TIT2, kTitleWidth);
    v1.Artist = FixedWidth(v2.TPE1, kArtistWidth);
    return RenderID3v2Header(frames.size()) + frames + AudioFrames(i % 2 == 0) + RenderID3v1Tag(v1);
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    const QByteArray native = path.toLocal8Bit();
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0 || ::write(fd, bytes.constData(), size_t(bytes.size())) != bytes.size()) {
        std::fprintf(stderr, "bench_audio: cannot write %s\n", native.constData());
        std::exit(1);
    }
    ::close(fd);
}

struct Corpus {
    QTemporaryDir dir;
    QStringList near, far;
    Corpus() {
        for (int i = 0; i < kFileCount; ++i) {
            near.append(dir.filePath(QStringLiteral("n%1.mp3").arg(i, 5, 10, QLatin1Char('0'))));
            WriteFile(near.back(), SongFile(i, 0));
            far.append(dir.filePath(QStringLiteral("f%1.mp3").arg(i, 5, 10, QLatin1Char('0'))));
            WriteFile(far.back(), SongFile(i, kFarPadding));
        }
        // Every file must read as audio, or the measurement is of nothing.
        for (const QStringList* set : {&near, &far})
            for (const QString& path : *set)
                if (!ReadFileRecords(path, false, true).audio) {
                    std::fprintf(stderr, "bench_audio: no audio in %s\n", qPrintable(path));
                    std::exit(1);
                }
    }
};

Corpus& Files() {
    static Corpus corpus;
    return corpus;
}

// Arguments: audio, the set (0 near, 1 far), judged. Audio varies fastest,
// so each pair to compare runs back to back.
void BM_Read(benchmark::State& state) {
    const bool audio = state.range(0) != 0;
    const QStringList& paths = state.range(1) ? Files().far : Files().near;
    const bool judged = state.range(2) != 0;
    for (auto _ : state)
        for (const QString& path : paths)
            benchmark::DoNotOptimize(ReadFileRecords(path, judged, audio));
    state.SetItemsProcessed(state.iterations() * paths.size());
}

BENCHMARK(BM_Read)
    ->ArgNames({"audio", "far", "judged"})
    ->ArgsProduct({{0, 1}, {0, 1}, {0, 1}})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime()
    ->MinTime(2);

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (!run.error_occurred && run.iterations > 0 &&
                (run.run_type == Run::RT_Iteration || median))
                seconds_[run.run_name.args] = {run.real_accumulated_time / double(run.iterations),
                                               run.cpu_accumulated_time / double(run.iterations)};
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void Finalize() override {
        ConsoleReporter::Finalize();
        // CPU time too: on a busy machine it shows the work itself.
        std::printf("\nRatios, with audio / without (target <= 1.5):  real   cpu\n");
        for (const char* set : {"far:0", "far:1"})
            for (const char* judged : {"judged:0", "judged:1"}) {
                const std::string base = std::string(set) + "/" + judged;
                const auto with = seconds_.find("audio:1/" + base);
                const auto without = seconds_.find("audio:0/" + base);
                if (with != seconds_.end() && without != seconds_.end())
                    std::printf("  %-44s %5.2fx %5.2fx\n", base.c_str(),
                                with->second.first / without->second.first,
                                with->second.second / without->second.second);
            }
        std::fflush(stdout);
    }

  private:
    std::map<std::string, std::pair<double, double>> seconds_;  // real, cpu
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
