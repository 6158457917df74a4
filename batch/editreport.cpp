#include "batch/editreport.h"

#include "batch/text.h"
#include "store/error.h"
#include "store/filefacts.h"

EditReport& EditReport::operator+=(const EditReport& other) {
    written += other.written;
    readOnly += other.readOnly;
    failures += other.failures;
    withoutID3v1 += other.withoutID3v1;
    cutTitles += other.cutTitles;
    return *this;
}

namespace {

// One line per file, the first kListedFailures of them, then how many more
// there were.
QString FileLines(const QStringList& lines) {
    const qsizetype listed = std::min<qsizetype>(lines.size(), kListedFailures);
    QString text = lines.mid(0, listed).join(QLatin1Char('\n'));
    if (lines.size() > listed) {
        text += QStringLiteral("\n……另外还有 ") + QString::number(lines.size() - listed) +
                QStringLiteral(" 个文件。");
    }
    return text;
}

QStringList NamedLines(const QList<EditFailure>& files) {
    QStringList lines;
    for (const EditFailure& file : files)
        lines << DisplayFileName(file.name) + QStringLiteral("：") + file.reason;
    return lines;
}

}  // namespace

ReportMessage ReadOnlyMessage(int count) {
    return {QStringLiteral("您选择的文件中有 ") + QString::number(count) +
                QStringLiteral(" 个只读文件，无法修改标签。") + kMessageBreak +
                QStringLiteral("请您去掉只读属性再试，谢谢！"),
            QStringLiteral("碰到只读文件")};
}

ReportMessage FailureMessage(const QList<EditFailure>& failures) {
    // The names go one to a line inside the middle paragraph; the paragraphs
    // are joined like every other multi-line message.
    return {QStringLiteral("您选择的文件中有 ") + QString::number(failures.size()) +
                QStringLiteral(" 个文件无法修改标签，它们保持原样：") + kMessageBreak +
                FileLines(NamedLines(failures)) + kMessageBreak +
                QStringLiteral("请您确认这些文件仍然存在并且可以写入，然后再试，谢谢！"),
            QStringLiteral("无法修改的文件")};
}

ReportMessage WithoutID3v1Message(const QStringList& names) {
    QStringList shown;
    for (const QString& name : names) shown << DisplayFileName(name);
    return {QString::number(names.size()) + QStringLiteral(" 个文件没有 ID3v1 标签，未复制") +
                kMessageBreak + FileLines(shown) + kMessageBreak +
                QStringLiteral("这些文件要从 ID3v1 标签复制的七项保持原有的内容，"
                               "其他勾选的项目照常修改。"),
            QStringLiteral("没有 ID3v1 标签的文件")};
}

ReportMessage CutTitlesMessage(const QList<EditFailure>& cut) {
    return {QString::number(cut.size()) +
                QStringLiteral(" 个文件的文件名不能完整地用作 ID3v1 标签的歌名，歌名已截短：") +
                kMessageBreak + FileLines(NamedLines(cut)) + kMessageBreak +
                QStringLiteral("ID3v1 标签的歌名最多 30 字节，并且只能保存 GBK 字符。"),
            QStringLiteral("歌名被截短的文件")};
}

QList<ReportMessage> ReportMessages(const EditReport& report) {
    QList<ReportMessage> messages;
    if (report.readOnly > 0)
        messages << ReadOnlyMessage(report.readOnly);
    if (!report.failures.isEmpty())
        messages << FailureMessage(report.failures);
    if (!report.withoutID3v1.isEmpty())
        messages << WithoutID3v1Message(report.withoutID3v1);
    if (!report.cutTitles.isEmpty())
        messages << CutTitlesMessage(report.cutTitles);
    return messages;
}

EditReport EditTickedFiles(const TickedFiles& files, const ProgressFn& progress,
                           const std::function<FileEdit(const QString& path, const QString& name,
                                                        EditReport& report)>& edit) {
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
            } else if (edit(path, name, report) == FileEdit::Written) {
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
    // A name that is not UTF-8 gives its code page 936 text, whose stand-ins
    // for undecodable bytes write back the name's own bytes.
    const QString text = DecodedFileName(name);
    return text.left(std::max<qsizetype>(0, text.size() - 4));
}
