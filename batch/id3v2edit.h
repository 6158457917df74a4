#pragma once

#include <QString>
#include <array>

#include "batch/editreport.h"
#include "batch/tickedfiles.h"
#include "store/framecatalogue.h"
#include "store/id3v1.h"
#include "store/id3v2.h"
#include "store/tagvalues.h"

// The ID3v2 batch edit: which frames the user ticked and the texts typed or
// picked for them. Rows are indexed as the editor's check boxes are
// (FrameDescriptor::editorRow); the index names the frame, not the screen
// position. Rows 0..6 are the frames with an ID3v1 counterpart.
inline constexpr int kID3v2RowCount = kFrameCount;
// Rows 0..kID3v2FromV1Rows-1 are filled by the copy from ID3v1.
inline constexpr int kID3v2FromV1Rows = [] {
    int n = 0;
    for (const FrameDescriptor& frame : kFrameCatalogue) n += frame.v1 != V1Counterpart::None;
    return n;
}();
// The rows the editor and the command line treat apart.
inline constexpr int kV2TitleRow = EditorRowOf("TIT2");
inline constexpr int kV2GenreRow = EditorRowOf("TCON");

// The frame ID of each row ("TIT2", "TPE1", ...).
const std::array<QString, kID3v2RowCount>& ID3v2RowFrameIds();
// The field of `tag` that a row edits.
QString& ID3v2RowField(ID3v2Tag& tag, int row);

struct ID3v2Edit {
    std::array<bool, kID3v2RowCount> ticked{};
    // The typed text of each row; for the genre row the genre's name.
    std::array<QString, kID3v2RowCount> texts;
    // Rows 0..6 from each file's own ID3v1 tag; overrides the ticked texts of
    // those rows and the title from the file name.
    bool fromV1 = false;
    // TIT2 from the file name (all of it but its last four characters).
    bool titleFromFileName = false;
};

// The record written to one file: the file's own tag `read` with the
// ticked rows' texts (trimmed of blanks), then the copy from `v1` when
// `edit.fromV1` (`v1` is only looked at then), else the title from `name`
// when asked for. Header fields stay as read.
//
// The copy takes rows 0..6 from `v1` only: with `edit.fromV1` their typed
// texts are never used, and a file without an ID3v1 tag keeps its own seven
// frames. An ID3v1.0 tag gives its whole 30-byte comment and, having no
// track, leaves TRCK as it was.
ID3v2Tag EditedID3v2Tag(const ID3v2Edit& edit, const ID3v2Tag& read, const ID3v1Tag& v1,
                        const QString& name);
// The same edit applied to the model of one file: the texts it gives are
// set as the values to write; what was read stays in the model.
void ApplyID3v2Edit(const ID3v2Edit& edit, ID3v2Values& values, const ID3v1Tag& v1,
                    const QString& name);

// Rewrites the ID3v2 tag of every ticked file with EditedID3v2Tag, in list
// order; the ID3v1 tag is read only for the copy and never written.
// Read-only files are skipped and counted; a file that fails is left alone
// and named in the report. A file the copy finds without an ID3v1 tag is
// named in the report (withoutID3v1); it is written only when rows beyond
// the seven are ticked, else left alone and not counted as written.
// The run is one journaled batch ("修改 ID3v2 标签"): a tag that fits the
// old one's space is written in place, any other beside the file with
// padding (PlanID3v2Tag; see EditTickedFiles and BatchOptions).
EditReport RunID3v2Edit(const TickedFiles& files, const ID3v2Edit& edit,
                        const BatchOptions& options = {});
