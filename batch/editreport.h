#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "batch/batchoptions.h"
#include "batch/tickedfiles.h"
#include "store/filechange.h"
#include "store/journalformat.h"

// What the ID3v1 and ID3v2 batch edits share: the walk over the ticked
// files, the report of a run, and the messages that tell the user about it.

// A file of a run and what became of it: a failure (the file was left as it
// was), a file whose state a failure left unknown, a note.
struct EditFailure {
    QString name;    // the exact file name as ticked (the command line puts the path here)
    QString reason;  // the system's reason, e.g. "No such file or directory"

    bool operator==(const EditFailure&) const = default;
};

struct EditReport {
    // Files that hold the tag asked for: written now, or found already
    // holding exactly those bytes (nothing needed writing).
    int written = 0;
    int readOnly = 0;  // read-only files, skipped without being opened
    QList<EditFailure> failures;
    // Files the copy from ID3v1 took nothing from, for they have no ID3v1
    // tag. Their other ticked rows were written (and the file counted as
    // written) when there were any.
    QStringList withoutID3v1;
    // Files written with a title from their name cut to what the ID3v1 tag
    // holds; the reason says what was written and why.
    QList<EditFailure> cutTitles;
    // Files where a write failed after new bytes may have reached the disk:
    // never counted as unchanged. The run has the journal's recovery look
    // at them at once; the reason says what it found.
    QList<EditFailure> uncertain;
    // Files written with a lesser failure (the modification time not kept).
    QList<EditFailure> warnings;
    // Files not touched because the run stopped before them: cancelled by
    // the user, or the journal could not be written (journalFailure).
    int notTouched = 0;
    bool cancelled = false;
    QString journalFailure;

    // True when every ticked file was written as asked. A title cut to the
    // tag's width still counts as handled; a copy without an ID3v1 tag does not.
    bool allHandled() const {
        return readOnly == 0 && failures.isEmpty() && withoutID3v1.isEmpty() &&
               uncertain.isEmpty() && notTouched == 0 && journalFailure.isEmpty();
    }
    // Adds the counts and failures of `other` (runs made one file at a time).
    EditReport& operator+=(const EditReport& other);
};

// One message box: text and caption.
struct ReportMessage {
    QString text;
    QString caption;

    bool operator==(const ReportMessage&) const = default;
};

// How many failed files the failure message names one by one.
inline constexpr int kListedFailures = 20;

// The read-only message for `count` files (caption "碰到只读文件").
ReportMessage ReadOnlyMessage(int count);
// The message naming the files that could not be handled: the first
// kListedFailures with their reasons, then how many more there were.
ReportMessage FailureMessage(const QList<EditFailure>& failures);

// The message naming the files without an ID3v1 tag, under the line
// "N 个文件没有 ID3v1 标签，未复制".
ReportMessage WithoutID3v1Message(const QStringList& names);
// The message naming the files whose title from the file name was cut.
ReportMessage CutTitlesMessage(const QList<EditFailure>& cut);

// The message naming the files whose state a failed write left unknown.
ReportMessage UncertainMessage(const QList<EditFailure>& files);
// The message of a run that stopped early: cancelled (how many were written,
// that the rest were not touched) or stopped by a journal failure.
ReportMessage StoppedMessage(const EditReport& report);
// The message naming files written whose modification time was not kept.
ReportMessage WarningsMessage(const QList<EditFailure>& files);

// The messages a finished run shows, in order: the stopped message when it
// stopped early, the read-only message when files were skipped, the
// failure message when files failed, the message of files left in an
// unknown state, then the messages of the files without an ID3v1 tag, of
// the cut titles and of the warnings. A run that handled every file as
// asked shows none.
QList<ReportMessage> ReportMessages(const EditReport& report);

// What the edit of one file wants written, as its planner decided after
// reading the file. Nothing is written while planning.
struct FileEditPlan {
    // The change to make; without splices there is nothing to write.
    FileChange change;
    // With nothing to write: true when the file already holds what was
    // asked (counted as written), false when the edit leaves it alone.
    bool alreadyAsAsked = true;
    // Notes for the report (see EditReport), kept once the file is handled.
    QString cutTitle;
    bool withoutID3v1 = false;
};

// The walk both editors share, as one journaled batch of kind `kind`
// (`description` is what the undo list shows): for each ticked name in
// order, refuses a symbolic link that leads out of the folder (a failure
// with its reason), skips and counts a read-only file (IsReadOnlyFile)
// without opening it, otherwise calls `plan(fullPath, name)`. A
// StoreError thrown for one file (vanished, unreadable, not writable) is
// that file's failure and the walk goes on. The journal then locks each
// file, checks it is still what its plan read (else "文件在修改过程中被
// 其他程序改动，未作改动"), writes it, and makes the batch durable; see
// BatchOptions for the journal, settings, Cancel and progress.
EditReport EditTickedFiles(
    const TickedFiles& files, BatchKind kind, const QString& description,
    const BatchOptions& options,
    const std::function<FileEditPlan(const QString& path, const QString& name)>& plan);

// The title a file name gives: the name without its last four characters
// (the ".mp3"), nothing else removed; a name that is not UTF-8 is read as
// code page 936 first (DecodedFileName).
QString TitleFromFileName(const QString& name);
