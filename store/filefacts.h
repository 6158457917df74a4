#pragma once

#include <QString>

// What the list and the details dialog show about a file besides its tags.
// On Linux: ReadOnly = the owner write bit is clear; Hidden = the name starts
// with "."; Archive = the DOS archive bit where the file system keeps one
// (Samba's user.DOSATTRIB, ntfs-3g's system.ntfs_attrib_be), else false.
struct FileFacts {
    bool ReadOnly = false;
    qint64 Length = 0;
    bool Archive = false;
    bool Hidden = false;

    bool operator==(const FileFacts&) const = default;
};

// Throws StoreError when the file's status cannot be read.
FileFacts GetFileFacts(const QString& path);

// True when `mode` (st_mode) has the owner write bit clear: the read-only
// attribute the list and the details dialog show.
bool IsReadOnlyMode(unsigned mode);
// True when the file is read-only for this program's operations: its owner
// write bit is clear, or the system would not let this process open it for
// writing (another user's file, an immutable file, a read-only file system).
// What the editors and the renamer test to skip read-only files. Throws
// StoreError when the file's status cannot be read.
bool IsReadOnlyFile(const QString& path);

// Why a write to `path`, a file listed in `folder`, must not go through:
// `path` is a symbolic link whose target, every link followed, lies outside
// `folder` and its subfolders. Empty when it is no such link (a link that
// leads nowhere is left to fail when opened).
QString LinkLeavesFolder(const QString& path, const QString& folder);

// Both checks a batch makes of a listed file before it plans a change:
// `outside` as LinkLeavesFolder (when set, `readOnly` is not looked at)
// and `readOnly` as IsReadOnlyFile, from one status call for a name that is
// no link. Throws StoreError when the file's status cannot be read.
struct EditableCheck {
    QString outside;
    bool readOnly = false;
};
EditableCheck CheckEditable(const QString& path, const QString& folder);

// Decodes the archive bit from a DOS attribute extended attribute value.
bool ArchiveFromDosAttrib(const QByteArray& value);     // user.DOSATTRIB
bool ArchiveFromNtfsAttribBE(const QByteArray& value);  // system.ntfs_attrib_be

// False when `name` contains any of / : * ? " < > |. The backslash, length,
// control characters and the like are not judged.
bool IsValidFileName(const QString& name);

// The full path of a file in `folder`: folder, "/", name (the root folder
// already ends in "/").
QString JoinPath(const QString& folder, const QString& name);
// The last part of `path` (after its last "/"), and the folder before it:
// "/" for a file at the root, "." for a bare name. Names stay exact.
QString FileNameOf(const QString& path);
QString FolderOf(const QString& path);

// True when `path` is a folder (or a link to one).
bool IsFolder(const QString& path);
// The process's current folder as an exact path; empty when it cannot be
// told (removed meanwhile).
QString CurrentFolder();

// The text of an exact name or path for reading and for tag text: every part
// (between "/") whose bytes are not UTF-8 is decoded as code page 936 instead,
// the codec's stand-ins kept (so the text encodes back to the same bytes in a
// tag); other parts as they are.
QString DecodedFileName(const QString& nameOrPath);
// What the user sees of an exact name or path: DecodedFileName, with bytes
// that code page 936 cannot decode shown as U+FFFD, followed by
// kNotUtf8Mark when the name held such bytes. Only for showing: a path is
// never resolved from it.
QString DisplayFileName(const QString& nameOrPath);
inline const QString kNotUtf8Mark = QStringLiteral("（非 UTF-8 文件名）");
