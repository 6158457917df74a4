// Loading a folder into the main list against the bare store reads of the
// same files, and header clicks that sort 32,767 rows (target: under 0.2 s).
// The load runs with the default columns, with the content column (307)
// added, which has every file's content judged, and with the five audio
// columns (401-405) added, which has every file's audio read (target: within
// 1.5x the store reads), with the album artist, disc, lyrics and cover
// columns (214-217) added, which has the cover's facts read from every other
// file's 20 KiB front cover (target: within 1.5x), and with the text
// encoding column (308) added, which judges every text for mojibake
// (target: within 1.3x). The legacy texts of every file go through the code
// page decoder in every load; one file in four holds UTF-16 text, and half
// of those mojibake (code page 936 read as Latin-1 and saved as UTF-16).
// The same 10,000 files are also loaded from a tree
// of 100 artist folders of 5 album folders ("包含子文件夹").
//
// The files are generated once per run into a temporary folder (a few
// seconds for 32,767 files); every measurement then runs on a warm page
// cache. Compare BM_LoadIntoList/N with BM_StoreReads/N of the same N and
// layout; the ratios are printed below the table.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <utility>

#include "app/mainwindow.h"
#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "batch/columns.h"
#include "batch/mp3list.h"
#include "batch/textencoding.h"
#include "store/codec.h"
#include "store/filerecords.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/id3v2text.h"
#include "store/programfolder.h"
#include "ui/prompter.h"

namespace {

class SilentPrompter : public Prompter {
  public:
    void tell(const QString&, const QString&) override {}
    bool ask(const QString&, const QString&) override { return true; }
};

const QStringList kTitles = {QStringLiteral("月亮代表我的心"), QStringLiteral("甜蜜蜜"),
                             QStringLiteral("小城故事"),       QStringLiteral("但愿人长久"),
                             QStringLiteral("Take Me Home"),   QStringLiteral("夜来香")};
const QStringList kArtists = {QStringLiteral("邓丽君"), QStringLiteral("王菲"),
                              QStringLiteral("张学友"), QStringLiteral("John Denver")};

// A small MP3: an ID3v2 tag of twelve frames (every other file also a
// 20 KiB JPEG front cover), 1 KiB of stand-in audio (one MPEG frame header,
// then filler) and an ID3v1 tag, with Chinese text.
QByteArray SongBytes(int i) {
    const QString title = kTitles.at(i % kTitles.size()) + QString::number(i);
    const QString artist = kArtists.at(i % kArtists.size());
    ID3v2Tag v2;
    v2.TIT2 = title;
    v2.TPE1 = artist;
    v2.TALB = QStringLiteral("精选集 %1").arg(i % 50);
    v2.TYER = QString::number(1970 + i % 50);
    v2.TCON = QStringLiteral("(%1)").arg(i % 80);
    v2.TRCK = QString::number(i % 20 + 1);
    v2.COMM = QStringLiteral("经典老歌");
    if (i % 4 == 3) {
        if (i % 8 == 7)
            v2.TIT2 = QString::fromLatin1(EncodeCP936(title));
        id3v2text::SetWriteMode(id3v2text::WriteMode::Unicode);
    }
    QByteArray frames = RenderID3v2Frames(v2);
    id3v2text::SetWriteMode(id3v2text::WriteMode::Gbk);
    if (i % 2 == 0) {
        // JPEG segments up to the frame header of 600×600, then filler.
        const QByteArray jpeg =
            QByteArray(
                "\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01\x00\x01\x00\x00"
                "\xFF\xC0\x00\x11\x08\x02\x58\x02\x58\x03",
                30) +
            QByteArray(20 * 1024, '\x33');
        const QByteArray payload = QByteArray("\x00image/jpeg\x00\x03\x00", 14) + jpeg;
        const qint64 n = payload.size();
        frames += QByteArray("APIC", 4) + char(n >> 24) + char(n >> 16) + char(n >> 8) + char(n) +
                  QByteArray(2, '\0') + payload;
    }
    ID3v1Tag v1 = NoID3v1Tag();
    v1.Marker = QStringLiteral("TAG");
    v1.SongTitle = FixedWidth(title, kTitleWidth);
    v1.Artist = FixedWidth(artist, kArtistWidth);
    v1.Album = FixedWidth(v2.TALB, kArtistWidth);
    v1.Year = FixedWidth(v2.TYER, kYearWidth);
    v1.Comment = FixedWidth(v2.COMM, kCommentWidth);
    v1.Track = quint8(i % 20 + 1);
    v1.Genre = GenreCharacter(i % 256);
    // Three MPEG-1 layer III frames of 128 kbit/s: audio the audio columns
    // find, as in any real file.
    const QByteArray audio =
        (QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(413, '\x55')).repeated(3);
    return RenderID3v2Header(frames.size()) + frames + audio + RenderID3v1Tag(v1);
}

// The folder of `count` generated files, made on first use; with `tree`
// the files lie two levels down, in 100 artist folders of 5 albums each.
const QString& Folder(int count, bool tree = false) {
    static std::map<std::pair<int, bool>, std::unique_ptr<QTemporaryDir>> folders;
    static std::map<std::pair<int, bool>, QString> paths;
    const std::pair<int, bool> key{count, tree};
    auto found = paths.find(key);
    if (found != paths.end())
        return found->second;
    auto dir = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < count; ++i) {
        QString name = QStringLiteral("%1 歌曲.mp3").arg(i, 5, 10, QLatin1Char('0'));
        if (tree) {
            const QString sub = QStringLiteral("歌手%1/专辑%2").arg(i % 100).arg(i / 100 % 5);
            QDir(dir->path()).mkpath(sub);
            name = sub + QLatin1Char('/') + name;
        }
        QFile file(dir->filePath(name));
        if (!file.open(QIODevice::WriteOnly) || file.write(SongBytes(i)) < 0)
            qFatal("cannot write");
    }
    const QString path = dir->path();
    folders[key] = std::move(dir);
    return paths[key] = path;
}

// Points the program folder at one holding the default columns (0), those
// and the content column (1), those and the five audio columns (2), or
// those and the four columns of album artist, disc, lyrics and cover (3),
// or those and the text encoding column (4).
void UseProgramDir(int columns) {
    static QTemporaryDir dirs[5];
    static const bool written = [] {
        for (int set = 0; set < 5; ++set) {
            QList<int> codes = ParseColumnConfig(DefaultColumnConfig());
            if (set == 1)
                codes.append(kContentColumn);
            if (set == 2)
                codes << 401 << 402 << 403 << 404 << 405;
            if (set == 3)
                codes << 214 << 215 << 216 << kCoverColumn;
            if (set == 4)
                codes.append(kTextEncodingColumn);
            QFile file(dirs[set].filePath(QStringLiteral("clmnhdr.dll")));
            if (!file.open(QIODevice::WriteOnly) || file.write(RenderColumnConfig(codes)) <= 0)
                return false;
        }
        return true;
    }();
    if (!written)
        qFatal("cannot write the column file");
    SetProgramFolder(dirs[columns].path());
}

// The plain store reads of every file: arguments count, tree.
void BM_StoreReads(benchmark::State& state) {
    const bool tree = state.range(1) != 0;
    const QString& folder = Folder(int(state.range(0)), tree);
    const QStringList names = ListMp3Files(folder, ListOptions{tree}).names;
    for (auto _ : state) {
        for (const QString& name : names)
            benchmark::DoNotOptimize(ReadFileRecords(JoinPath(folder, name)));
    }
    state.SetItemsProcessed(state.iterations() * names.size());
}

// A change of folder in the window: listing, reading, cells, model reset.
// Arguments: count, columns (0 default, 1 with content, 2 with audio, 3
// with the cover, 4 with the text encoding), tree
// (listed with its sub-folders).
void BM_LoadIntoList(benchmark::State& state) {
    const bool tree = state.range(2) != 0;
    const QString& folder = Folder(int(state.range(0)), tree);
    UseProgramDir(int(state.range(1)));
    SilentPrompter prompter;
    Main main(prompter);
    main.setIncludesSubFolders(tree);
    QTemporaryDir empty;
    for (auto _ : state) {
        main.changeFolder(folder);
        state.PauseTiming();
        if (main.FileCount() != state.range(0))
            state.SkipWithError("wrong file count");
        main.changeFolder(empty.path());
        state.ResumeTiming();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

// Header clicks on a shown list, each sorting it: the first click on a
// column, then clicks that flip it. Argument: the column (1 the title, a
// text; 7 the size, a number).
void BM_HeaderClickSort(benchmark::State& state) {
    const QString& folder = Folder(32767);
    UseProgramDir(0);
    SilentPrompter prompter;
    Main main(prompter);
    main.show();
    main.changeFolder(folder);
    QHeaderView* header = main.listView()->header();
    for (auto _ : state) {
        emit header->sectionClicked(int(state.range(0)));
        QCoreApplication::processEvents();
    }
}

// The first sort after a load, which also ranks the file names for ties.
void BM_FirstSortAfterLoad(benchmark::State& state) {
    const QString& folder = Folder(32767);
    const QList<int> codes = {306, 101, 102, 103, 104, 105, 302, 305};
    const std::vector<Mp3Row> rows = LoadFolderRows(folder, ListOptions{}, codes).rows;
    for (auto _ : state) {
        state.PauseTiming();
        auto model = std::make_unique<Mp3ListModel>(codes);
        model->setRows(rows);
        state.ResumeTiming();
        model->sort(int(state.range(0)), Qt::AscendingOrder);
        state.PauseTiming();
        model.reset();
        state.ResumeTiming();
    }
}

class RatioReporter : public benchmark::ConsoleReporter {
  public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs)
            if (!run.error_occurred && run.iterations > 0)
                seconds_[run.benchmark_name()] = run.real_accumulated_time / double(run.iterations);
        ConsoleReporter::ReportRuns(runs);
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        std::printf("\nRatios to the store reads of the same files (one run):\n");
        for (const char* load : {"10000/0/0", "10000/1/0", "10000/2/0", "10000/3/0", "10000/0/1",
                                 "10000/2/1", "32767/0/0", "32767/1/0"}) {
            const std::string name = std::string("BM_LoadIntoList/") + load + "/iterations:3";
            const std::string count = std::string(load).substr(0, std::string(load).find('/'));
            const std::string base = "BM_StoreReads/" + count + "/" +
                                     std::string(1, load[std::strlen(load) - 1]) + "/iterations:3";
            const auto a = seconds_.find(name);
            const auto b = seconds_.find(base);
            if (a != seconds_.end() && b != seconds_.end())
                std::printf("  %-40s %5.2fx\n", name.c_str(), a->second / b->second);
        }
        std::fflush(stdout);
    }

  private:
    std::map<std::string, double> seconds_;
};

}  // namespace

BENCHMARK(BM_StoreReads)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({32767, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_LoadIntoList)
    ->Args({10000, 0, 0})
    ->Args({10000, 1, 0})
    ->Args({10000, 2, 0})
    ->Args({10000, 3, 0})
    ->Args({10000, 4, 0})
    ->Args({10000, 0, 1})
    ->Args({10000, 2, 1})
    ->Args({32767, 0, 0})
    ->Args({32767, 1, 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_HeaderClickSort)->Arg(1)->Arg(7)->Unit(benchmark::kMillisecond)->Iterations(6);
BENCHMARK(BM_FirstSortAfterLoad)
    ->Arg(0)
    ->Arg(1)
    ->Arg(7)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
