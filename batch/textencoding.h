#pragma once

#include <QString>
#include <optional>

#include "store/filerecords.h"
#include "store/legacytext.h"

// How the texts of a file are stored, and text that another program garbled.
//
// Mojibake here is Chinese legacy bytes that a program read as Latin-1 (or
// Windows-1252) and saved as real characters: "七里香" in code page 936 is
// C6 DF C0 EF CF E3, which such a program turns into "ÆßÀïÏã" and, saved as
// UTF-16 (as `ffmpeg -c copy` does), every reader then shows as such.

// The text `text` stood for, when it is such mojibake: besides ASCII, only
// characters of U+0080..U+00FF (or the Windows-1252 forms of 0x80..0x9F),
// at least one of them, whose bytes the legacy decoder reads as Chinese
// (code page 936, Big5 or UTF-8, with a Han character). A genuine Latin-1 text ("Björk", "Café")
// reads as Latin-1 and gives nothing. Cheap for any other text: one pass over it.
std::optional<legacytext::Reading> MojibakeRepair(const QString& text);

// The column "文字编码": how a file's texts are stored.
inline constexpr int kTextEncodingColumn = 308;

// The cell text of that column:
//   "乱码?"   a text is mojibake (MojibakeRepair), or legacy text the decoder
//             could not place (Certainty::Unreadable);
//   else the ID3v2 tag's texts beyond ASCII decide, failing them the ID3v1
//   tag's: "GBK", "Big5", "Shift-JIS", "CP949", "Latin-1", "UTF-8(旧)" for
//   legacy bytes (an ID3v2 tag that mixes both shows its legacy code page,
//   which is what wants converting), "Unicode" for text stored as
//   UTF-16 or UTF-8;
//   ""        no text beyond ASCII, or no tag: nothing to tell.
QString TextEncodingCellText(const FileRecords& records);
