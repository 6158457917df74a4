#include "store/journalformat.h"

#include <QtEndian>

#include "store/fileio.h"

namespace {

constexpr char kMagic[4] = {'T', 'J', 'R', '1'};

class Writer {
  public:
    void u8(quint8 v) { out_.append(char(v)); }
    void u32(quint32 v) {
        const quint32 le = qToLittleEndian(v);
        out_.append(reinterpret_cast<const char*>(&le), 4);
    }
    void u64(quint64 v) {
        const quint64 le = qToLittleEndian(v);
        out_.append(reinterpret_cast<const char*>(&le), 8);
    }
    void bytes(QByteArrayView b) {
        u32(quint32(b.size()));
        out_.append(b);
    }
    QByteArray take() { return std::move(out_); }

  private:
    QByteArray out_;
};

// Reads from a payload; once a read runs past the end every later read
// gives zeros and ok() is false, so decoders check once at the end (and
// before any allocation sized by the input).
class Reader {
  public:
    explicit Reader(QByteArrayView in) : in_(in) {}
    bool ok() const { return ok_; }
    qint64 left() const { return ok_ ? in_.size() - pos_ : 0; }
    quint8 u8() { return need(1) ? quint8(in_[pos_++]) : 0; }
    quint32 u32() {
        if (!need(4))
            return 0;
        const quint32 v = qFromLittleEndian<quint32>(in_.data() + pos_);
        pos_ += 4;
        return v;
    }
    quint64 u64() {
        if (!need(8))
            return 0;
        const quint64 v = qFromLittleEndian<quint64>(in_.data() + pos_);
        pos_ += 8;
        return v;
    }
    QByteArray bytes() {
        const quint32 n = u32();
        if (!need(n))
            return {};
        QByteArray b = in_.sliced(pos_, n).toByteArray();
        pos_ += n;
        return b;
    }
    void fail() { ok_ = false; }

  private:
    bool need(qint64 n) {
        if (!ok_ || n > in_.size() - pos_) {
            ok_ = false;
            return false;
        }
        return true;
    }
    QByteArrayView in_;
    qint64 pos_ = 0;
    bool ok_ = true;
};

quint64 FrameCrc(QByteArrayView header8, QByteArrayView payload) {
    // The CRC covers the type, the reserved bytes and the length (bytes 4..11
    // of the header) and then the payload, as one run.
    QByteArray run;
    run.reserve(8 + payload.size());
    run.append(header8);
    run.append(payload);
    return Crc64(run);
}

void PutSide(Writer& w, const SpliceSide& side) {
    w.u64(quint64(side.length));
    w.u8(side.whole() ? 0 : 1);
    if (side.whole()) {
        w.bytes(side.bytes);
        return;
    }
    w.u32(quint32(side.digests.size()));
    for (quint64 d : side.digests) w.u64(d);
}

SpliceSide GetSide(Reader& r) {
    SpliceSide side;
    side.length = qint64(r.u64());
    const quint8 form = r.u8();
    if (side.length < 0 || side.length > kMaxRecordPayload)
        r.fail();
    if (form == 0) {
        side.bytes = r.bytes();
        if (side.bytes.size() != side.length)
            r.fail();
    } else if (form == 1) {
        const quint32 n = r.u32();
        if (qint64(n) * 8 > r.left()) {
            r.fail();
            return side;
        }
        side.digests.reserve(n);
        for (quint32 i = 0; i < n; ++i) side.digests.append(r.u64());
        // A digest side of length 0 would read as whole; it never is written.
        if (side.length == 0)
            r.fail();
    } else {
        r.fail();
    }
    return side;
}

void PutIdentity(Writer& w, const FileIdentity& id) {
    w.u64(id.device);
    w.u64(id.inode);
    w.u64(quint64(id.size));
    w.u64(quint64(id.mtimeNs));
}

FileIdentity GetIdentity(Reader& r) {
    FileIdentity id;
    id.device = r.u64();
    id.inode = r.u64();
    id.size = qint64(r.u64());
    id.mtimeNs = qint64(r.u64());
    return id;
}

}  // namespace

QByteArray PathBytes(const QString& path) {
    return fileio::NativePath(path);
}

QString PathFromBytes(QByteArrayView bytes) {
    return fileio::NameFromNative(bytes);
}

QByteArray FrameRecord(RecordType type, QByteArrayView payload) {
    QByteArray out;
    out.reserve(kRecordHeaderSize + payload.size());
    out.append(kMagic, 4);
    Writer h;
    h.u8(quint8(type));
    h.u8(0);
    h.u8(0);
    h.u8(0);
    h.u32(quint32(payload.size()));
    const QByteArray header8 = h.take();
    out.append(header8);
    Writer crc;
    crc.u64(FrameCrc(header8, payload));
    out.append(crc.take());
    out.append(payload);
    return out;
}

std::optional<RecordView> ReadRecordAt(QByteArrayView bytes, qint64 offset) {
    if (offset < 0 || bytes.size() - offset < kRecordHeaderSize)
        return std::nullopt;
    const QByteArrayView head = bytes.sliced(offset, kRecordHeaderSize);
    if (head.first(4) != QByteArrayView(kMagic, 4))
        return std::nullopt;
    const quint32 length = qFromLittleEndian<quint32>(head.data() + 8);
    if (length > kMaxRecordPayload || bytes.size() - offset - kRecordHeaderSize < length)
        return std::nullopt;
    const QByteArrayView payload = bytes.sliced(offset + kRecordHeaderSize, length);
    if (qFromLittleEndian<quint64>(head.data() + 12) != FrameCrc(head.sliced(4, 8), payload))
        return std::nullopt;
    return RecordView{RecordType(quint8(head[4])), offset, payload.toByteArray()};
}

QList<RecordView> ReadRecords(QByteArrayView bytes, qint64* validEnd) {
    QList<RecordView> out;
    qint64 offset = 0;
    while (auto record = ReadRecordAt(bytes, offset)) {
        offset += kRecordHeaderSize + record->payload.size();
        out.append(std::move(*record));
    }
    if (validEnd)
        *validEnd = offset;
    return out;
}

QByteArray EncodeBegin(const BeginRecord& record) {
    Writer w;
    w.u32(record.version);
    w.u64(record.nonce);
    w.u8(quint8(record.kind));
    w.bytes(record.description.toUtf8());
    w.u64(quint64(record.timeMs));
    w.u8(record.keepMtime ? 1 : 0);
    w.u64(record.undoes);
    return w.take();
}

std::optional<BeginRecord> DecodeBegin(QByteArrayView payload) {
    Reader r(payload);
    BeginRecord b;
    b.version = r.u32();
    b.nonce = r.u64();
    b.kind = BatchKind(r.u8());
    b.description = QString::fromUtf8(r.bytes());
    b.timeMs = qint64(r.u64());
    b.keepMtime = r.u8() != 0;
    b.undoes = r.u64();
    if (!r.ok() || b.version != kJournalFormatVersion)
        return std::nullopt;
    return b;
}

QByteArray EncodeFile(const FileRecord& record) {
    Writer w;
    w.u32(record.index);
    w.bytes(PathBytes(record.change.path));
    w.u8(quint8(record.change.method));
    PutIdentity(w, record.change.before);
    w.u32(quint32(record.change.splices.size()));
    for (const Splice& s : record.change.splices) {
        w.u64(quint64(s.offset));
        PutSide(w, s.before);
        PutSide(w, s.after);
    }
    return w.take();
}

std::optional<FileRecord> DecodeFile(QByteArrayView payload) {
    Reader r(payload);
    FileRecord f;
    f.index = r.u32();
    f.change.path = PathFromBytes(r.bytes());
    f.change.method = WriteMethod(r.u8());
    f.change.before = GetIdentity(r);
    const quint32 count = r.u32();
    // Each splice takes at least 8 + 2 * (8 + 1 + 4) bytes.
    if (qint64(count) * 34 > r.left())
        return std::nullopt;
    for (quint32 i = 0; i < count && r.ok(); ++i) {
        Splice s;
        s.offset = qint64(r.u64());
        s.before = GetSide(r);
        s.after = GetSide(r);
        f.change.splices.append(std::move(s));
    }
    if (!r.ok() || f.change.path.isEmpty() || !IsWellFormed(f.change))
        return std::nullopt;
    return f;
}

QByteArray EncodeRename(const RenameRecord& record) {
    Writer w;
    w.u32(record.index);
    w.bytes(PathBytes(record.change.from));
    w.bytes(PathBytes(record.change.to));
    w.bytes(PathBytes(record.change.createdFolder));
    w.u64(record.change.device);
    w.u64(record.change.inode);
    w.bytes(PathBytes(record.change.removedFolder));
    return w.take();
}

std::optional<RenameRecord> DecodeRename(QByteArrayView payload) {
    Reader r(payload);
    RenameRecord n;
    n.index = r.u32();
    n.change.from = PathFromBytes(r.bytes());
    n.change.to = PathFromBytes(r.bytes());
    n.change.createdFolder = PathFromBytes(r.bytes());
    n.change.device = r.u64();
    n.change.inode = r.u64();
    n.change.removedFolder = PathFromBytes(r.bytes());
    if (!r.ok() || n.change.from.isEmpty() || n.change.to.isEmpty())
        return std::nullopt;
    return n;
}

QByteArray EncodeOutcome(const OutcomeRecord& record) {
    Writer w;
    w.u32(record.index);
    w.u8(quint8(record.outcome));
    return w.take();
}

std::optional<OutcomeRecord> DecodeOutcome(QByteArrayView payload) {
    Reader r(payload);
    OutcomeRecord o;
    o.index = r.u32();
    const quint8 outcome = r.u8();
    if (!r.ok() || outcome < quint8(Outcome::Written) || outcome > quint8(Outcome::Foreign))
        return std::nullopt;
    o.outcome = Outcome(outcome);
    return o;
}

QByteArray EncodeComplete(const CompleteRecord& record) {
    Writer w;
    w.u64(record.nonce);
    w.u32(record.written);
    w.u8(quint8((record.cancelled ? 1 : 0) | (record.interrupted ? 2 : 0)));
    return w.take();
}

std::optional<CompleteRecord> DecodeComplete(QByteArrayView payload) {
    Reader r(payload);
    CompleteRecord c;
    c.nonce = r.u64();
    c.written = r.u32();
    const quint8 flags = r.u8();
    if (!r.ok())
        return std::nullopt;
    c.cancelled = flags & 1;
    c.interrupted = flags & 2;
    return c;
}
