#include "store/journalformat.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

// A change with every form a side can take: whole, digests, empty.
FileChange SampleChange() {
    FileChange c;
    c.path = QStringLiteral("/music/周杰伦/晴天.mp3");
    c.method = WriteMethod::InPlace;
    c.before = {0x801, 123456789, 5000, 1700000000123456789};
    const QByteArray oldTag(1200, 'o');
    const QByteArray newTag(1200, 'n');
    c.splices.append({0, WholeSide(oldTag), DigestSide(newTag, 0)});
    c.splices.append(
        {4872, WholeSide(QByteArray(128, 't')), DigestSide(QByteArray(128, 'T'), 4872)});
    return c;
}

struct Encoded {
    const char* name;
    std::function<QByteArray()> encode;
    std::function<bool(QByteArrayView)> decodes;
};

QList<Encoded> AllKinds() {
    BeginRecord begin;
    begin.nonce = 0x0123456789ABCDEF;
    begin.kind = BatchKind::Undo;
    begin.description = QStringLiteral("修改 ID3v2 标签");
    begin.timeMs = 1733551380000;
    begin.keepMtime = true;
    begin.undoes = 42;
    const FileRecord file{7, SampleChange()};
    RenameRecord rename{3,
                        {QStringLiteral("/m/a.mp3"),
                         QStringLiteral("/m/Band/a b.mp3"),
                         QStringLiteral("/m/Band"),
                         {},
                         0x801,
                         99}};
    const OutcomeRecord outcome{11, Outcome::Foreign};
    const CompleteRecord complete{0x0123456789ABCDEF, 1234, true, true};
    return {
        {"begin", [=] { return EncodeBegin(begin); },
         [=](QByteArrayView p) { return DecodeBegin(p) == begin; }},
        {"file", [=] { return EncodeFile(file); },
         [=](QByteArrayView p) { return DecodeFile(p) == file; }},
        {"rename", [=] { return EncodeRename(rename); },
         [=](QByteArrayView p) { return DecodeRename(p) == rename; }},
        {"outcome", [=] { return EncodeOutcome(outcome); },
         [=](QByteArrayView p) { return DecodeOutcome(p) == outcome; }},
        {"complete", [=] { return EncodeComplete(complete); },
         [=](QByteArrayView p) { return DecodeComplete(p) == complete; }},
    };
}

}  // namespace

TEST(JournalChecksum, IsCrc64Xz) {
    EXPECT_EQ(Crc64("123456789"), 0x995DC9BBDF1939FAULL);  // the published check value
    EXPECT_EQ(Crc64(""), 0ULL);
}

TEST(JournalFrame, LaysOutMagicTypeLengthChecksumAndPayload) {
    const QByteArray payload("\x07\x00\x00\x00\x01", 5);  // index 7, written
    const QByteArray expected =
        QByteArray("TJR1")                         // magic
        + QByteArray("\x04\x00\x00\x00", 4)        // type, reserved
        + QByteArray("\x05\x00\x00\x00", 4)        // length
        + QByteArray::fromHex("e3803c5e1adca701")  // CRC-64 of 4..11 + payload
        + payload;
    EXPECT_EQ(FrameRecord(RecordType::Outcome, payload), expected);
    EXPECT_EQ(EncodeOutcome({7, Outcome::Written}), payload);
    EXPECT_EQ(kCompleteRecordSize, FrameRecord(RecordType::Complete, EncodeComplete({})).size());
}

TEST(JournalRecords, EveryKindComesBackAsItWent) {
    for (const Encoded& kind : AllKinds()) {
        const QByteArray payload = kind.encode();
        EXPECT_TRUE(kind.decodes(payload)) << kind.name;
        // A later version may add fields at the end; this one skips them.
        EXPECT_TRUE(kind.decodes(payload + QByteArray("\x01\x02\x03", 3))) << kind.name;
        // Every field is needed: any shorter payload is refused.
        for (qsizetype n = 0; n < payload.size(); ++n)
            EXPECT_FALSE(kind.decodes(payload.first(n))) << kind.name << " cut to " << n;
    }
}

TEST(JournalRecords, AnotherVersionOrAnUnknownOutcomeIsRefused) {
    BeginRecord begin;
    begin.version = 2;
    EXPECT_FALSE(DecodeBegin(EncodeBegin(begin)));
    QByteArray outcome = EncodeOutcome({1, Outcome::Written});
    outcome[4] = 9;
    EXPECT_FALSE(DecodeOutcome(outcome));
}

TEST(JournalRecords, AChangeThatIsNotWellFormedIsRefused) {
    const std::pair<const char*, std::function<void(FileChange&)>> spoil[] = {
        {"splices overlap", [](FileChange& c) { c.splices[1].offset = 1000; }},
        {"splice past the end", [](FileChange& c) { c.splices[1].offset = 4900; }},
        {"in place, length changes inside the file",
         [](FileChange& c) { c.splices[0].after = DigestSide(QByteArray(1300, 'n'), 0); }},
        {"a digest missing", [](FileChange& c) { c.splices[0].after.digests.removeLast(); }},
        {"an unknown method", [](FileChange& c) { c.method = WriteMethod(7); }},
    };
    for (const auto& [what, f] : spoil) {
        FileRecord record{1, SampleChange()};
        f(record.change);
        EXPECT_FALSE(DecodeFile(EncodeFile(record))) << what;
    }
    // Beside, any splice may change the length.
    FileRecord beside{1, SampleChange()};
    beside.change.method = WriteMethod::Beside;
    beside.change.splices[0].after = DigestSide(QByteArray(1300, 'n'), 0);
    EXPECT_TRUE(DecodeFile(EncodeFile(beside)));
}

TEST(JournalTornTail, EveryCutKeepsExactlyTheWholeRecordsBeforeIt) {
    QByteArray file;
    QList<qint64> ends;
    for (const Encoded& kind : AllKinds()) {
        file += FrameRecord(RecordType::File, kind.encode());
        ends.append(file.size());
    }
    for (qsizetype cut = 0; cut <= file.size(); ++cut) {
        qint64 validEnd = -1;
        const QList<RecordView> records = ReadRecords(file.first(cut), &validEnd);
        qsizetype whole = 0;
        while (whole < ends.size() && ends[whole] <= cut) ++whole;
        ASSERT_EQ(records.size(), whole) << "cut at " << cut;
        EXPECT_EQ(validEnd, whole ? ends[whole - 1] : 0) << "cut at " << cut;
    }
}

TEST(JournalTornTail, ADamagedByteDropsItsRecordAndEverythingAfter) {
    QByteArray file;
    QList<qint64> starts;
    for (const Encoded& kind : AllKinds()) {
        starts.append(file.size());
        file += FrameRecord(RecordType::Outcome, kind.encode());
    }
    for (qsizetype at = 0; at < file.size(); ++at) {
        QByteArray damaged = file;
        damaged[at] = char(damaged[at] ^ 0x20);
        qsizetype hit = 0;
        while (hit + 1 < starts.size() && starts[hit + 1] <= at) ++hit;
        EXPECT_EQ(ReadRecords(damaged).size(), hit) << "byte " << at;
    }
}

TEST(JournalTornTail, AnImpossibleLengthIsATornRecordNotAnAllocation) {
    QByteArray frame = FrameRecord(RecordType::Begin, EncodeBegin({}));
    frame[8] = frame[9] = frame[10] = frame[11] = char(0xFF);
    qint64 validEnd = -1;
    EXPECT_TRUE(ReadRecords(frame, &validEnd).isEmpty());
    EXPECT_EQ(validEnd, 0);
}
