#pragma once

// The journal's file format, as bytes in memory: framing of records and the
// contents of each kind. One file holds one batch; records are only ever
// appended, so a crash can leave at most one record cut short at the end.
//
// A record on disk, all numbers little-endian:
//   0  "TJR1"             magic
//   4  type               1 byte (RecordType)
//   5  0 0 0              reserved
//   8  payload length     4 bytes, at most kMaxRecordPayload
//   12 CRC-64             8 bytes, of bytes 4..11 and the payload
//   20 payload
// Reading stops at the first record that is short, has another magic, an
// impossible length or a wrong CRC: that record and everything after it are
// a torn tail and are ignored, never half-used.
//
// Payloads are built from: u8, u32, u64 (little-endian), and byte strings
// (a u32 length, then the bytes). A payload may carry fields after the ones
// this version reads; they are skipped, so a later version can add fields.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

#include "store/filechange.h"

inline constexpr qint64 kRecordHeaderSize = 20;
// Large enough for the old bytes of an ID3v2 tag of the greatest size the
// format allows (256 MiB) with room to spare.
inline constexpr qint64 kMaxRecordPayload = qint64(1) << 30;
inline constexpr quint32 kJournalFormatVersion = 1;

enum class RecordType : quint8 {
    Begin = 1,
    File = 2,
    Rename = 3,
    Outcome = 4,
    Complete = 5,
};

// What a batch did. Stored as its number: numbers are never reused.
enum class BatchKind : quint8 {
    ID3v1 = 1,
    ID3v2 = 2,
    Rename = 3,
    Repair = 4,
    Convert = 5,
    Undo = 6,  // takes another batch back; never offered for undo itself
};

struct BeginRecord {
    quint32 version = kJournalFormatVersion;
    quint64 nonce = 0;  // random; the Complete record repeats it
    BatchKind kind = BatchKind::ID3v2;
    QString description;  // as the user reads it, e.g. "修改 ID3v2 标签"
    qint64 timeMs = 0;    // when the batch began, ms since 1970 UTC
    bool keepMtime = false;
    quint64 undoes = 0;  // for an Undo batch: the number of the batch it takes back

    bool operator==(const BeginRecord&) const = default;
};

// The change the batch is about to make to its `index`th file. Paths are
// stored as the file system's bytes.
struct FileRecord {
    quint32 index = 0;
    FileChange change;

    bool operator==(const FileRecord&) const = default;
};

struct RenameRecord {
    quint32 index = 0;
    RenameChange change;

    bool operator==(const RenameRecord&) const = default;
};

// What became of a file. Later records for the same index replace earlier ones.
enum class Outcome : quint8 {
    Written = 1,     // holds the new bytes (or name), durably
    NotWritten = 2,  // was not touched: holds the old bytes (or name)
    Uncertain = 3,   // a failure after the new bytes may have reached the file
    Foreign = 4,     // somebody else changed the file; left alone
};

struct OutcomeRecord {
    quint32 index = 0;
    Outcome outcome = Outcome::Written;

    bool operator==(const OutcomeRecord&) const = default;
};

// The last record of a finished batch.
struct CompleteRecord {
    quint64 nonce = 0;
    quint32 written = 0;       // files (or names) the batch changed: what undo takes back
    bool cancelled = false;    // stopped by the user between files
    bool interrupted = false;  // the process died; finished by recovery

    bool operator==(const CompleteRecord&) const = default;
};
// Complete records have this size on disk, header included, so a reader can
// find one at the end of a file without reading the rest.
inline constexpr qint64 kCompleteRecordSize = kRecordHeaderSize + 8 + 4 + 1;

// One record framed: header, CRC and payload.
QByteArray FrameRecord(RecordType type, QByteArrayView payload);

struct RecordView {
    RecordType type;
    qint64 offset = 0;  // of the header
    QByteArray payload;
};

// The outcome of checking one frame at `offset` of `bytes`: the record, or
// nothing when it is torn (see the top of this file). Unknown types are
// returned as they are; the reader skips them.
std::optional<RecordView> ReadRecordAt(QByteArrayView bytes, qint64 offset);
// Every whole record from the start of `bytes`, stopping at the first torn
// one. `validEnd`, when given, receives where the whole records end.
QList<RecordView> ReadRecords(QByteArrayView bytes, qint64* validEnd = nullptr);

QByteArray EncodeBegin(const BeginRecord& record);
QByteArray EncodeFile(const FileRecord& record);
QByteArray EncodeRename(const RenameRecord& record);
QByteArray EncodeOutcome(const OutcomeRecord& record);
QByteArray EncodeComplete(const CompleteRecord& record);

// Each gives nothing for a payload that does not hold a valid record of its
// kind (too short, a count beyond the bytes, a change that is not well
// formed, an unknown version).
std::optional<BeginRecord> DecodeBegin(QByteArrayView payload);
std::optional<FileRecord> DecodeFile(QByteArrayView payload);
std::optional<RenameRecord> DecodeRename(QByteArrayView payload);
std::optional<OutcomeRecord> DecodeOutcome(QByteArrayView payload);
std::optional<CompleteRecord> DecodeComplete(QByteArrayView payload);

// Paths in records are the file system's bytes; these convert between them
// and the lossless QString form the store passes around.
QByteArray PathBytes(const QString& path);
QString PathFromBytes(QByteArrayView bytes);
