#pragma once

#include <QByteArrayView>
#include <QList>
#include <QString>
#include <optional>

// Text in a legacy encoding (ID3v1 fields, ID3v2 frames with encoding byte 0)
// carries no mark of its code page. Writers used code page 936, Big5, Shift-JIS,
// CP949, Latin-1 / Windows-1252 or UTF-8, and the same bytes are often valid in
// several of them. This module decides which one, from the bytes alone:
//
//  1. Validity: a code page that reads the bytes without error beats one that
//     does not. Unassigned and user-defined (private-use) characters and C1
//     controls count as errors. A character cut in half at the very end of
//     a text of 28 bytes or more does not: writers cut texts to the width of
//     a fixed-width field (ID3v1) anywhere, so pass such fields whole,
//     padding included. UTF-8 is a candidate only when the bytes hold at
//     least one multi-byte sequence and are strictly valid otherwise.
//  2. Plausibility: each reading is scored as text of the languages its code
//     page serves (Simplified or Traditional Chinese, Japanese, Korean,
//     Western), by how common its characters are in that language and whether
//     accented letters stand next to letters. The cheapest reading wins.
//
// Several texts of one file are decided together: one writer wrote them, so
// one code page reads all of them, and a short text follows the longer ones.
// Where no code page reads all of them, or one of them reads far worse in
// the shared code page than alone (UTF-8 from one tool, code page 936 from
// another), each text is decided alone. A close call is marked as a guess; a
// caller that lists a folder can settle guesses with the code page most of
// the folder's files were decided in (FolderVote).
//
// Reading never changes bytes. Text read as code page 936 is exactly
// DecodeCP936 of the bytes, so EncodeCP936 gives the same bytes back. In the
// other code pages a byte that reads as no character becomes the same
// stand-in (U+F700 + byte), so nothing is dropped; their text is for showing,
// and a caller that must write unchanged text back keeps the bytes.
//
// Thread-safe: the tables are built once, on first use (tens of milliseconds,
// from iconv), and only read after.
namespace legacytext {

enum class CodePage : quint16 {
    Gbk = 936,
    Big5 = 950,
    ShiftJis = 932,
    Korean = 949,    // Unified Hangul Code, a superset of EUC-KR
    Western = 1252,  // Latin-1 with 0x80..0x9F as Windows has them
    Utf8 = 65001,
};

// How the code page of a reading came about, strongest first.
enum class Certainty : quint8 {
    Ascii,       // no byte above 0x7F: every code page reads the same text
    Fixed,       // the code page was given, not decided
    Only,        // one code page reads the bytes without error
    Clear,       // others read them too, but as far less plausible text
    Folder,      // a close call, settled by the folder's code page
    Guess,       // a close call: the text may be misread
    Unreadable,  // no code page reads the bytes without error: read as code page 936
};

struct Options {
    // A code page the user chose for all legacy text. Bytes that it cannot
    // read but that are valid UTF-8 with a multi-byte sequence are still read
    // as UTF-8: that is never worse than showing stand-ins.
    std::optional<CodePage> fixed = std::nullopt;
    // The code page most files of the folder were decided in (FolderVote):
    // it settles close calls it can read without error.
    std::optional<CodePage> folder = std::nullopt;
};

struct Reading {
    QString text;
    CodePage codePage = CodePage::Gbk;
    Certainty certainty = Certainty::Ascii;
};

struct FileReading {
    QList<Reading> texts;  // one per text given, in order
    // The code page the texts were read in together. When they were decided
    // one by one, the code page of most of them, with the weakest certainty
    // among them.
    CodePage codePage = CodePage::Gbk;
    Certainty certainty = Certainty::Ascii;
};

// The options every reading of a file takes where its caller gives none:
// the code page the user fixed, if any. Set once at start (setup, command
// line) before files are read; reading threads only load it.
void SetDefaultOptions(const Options& options);
Options DefaultOptions();

// The code page of a number stored with a reading (936, 950, ...), if it is
// one of the candidates.
std::optional<CodePage> CodePageOf(int number);

// Decides one text on its own.
Reading Decode(QByteArrayView bytes, const Options& options = {});

// Decides the legacy texts of one file together.
FileReading DecodeFile(const QList<QByteArrayView>& texts, const Options& options = {});

// The bytes read in the given code page, without deciding.
QString DecodeAs(CodePage codePage, QByteArrayView bytes);

// Counts the code pages files of one folder were decided in, from evidence
// (Only and Clear), to give the folder's code page to the files that were a
// close call.
class FolderVote {
  public:
    void Add(const FileReading& file);
    // The code page more than half of the decided files were read in, if any.
    std::optional<CodePage> Majority() const;

  private:
    QList<std::pair<CodePage, int>> counts_;
    int decided_ = 0;
};

}  // namespace legacytext
