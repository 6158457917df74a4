#include "store/journal.h"

#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <QDir>
#include <QTemporaryDir>
#include <stdexcept>

#include "store/error.h"
#include "store/faultyio.h"
#include "support/journal_fixture.h"

using namespace journaltest;
using sysio::Call;

namespace {

QString Str(const std::map<QString, QByteArray>& m) {
    return Describe(m);
}

// Folder snapshots compared with a readable account of the difference.
::testing::AssertionResult SameFolder(const std::map<QString, QByteArray>& now,
                                      const std::map<QString, QByteArray>& expected) {
    if (now == expected)
        return ::testing::AssertionSuccess();
    QString diff;
    for (const auto& [k, v] : now)
        if (!expected.count(k) || expected.at(k) != v)
            diff += QStringLiteral("  differs or extra: ") + k + QLatin1Char('\n');
    for (const auto& [k, v] : expected)
        if (!now.count(k))
            diff += QStringLiteral("  missing: ") + k + QLatin1Char('\n');
    return ::testing::AssertionFailure() << "\n" << diff.toStdString();
}

class JournalTest : public ::testing::Test {
  protected:
    QString journalFolder() const { return dir.filePath(QStringLiteral("journal")); }
    QString music() const { return dir.filePath(QStringLiteral("music")); }

    // Runs the scenario's batch cleanly once to learn what it leaves, then
    // puts the old folder back and empties the journal.
    Scenario ready(Scenario s) {
        s.prepare(journalFolder());
        Journal journal(journalFolder());
        const RunResult r = journal.run(s.kind, QStringLiteral("测试"), s.count, s.plan, {});
        EXPECT_TRUE(r.journalFailure.isEmpty()) << r.journalFailure.toStdString();
        s.after = Snapshot(s.music);
        const auto before = s.before;
        s.prepare(journalFolder());
        EXPECT_EQ(s.before, before);
        return s;
    }

    QStringList batchFiles() const {
        QStringList names = QDir(journalFolder()).entryList({QStringLiteral("*.batch")});
        names.sort();
        return names;
    }

    QTemporaryDir dir;
};

}  // namespace

TEST_F(JournalTest, ABatchAndItsUndoRoundTripByteForByteAcrossARestart) {
    for (Scenario s : {TagScenario(music()), RenameScenario(music())}) {
        s = ready(s);
        const QDateTime when = QDateTime(QDate(2024, 12, 7), QTime(14, 3), Qt::UTC);
        RunResult run;
        {
            Journal journal(journalFolder());
            run = journal.run(s.kind, QStringLiteral("修改 ID3v2 标签"), s.count, s.plan, {}, when);
        }
        const int expectedWritten = s.kind == BatchKind::Rename ? 3 : 7;
        EXPECT_EQ(run.written, expectedWritten);
        EXPECT_FALSE(run.needsRecovery);
        EXPECT_TRUE(SameFolder(Snapshot(music()), s.after));
        EXPECT_FALSE(SameFolder(s.after, s.before));

        Journal restarted(journalFolder());  // a new process, as far as the journal knows
        EXPECT_FALSE(restarted.recover().anythingToSay());
        const QList<BatchSummary> list = restarted.undoable();
        ASSERT_EQ(list.size(), 1);
        EXPECT_EQ(list[0].number, run.batch);
        EXPECT_EQ(list[0].kind, s.kind);
        EXPECT_EQ(list[0].description, QStringLiteral("修改 ID3v2 标签"));
        EXPECT_EQ(list[0].files, expectedWritten);
        EXPECT_EQ(list[0].time, when);

        const RunResult undone = restarted.undo(list[0].number);
        EXPECT_EQ(undone.written, expectedWritten);
        EXPECT_TRUE(SameFolder(Snapshot(music()), s.before))
            << Str(Snapshot(music())).toStdString();
        EXPECT_TRUE(restarted.undoable().isEmpty());
        EXPECT_THROW(restarted.undo(list[0].number), StoreError);
    }
}

TEST_F(JournalTest, TheRunReportsEachFileInItsOrder) {
    Scenario s = ready(RenameScenario(music()));
    Journal journal(journalFolder());
    const RunResult r = journal.run(s.kind, QStringLiteral("重命名"), s.count, s.plan, {});
    ASSERT_EQ(r.files.size(), 4);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(r.files[i].outcome, FileOutcome::Written) << i;
    EXPECT_EQ(r.files[3].outcome, FileOutcome::Refused);  // the name is taken
    EXPECT_EQ(r.files[3].path, music() + QStringLiteral("/r3.mp3"));
    EXPECT_FALSE(r.files[3].reason.isEmpty());
}

TEST_F(JournalTest, UndoLeavesFilesChangedSinceAloneAndNamesThem) {
    Scenario s = ready(TagScenario(music()));
    Journal journal(journalFolder());
    journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    // s1: another program edits the tag; s2: deleted; s3: already put back by hand.
    const QString s1 = music() + QStringLiteral("/s1.mp3");
    QByteArray edited = ReadBytes(s1);
    edited[700] = '!';
    WriteBytes(s1, edited);
    ::unlink((music() + QStringLiteral("/s2.mp3")).toUtf8().constData());
    WriteBytes(music() + QStringLiteral("/s3.mp3"), s.before.at(QStringLiteral("s3.mp3")));

    const RunResult undone = journal.undo(journal.undoable().at(0).number);
    // Undo goes backwards: item 0 of the undo is the batch's last file.
    std::map<QString, FileOutcome> byName;
    for (const FileResult& f : undone.files)
        byName[f.path.mid(f.path.lastIndexOf('/') + 1)] = f.outcome;
    EXPECT_EQ(byName[QStringLiteral("s1.mp3")], FileOutcome::Refused);
    EXPECT_EQ(byName[QStringLiteral("s2.mp3")], FileOutcome::Refused);
    EXPECT_EQ(byName[QStringLiteral("s3.mp3")], FileOutcome::Unchanged);
    EXPECT_EQ(undone.files.front().path, music() + QStringLiteral("/s6.mp3"));
    EXPECT_EQ(undone.written, 4);
    EXPECT_EQ(ReadBytes(s1), edited);
    for (const char* name : {"s0.mp3", "s3.mp3", "s4.mp3", "s5.mp3", "s6.mp3"})
        EXPECT_EQ(ReadBytes(music() + QLatin1Char('/') + QLatin1String(name)),
                  s.before.at(QLatin1String(name)))
            << name;
}

TEST_F(JournalTest, ARenamedFileThatIsGoneIsNamedAndTheRestAreUndone) {
    Scenario s = ready(RenameScenario(music()));
    Journal journal(journalFolder());
    journal.run(s.kind, QStringLiteral("重命名"), s.count, s.plan, {});
    ::unlink((music() + QStringLiteral("/Band/r1 new.mp3")).toUtf8().constData());
    const RunResult undone = journal.undo(journal.undoable().at(0).number);
    EXPECT_EQ(undone.written, 2);
    int refused = 0;
    for (const FileResult& f : undone.files)
        if (f.outcome == FileOutcome::Refused) {
            ++refused;
            EXPECT_EQ(f.path, music() + QStringLiteral("/Band/r1 new.mp3"));
        }
    EXPECT_EQ(refused, 1);
    EXPECT_TRUE(QFile::exists(music() + QStringLiteral("/r0.mp3")));
    EXPECT_TRUE(QFile::exists(music() + QStringLiteral("/r2.mp3")));
    EXPECT_TRUE(QDir(music() + QStringLiteral("/Band")).isEmpty());
}

TEST_F(JournalTest, CancellingStopsBetweenFilesAndUndoTakesBackWhatWasDone) {
    Scenario s = ready(TagScenario(music()));
    Journal journal(journalFolder());
    int done = 0;
    RunControl control;
    control.progress = [&](int d, int) { done = d; };
    control.cancelled = [&] { return done >= 3; };
    const RunResult r = journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, control);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.written, 3);
    for (int i = 3; i < 7; ++i) {
        EXPECT_EQ(r.files[i].outcome, FileOutcome::NotReached) << i;
        const QString name = QStringLiteral("s%1.mp3").arg(i);
        EXPECT_EQ(ReadBytes(music() + QLatin1Char('/') + name), s.before.at(name)) << i;
    }
    const QList<BatchSummary> list = journal.undoable();
    ASSERT_EQ(list.size(), 1);
    EXPECT_TRUE(list[0].cancelled);
    EXPECT_EQ(list[0].files, 3);
    journal.undo(list[0].number);
    EXPECT_TRUE(SameFolder(Snapshot(music()), s.before));
}

// Plans made on a second thread, ahead of the writing, come out as plans
// made in turn: in order, chunk by chunk, failures where they were thrown,
// and a cancel still stops the writing between files.
TEST_F(JournalTest, PlanningAheadChangesNothingButWhereThePlansAreMade) {
    Scenario s = ready(TagScenario(music()));
    JournalOptions options;
    options.chunkFiles = 3;
    const PlanFn plan = [&](int i) {
        if (i == 2)
            throw StoreError(QStringLiteral("/gone.mp3"), StoreOp::Read, StoreProblem::Text, 0,
                             QStringLiteral("不见了"));
        return s.plan(i);
    };
    RunControl ahead;
    ahead.planAhead = true;
    RunResult r =
        Journal(journalFolder(), sysio::System(), options).run(s.kind, "改", s.count, plan, ahead);
    EXPECT_EQ(r.written, 6);
    for (int i = 0; i < s.count; ++i)
        EXPECT_EQ(r.files[i].outcome, i == 2 ? FileOutcome::Failed : FileOutcome::Written) << i;
    EXPECT_EQ(r.files[2].path, QStringLiteral("/gone.mp3"));
    for (int i = 0; i < s.count; ++i)
        EXPECT_EQ(StateOfItem(s, Snapshot(music()), i), i == 2 ? ItemIs::Old : ItemIs::New) << i;

    s.prepare(journalFolder());
    int done = 0;
    ahead.progress = [&](int d, int) { done = d; };
    ahead.cancelled = [&] { return done >= 4; };
    r = Journal(journalFolder(), sysio::System(), options)
            .run(s.kind, "改", s.count, s.plan, ahead);
    EXPECT_TRUE(r.cancelled);
    EXPECT_EQ(r.written, 4);
    for (int i = 0; i < s.count; ++i)
        EXPECT_EQ(StateOfItem(s, Snapshot(music()), i), i < 4 ? ItemIs::New : ItemIs::Old) << i;

    // Anything else a plan throws reaches the caller, with nothing after it written.
    s.prepare(journalFolder());
    const PlanFn broken = [&](int i) -> PlannedItem {
        if (i == 1)
            throw std::runtime_error("broken plan");
        return s.plan(i);
    };
    EXPECT_THROW(Journal(journalFolder(), sysio::System(), options)
                     .run(s.kind, "改", s.count, broken, RunControl{{}, {}, {}, true}),
                 std::runtime_error);
    for (int i = 1; i < s.count; ++i)
        EXPECT_EQ(StateOfItem(s, Snapshot(music()), i), ItemIs::Old) << i;
}

TEST_F(JournalTest, ABatchThatChangedNothingLeavesNoTrace) {
    Scenario s = ready(TagScenario(music()));
    Journal journal(journalFolder());
    const RunResult r =
        journal.run(s.kind, QStringLiteral("改"), 2, [&](int) { return PlannedItem{}; }, {});
    EXPECT_EQ(r.written, 0);
    EXPECT_EQ(r.files[0].outcome, FileOutcome::Unchanged);
    EXPECT_TRUE(batchFiles().isEmpty());
}

TEST_F(JournalTest, AnotherProcessLeavesALiveBatchAloneAndRunsItsOwn) {
    Scenario s = ready(TagScenario(music()));
    // Two Journal objects hold separate descriptors, so their locks meet as
    // two processes' would.
    Journal first(journalFolder());
    Journal second(journalFolder());
    RecoveryReport seen;
    RunResult other;
    const auto plan = [&](int i) {
        if (i == 3) {
            seen = second.recover();
            other = second.run(BatchKind::Rename, QStringLiteral("其他"), 1,
                               [&](int) {
                                   WriteBytes(music() + QStringLiteral("/x.mp3"), "x");
                                   const struct stat st =
                                       StatOf(music() + QStringLiteral("/x.mp3"));
                                   PlannedItem p;
                                   p.change = RenameChange{music() + QStringLiteral("/x.mp3"),
                                                           music() + QStringLiteral("/y.mp3"),
                                                           {},
                                                           {},
                                                           quint64(st.st_dev),
                                                           quint64(st.st_ino)};
                                   return p;
                               },
                               {});
        }
        return s.plan(i);
    };
    RunControl control;
    JournalOptions small;
    const RunResult r = first.run(s.kind, QStringLiteral("改"), s.count, plan, control);
    EXPECT_TRUE(seen.batches.isEmpty());
    EXPECT_EQ(r.written, 7);
    EXPECT_EQ(other.written, 1);
    EXPECT_NE(other.batch, r.batch);
    EXPECT_EQ(first.undoable().size(), 2);
}

// A process killed at any point of a batch: after recovery every file is
// its old or its new self, nothing is left behind, and the files that were
// changed can be undone. The kill is simulated in-process: the seam throws
// at the nth call that changes a file, and nothing reaches the disk after.
TEST_F(JournalTest, ACrashAtAnyChangeIsRecoveredToOldOrNew) {
    for (Scenario s : {TagScenario(music()), RenameScenario(music())}) {
        s = ready(s);
        sysio::FaultyIO counter;
        {
            Journal journal(journalFolder(), counter);
            journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
        }
        const int changes = counter.changes();
        ASSERT_GT(changes, 10);
        QSet<int> seenCounts;
        for (int n = 1; n <= changes; ++n) {
            s.prepare(journalFolder());
            sysio::FaultyIO io;
            io.crashAtChange(n);
            try {
                Journal journal(journalFolder(), io);
                journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
            } catch (const sysio::SimulatedCrash&) {
            }
            Journal restarted(journalFolder());
            const RecoveryReport report = restarted.recover();
            const auto now = Snapshot(music());
            int changed = 0;
            QString why;
            ASSERT_TRUE(ConsistentMix(s, now, &changed, &why))
                << "crash at change " << n << ": " << why.toStdString() << "\n"
                << Str(now).toStdString();
            seenCounts.insert(changed);
            for (const RecoveredBatch& b : report.batches)
                for (const RecoveredFile& f : b.files)
                    EXPECT_NE(f.action, RecoveryAction::LeftAlone) << f.path.toStdString();
            const QList<BatchSummary> list = restarted.undoable();
            if (changed == 0) {
                EXPECT_TRUE(list.isEmpty()) << n;
                continue;
            }
            ASSERT_EQ(list.size(), 1) << n;
            EXPECT_EQ(list[0].files, changed) << n;
            restarted.undo(list[0].number);
            EXPECT_TRUE(SameFolder(Snapshot(music()), s.before))
                << "undo after crash at change " << n;
        }
        EXPECT_GE(seenCounts.size(), 3);  // crashes before, during and after the writes
    }
}

// A crash in the middle of an undo: recovery finishes what it can, and
// undoing the batch again brings every file back.
TEST_F(JournalTest, ACrashDuringUndoIsRecoveredAndTheUndoCanBeFinished) {
    for (Scenario s : {TagScenario(music()), RenameScenario(music())}) {
        s = ready(s);
        const auto batchAndCount = [&] {
            s.prepare(journalFolder());
            Journal journal(journalFolder());
            journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
            return journal.undoable().at(0).number;
        };
        sysio::FaultyIO counter;
        {
            const quint64 number = batchAndCount();
            Journal journal(journalFolder(), counter);
            journal.undo(number);
        }
        for (int n = 1; n <= counter.changes(); ++n) {
            const quint64 number = batchAndCount();
            sysio::FaultyIO io;
            io.crashAtChange(n);
            try {
                Journal journal(journalFolder(), io);
                journal.undo(number);
            } catch (const sysio::SimulatedCrash&) {
            }
            Journal restarted(journalFolder());
            restarted.recover();
            int changed = 0;
            QString why;
            ASSERT_TRUE(ConsistentMix(s, Snapshot(music()), &changed, &why))
                << "crash at undo change " << n << ": " << why.toStdString();
            const QList<BatchSummary> list = restarted.undoable();
            if (changed > 0) {
                ASSERT_EQ(list.size(), 1) << n;
                restarted.undo(list[0].number);
            }
            EXPECT_TRUE(SameFolder(Snapshot(music()), s.before)) << "crash at undo change " << n;
        }
    }
}

// An undo killed after it restored every file (before it was marked
// done) is recovered as interrupted, so its batch stays on offer; undoing
// it again changes nothing and takes the batch off the list.
TEST_F(JournalTest, AnUndoThatFindsEverythingRestoredStillEndsTheBatch) {
    for (Scenario s : {TagScenario(music()), RenameScenario(music())}) {
        s = ready(s);
        Journal journal(journalFolder());
        journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
        const quint64 number = journal.undoable().at(0).number;
        sysio::FaultyIO io;
        io.crashAt(Call::Syncfs, 1);
        try {
            Journal(journalFolder(), io).undo(number);
        } catch (const sysio::SimulatedCrash&) {
        }
        EXPECT_TRUE(SameFolder(Snapshot(music()), s.before));
        ASSERT_EQ(journal.recover().batches.size(), 1);
        ASSERT_EQ(journal.undoable().size(), 1);
        const RunResult r = journal.undo(number);
        EXPECT_EQ(r.written, 0);
        for (const FileResult& f : r.files) EXPECT_EQ(f.outcome, FileOutcome::Unchanged);
        EXPECT_TRUE(journal.undoable().isEmpty());
        EXPECT_TRUE(SameFolder(Snapshot(music()), s.before));
    }
}

// A write torn at a 512-byte boundary (the kernel's page, the disk's
// sector) when the process dies: recovery puts the old bytes back.
TEST_F(JournalTest, ATornInPlaceWriteIsRolledBack) {
    Scenario s = ready(TagScenario(music()));
    sysio::FaultyIO counter;
    {
        Journal journal(journalFolder(), counter);
        journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    }
    int rolledBack = 0;
    for (int n = 1; n < counter.count(Call::Pwrite); ++n) {
        s.prepare(journalFolder());
        sysio::FaultyIO io;
        io.shortWrite(n, 512);
        io.crashAt(Call::Pwrite, n + 1);
        try {
            Journal journal(journalFolder(), io);
            journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
        } catch (const sysio::SimulatedCrash&) {
        }
        Journal restarted(journalFolder());
        for (const RecoveredBatch& b : restarted.recover().batches)
            for (const RecoveredFile& f : b.files)
                rolledBack += f.action == RecoveryAction::RolledBack ? 1 : 0;
        int changed = 0;
        QString why;
        ASSERT_TRUE(ConsistentMix(s, Snapshot(music()), &changed, &why))
            << "torn pwrite " << n << ": " << why.toStdString();
    }
    EXPECT_GE(rolledBack, 4);  // each 2 KiB region torn once at least
}

TEST_F(JournalTest, AFileChangedBySomeoneElseAfterACrashIsLeftAloneAndReported) {
    Scenario s = ready(TagScenario(music()));
    sysio::FaultyIO io;
    io.crashAt(Call::Syncfs, 1);  // every file written, nothing made durable yet
    try {
        Journal journal(journalFolder(), io);
        journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    } catch (const sysio::SimulatedCrash&) {
    }
    const QString s2 = music() + QStringLiteral("/s2.mp3");
    QByteArray meddled = ReadBytes(s2);
    meddled[1000] = '?';
    WriteBytes(s2, meddled);

    Journal restarted(journalFolder());
    const RecoveryReport report = restarted.recover();
    ASSERT_EQ(report.batches.size(), 1);
    EXPECT_TRUE(report.batches[0].completed);
    EXPECT_TRUE(report.anythingToSay());
    int leftAlone = 0;
    for (const RecoveredFile& f : report.batches[0].files) {
        if (f.action == RecoveryAction::LeftAlone) {
            ++leftAlone;
            EXPECT_EQ(f.path, s2);
            EXPECT_FALSE(f.reason.isEmpty());
        } else {
            EXPECT_EQ(f.found, ChangeState::New) << f.path.toStdString();
        }
    }
    EXPECT_EQ(leftAlone, 1);
    EXPECT_EQ(ReadBytes(s2), meddled);
    const QList<BatchSummary> list = restarted.undoable();
    ASSERT_EQ(list.size(), 1);
    EXPECT_TRUE(list[0].interrupted);
    EXPECT_EQ(list[0].files, 6);
}

// The batch file cut anywhere (a crash while it was appended to): recovery
// never misreads it, never crashes, and leaves the files consistent.
TEST_F(JournalTest, ABatchFileCutAnywhereIsRecoveredSafely) {
    Scenario s = ready(TagScenario(music()));
    sysio::FaultyIO io;
    io.crashAt(Call::Syncfs, 1);
    try {
        Journal journal(journalFolder(), io);
        journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    } catch (const sysio::SimulatedCrash&) {
    }
    ASSERT_EQ(batchFiles().size(), 1);
    const QString batchPath = journalFolder() + QLatin1Char('/') + batchFiles()[0];
    const QByteArray whole = ReadBytes(batchPath);
    const auto written = Snapshot(music());
    for (qsizetype cut = 0; cut <= whole.size(); cut += cut < 200 ? 1 : 97) {
        QDir(music()).removeRecursively();
        QDir().mkpath(music());
        for (const auto& [k, v] : written) WriteBytes(music() + QLatin1Char('/') + k, v);
        WriteBytes(batchPath, whole.left(cut) + (cut % 2 ? QByteArray("\x7f garbage") : ""));
        Journal restarted(journalFolder());
        const RecoveryReport report = restarted.recover();
        int changed = 0;
        QString why;
        // Files are written only after their records were flushed, so a
        // cut through a record means a different history than the files
        // tell: such files are reported, never "repaired" into a third state.
        const auto now = Snapshot(music());
        EXPECT_TRUE(ConsistentMix(s, now, &changed, &why)) << cut << ": " << why.toStdString();
        for (const RecoveredBatch& b : report.batches)
            for (const RecoveredFile& f : b.files)
                EXPECT_NE(f.action, RecoveryAction::Failed) << cut;
    }
}

TEST_F(JournalTest, RetentionDropsTheOldestFirstAndKeepsTheNewest) {
    Scenario s = ready(TagScenario(music()));
    JournalOptions options;
    options.maxBytes = 40000;  // about three batches of this size
    Journal journal(journalFolder(), sysio::System(), options);
    QList<quint64> numbers;
    for (int round = 0; round < 6; ++round) {
        const RunResult r =
            journal.run(s.kind, QStringLiteral("改 %1").arg(round), 4,
                        [&](int i) {
                            const QString path = music() + QStringLiteral("/s%1.mp3").arg(i);
                            return PlanRegion(path, 0, 2048, Pattern(char('a' + round + i), 2048));
                        },
                        {});
        numbers.append(r.batch);
        qint64 total = 0;
        for (const QString& name : batchFiles())
            total += QFileInfo(journalFolder() + QLatin1Char('/') + name).size();
        EXPECT_LE(total, options.maxBytes) << round;
    }
    const QList<BatchSummary> list = journal.undoable();
    ASSERT_GE(list.size(), 2);
    for (qsizetype i = 0; i < list.size(); ++i)  // the newest, without gaps
        EXPECT_EQ(list[i].number, numbers[numbers.size() - 1 - i]);

    // The newest batch stays even when it alone is over the bound.
    options.maxBytes = 100;
    Journal tight(journalFolder(), sysio::System(), options);
    tight.prune();
    ASSERT_EQ(tight.undoable().size(), 1);
    EXPECT_EQ(tight.undoable()[0].number, numbers.back());
}

TEST_F(JournalTest, RenameBatchesCostOnlyTheirPathsAndTheCountIsBounded) {
    JournalOptions options;
    options.maxBatches = 25;
    Journal journal(journalFolder(), sysio::System(), options);
    QDir().mkpath(music());
    const QString a = music() + QStringLiteral("/a.mp3");
    const QString b = music() + QStringLiteral("/b.mp3");
    WriteBytes(a, QByteArray(1 << 20, 'x'));  // a large file: its bytes are not kept
    for (int round = 0; round < 30; ++round) {
        const QString from = round % 2 ? b : a;
        const QString to = round % 2 ? a : b;
        journal.run(BatchKind::Rename, QStringLiteral("重命名"), 1,
                    [&](int) {
                        const struct stat st = StatOf(from);
                        PlannedItem p;
                        p.change =
                            RenameChange{from, to, {}, {}, quint64(st.st_dev), quint64(st.st_ino)};
                        return p;
                    },
                    {});
    }
    EXPECT_EQ(batchFiles().size(), 25);
    for (const BatchSummary& s : journal.undoable()) EXPECT_LT(s.bytes, 400);
}

// Every system call of a batch, failed in turn: each file is its old or new
// self, its outcome says which, and after recovery the batch undoes cleanly.
TEST_F(JournalTest, AFailureAtAnyStepLeavesEachFileOldOrNewAndTheResultTruthful) {
    for (Scenario s : {TagScenario(music()), RenameScenario(music())}) {
        s = ready(s);
        sysio::FaultyIO counter;
        {
            Journal journal(journalFolder(), counter);
            journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
        }
        const auto counts = counter.counts();
        int runs = 0;
        for (int kind = 0; kind < sysio::kCallKinds; ++kind) {
            for (int n = 1; n <= counts[kind]; ++n) {
                const int err = Call(kind) == Call::Pwrite ? ENOSPC : EIO;
                s.prepare(journalFolder());
                sysio::FaultyIO io;
                io.fail(Call(kind), n, err);
                Journal journal(journalFolder(), io);
                const RunResult r = journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
                const std::string where =
                    std::string(sysio::CallName(Call(kind))) + " #" + std::to_string(n);
                const auto now = Snapshot(music());
                int changed = 0;
                QString why;
                ASSERT_TRUE(ConsistentMix(s, now, &changed, &why))
                    << where << ": " << why.toStdString() << "\n"
                    << Str(now).toStdString();
                // Written is claimed only for a file that is new, and a file
                // left new is never reported as untouched.
                int uncertain = 0;
                for (int i = 0; i < s.count; ++i) {
                    const FileResult& f = r.files[i];
                    const ItemIs state = StateOfItem(s, now, i);
                    switch (f.outcome) {
                        case FileOutcome::Written:
                            EXPECT_EQ(state, ItemIs::New) << where << " item " << i;
                            break;
                        case FileOutcome::Uncertain:
                            ++uncertain;
                            EXPECT_FALSE(f.reason.isEmpty()) << where << " item " << i;
                            break;
                        case FileOutcome::Unchanged:
                            break;
                        case FileOutcome::NotReached:
                            EXPECT_EQ(state, ItemIs::Old) << where << " item " << i;
                            EXPECT_FALSE(r.journalFailure.isEmpty()) << where << " item " << i;
                            break;
                        default:
                            EXPECT_EQ(state, ItemIs::Old) << where << " item " << i;
                            EXPECT_FALSE(f.reason.isEmpty()) << where << " item " << i;
                    }
                }
                if (uncertain > 0) {
                    EXPECT_TRUE(r.needsRecovery) << where;
                }
                Journal restarted(journalFolder());
                restarted.recover();
                ASSERT_TRUE(ConsistentMix(s, Snapshot(music()), &changed, &why)) << where;
                const QList<BatchSummary> list = restarted.undoable();
                if (!list.isEmpty())
                    restarted.undo(list[0].number);
                EXPECT_TRUE(SameFolder(Snapshot(music()), s.before)) << where;
                ++runs;
            }
        }
        EXPECT_GT(runs, 40);
    }
}

TEST_F(JournalTest, AWriteErrorReportedAtTheEndIsTracedToItsFile) {
    Scenario s = ready(TagScenario(music()));
    sysio::FaultyIO io;
    io.fail(Call::Syncfs, 1, EIO);
    io.fail(Call::Fdatasync, 3, EIO);  // the journal's one flush, then files 1, 2...
    Journal journal(journalFolder(), io);
    const RunResult r = journal.run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    EXPECT_TRUE(r.needsRecovery);
    int uncertain = 0;
    for (const FileResult& f : r.files) uncertain += f.outcome == FileOutcome::Uncertain;
    EXPECT_EQ(uncertain, 1);
    EXPECT_EQ(r.written, 6);
    EXPECT_TRUE(journal.undoable().isEmpty());  // not complete until recovery looked

    const RecoveryReport report = Journal(journalFolder()).recover();
    ASSERT_EQ(report.batches.size(), 1);
    EXPECT_TRUE(report.batches[0].completed);
    EXPECT_EQ(Journal(journalFolder()).undoable().at(0).files, 7);

    // When no file owns up to the error, every file of that disk is uncertain.
    s.prepare(journalFolder());
    sysio::FaultyIO blind;
    blind.fail(Call::Syncfs, 1, EIO);
    const RunResult all =
        Journal(journalFolder(), blind).run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    EXPECT_EQ(all.written, 0);
    for (const FileResult& f : all.files) EXPECT_EQ(f.outcome, FileOutcome::Uncertain);
}

// The changes of a chunk are flushed before its first file is written: a
// flush that fails stops the run there, and the files of earlier chunks
// stay written.
TEST_F(JournalTest, EachChunkIsFlushedBeforeItsFilesAreWritten) {
    Scenario s = ready(TagScenario(music()));
    JournalOptions options;
    options.chunkFiles = 3;
    for (int failing : {1, 2}) {
        s.prepare(journalFolder());
        sysio::FaultyIO io;
        io.fail(Call::Fdatasync, failing, EIO);
        const RunResult r = Journal(journalFolder(), io, options)
                                .run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
        EXPECT_FALSE(r.journalFailure.isEmpty()) << failing;
        EXPECT_EQ(r.written, (failing - 1) * 3) << failing;
        for (int i = 0; i < s.count; ++i)
            EXPECT_EQ(StateOfItem(s, Snapshot(music()), i),
                      i < r.written ? ItemIs::New : ItemIs::Old)
                << failing << " item " << i;
    }
}

TEST_F(JournalTest, AJournalThatCannotBeWrittenStopsBeforeAnyFileIsTouched) {
    Scenario s = ready(TagScenario(music()));
    sysio::FaultyIO io;
    io.failFrom(Call::Mkdir, 1, EACCES);
    io.failFrom(Call::Open, 1, EACCES);
    const RunResult r =
        Journal(journalFolder(), io).run(s.kind, QStringLiteral("改"), s.count, s.plan, {});
    EXPECT_FALSE(r.journalFailure.isEmpty());
    EXPECT_EQ(r.written, 0);
    for (const FileResult& f : r.files) EXPECT_EQ(f.outcome, FileOutcome::NotReached);
    EXPECT_TRUE(SameFolder(Snapshot(music()), s.before));
}
