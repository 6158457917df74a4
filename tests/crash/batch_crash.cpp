// Crash test of the real batches: a child process runs the ID3v2 edit, the
// ID3v1 edit and the rename (into sub-folders) over 200 files, each a
// journaled batch, and is killed (SIGKILL) at a random moment. Then, as at
// a restart, recovery runs, and every file must be whole under exactly one
// of its names: audio identical, each tag either its old or its new self,
// no temporary file left; undoing every batch must give back the folder
// byte for byte.
//
//   batch_crash [KILLS]        kills (default: $TAMBERLO_CRASH_KILLS, else 3)
//   batch_crash --child DIR    the child's part (used by the parent)

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <cstdio>
#include <map>

#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/rename.h"
#include "batch/storewords.h"
#include "crash/crash_child.h"
#include "store/id3v2.h"
#include "store/journal.h"
#include "store/programfolder.h"
#include "support/fixtures.h"
#include "support/frame_rows.h"
#include "support/journal_fixture.h"

namespace {

constexpr int kFiles = 200;

QString OldName(int i) {
    return QStringLiteral("s%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
}
QByteArray Title(int i) {
    return "t" + QByteArray::number(i);
}
QByteArray Artist(int i) {
    return "A" + QByteArray::number(i % 10);
}
// Rename pattern 6: artist \ title.
QString NewName(int i) {
    return QString::fromLatin1(Artist(i) + '/' + Title(i) + ".mp3");
}
QByteArray Audio(int i) {
    return MpegFrames(3 + i % 5);
}
// Every fourth file has no room in its tag: the edit rewrites it beside.
QByteArray Original(int i) {
    return V2Tag(V2Text("TIT2", Title(i)), i % 4 == 0 ? 0 : 300) + Audio(i) +
           V1Bytes(Title(i), Artist(i));
}

TickedFiles Ticked(const QString& music) {
    TickedFiles files{music, {}};
    for (int i = 0; i < kFiles; ++i) files.names << OldName(i);
    return files;
}

int Child(const QString& root) {
    SetProgramFolder(root + QStringLiteral("/program"));
    const QString music = root + QStringLiteral("/music");
    Journal journal(root + QStringLiteral("/journal"));
    const BatchOptions options{.journal = &journal};
    ID3v2Edit v2;
    v2.ticked[kV2TPE1] = true;
    v2.texts[kV2TPE1] = QStringLiteral("Singer");
    RunID3v2Edit(Ticked(music), v2, options);
    ID3v1Edit v1;
    v1.ticked[kV1Album] = true;
    v1.album = QStringLiteral("Album");
    RunID3v1Edit(Ticked(music), v1, options);
    RunRename(PlanRename(Ticked(music), 6), options);
    return 0;
}

void MakeFolder(const QString& root) {
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/music"));
    QDir().mkpath(root + QStringLiteral("/program"));
    for (int i = 0; i < kFiles; ++i)
        WriteBytes(root + QStringLiteral("/music/") + OldName(i), Original(i));
}

// The checks after a kill and a recovery; empty when all is well.
QString CheckRecovered(const QString& music) {
    std::map<QString, QByteArray> now = journaltest::Snapshot(music);
    for (int i = 0; i < kFiles; ++i) {
        const bool atOld = now.count(OldName(i));
        const bool atNew = now.count(NewName(i));
        if (atOld == atNew)
            return QStringLiteral("file %1 is under %2 names").arg(i).arg(atOld ? 2 : 0);
        const QString name = atOld ? OldName(i) : NewName(i);
        const QByteArray bytes = now[name];
        now.erase(name);
        const ID3v2Contents v2 = ParseID3v2Contents(bytes);
        if (!v2.tag.Present || !v2.tag.Unwritable.isEmpty())
            return name + QStringLiteral(": no whole ID3v2 tag");
        if (v2.tag.TIT2 != QString::fromLatin1(Title(i)) ||
            (v2.tag.TPE1 != QLatin1String("Singer") && !v2.tag.TPE1.isEmpty()))
            return name + QStringLiteral(": ID3v2 tag is neither old nor new");
        if (bytes.mid(v2.extent, Audio(i).size()) != Audio(i) ||
            bytes.size() != v2.extent + Audio(i).size() + 128)
            return name + QStringLiteral(": audio changed");
        const QByteArray tail = bytes.right(128);
        if (tail != V1Bytes(Title(i), Artist(i)) && tail != V1Bytes(Title(i), Artist(i), "Album"))
            return name + QStringLiteral(": ID3v1 tag is neither old nor new");
    }
    for (const auto& [name, bytes] : now) {
        if (bytes != "<dir>" || !name.startsWith(QLatin1Char('A')))
            return QStringLiteral("left behind: ") + name;
    }
    return {};
}

// Kills the child after `killAfterUs`, recovers, checks, undoes everything.
// Empty when all went well.
QString OneKill(const QString& self, const QString& root, qint64 killAfterUs, int* recovered) {
    MakeFolder(root);
    const pid_t pid = StartCrashChild(self, root);
    ::usleep(useconds_t(killAfterUs));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);

    Journal journal(root + QStringLiteral("/journal"));
    for (const RecoveredBatch& b : journal.recover().batches) {
        ++*recovered;
        for (const RecoveredFile& f : b.files) {
            if (f.action == RecoveryAction::LeftAlone || f.action == RecoveryAction::Failed)
                return QStringLiteral("recovery: ") + f.path + QStringLiteral(": ") + f.reason;
        }
    }
    const QString music = root + QStringLiteral("/music");
    if (const QString problem = CheckRecovered(music); !problem.isEmpty())
        return QStringLiteral("after recovery: ") + problem;
    for (int guard = 0; guard < 10; ++guard) {
        const QList<BatchSummary> list = journal.undoable();
        if (list.isEmpty())
            break;
        for (const FileResult& f : journal.undo(list.front().number).files) {
            if (f.outcome != FileOutcome::Written && f.outcome != FileOutcome::Unchanged)
                return QStringLiteral("undo: ") + f.path + QStringLiteral(": ") + f.reason;
        }
    }
    const std::map<QString, QByteArray> now = journaltest::Snapshot(music);
    if (int(now.size()) != kFiles)
        return QStringLiteral("after undo: %1 entries").arg(now.size());
    for (int i = 0; i < kFiles; ++i) {
        const auto found = now.find(OldName(i));
        if (found == now.end() || found->second != Original(i))
            return QStringLiteral("after undo: ") + OldName(i) + QStringLiteral(" differs");
    }
    return {};
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstallStoreWords();
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--child"))
        return Child(args[2]);

    const int kills = CrashKills(args, 3);
    QTemporaryDir temp;
    const QString root = temp.path();
    const QString self = QCoreApplication::applicationFilePath();

    // An undisturbed child: how long it takes, and that it does it all.
    MakeFolder(root);
    const qint64 fullUs = TimeUndisturbedChild(self, root);
    if (fullUs < 0)
        return 1;
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray bytes = ReadBytes(root + QStringLiteral("/music/") + NewName(i));
        if (ParseID3v2Tag(bytes).TPE1 != QLatin1String("Singer") ||
            bytes.right(128) != V1Bytes(Title(i), Artist(i), "Album")) {
            std::fprintf(stderr, "an undisturbed run did not edit and rename file %d\n", i);
            return 1;
        }
    }

    int recovered = 0;
    int failures = 0;
    for (int k = 0; k < kills; ++k) {
        const qint64 at = qint64(QRandomGenerator::global()->bounded(double(fullUs)));
        if (const QString problem = OneKill(self, root, at, &recovered); !problem.isEmpty()) {
            std::fprintf(stderr, "kill %d (after %lld us of %lld): %s\n", k + 1,
                         static_cast<long long>(at), static_cast<long long>(fullUs),
                         qPrintable(problem));
            ++failures;
            break;
        }
    }
    std::printf(
        "%d kills of the three batches over 200 files (a %lld ms run): "
        "%d interrupted batches recovered, %d failures\n",
        kills, static_cast<long long>(fullUs / 1000), recovered, failures);
    return failures == 0 ? 0 : 1;
}
