// The journaled batch writes against what they replace and against their floors,
// durability included in every case (each side flushes what it wrote):
//   ID3v2 edit of one field, tag fits, N small files (default 20,000)
//       vs the old path: copy beside, fsync, rename over, fsync the folder;
//   the same on 200 files of 4 MB vs pwrite of the tag bytes + fdatasync per file;
//   a tag that grows (rewrite beside, 200 x 4 MB) vs copy + fsync + rename;
//   undo of the small-file batch (compare with the batch itself).
// TAMBERLO_BENCH_FILES sets N. Files live in a QTemporaryDir (the file system of /tmp).

#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <vector>

#include "batch/id3v2edit.h"
#include "batch/undo.h"
#include "store/framecatalogue.h"
#include "store/id3v2.h"
#include "store/journal.h"
#include "store/programfolder.h"

namespace {

int SmallCount() {
    const int n = qEnvironmentVariableIntValue("TAMBERLO_BENCH_FILES");
    return n > 0 ? n : 20000;
}

QByteArray Frames(qint64 size) {
    QByteArray frame("\xFF\xFB\x90\x64", 4);
    frame += QByteArray(413, '\0');
    QByteArray out;
    out.reserve(size);
    while (out.size() < size) out += frame;
    out.truncate(size);
    return out;
}

// A v2.3 tag with a title and `padding` zero bytes.
QByteArray Tag(const QByteArray& title, int padding) {
    QByteArray frames = QByteArray("TIT2") + QByteArray(3, '\0') + char(title.size() + 1) +
                        QByteArray(2, '\0') + '\0' + title;
    const qint64 size = frames.size() + padding;
    QByteArray head("ID3\x03\x00\x00", 6);
    head += char((size >> 21) & 0x7F);
    head += char((size >> 14) & 0x7F);
    head += char((size >> 7) & 0x7F);
    head += char(size & 0x7F);
    return head + frames + QByteArray(padding, '\0');
}

struct Folder {
    QTemporaryDir dir;
    TickedFiles files;
    QByteArray body;

    Folder(int count, qint64 audio, int padding) {
        SetProgramFolder(dir.path());
        SetJournalFolder(dir.path() + QStringLiteral("/.journal"));
        files.folder = dir.path();
        body = Tag("title", padding) + Frames(audio);
        for (int i = 0; i < count; ++i)
            files.names << QStringLiteral("%1.mp3").arg(i, 5, 10, QLatin1Char('0'));
        reset();
    }
    void reset() {
        for (const QString& name : files.names) {
            QFile file(dir.filePath(name));
            if (!file.open(QIODevice::WriteOnly) || file.write(body) != body.size())
                std::abort();
        }
        ::sync();
    }
    QByteArray path(const QString& name) const { return QFile::encodeName(dir.filePath(name)); }
};

ID3v2Edit ArtistEdit() {
    ID3v2Edit edit;
    edit.ticked[EditorRowOf("TPE1")] = true;
    edit.texts[EditorRowOf("TPE1")] = QStringLiteral("歌手");
    return edit;
}

ID3v2Edit LongCommentEdit() {
    ID3v2Edit edit;
    edit.ticked[EditorRowOf("COMM")] = true;
    edit.texts[EditorRowOf("COMM")] = QString(3000, QLatin1Char('c'));
    return edit;
}

void RunEdit(benchmark::State& state, Folder& folder, const ID3v2Edit& edit) {
    for (auto _ : state) {
        state.PauseTiming();
        folder.reset();
        state.ResumeTiming();
        const EditReport report = RunID3v2Edit(folder.files, edit);
        if (report.written != folder.files.names.size())
            state.SkipWithError("not every file was written");
    }
    state.counters["files"] = double(folder.files.names.size());
}

// The old path: the whole file copied beside with the new tag, fsync, rename
// over the old name, fsync of the folder.
void CopyBesideAndRename(benchmark::State& state, Folder& folder, const QByteArray& newTag,
                         qint64 oldTagLength) {
    for (auto _ : state) {
        state.PauseTiming();
        folder.reset();
        state.ResumeTiming();
        for (const QString& name : folder.files.names) {
            const QByteArray path = folder.path(name);
            const QByteArray temp = path + ".tmp";
            const int in = ::open(path.constData(), O_RDONLY);
            const int out = ::open(temp.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
            if (::write(out, newTag.constData(), size_t(newTag.size())) != newTag.size())
                std::abort();
            loff_t from = oldTagLength;
            const qint64 rest = folder.body.size() - oldTagLength;
            if (::copy_file_range(in, &from, out, nullptr, size_t(rest), 0) != rest)
                std::abort();
            ::fsync(out);
            ::close(out);
            ::close(in);
            ::rename(temp.constData(), path.constData());
            const int d = ::open(QFile::encodeName(folder.dir.path()).constData(), O_RDONLY);
            ::fsync(d);
            ::close(d);
        }
    }
    state.counters["files"] = double(folder.files.names.size());
}

void SmallInPlace(benchmark::State& state) {
    Folder folder(SmallCount(), 2000, 1000);
    RunEdit(state, folder, ArtistEdit());
}

void SmallBesideAndRename(benchmark::State& state) {
    Folder folder(SmallCount(), 2000, 1000);
    CopyBesideAndRename(state, folder, Tag("title", 1000), Tag("title", 1000).size());
}

void SmallUndo(benchmark::State& state) {
    Folder folder(SmallCount(), 2000, 1000);
    for (auto _ : state) {
        state.PauseTiming();
        folder.reset();
        RunID3v2Edit(folder.files, ArtistEdit());
        Journal journal(JournalFolder());
        const quint64 number = journal.undoable().first().number;
        state.ResumeTiming();
        const UndoReport report = RunUndo(journal, number);
        if (report.restored != folder.files.names.size())
            state.SkipWithError("not every file was restored");
    }
}

constexpr qint64 kLarge = qint64(4) << 20;

void LargeInPlace(benchmark::State& state) {
    Folder folder(200, kLarge, 2000);
    RunEdit(state, folder, ArtistEdit());
}

// The floor of an in-place edit: the tag's bytes written, one fdatasync a file.
void LargePwriteFloor(benchmark::State& state) {
    Folder folder(200, kLarge, 2000);
    const QByteArray tag = Tag("title", 2000);
    for (auto _ : state) {
        state.PauseTiming();
        folder.reset();
        state.ResumeTiming();
        for (const QString& name : folder.files.names) {
            const int fd = ::open(folder.path(name).constData(), O_WRONLY);
            if (::pwrite(fd, tag.constData(), size_t(tag.size()), 0) != tag.size())
                std::abort();
            ::fdatasync(fd);
            ::close(fd);
        }
    }
}

void LargeGrowing(benchmark::State& state) {
    Folder folder(200, kLarge, 0);
    RunEdit(state, folder, LongCommentEdit());
}

void LargeCopyFsyncRename(benchmark::State& state) {
    Folder folder(200, kLarge, 0);
    // The same bytes the edit writes: a tag of about 3 KiB more, with padding.
    CopyBesideAndRename(state, folder, Tag("title", 3200 + 2048 + 41943), Tag("title", 0).size());
}

}  // namespace

BENCHMARK(SmallInPlace)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SmallBesideAndRename)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(SmallUndo)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LargeInPlace)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(LargePwriteFloor)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(LargeGrowing)->Unit(benchmark::kMillisecond)->Iterations(2);
BENCHMARK(LargeCopyFsyncRename)->Unit(benchmark::kMillisecond)->Iterations(2);

BENCHMARK_MAIN();
