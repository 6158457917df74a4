#pragma once

#include <QList>
#include <QString>
#include <functional>

#include "batch/tickedfiles.h"

// What the ID3v1 and ID3v2 batch edits share: the walk over the ticked
// files, the report of a run, and the messages that tell the user about it.

// A ticked file the run could not handle. The file was left as it was (as
// far as the store guarantees; see WriteID3v1Tag / WriteID3v2Tag).
struct EditFailure {
    QString name;    // the file name as ticked (the command line puts the path here)
    QString reason;  // the system's reason, e.g. "No such file or directory"

    bool operator==(const EditFailure&) const = default;
};

struct EditReport {
    int written = 0;   // files whose tag was written
    int readOnly = 0;  // read-only files, skipped without being opened
    QList<EditFailure> failures;

    // True when every ticked file was written.
    bool allHandled() const { return readOnly == 0 && failures.isEmpty(); }
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

// The messages a finished run shows, in order: the read-only message when
// files were skipped, then the failure message when files failed. A run
// that handled every file shows none.
QList<ReportMessage> ReportMessages(const EditReport& report);

// The walk both editors share: for each ticked name in order, refuses a
// symbolic link that leads out of the folder (a failure with its reason),
// skips and counts a read-only file (IsReadOnlyFile) without opening it,
// otherwise calls `edit(fullPath, name)`. A StoreError thrown for one file
// (vanished, unreadable, not writable) is recorded as that file's failure
// and the walk goes on. `progress`, when set, hears (done, total) after
// each file.
EditReport EditTickedFiles(
    const TickedFiles& files, const ProgressFn& progress,
    const std::function<void(const QString& path, const QString& name)>& edit);

// The title a file name gives: the name without its last four characters
// (the ".mp3"), nothing else removed.
QString TitleFromFileName(const QString& name);
