#pragma once

#include <QString>
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

// The tag written to one file: `edit` over the file's own tag `read`.
// Every text field of `read` is first cut at its first NUL and padded back
// with spaces; fields whose rows are unticked keep those cleaned values;
// Marker is "TAG" and ZeroByte 0 whatever the file held. `name` is the
// file's name, for a title taken from it (cut to 30 characters).
ID3v1Tag EditedID3v1Tag(const ID3v1Edit& edit, const ID3v1Tag& read, const QString& name);

// Rewrites the ID3v1 tag of every ticked file with EditedID3v1Tag, in list
// order. Read-only files are skipped and counted; a file that fails is left
// alone and named in the report.
EditReport RunID3v1Edit(const TickedFiles& files, const ID3v1Edit& edit,
                        const ProgressFn& progress = {});
