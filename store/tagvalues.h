#pragma once

#include <QString>
#include <array>
#include <optional>

#include "store/framecatalogue.h"
#include "store/id3v2.h"

// The ID3v2 texts of one file as an edit model: per frame of the catalogue
// the text as read, how it was stored, and the text to write.
//
// Contract:
// - A model is made from what a file holds (ReadID3v2Values, or
//   ID3v2ValuesFromContents over parsed bytes) or from a record
//   (ID3v2ValuesFromRecord, which knows no stored form).
// - set() records a text to write; it never touches `read`. A text set equal
//   to what was read leaves the field unchanged: changed() is about the
//   value, not about the user's gesture.
// - record() is the ID3v2Tag view the writer and the tests know: the header
//   as read, each text as it is to be written. The writer rewrites exactly
//   the changed fields afresh and keeps every other frame's bytes (a field
//   whose text is unchanged keeps its frame, encoding and flags).
// - The model holds texts only; pictures and other frames stay with the
//   writer, which carries them over as stored.
//
// Built for what comes next: undo (read against written), a mixed value
// over several files (compare `read` across models), an encoding column and
// repair (`stored.encoding`).

// How a field's text was stored in the file.
struct StoredText {
    bool present = false;    // the tag had a frame for the field
    quint8 encoding = 0;     // its text-encoding byte: 0 a legacy code page
                             // (code page 936 as this program writes it),
                             // 1 and 2 UTF-16, 3 UTF-8
    quint16 flags = 0;       // its frame flags as stored (v2.3 and v2.4)
    bool described = false;  // a comment or link shown from a frame with a
                             // description, which a new text does not replace
    quint16 codePage = 0;    // encoding 0 with more than ASCII: the code page
                             // it was read in (legacytext::CodePage); else 0
};

struct TagValue {
    QString read;  // the text as read; empty when the tag had no such frame
    StoredText stored;
    std::optional<QString> toWrite;  // set by an edit; none: as read

    const QString& value() const { return toWrite ? *toWrite : read; }
    bool changed() const { return toWrite && *toWrite != read; }
};

class ID3v2Values {
  public:
    ID3v2Values() = default;

    const TagValue& field(int index) const { return fields_[size_t(index)]; }
    const TagValue& field(std::string_view id) const { return field(FrameIndex(id)); }
    // Gives field `index` (of kFrameCatalogue) the text to write.
    void set(int index, const QString& text) { fields_[size_t(index)].toWrite = text; }

    // Whether any field's value differs from what was read.
    bool changed() const;
    // The record: header as read, texts as to be written.
    ID3v2Tag record() const;

  private:
    friend ID3v2Values ID3v2ValuesFromContents(const ID3v2Contents& contents);
    friend ID3v2Values ID3v2ValuesFromRecord(const ID3v2Tag& tag);

    ID3v2Tag header_;  // as read; its texts are those of `read`
    std::array<TagValue, kFrameCount> fields_{};
};

ID3v2Values ID3v2ValuesFromContents(const ID3v2Contents& contents);
ID3v2Values ID3v2ValuesFromRecord(const ID3v2Tag& tag);
// Reads the model of the file at `path`, as cheaply as ReadID3v2Tag (frames
// that hold none of the texts are skipped). Throws StoreError when the file
// cannot be opened or read.
ID3v2Values ReadID3v2Values(const QString& path);
