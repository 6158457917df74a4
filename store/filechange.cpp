#include "store/filechange.h"

#include <algorithm>
#include <array>

FileIdentity IdentityOf(const struct stat& st) {
    return {quint64(st.st_dev), quint64(st.st_ino), qint64(st.st_size),
            qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
}

namespace {

const std::array<quint64, 256>& Crc64Table() {
    static const std::array<quint64, 256> table = [] {
        std::array<quint64, 256> t{};
        for (quint64 i = 0; i < 256; ++i) {
            quint64 c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? (c >> 1) ^ 0xC96C5795D7870F42ULL : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    return table;
}

// Calls f(start, end) for each piece of [at, at + length): cut at every
// multiple of kDigestBlock.
template <typename F>
void ForEachPiece(qint64 at, qint64 length, F f) {
    qint64 pos = at;
    const qint64 end = at + length;
    while (pos < end) {
        const qint64 next = std::min(end, (pos / kDigestBlock + 1) * kDigestBlock);
        f(pos, next);
        pos = next;
    }
}

qint64 Shift(const Splice& s) {
    return s.after.length - s.before.length;
}

}  // namespace

quint64 Crc64(QByteArrayView bytes) {
    const auto& table = Crc64Table();
    quint64 crc = ~0ULL;
    for (char c : bytes) crc = table[(crc ^ quint8(c)) & 0xFF] ^ (crc >> 8);
    return ~crc;
}

SpliceSide WholeSide(const QByteArray& bytes) {
    return {bytes.size(), bytes, {}};
}

SpliceSide DigestSide(const QByteArray& bytes, qint64 at) {
    SpliceSide side;
    side.length = bytes.size();
    if (side.length == 0)
        return side;
    ForEachPiece(at, side.length, [&](qint64 a, qint64 b) {
        side.digests.append(Crc64(QByteArrayView(bytes).sliced(a - at, b - a)));
    });
    return side;
}

bool SideMatches(const SpliceSide& side, qint64 at, QByteArrayView current) {
    if (current.size() != side.length)
        return false;
    if (side.whole())
        return current == QByteArrayView(side.bytes);
    qsizetype k = 0;
    bool ok = true;
    ForEachPiece(at, side.length, [&](qint64 a, qint64 b) {
        ok = ok && k < side.digests.size() &&
             Crc64(current.sliced(a - at, b - a)) == side.digests[k];
        ++k;
    });
    return ok && k == side.digests.size();
}

qint64 FileChange::sizeAfter() const {
    qint64 size = before.size;
    for (const Splice& s : splices) size += Shift(s);
    return size;
}

namespace {

// Counted, not walked: the length may come from a damaged journal.
qint64 PieceCount(qint64 at, qint64 length) {
    if (length <= 0)
        return 0;
    return (at + length - 1) / kDigestBlock - at / kDigestBlock + 1;
}

bool SideWellFormed(const SpliceSide& side, qint64 at) {
    if (side.length < 0)
        return false;
    if (side.whole())
        return side.digests.isEmpty();
    return side.bytes.isEmpty() && side.digests.size() == PieceCount(at, side.length);
}

}  // namespace

bool IsWellFormed(const FileChange& change) {
    if (change.method != WriteMethod::InPlace && change.method != WriteMethod::Beside)
        return false;
    // Far beyond any real file, and keeps the sums below from overflowing
    // on a damaged record.
    if (change.before.size < 0 || change.before.size > (qint64(1) << 60))
        return false;
    qint64 end = 0;
    qint64 shift = 0;
    for (qsizetype i = 0; i < change.splices.size(); ++i) {
        const Splice& s = change.splices[i];
        if (s.offset < end || s.before.length < 0 || s.before.length > change.before.size ||
            s.offset > change.before.size - s.before.length)
            return false;
        if (!SideWellFormed(s.before, s.offset) || !SideWellFormed(s.after, s.offset + shift))
            return false;
        end = s.offset + s.before.length;
        const bool last = i == change.splices.size() - 1;
        if (change.method == WriteMethod::InPlace && Shift(s) != 0 &&
            !(last && end == change.before.size))
            return false;
        shift += Shift(s);
    }
    return true;
}

QList<Splice> DiffSplices(qint64 offset, const QByteArray& oldBytes, const QByteArray& newBytes) {
    QList<Splice> out;
    if (oldBytes.size() != newBytes.size()) {
        out.append({offset, WholeSide(oldBytes), WholeSide(newBytes)});
        return out;
    }
    const qsizetype n = oldBytes.size();
    qsizetype i = 0;
    while (i < n) {
        if (oldBytes[i] == newBytes[i]) {
            ++i;
            continue;
        }
        const qsizetype start = i;
        qsizetype end = i + 1;  // one past the last differing byte of the run
        for (qsizetype j = end; j < n && j - end < kDigestBlock; ++j) {
            if (oldBytes[j] != newBytes[j])
                end = j + 1;
        }
        out.append({offset + start, WholeSide(oldBytes.mid(start, end - start)),
                    WholeSide(newBytes.mid(start, end - start))});
        i = end;
    }
    return out;
}

FileChange InverseChange(const FileChange& change) {
    FileChange inverse;
    inverse.path = change.path;
    inverse.method = change.method;
    qint64 shift = 0;
    for (const Splice& s : change.splices) {
        inverse.splices.append({s.offset + shift, s.after, s.before});
        shift += Shift(s);
    }
    return inverse;
}

FileChange WithSides(const FileChange& change, bool keepOldWhole, bool keepNewWhole) {
    FileChange out = change;
    qint64 shift = 0;
    for (Splice& s : out.splices) {
        if (!keepOldWhole && s.before.whole())
            s.before = DigestSide(s.before.bytes, s.offset);
        if (!keepNewWhole && s.after.whole())
            s.after = DigestSide(s.after.bytes, s.offset + shift);
        shift += Shift(s);
    }
    return out;
}

namespace {

// Every side of one kind (old or new) matches the file, at its place in the
// old or the new file.
bool AllSidesMatch(const FileChange& change, bool newSide, const RangeReader& read) {
    qint64 shift = 0;
    for (const Splice& s : change.splices) {
        const SpliceSide& side = newSide ? s.after : s.before;
        const qint64 at = newSide ? s.offset + shift : s.offset;
        if (side.length > 0 && !SideMatches(side, at, read(at, side.length)))
            return false;
        shift += Shift(s);
    }
    return true;
}

// Whether piece `k` of a side, `have` starting `rel` bytes into the side,
// holds the side's bytes.
bool PieceMatches(const SpliceSide& side, qint64 k, qint64 rel, QByteArrayView have) {
    if (side.whole())
        return rel + have.size() <= side.length &&
               have == QByteArrayView(side.bytes).sliced(rel, have.size());
    return k < side.digests.size() && Crc64(have) == side.digests[k];
}

ChangeState ClassifyInPlace(const FileChange& change, const FileIdentity& current,
                            const RangeReader& read) {
    const qint64 oldSize = change.before.size;
    const qint64 newSize = change.sizeAfter();
    if (current.size < std::min(oldSize, newSize) || current.size > std::max(oldSize, newSize))
        return ChangeState::Foreign;
    if (current.size == oldSize && AllSidesMatch(change, false, read))
        return ChangeState::Old;
    if (current.size == newSize && AllSidesMatch(change, true, read))
        return ChangeState::New;
    // Piece by piece over the old bytes: each must hold its old or its new
    // bytes. In place both sides start at the same offset, so their pieces
    // are cut at the same places; only the last splice may differ in
    // length, and then its new side ends inside or past the old one. Bytes
    // past the old end belong to a growth cut short, which a roll-back
    // drops: they prove nothing either way. A piece the file no longer
    // holds whole (a shrink) proves nothing either.
    for (const Splice& s : change.splices) {
        const qint64 newEnd = s.offset + s.after.length;
        const QByteArray bytes = read(s.offset, std::max(s.before.length, s.after.length));
        bool foreign = false;
        qint64 k = 0;
        ForEachPiece(s.offset, s.before.length, [&](qint64 a, qint64 b) {
            const qint64 rel = a - s.offset;
            const qint64 have = bytes.size() - rel;
            if (have >= b - a) {
                const bool isOld =
                    PieceMatches(s.before, k, rel, QByteArrayView(bytes).sliced(rel, b - a));
                const qint64 nb = std::min((a / kDigestBlock + 1) * kDigestBlock, newEnd);
                const bool isNew =
                    nb > a && have >= nb - a &&
                    PieceMatches(s.after, k, rel, QByteArrayView(bytes).sliced(rel, nb - a));
                foreign = foreign || (!isOld && !isNew);
            }
            ++k;
        });
        if (foreign)
            return ChangeState::Foreign;
    }
    return ChangeState::Mixed;
}

}  // namespace

ChangeState ClassifyFile(const FileChange& change, const FileIdentity& current,
                         const RangeReader& read) {
    if (change.method == WriteMethod::InPlace) {
        if (!current.sameFile(change.before))
            return ChangeState::Foreign;
        return ClassifyInPlace(change, current, read);
    }
    // A rewrite replaces the inode, and so does the rewrite that undoes
    // it, and freed inode numbers are soon given out again: only the
    // contents tell which bytes a rewritten file holds.
    if (current.size == change.sizeAfter() && AllSidesMatch(change, true, read))
        return ChangeState::New;
    if (current.size == change.before.size && AllSidesMatch(change, false, read))
        return ChangeState::Old;
    return ChangeState::Foreign;
}

ChangeState ClassifyRename(const RenameChange& change, const PathStatter& lstat) {
    struct stat st;
    const auto holds = [&](const QString& path) {
        return lstat(path, &st) && quint64(st.st_dev) == change.device &&
               quint64(st.st_ino) == change.inode;
    };
    const bool atFrom = holds(change.from);
    const bool atTo = holds(change.to);
    if (atFrom && atTo)
        return ChangeState::Mixed;
    if (atFrom)
        return ChangeState::Old;
    if (atTo)
        return ChangeState::New;
    return ChangeState::Foreign;
}
