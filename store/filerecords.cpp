#include "store/filerecords.h"

#include <fcntl.h>

#include <algorithm>

#include "store/fileio.h"

FileRecords ReadFileRecords(const QString& path, bool judgeContent) {
    // One open and, for most files, one read: the first 4 KiB hold a tag
    // written by this program, and a small file's ID3v1 tag too.
    constexpr qint64 kFirstRead = 4096;
    struct stat st;
    fileio::Fd fd = fileio::Open(path, O_RDONLY, 0, &st);
    const qint64 length = st.st_size;
    const QByteArray head = fileio::ReadAt(fd.get(), 0, std::min(length, kFirstRead), path);

    FileRecords records;
    records.facts = FactsFromStat(path, st, fd.get());

    if (length <= head.size()) {
        records.v1 = ParseID3v1Tag(head);
    } else if (length >= 128) {
        records.v1 = ParseID3v1Tag(fileio::ReadAt(fd.get(), length - 128, 128, path));
    } else {
        records.v1 = NoID3v1Tag();
    }

    records.v2 = ReadID3v2TagFrom(fd.get(), length, head, path);
    if (judgeContent) {
        const qint64 audioEnd = length - (HasID3v1Tag(records.v1) ? 128 : 0);
        records.content = JudgeFileContent(fd.get(), length, head, audioEnd, path);
    }
    return records;
}
