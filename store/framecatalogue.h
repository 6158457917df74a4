#pragma once

#include <QByteArrayView>
#include <QString>
#include <array>
#include <string_view>

#include "store/id3v2.h"

// The ID3v2 frames this program shows and edits, in one table that every
// part iterates: the reader and the writer, the list's columns, the ID3v2
// editor, the details dialog and the command line. Adding a frame to the
// editor and the list is one entry here (and a field of ID3v2Tag).
//
// The table is in the order the program shows the frames: the list's
// column codes, the editor's rows on screen and the details dialog's page.
// Other orders are carried per entry: the editor's check-box index, which
// tests and the command line address, and the position in a written tag.
//
// Captions are marked for translation in the context "Frames" and are shown
// through QCoreApplication::translate at the interface's level.

// How a frame's payload holds its text.
enum class FrameKind {
    Text,     // encoding byte, then the text (a value list shows joined with "/")
    Comment,  // encoding, three language bytes, a description, then the text
    Link,     // encoding, a description, then a URL in Latin-1 (WXXX)
};

// The editor's input for the frame.
enum class FrameInput {
    Line,   // one line of any length
    Year,   // four characters
    Track,  // two characters
    Genre,  // the genre list; the genre's name is written
    Note,   // several lines, wrapped
};

// The ID3v1 field the copy from ID3v1 takes the frame's text from.
enum class V1Counterpart { None, Title, Artist, Album, Year, Genre, Comment, Track };

struct FrameDescriptor {
    const char* id;   // the frame ID as this program writes it (v2.3)
    const char* v22;  // the ID in a v2.2 tag
    // The ID in a v2.4 tag where it differs: a frame of that ID fills the
    // field when the tag has none of `id`, cut to `v24Length` characters
    // (the year of a v2.4 date "yyyy-MM-dd...").
    const char* v24;
    int v24Length;
    FrameKind kind;
    QString ID3v2Tag::*field;
    int column;      // the list's column code
    int editorRow;   // the index of the editor's check box
    int writeOrder;  // the position among the twelve in a written tag
    V1Counterpart v1;
    FrameInput input;
    const char* columnCaption;  // the list's header ("歌名")
    const char* caption;        // the editor's and the details dialog's ("歌    名")
    const char* english;        // what the command line's help calls it
};

inline constexpr int kFrameCount = 12;

// clang-format off
inline constexpr std::array<FrameDescriptor, kFrameCount> kFrameCatalogue = {{
    {"TIT2", "TT2", "TIT2", 0, FrameKind::Text, &ID3v2Tag::TIT2, 201, 0, 0,
     V1Counterpart::Title, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "歌名"),
     QT_TRANSLATE_NOOP("Frames", "歌    名"), "title"},
    {"TPE1", "TP1", "TPE1", 0, FrameKind::Text, &ID3v2Tag::TPE1, 202, 1, 1,
     V1Counterpart::Artist, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "艺术家"),
     QT_TRANSLATE_NOOP("Frames", "艺 术 家"), "artist"},
    {"TALB", "TAL", "TALB", 0, FrameKind::Text, &ID3v2Tag::TALB, 203, 2, 2,
     V1Counterpart::Album, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "专辑"),
     QT_TRANSLATE_NOOP("Frames", "专    辑"), "album"},
    {"TYER", "TYE", "TDRC", 4, FrameKind::Text, &ID3v2Tag::TYER, 204, 3, 3,
     V1Counterpart::Year, FrameInput::Year, QT_TRANSLATE_NOOP("Frames", "年份"),
     QT_TRANSLATE_NOOP("Frames", "年    份"), "year"},
    {"TCON", "TCO", "TCON", 0, FrameKind::Text, &ID3v2Tag::TCON, 205, 4, 4,
     V1Counterpart::Genre, FrameInput::Genre, QT_TRANSLATE_NOOP("Frames", "类型"),
     QT_TRANSLATE_NOOP("Frames", "类    别"), "genre"},
    {"TRCK", "TRK", "TRCK", 0, FrameKind::Text, &ID3v2Tag::TRCK, 206, 6, 5,
     V1Counterpart::Track, FrameInput::Track, QT_TRANSLATE_NOOP("Frames", "轨道"),
     QT_TRANSLATE_NOOP("Frames", "曲目编号"), "track"},
    {"COMM", "COM", "COMM", 0, FrameKind::Comment, &ID3v2Tag::COMM, 207, 5, 6,
     V1Counterpart::Comment, FrameInput::Note, QT_TRANSLATE_NOOP("Frames", "备注"),
     QT_TRANSLATE_NOOP("Frames", "备    注"), "comment"},
    {"TCOM", "TCM", "TCOM", 0, FrameKind::Text, &ID3v2Tag::TCOM, 208, 7, 7,
     V1Counterpart::None, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "作曲"),
     QT_TRANSLATE_NOOP("Frames", "作    曲"), "composer"},
    {"TOPE", "TOA", "TOPE", 0, FrameKind::Text, &ID3v2Tag::TOPE, 209, 8, 10,
     V1Counterpart::None, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "原创"),
     QT_TRANSLATE_NOOP("Frames", "原    创"), "original artist"},
    {"TCOP", "TCR", "TCOP", 0, FrameKind::Text, &ID3v2Tag::TCOP, 210, 9, 8,
     V1Counterpart::None, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "版权"),
     QT_TRANSLATE_NOOP("Frames", "版    权"), "copyright"},
    {"WXXX", "WXX", "WXXX", 0, FrameKind::Link, &ID3v2Tag::WXXX, 211, 10, 11,
     V1Counterpart::None, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "URL"),
     QT_TRANSLATE_NOOP("Frames", "链    接"), "link"},
    {"TENC", "TEN", "TENC", 0, FrameKind::Text, &ID3v2Tag::TENC, 212, 11, 9,
     V1Counterpart::None, FrameInput::Line, QT_TRANSLATE_NOOP("Frames", "编码"),
     QT_TRANSLATE_NOOP("Frames", "编 码 者"), "encoder"},
}};
// clang-format on

// The index in kFrameCatalogue of the frame of v2.3 ID `id`, or -1.
constexpr int FrameIndex(std::string_view id) {
    for (int i = 0; i < kFrameCount; ++i)
        if (id == kFrameCatalogue[size_t(i)].id)
            return i;
    return -1;
}
int FrameIndexOf(QByteArrayView id);  // the same for an ID read from a tag

// The index of the entry whose editor check box has index `row` (0..11).
constexpr int FrameIndexOfEditorRow(int row) {
    for (int i = 0; i < kFrameCount; ++i)
        if (kFrameCatalogue[size_t(i)].editorRow == row)
            return i;
    return -1;
}
// The entry whose editor check box has index `row` (0..11).
const FrameDescriptor& FrameOfEditorRow(int row);
// The editor's check-box index of the frame of ID `id` (a known ID).
constexpr int EditorRowOf(std::string_view id) {
    return kFrameCatalogue[size_t(FrameIndex(id))].editorRow;
}
// The entry shown in list column `code`, or null.
const FrameDescriptor* FrameOfColumn(int code);
// The v2.3 ID of the entry whose v2.2 ID is `id`; empty for another ID.
QByteArrayView FrameIdOfV22(QByteArrayView id);
