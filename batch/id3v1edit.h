#pragma once

#include <QString>
#include <QStringList>
#include <array>

#include "batch/editreport.h"
#include "batch/tickedfiles.h"
#include "store/id3v1.h"

// The ID3v1 batch edit: which fields the user ticked and the values typed or
// picked for them. Rows are indexed as the editor's check boxes are; the
// index names the field, not the screen position.
enum ID3v1Row : int {
    kV1Title = 0,
    kV1Artist = 1,
    kV1Album = 2,
    kV1Year = 3,
    kV1Genre = 4,
    kV1Comment = 5,
    kV1Track = 6,
};
inline constexpr int kID3v1RowCount = 7;

struct ID3v1Edit {
    std::array<bool, kID3v1RowCount> ticked{};
    // Titles come from the file names (the name without its last four
    // characters), whatever row 0 says.
    bool titleFromFileName = false;
    QString title, artist, album, year, comment;
    int genre = 12;  // genre number = index in GenreNames()
    int track = 0;   // 0..255
};

// The track byte for the text of the track box: its decimal value; an empty
// or non-numeric text gives 0, a value above 255 is cut to 255.
int TrackFromText(const QString& text);

// The name a text row goes by in messages ("歌名", "艺术家", "专辑", "年份",
// "备注") and its width in bytes; rows without text give "" and 0.
QString ID3v1FieldName(int row);
int ID3v1FieldWidth(int row);

// What keeps `text` out of the field of text row `row` as it stands: the
// first character code page 936 cannot hold, or more bytes than the field
// has. Empty when the text fits.
QString ID3v1TextProblem(int row, const QString& text);
// The problems of the ticked text rows of `edit`, one line each, in row
// order; the title only when typed. A run may start only when there are none.
QStringList ID3v1EditProblems(const ID3v1Edit& edit);
// The message that refuses a run for `problems` (caption "无法写入 ID3v1 标签").
ReportMessage RefusedID3v1EditMessage(const QStringList& problems);

// A title from a file name as the title field holds it: cut before the
// first character code page 936 cannot hold, and at the last whole
// character within the field's 30 bytes. `note` says what was lost; it is
// empty when the whole title fits.
struct FittedTitle {
    QString text;
    QString note;
};
FittedTitle FitID3v1Title(const QString& title);

// The tag written to one file: `edit` over the file's own tag `read`.
// A file without a tag starts from BlankID3v1Tag (blank texts, track 0,
// genre 255), never from the "N/A" record. Every text field of `read` is
// first cut at its first NUL and padded back with spaces; fields whose rows
// are unticked keep those cleaned values; Marker is "TAG". While neither the
// comment nor the track is ticked, the comment, ZeroByte and Track stay as
// read, so an ID3v1.0 tag keeps its 30-byte comment; ticking either writes
// the ID3v1.1 layout (ZeroByte 0; an ID3v1.0 comment kept to its first 28
// bytes and no track unless one is given). `name` is the file's name, for a
// title taken from it (FitID3v1Title; its note goes to `titleNote`).
ID3v1Tag EditedID3v1Tag(const ID3v1Edit& edit, const ID3v1Tag& read, const QString& name,
                        QString* titleNote = nullptr);

// Rewrites the ID3v1 tag of every ticked file with EditedID3v1Tag, in list
// order. Read-only files are skipped and counted; a file that fails is left
// alone and named in the report, as is a file whose title from its name was
// cut (it is written). Callers refuse an edit that ID3v1EditProblems finds
// fault with before calling this; typed texts are written as given.
// The run is one journaled batch ("修改 ID3v1 标签"), written in place
// (see EditTickedFiles and BatchOptions).
EditReport RunID3v1Edit(const TickedFiles& files, const ID3v1Edit& edit,
                        const BatchOptions& options = {});
