#include "batch/rename.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "batch/text.h"
#include "store/error.h"
#include "store/filefacts.h"
#include "store/fileio.h"

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
                name += TrackText(tag.Track);
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

int LinkThenUnlink(const QByteArray& from, const QByteArray& to) {
    if (::link(from.constData(), to.constData()) != 0) {
        return errno;
    }
    if (::unlink(from.constData()) != 0) {
        const int err = errno;
        ::unlink(to.constData());  // back to one name, the old one
        return err;
    }
    return 0;
}

int MoveNoReplace(const QByteArray& from, const QByteArray& to) {
    if (::renameat2(AT_FDCWD, from.constData(), AT_FDCWD, to.constData(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    const int err = errno;
    // EINVAL/ENOSYS: this file system (or kernel) does not offer the
    // no-replace flag. A plain rename() is no way out: it silently replaces
    // the target.
    if (err != EINVAL && err != ENOSYS) {
        return err;
    }
    return LinkThenUnlink(from, to);
}

QString PreviewNewNameText(const RenameRow& row) {
    return row.problem.isEmpty() ? row.newName : row.problem;
}

RenameRow PlanRenameRow(const QString& folder, const QString& name, int pattern) {
    RenameRow row;
    row.folder = folder;
    row.oldName = name;
    const QString path = JoinPath(folder, name);
    // The preview may be built long after the main list was loaded: a file
    // that has gone or cannot be read is shown, blocked, with the reason in
    // place of a name, rather than stopping the whole preview. Only regular
    // files are opened: opening a FIFO for reading would wait for a writer.
    struct stat st;
    if (::stat(fileio::NativePath(path).constData(), &st) != 0) {
        row.problem = errno == ENOENT ? QStringLiteral("（文件已不存在）")
                                      : QStringLiteral("（文件无法读取）");
        return row;
    }
    if (!S_ISREG(st.st_mode)) {
        row.problem = QStringLiteral("（不是普通文件）");
        return row;
    }
    try {
        const ID3v1Tag tag = ReadID3v1Tag(path);
        row.newName = ComposeNewName(pattern, tag);
        row.ready = !IsReadOnlyFile(path) && IsValidFileName(row.newName) &&
                    NamesPlaceBelowFolder(row.newName);
    } catch (const StoreError&) {
        row.problem = QStringLiteral("（文件无法读取）");
    }
    return row;
}

std::vector<RenameRow> PlanRename(const TickedFiles& files, int pattern,
                                  const ProgressFn& progress) {
    std::vector<RenameRow> rows;
    rows.reserve(size_t(files.names.size()));
    const int total = int(files.names.size());
    for (int i = 0; i < total; ++i) {
        rows.push_back(PlanRenameRow(files.folder, files.names.at(i), pattern));
        if (progress) {
            progress(i + 1, total);
        }
    }
    return rows;
}

namespace {

bool Exists(const QByteArray& path) {
    struct stat st;
    return ::lstat(path.constData(), &st) == 0;
}

QString OpRename() {
    return QStringLiteral("重命名");
}

QString Refusal(const QString& path, const QString& operation, int err) {
    return StoreError::fromErrno(path, operation, err).message();
}

RenameRowResult RenameOne(const RenameRow& row) {
    if (!row.ready) {
        return {RenameOutcome::Blocked, {}};
    }
    const QString oldPath = JoinPath(row.folder, row.oldName);
    QString relative = row.newName;
    relative.replace(QLatin1Char('\\'), QLatin1Char('/'));
    const QString newPath = JoinPath(row.folder, relative);
    const QByteArray oldBytes = fileio::NativePath(oldPath);
    const QByteArray newBytes = fileio::NativePath(newPath);

    if (!NamesPlaceBelowFolder(row.newName)) {
        return {RenameOutcome::Refused, Refusal(newPath, OpRename(), EINVAL)};
    }
    // A file gone since the preview: say so before leaving a new, empty
    // sub-folder behind for it.
    if (!Exists(oldBytes)) {
        return {RenameOutcome::Refused, Refusal(oldPath, OpRename(), ENOENT)};
    }

    const qsizetype slash = row.newName.indexOf(QLatin1Char('\\'));
    if (slash >= 0) {
        const QString subName = row.newName.left(slash);
        const QString subPath = JoinPath(row.folder, subName);
        const QByteArray subBytes = fileio::NativePath(subPath);
        // Hidden entries are not seen by this test, so a hidden name is
        // always tried; mkdir then finds it (EEXIST) and the rename decides.
        const bool seen = !subName.startsWith(QLatin1Char('.')) && Exists(subBytes);
        if (!seen && ::mkdir(subBytes.constData(), 0777) != 0 && errno != EEXIST) {
            return {RenameOutcome::Refused, Refusal(subPath, QStringLiteral("创建文件夹"), errno)};
        }
    }

    // Anything at the target is a clash: a file, a folder, a hidden entry,
    // or the file itself when the name does not change. Names compare as the
    // file system compares them, so a case-only change is a real rename on
    // a case-sensitive file system.
    if (Exists(newBytes)) {
        return {RenameOutcome::Clash, {}};
    }

    const int err = MoveNoReplace(oldBytes, newBytes);
    if (err == 0) {
        return {RenameOutcome::Renamed, {}};
    }
    if (err == EEXIST) {
        return {RenameOutcome::Clash, {}};  // appeared since the test
    }
    return {RenameOutcome::Refused, Refusal(newPath, OpRename(), err)};
}

}  // namespace

RenameReport RunRename(const std::vector<RenameRow>& rows, const ProgressFn& progress) {
    RenameReport report;
    report.rows.reserve(rows.size());
    const int total = int(rows.size());
    for (int i = 0; i < total; ++i) {
        const RenameRowResult result = RenameOne(rows[size_t(i)]);
        switch (result.outcome) {
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
        }
        report.rows.push_back(result);
        if (progress) {
            progress(i + 1, total);
        }
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
    return text;
}
