#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

#include "batch/tickedfiles.h"

// What the ID3v1 and ID3v2 batch edits share: the walk over the ticked
// files, the report of a run, and the messages that tell the user about it.

// A ticked file the run could not handle. The file was left as it was (as
// far as the store guarantees; see WriteID3v1Tag / WriteID3v2Tag).
struct EditFailure {
    QString name;    // the exact file name as ticked (the command line puts the path here)
    QString reason;  // the system's reason, e.g. "No such file or directory"

    bool operator==(const EditFailure&) const = default;
};

struct EditReport {
    int written = 0;   // files whose tag was written
    int readOnly = 0;  // read-only files, skipped without being opened
    QList<EditFailure> failures;
    // Files the copy from ID3v1 took nothing from, for they have no ID3v1
    // tag. Their other ticked rows were written (and the file counted as
    // written) when there were any.
    QStringList withoutID3v1;
    // Files written with a title from their name cut to what the ID3v1 tag
    // holds; the reason says what was written and why.
    QList<EditFailure> cutTitles;

    // True when every ticked file was written as asked. A title cut to the
    // tag's width still counts as handled; a copy without an ID3v1 tag does not.
    bool allHandled() const {
        return readOnly == 0 && failures.isEmpty() && withoutID3v1.isEmpty();
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

// The messages a finished run shows, in order: the read-only message when
// files were skipped, the failure message when files failed, then the
// messages of the files without an ID3v1 tag and of the cut titles. A run
// that handled every file as asked shows none.
QList<ReportMessage> ReportMessages(const EditReport& report);

// What the edit of one file did: Written, or Unchanged when there was
// nothing to write (the file was left alone and is not counted as written).
enum class FileEdit { Written, Unchanged };

// The walk both editors share: for each ticked name in order, refuses a
// symbolic link that leads out of the folder (a failure with its reason),
// skips and counts a read-only file (IsReadOnlyFile) without opening it,
// otherwise calls `edit(fullPath, name, report)`, which may add notes on
// the file to `report`. A StoreError thrown for one file (vanished,
// unreadable, not writable) is recorded as that file's failure and the walk
// goes on. `progress`, when set, hears (done, total) after each file.
EditReport EditTickedFiles(const TickedFiles& files, const ProgressFn& progress,
                           const std::function<FileEdit(const QString& path, const QString& name,
                                                        EditReport& report)>& edit);

// The title a file name gives: the name without its last four characters
// (the ".mp3"), nothing else removed; a name that is not UTF-8 is read as
// code page 936 first (DecodedFileName).
QString TitleFromFileName(const QString& name);
