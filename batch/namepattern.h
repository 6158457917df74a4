#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

// The placeholder language of name patterns, shared by the renamer's own
// pattern ("自定义") and by filling tags from file names: literal text with
// placeholders %歌名% %艺术家% %专辑% %年份% %音轨% %作曲% %专辑艺术家%
// %碟号% %原文件名%; "\" separates a sub-folder; "%%" is a literal "%".
// A pattern describes a name without its extension.

enum class NameField {
    Title,
    Artist,
    Album,
    Year,
    Track,
    Composer,
    AlbumArtist,
    Disc,
    FileName,
};
inline constexpr int kNameFieldCount = 9;

// The word inside the percent signs ("歌名").
QString NameFieldWord(NameField field);

// The texts of a file that a pattern can name, by NameField. Track is
// already written as the name shows it ("01").
using NameValues = std::array<QString, kNameFieldCount>;

struct NamePatternPart {
    bool literal = true;
    QString text;                        // the literal text
    NameField field = NameField::Title;  // the placeholder
};

struct NamePattern {
    std::vector<NamePatternPart> parts;
    // Why the text is no pattern: the first unknown placeholder named, a
    // "%" left open, or an empty text. Empty when the pattern is usable.
    QString problem;

    bool ok() const { return problem.isEmpty(); }
    bool uses(NameField field) const;
    // The placeholders in the order they appear, each once.
    std::vector<NameField> fields() const;
};

// Parses `text`. A trailing ".mp3" (any letter case) is dropped, since the
// extension is always added.
NamePattern ParseNamePattern(const QString& text);

// The name `pattern` gives for `values`, without extension; placeholders
// take their value as given, literals stand as typed.
QString ComposeFromPattern(const NamePattern& pattern, const NameValues& values);

// The placeholders' texts read back out of `stem` (a file name without its
// extension): every literal must appear as typed, each placeholder takes at
// least one character (音轨, 碟号 digits only, 年份 four digits), earlier
// placeholders as few as the rest allows. Values are trimmed of blanks.
// None when the name does not fit the pattern. The pattern must be usable
// for extraction (ExtractionProblem empty).
std::optional<NameValues> MatchNamePattern(const NamePattern& pattern, const QString& stem);

// Why `pattern` cannot fill tags from names: a sub-folder, %原文件名%, a
// placeholder used twice, two placeholders with nothing between them, or no
// placeholder at all. Empty when it can.
QString ExtractionProblem(const NamePattern& pattern);
