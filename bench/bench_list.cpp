// Loading a folder into the main list against the bare store reads of the
// same files, and a header click that sorts 32,767 rows. The load runs with
// the default columns and with the content column (307) added, which has
// every file's content judged.
//
// The files are generated once per run into a temporary folder (a few
// seconds for 32,767 files); every measurement then runs on a warm page
// cache. Compare BM_LoadIntoList/N with BM_StoreReads/N of the same N.
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QTemporaryDir>
#include <map>
#include <memory>

#include "app/mainwindow.h"
#include "app/mp3listmodel.h"
#include "app/mp3listview.h"
#include "batch/columns.h"
#include "batch/mp3list.h"
#include "store/filerecords.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
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

// A small MP3: an ID3v2 tag of twelve frames, 1 KiB of stand-in audio (one
// MPEG frame header, then filler) and an ID3v1 tag, with Chinese text.
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
    const QByteArray frames = RenderID3v2Frames(v2);
    ID3v1Tag v1 = NoID3v1Tag();
    v1.Marker = QStringLiteral("TAG");
    v1.SongTitle = FixedWidth(title, kTitleWidth);
    v1.Artist = FixedWidth(artist, kArtistWidth);
    v1.Album = FixedWidth(v2.TALB, kArtistWidth);
    v1.Year = FixedWidth(v2.TYER, kYearWidth);
    v1.Comment = FixedWidth(v2.COMM, kCommentWidth);
    v1.Track = quint8(i % 20 + 1);
    v1.Genre = GenreCharacter(i % 256);
    const QByteArray audio = QByteArray("\xFF\xFB\x90\x64", 4) + QByteArray(1020, '\x55');
    return RenderID3v2Header(frames.size()) + frames + audio + RenderID3v1Tag(v1);
}

// The folder of `count` generated files, made on first use.
const QString& Folder(int count) {
    static std::map<int, std::unique_ptr<QTemporaryDir>> folders;
    static std::map<int, QString> paths;
    auto found = paths.find(count);
    if (found != paths.end())
        return found->second;
    auto dir = std::make_unique<QTemporaryDir>();
    for (int i = 0; i < count; ++i) {
        QFile file(dir->filePath(QStringLiteral("%1 歌曲.mp3").arg(i, 5, 10, QLatin1Char('0'))));
        if (!file.open(QIODevice::WriteOnly) || file.write(SongBytes(i)) < 0)
            qFatal("cannot write");
    }
    const QString path = dir->path();
    folders[count] = std::move(dir);
    return paths[count] = path;
}

// Points the program folder at one holding the default columns, or those
// and the content column.
void UseProgramDir(bool withContent) {
    static QTemporaryDir plain;
    static QTemporaryDir content;
    static const bool written = [] {
        QFile file(content.filePath(QStringLiteral("clmnhdr.dll")));
        QList<int> codes = ParseColumnConfig(DefaultColumnConfig());
        codes.append(kContentColumn);
        return file.open(QIODevice::WriteOnly) && file.write(RenderColumnConfig(codes)) > 0;
    }();
    if (!written)
        qFatal("cannot write the column file");
    SetProgramFolder(withContent ? content.path() : plain.path());
}

void BM_StoreReads(benchmark::State& state) {
    const QString& folder = Folder(int(state.range(0)));
    const QStringList names = ListMp3Files(folder);
    for (auto _ : state) {
        for (const QString& name : names)
            benchmark::DoNotOptimize(ReadFileRecords(JoinPath(folder, name)));
    }
    state.SetItemsProcessed(state.iterations() * names.size());
}

// A change of folder in the window: listing, reading, cells, model reset.
// Argument 1 adds the content column.
void BM_LoadIntoList(benchmark::State& state) {
    const QString& folder = Folder(int(state.range(0)));
    UseProgramDir(state.range(1) != 0);
    SilentPrompter prompter;
    Main main(prompter);
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

// A header click on a shown list: sort by the title column and lay out.
void BM_HeaderClickSort(benchmark::State& state) {
    const QString& folder = Folder(int(state.range(0)));
    UseProgramDir(false);
    SilentPrompter prompter;
    Main main(prompter);
    main.show();
    main.changeFolder(folder);
    QHeaderView* header = main.listView()->header();
    for (auto _ : state) {
        emit header->sectionClicked(1);
        QCoreApplication::processEvents();
    }
}

}  // namespace

BENCHMARK(BM_StoreReads)->Arg(10000)->Arg(32767)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(BM_LoadIntoList)
    ->Args({10000, 0})
    ->Args({10000, 1})
    ->Args({32767, 0})
    ->Args({32767, 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK(BM_HeaderClickSort)->Arg(32767)->Unit(benchmark::kMillisecond)->Iterations(6);

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
