// tamberlo-cli undo: takes the last batch back, as the window's "撤销上次修改".

#include "batch/undo.h"

#include "cli/commands.h"
#include "store/error.h"
#include "store/programfolder.h"

namespace {

const char kUndoUsage[] =
    "usage: tamberlo-cli undo [--list] [--dry-run]\n"
    "  Takes the last batch (v1, v2, rename) back, file by file in reverse order;\n"
    "  a file changed since is not touched and is named (exit status 1).\n"
    "  --list     the batches that can be undone, newest first; nothing is changed\n"
    "  --dry-run  what undo would do, file by file; nothing is changed\n";

int Usage(const QString& problem) {
    Err(QStringLiteral("tamberlo-cli undo: ") + problem + QLatin1Char('\n'));
    Err(QString::fromLatin1(kUndoUsage));
    return 2;
}

}  // namespace

int CmdUndo(const QStringList& args) {
    bool list = false;
    bool dryRun = false;
    for (const QString& arg : args) {
        if (arg == QLatin1String("--list"))
            list = true;
        else if (arg == QLatin1String("--dry-run"))
            dryRun = true;
        else
            return Usage(QStringLiteral("unknown argument %1").arg(arg));
    }
    Journal journal(JournalFolder());
    QList<BatchSummary> batches;
    try {
        batches = journal.undoable();
    } catch (const StoreError& error) {
        Err(error.message() + QLatin1Char('\n'));
        return 1;
    }
    if (list) {
        for (const BatchSummary& b : batches)
            Out(QStringLiteral("%1\t%2\n").arg(b.number).arg(UndoOfferText(b)));
        return 0;
    }
    if (batches.isEmpty()) {
        const ReportMessage nothing = NothingToUndoMessage();
        Out(nothing.caption + QLatin1Char('\n') + nothing.text + QLatin1Char('\n'));
        return dryRun ? 0 : 1;
    }
    if (dryRun) {
        QList<UndoPreviewItem> items;
        try {
            items = journal.previewUndo(batches.first().number);
        } catch (const StoreError& error) {
            Err(error.message() + QLatin1Char('\n'));
            return 1;
        }
        Out(UndoOfferText(batches.first()) + QLatin1Char('\n'));
        for (const QString& line : UndoPreviewLines(items)) Out(line + QLatin1Char('\n'));
        return 0;
    }
    const UndoReport report = RunUndo(journal, batches.first().number);
    const ReportMessage message = UndoReportMessage(report);
    Out(message.caption + QLatin1Char('\n') + message.text + QLatin1Char('\n'));
    const bool clean = report.failure.isEmpty() && report.notTouched.isEmpty() &&
                       report.uncertain.isEmpty() && report.notReached == 0;
    return clean ? 0 : 1;
}
