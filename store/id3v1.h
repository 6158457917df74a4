#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <array>

#include "store/filechange.h"
#include "store/legacytext.h"
#include "store/sysio.h"

// The ID3v1(.1) tag, the last 128 bytes of an MP3 file:
//   0 "TAG" | 3 title 30 | 33 artist 30 | 63 album 30 | 93 year 4 |
//   97 comment 28 | 125 zero byte | 126 track | 127 genre
// Text is in a legacy code page, decided for the five text fields together
// (legacytext.h); fields written by us are code page 936, space padded.

// In-memory tag. Text fields always hold exactly their width in UTF-16 code
// units (space padded or cut); padding bytes of other programs (NUL) are kept
// as NUL characters. `Genre` is one character whose CP936 code is the genre
// number.
// The bytes a tag was read from and the code page of each text field
// (title, artist, album, year, comment), so that a field left as it was read
// is written back byte for byte whatever its code page. It never makes two
// records differ: a record is its texts.
struct ID3v1Stored {
    QByteArray bytes;                    // the 128 bytes; empty for a tag made here
    std::array<quint16, 5> codePages{};  // legacytext::CodePage numbers; 0: ASCII only
    quint16 codePage = 0;                // the fields' decision, for a folder's vote
    legacytext::Certainty certainty = legacytext::Certainty::Ascii;
    // Per text field: encode it in code page 936 even when it is unchanged
    // (a conversion of bytes stored in another code page).
    std::array<bool, 5> rewrite{};

    bool operator==(const ID3v1Stored&) const { return true; }
};

struct ID3v1Tag {
    QString Marker;     // 3: "TAG", or "N/A" when the file has no tag
    QString SongTitle;  // 30
    QString Artist;     // 30
    QString Album;      // 30
    QString Year;       // 4
    QString Comment;    // 28
    quint8 ZeroByte = 0;
    quint8 Track = 0;
    QString Genre;  // 1
    ID3v1Stored Stored;

    bool operator==(const ID3v1Tag&) const = default;
};

inline constexpr int kTitleWidth = 30;
inline constexpr int kArtistWidth = 30;
inline constexpr int kAlbumWidth = 30;
inline constexpr int kYearWidth = 4;
inline constexpr int kCommentWidth = 28;

// Pads `text` with spaces to `width` characters, or cuts it to `width`.
QString FixedWidth(const QString& text, int width);

// The record of a file without a tag: "N/A" in every text field (padded),
// Genre "N" (number 78), Track and ZeroByte 0.
ID3v1Tag NoID3v1Tag();

// True unless the record is the "N/A" record (Marker "N/A").
bool HasID3v1Tag(const ID3v1Tag& tag);

// The tag a file without one is given before the user's fields go in: every
// text field blank (spaces), track 0, genre 255 (no genre). Unlike the
// "N/A" record, which only stands for a missing tag, this one may be written.
ID3v1Tag BlankID3v1Tag();

// True for a tag in the older ID3v1.0 layout: byte 125 (ZeroByte) is not 0,
// so the comment takes 30 bytes and there is no track; the record's
// ZeroByte and Track then hold comment bytes 29 and 30.
bool IsID3v10Tag(const ID3v1Tag& tag);
// The whole comment as stored: Comment, and for an ID3v1.0 tag the two
// bytes after it, decoded together (so a character cut by the 28-byte
// field is whole again). Padding is kept, as in the record.
QString ID3v1Comment(const ID3v1Tag& tag);

// The genre number of a record: the CP936 code of its Genre character (0..255).
int GenreNumber(const ID3v1Tag& tag);
// The Genre character for a number 0..255.
QString GenreCharacter(int number);

// The 80 names of the ID3v1 standard genre list, index 0..79.
const QStringList& GenreNames();
// The name the program shows for a genre number: entry n for 0..79, else
// entry 12 ("Other").
QString GenreDisplayName(int number);

// Parses the tag from the last bytes of a file. `tail` holds the file's last
// min(length, 128) bytes; fewer than 128, or a marker other than "TAG"
// (case-sensitive), gives the "N/A" record.
// `options` decide the code page of the text fields.
ID3v1Tag ParseID3v1Tag(QByteArrayView tail,
                       const legacytext::Options& options = legacytext::DefaultOptions());
// The 128 bytes of `tag` as written: each text field as it was read (its
// stored bytes) when its text is unchanged, else encoded in code page 936
// and cut or padded with spaces to its byte width; then ZeroByte, Track, the
// genre byte.
QByteArray RenderID3v1Tag(const ID3v1Tag& tag);

// Reads the tag of the file at `path`. Throws StoreError when the file cannot
// be opened or read; never modifies the file.
// `folder` is the code page of the folder's other files, which settles a
// close call.
ID3v1Tag ReadID3v1Tag(const QString& path,
                      std::optional<legacytext::CodePage> folder = std::nullopt);
// The change that gives the file at `path` the tag `tag`, without writing
// anything: its last 128 bytes overwritten when they hold a tag, else the
// tag appended; in place either way. The file is read through `io`; a
// symbolic link is resolved, so the change names the real file, and
// `before` is the file as read. No splice when the file already holds
// exactly that tag. Throws StoreError for a file that cannot be written:
// it cannot be opened or read, it is shorter than 128 bytes ("文件太短，不足
// 128 字节"), or it does not hold MPEG audio (NotMp3Reason, filecontent.h).
FileChange PlanID3v1Tag(sysio::SysIO& io, const QString& path, const ID3v1Tag& tag);

// Plans and applies the change at once, without a journal (a single file,
// as tests and tools write it; batches go through the journal).
// Returns true once written. A file it does not write is a StoreError with
// the reason: it cannot be opened or written, it is shorter than 128 bytes
// ("文件太短，不足 128 字节"), or it does not hold MPEG audio (NotMp3Reason,
// filecontent.h); such a file is left as it was.
bool WriteID3v1Tag(const QString& path, const ID3v1Tag& tag);
