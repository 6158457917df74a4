// The batches as the journal runs them: undo round trips (also across a
// restart and with a file changed in between), Cancel between files, a
// failure after bytes may be on disk, the commit check, hard links and the
// modification time.

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <map>

#include "batch/edit_folder_fixture.h"
#include "batch/id3v1edit.h"
#include "batch/id3v2edit.h"
#include "batch/rename.h"
#include "batch/undo.h"
#include "store/faultyio.h"
#include "store/journal.h"
#include "support/frame_rows.h"
#include "support/journal_fixture.h"
#include "support/qt_printers.h"

namespace {

class JournaledRun : public EditFolder {
  protected:
    QString journalFolder() const { return temp_.filePath(QStringLiteral("journal")); }
    // A song with an ID3v2 tag holding `title` and room to spare, and an ID3v1 tag.
    QByteArray song(const QByteArray& title, int padding = 200) const {
        return V2Tag(V2Text("TIT2", title), padding) + MpegFrames(3) + V1Bytes(title, "Band");
    }
    std::map<QString, QByteArray> snapshot() const { return journaltest::Snapshot(folder()); }
    struct stat statOf(const QString& name) const {
        struct stat st {};
        ::lstat(QFile::encodeName(path(name)).constData(), &st);
        return st;
    }
    ID3v1Edit artistV1(const char* artist) const {
        ID3v1Edit edit;
        edit.ticked[kV1Artist] = true;
        edit.artist = QString::fromLatin1(artist);
        return edit;
    }
    ID3v2Edit titleV2(const QString& title) const {
        ID3v2Edit edit;
        edit.ticked[kV2TIT2] = true;
        edit.texts[kV2TIT2] = title;
        return edit;
    }
    // Undoes the newest batch with a journal opened afresh, as after a restart.
    UndoReport undoAfterRestart() {
        Journal journal(journalFolder());
        journal.recover();
        const QList<BatchSummary> batches = journal.undoable();
        EXPECT_FALSE(batches.isEmpty());
        if (batches.isEmpty())
            return {};
        return RunUndo(journal, batches.first().number);
    }
};

TEST_F(JournaledRun, EachBatchIsUndoneByteForByteAlsoAfterARestart) {
    const QStringList names = {"a.mp3", "b.mp3", "c.mp3"};
    put("a.mp3", song("one"));
    put("b.mp3", song("two", 0));  // no room: rewritten beside
    put("c.mp3", MpegFrames(4));   // no tag at all
    const auto original = snapshot();
    const ino_t inodeA = statOf("a.mp3").st_ino;

    {
        Journal journal(journalFolder());
        BatchOptions options{.journal = &journal};
        const EditReport v2 =
            RunID3v2Edit(ticked(names), titleV2(QStringLiteral("新的标题")), options);
        EXPECT_EQ(v2.written, 3);
        EXPECT_TRUE(v2.allHandled());
        EXPECT_EQ(statOf("a.mp3").st_ino, inodeA);  // fitted: written in place
        EXPECT_EQ(ReadID3v2Tag(path("b.mp3")).TIT2, QStringLiteral("新的标题"));
        const auto afterV2 = snapshot();

        EXPECT_EQ(RunID3v1Edit(ticked(names), artistV1("Someone"), options).written, 3);
        const QList<BatchSummary> batches = journal.undoable();
        ASSERT_EQ(batches.size(), 2);
        EXPECT_EQ(batches[0].description, QStringLiteral("修改 ID3v1 标签"));
        EXPECT_EQ(batches[1].description, QStringLiteral("修改 ID3v2 标签"));
        EXPECT_EQ(batches[0].files, 3);

        const UndoReport undoV1 = RunUndo(journal, batches[0].number);
        EXPECT_EQ(undoV1.restored, 3);
        EXPECT_TRUE(undoV1.notTouched.isEmpty());
        EXPECT_EQ(snapshot(), afterV2);
    }
    // The window or the command line started again.
    const UndoReport undoV2 = undoAfterRestart();
    EXPECT_EQ(undoV2.restored, 3);
    EXPECT_EQ(snapshot(), original);
    EXPECT_TRUE(Journal(journalFolder()).undoable().isEmpty());
}

TEST_F(JournaledRun, RenamesIntoSubFoldersAreUndoneAndTheFoldersGo) {
    put("x.mp3", MpegFrames(2) + V1Bytes("Hello", "Band"));
    put("y.mp3", MpegFrames(3) + V1Bytes("World", "Band"));
    put("z.mp3", MpegFrames(4) + V1Bytes("Solo", "Other"));
    const auto original = snapshot();
    Journal journal(journalFolder());
    const RenameReport report =
        RunRename(PlanRename(ticked({"x.mp3", "y.mp3", "z.mp3"}), 6), {.journal = &journal});
    EXPECT_EQ(report.renamed, 3);
    EXPECT_TRUE(QFile::exists(path("Band/Hello.mp3")));
    EXPECT_TRUE(QFile::exists(path("Other/Solo.mp3")));
    ASSERT_EQ(journal.undoable().size(), 1);
    EXPECT_EQ(journal.undoable().first().description, QStringLiteral("修改 Mp3 文件名"));

    const UndoReport undo = undoAfterRestart();
    EXPECT_EQ(undo.restored, 3);
    EXPECT_EQ(snapshot(), original);  // the sub-folders made by the rename are gone too
}

TEST_F(JournaledRun, AFileChangedSinceTheBatchIsNotTouchedByUndoAndIsNamed) {
    put("a.mp3", song("one"));
    put("b.mp3", song("two"));
    Journal journal(journalFolder());
    RunID3v1Edit(ticked({"a.mp3", "b.mp3"}), artistV1("New"), {.journal = &journal});
    // Another program writes b.mp3's tag afterwards.
    const QByteArray other = MpegFrames(3) + V1Bytes("Mine", "Not yours");
    put("b.mp3", song("two").left(song("two").size() - 128) + V1Bytes("Mine", "Not yours"));
    const QByteArray changed = bytes("b.mp3");

    const UndoReport undo = RunUndo(journal, journal.undoable().first().number);
    EXPECT_EQ(undo.restored, 1);
    ASSERT_EQ(undo.notTouched.size(), 1);
    EXPECT_EQ(undo.notTouched[0].name, path("b.mp3"));
    EXPECT_EQ(bytes("a.mp3"), song("one"));
    EXPECT_EQ(bytes("b.mp3"), changed);
    const ReportMessage message = UndoReportMessage(undo);
    EXPECT_TRUE(message.text.contains(QStringLiteral("b.mp3"))) << qPrintable(message.text);
    EXPECT_TRUE(message.text.startsWith(QStringLiteral("1 个文件已恢复原样。")));
}

TEST_F(JournaledRun, CancelStopsBetweenFilesAndTheReportSaysTheRestWereNotTouched) {
    QStringList names;
    for (int i = 0; i < 6; ++i) {
        names << QStringLiteral("s%1.mp3").arg(i);
        put(names.last(), song("old"));
    }
    Journal journal(journalFolder());
    int asked = 0;
    BatchOptions options{.journal = &journal};
    options.cancelled = [&] { return ++asked > 3; };
    const EditReport report = RunID3v1Edit(ticked(names), artistV1("New"), options);

    EXPECT_TRUE(report.cancelled);
    EXPECT_GT(report.written, 0);
    EXPECT_EQ(report.written + report.notTouched, 6);
    EXPECT_FALSE(report.allHandled());
    int changed = 0;
    for (const QString& name : names) changed += bytes(name) != song("old");
    EXPECT_EQ(changed, report.written);
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_FALSE(messages.isEmpty());
    EXPECT_EQ(messages[0].text.left(7),
              QStringLiteral("修改已取消：") + QString::number(report.written));
    EXPECT_TRUE(
        messages[0].text.contains(QStringLiteral("其余 %1 个文件未作改动").arg(report.notTouched)));
    // What was written is one batch that undo takes back.
    EXPECT_EQ(RunUndo(journal, journal.undoable().first().number).restored, report.written);
    for (const QString& name : names) EXPECT_EQ(bytes(name), song("old")) << qPrintable(name);
}

TEST_F(JournaledRun, AFailureAfterBytesMayBeOnDiskIsNeverReportedAsUnchanged) {
    put("a.mp3", song("one"));
    const QByteArray before = bytes("a.mp3");
    // The bytes went to the file, but making them durable fails: what is
    // on the disk is not known.
    sysio::FaultyIO io;
    io.failFrom(sysio::Call::Syncfs, 1, EIO);
    io.before(sysio::Call::Syncfs, 1, [&] {
        io.failFrom(sysio::Call::Fdatasync, io.count(sysio::Call::Fdatasync) + 1, EIO);
    });
    Journal journal(journalFolder(), io);
    const EditReport report =
        RunID3v1Edit(ticked({"a.mp3"}), artistV1("New"), {.journal = &journal});
    EXPECT_EQ(report.written, 0);
    EXPECT_TRUE(report.failures.isEmpty());
    ASSERT_EQ(report.uncertain.size(), 1);
    const QList<ReportMessage> messages = ReportMessages(report);
    ASSERT_EQ(messages.size(), 1);
    EXPECT_FALSE(messages[0].text.contains(QStringLiteral("保持原样")));
    EXPECT_EQ(messages[0].caption, QStringLiteral("写入出错的文件"));
    // The next start finds the file whole: old or new, never torn.
    io.clear();
    Journal(journalFolder()).recover();
    const QByteArray now = bytes("a.mp3");
    EXPECT_TRUE(now == before ||
                ReadID3v1Tag(path("a.mp3")).Artist.startsWith(QStringLiteral("New")));
    EXPECT_EQ(now.size(), before.size());
}

TEST_F(JournaledRun, AFileChangedBetweenReadingAndWritingIsRefusedAndNamed) {
    put("a.mp3", song("one"));
    put("b.mp3", song("two"));
    sysio::FaultyIO io;
    // Once both files are planned (the journal flushes their records), and
    // before they are written, another program rewrites b.mp3 with a tag
    // of the same size.
    const QByteArray theirs =
        song("two").left(song("two").size() - 128) + V1Bytes("Theirs", "Them");
    int opens = 0;
    io.before(sysio::Call::Fdatasync, 1, [&] {
        ++opens;
        WriteBytes(path("b.mp3") + QStringLiteral(".new"), theirs);
        ::rename(QFile::encodeName(path("b.mp3.new")).constData(),
                 QFile::encodeName(path("b.mp3")).constData());
    });
    Journal journal(journalFolder(), io);
    const EditReport report =
        RunID3v1Edit(ticked({"a.mp3", "b.mp3"}), artistV1("New"), {.journal = &journal});
    EXPECT_EQ(opens, 1);
    EXPECT_EQ(report.written, 1);
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_EQ(report.failures[0].name, QStringLiteral("b.mp3"));
    EXPECT_EQ(report.failures[0].reason,
              QStringLiteral("文件在修改过程中被其他程序改动，未作改动"));
    EXPECT_EQ(bytes("b.mp3"), theirs);
}

TEST_F(JournaledRun, HardLinkedFilesAreWrittenInPlaceOrRefusedUnlessAllowed) {
    put("fits.mp3", song("one", 300));
    put("grows.mp3", song("two", 0));
    for (const char* name : {"fits.mp3", "grows.mp3"})
        ASSERT_EQ(::link(QFile::encodeName(path(name)).constData(),
                         QFile::encodeName(path(name) + QStringLiteral(".link")).constData()),
                  0);
    Journal journal(journalFolder());
    const EditReport report =
        RunID3v2Edit(ticked({"fits.mp3", "grows.mp3"}), titleV2(QStringLiteral("longer title")),
                     {.journal = &journal});
    EXPECT_EQ(report.written, 1);
    EXPECT_EQ(bytes("fits.mp3.link"), bytes("fits.mp3"));  // one file, both names
    EXPECT_EQ(ReadID3v2Tag(path("fits.mp3")).TIT2, QStringLiteral("longer title"));
    ASSERT_EQ(report.failures.size(), 1);
    EXPECT_TRUE(report.failures[0].reason.contains(QStringLiteral("硬链接")));
    EXPECT_EQ(bytes("grows.mp3"), song("two", 0));

    BatchOptions allow{.journal = &journal};
    allow.apply.splitHardLinks = true;
    EXPECT_EQ(
        RunID3v2Edit(ticked({"grows.mp3"}), titleV2(QStringLiteral("longer title")), allow).written,
        1);
    EXPECT_EQ(bytes("grows.mp3.link"), song("two", 0));  // the other name keeps the old file
}

TEST_F(JournaledRun, TheModificationTimeIsKeptOnlyWhenAsked) {
    for (const bool keep : {false, true}) {
        SCOPED_TRACE(keep);
        put("a.mp3", song("one"));
        const struct timespec old[2] = {{1000000000, 0}, {1000000000, 123456789}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path("a.mp3")).constData(), old, 0), 0);
        BatchOptions options;
        options.apply.keepMtime = keep;
        EXPECT_EQ(RunID3v1Edit(ticked({"a.mp3"}), artistV1("New"), options).written, 1);
        const struct stat st = statOf("a.mp3");
        EXPECT_EQ(st.st_mtim.tv_sec == 1000000000 && st.st_mtim.tv_nsec == 123456789, keep);
    }
}

TEST_F(JournaledRun, TheUndoOfferAndTheRecoveryMessageSayWhatHappened) {
    BatchSummary batch;
    batch.description = QStringLiteral("修改 ID3v2 标签");
    batch.files = 1234;
    batch.time = QDateTime(QDate(2026, 12, 7), QTime(14, 3), Qt::LocalTime).toUTC();
    EXPECT_EQ(UndoOfferText(batch),
              QStringLiteral("撤销：修改 ID3v2 标签，1,234 个文件，12 月 7 日 14:03"));
    batch.files = 7;
    EXPECT_EQ(UndoOfferText(batch),
              QStringLiteral("撤销：修改 ID3v2 标签，7 个文件，12 月 7 日 14:03"));
    batch.files = 1234567;
    EXPECT_TRUE(UndoOfferText(batch).contains(QStringLiteral("1,234,567 个文件")));

    RecoveryReport report;
    RecoveredBatch recovered;
    recovered.files = {{path("torn.mp3"), ChangeState::Mixed, RecoveryAction::RolledBack, {}},
                       {path("theirs.mp3"), ChangeState::Foreign, RecoveryAction::LeftAlone, {}}};
    report.batches = {recovered};
    const ReportMessage message = RecoveryMessage(report);
    EXPECT_TRUE(message.text.contains(QStringLiteral("1 个写了一半的文件已恢复为完整的内容")));
    EXPECT_TRUE(message.text.contains(QStringLiteral("theirs.mp3：已被其他程序改动，未作改动")))
        << qPrintable(message.text);
    EXPECT_FALSE(message.text.contains(QStringLiteral("torn.mp3")));
}

}  // namespace
