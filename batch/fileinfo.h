#pragma once

#include <QString>
#include <array>

#include "store/filerecords.h"
#include "store/framecatalogue.h"

// What the details dialog shows about one file, as ready-made texts.
//
// Tag values: ID3v1 texts cut at the first NUL and trimmed of blanks, the
// genre by name (numbers 80..255 show "Other"), the track as a plain decimal
// (none for an ID3v1.0 tag, whose comment is shown with all its 30 bytes);
// ID3v2 texts exactly as the tag holds them, blanks kept, but cut at the first
// NUL as the main list shows them. A missing tag leaves its values empty.
//
// The name, folder and full path are display forms (DisplayFileName): a name
// that is not UTF-8 is shown decoded and marked, never used to open a file.
struct FileInfo {
    QString FullPath;

    bool HasID3v1 = false;
    bool HasID3v2 = false;

    // Page 1, ID3v1.
    QString SongTitle, Artist, Album, Year, Genre, TrackID, Comment;
    // Page 2, ID3v2: the text of each frame, by the index of kFrameCatalogue.
    std::array<QString, kFrameCount> Frames;
    // Page 2: the cover with its image (not present when the file has none).
    CoverPicture Cover;
    // The code page a text was read in when it was not Unicode and held more
    // than ASCII ("GBK", "Big5", "Latin-1", ...), or "乱码?" for Unicode text
    // that is Chinese bytes another program read as Latin-1; else empty.
    // ID3v1: title, artist, album, year, comment.
    std::array<QString, 5> ID3v1CodePages;
    std::array<QString, kFrameCount> FrameCodePages;
    // Page 3, the file: name, folder, "4194304 字节", "是"/"否" twice, and
    // what it holds: "MP3 音频" or why it is not MP3 ("不是 MP3 文件（看起来是
    // PNG 图片）").
    QString FileName, Path, FileSize, ReadOnly, Archive, Content;
    // Page 3, the audio as the audio columns show it; the length says where
    // it came from ("3:45（Xing 头记录的帧数）"). Empty when no MPEG audio
    // frame was found.
    QString Duration, Bitrate, SampleRate, ChannelMode, VersionLayer;

    // Why the tags are not shown, when the file could not be read (vanished,
    // no permission, not a regular file); empty when they were read.
    QString TagsProblem;
    // Why the ID3v2 tag, though shown, cannot be rewritten (its end cannot be
    // told); empty when it can.
    QString ID3v2Problem;
    // Why size and attributes are not shown; empty when they were read.
    QString FactsProblem;
    // For a file that is not MP3, that no tag will be written into it;
    // empty for an MP3 file.
    QString ContentProblem;
};

// What a file holds, as page 3 shows it: "MP3 音频", or why it is not MP3
// ("不是 MP3 文件（找不到音频帧）"); empty when not judged.
QString ContentText(ContentKind kind);

// The texts of a file whose records were read (the content judged, the
// audio read).
FileInfo FileInfoFromRecords(const QString& folder, const QString& fileName,
                             const FileRecords& records);

// Reads the file `fileName` in `folder` and gives its texts. Never throws:
// when the file cannot be read, the texts hold what could be learnt (at
// least name and folder) and the two problem texts say why the rest is
// missing.
FileInfo ReadFileInfo(const QString& folder, const QString& fileName);
