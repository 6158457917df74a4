#include "store/filefacts.h"

#include <sys/stat.h>
#include <sys/xattr.h>

#include <QFileInfo>
#include <cerrno>

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

bool IsReadOnlyFile(const QString& path) {
    struct stat st;
    if (::stat(fileio::NativePath(path).constData(), &st) != 0)
        throw StoreError::fromErrno(path, fileio::OpRead(), errno);
    return IsReadOnlyMode(st.st_mode);
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
    facts.Hidden = QFileInfo(path).fileName().startsWith(QLatin1Char('.'));
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
