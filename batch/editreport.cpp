#include "batch/editreport.h"

#include <optional>
#include <vector>

#include "batch/text.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/journal.h"
#include "store/programfolder.h"

EditReport& EditReport::operator+=(const EditReport& other) {
    written += other.written;
    readOnly += other.readOnly;
    failures += other.failures;
    withoutID3v1 += other.withoutID3v1;
    cutTitles += other.cutTitles;
    unmatched += other.unmatched;
    uncertain += other.uncertain;
    warnings += other.warnings;
    notTouched += other.notTouched;
    cancelled = cancelled || other.cancelled;
    if (journalFailure.isEmpty())
        journalFailure = other.journalFailure;
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

ReportMessage UncertainMessage(const QList<EditFailure>& files) {
    return {QStringLiteral("您选择的文件中有 ") + QString::number(files.size()) +
                QStringLiteral(" 个文件在写入时出错，新内容可能已写入一部分：") + kMessageBreak +
                FileLines(NamedLines(files)) + kMessageBreak +
                QStringLiteral("程序已按操作记录检查这些文件，请您再看一下它们的标签。"),
            QStringLiteral("写入出错的文件")};
}

ReportMessage StoppedMessage(const EditReport& report) {
    if (!report.journalFailure.isEmpty())
        return {QStringLiteral("无法写入操作记录：") + report.journalFailure + kMessageBreak +
                    QString::number(report.written) + QStringLiteral(" 个文件已写入，其余 ") +
                    QString::number(report.notTouched) + QStringLiteral(" 个文件未作改动。"),
                QStringLiteral("修改已停止")};
    return {QStringLiteral("修改已取消：") + QString::number(report.written) +
                QStringLiteral(" 个文件已写入，其余 ") + QString::number(report.notTouched) +
                QStringLiteral(" 个文件未作改动。") + kMessageBreak +
                QStringLiteral("已写入的文件可以用“撤销上次修改”恢复原样。"),
            QStringLiteral("修改已取消")};
}

ReportMessage UnmatchedNamesMessage(const QList<EditFailure>& files) {
    return {QString::number(files.size()) + QStringLiteral(" 个文件的文件名与格式不符，未修改：") +
                kMessageBreak + FileLines(NamedLines(files)),
            QStringLiteral("文件名与格式不符")};
}

ReportMessage WarningsMessage(const QList<EditFailure>& files) {
    return {QString::number(files.size()) +
                QStringLiteral(" 个文件的标签已写入，但修改时间未能保留：") + kMessageBreak +
                FileLines(NamedLines(files)),
            QStringLiteral("修改时间未能保留")};
}

QList<ReportMessage> ReportMessages(const EditReport& report) {
    QList<ReportMessage> messages;
    if (report.notTouched > 0 || !report.journalFailure.isEmpty())
        messages << StoppedMessage(report);
    if (report.readOnly > 0)
        messages << ReadOnlyMessage(report.readOnly);
    if (!report.failures.isEmpty())
        messages << FailureMessage(report.failures);
    if (!report.uncertain.isEmpty())
        messages << UncertainMessage(report.uncertain);
    if (!report.withoutID3v1.isEmpty())
        messages << WithoutID3v1Message(report.withoutID3v1);
    if (!report.unmatched.isEmpty())
        messages << UnmatchedNamesMessage(report.unmatched);
    if (!report.cutTitles.isEmpty())
        messages << CutTitlesMessage(report.cutTitles);
    if (!report.warnings.isEmpty())
        messages << WarningsMessage(report.warnings);
    return messages;
}

EditReport EditTickedFiles(
    const TickedFiles& files, BatchKind kind, const QString& description,
    const BatchOptions& options,
    const std::function<FileEditPlan(const QString& path, const QString& name)>& plan) {
    EditReport report;
    const int total = int(files.names.size());
    enum class Kind : char { Planned, ReadOnly, AlreadyAsAsked, LeftAlone };
    std::vector<Kind> kinds(static_cast<size_t>(total), Kind::Planned);
    std::vector<FileEditPlan> notes(static_cast<size_t>(total));

    const PlanFn planOne = [&](int i) {
        const QString& name = files.names[i];
        const QString& folder = files.folderOf(i);
        const QString path = JoinPath(folder, name);
        PlannedItem item;
        item.path = path;
        try {
            // A file that vanished since the list was loaded fails here,
            // before anything is read.
            if (const EditableCheck check = CheckEditable(path, folder); !check.outside.isEmpty()) {
                item.outcome = FileOutcome::Failed;
                item.reason = check.outside;
            } else if (check.readOnly) {
                kinds[size_t(i)] = Kind::ReadOnly;
            } else {
                FileEditPlan planned = plan(path, name);
                if (!planned.change.splices.isEmpty())
                    item.change = planned.change;
                else
                    kinds[size_t(i)] =
                        planned.alreadyAsAsked ? Kind::AlreadyAsAsked : Kind::LeftAlone;
                planned.change = {};
                notes[size_t(i)] = std::move(planned);
            }
        } catch (const StoreError& error) {
            item.change = std::monostate();
            item.outcome = FileOutcome::Failed;
            item.reason = error.reason().isEmpty() ? error.message() : error.reason();
        }
        return item;
    };
    RunControl control;
    control.apply = options.apply;
    control.cancelled = options.cancelled;
    control.progress = options.progress;
    // Each plan reads its own file only.
    control.planAhead = true;

    std::optional<Journal> own;
    Journal* journal = options.journal;
    RunResult result;
    try {
        if (!journal)
            journal = &own.emplace(JournalFolder());
        result = journal->run(kind, description, total, planOne, control);
    } catch (const StoreError& error) {
        result = {};
        result.files.resize(total);
        result.journalFailure = error.message();
    }
    if (result.needsRecovery && journal) {
        // A write failed after new bytes may have reached a file: have the
        // journal put each such file back to a whole state now rather than
        // at the next start, and say what it found.
        try {
            for (const RecoveredBatch& b : journal->recover().batches) {
                for (const RecoveredFile& f : b.files) {
                    for (FileResult& r : result.files) {
                        if (r.outcome != FileOutcome::Uncertain || r.path != f.path)
                            continue;
                        if (f.found == ChangeState::New && f.action == RecoveryAction::None)
                            r.reason += QStringLiteral("（检查后确认新标签已完整写入）");
                        else if (f.action == RecoveryAction::RolledBack ||
                                 f.found == ChangeState::Old)
                            r.reason += QStringLiteral("（已恢复为原来的内容）");
                        else
                            r.reason += QStringLiteral("（无法确定，下次启动时会再检查）");
                    }
                }
            }
        } catch (const StoreError&) {
        }
    }
    report.cancelled = result.cancelled;
    report.journalFailure = result.journalFailure;
    for (int i = 0; i < total; ++i) {
        const QString name =
            files.folders.isEmpty() ? files.names[i] : JoinPath(files.folders[i], files.names[i]);
        const FileResult& r = result.files[i];
        const FileEditPlan& note = notes[size_t(i)];
        bool handled = false;
        switch (r.outcome) {
            case FileOutcome::Written:
                ++report.written;
                handled = true;
                if (!r.warning.isEmpty())
                    report.warnings.append({name, r.warning});
                break;
            case FileOutcome::Unchanged:
                if (kinds[size_t(i)] == Kind::ReadOnly) {
                    ++report.readOnly;
                } else if (kinds[size_t(i)] == Kind::AlreadyAsAsked) {
                    ++report.written;
                    handled = true;
                } else if (kinds[size_t(i)] == Kind::LeftAlone) {
                    handled = true;
                }
                break;
            case FileOutcome::Refused:
            case FileOutcome::Failed:
                report.failures.append({name, r.reason});
                break;
            case FileOutcome::Uncertain:
                report.uncertain.append({name, r.reason});
                break;
            case FileOutcome::NotReached:
                ++report.notTouched;
                break;
        }
        if (handled) {
            if (note.withoutID3v1)
                report.withoutID3v1.append(name);
            if (!note.cutTitle.isEmpty())
                report.cutTitles.append({name, note.cutTitle});
            if (!note.unmatched.isEmpty())
                report.unmatched.append({name, note.unmatched});
        }
    }
    return report;
}

QString TitleFromFileName(const QString& name) {
    // A name that is not UTF-8 gives its code page 936 text, whose stand-ins
    // for undecodable bytes write back the name's own bytes.
    const QString text = DecodedFileName(name);
    return text.left(std::max<qsizetype>(0, text.size() - 4));
}
