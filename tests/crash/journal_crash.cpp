// Crash test of the journal: a child process runs journaled batches over
// 200 files and is killed (SIGKILL) at a random moment; then, as at a
// restart, recovery runs, and every file must be complete (one of the
// versions the batches produce, audio identical, under one of its names),
// no temporary file may be left, and undoing every batch must bring back
// the original folder byte for byte.
//
// The child runs, in order: tags rewritten (in place, every fifth growing
// and rewritten beside), ID3v1-like tails (appended to even files,
// overwritten on odd ones), renames (every tenth into a new sub-folder),
// then the undo of the renames and of the tails.
//
//   journal_crash [KILLS]        kills (default: $TAMBERLO_CRASH_KILLS, else 5)
//   journal_crash --child DIR    the child's part (used by the parent)
//
// Exit status 0 when every kill was recovered cleanly.

#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
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

#include "batch/storewords.h"
#include "crash/crash_child.h"
#include "store/journal.h"
#include "support/journal_fixture.h"

using journaltest::PlanRegion;
using journaltest::Snapshot;
using journaltest::StatOf;

namespace {

constexpr int kFiles = 200;
constexpr qint64 kTag = 10240;  // spans three pages: a kill can tear its write

QByteArray Pattern(quint32 seed, qsizetype n) {
    QByteArray b(n, Qt::Uninitialized);
    quint32 x = seed * 2654435761u + 1;
    for (qsizetype i = 0; i < n; ++i) {
        x = x * 1103515245u + 12345u;
        b[i] = char(x >> 24);
    }
    return b;
}

QByteArray V1Tail(quint32 seed) {
    return "TAG" + Pattern(seed, 125);
}

// The versions of file i: as made, after the tag batch, after the tails.
QByteArray Version0(int i) {
    QByteArray b = Pattern(i, kTag) + Pattern(1000 + i, 8192 + i * 13);
    if (i % 2)
        b += V1Tail(5000 + i);
    return b;
}
QByteArray NewTag(int i) {
    return Pattern(2000 + i, i % 5 == 0 ? kTag + 3000 : kTag);
}
QByteArray Version1(int i) {
    return NewTag(i) + Version0(i).mid(kTag);
}
QByteArray Version2(int i) {
    QByteArray b = Version1(i);
    if (i % 2)
        b.chop(128);
    return b + V1Tail(7000 + i);
}

QString OldName(int i) {
    return QStringLiteral("s%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
}
QString NewName(int i) {
    const QString name = QStringLiteral("n%1.mp3").arg(i, 3, 10, QLatin1Char('0'));
    return i % 10 == 0 ? QStringLiteral("Band %1/").arg(i / 10) + name : name;
}

int Child(const QString& root) {
    const QString music = root + QStringLiteral("/music");
    Journal journal(root + QStringLiteral("/journal"));
    const auto path = [&](int i) { return music + QLatin1Char('/') + OldName(i); };
    journal.run(BatchKind::ID3v2, QStringLiteral("修改 ID3v2 标签"), kFiles,
                [&](int i) { return PlanRegion(path(i), 0, kTag, NewTag(i)); }, {});
    const RunResult tails =
        journal.run(BatchKind::ID3v1, QStringLiteral("修改 ID3v1 标签"), kFiles,
                    [&](int i) {
                        const qint64 size = StatOf(path(i)).st_size;
                        return i % 2 ? PlanRegion(path(i), size - 128, 128, V1Tail(7000 + i))
                                     : PlanRegion(path(i), size, 0, V1Tail(7000 + i));
                    },
                    {});
    const RunResult renames =
        journal.run(BatchKind::Rename, QStringLiteral("重命名"), kFiles,
                    [&](int i) {
                        const struct stat st = StatOf(path(i));
                        RenameChange r;
                        r.from = path(i);
                        r.to = music + QLatin1Char('/') + NewName(i);
                        if (i % 10 == 0)
                            r.createdFolder = music + QStringLiteral("/Band %1").arg(i / 10);
                        r.device = st.st_dev;
                        r.inode = st.st_ino;
                        PlannedItem p;
                        p.change = r;
                        return p;
                    },
                    {});
    journal.undo(renames.batch);
    journal.undo(tails.batch);
    return 0;
}

void MakeFolder(const QString& root) {
    QDir(root).removeRecursively();
    QDir().mkpath(root + QStringLiteral("/music"));
    for (int i = 0; i < kFiles; ++i)
        WriteBytes(root + QStringLiteral("/music/") + OldName(i), Version0(i));
}

// The checks after a kill and a recovery; empty when all is well.
QString CheckRecovered(const QString& music) {
    std::map<QString, QByteArray> now = Snapshot(music);
    for (int i = 0; i < kFiles; ++i) {
        const bool atOld = now.count(OldName(i));
        const bool atNew = now.count(NewName(i));
        if (atOld == atNew)
            return QStringLiteral("file %1 is under %2 names").arg(i).arg(atOld ? 2 : 0);
        const QString name = atOld ? OldName(i) : NewName(i);
        const QByteArray& bytes = now[name];
        if (bytes != Version0(i) && bytes != Version1(i) && bytes != Version2(i))
            return name + QStringLiteral(" is none of its versions");
        now.erase(name);
    }
    for (const auto& [name, bytes] : now) {
        // What remains: sub-folders of the renames, each holding its file.
        if (bytes != "<dir>" || !name.startsWith(QLatin1String("Band ")))
            return QStringLiteral("left behind: ") + name;
    }
    return {};
}

struct Tally {
    int kills = 0;
    int finishedBeforeKill = 0;
    int recoveredBatches = 0;
    int rolledBack = 0;
    int rolledForward = 0;
    int strayTemps = 0;
    int failures = 0;
};

bool OneKill(const QString& self, const QString& root, qint64 killAfterUs, Tally& tally) {
    MakeFolder(root);
    const pid_t pid = StartCrashChild(self, root);
    ::usleep(useconds_t(killAfterUs));
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ++tally.kills;
    if (WIFEXITED(status))
        ++tally.finishedBeforeKill;

    Journal journal(root + QStringLiteral("/journal"));
    const RecoveryReport report = journal.recover();
    for (const RecoveredBatch& b : report.batches) {
        ++tally.recoveredBatches;
        tally.strayTemps += b.strayTempsRemoved;
        for (const RecoveredFile& f : b.files) {
            tally.rolledBack += f.action == RecoveryAction::RolledBack;
            tally.rolledForward += f.action == RecoveryAction::RolledForward;
            if (f.action == RecoveryAction::LeftAlone || f.action == RecoveryAction::Failed) {
                std::fprintf(stderr, "recovery: %s: %s\n", qPrintable(f.path),
                             qPrintable(f.reason));
                return false;
            }
        }
    }
    const QString music = root + QStringLiteral("/music");
    if (const QString problem = CheckRecovered(music); !problem.isEmpty()) {
        std::fprintf(stderr, "after recovery: %s\n", qPrintable(problem));
        return false;
    }
    if (!journal.recover().batches.isEmpty()) {
        std::fprintf(stderr, "a second recovery found work\n");
        return false;
    }
    // Undo everything, newest first: the folder as it was made.
    for (int guard = 0; guard < 10; ++guard) {
        const QList<BatchSummary> list = journal.undoable();
        if (list.isEmpty())
            break;
        if (qEnvironmentVariableIsSet("TAMBERLO_CRASH_VERBOSE")) {
            for (const RecoveredBatch& b : report.batches)
                std::fprintf(stderr, "recovered %llu kind %d files %d\n",
                             static_cast<unsigned long long>(b.batch.number), int(b.batch.kind),
                             b.batch.files);
            for (const BatchSummary& s : list)
                std::fprintf(stderr, "undoable %llu kind %d files %d interrupted %d\n",
                             static_cast<unsigned long long>(s.number), int(s.kind), s.files,
                             int(s.interrupted));
        }
        const RunResult r = journal.undo(list.front().number);
        for (const FileResult& f : r.files) {
            if (f.outcome != FileOutcome::Written && f.outcome != FileOutcome::Unchanged) {
                std::fprintf(stderr, "undo: %s: %s\n", qPrintable(f.path), qPrintable(f.reason));
                return false;
            }
        }
    }
    std::map<QString, QByteArray> now = Snapshot(music);
    if (int(now.size()) != kFiles) {
        std::fprintf(stderr, "after undo: %zu entries\n", now.size());
        return false;
    }
    for (int i = 0; i < kFiles; ++i) {
        const QByteArray& bytes = now[OldName(i)];
        if (bytes != Version0(i)) {
            std::fprintf(stderr, "after undo: %s is %s\n", qPrintable(OldName(i)),
                         bytes == Version1(i)   ? "after the tags"
                         : bytes == Version2(i) ? "after the tails"
                                                : "none of its versions");
            return false;
        }
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    InstallStoreWords();
    const QStringList args = app.arguments();
    if (args.size() == 3 && args[1] == QLatin1String("--child"))
        return Child(args[2]);

    const int kills = CrashKills(args, 5);
    QTemporaryDir temp;
    const QString root = temp.path();
    const QString self = QCoreApplication::applicationFilePath();

    // How long an undisturbed child takes: kills fall anywhere in it.
    MakeFolder(root);
    const qint64 fullUs = TimeUndisturbedChild(self, root);
    if (fullUs < 0)
        return 1;
    {
        Journal journal(root + QStringLiteral("/journal"));
        if (!journal.recover().batches.isEmpty() ||
            !CheckRecovered(root + QStringLiteral("/music")).isEmpty()) {
            std::fprintf(stderr, "an undisturbed run left work for recovery\n");
            return 1;
        }
    }

    Tally tally;
    auto* random = QRandomGenerator::global();
    for (int k = 0; k < kills; ++k) {
        const qint64 at = qint64(random->bounded(double(fullUs)));
        if (!OneKill(self, root, at, tally)) {
            std::fprintf(stderr, "kill %d (after %lld us of %lld) was not recovered\n", k + 1,
                         static_cast<long long>(at), static_cast<long long>(fullUs));
            ++tally.failures;
            break;
        }
    }
    std::printf(
        "%d kills over a %lld ms run: %d batches recovered, %d torn files rolled back, "
        "%d rolled forward, %d stray temporary files removed, %d runs ended before the kill, "
        "%d failures\n",
        tally.kills, static_cast<long long>(fullUs / 1000), tally.recoveredBatches,
        tally.rolledBack, tally.rolledForward, tally.strayTemps, tally.finishedBeforeKill,
        tally.failures);
    return tally.failures == 0 ? 0 : 1;
}
