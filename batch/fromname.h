#pragma once

#include <QString>

#include "batch/namepattern.h"

// Filling tags from file names: which fields of a tag a pattern can fill,
// and what one file's name gives.

enum class TagVersion { V1, V2 };

// Why `pattern` (as typed) cannot fill tags of `version`: its own fault
// (ExtractionProblem), or a placeholder the tag has no field for (ID3v1 has
// no 作曲, 专辑艺术家, 碟号). Empty when it can.
QString FromNamePatternProblem(const NamePattern& pattern, TagVersion version);

// What one file's name gives.
struct FromNameRow {
    bool matched = false;
    // Why nothing is taken from the name: it does not fit the pattern, or a
    // text does not fit its field (ID3v1: GBK characters only, the field's
    // bytes; the track 0..255). Empty when matched.
    QString reason;
    NameValues values;  // the pattern's fields; 音轨 and 碟号 as plain numbers
};

// `name` is the file's exact name; its extension is left out and a name
// that is not UTF-8 is read as code page 936, as for a title from the name.
FromNameRow MatchFileName(const NamePattern& pattern, const QString& name, TagVersion version);
