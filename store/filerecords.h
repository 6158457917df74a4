#pragma once

#include <optional>

#include "store/filecontent.h"
#include "store/filefacts.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/id3v2picture.h"
#include "store/mpegaudio.h"

// The three records of one file, as the list shows them, and what the file
// holds.
struct FileRecords {
    ID3v1Tag v1;
    ID3v2Tag v2;
    FileFacts facts;
    ContentKind content = ContentKind::Unknown;  // Unknown unless asked for
    // Length, bitrate and format of the audio; empty unless asked for, and
    // when no MPEG audio frame was found.
    std::optional<AudioProperties> audio;
    // The cover as far as asked for; not present unless asked for.
    CoverPicture cover;
};

// Reads all three records with one open of the file: the same results as
// ReadID3v1Tag, ReadID3v2Tag and GetFileFacts called one after the other.
// With `judgeContent` it also tells whether the file holds MPEG audio, which
// costs a read after a long ID3v2 tag and, for a file that is not MP3, up to
// 64 KiB more. With `readAudio` it also reads the audio properties, which
// costs nothing more for a file whose first 4 KiB hold the ID3v2 tag and
// the first two frames, else one read of 4 KiB at the audio (the same read
// the content judgement makes), more only when junk precedes the first frame;
// the last bytes are then read as 160 instead of 128, to see an APE tag.
// With `cover` Facts it also reads the cover's facts: the picture frames'
// headers and the image's header, a read of 4 KiB at each picture whose
// header lies past the bytes already read, more only for a JPEG whose size
// comes after large blocks; with Image, the image too.
// Throws StoreError when the file cannot be opened or read.
// `folder` is the legacy code page of the folder's other files, which
// settles a close call; the ID3v2 tag's decided code page settles one in the
// ID3v1 tag (one tagger usually wrote both).
FileRecords ReadFileRecords(const QString& path, bool judgeContent = false, bool readAudio = false,
                            std::optional<legacytext::CodePage> folder = std::nullopt,
                            CoverReading cover = CoverReading::None);

// How the file's legacy texts were decided, for a folder's vote: the ID3v2
// tag's decision when it had legacy text beyond ASCII, else the ID3v1 tag's.
legacytext::FileReading LegacyReadingOf(const FileRecords& records);
