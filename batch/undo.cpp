#include "batch/undo.h"

#include "batch/text.h"
#include "store/error.h"
#include "store/filefacts.h"

namespace {

// 1234567 -> "1,234,567", as the offer shows counts in any locale.
QString Grouped(int n) {
    QString digits = QString::number(n);
    for (qsizetype at = digits.size() - 3; at > 0; at -= 3) digits.insert(at, QLatin1Char(','));
    return digits;
}

QString Lines(const QList<EditFailure>& files) {
    QStringList lines;
    const qsizetype listed = std::min<qsizetype>(files.size(), kListedFailures);
    for (qsizetype i = 0; i < listed; ++i)
        lines << DisplayFileName(files[i].name) + QStringLiteral("：") + files[i].reason;
    if (files.size() > listed)
        lines << QStringLiteral("……另外还有 %1 个文件。").arg(files.size() - listed);
    return lines.join(QLatin1Char('\n'));
}

}  // namespace

QString UndoOfferText(const BatchSummary& batch) {
    const QDateTime local = batch.time.toLocalTime();
    return QStringLiteral("撤销：%1，%2 个文件，%3 月 %4 日 %5")
        .arg(batch.description, Grouped(batch.files))
        .arg(local.date().month())
        .arg(local.date().day())
        .arg(local.toString(QStringLiteral("HH:mm")));
}

ReportMessage UndoQuestion(const BatchSummary& batch) {
    return {UndoOfferText(batch) + kMessageBreak +
                QStringLiteral("这些文件的标签和文件名将恢复为这次修改之前的样子；"
                               "之后又被改动过的文件不会动。确定要撤销吗？"),
            QStringLiteral("撤销上次修改")};
}

QStringList UndoPreviewLines(const QList<UndoPreviewItem>& items) {
    QStringList lines;
    lines.reserve(items.size());
    for (const UndoPreviewItem& item : items) {
        const QString name = DisplayFileName(item.path);
        switch (item.outcome) {
            case FileOutcome::Written:
                lines << (item.renamedTo.isEmpty()
                              ? QStringLiteral("恢复：") + name
                              : QStringLiteral("改回：") + name + QStringLiteral(" → ") +
                                    DisplayFileName(item.renamedTo));
                break;
            case FileOutcome::Unchanged:
                lines << QStringLiteral("已是原样：") + name;
                break;
            default:
                lines << QStringLiteral("不会改动：") + name + QStringLiteral("：") + item.reason;
                break;
        }
    }
    return lines;
}

ReportMessage NothingToUndoMessage() {
    return {QStringLiteral("没有可以撤销的修改。"), QStringLiteral("撤销上次修改")};
}

UndoReport RunUndo(Journal& journal, quint64 number, const BatchOptions& options) {
    UndoReport report;
    RunControl control;
    control.apply = options.apply;
    control.cancelled = options.cancelled;
    control.progress = options.progress;
    RunResult result;
    try {
        result = journal.undo(number, control);
    } catch (const StoreError& error) {
        report.failure = error.message();
        return report;
    }
    report.cancelled = result.cancelled;
    if (!result.journalFailure.isEmpty())
        report.failure = result.journalFailure;
    for (const FileResult& f : result.files) {
        switch (f.outcome) {
            case FileOutcome::Written:
                ++report.restored;
                break;
            case FileOutcome::Unchanged:
                ++report.alreadyBack;
                break;
            case FileOutcome::Refused:
            case FileOutcome::Failed:
                report.notTouched.append({f.path, f.reason});
                break;
            case FileOutcome::Uncertain:
                report.uncertain.append({f.path, f.reason});
                break;
            case FileOutcome::NotReached:
                ++report.notReached;
                break;
        }
    }
    return report;
}

ReportMessage UndoReportMessage(const UndoReport& report) {
    const QString caption = QStringLiteral("撤销上次修改");
    if (!report.failure.isEmpty() && report.restored == 0 && report.notTouched.isEmpty())
        return {QStringLiteral("无法撤销：") + report.failure, caption};
    QString text =
        QStringLiteral("%1 个文件已恢复原样。").arg(report.restored + report.alreadyBack);
    if (report.cancelled)
        text += kMessageBreak + QStringLiteral(
                                    "撤销已取消：其余 %1 个文件未作改动，"
                                    "这次修改仍可再次撤销。")
                                    .arg(report.notReached);
    if (!report.notTouched.isEmpty())
        text += kMessageBreak +
                QStringLiteral("%1 个文件在修改之后又被改动过（或已不存在、无法写入），未作改动：")
                    .arg(report.notTouched.size()) +
                kMessageBreak + Lines(report.notTouched);
    if (!report.uncertain.isEmpty())
        text += kMessageBreak +
                QStringLiteral("%1 个文件在写入时出错，可能已改动一部分，下次启动时会再检查：")
                    .arg(report.uncertain.size()) +
                kMessageBreak + Lines(report.uncertain);
    if (!report.failure.isEmpty())
        text += kMessageBreak + QStringLiteral("无法写入操作记录：") + report.failure;
    return {text, caption};
}

ReportMessage RecoveryMessage(const RecoveryReport& report) {
    int mended = 0;
    QList<EditFailure> leftAlone, failed;
    for (const RecoveredBatch& b : report.batches) {
        for (const RecoveredFile& f : b.files) {
            switch (f.action) {
                case RecoveryAction::RolledBack:
                case RecoveryAction::RolledForward:
                    ++mended;
                    break;
                case RecoveryAction::LeftAlone:
                    leftAlone.append({f.path, f.reason.isEmpty()
                                                  ? QStringLiteral("已被其他程序改动，未作改动")
                                                  : f.reason});
                    break;
                case RecoveryAction::Failed:
                    failed.append({f.path, f.reason});
                    break;
                case RecoveryAction::None:
                    break;
            }
        }
    }
    QStringList parts;
    parts << QStringLiteral("上次运行时有修改没有做完（程序被中断）。");
    if (mended > 0)
        parts << QStringLiteral("%1 个写了一半的文件已恢复为完整的内容。").arg(mended);
    if (!leftAlone.isEmpty())
        parts << QStringLiteral("%1 个文件在中断之后被其他程序改动过，未作改动：")
                         .arg(leftAlone.size()) +
                     QLatin1Char('\n') + Lines(leftAlone);
    if (!failed.isEmpty())
        parts << QStringLiteral("%1 个文件暂时无法恢复，下次启动时会再试：").arg(failed.size()) +
                     QLatin1Char('\n') + Lines(failed);
    if (!report.problems.isEmpty())
        parts << QStringLiteral("有操作记录读不出来，未作处理：\n") +
                     report.problems.join(QLatin1Char('\n'));
    return {parts.join(kMessageBreak), QStringLiteral("恢复中断的修改")};
}
