#include "store/filerecords.h"

#include <fcntl.h>

#include <algorithm>

#include "store/fileio.h"

FileRecords ReadFileRecords(const QString& path, bool judgeContent, bool readAudio,
                            std::optional<legacytext::CodePage> folder, CoverReading cover) {
    // One open and, for most files, one read: the first 4 KiB hold a tag
    // written by this program, and a small file's ID3v1 tag too.
    constexpr qint64 kFirstRead = 4096;
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    const QByteArray head = fileio::ReadAt(fd.get(), 0, std::min(length, kFirstRead), path);

    FileRecords records;
    records.facts = FactsFromStat(path, st, fd.get());

    // The last bytes: the ID3v1 tag and, for the audio's end, an APE
    // tag's footer before it.
    QByteArray tail;
    if (length <= head.size()) {
        tail = head;
    } else {
        const qint64 want = std::min<qint64>(length, readAudio ? 128 + 32 : 128);
        tail = fileio::ReadAt(fd.get(), length - want, want, path);
    }
    records.v2 = ReadID3v2TagFrom(fd.get(), length, head, path, folder, cover, &records.cover);
    legacytext::Options options = legacytext::DefaultOptions();
    options.folder = folder;
    const legacytext::Certainty v2 = records.v2.Legacy.certainty;
    if (v2 == legacytext::Certainty::Only || v2 == legacytext::Certainty::Clear)
        options.folder = legacytext::CodePageOf(records.v2.Legacy.codePage);
    records.v1 = ParseID3v1Tag(tail, options);
    // The judgement and the audio look at the same place after the tag:
    // whichever comes first reads it for both.
    fileio::FileBytes bytes(fd.get(), length, head, path);
    if (judgeContent) {
        const qint64 audioEnd = length - (HasID3v1Tag(records.v1) ? 128 : 0);
        records.content = JudgeFileContent(bytes, audioEnd);
    }
    if (readAudio)
        records.audio = ReadAudioProperties(bytes, AudioStart(head), AudioEnd(tail, length));
    return records;
}

legacytext::FileReading LegacyReadingOf(const FileRecords& records) {
    if (records.v2.Legacy.certainty != legacytext::Certainty::Ascii)
        return records.v2.Legacy.file();
    legacytext::FileReading reading;
    reading.codePage =
        legacytext::CodePageOf(records.v1.Stored.codePage).value_or(legacytext::CodePage::Gbk);
    reading.certainty = records.v1.Stored.certainty;
    return reading;
}
