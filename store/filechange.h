#pragma once

// A change to one file as the journal records it and the safe writers apply
// it: which file (path and identity), which byte ranges are replaced by
// which, and whether the file is written in place or rewritten beside
// itself. And the change of a name (RenameChange).
//
// Both sides of a splice are known in full to the writer that plans the
// change. The journal keeps one side whole and only a digest of the other
// (the old bytes whole, to roll back and to undo; a digest of the new bytes,
// to recognise them), so these types carry either form (SpliceSide).

#include <sys/stat.h>

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <functional>

// What identifies a file between its reading and its writing: the same
// device, inode, length and modification time mean nobody has written it
// meanwhile (as far as the file system tells).
struct FileIdentity {
    quint64 device = 0;
    quint64 inode = 0;
    qint64 size = 0;
    qint64 mtimeNs = 0;  // nanoseconds since 1970

    bool sameFile(const FileIdentity& other) const {
        return device == other.device && inode == other.inode;
    }
    bool operator==(const FileIdentity&) const = default;
};
FileIdentity IdentityOf(const struct stat& st);

// Digests cover the bytes of a side in pieces cut at every multiple of
// kDigestBlock of the file offset: the unit a crash or a power loss can
// tear a write into (a sector; page cache pages are whole multiples). So a
// region that holds old bytes in some pieces and new bytes in others is
// recognised as our own torn write, not somebody else's.
inline constexpr qint64 kDigestBlock = 512;

// CRC-64/XZ (ECMA-182 polynomial, reflected, all-ones start and end).
// Crc64("123456789") == 0x995DC9BBDF1939FA.
quint64 Crc64(QByteArrayView bytes);

// The bytes one side of a splice holds: `length` bytes, kept whole in
// `bytes`, or only as `digests`, one Crc64 per piece (see kDigestBlock) of
// the side placed at its file offset.
struct SpliceSide {
    qint64 length = 0;
    QByteArray bytes;
    QList<quint64> digests;

    bool whole() const { return bytes.size() == length; }
    bool operator==(const SpliceSide&) const = default;
};
SpliceSide WholeSide(const QByteArray& bytes);
// The digest form of `bytes` placed at file offset `at`.
SpliceSide DigestSide(const QByteArray& bytes, qint64 at);
// Whether `current`, the file's bytes at `at` (fewer than side.length when
// the file ends early), equals the side: the whole bytes, or every digest.
bool SideMatches(const SpliceSide& side, qint64 at, QByteArrayView current);

// Bytes [offset, offset + before.length) of the old file become `after`.
struct Splice {
    qint64 offset = 0;
    SpliceSide before;
    SpliceSide after;

    bool operator==(const Splice&) const = default;
};

enum class WriteMethod : quint8 {
    // The file's own bytes are overwritten: every splice keeps its length,
    // except that the last may end at the end of the file and change it
    // (an ID3v1 tag appended or removed). Inode, links, owner, mode,
    // attributes stay.
    InPlace = 1,
    // A new file is built beside the old one (same folder, a temporary
    // name saying whose copy it is), given the old one's mode, owner and
    // extended attributes, flushed and renamed over it: a new inode.
    Beside = 2,
};

struct FileChange {
    QString path;
    WriteMethod method = WriteMethod::InPlace;
    FileIdentity before;    // of the file the change was planned on
    QList<Splice> splices;  // by offset, not overlapping, inside the old file

    // The file's length after the change.
    qint64 sizeAfter() const;
    bool operator==(const FileChange&) const = default;
};

// Whether the splices fit the rules above: ordered, inside the old file, for
// InPlace length-keeping but for one at the end. Changes read back from a
// journal are checked with it before anything is done with them.
bool IsWellFormed(const FileChange& change);

// The splices that turn `oldBytes` into `newBytes`, both starting at file
// offset `offset`, with both sides whole. Equal lengths give one splice per
// changed run (runs closer than kDigestBlock merged), so a journal keeps the
// bytes that change rather than the whole region; the cover picture of an
// ID3v2 tag whose text frames changed is not copied when it did not move.
// Different lengths give one splice of everything.
QList<Splice> DiffSplices(qint64 offset, const QByteArray& oldBytes, const QByteArray& newBytes);

// The change that takes the file back: sides swapped, offsets in the new
// file's coordinates. `before` is left empty for the caller to fill with
// the identity of the file as it stands.
FileChange InverseChange(const FileChange& change);

// The change with each side kept whole or reduced to digests.
FileChange WithSides(const FileChange& change, bool keepOldWhole, bool keepNewWhole);

// What a file holds compared with a change.
enum class ChangeState {
    Old,      // every region holds its old bytes, the length is the old one
    New,      // every region holds its new bytes, the length is the new one
    Mixed,    // each piece holds old or new bytes: a write of ours, torn
    Foreign,  // something else: another program changed the file
};

// Reads up to `length` bytes at `offset` of the file being judged (fewer at
// its end); throws StoreError when the file cannot be read.
using RangeReader = std::function<QByteArray(qint64 offset, qint64 length)>;

// The state of the file `current` (its identity now) against `change`.
// InPlace: the same inode is required; pieces are judged one by one.
// Beside: judged by contents only, whatever the inode (an undo rewrites
// beside too, and inode numbers are reused); a rename is atomic, so Mixed
// does not occur.
ChangeState ClassifyFile(const FileChange& change, const FileIdentity& current,
                         const RangeReader& read);

// The change of a name: `from` becomes `to` (both full paths). When
// `createdFolder` is not empty, it is the sub-folder the rename makes for
// its target (it did not exist when the change was planned); undoing the
// rename removes it again when it is empty, which is what `removedFolder`
// asks: after the rename, that folder goes when nothing is left in it.
struct RenameChange {
    QString from;
    QString to;
    QString createdFolder;
    QString removedFolder;
    quint64 device = 0;
    quint64 inode = 0;

    bool operator==(const RenameChange&) const = default;
};

// Where the renamed file is now, judged by name and inode: Old at `from`,
// New at `to`, Mixed under both names (a link made, the old name not yet
// removed), Foreign when neither name holds it.
using PathStatter = std::function<bool(const QString& path, struct stat* st)>;
ChangeState ClassifyRename(const RenameChange& change, const PathStatter& lstat);
