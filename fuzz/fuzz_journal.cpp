// libFuzzer target over the journal's reader. The input is taken as a batch
// file as a crash or a damaged disk may leave it, and also as the payload of
// each record kind (the CRC keeps random bytes from the decoders otherwise).
// Besides "no crash, no sanitizer report", it checks the promises the
// format makes and aborts when one is broken: whole records end inside the
// input, a decoded record encodes and decodes to itself, a decoded change
// is well formed and so is its inverse, and judging a file against it
// (the input itself standing for the file) gives an answer.

#include <QByteArray>
#include <QByteArrayView>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "store/filechange.h"
#include "store/journalformat.h"

namespace {

void Check(bool ok, const char* what) {
    if (ok)
        return;
    std::fprintf(stderr, "broken promise: %s\n", what);
    std::abort();
}

void CheckChange(const FileChange& change, QByteArrayView file) {
    Check(IsWellFormed(change), "a decoded change is well formed");
    FileChange inverse = InverseChange(change);
    inverse.before.size = change.sizeAfter();
    Check(IsWellFormed(inverse), "the inverse of a well-formed change is well formed");
    FileIdentity current = change.before;
    current.size = file.size();
    const RangeReader read = [&](qint64 at, qint64 n) {
        return at >= file.size()
                   ? QByteArray()
                   : file.sliced(at).first(std::min<qint64>(n, file.size() - at)).toByteArray();
    };
    (void)ClassifyFile(change, current, read);
}

template <typename Decode, typename Encode>
void RoundTrip(QByteArrayView payload, Decode decode, Encode encode, const char* what) {
    const auto first = decode(payload);
    if (!first)
        return;
    const auto second = decode(encode(*first));
    Check(second.has_value() && *second == *first, what);
}

void Payload(QByteArrayView p, QByteArrayView file) {
    RoundTrip(p, DecodeBegin, EncodeBegin, "Begin round trip");
    RoundTrip(p, DecodeRename, EncodeRename, "Rename round trip");
    RoundTrip(p, DecodeOutcome, EncodeOutcome, "Outcome round trip");
    RoundTrip(p, DecodeComplete, EncodeComplete, "Complete round trip");
    RoundTrip(p, DecodeFile, EncodeFile, "File round trip");
    if (const auto f = DecodeFile(p))
        CheckChange(f->change, file);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArrayView bytes(reinterpret_cast<const char*>(data), qsizetype(size));
    qint64 validEnd = -1;
    const QList<RecordView> records = ReadRecords(bytes, &validEnd);
    Check(validEnd >= 0 && validEnd <= bytes.size(), "whole records end inside the input");
    qint64 end = 0;
    for (const RecordView& r : records) {
        Check(r.offset == end, "records follow each other");
        end += kRecordHeaderSize + r.payload.size();
        Check(FrameRecord(r.type, r.payload) == bytes.sliced(r.offset, end - r.offset),
              "a record read frames back to its bytes");
        Payload(r.payload, bytes);
    }
    Check(end == validEnd, "validEnd is where the last whole record ends");
    Payload(bytes, bytes);
    return 0;
}
