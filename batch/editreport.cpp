#include "batch/editreport.h"

#include "batch/text.h"
#include "store/error.h"
#include "store/filefacts.h"

EditReport& EditReport::operator+=(const EditReport& other) {
    written += other.written;
    readOnly += other.readOnly;
    failures += other.failures;
    return *this;
}

ReportMessage ReadOnlyMessage(int count) {
    return {QStringLiteral("您选择的文件中有 ") + QString::number(count) +
                QStringLiteral(" 个只读文件，无法修改标签。") + kMessageBreak +
                QStringLiteral("请您去掉只读属性再试，谢谢！"),
            QStringLiteral("碰到只读文件")};
}

ReportMessage FailureMessage(const QList<EditFailure>& failures) {
    // The names go one to a line inside the middle paragraph; the paragraphs
    // are joined like every other multi-line message.
    QStringList lines;
    const qsizetype listed = std::min<qsizetype>(failures.size(), kListedFailures);
    for (qsizetype i = 0; i < listed; ++i) {
        lines << failures[i].name + QStringLiteral("：") + failures[i].reason;
    }
    if (failures.size() > listed) {
        lines << QStringLiteral("……另外还有 ") + QString::number(failures.size() - listed) +
                     QStringLiteral(" 个文件。");
    }
    return {QStringLiteral("您选择的文件中有 ") + QString::number(failures.size()) +
                QStringLiteral(" 个文件无法修改标签，它们保持原样：") + kMessageBreak +
                lines.join(QLatin1Char('\n')) + kMessageBreak +
                QStringLiteral("请您确认这些文件仍然存在并且可以写入，然后再试，谢谢！"),
            QStringLiteral("无法修改的文件")};
}

QList<ReportMessage> ReportMessages(const EditReport& report) {
    QList<ReportMessage> messages;
    if (report.readOnly > 0)
        messages << ReadOnlyMessage(report.readOnly);
    if (!report.failures.isEmpty())
        messages << FailureMessage(report.failures);
    return messages;
}

EditReport EditTickedFiles(
    const TickedFiles& files, const ProgressFn& progress,
    const std::function<void(const QString& path, const QString& name)>& edit) {
    EditReport report;
    const int total = int(files.names.size());
    for (int i = 0; i < total; ++i) {
        const QString& name = files.names[i];
        const QString path = JoinPath(files.folder, name);
        try {
            // A file that vanished since the list was loaded fails here,
            // before anything is read.
            if (const QString outside = LinkLeavesFolder(path, files.folder); !outside.isEmpty()) {
                report.failures.append({name, outside});
            } else if (IsReadOnlyFile(path)) {
                ++report.readOnly;
            } else {
                edit(path, name);
                ++report.written;
            }
        } catch (const StoreError& error) {
            report.failures.append(
                {name, error.reason().isEmpty() ? error.message() : error.reason()});
        }
        if (progress)
            progress(i + 1, total);
    }
    return report;
}

QString TitleFromFileName(const QString& name) {
    return name.left(std::max<qsizetype>(0, name.size() - 4));
}
