#pragma once

#include <QList>
#include <QString>

#include "batch/batchoptions.h"
#include "batch/editreport.h"
#include "store/journal.h"

// Undo of the last batches ("撤销上次修改") and the report of the start-up
// recovery, over the journal (store/journal.h).

// What the undo offer shows of a batch, e.g. "撤销：修改 ID3v2 标签，1,234 个
// 文件，12 月 7 日 14:03": its description, how many files (or names) it
// changed, and when it began, in local time.
QString UndoOfferText(const BatchSummary& batch);
// The question asked before the undo runs.
ReportMessage UndoQuestion(const BatchSummary& batch);
// One line per item of an undo preview (Journal::previewUndo), in undo's
// order, each file by its whole path: "恢复：path", "改回：present → old",
// "已是原样：path" or "不会改动：path：reason".
QStringList UndoPreviewLines(const QList<UndoPreviewItem>& items);
// Said when there is nothing to undo.
ReportMessage NothingToUndoMessage();

struct UndoReport {
    int restored = 0;               // files (or names) taken back
    int alreadyBack = 0;            // found holding their old bytes already
    QList<EditFailure> notTouched;  // changed since the batch, gone, or failed: with why
    QList<EditFailure> uncertain;   // a failure after the file may have changed
    int notReached = 0;             // the undo stopped before them (cancelled)
    bool cancelled = false;
    QString failure;  // the undo could not run at all (journal unreadable, ...)
};

// Takes batch `number` (from Journal::undoable()) back file by file in
// reverse order, as a journaled batch of its own. A file whose bytes are
// no longer what the batch wrote, or a renamed file that is gone, is not
// touched and is named in the report.
UndoReport RunUndo(Journal& journal, quint64 number, const BatchOptions& options = {});
// The message after an undo: how many were restored, then each file not
// touched with its reason.
ReportMessage UndoReportMessage(const UndoReport& report);

// The message of a start-up recovery that has something to say: files of
// interrupted batches made whole again, files left alone because another
// program changed them (named), and journal files that could not be read.
ReportMessage RecoveryMessage(const RecoveryReport& report);
