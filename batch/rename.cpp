#include "batch/rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QHash>
#include <cerrno>
#include <cstdio>
#include <optional>

#include "batch/text.h"
#include "store/codec.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/fileio.h"
#include "store/journal.h"
#include "store/programfolder.h"

const QString kRenameConfirmText = QStringLiteral("您确认要修改这些文件的文件名吗？");
const QString kRenameConfirmCaption = QStringLiteral("确认");
const QString kRenameReportCaption = QStringLiteral("文件名转换完成");

QString RenamePatternCaption(int pattern) {
    static const QStringList captions = {
        QStringLiteral("不修改文件名"),
        QStringLiteral("艺术家－歌名.mp3"),
        QStringLiteral("艺术家－专辑－歌名.mp3"),
        QStringLiteral("专辑－歌名.mp3"),
        QStringLiteral("歌名.mp3"),
        QStringLiteral("曲目编号－歌名.mp3"),
        QStringLiteral("艺术家 \\ 歌名.mp3"),
        QStringLiteral("专辑 \\ 歌名.mp3"),
        QStringLiteral("专辑 \\ 曲目编号－歌名.mp3"),
        QStringLiteral("艺术家 \\ 专辑－歌名.mp3"),
    };
    return captions.value(pattern);
}

QString TrackText(quint8 track) {
    return QStringLiteral("%1").arg(track, 2, 10, QLatin1Char('0'));
}

QString ComposeNewName(int pattern, const ID3v1Tag& tag) {
    // The shape of each pattern's name: A artist, L album, T title, N track
    // text; any other character is written as it stands.
    static const char* const kShapes[] = {
        "", "A-T", "A-L-T", "L-T", "T", "N-T", "A\\T", "L\\T", "L\\N-T", "A\\L-T",
    };
    if (pattern < kFirstRenamePattern || pattern > kLastRenamePattern) {
        return {};
    }
    QString name;
    for (const char* c = kShapes[pattern]; *c != '\0'; ++c) {
        switch (*c) {
            case 'A':
                name += ShownText(tag.Artist);
                break;
            case 'L':
                name += ShownText(tag.Album);
                break;
            case 'T':
                name += ShownText(tag.SongTitle);
                break;
            case 'N':
                // an ID3v1.0 tag has no track: its byte belongs to the comment
                name += TrackText(IsID3v10Tag(tag) ? 0 : tag.Track);
                break;
            default:
                name += QLatin1Char(*c);
                break;
        }
    }
    return name + QStringLiteral(".mp3");
}

bool NamesPlaceBelowFolder(const QString& newName) {
    const QStringList parts = newName.split(QLatin1Char('\\'));
    for (const QString& part : parts) {
        if (part.isEmpty() || part == QLatin1String(".") || part == QLatin1String("..")) {
            return false;
        }
    }
    return true;
}

namespace {

QString Quoted(const QString& text) {
    return QStringLiteral("“") + text + QStringLiteral("”");
}

QString CodePoint(char16_t u) {
    return QStringLiteral("U+%1").arg(unsigned(u), 4, 16, QLatin1Char('0')).toUpper();
}

bool IsControl(char16_t u) {
    return u < 0x20 || (u >= 0x7F && u <= 0x9F);
}

void AddOnce(QStringList& list, const QString& item) {
    if (!list.contains(item))
        list.append(item);
}

}  // namespace

QStringList NewNameProblems(const QString& newName) {
    QStringList forbidden, rawBytes, controls, lone;
    const qsizetype size = newName.size();
    for (qsizetype i = 0; i < size; ++i) {
        const QChar c = newName.at(i);
        const char16_t u = c.unicode();
        if (c.isHighSurrogate() && i + 1 < size && newName.at(i + 1).isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            AddOnce(lone, CodePoint(u));
        } else if (u >= kRawByteBase && u <= kRawByteBase + 0xFF) {
            AddOnce(rawBytes, QStringLiteral("0x") + QString::number(u - kRawByteBase, 16)
                                                         .toUpper()
                                                         .rightJustified(2, QLatin1Char('0')));
        } else if (IsControl(u)) {
            AddOnce(controls, CodePoint(u));
        } else if (!IsValidFileName(QString(c))) {
            AddOnce(forbidden, Quoted(QString(c)));
        }
    }
    QStringList problems;
    if (!forbidden.isEmpty())
        problems << QStringLiteral("新文件名含有不允许的字符") + forbidden.join(QString());
    if (!rawBytes.isEmpty())
        problems << QStringLiteral("标签含有无法解码的字节 ") + rawBytes.join(QStringLiteral("、"));
    if (!controls.isEmpty())
        problems << QStringLiteral("新文件名含有控制字符 ") + controls.join(QStringLiteral("、"));
    if (!lone.isEmpty())
        problems << QStringLiteral("新文件名含有无效的字符 ") + lone.join(QStringLiteral("、"));
    if (!NamesPlaceBelowFolder(newName))
        problems << QStringLiteral("新文件名中的文件夹名为空或为“.”“..”");
    return problems;
}

QString OutsideLinkProblem(const QString& folder, const QString& newName) {
    const QStringList parts = newName.split(QLatin1Char('\\'));
    QString path = folder;
    for (qsizetype i = 0; i + 1 < parts.size(); ++i) {
        path = JoinPath(path, parts.at(i));
        if (!LinkLeavesFolder(path, folder).isEmpty()) {
            return QStringLiteral("文件夹") + Quoted(parts.mid(0, i + 1).join(QLatin1Char('\\'))) +
                   QStringLiteral("是指向所列文件夹之外的符号链接");
        }
    }
    return {};
}

QString RenameRowReason(const RenameRow& row) {
    if (!row.problem.isEmpty())
        return row.problem;
    QStringList reasons;
    if (!row.blockedBy.isEmpty())
        reasons << row.blockedBy;
    if (row.sameTargetAs > 0)
        reasons << QStringLiteral("与第 %1 行的新文件名相同").arg(row.sameTargetAs);
    return reasons.join(QStringLiteral("；"));
}

QString PreviewNewNameText(const RenameRow& row) {
    return row.problem.isEmpty() ? row.newName
                                 : QStringLiteral("（") + row.problem + QStringLiteral("）");
}

RenameRow PlanRenameRow(const QString& folder, const QString& name, int pattern) {
    RenameRow row;
    // A name listed from a sub-folder ("专辑/01.mp3") is renamed where it
    // lies: its own folder holds the new name and any sub-folder made for it.
    const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
    row.folder = slash < 0 ? folder : JoinPath(folder, name.left(slash));
    row.oldName = slash < 0 ? name : name.mid(slash + 1);
    const QString path = JoinPath(row.folder, row.oldName);
    // The preview may be built long after the main list was loaded: a file
    // that has gone or cannot be read is shown, blocked, with the reason in
    // place of a name, rather than stopping the whole preview. Only regular
    // files are opened: opening a FIFO for reading would wait for a writer.
    struct stat st;
    if (::stat(fileio::NativePath(path).constData(), &st) != 0) {
        row.problem =
            errno == ENOENT ? QStringLiteral("文件已不存在") : QStringLiteral("文件无法读取");
        return row;
    }
    if (!S_ISREG(st.st_mode)) {
        row.problem = QStringLiteral("不是普通文件");
        return row;
    }
    ID3v1Tag tag;
    bool readOnly = false;
    try {
        tag = ReadID3v1Tag(path);
        // What the process may write decides, as for the editors.
        readOnly = IsReadOnlyFile(path);
    } catch (const StoreError&) {
        row.problem = QStringLiteral("文件无法读取");
        return row;
    }
    row.newName = ComposeNewName(pattern, tag);
    QStringList reasons;
    if (readOnly)
        reasons << QStringLiteral("文件只读");
    if (!HasID3v1Tag(tag)) {
        // The name is built from the "N/A" shown for a missing tag; what is
        // wrong with it says nothing more.
        reasons << QStringLiteral("文件没有 ID3v1 标签");
    } else {
        const QStringList faults = NewNameProblems(row.newName);
        reasons << faults;
        if (faults.isEmpty()) {
            const QString link = OutsideLinkProblem(row.folder, row.newName);
            if (!link.isEmpty())
                reasons << link;
        }
    }
    row.blockedBy = reasons.join(QStringLiteral("；"));
    row.ready = reasons.isEmpty();
    return row;
}

namespace {

// What tells two targets apart as the file system does: the folder that
// would hold the file (its device and inode when it exists, so that two
// spellings of one folder agree) and the last name's bytes.
class TargetKeys {
  public:
    QByteArray of(const RenameRow& row) {
        QString relative = row.newName;
        relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
        const QString target = JoinPath(row.folder, relative);
        const QString folder = FolderOf(target);
        auto known = folders_.constFind(folder);
        if (known == folders_.cend()) {
            struct stat st;
            const QByteArray native = fileio::NativePath(folder);
            const QByteArray key = ::stat(native.constData(), &st) == 0
                                       ? QByteArray::number(quint64(st.st_dev)) + ':' +
                                             QByteArray::number(quint64(st.st_ino))
                                       : native;
            known = folders_.insert(folder, key);
        }
        return *known + '/' + fileio::NativePath(FileNameOf(target));
    }

  private:
    QHash<QString, QByteArray> folders_;
};

}  // namespace

void MarkSameTargets(std::vector<RenameRow>& rows) {
    TargetKeys keys;
    QHash<QByteArray, int> firstRow;
    for (size_t i = 0; i < rows.size(); ++i) {
        RenameRow& row = rows[i];
        row.sameTargetAs = 0;
        const bool readyAlone = row.problem.isEmpty() && row.blockedBy.isEmpty();
        if (readyAlone) {
            const QByteArray key = keys.of(row);
            const auto earlier = firstRow.constFind(key);
            if (earlier != firstRow.cend())
                row.sameTargetAs = *earlier;
            else
                firstRow.insert(key, int(i) + 1);
        }
        row.ready = readyAlone && row.sameTargetAs == 0;
    }
}

QString ListedName(const RenameRow& row, const QString& listed) {
    const QString prefix = listed.endsWith(QLatin1Char('/')) ? listed : listed + QLatin1Char('/');
    if (row.folder == listed || !row.folder.startsWith(prefix))
        return row.oldName;
    return row.folder.mid(prefix.size()) + QLatin1Char('/') + row.oldName;
}

std::vector<RenameRow> PlanRename(const TickedFiles& files, int pattern, const ProgressFn& progress,
                                  const std::function<bool()>& cancelled) {
    std::vector<RenameRow> rows;
    rows.reserve(size_t(files.names.size()));
    const int total = int(files.names.size());
    for (int i = 0; i < total; ++i) {
        if (cancelled && cancelled())
            break;
        rows.push_back(PlanRenameRow(files.folder, files.names.at(i), pattern));
        if (progress) {
            progress(i + 1, total);
        }
    }
    MarkSameTargets(rows);
    return rows;
}

namespace {

bool Exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

StoreOp OpRename() {
    return StoreOp::Rename;
}

QString Refusal(const QString& path, StoreOp op, int err) {
    return StoreError::fromErrno(path, op, err).message();
}

QString ClashReason(const RenameRow& row) {
    return QStringLiteral("已有同名的文件或文件夹") + Quoted(row.newName);
}

// What the run does with one row, decided just before it is journaled:
// the rename to make, or why the row is not renamed.
struct RowPlan {
    RenameOutcome outcome = RenameOutcome::Renamed;
    QString reason;
    RenameChange change;
};

RowPlan PlanRow(const RenameRow& row) {
    RowPlan plan;
    const auto stop = [&](RenameOutcome outcome, QString reason) {
        plan.outcome = outcome;
        plan.reason = std::move(reason);
        return plan;
    };
    if (!row.ready)
        return stop(RenameOutcome::Blocked, RenameRowReason(row));
    const QString oldPath = JoinPath(row.folder, row.oldName);
    QString relative = row.newName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString newPath = JoinPath(row.folder, relative);

    if (!NamesPlaceBelowFolder(row.newName))
        return stop(RenameOutcome::Refused, Refusal(newPath, OpRename(), EINVAL));
    // A file gone since the preview: say so before making a sub-folder for it.
    struct stat st;
    if (::lstat(fileio::NativePath(oldPath).constData(), &st) != 0)
        return stop(RenameOutcome::Refused, Refusal(oldPath, OpRename(), errno));
    // The disk may have changed since the preview looked.
    if (const QString link = OutsideLinkProblem(row.folder, row.newName); !link.isEmpty())
        return stop(RenameOutcome::Refused, link);
    // Whatever stands at the target when the rename is made is a clash
    // (the rename never replaces): a file, a folder, a hidden entry, or the
    // file itself when the name does not change. It is not judged here:
    // rows are planned ahead of the renames, and an earlier row may free
    // the name. Names compare as the file system compares them, so a
    // case-only change is a real rename on a case-sensitive file system.

    plan.change.from = oldPath;
    plan.change.to = newPath;
    plan.change.device = quint64(st.st_dev);
    plan.change.inode = quint64(st.st_ino);
    const qsizetype slash = row.newName.indexOf(QLatin1Char('\\'));
    if (slash >= 0) {
        // The first level of sub-folder is made when missing (and removed
        // again by an undo once it is empty). Hidden entries are not seen
        // by the list, so a hidden name is always tried; the rename decides.
        const QString subName = row.newName.left(slash);
        const QString subPath = JoinPath(row.folder, subName);
        if (subName.startsWith(QLatin1Char('.')) || !Exists(fileio::NativePath(subPath)))
            plan.change.createdFolder = subPath;
    }
    return plan;
}

}  // namespace

RenameReport RunRename(const std::vector<RenameRow>& rows, const BatchOptions& options) {
    const int total = int(rows.size());
    std::vector<RowPlan> plans(rows.size());
    const PlanFn planOne = [&](int i) {
        RowPlan& plan = plans[size_t(i)] = PlanRow(rows[size_t(i)]);
        PlannedItem item;
        item.path = JoinPath(rows[size_t(i)].folder, rows[size_t(i)].oldName);
        if (plan.outcome == RenameOutcome::Renamed)
            item.change = plan.change;
        else
            item.outcome = FileOutcome::Refused;
        item.reason = plan.reason;
        return item;
    };
    RunControl control;
    control.cancelled = options.cancelled;
    control.progress = options.progress;

    RunResult result;
    try {
        std::optional<Journal> own;
        Journal* journal = options.journal;
        if (!journal)
            journal = &own.emplace(JournalFolder());
        result = journal->run(BatchKind::Rename, QStringLiteral("修改 Mp3 文件名"), total, planOne,
                              control);
    } catch (const StoreError& error) {
        result = {};
        result.files.resize(total);
        result.journalFailure = error.message();
    }

    RenameReport report;
    report.cancelled = result.cancelled;
    report.journalFailure = result.journalFailure;
    report.rows.reserve(rows.size());
    for (int i = 0; i < total; ++i) {
        const FileResult& r = result.files[i];
        RenameRowResult row;
        switch (r.outcome) {
            case FileOutcome::Written:
                row.outcome = RenameOutcome::Renamed;
                break;
            case FileOutcome::NotReached:
                row.outcome = RenameOutcome::NotReached;
                row.reason = QStringLiteral("未作改动（修改已停止）");
                break;
            case FileOutcome::Refused:
            case FileOutcome::Failed:
            case FileOutcome::Uncertain:
            case FileOutcome::Unchanged: {
                const RowPlan& plan = plans[size_t(i)];
                if (plan.outcome != RenameOutcome::Renamed) {
                    row = {plan.outcome, plan.reason};
                } else if (Exists(fileio::NativePath(plan.change.to)) &&
                           Exists(fileio::NativePath(plan.change.from))) {
                    // Something appeared at the target after the plan looked.
                    row = {RenameOutcome::Clash, ClashReason(rows[size_t(i)])};
                } else {
                    row = {RenameOutcome::Refused, r.reason};
                }
                break;
            }
        }
        switch (row.outcome) {
            case RenameOutcome::Renamed:
                ++report.renamed;
                break;
            case RenameOutcome::Blocked:
                ++report.blocked;
                break;
            case RenameOutcome::Clash:
                ++report.clash;
                break;
            case RenameOutcome::Refused:
                ++report.refused;
                break;
            case RenameOutcome::NotReached:
                ++report.notReached;
                break;
        }
        report.rows.push_back(row);
    }
    return report;
}

QString RenameReportText(const RenameReport& report) {
    QString text = QString::number(report.renamed) +
                   QStringLiteral(" 个 Mp3 文件的文件名转换成功！") + kMessageBreak;
    if (report.blocked > 0) {
        text +=
            QString::number(report.blocked) +
            QStringLiteral(" 个 Mp3 文件的文件名因为文件只读、新文件名不符合规范等原因无法修改！") +
            kMessageBreak;
    }
    if (report.clash > 0) {
        text += QString::number(report.clash) +
                QStringLiteral(" 个 Mp3 文件的文件名因为新文件与已有文件重名，无法修改！") +
                kMessageBreak;
    }
    if (report.refused > 0) {
        text += QString::number(report.refused) +
                QStringLiteral(
                    " 个 Mp3 文件的文件名因为文件已不存在、被占用或无权访问等原因无法修改！") +
                kMessageBreak;
    }
    if (!report.journalFailure.isEmpty()) {
        text += QStringLiteral("无法写入操作记录：") + report.journalFailure + kMessageBreak;
    }
    if (report.notReached > 0) {
        text += QStringLiteral("修改已停止，其余 ") + QString::number(report.notReached) +
                QStringLiteral(" 个 Mp3 文件未作改动。") + kMessageBreak;
    }
    return text;
}

QString RenameDetailsText(const QStringList& names, const RenameReport& report) {
    QStringList lines;
    for (size_t i = 0; i < report.rows.size(); ++i) {
        const RenameRowResult& result = report.rows[i];
        if (result.outcome != RenameOutcome::Renamed)
            lines << DisplayFileName(names.value(qsizetype(i))) + QStringLiteral("：") +
                         result.reason;
    }
    return lines.join(QLatin1Char('\n'));
}
