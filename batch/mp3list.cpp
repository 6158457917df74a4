#include "batch/mp3list.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <QFile>
#include <QHash>
#include <QRegularExpression>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <functional>
#include <set>
#include <utility>

#include "batch/audiotext.h"
#include "batch/columns.h"
#include "batch/text.h"
#include "batch/textencoding.h"
#include "store/error.h"
#include "store/fileio.h"
#include "store/framecatalogue.h"

namespace {

bool EndsWithMp3(const char* name, size_t length) {
    return length >= 4 && strncasecmp(name + length - 4, ".mp3", 4) == 0;
}

// Closes the directory stream on every way out, errors included.
struct DirCloser {
    DIR* dir;
    ~DirCloser() { closedir(dir); }
};

// Calls `each` with every entry of `folder` ("." and ".." included).
// Throws StoreError when the folder cannot be opened or read.
void ForEachEntry(const QString& folder, const std::function<void(DIR*, const dirent*)>& each) {
    const QByteArray path = fileio::NativePath(folder);
    DIR* dir = opendir(path.constData());
    if (!dir)
        throw StoreError::fromErrno(folder, StoreOp::List, errno);
    DirCloser closer{dir};
    for (;;) {
        errno = 0;
        const dirent* entry = readdir(dir);
        if (!entry) {
            if (errno != 0)
                throw StoreError::fromErrno(folder, StoreOp::List, errno);
            return;
        }
        each(dir, entry);
    }
}

void SortByName(QStringList& names) {
    std::sort(names.begin(), names.end(), [](const QString& a, const QString& b) {
        const int c = QString::compare(a, b, Qt::CaseInsensitive);
        return c != 0 ? c < 0 : a < b;
    });
}

// The visible MP3 files of one folder and, when `folders` is given, its
// visible sub-folders that are real folders (links to folders are not),
// each with the device and inode that tell whether it was entered before.
struct SubFolder {
    QString name;
    dev_t device;
    ino_t inode;
};

void ListFolder(const QString& folder, QStringList& files, std::vector<SubFolder>* folders) {
    ForEachEntry(folder, [&](DIR* dir, const dirent* entry) {
        const char* name = entry->d_name;
        if (name[0] == '.')
            return;
        const size_t length = std::strlen(name);
        const bool mp3 = EndsWithMp3(name, length);
        if (!mp3 && !folders)
            return;
        // d_type saves a stat per entry where the file system fills it in; a
        // link is listed when it leads to a regular file, never entered when
        // it leads to a folder.
        unsigned char type = entry->d_type;
        struct stat st;
        if (type == DT_UNKNOWN || (type == DT_DIR && folders)) {
            if (fstatat(dirfd(dir), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
                return;
            type = S_ISREG(st.st_mode)   ? DT_REG
                   : S_ISDIR(st.st_mode) ? DT_DIR
                   : S_ISLNK(st.st_mode) ? DT_LNK
                                         : DT_UNKNOWN;
        }
        if (type == DT_LNK && mp3)
            type =
                fstatat(dirfd(dir), name, &st, 0) == 0 && S_ISREG(st.st_mode) ? DT_REG : DT_UNKNOWN;
        const QString exact = fileio::NameFromNative(QByteArrayView(name, qsizetype(length)));
        if (type == DT_REG && mp3)
            files.append(exact);
        else if (type == DT_DIR && folders)
            folders->push_back(SubFolder{exact, st.st_dev, st.st_ino});
    });
}

}  // namespace

QStringList ListMp3Files(const QString& folder) {
    QStringList names;
    ListFolder(folder, names, nullptr);
    SortByName(names);
    return names;
}

Mp3Listing ListMp3Files(const QString& folder, const ListOptions& options) {
    Mp3Listing listing;
    if (!options.recursive) {
        listing.names = ListMp3Files(folder);
        return listing;
    }
    struct stat top;
    if (::stat(fileio::NativePath(folder).constData(), &top) != 0)
        throw StoreError::fromErrno(folder, StoreOp::List, errno);
    std::set<std::pair<dev_t, ino_t>> entered{{top.st_dev, top.st_ino}};

    // Depth first with an explicit stack: a deep tree cannot exhaust the
    // thread's stack. `relative` is empty for the folder itself.
    std::vector<QString> pending{QString()};
    while (!pending.empty()) {
        const QString relative = std::move(pending.back());
        pending.pop_back();
        const QString path = relative.isEmpty() ? folder : JoinPath(folder, relative);
        const QString prefix = relative.isEmpty() ? QString() : relative + QLatin1Char('/');
        QStringList files;
        std::vector<SubFolder> folders;
        try {
            ListFolder(path, files, &folders);
        } catch (const StoreError&) {
            if (relative.isEmpty())
                throw;
            listing.unreadable.append(relative);
            continue;
        }
        if (!relative.isEmpty())
            listing.folders.append(relative);
        SortByName(files);
        for (const QString& file : files) listing.names.append(prefix + file);
        QStringList names;
        for (const SubFolder& sub : folders)
            if (entered.insert({sub.device, sub.inode}).second)
                names.append(sub.name);
        SortByName(names);
        // Pushed last to first, so the first sub-folder is walked first.
        for (qsizetype i = names.size() - 1; i >= 0; --i) pending.push_back(prefix + names.at(i));
    }
    return listing;
}

std::optional<QString> FolderFromShownPath(const QString& shown) {
    if (!shown.contains(QChar::ReplacementCharacter))
        return shown;
    const QStringList parts = shown.split(QLatin1Char('/'));
    QString exact = parts.first();
    for (qsizetype i = 1; i < parts.size(); ++i) {
        const QString& part = parts.at(i);
        QString chosen = part;
        if (part.contains(QChar::ReplacementCharacter)) {
            // The names Qt shows as this part: Qt's own decoding of each entry.
            QStringList matches;
            try {
                ForEachEntry(exact.isEmpty() ? QStringLiteral("/") : exact,
                             [&](DIR*, const dirent* entry) {
                                 const QByteArray bytes(entry->d_name);
                                 if (QFile::decodeName(bytes) == part)
                                     matches.append(fileio::NameFromNative(bytes));
                             });
            } catch (const StoreError&) {
                // An unreadable parent: the part stays as shown, and loading
                // the folder reports the failure.
            }
            if (matches.size() > 1)
                return std::nullopt;
            if (matches.size() == 1)
                chosen = matches.first();
        }
        exact += QLatin1Char('/') + chosen;
    }
    return exact;
}

QString SizeText(qint64 length) {
    // length / 1024 in hundredths is length * 100 / 1024 = length * 25 / 256;
    // whole numbers keep large files exact where a double would not.
    const quint64 magnitude = quint64(qMax<qint64>(length, 0));
    const quint64 hundredths = (magnitude / 256) * 25 + ((magnitude % 256) * 25 + 128) / 256;

    QString whole = QString::number(hundredths / 100);
    for (qsizetype at = whole.size() - 3; at > 0; at -= 3) whole.insert(at, QLatin1Char(','));
    const quint64 cents = hundredths % 100;
    return whole + QLatin1Char('.') + QLatin1Char(char('0' + cents / 10)) +
           QLatin1Char(char('0' + cents % 10));
}

namespace {

QString ContentCellText(ContentKind kind) {
    if (kind == ContentKind::Unknown || kind == ContentKind::Mp3)
        return {};
    const QString what = kind == ContentKind::NoAudioFrame ? QStringLiteral("找不到音频帧")
                                                           : ContentFormatName(kind);
    return QStringLiteral("不是 MP3（") + what + QStringLiteral("）");
}

// Lines of lyrics as one line of a list cell: " / " between them, empty
// lines left out.
QString OneLine(const QString& text) {
    static const QRegularExpression breaks(QStringLiteral("[\r\n\u2028\u2029]+"));
    QStringList lines = text.split(breaks, Qt::SkipEmptyParts);
    for (QString& line : lines) line = line.trimmed();
    lines.removeAll(QString());
    return lines.join(QStringLiteral(" / "));
}

}  // namespace

QString CoverCellText(const CoverPicture& cover) {
    if (!cover.present)
        return QStringLiteral("无");
    if (cover.facts.format == ImageFormat::None)
        return QStringLiteral("有");
    return QStringLiteral("有 (%1×%2)").arg(cover.facts.width).arg(cover.facts.height);
}

QString CellText(int code, const FileRecords& records, const QString& name) {
    const ID3v1Tag& v1 = records.v1;
    const ID3v2Tag& v2 = records.v2;
    if (const FrameDescriptor* frame = FrameOfColumn(code)) {
        if (frame->kind == FrameKind::Lyrics)
            return OneLine(ShownText(v2.*frame->field));
        return ShownText(v2.*frame->field);
    }
    const QString yes = QStringLiteral("是");
    const QString no = QStringLiteral("否");
    switch (code) {
        case 101:
            return ShownText(v1.SongTitle);
        case 102:
            return ShownText(v1.Artist);
        case 103:
            return ShownText(v1.Album);
        case 104:
            return ShownText(v1.Year);
        case 105:
            return HasID3v1Tag(v1) ? GenreDisplayName(GenreNumber(v1)) : QStringLiteral("N/A");
        // An ID3v1.0 tag has no track; its comment runs on over bytes 125-126.
        case 106:
            return IsID3v10Tag(v1) ? QString() : QString::number(v1.Track);
        case 107:
            return ShownText(ID3v1Comment(v1));
        // The first lyrics column repeats the comment.
        case kLyricsColumn:
            return ShownText(v2.COMM);
        case kCoverColumn:
            return CoverCellText(records.cover);
        case 301:
            return HasID3v1Tag(v1) ? QStringLiteral("有") : QStringLiteral("无");
        case 302:
            return v2.Present ? QStringLiteral("有") : QStringLiteral("无");
        case 303:
            return records.facts.ReadOnly ? yes : no;
        case 304:
            return records.facts.Archive ? yes : no;
        case 305:
            return SizeText(records.facts.Length);
        case 306:
            return DisplayFileName(name);
        case kContentColumn:
            return ContentCellText(records.content);
        case kTextEncodingColumn:
            return TextEncodingCellText(records);
        default:
            if (IsAudioColumn(code))
                return AudioFieldText(AudioField(code - kFirstAudioColumn), records.audio);
            return {};
    }
}

bool SortsByValue(int code) {
    return code == 104 || code == 106 || code == 305 || IsAudioColumn(code);
}

qint64 CellSortValue(int code, const FileRecords& records) {
    const ID3v1Tag& v1 = records.v1;
    switch (code) {
        case 104: {
            if (!HasID3v1Tag(v1))
                return -1;
            const QString year = ShownText(v1.Year);
            qint64 value = 0;
            qsizetype digits = 0;
            while (digits < year.size() && year.at(digits).isDigit() && digits < 9)
                value = value * 10 + year.at(digits++).digitValue();
            return digits > 0 ? value : -1;
        }
        case 106:
            return HasID3v1Tag(v1) && !IsID3v10Tag(v1) ? qint64(v1.Track) : -1;
        case 305:
            return records.facts.Length;
        default:
            if (IsAudioColumn(code))
                return AudioFieldSortKey(AudioField(code - kFirstAudioColumn), records.audio);
            return 0;
    }
}

bool NeedsAudio(const QList<int>& codes) {
    return std::any_of(codes.begin(), codes.end(), IsAudioColumn);
}

namespace {

// A file whose legacy texts were a close call follows the code page most
// of its folder's files were read in: such files are read again with it
// (only those). In a recursive listing each sub-folder votes on its own:
// one folder usually holds one album, tagged by one program.
void SettleByFolderVote(const QString& folder, std::vector<Mp3Row>& rows, const QList<int>& codes) {
    const auto folderOf = [](const QString& name) {
        const qsizetype slash = name.lastIndexOf(QLatin1Char('/'));
        return slash < 0 ? QString() : name.left(slash);
    };
    QHash<QString, legacytext::FolderVote> votes;
    for (const Mp3Row& row : rows)
        if (row.error.isEmpty())
            votes[folderOf(row.name)].Add(row.legacy);
    for (Mp3Row& row : rows) {
        if (!row.error.isEmpty() || row.legacy.certainty != legacytext::Certainty::Guess)
            continue;
        const auto majority = votes.value(folderOf(row.name)).Majority();
        if (majority && row.legacy.codePage != *majority)
            row = LoadMp3Row(folder, row.name, codes, majority);
    }
}

}  // namespace

Mp3Row LoadMp3Row(const QString& folder, const QString& name, const QList<int>& codes,
                  std::optional<legacytext::CodePage> folderCodePage) {
    Mp3Row row;
    row.name = name;
    row.cells.reserve(codes.size());
    try {
        const FileRecords records = ReadFileRecords(
            JoinPath(folder, name), codes.contains(kContentColumn), NeedsAudio(codes),
            folderCodePage,
            codes.contains(kCoverColumn) ? CoverReading::Facts : CoverReading::None);
        row.legacy = LegacyReadingOf(records);
        row.values.reserve(codes.size());
        for (const int code : codes) {
            row.cells.append(CellText(code, records, name));
            row.values.append(CellSortValue(code, records));
        }
    } catch (const StoreError& error) {
        // The row stays so that the list still shows every file of the folder;
        // tag cells stay empty rather than pretending the file has no tags.
        row.cells.clear();
        row.values.clear();
        for (const int code : codes)
            row.cells.append(code == 306 ? DisplayFileName(name) : QString());
        row.error = error.reason().isEmpty() ? error.message() : error.reason();
    }
    return row;
}

std::vector<Mp3Row> LoadMp3Rows(const QString& folder, const QStringList& names,
                                const QList<int>& codes, const ProgressFn& progress) {
    std::vector<Mp3Row> rows;
    rows.reserve(size_t(names.size()));
    const int total = int(names.size());
    for (int i = 0; i < total; ++i) {
        rows.push_back(LoadMp3Row(folder, names.at(i), codes));
        if (progress)
            progress(i + 1, total);
    }
    SettleByFolderVote(folder, rows, codes);
    return rows;
}

FolderRows LoadFolderRows(const QString& folder, const ListOptions& options,
                          const QList<int>& codes, const ProgressFn& progress,
                          const std::function<bool()>& cancelled) {
    Mp3Listing listing = ListMp3Files(folder, options);
    FolderRows result;
    const int total = int(listing.names.size());
    result.rows.reserve(size_t(total));
    for (int i = 0; i < total && !(cancelled && cancelled()); ++i) {
        result.rows.push_back(LoadMp3Row(folder, listing.names.at(i), codes));
        if (progress)
            progress(i + 1, total);
    }
    SettleByFolderVote(folder, result.rows, codes);
    result.folders = std::move(listing.folders);
    result.unreadable = std::move(listing.unreadable);
    return result;
}
