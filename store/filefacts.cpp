#include "store/filefacts.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/xattr.h>
#include <unistd.h>

#include <QStringList>
#include <cerrno>
#include <climits>

#include "store/codec.h"
#include "store/fileio.h"

namespace {

constexpr quint32 kArchiveBit = 0x20;

quint32 LittleEndian32(const QByteArray& v, int at) {
    return quint32(uchar(v[at])) | quint32(uchar(v[at + 1])) << 8 |
           quint32(uchar(v[at + 2])) << 16 | quint32(uchar(v[at + 3])) << 24;
}

}  // namespace

bool IsReadOnlyMode(unsigned mode) {
    return (mode & S_IWUSR) == 0;
}

namespace {

// IsReadOnlyFile for the file `native` whose status is `st`.
bool ReadOnlyWith(const QString& path, const QByteArray& native, const struct stat& st) {
    if (IsReadOnlyMode(st.st_mode))
        return true;
    // The effective ids decide, as for open(); the mode bits alone do not
    // (root may write a file of mode 0444, and no one an immutable file).
    if (::faccessat(AT_FDCWD, native.constData(), W_OK, AT_EACCESS) == 0)
        return false;
    if (errno == EACCES || errno == EPERM || errno == EROFS || errno == ETXTBSY)
        return true;
    throw StoreError::fromErrno(path, fileio::OpRead(), errno);
}

}  // namespace

bool IsReadOnlyFile(const QString& path) {
    const QByteArray native = fileio::NativePath(path);
    struct stat st;
    if (::stat(native.constData(), &st) != 0)
        throw StoreError::fromErrno(path, fileio::OpRead(), errno);
    return ReadOnlyWith(path, native, st);
}

EditableCheck CheckEditable(const QString& path, const QString& folder) {
    const QByteArray native = fileio::NativePath(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0)
        throw StoreError::fromErrno(path, fileio::OpRead(), errno);
    EditableCheck check;
    if (S_ISLNK(st.st_mode)) {
        check.outside = LinkLeavesFolder(path, folder);
        if (check.outside.isEmpty())
            check.readOnly = IsReadOnlyFile(path);
        return check;
    }
    check.readOnly = ReadOnlyWith(path, native, st);
    return check;
}

QString LinkLeavesFolder(const QString& path, const QString& folder) {
    const QByteArray native = fileio::NativePath(path);
    struct stat st;
    if (::lstat(native.constData(), &st) != 0 || !S_ISLNK(st.st_mode))
        return {};
    char target[PATH_MAX];
    char home[PATH_MAX];
    if (!::realpath(native.constData(), target) ||
        !::realpath(fileio::NativePath(folder).constData(), home))
        return {};
    const QByteArray inside = QByteArray(home) == "/" ? QByteArray("/") : QByteArray(home) + '/';
    if (QByteArray(target).startsWith(inside))
        return {};
    return StoreReasonText(StoreProblem::LinkOutsideFolder, 0,
                           DisplayFileName(fileio::NameFromNative(target)));
}

bool ArchiveFromDosAttrib(const QByteArray& value) {
    // Older Samba stores the attributes as text ("0x20"), newer Samba as an
    // NDR blob: version (u16), level (u16), then the info record, whose
    // attribute word comes first in level 1 and second in the later levels.
    if (value.startsWith("0x")) {
        bool ok = false;
        const quint32 bits = QByteArray(value.constData()).mid(2).toUInt(&ok, 16);
        return ok && (bits & kArchiveBit);
    }
    if (value.size() < 8)
        return false;
    const int version = uchar(value[0]) | uchar(value[1]) << 8;
    const int at = version == 1 ? 4 : 8;
    if (value.size() < at + 4)
        return false;
    return LittleEndian32(value, at) & kArchiveBit;
}

bool ArchiveFromNtfsAttribBE(const QByteArray& value) {
    if (value.size() < 4)
        return false;
    return uchar(value[3]) & kArchiveBit;
}

namespace {

template <typename GetAttr>
bool ArchiveBit(GetAttr get) {
    char buffer[256];
    ssize_t n = get("user.DOSATTRIB", buffer, sizeof buffer);
    if (n > 0)
        return ArchiveFromDosAttrib(QByteArray(buffer, int(n)));
    n = get("system.ntfs_attrib_be", buffer, sizeof buffer);
    if (n > 0)
        return ArchiveFromNtfsAttribBE(QByteArray(buffer, int(n)));
    return false;
}

}  // namespace

FileFacts FactsFromStat(const QString& path, const struct stat& st, int fd) {
    FileFacts facts;
    facts.ReadOnly = IsReadOnlyMode(st.st_mode);
    facts.Length = st.st_size;
    facts.Hidden = FileNameOf(path).startsWith(QLatin1Char('.'));
    if (fd >= 0) {
        facts.Archive = ArchiveBit([fd](const char* name, char* buf, size_t size) {
            return ::fgetxattr(fd, name, buf, size);
        });
    } else {
        const QByteArray native = fileio::NativePath(path);
        facts.Archive = ArchiveBit([&native](const char* name, char* buf, size_t size) {
            return ::getxattr(native.constData(), name, buf, size);
        });
    }
    return facts;
}

FileFacts GetFileFacts(const QString& path) {
    struct stat st;
    if (::stat(fileio::NativePath(path).constData(), &st) != 0)
        throw StoreError::fromErrno(path, fileio::OpRead(), errno);
    return FactsFromStat(path, st, -1);
}

bool IsValidFileName(const QString& name) {
    for (const QChar c : QStringLiteral("/:*?\"<>|"))
        if (name.contains(c))
            return false;
    return true;
}

QString JoinPath(const QString& folder, const QString& name) {
    if (folder.endsWith(QLatin1Char('/')))
        return folder + name;
    return folder + QLatin1Char('/') + name;
}

QString FileNameOf(const QString& path) {
    return path.mid(path.lastIndexOf(QLatin1Char('/')) + 1);
}

QString FolderOf(const QString& path) {
    const qsizetype slash = path.lastIndexOf(QLatin1Char('/'));
    if (slash < 0)
        return QStringLiteral(".");
    return slash == 0 ? QStringLiteral("/") : path.left(slash);
}

bool IsFolder(const QString& path) {
    struct stat st;
    return ::stat(fileio::NativePath(path).constData(), &st) == 0 && S_ISDIR(st.st_mode);
}

QString CurrentFolder() {
    char buffer[PATH_MAX];
    if (!::getcwd(buffer, sizeof buffer))
        return {};
    return fileio::NameFromNative(buffer);
}

namespace {

// Each part of `path` that holds escaped bytes, decoded as code page 936;
// `shown` replaces the codec's stand-ins for undecodable bytes by U+FFFD.
QString DecodeParts(const QString& path, bool shown) {
    if (!fileio::HasEscapedBytes(path))
        return path;
    QStringList parts = path.split(QLatin1Char('/'));
    for (QString& part : parts) {
        if (!fileio::HasEscapedBytes(part))
            continue;
        part = DecodeCP936(fileio::NativePath(part));
        if (shown) {
            for (QChar& c : part)
                if (c.unicode() >= kRawByteBase && c.unicode() <= kRawByteBase + 0xFF)
                    c = QChar::ReplacementCharacter;
        }
    }
    return parts.join(QLatin1Char('/'));
}

}  // namespace

QString DecodedFileName(const QString& nameOrPath) {
    return DecodeParts(nameOrPath, false);
}

QString DisplayFileName(const QString& nameOrPath) {
    if (!fileio::HasEscapedBytes(nameOrPath))
        return nameOrPath;
    return DecodeParts(nameOrPath, true) + kNotUtf8Mark;
}
